#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct LilvWorldImpl LilvWorld;
typedef struct LilvPluginImpl LilvPlugin;

// An LV2 plug-in loaded through lilv the way a host does it: the world reads
// the bundles, the plug-in is instantiated with the features hosts commonly
// give (URID map and unmap, options with the block lengths, bounded block
// length, worker schedule), every port is connected to a buffer of its own,
// and each control input starts at its default.
//
//   std::string error;
//   auto plugin = Lv2Plugin::load(uri, 48000, 256, error, bundleDir);
//   plugin->setControl("channel", 2);
//   plugin->activate();
//   float* in = plugin->audioInput(0); ... plugin->run(frames); ... plugin->audioOutput(0)
//
// A worker request made during run() is carried out synchronously after it,
// before the responses are delivered and the run ends: as a host's worker
// thread would, but at a fixed point between blocks.
class Lv2Plugin
{
  public:
    // bundle: a bundle folder to load alone; empty loads every bundle of the
    // LV2 path. nullptr and a readable error on failure.
    static std::unique_ptr<Lv2Plugin> load(const std::string& uri, double rate, uint32_t maxBlock,
                                           std::string& error, const std::string& bundle = {});
    ~Lv2Plugin();
    Lv2Plugin(const Lv2Plugin&) = delete;
    Lv2Plugin& operator=(const Lv2Plugin&) = delete;

    LilvWorld* world() const;
    const LilvPlugin* plugin() const;

    uint32_t numAudioInputs() const;
    uint32_t numAudioOutputs() const;
    // Buffers of maxBlock frames.
    float* audioInput(uint32_t i);
    float* audioOutput(uint32_t i);

    // Control ports by symbol; false for an unknown symbol.
    bool setControl(const char* symbol, float value);
    float control(const char* symbol) const;
    // The buffer a control port is connected to (null for other ports).
    float* controlBuffer(uint32_t port);

    void activate();
    void deactivate();
    void run(uint32_t frames);

    struct State;

  private:
    explicit Lv2Plugin(std::unique_ptr<State> state);
    std::unique_ptr<State> state;
};
