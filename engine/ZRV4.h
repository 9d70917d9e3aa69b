#pragma once

#include "engine/ChannelBlocks.h"
#include "engine/OversamplingStages.h"

#include <cstdint>
#include <memory>

// One mono preamplifier: input level, the oversampled tick in which the
// selected channel chain processes every inner sample, output level.
//
// Parameter setters take normalised values (0..1) and only write fields and
// targets; processSample runs on the audio thread and allocates nothing.
class ZRV4
{
  public:
    // build false: an empty shell that the copy fills; true: complete and
    // settled. The settled engine is the same every time, so it is built once
    // per process (thread-safe) and every later one is an exact copy of it.
    explicit ZRV4(bool build);
    // Builds, tabulates, wires and warms up from nothing, without the
    // per-process prototype; gives exactly what ZRV4(true) gives.
    struct FromScratch
    {
    };
    explicit ZRV4(FromScratch);
    // A new, complete engine made from src: its circuit blocks with their
    // settled states and controls (the read-only tables are shared), its rate
    // and levels; no channel, factor 4 and fresh oversampling filters, like
    // any new engine.
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

    // The chains, one inner sample in, one out. They require the blocks
    // (an engine built with false has none until it is filled).
    inline double processClean(double x) noexcept;
    inline double processRhythm(double x) noexcept;
    inline double processLead(double x) noexcept;

    // Settles every filter state of the chains on silence, without the tick.
    void warmUp() noexcept;

    // 1 Clean, 2 Rhythm, 3 Lead; 4 (no chain) until the first setChannel.
    unsigned channel() const { return selectedChannel; }
    unsigned oversamplingFactor() const { return factor; }
    double sampleRate() const { return hostRate; }
    double inputGain() const { return inGain; }
    double outputGain() const { return outGain; }
    // The circuit blocks, for inspection; null in an empty shell.
    const ChannelBlocks* circuit() const { return blocks.get(); }

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

    static const ZRV4& settledPrototype();
    static inline double processInputStage(ChannelBlocks& b, double x) noexcept;

    // fields
    uint16_t selectedChannel = none;
    double hostRate = 44100.0;
    unsigned factor = 4;
    OversamplingStages stages;
    std::unique_ptr<ChannelBlocks> blocks;
    double inGain = 1.0;
    double outGain = 1.0;
};

// The first step of every chain: grid low-pass, kernel, coupling.
inline double ZRV4::processInputStage(ChannelBlocks& b, double x) noexcept
{
    TGSBypassedCathode& s = b.inputStage;
    return s.couplingFilter.processOutput(s.processSample(s.inputFilter.processInput(x)));
}

inline double ZRV4::processClean(double x) noexcept
{
    ChannelBlocks& b = *blocks;
    double s = processInputStage(b, x);
    s = b.cleanGainNetwork.process(s);
    // No input filter: the gain network already carries the grid's input
    // capacitance.
    s = b.secondStage.processSample(s) * b.secondStage.outputDivider;
    s = b.secondStage.couplingFilter.processOutput(s);
    s = b.cleanDivider.process(s);
    s = b.driverPair.processBypassed(s);
    s = b.cleanToneStack.process(s);
    return b.outputPair.processUnbypassed(s);
}

inline double ZRV4::processRhythm(double x) noexcept
{
    ChannelBlocks& b = *blocks;
    double s = processInputStage(b, x);
    s = b.rhythmGainNetwork.process(s);
    s = b.secondStage.processSample(s) * b.secondStage.outputDivider;
    s = b.secondStage.couplingFilter.processOutput(s);
    s = b.rhythmModeDivider->process(s);
    s = b.rhythmDriverPair.processBypassed(s);
    s = b.rhythmToneStack.process(s);
    return b.outputPair.processUnbypassed(s);
}

inline double ZRV4::processLead(double x) noexcept
{
    ChannelBlocks& b = *blocks;
    double s = processInputStage(b, x);
    s = b.leadGainNetwork.process(s);
    s = b.leadSecondStage.processSample(s) * b.leadSecondStage.outputDivider;
    // The coupling filter keeps its own output; the next grid sees the share
    // of the 1 MOhm load under the 470 kOhm series resistor, 1M / 1.47M.
    s = b.leadSecondStage.couplingFilter.processOutput(s) * 0.6802721088435374;
    TGSUnbypassedCathode& third = b.leadThirdStage;
    s = third.processSample(third.inputFilter.processInput(s)) * third.outputDivider;
    s = third.plateFilter.processInput(third.couplingFilter.processOutput(s));
    s = b.driverPair.processBypassed(s);
    s = b.leadToneStack.process(s);
    return b.outputPair.processUnbypassed(s);
}

inline double ZRV4::processChain(double w) noexcept
{
    // Channel 4 (no channel yet) passes the inner samples unchanged; an
    // empty shell never leaves it.
    switch (selectedChannel)
    {
    case clean:
        return processClean(w);
    case rhythm:
        return processRhythm(w);
    case lead:
        return processLead(w);
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
