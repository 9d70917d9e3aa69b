#pragma once

#include "engine/ChannelBlocks.h"
#include "engine/OversamplingStages.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <tuple>
#include <utility>

// Per-sample entry points inline everything they call: the tick, the chain
// segments and the kernels. The skewed order only pays when the segments'
// code lies side by side in one body, and the compiler's own size limits
// would otherwise leave calls between them. Sanitizer builds, whose
// instrumented bodies would grow beyond what the compiler handles in
// reasonable time, keep the ordinary inlining.
#if defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__)
#define ZRV4_FLATTEN __attribute__((flatten))
#else
#define ZRV4_FLATTEN
#endif

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
    ZRV4_FLATTEN inline double processSample(double x) noexcept;
    // Two engines side by side, each exactly as its own processSample would
    // do it; with the same channel and factor (as in a stereo effect) their
    // chains are interleaved, which keeps the processor busier.
    ZRV4_FLATTEN static inline void processStereo(ZRV4& left, ZRV4& right, double x0, double x1, double& y0,
                                                  double& y1) noexcept;
    // The same, with the chain run inner sample after inner sample inside
    // the depth-first tick: the plain form that processSample must equal to
    // the bit. For tests and the benchmark.
    ZRV4_FLATTEN inline double processSamplePlain(double x) noexcept;

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
    // Runs it on the N inner samples of one host sample, skewed.
    template <int N> inline void processChainSkewed(double* v) noexcept;
    template <unsigned S> inline double tick(double v) noexcept;
    template <unsigned S> inline double plainTick(double v) noexcept;
    template <unsigned S>
    static inline void tickPair(ZRV4& l, ZRV4& r, double vl, double vr, double& yl, double& yr) noexcept;
    inline double inputOf(double x) const noexcept;
    inline double outputOf(double y) const noexcept;

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

// Each chain is a sequence of segments run in signal order. A segment's
// states are written only by itself and by the segment right after it (whose
// first grid, when it conducts, loads the segment's coupling filter).
//
// The oversampled tick runs a chain over all inner samples of a host sample
// in a skewed order: segment k handles inner sample n right after segment
// k + 1 handled n - 1, and right after segment k - 1 handled n. Every block
// thus sees the same inputs and states in the same order as in the plain
// form, so the results are the same to the bit, while the independent
// segments of neighbouring samples can overlap in the processor.
//
//   step t:  segment K-1 on sample t-K+1, ..., segment 1 on t-1, segment 0 on t
//
// The pairs run as two segments: a follower loads no coupling filter, and
// what the output stage writes into the driver follower's is never read (a
// follower's own high-pass always uses its plain coefficient).
namespace zrv4_chains
{
inline double inputStage(ChannelBlocks& b, double x) noexcept
{
    TGSBypassedCathode& s = b.inputStage;
    return s.couplingFilter.processOutput(s.processSample(s.inputFilter.processInput(x)));
}

// No input filter: the gain network already carries the grid's input
// capacitance.
template <class Network> inline double secondStage(ChannelBlocks& b, Network& n, double x) noexcept
{
    const double s = b.secondStage.processSample(n.process(x)) * b.secondStage.outputDivider;
    return b.secondStage.couplingFilter.processOutput(s);
}

// The last three segments of every chain are alike: k = 0 the driver
// follower and the tone stack, 1 the output stage, 2 the output follower.
template <class Tone>
inline double tail(ChannelBlocks& b, StagePair& driver, Tone& tone, int k, double x) noexcept
{
    return k == 0 ? tone.process(driver.processFollower(x))
                  : (k == 1 ? b.outputPair.processUnbypassedStage(x) : b.outputPair.processFollower(x));
}

struct Clean
{
    static constexpr int count = 6;
    ChannelBlocks& b;
    template <int k> inline double run(double x) noexcept
    {
        if constexpr (k == 0)
            return inputStage(b, x);
        else if constexpr (k == 1)
            return secondStage(b, b.cleanGainNetwork, x);
        else if constexpr (k == 2)
            return b.driverPair.processBypassedStage(b.cleanDivider.process(x));
        else
            return tail(b, b.driverPair, b.cleanToneStack, k - 3, x);
    }
};

struct Rhythm
{
    static constexpr int count = 6;
    ChannelBlocks& b;
    template <int k> inline double run(double x) noexcept
    {
        if constexpr (k == 0)
            return inputStage(b, x);
        else if constexpr (k == 1)
            return secondStage(b, b.rhythmGainNetwork, x);
        else if constexpr (k == 2)
            return b.rhythmDriverPair.processBypassedStage(b.rhythmModeDivider->process(x));
        else
            return tail(b, b.rhythmDriverPair, b.rhythmToneStack, k - 3, x);
    }
};

struct Lead
{
    static constexpr int count = 7;
    ChannelBlocks& b;
    template <int k> inline double run(double x) noexcept
    {
        if constexpr (k == 0)
            return inputStage(b, x);
        else if constexpr (k == 1)
        {
            TGSBypassedCathode& s = b.leadSecondStage;
            const double y = s.processSample(b.leadGainNetwork.process(x)) * s.outputDivider;
            // The coupling filter keeps its own output; the next grid sees
            // the share of the 1 MOhm load under the 470 kOhm series resistor.
            return s.couplingFilter.processOutput(y) * 0.6802721088435374;
        }
        else if constexpr (k == 2)
        {
            TGSUnbypassedCathode& s = b.leadThirdStage;
            const double y = s.processSample(s.inputFilter.processInput(x)) * s.outputDivider;
            return s.plateFilter.processInput(s.couplingFilter.processOutput(y));
        }
        else if constexpr (k == 3)
            return b.driverPair.processBypassedStage(x);
        else
            return tail(b, b.driverPair, b.leadToneStack, k - 4, x);
    }
};

template <class Chain, size_t... k>
inline double runPlain(Chain c, double x, std::index_sequence<k...>) noexcept
{
    ((x = c.template run<static_cast<int>(k)>(x)), ...);
    return x;
}

template <class Chain> inline double runPlain(Chain c, double x) noexcept
{
    return runPlain(c, x, std::make_index_sequence<Chain::count>{});
}

// Segment s on v[n], if inner sample n exists.
template <int N, int s, class Chain> inline void applyAt(Chain& c, double* v, int n) noexcept
{
    if (n >= 0 && n < N)
        v[n] = c.template run<s>(v[n]);
}

// One step of the skew for any number of independent chains.
template <int N, class Chains, size_t... k>
inline void step(Chains& chains, double** v, int t, std::index_sequence<k...>) noexcept
{
    constexpr int K = std::tuple_element_t<0, Chains>::count;
    std::apply(
        [&](auto&... c) noexcept
        {
            (
                [&](auto seg) noexcept
                {
                    constexpr int s = K - 1 - static_cast<int>(decltype(seg)::value);
                    int i = 0;
                    ((applyAt<N, s>(c, v[i++], t - s)), ...);
                }(std::integral_constant<size_t, k>{}),
                ...);
        },
        chains);
}

// The chains (all of the same kind) over N inner samples each, skewed and
// interleaved segment by segment.
template <int N, class... Chain> inline void runSkewed(double** v, Chain... chain) noexcept
{
    using Kind = std::tuple_element_t<0, std::tuple<Chain...>>;
    std::tuple<Chain...> chains{chain...};
#pragma GCC unroll 16
    for (int t = 0; t < N + Kind::count - 1; ++t)
        step<N>(chains, v, t, std::make_index_sequence<Kind::count>{});
}
} // namespace zrv4_chains

