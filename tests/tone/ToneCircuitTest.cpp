// The control glide shared by the tone circuits, rate changes, and the edges:
// controls at 0, bad input, no allocation while processing.

#include "tone/CleanGainNetwork.h"
#include "tone/CleanToneStack.h"
#include "tone/LeadGainNetwork.h"
#include "tone/LeadToneStack.h"
#include "tone/RhythmGainNetwork.h"
#include "tone/RhythmToneStack.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

namespace
{
std::atomic<long> allocations{0};
}

// Counting replacement of the global allocation functions. Kept out of line:
// inlined into a delete expression, GCC would take malloc/free for a
// mismatched pair.
__attribute__((noinline)) void* operator new(std::size_t size)
{
    ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
__attribute__((noinline)) void operator delete(void* p) noexcept
{
    std::free(p);
}
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace
{

constexpr double rate = 96000.0;

// Processed samples until the glide ends (factor 1: one update per sample).
template <class Circuit> int samplesUntilSettled(Circuit& circuit)
{
    int samples = 0;
    while (circuit.isGliding() && samples < 100000)
    {
        circuit.process(0.1);
        ++samples;
    }
    return samples;
}

} // namespace

// A full-range step needs the smallest u with keep^u < 0.001: 6905 updates at
// 0.999, 688 at 0.99.
TEST(ToneCircuitGlide, FullRangeStepTakesTheSpecifiedUpdates)
{
    RhythmGainNetwork rhythm(1, rate, 38000.0, 500000.0, 1.5e-10);
    rhythm.setSampleRate(rate, 1);
    rhythm.setControls(RhythmGainNetwork::defaults[RhythmGainNetwork::Gain], 1.0); // Bright 0 → 1
    EXPECT_EQ(samplesUntilSettled(rhythm), 6905);

    LeadGainNetwork leadGain(1, rate, 38000.0, 500000.0, 1.5e-10);
    leadGain.setControls(LeadGainNetwork::defaults[LeadGainNetwork::Gain], 0.0); // Bright 1 → 0
    EXPECT_EQ(samplesUntilSettled(leadGain), 6905);

    LeadToneStack lead(1, rate);
    auto c = LeadToneStack::defaults;
    lead.setControls(c[0], c[1], c[2], c[3], c[4], 0.0); // Shape 1 → 0
    EXPECT_EQ(samplesUntilSettled(lead), 688);
    EXPECT_NEAR(lead.smoothedControls()[LeadToneStack::Shape], 0.0, 0.001);
}

// With factor 4 the controls move only on samples where the counter is a
// multiple of 4; the counter carries over, so a new glide first moves after 0
// to 3 samples.
TEST(ToneCircuitGlide, UpdatesOnlyAtMultiplesOfTheFactor)
{
    CleanToneStack stack(4, rate);
    stack.setSampleRate(rate, 4);
    for (int round = 0; round < 3; ++round)
    {
        const double volume = round % 2 ? 0.9 : 0.2;
        stack.setControls(0.3, 0.6, 0.4 + 0.01 * round, volume);
        const unsigned int startCount = stack.glideCount();
        bool first = true;
        while (stack.isGliding())
        {
            const unsigned int count = stack.glideCount();
            const double before = stack.smoothedControls()[CleanToneStack::Volume];
            stack.process(0.1);
            const bool moved = stack.smoothedControls()[CleanToneStack::Volume] != before;
            EXPECT_EQ(moved, count % 4 == 0) << "count " << count;
            if (moved && first)
            {
                EXPECT_EQ(count - startCount, (4 - startCount % 4) % 4);
                first = false;
            }
            EXPECT_EQ(stack.glideCount(), count + 1);
        }
    }
    // Three glides of different lengths leave the counter at other phases.
    EXPECT_GT(stack.glideCount(), 3u * 4u * 1000u);
}

// The glide stops within 0.001 of the target without snapping to it; a new
// call with the same targets glides again and ends after one update.
TEST(ToneCircuitGlide, EndsNearTheTargetWithoutSnapping)
{
    CleanToneStack stack(1, rate);
    stack.setSampleRate(rate, 1);
    stack.setControls(0.9, 0.1, 0.8, 0.7);
    samplesUntilSettled(stack);
    for (int i = 0; i < CleanToneStack::controlCount; ++i)
    {
        const double v = stack.smoothedControls()[i], t = stack.targetControls()[i];
        EXPECT_LT(std::abs(v - t), 0.001);
        if (i != CleanToneStack::Mids) // Mids only moved 0.4
        {
            EXPECT_NE(v, t);
        }
    }
    // The coefficients were computed on the step that ended the glide.
    CleanToneStack::Coefficients n, d;
    stack.analogCoefficients(stack.smoothedControls(), n, d);
    EXPECT_EQ(n, stack.analogNumerator());
    EXPECT_EQ(d, stack.analogDenominator());

    stack.setControls(0.9, 0.1, 0.8, 0.7);
    EXPECT_TRUE(stack.isGliding());
    stack.process(0.1);
    EXPECT_FALSE(stack.isGliding());
}

// While not gliding, process is the bare filter step and the counter rests.
TEST(ToneCircuitGlide, IdleCircuitRunsTheBareFilter)
{
    RhythmToneStack stack(2, rate);
    stack.setSampleRate(rate, 2);
    EXPECT_FALSE(stack.isGliding());
    auto copy = stack.digitalFilter();
    for (int i = 0; i < 100; ++i)
    {
        const double x = std::sin(0.05 * i);
        EXPECT_EQ(stack.process(x), copy.process(x));
    }
    EXPECT_EQ(stack.glideCount(), 0u);
}

// A rate change recomputes the coefficients at once and keeps every state.
TEST(ToneCircuit, SampleRateChangeKeepsTheFilterState)
{
    LeadToneStack stack(2, 88200.0);
    stack.setSampleRate(88200.0, 2);
    for (int i = 0; i < 500; ++i)
        stack.process(std::sin(0.03 * i));
    const auto before = stack.digitalFilter();
    const auto analog = stack.analogNumerator();
    stack.setSampleRate(384000.0, 8);
    const auto& after = stack.digitalFilter();
    EXPECT_EQ(after.v, before.v);
    EXPECT_NE(after.b, before.b);
    EXPECT_EQ(stack.analogNumerator(), analog);
    EXPECT_EQ(stack.innerRate(), 384000.0);
    EXPECT_EQ(stack.oversamplingFactor(), 8);
    const double x = 0.25;
    EXPECT_EQ(stack.process(x), after.b[0] * x + before.v[0]);
}

// A control at 0 is a fraction of about 1e-25; the section keeps its end
// resistance (1e-4 of the track): the output is about −90 dB, finite and not
// exactly zero.
TEST(ToneCircuit, ControlsAtZeroGiveTinyFiniteOutput)
{
    CleanToneStack stack(1, rate);
    stack.setSampleRate(rate, 1);
    CleanGainNetwork gain(1, rate, 38000.0, 500000.0, 1.5e-10);
    gain.setSampleRate(rate, 1);
    // Repeated calls keep the glide going until the fractions reach their
    // floor of about 1e-22 (the 1e-25 offset accumulated by the glide).
    double y = 0.0, yGain = 0.0;
    // What the earlier settings left in the filter state has faded after
    // about 2 s.
    for (int i = 0; i < 200000; ++i)
    {
        stack.setControls(0.3, 0.5, 0.5, 1e-25);
        gain.setControls(1e-25, 1e-25);
        y = stack.process(std::sin(0.07 * i));
        yGain = gain.process(std::sin(0.07 * i));
    }
    EXPECT_LT(stack.smoothedControls()[CleanToneStack::Volume], 1e-20);
    EXPECT_LT(gain.smoothedControls()[CleanGainNetwork::Gain], 1e-20);
    for (double v : {y, yGain})
    {
        EXPECT_TRUE(std::isfinite(v));
        EXPECT_NE(v, 0.0);
        EXPECT_LT(std::abs(v), 1e-4);
    }
}

// Bad input must not leave a circuit stuck in NaN or make it divide by zero:
// NaN targets are ignored, targets outside 0 … 1 are clamped, a rate that is
// not positive is ignored and the factor is at least 1.
TEST(ToneCircuit, BadInputKeepsTheCircuitSound)
{
    LeadToneStack stack(2, rate);
    stack.setSampleRate(rate, 2);
    stack.setControls(NAN, -3.0, 7.0, INFINITY, -INFINITY, 0.5);
    EXPECT_EQ(stack.targetControls()[LeadToneStack::Lows], LeadToneStack::defaults[LeadToneStack::Lows]);
    EXPECT_EQ(stack.targetControls()[LeadToneStack::Mids], 0.0);
    EXPECT_EQ(stack.targetControls()[LeadToneStack::Treble], 1.0);
    EXPECT_EQ(stack.targetControls()[LeadToneStack::Presence], 1.0);
    EXPECT_EQ(stack.targetControls()[LeadToneStack::Volume], 0.0);
    stack.setSampleRate(NAN, 0);
    stack.setSampleRate(0.0, -4);
    stack.setSampleRate(-44100.0, 2);
    EXPECT_EQ(stack.innerRate(), rate);
    EXPECT_EQ(stack.oversamplingFactor(), 2);
    stack.setSampleRate(rate, 0);
    EXPECT_EQ(stack.oversamplingFactor(), 1);
    double sum = 0.0;
    for (int i = 0; i < 3000; ++i)
        sum += std::abs(stack.process(std::sin(0.02 * i)));
    EXPECT_TRUE(std::isfinite(sum));
    EXPECT_GT(sum, 0.0);

    RhythmGainNetwork gain(2, rate, NAN, -1.0, -INFINITY);
    EXPECT_EQ(gain.sourceResistance(), 0.0);
    EXPECT_EQ(gain.potResistance(), 500000.0);
    EXPECT_EQ(gain.inputCapacitance(), 0.0);
    gain.setSampleRate(rate, 2);
    EXPECT_TRUE(std::isfinite(gain.process(1.0)));
}

// Processing and control changes allocate nothing, also while gliding.
TEST(ToneCircuit, ProcessingDoesNotAllocate)
{
    CleanToneStack clean(2, rate);
    LeadToneStack lead(2, rate);
    LeadGainNetwork gain(2, rate, 38000.0, 500000.0, 1.5e-10);
    clean.setSampleRate(rate, 2);
    lead.setSampleRate(rate, 2);
    gain.setSampleRate(rate, 2);
    const long before = allocations.load();
    double sum = 0.0;
    for (int i = 0; i < 2000; ++i)
    {
        if (i % 500 == 0)
        {
            clean.setControls(0.1 * (i / 500), 0.5, 0.7, 0.3);
            lead.setControls(0.2, 0.4, 0.6, 0.8, 0.5, (i / 500) % 2);
            gain.setControls(0.5, (i / 500) % 2);
        }
        sum += clean.process(0.1) + lead.process(0.1) + gain.process(0.1);
    }
    clean.setSampleRate(2 * rate, 4);
    EXPECT_EQ(allocations.load(), before);
    EXPECT_TRUE(std::isfinite(sum));
}
