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
    // The same, with the chain run inner sample after inner sample inside
    // the depth-first tick: the plain form that processSample must equal to
    // the bit. For tests and the benchmark.
    inline double processSamplePlain(double x) noexcept;

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

    struct Segments;

    // Runs the selected chain on one inner sample.
    inline double processChain(double w) noexcept;
    // Runs it on the N inner samples of one host sample, skewed.
    template <int N> inline void processChainSkewed(double* v) noexcept;
    template <unsigned S> inline double tick(double v) noexcept;
    template <unsigned S> inline double plainTick(double v) noexcept;

    // Sets the input stage's cathode capacitor (farads) on a channel change.
    void setInputStageCathodeCapacitor(double Ck);

    static const ZRV4& settledPrototype();

    // fields
    uint16_t selectedChannel = none;
    double hostRate = 44100.0;
    unsigned factor = 4;
    OversamplingStages stages;
    std::unique_ptr<ChannelBlocks> blocks;
    double inGain = 1.0;
    double outGain = 1.0;
};

// Each chain is a few segments run in signal order. A segment ends where the
// next one's first stage loads its coupling filter (grid conduction), so a
// segment's states are written only by itself and by the segment after it.
//
// The oversampled tick runs a chain over all inner samples of a host sample
// in a skewed order: segment k handles inner sample n right after segment
// k + 1 handled n - 1, and right after segment k - 1 handled n. Every block
// thus sees the same inputs and states in the same order as in the plain
// form, so the results are the same to the bit, while the independent
// segments of neighbouring samples can overlap in the processor.
//
//   step t:  segment K on sample t-K+1, ..., segment 2 on t-1, segment 1 on t

// Lead: input stage | gain network, second stage | third stage | driver
// pair | tone stack, output pair. Clean and Rhythm have no third stage.
struct ZRV4::Segments
{
    static inline double input(ChannelBlocks& b, double x) noexcept
    {
        TGSBypassedCathode& s = b.inputStage;
        return s.couplingFilter.processOutput(s.processSample(s.inputFilter.processInput(x)));
    }

    // No input filter: the gain network already carries the grid's input
    // capacitance.
    template <class Network> static inline double second(ChannelBlocks& b, Network& n, double x) noexcept
    {
        const double s = b.secondStage.processSample(n.process(x)) * b.secondStage.outputDivider;
        return b.secondStage.couplingFilter.processOutput(s);
    }

    static inline double leadSecond(ChannelBlocks& b, double x) noexcept
    {
        TGSBypassedCathode& s = b.leadSecondStage;
        const double y = s.processSample(b.leadGainNetwork.process(x)) * s.outputDivider;
        // The coupling filter keeps its own output; the next grid sees the
        // share of the 1 MOhm load under the 470 kOhm series resistor.
        return s.couplingFilter.processOutput(y) * 0.6802721088435374;
    }

    static inline double leadThird(ChannelBlocks& b, double x) noexcept
    {
        TGSUnbypassedCathode& s = b.leadThirdStage;
        const double y = s.processSample(s.inputFilter.processInput(x)) * s.outputDivider;
        return s.plateFilter.processInput(s.couplingFilter.processOutput(y));
    }

    template <class Tone> static inline double output(ChannelBlocks& b, Tone& t, double x) noexcept
    {
        return b.outputPair.processUnbypassed(t.process(x));
    }
};

inline double ZRV4::processClean(double x) noexcept
{
    ChannelBlocks& b = *blocks;
    double s = Segments::input(b, x);
    s = Segments::second(b, b.cleanGainNetwork, s);
    s = b.driverPair.processBypassed(b.cleanDivider.process(s));
    return Segments::output(b, b.cleanToneStack, s);
}

inline double ZRV4::processRhythm(double x) noexcept
{
    ChannelBlocks& b = *blocks;
    double s = Segments::input(b, x);
    s = Segments::second(b, b.rhythmGainNetwork, s);
    s = b.rhythmDriverPair.processBypassed(b.rhythmModeDivider->process(s));
    return Segments::output(b, b.rhythmToneStack, s);
}

inline double ZRV4::processLead(double x) noexcept
{
    ChannelBlocks& b = *blocks;
    double s = Segments::input(b, x);
    s = Segments::leadSecond(b, s);
    s = Segments::leadThird(b, s);
    s = b.driverPair.processBypassed(s);
    return Segments::output(b, b.leadToneStack, s);
}

namespace zrv4_detail
{
// Applies segment (number K - j of K) to v[n] if inner sample n exists.
template <int N, class Segment> inline void applyAt(double* v, int n, Segment& segment) noexcept
{
    if (n >= 0 && n < N)
        v[n] = segment(v[n]);
}

// The segments are given last first.
template <int N, class... Segment> inline void runSkewed(double* v, Segment... segment) noexcept
{
    constexpr int K = sizeof...(Segment);
#pragma GCC unroll 16
    for (int t = 0; t < N + K - 1; ++t)
    {
        int n = t - K + 1;
        (applyAt<N>(v, n++, segment), ...);
    }
}
} // namespace zrv4_detail

template <int N> inline void ZRV4::processChainSkewed(double* v) noexcept
{
    using zrv4_detail::runSkewed;
    if (selectedChannel == none)
        return;
    ChannelBlocks& b = *blocks;
    auto input = [&b](double x) noexcept { return Segments::input(b, x); };
    switch (selectedChannel)
    {
    case clean:
        runSkewed<N>(
            v, [&b](double x) noexcept { return Segments::output(b, b.cleanToneStack, x); },
            [&b](double x) noexcept { return b.driverPair.processBypassed(b.cleanDivider.process(x)); },
            [&b](double x) noexcept { return Segments::second(b, b.cleanGainNetwork, x); }, input);
        break;
    case rhythm:
        runSkewed<N>(
            v, [&b](double x) noexcept { return Segments::output(b, b.rhythmToneStack, x); },
            [&b](double x) noexcept { return b.rhythmDriverPair.processBypassed(b.rhythmModeDivider->process(x)); },
            [&b](double x) noexcept { return Segments::second(b, b.rhythmGainNetwork, x); }, input);
        break;
    default:
        runSkewed<N>(
            v, [&b](double x) noexcept { return Segments::output(b, b.leadToneStack, x); },
            [&b](double x) noexcept { return b.driverPair.processBypassed(x); },
            [&b](double x) noexcept { return Segments::leadThird(b, x); },
            [&b](double x) noexcept { return Segments::leadSecond(b, x); }, input);
        break;
    }
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
    double inner[1u << S];
    stages.upsample<S>(v, inner);
    processChainSkewed<(1 << S)>(inner);
    return stages.downsample<S>(inner);
}

template <unsigned S> inline double ZRV4::plainTick(double v) noexcept
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

inline double ZRV4::processSamplePlain(double x) noexcept
{
    double v = inGain * x + 1e-25;
    if (!(v >= -inputLimit && v <= inputLimit))
        v = v > inputLimit ? inputLimit : (v < -inputLimit ? -inputLimit : 0.0);
    double y;
    switch (factor)
    {
    case 2:
        y = plainTick<1>(v);
        break;
    case 8:
        y = plainTick<3>(v);
        break;
    default:
        y = plainTick<2>(v);
        break;
    }
    return outGain * y * 0.005 + 1e-25;
}