inline double ZRV4::processClean(double x) noexcept
{
    return zrv4_chains::runPlain(zrv4_chains::Clean{*blocks}, x);
}

inline double ZRV4::processRhythm(double x) noexcept
{
    return zrv4_chains::runPlain(zrv4_chains::Rhythm{*blocks}, x);
}

inline double ZRV4::processLead(double x) noexcept
{
    return zrv4_chains::runPlain(zrv4_chains::Lead{*blocks}, x);
}

template <int N> inline void ZRV4::processChainSkewed(double* v) noexcept
{
    using namespace zrv4_chains;
    double* inner[1] = {v};
    switch (selectedChannel)
    {
    case clean:
        runSkewed<N>(inner, Clean{*blocks});
        break;
    case rhythm:
        runSkewed<N>(inner, Rhythm{*blocks});
        break;
    case lead:
        runSkewed<N>(inner, Lead{*blocks});
        break;
    default:
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

inline double ZRV4::inputOf(double x) const noexcept
{
    double v = inGain * x + 1e-25;
    if (!(v >= -inputLimit && v <= inputLimit)) // also catches NaN
        v = v > inputLimit ? inputLimit : (v < -inputLimit ? -inputLimit : 0.0);
    return v;
}

inline double ZRV4::outputOf(double y) const noexcept
{
    return outGain * y * 0.005 + 1e-25;
}

inline double ZRV4::processSample(double x) noexcept
{
    const double v = inputOf(x);
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
    return outputOf(y);
}

inline double ZRV4::processSamplePlain(double x) noexcept
{
    const double v = inputOf(x);
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
    return outputOf(y);
}

template <unsigned S>
inline void ZRV4::tickPair(ZRV4& l, ZRV4& r, double vl, double vr, double& yl, double& yr) noexcept
{
    using namespace zrv4_chains;
    constexpr int N = 1 << S;
    double il[N], ir[N];
    l.stages.upsample<S>(vl, il);
    r.stages.upsample<S>(vr, ir);
    double* v[2] = {il, ir};
    switch (l.selectedChannel)
    {
    case clean:
        runSkewed<N>(v, Clean{*l.blocks}, Clean{*r.blocks});
        break;
    case rhythm:
        runSkewed<N>(v, Rhythm{*l.blocks}, Rhythm{*r.blocks});
        break;
    case lead:
        runSkewed<N>(v, Lead{*l.blocks}, Lead{*r.blocks});
        break;
    default:
        break;
    }
    yl = l.stages.downsample<S>(il);
    yr = r.stages.downsample<S>(ir);
}

inline void ZRV4::processStereo(ZRV4& left, ZRV4& right, double x0, double x1, double& y0,
                                double& y1) noexcept
{
    if (left.factor != right.factor || left.selectedChannel != right.selectedChannel || &left == &right)
    {
        y0 = left.processSample(x0);
        y1 = right.processSample(x1);
        return;
    }
    const double vl = left.inputOf(x0);
    const double vr = right.inputOf(x1);
    double yl, yr;
    switch (left.factor)
    {
    case 2:
        tickPair<1>(left, right, vl, vr, yl, yr);
        break;
    case 8:
        tickPair<3>(left, right, vl, vr, yl, yr);
        break;
    default:
        tickPair<2>(left, right, vl, vr, yl, yr);
        break;
    }
    y0 = left.outputOf(yl);
    y1 = right.outputOf(yr);
}
