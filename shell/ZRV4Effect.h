// The effect without a plug-in format: the parameter values, the processing
// mode with its bypass rules, the rate, and the two engines (one per side of
// a stereo signal) with their block processing. Format adapters (VST 2.4,
// LV2) translate their host's calls into these.
//
// Threads: setParameter, getParameter and setSampleRate may come from any
// thread at any time. They only store values and mark them pending; the
// engines are touched by process (the audio thread), which applies what is
// pending before its block, and by resume, while nothing processes.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "shell/ParameterTable.h"

class ZRV4;

class ZRV4Effect
{
  public:
    // 0 pass-through, 1 mono, 2 stereo.
    enum ProcessMode : uint32_t
    {
        passThrough = 0,
        mono = 1,
        stereo = 2
    };

    // Engines built and settled, every parameter at its default.
    ZRV4Effect();
    ~ZRV4Effect();
    ZRV4Effect(const ZRV4Effect&) = delete;
    ZRV4Effect& operator=(const ZRV4Effect&) = delete;

    // Conforms and stores the value and marks it pending; an invalid index
    // is ignored. Plugin Mode and Bypass update the processing mode at once
    // (it depends on the order of their changes).
    void setParameter(int32_t index, float value) noexcept;
    // The last value set (conformed); 0 for an invalid index.
    float getParameter(int32_t index) const noexcept;

    // Stores an acceptable rate for the next block; answers whether it was.
    bool setSampleRate(double rate) noexcept;
    static bool isAcceptableSampleRate(double rate) noexcept;
    double getSampleRate() const noexcept { return requestedRate.load(std::memory_order_relaxed); }

    // The host restarts processing: what is pending is applied now, so that a
    // factor or rate change set while suspended costs the audio thread nothing.
    void resume() noexcept;

    // One block; inputs and outputs may be the same buffers. Pending changes
    // are applied first, also for an empty block.
    void process(const float* in0, const float* in1, float* out0, float* out1, int32_t frames) noexcept;
    void process(const double* in0, const double* in1, double* out0, double* out1, int32_t frames) noexcept;

    // The oversampling factor that the stored Oversampling value selects (the
    // last selecting value set); it is in force from the next block on.
    unsigned requestedFactor() const noexcept { return requested.load(std::memory_order_relaxed); }
    // The delay, in host samples, of the oversampler at the factor in force.
    int32_t latencySamples() const noexcept
    {
        return latencyFor(inForceFactor.load(std::memory_order_relaxed));
    }
    static int32_t latencyFor(unsigned factor) noexcept;

    ProcessMode processMode() const noexcept;
    // The last Plugin Mode of exactly 0 or 1, restored when Bypass goes off.
    float savedPluginMode() const noexcept;

    // Parameter indices in the order in which changes reach the engines.
    static const int32_t applyOrder[kNumParameters];

    // For inspection while nothing processes (tests, benchmarks).
    const ZRV4& leftEngine() const { return *engineLeft; }
    const ZRV4& rightEngine() const { return *engineRight; }
    bool hasPendingChanges() const noexcept { return pending.load(std::memory_order_relaxed) != 0; }

  private:
    template <typename T>
    void processBlock(const T* in0, const T* in1, T* out0, T* out1, int32_t frames) noexcept;
    void applyPending() noexcept;
    void applyToEngine(ZRV4& engine, int32_t index) noexcept;
    void updateMode(int32_t index, float v) noexcept;

    // Bit of the pending mask that marks a rate change; bits 0..27 are the
    // parameters.
    static constexpr uint32_t rateBit = 1u << 31;

    std::unique_ptr<ZRV4> engineLeft;
    std::unique_ptr<ZRV4> engineRight;

    // Written by any thread.
    std::atomic<float> values[kNumParameters];
    std::atomic<uint32_t> pending{0};
    std::atomic<double> requestedRate{44100.0};
    // A Channel or Oversampling value that selects nothing leaves the last
    // selection in force, also when both come between the same two blocks.
    std::atomic<float> channelChoice{0.0f};
    std::atomic<unsigned> requested{4};
    // Process mode (bits 0-1), saved Plugin Mode (bit 2), Bypass at 1 or
    // above (bit 3): one word, so concurrent changes of Plugin Mode and Bypass
    // leave a state that some order of them gives.
    std::atomic<uint32_t> modeWord{mono};

    // Engine side: the values the engines were given, read and written only
    // by whoever holds busy.
    float applied[kNumParameters];
    std::atomic<unsigned> inForceFactor{4};
    std::atomic<bool> busy{false};
};
