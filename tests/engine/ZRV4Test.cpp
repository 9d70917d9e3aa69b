#include "engine/ZRV4.h"
#include "engine/OversamplingStages.h"
#include "tests/engine/EngineSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace engine_signals;

TEST(ZRV4, NewEngineHasItsInitialSettings)
{
    ZRV4 engine(true);
    EXPECT_EQ(engine.channel(), 4u);
    EXPECT_EQ(engine.oversamplingFactor(), 4u);
    EXPECT_EQ(engine.sampleRate(), 44100.0);
}

// Before the first setChannel no chain runs: the output is outputGain x 0.005
// x the band-limited, delayed input, plus 1e-25.
TEST(ZRV4, WithoutChannelTheTickIsPureFiltering)
{
    for (unsigned factor : {2u, 4u, 8u})
    {
        ZRV4 engine(true);
        engine.setInputLevel(0.7f);
        engine.setOutputLevel(0.3f);
        engine.setOversampling(factor);
        OversamplingStages reference;
        auto identity = [](double w) noexcept { return w; };
        for (double x : noise(3000, factor))
        {
            const double v = engine.inputGain() * x + 1e-25;
            double y = 0.0;
            if (factor == 2)
                y = reference.tick<1>(v, identity);
            else if (factor == 4)
                y = reference.tick<2>(v, identity);
            else
                y = reference.tick<3>(v, identity);
            ASSERT_EQ(engine.processSample(x), engine.outputGain() * y * 0.005 + 1e-25)
                << "factor " << factor;
        }
    }
}

TEST(ZRV4, ChannelChangesOnlyOnARealChangeOfRange)
{
    ZRV4 engine(true);
    engine.setChannel(-0.1f);
    EXPECT_EQ(engine.channel(), 4u);
    engine.setChannel(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(engine.channel(), 4u);
    engine.setChannel(0.3f);
    EXPECT_EQ(engine.channel(), 2u);
    engine.setChannel(0.3f);
    EXPECT_EQ(engine.channel(), 2u);
    engine.setChannel(0.1f);
    EXPECT_EQ(engine.channel(), 1u);
    engine.setChannel(0.0f);
    EXPECT_EQ(engine.channel(), 1u);
    engine.setChannel(0.25f);
    EXPECT_EQ(engine.channel(), 2u);
    engine.setChannel(0.75f);
    EXPECT_EQ(engine.channel(), 3u);
    engine.setChannel(1.0f);
    EXPECT_EQ(engine.channel(), 3u);
    engine.setChannel(-1.0f);
    EXPECT_EQ(engine.channel(), 3u);
}

TEST(ZRV4, OversamplingAcceptsOnlyTwoFourAndEight)
{
    ZRV4 engine(true);
    for (unsigned bad : {0u, 1u, 3u, 6u, 16u})
    {
        engine.setOversampling(bad);
        EXPECT_EQ(engine.oversamplingFactor(), 4u) << bad;
    }
    engine.setOversampling(8);
    EXPECT_EQ(engine.oversamplingFactor(), 8u);
    engine.setOversampling(2);
    EXPECT_EQ(engine.oversamplingFactor(), 2u);
}

// A detour through another factor, or another rate, leaves every tube and
// tone state as it was and restores the coefficients: in every channel the
// engine goes on bit for bit like one never switched.
TEST(ZRV4, FactorRoundTripKeepsStates)
{
    for (float channel : {0.0f, 0.5f, 1.0f})
        for (unsigned detour : {2u, 8u})
        {
            ZRV4 switched(true), steady(true);
            applyDefaults(switched, channel);
            applyDefaults(steady, channel);
            const std::vector<double> first = noise(2000, 1), second = noise(2000, 2);
            EXPECT_TRUE(sameBits(run(switched, first), run(steady, first)));
            switched.setOversampling(detour);
            switched.setOversampling(4);
            EXPECT_TRUE(sameBits(run(switched, second), run(steady, second)))
                << "channel " << channel << ", detour " << detour;
        }
}

TEST(ZRV4, RateChangesKeepStatesAndRefuseNonsense)
{
    for (float channel : {0.0f, 0.5f, 1.0f})
    {
        ZRV4 changed(true), steady(true);
        applyDefaults(changed, channel);
        applyDefaults(steady, channel);
        const std::vector<double> first = noise(1000, 5), second = noise(1000, 6);
        run(changed, first);
        run(steady, first);
        changed.setSampleRate(96000.0f);
        EXPECT_EQ(changed.sampleRate(), 96000.0);
        for (float bad :
             {0.0f, -48000.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
        {
            changed.setSampleRate(bad);
            EXPECT_EQ(changed.sampleRate(), 96000.0);
        }
        changed.setSampleRate(44100.0f);
        EXPECT_TRUE(sameBits(run(changed, second), run(steady, second))) << "channel " << channel;
    }
}

TEST(ZRV4, LevelsFollowTheirLaw)
{
    ZRV4 engine(true);
    engine.setInputLevel(0.0f);
    EXPECT_EQ(engine.inputGain(), 2e-25);
    engine.setInputLevel(0.5f);
    EXPECT_EQ(engine.inputGain(), 1.0);
    engine.setOutputLevel(1.0f);
    EXPECT_EQ(engine.outputGain(), 2.0);
    engine.setOutputLevel(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(engine.outputGain(), 2.0);
}

// The copy made for the second channel of a stereo effect must sound exactly
// like its source: same tube and tone states, coefficients of the source's
// rate and controls, in every channel and at every factor. Blind to a fault
// in what both run: the golden rendering covers that.
TEST(ZRV4, CopyEqualsItsSource)
{
    ZRV4 source(true);
    source.setSampleRate(48000.0f);
    applyAll(source, 0.0f, 0.3f);
    source.setInputLevel(0.6f);
    source.setOutputLevel(0.4f);
    ZRV4 copy(source);
    EXPECT_EQ(copy.sampleRate(), 48000.0);
    EXPECT_EQ(copy.channel(), 4u);
    EXPECT_EQ(copy.oversamplingFactor(), 4u);
    EXPECT_EQ(copy.inputGain(), source.inputGain());
    EXPECT_EQ(copy.outputGain(), source.outputGain());
    for (unsigned factor : {4u, 8u, 2u})
        for (float channel : {1.0f, 0.5f, 0.0f})
        {
            for (ZRV4* e : {&source, &copy})
            {
                e->setOversampling(factor);
                e->setChannel(channel);
            }
            const std::vector<double> x = noise(1500, factor);
            EXPECT_TRUE(sameBits(run(source, x), run(copy, x))) << "factor " << factor << ", channel " << channel;
        }
}

// A NaN or infinite sample from the host must not poison the recursive
// filters: the engine goes on with finite output afterwards.
TEST(ZRV4, NonFiniteInputDoesNotStickInTheFilters)
{
    ZRV4 engine(true);
    engine.setChannel(0.0f);
    const double bad[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(), 1e308};
    for (double b : bad)
        EXPECT_TRUE(std::isfinite(engine.processSample(b)));
    double y = 0.0;
    for (double x : noise(500, 9))
    {
        y = engine.processSample(x);
        ASSERT_TRUE(std::isfinite(y));
    }
    // After the clip (which drives every grid hard into conduction and
    // charges the coupling capacitors), the response dies away to below
    // -100 dBFS within two seconds.
    for (int n = 0; n < 88200; ++n)
        y = engine.processSample(0.0);
    EXPECT_LT(std::fabs(y), 1e-5);
}
