// The engine under what hosts and fuzzers do: non-finite states, rate
// changes in any order, channel switches with charged coupling filters; and
// every channel at every accepted rate and factor.

#include "engine/ZRV4.h"
#include "tests/engine/EngineSignals.h"
#include "tests/tone/ToneTestSupport.h"
#include "tools/render/GuitarPhrase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

using namespace engine_signals;

namespace
{
bool allFinite(const std::vector<double>& y)
{
    return std::all_of(y.begin(), y.end(), [](double v) { return std::isfinite(v); });
}

// Corners of every control: 0 all at 0, 1 all at 1, 2 and 3 the tone
// controls alternating between the ends (Volume at 1).
void applyCorner(ZRV4& engine, float channel, int corner)
{
    applyAll(engine, channel, corner == 1 ? 1.0f : 0.0f);
    if (corner < 2)
        return;
    const float a = corner == 3 ? 1.0f : 0.0f, b = 1.0f - a;
    engine.setLeadTone(a, b, a, b, 1.0f, a);
    engine.setRhythmTone(a, b, a, 1.0f);
    engine.setCleanTone(a, b, a, 1.0f);
}

// What reaches the engine after `history`: the same as a fresh engine at
// the defaults gives, within 1e-6 of peak, once both have idled 2 s.
void expectLikeFresh(float channel, const std::function<void(ZRV4&)>& history)
{
    ZRV4 fresh(true), used(true);
    history(used);
    for (ZRV4* e : {&fresh, &used})
    {
        e->setSampleRate(44100.0f);
        applyDefaults(*e, channel);
        run(*e, std::vector<double>(88200, 0.0));
    }
    std::vector<double> phrase(22050);
    const std::vector<float> guitar = GuitarPhrase::render(rate);
    std::copy(guitar.begin(), guitar.begin() + 22050, phrase.begin());
    const auto a = run(fresh, phrase), b = run(used, phrase);
    double error = 0.0;
    for (size_t n = 0; n < a.size(); ++n)
        error = std::max(error, std::abs(a[n] - b[n]));
    EXPECT_LT(error, 1e-6 * peak(a)) << "channel " << channel;
}
} // namespace

// A filter state that went non-finite is found at the block's end and
// restored from the settled engine: the next block plays, and only then.
TEST(EngineRobustness, NonFiniteStateRecoversWithinOneBlock)
{
    const std::vector<double> block = noise(256, 3, 0.3);
    for (int c = 0; c < 3; ++c)
    {
        ZRV4 engine(true);
        applyDefaults(engine, channels[c]);
        engine.setOversampling(8);
        run(engine, block);
        EXPECT_FALSE(engine.checkAndRecover());
        ChannelBlocks& b = *engine.circuitForTesting();
        if (c == 0)
            b.cleanToneStack.digitalFilter().v[1] = std::numeric_limits<double>::quiet_NaN();
        else if (c == 1)
            b.secondStage.couplingFilter.previousOutput = std::numeric_limits<double>::infinity();
        else
            b.leadToneStack.digitalFilter().v[0] = 1e308 * 10.0;
        run(engine, block);
        EXPECT_TRUE(engine.checkAndRecover()) << channelNames[c];
        EXPECT_EQ(engine.recoveryCount(), 1u);
        const auto after = run(engine, block);
        EXPECT_TRUE(allFinite(after)) << channelNames[c];
        EXPECT_GT(peak(after, 128), 1e-3) << channelNames[c];
        EXPECT_FALSE(engine.checkAndRecover());
        EXPECT_EQ(engine.recoveryCount(), 1u);
    }
}

