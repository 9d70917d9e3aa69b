#pragma once

#include "engine/ChannelBlocks.h"
#include "engine/OversamplingStages.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>

// Per-sample entry points inline everything they call: the tick, the chain
// segments and the kernels. The skewed order only pays when the segments'
// code lies side by side in one body, and the compiler's own size limits
// would otherwise leave calls between them. Sanitizer builds, whose
// instrumented bodies would grow beyond what the compiler handles in
// reasonable time, keep the ordinary inlining.
#if defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
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

    // Host rates from 8 kHz to 384 kHz; any other value (zero, negative,
    // non-finite, absurd) keeps the rate in use.
    static constexpr double minSampleRate = 8000.0;
    static constexpr double maxSampleRate = 384000.0;
    static bool acceptsSampleRate(double rate) noexcept
    {
        return rate >= minSampleRate && rate <= maxSampleRate;
    }
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
    // do it. With the same channel and factor and the same tables (as in a
    // stereo effect) both chains run at once, their table lookups paired.
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

    // Settles every filter state of the chains (both Rhythm modes) on
    // silence, without the tick, to the resting values of the engine's inner
    // rate: a copy plays silence as silence from its first sample.
    void warmUp() noexcept;

    // Once per block, outside the per-sample path: if any state of the
    // chains or the oversampling filters, or the last output, is not finite,
    // the states are restored from the settled engine (controls, rate and
    // factor stay) so the next block plays again. Returns whether it
    // restored. Allocates nothing.
    bool checkAndRecover() noexcept;
    // Restorations so far.
    unsigned long recoveryCount() const noexcept { return recoveries; }

    // 1 Clean, 2 Rhythm, 3 Lead; 4 (no chain) until the first setChannel.
    unsigned channel() const { return selectedChannel; }
    unsigned oversamplingFactor() const { return factor; }
    double sampleRate() const { return hostRate; }
    double inputGain() const { return inGain; }
    double outputGain() const { return outGain; }
    // The circuit blocks, for inspection; null in an empty shell.
    const ChannelBlocks* circuit() const { return blocks.get(); }
    // The same, writable: for tests that put a state where no signal could.
    ChannelBlocks* circuitForTesting() { return blocks.get(); }

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
    double lastOutput = 0.0;
    unsigned long recoveries = 0;
};

// Each chain is a sequence of segments run in signal order. A segment is one
// stage kernel with what comes before it (filters, gain network, divider)
// and after it (divider, coupling filter, tone stack). A segment's states
// are written only by itself and by the segment right after it (whose first
// grid, when it conducts, loads the segment's coupling filter).
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
//
// Two engines reading the same tables (a stereo pair) run each segment of
// both chains at once: the parts around the kernels lane by lane, the
// kernels' table lookups as the two lanes of one vector.
namespace zrv4_chains
{
// The last three segments of every chain are alike: j = 0 the driver
// follower and the tone stack, 1 the output stage, 2 the output follower.
template <class Tone> struct Tail
{
    ChannelBlocks& b;
    StagePair& driver;
    Tone& tone;

    template <int j> inline auto& stage() noexcept
    {
        if constexpr (j == 0)
            return *driver.follower;
        else if constexpr (j == 1)
            return *b.outputPair.unbypassed;
        else
            return *b.outputPair.follower;
    }
    template <int j> inline double before(double x) noexcept
    {
        if constexpr (j == 1)
            return b.outputPair.unbypassed->inputFilter.processInput(x);
        else
            return x;
    }
    template <int j> inline double after(double y) noexcept
    {
        if constexpr (j == 0)
            return tone.process(y);
        else
            return y;
    }
};

// The input stage, first of every chain.
inline double inputStageBefore(ChannelBlocks& b, double x) noexcept
{
    return b.inputStage.inputFilter.processInput(x);
}
inline double inputStageAfter(ChannelBlocks& b, double y) noexcept
{
    return b.inputStage.couplingFilter.processOutput(y);
}

// Segment k of a chain whose segments 0 to 2 are its own and whose last
// three are the Tail. The second stage has no input filter: the gain
// network already carries the grid's input capacitance.
template <class Tone, class Network> struct ThreeStageChain
{
    static constexpr int count = 6;
    ChannelBlocks& b;
    Network& network;
    StagePair& driver;
    BrightDivider& divider;
    Tone& tone;

    Tail<Tone> tail() noexcept { return Tail<Tone>{b, driver, tone}; }

    template <int k> inline auto& stage() noexcept
    {
        if constexpr (k == 0)
            return b.inputStage;
        else if constexpr (k == 1)
            return b.secondStage;
        else if constexpr (k == 2)
            return *driver.bypassed;
        else
            return tail().template stage<k - 3>();
    }
    template <int k> inline double before(double x) noexcept
    {
        if constexpr (k == 0)
            return inputStageBefore(b, x);
        else if constexpr (k == 1)
            return network.process(x);
        else if constexpr (k == 2)
            return driver.bypassed->inputFilter.processInput(divider.process(x));
        else
            return tail().template before<k - 3>(x);
    }
    template <int k> inline double after(double y) noexcept
    {
        if constexpr (k == 0)
            return inputStageAfter(b, y);
        else if constexpr (k == 1)
            return b.secondStage.couplingFilter.processOutput(y * b.secondStage.outputDivider);
        else if constexpr (k == 2)
            return y;
        else
            return tail().template after<k - 3>(y);
    }
};

inline ThreeStageChain<CleanToneStack, CleanGainNetwork> cleanChain(ChannelBlocks& b) noexcept
{
    return {b, b.cleanGainNetwork, b.driverPair, b.cleanDivider, b.cleanToneStack};
}

inline ThreeStageChain<RhythmToneStack, RhythmGainNetwork> rhythmChain(ChannelBlocks& b) noexcept
{
    return {b, b.rhythmGainNetwork, b.rhythmDriverPair, *b.rhythmModeDivider, b.rhythmToneStack};
}

struct LeadChain
{
    static constexpr int count = 7;
    ChannelBlocks& b;

