// The format-neutral effect core: parameter changes stored from any thread
// and applied by the audio thread before its next block.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "engine/ZRV4.h"
#include "shell/ZRV4Effect.h"
#include "tests/shell/OversamplerDelay.h"
#include "tests/shell/TestHost.h"

namespace
{

struct Change
{
    int32_t index;
    float value;
};

// Random changes of every parameter, with the values hosts send: switch
// thresholds, range ends, out-of-range values and NaN. Half of them go to the
// parameters whose effect depends on earlier values (selections, modes).
std::vector<std::vector<Change>> randomChanges(unsigned seed, int blocks)
{
    const float values[] = {
        0.0f, 0.3f, 0.5f, 0.51f, 0.8f, 1.0f, 1.5f, -0.2f, std::numeric_limits<float>::quiet_NaN()};
    const int32_t selections[] = {kChannel, kOversampling, kPluginMode, kBypass, kModeRhythm};
    std::mt19937 rng(seed);
    std::vector<std::vector<Change>> changes(blocks);
    for (auto& between : changes)
    {
        const int n = static_cast<int>(rng() % 9);
        for (int k = 0; k < n; ++k)
        {
            const int32_t index =
                rng() % 2 != 0 ? selections[rng() % 5] : static_cast<int32_t>(rng() % kNumParameters);
            between.push_back({index, values[rng() % 9]});
        }
    }
    return changes;
}

// Renders blocks of a stereo tone with the changes before each block. One by
// one, an empty block after every change makes each reach the engines before
// the next, as when changes took effect at once.
std::vector<double> render(const std::vector<std::vector<Change>>& changes, bool oneByOne)
{
    constexpr int32_t frames = 200;
    ZRV4Effect fx;
    const std::vector<double> in0 = testhost::tone<double>(frames * changes.size(), 196.0, 0.4);
    const std::vector<double> in1 = testhost::tone<double>(frames * changes.size(), 247.0, 0.3);
    std::vector<double> out0(in0.size()), out1(in0.size()), both;
    for (size_t b = 0; b < changes.size(); ++b)
    {
        for (const Change& c : changes[b])
        {
            fx.setParameter(c.index, c.value);
            if (oneByOne)
                fx.process(static_cast<const double*>(nullptr), nullptr, nullptr, nullptr, 0);
        }
        const size_t at = b * frames;
        fx.process(in0.data() + at, in1.data() + at, out0.data() + at, out1.data() + at, frames);
    }
    both = out0;
    both.insert(both.end(), out1.begin(), out1.end());
    return both;
}

TEST(EffectCore, ChangesBetweenBlocksSoundAsIfAppliedOneByOne)
{
    for (unsigned seed : {1u, 2u, 3u})
    {
        SCOPED_TRACE(seed);
        const auto changes = randomChanges(seed, 40);
        const std::vector<double> batched = render(changes, false);
        EXPECT_EQ(batched, render(changes, true));
        double energy = 0.0;
        for (double v : batched)
            energy += v * v;
        EXPECT_GT(energy, 1e-3);
    }
}

TEST(EffectCore, ChangesWaitForTheNextBlock)
{
    ZRV4Effect fx;
    fx.setParameter(kChannel, 0.9f);
    fx.setParameter(kOversampling, 1.0f);
    EXPECT_TRUE(fx.setSampleRate(96000.0));
    // Stored and readable at once, in force with the next block.
    EXPECT_EQ(fx.getParameter(kChannel), 0.9f);
    EXPECT_EQ(fx.requestedFactor(), 8u);
    EXPECT_EQ(fx.leftEngine().channel(), 1u);
    EXPECT_EQ(fx.leftEngine().oversamplingFactor(), 4u);
    EXPECT_EQ(fx.latencySamples(), ZRV4Effect::latencyFor(4));
    fx.process(static_cast<const float*>(nullptr), nullptr, nullptr, nullptr, 0);
    EXPECT_FALSE(fx.hasPendingChanges());
    for (const ZRV4* engine : {&fx.leftEngine(), &fx.rightEngine()})
    {
        EXPECT_EQ(engine->channel(), 3u);
        EXPECT_EQ(engine->oversamplingFactor(), 8u);
        EXPECT_DOUBLE_EQ(engine->sampleRate(), 96000.0);
    }
    EXPECT_EQ(fx.latencySamples(), ZRV4Effect::latencyFor(8));

    // Resuming applies what was set while suspended.
    fx.setParameter(kOversampling, 0.0f);
    fx.resume();
    EXPECT_EQ(fx.leftEngine().oversamplingFactor(), 2u);
    EXPECT_FALSE(fx.setSampleRate(0.0));
    EXPECT_DOUBLE_EQ(fx.getSampleRate(), 96000.0);
}

// The reported delays come from the oversampler's own impulse response: the
// whole number of host samples closest to its phase delay from 100 Hz to
// 5 kHz (at 44.1 kHz; the delay in samples does not depend on the rate).
TEST(EffectCore, LatencyIsTheOversamplersLowFrequencyDelay)
{
    using namespace oversampler_delay;
    for (unsigned factor : {2u, 4u, 8u})
    {
        SCOPED_TRACE(factor);
        const std::vector<double> delays = phaseDelays(impulseResponse(factor), 100.0, 5000.0, 44100.0);
        EXPECT_EQ(ZRV4Effect::latencyFor(factor), bestWholeDelay(delays));
    }
}

} // namespace