// Rates outside 8 kHz … 384 kHz are refused; any sequence of rate changes
// and channel switches leaves no trace once the engine is back at 44.1 kHz.
TEST(EngineRobustness, RateChangesLeaveNoTrace)
{
    ZRV4 engine(true);
    for (float bad : {0.0f, -48000.0f, 1.0f, 7999.0f, 384001.0f, 1e6f, 1e9f,
                      std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
    {
        engine.setSampleRate(bad);
        EXPECT_EQ(engine.sampleRate(), 44100.0) << bad;
    }
    engine.setSampleRate(8000.0f);
    EXPECT_EQ(engine.sampleRate(), 8000.0);
    engine.setSampleRate(384000.0f);
    EXPECT_EQ(engine.sampleRate(), 384000.0);

    // A Rhythm block at 8 kHz that ends with the driver's grid conducting
    // (seeds 12 and 13) leaves the second stage's coupling filter in its
    // conducting form, which Clean inherited for good at the old rate.
    for (unsigned seed : {11u, 12u, 13u})
        expectLikeFresh(0.0f,
                        [&](ZRV4& e)
                        {
                            e.setChannel(0.497f);
                            e.setSampleRate(8000.0f);
                            run(e, noise(47, seed, 10.0));
                        });
    for (float channel : channels)
        expectLikeFresh(channel,
                        [&](ZRV4& e)
                        {
                            for (float r : {1.0f, 8000.0f, 384000.0f, 1e9f, 192000.0f, 22050.0f})
                            {
                                e.setSampleRate(r);
                                e.setChannel(static_cast<float>(r) / 4e5f);
                                e.setOversampling(r > 1e5f ? 8 : 2);
                                run(e, noise(300, 12, 0.9));
                            }
                        });
}

// Every channel at every accepted rate and factor: a 2 s phrase at the
// defaults and a shorter one at the corners of every control come out
// finite and not silent, and the tone stack and gain network of the
// channel respond within 0.5 dB of their analog H at 100 Hz and 1 kHz.
// One case per host rate, so they can run side by side.
class EveryChannelPlays : public testing::TestWithParam<double>
{
};

TEST_P(EveryChannelPlays, AtEveryFactor)
{
    const double hostRate = GetParam();
    const std::vector<float> phrase = GuitarPhrase::render(hostRate);
    const size_t twoSeconds = static_cast<size_t>(2.0 * hostRate);
    const std::vector<double> full(phrase.begin(), phrase.begin() + twoSeconds);
    const std::vector<double> part(phrase.begin(), phrase.begin() + twoSeconds / 16);
    for (unsigned factor : {2u, 4u, 8u})
        for (int c = 0; c < 3; ++c)
        {
            SCOPED_TRACE(testing::Message()
                         << channelNames[c] << " at " << hostRate << " Hz, " << factor << "x");
            ZRV4 engine(true);
            engine.setSampleRate(static_cast<float>(hostRate));
            applyDefaults(engine, channels[c]);
            engine.setOversampling(factor);
            const auto y = run(engine, full);
            ASSERT_TRUE(allFinite(y));
            EXPECT_GT(peak(y, twoSeconds / 2), 1e-3);
            EXPECT_EQ(engine.recoveryCount(), 0u);
            const ChannelBlocks& b = *engine.circuit();
            const double inner = hostRate * factor;
            for (double f : {100.0, 1000.0})
            {
                const auto within = [&](const auto& circuit)
                {
                    const double analog = std::abs(tonetest::analogResponse(circuit, f));
                    const double digital =
                        std::abs(tonetest::digitalResponse(circuit.digitalFilter(), f, inner));
                    EXPECT_LT(std::abs(20.0 * std::log10(digital / analog)), 0.5) << f << " Hz";
                };
                if (c == 0)
                {
                    within(b.cleanToneStack);
                    within(b.cleanGainNetwork);
                }
                else if (c == 1)
                {
                    within(b.rhythmToneStack);
                    within(b.rhythmGainNetwork);
                }
                else
                {
                    within(b.leadToneStack);
                    within(b.leadGainNetwork);
                }
            }
            for (int corner = 0; corner < 4; ++corner)
            {
                applyCorner(engine, channels[c], corner);
                const auto z = run(engine, part);
                ASSERT_TRUE(allFinite(z)) << "corner " << corner;
                // A dead instance gives about 1e-23; Clean with Gain and
                // Volume at 0 still gives about 1e-6.
                EXPECT_GT(peak(z, part.size() / 2), 1e-8) << "corner " << corner;
            }
            EXPECT_EQ(engine.recoveryCount(), 0u);
        }
}

INSTANTIATE_TEST_SUITE_P(EngineRobustness, EveryChannelPlays,
                         testing::Values(8000.0, 22050.0, 44100.0, 48000.0, 88200.0, 96000.0, 176400.0,
                                         192000.0, 352800.0, 384000.0));