    Tail<LeadToneStack> tail() noexcept { return Tail<LeadToneStack>{b, b.driverPair, b.leadToneStack}; }

    template <int k> inline auto& stage() noexcept
    {
        if constexpr (k == 0)
            return b.inputStage;
        else if constexpr (k == 1)
            return b.leadSecondStage;
        else if constexpr (k == 2)
            return b.leadThirdStage;
        else if constexpr (k == 3)
            return *b.driverPair.bypassed;
        else
            return tail().template stage<k - 4>();
    }
    template <int k> inline double before(double x) noexcept
    {
        if constexpr (k == 0)
            return inputStageBefore(b, x);
        else if constexpr (k == 1)
            return b.leadGainNetwork.process(x);
        else if constexpr (k == 2)
            return b.leadThirdStage.inputFilter.processInput(x);
        else if constexpr (k == 3)
            return b.driverPair.bypassed->inputFilter.processInput(x);
        else
            return tail().template before<k - 4>(x);
    }
    template <int k> inline double after(double y) noexcept
    {
        if constexpr (k == 0)
            return inputStageAfter(b, y);
        else if constexpr (k == 1)
        {
            // The coupling filter keeps its own output; the next grid sees
            // the share of the 1 MOhm load under the 470 kOhm series resistor.
            TGSBypassedCathode& s = b.leadSecondStage;
            return s.couplingFilter.processOutput(y * s.outputDivider) * 0.6802721088435374;
        }
        else if constexpr (k == 2)
        {
            TGSUnbypassedCathode& s = b.leadThirdStage;
            return s.plateFilter.processInput(s.couplingFilter.processOutput(y * s.outputDivider));
        }
        else if constexpr (k == 3)
            return y;
        else
            return tail().template after<k - 4>(y);
    }
};

// Segment k on one inner sample.
template <int k, class Chain> inline double runSegment(Chain& c, double x) noexcept
{
    return c.template after<k>(c.template stage<k>().processSample(c.template before<k>(x)));
}

// Segment k of two chains of the same kind on one inner sample each.
template <int k, class Chain>
inline void runSegmentPair(Chain& c0, Chain& c1, double& x0, double& x1) noexcept
{
    auto& s0 = c0.template stage<k>();
    auto& s1 = c1.template stage<k>();
    const double u0 = c0.template before<k>(x0);
    const double u1 = c1.template before<k>(x1);
    double y0, y1;
    std::remove_reference_t<decltype(s0)>::processPair(s0, s1, u0, u1, y0, y1);
    x0 = c0.template after<k>(y0);
    x1 = c1.template after<k>(y1);
}

template <class Chain, size_t... k>
inline double runPlain(Chain& c, double x, std::index_sequence<k...>) noexcept
{
    ((x = runSegment<static_cast<int>(k)>(c, x)), ...);
    return x;
}

template <class Chain> inline double runPlain(Chain c, double x) noexcept
{
    return runPlain(c, x, std::make_index_sequence<Chain::count>{});
}

// One step of the skew: apply(segment, n) for every segment whose inner
// sample n = t - segment exists, the last segment first.
template <int N, int K, class Apply, size_t... k>
inline void skewStep(Apply& apply, int t, std::index_sequence<k...>) noexcept
{
    (
        [&](auto segment) noexcept
        {
            const int n = t - decltype(segment)::value;
            if (n >= 0 && n < N)
                apply(segment, n);
        }(std::integral_constant<int, K - 1 - static_cast<int>(k)>{}),
        ...);
}

template <int N, int K, class Apply> inline void runSkewed(Apply apply) noexcept
{
#pragma GCC unroll 16
    for (int t = 0; t < N + K - 1; ++t)
        skewStep<N, K>(apply, t, std::make_index_sequence<K>{});
}

// A chain over the N inner samples v, skewed.
template <int N, class Chain> inline void runSkewed(Chain c, double* v) noexcept
{
    runSkewed<N, Chain::count>([&](auto segment, int n) noexcept
                               { v[n] = runSegment<decltype(segment)::value>(c, v[n]); });
}

// Two chains of the same kind over N inner samples each, skewed, each
// segment of both at once.
template <int N, class Chain> inline void runSkewedPair(Chain c0, Chain c1, double* v0, double* v1) noexcept
{
    runSkewed<N, Chain::count>([&](auto segment, int n) noexcept
                               { runSegmentPair<decltype(segment)::value>(c0, c1, v0[n], v1[n]); });
}
} // namespace zrv4_chains

