#pragma once

#include "engine/OversamplingStages.h"

#include <cstdint>

// One mono preamplifier: input level, the oversampled tick in which the
// selected channel chain processes every inner sample, output level.
//
// Parameter setters take normalised values (0..1) and only write fields and
// targets; processSample runs on the audio thread and allocates nothing.
class ZRV4
{
  public:
    // build false: an empty shell that the copy fills; true: complete and settled.
    explicit ZRV4(bool build);
    // A new, complete engine made from src; shares nothing with it.
    ZRV4(const ZRV4& src);
    ZRV4& operator=(const ZRV4&) = delete;
    virtual ~ZRV4();

    void setSampleRate(float rate);
    void setOversampling(unsigned factor); // 2, 4 or 8; anything else is ignored
    void setChannel(float v);
    void setRhythmMode(float v);
    bool hasRhythmModeNetworks() const;

    void setLeadGain(float gain, float bright);
    void setRhythmGain(float gain, float bright);
    void setCleanGain(float gain, float bright);
    void setLeadTone(float lows, float mids, float treble, float presence, float volume, float shape);
    void setRhythmTone(float lows, float mids, float treble, float volume);
    void setCleanTone(float lows, float mids, float treble, float volume);

    void setInputLevel(float v);
    void setOutputLevel(float v);

    // One host-rate sample in, one out.
    inline double processSample(double x) noexcept;

    // 1 Clean, 2 Rhythm, 3 Lead; 4 (no chain) until the first setChannel.
    unsigned channel() const { return selectedChannel; }
    unsigned oversamplingFactor() const { return factor; }
    double sampleRate() const { return hostRate; }
    double inputGain() const { return inGain; }
    double outputGain() const { return outGain; }

    // Host samples beyond this magnitude (far above full scale) are clipped
    // to it, and non-finite ones are taken as 0: the oversampling filters
    // are recursive and must never store an infinity or a NaN.
    static constexpr double inputLimit = 1.0e4;

  private:
    enum Channel : uint16_t
    {
        clean = 1,
        rhythm = 2,
        lead = 3,
        none = 4
    };

    // Runs the selected chain on one inner sample.
    inline double processChain(double w) noexcept;
    template <unsigned S> inline double tick(double v) noexcept;

    // Sets the input stage's cathode capacitor (farads) on a channel change.
    void setInputStageCathodeCapacitor(double Ck);

    // fields
    uint16_t selectedChannel = none;
    double hostRate = 44100.0;
    unsigned factor = 4;
    OversamplingStages stages;
    double inGain = 1.0;
    double outGain = 1.0;
};

inline double ZRV4::processChain(double w) noexcept
{
    // The channel chains (Clean, Rhythm, Lead) plug in here: processClean,
    // processRhythm and processLead, chosen per inner sample by the channel.
    // Until they exist, and always for channel 4, the sample passes unchanged.
    switch (selectedChannel)
    {
    default:
        return w;
    }
}

template <unsigned S> inline double ZRV4::tick(double v) noexcept
{
    auto chain = [this](double w) noexcept { return processChain(w); };
    return stages.tick<S>(v, chain);
}

inline double ZRV4::processSample(double x) noexcept
{
    double v = inGain * x + 1e-25;
    if (!(v >= -inputLimit && v <= inputLimit)) // also catches NaN
        v = v > inputLimit ? inputLimit : (v < -inputLimit ? -inputLimit : 0.0);
    double y;
    switch (factor)
    {
    case 2:
        y = tick<1>(v);
        break;
    case 8:
        y = tick<3>(v);
        break;
    default:
        y = tick<2>(v);
        break;
    }
    return outGain * y * 0.005 + 1e-25;
}