inline double ZRV4::processClean(double x) noexcept
{
    return zrv4_chains::runPlain(zrv4_chains::cleanChain(*blocks), x);
}

inline double ZRV4::processRhythm(double x) noexcept
{
    return zrv4_chains::runPlain(zrv4_chains::rhythmChain(*blocks), x);
}

inline double ZRV4::processLead(double x) noexcept
{
    return zrv4_chains::runPlain(zrv4_chains::LeadChain{*blocks}, x);
}

template <int N> inline void ZRV4::processChainSkewed(double* v) noexcept
{
    using namespace zrv4_chains;
    switch (selectedChannel)
    {
    case clean:
        runSkewed<N>(cleanChain(*blocks), v);
        break;
    case rhythm:
        runSkewed<N>(rhythmChain(*blocks), v);
        break;
    case lead:
        runSkewed<N>(LeadChain{*blocks}, v);
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
    lastOutput = outputOf(y);
    return lastOutput;
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
    lastOutput = outputOf(y);
    return lastOutput;
}

template <unsigned S>
inline void ZRV4::tickPair(ZRV4& l, ZRV4& r, double vl, double vr, double& yl, double& yr) noexcept
{
    using namespace zrv4_chains;
    constexpr int N = 1 << S;
    double il[N], ir[N];
    l.stages.upsample<S>(vl, il);
    r.stages.upsample<S>(vr, ir);
    ChannelBlocks& bl = *l.blocks;
    ChannelBlocks& br = *r.blocks;
    switch (l.selectedChannel)
    {
    case clean:
        runSkewedPair<N>(cleanChain(bl), cleanChain(br), il, ir);
        break;
    case rhythm:
        runSkewedPair<N>(rhythmChain(bl), rhythmChain(br), il, ir);
        break;
    case lead:
        runSkewedPair<N>(LeadChain{bl}, LeadChain{br}, il, ir);
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
    if (left.factor != right.factor || left.selectedChannel != right.selectedChannel || &left == &right ||
        !left.blocks || !right.blocks || !left.blocks->sharesTablesWith(*right.blocks))
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
    y0 = left.lastOutput = left.outputOf(yl);
    y1 = right.lastOutput = right.outputOf(yr);
}
