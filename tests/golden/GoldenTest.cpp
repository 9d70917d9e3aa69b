#include "engine/ZRV4.h"
#include "tests/engine/EngineSignals.h"
#include "tests/golden/GoldenFile.h"
#include "tools/render/GuitarPhrase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

// Guards the sound itself: any change in a stage, a network, a tone stack,
// the oversampler or the order of the chains shows here. The stored file
// holds one second per channel (Clean, Rhythm, Lead) as float32
// little-endian; regenerate it only on purpose (see README.md).
namespace
{
constexpr int frames = 44100;
constexpr float channels[] = {0.0f, 0.5f, 1.0f};
const char* const channelNames[] = {"Clean", "Rhythm", "Lead"};

std::vector<double> render(float channel)
{
    const std::vector<float> phrase = GuitarPhrase::render(engine_signals::rate);
    ZRV4 engine(true);
    engine_signals::applyDefaults(engine, channel);
    std::vector<double> y(frames);
    for (int n = 0; n < frames; ++n)
        y[n] = engine.processSample(phrase[n]);
    return y;
}
} // namespace

TEST(Golden, DemoPhraseThroughEachChannelMatchesTheStoredRendering)
{
    std::vector<double> rendered[3];
    for (int c = 0; c < 3; ++c)
        rendered[c] = render(channels[c]);

    if (golden::writeRequested())
    {
        std::vector<double> all;
        for (const std::vector<double>& y : rendered)
            all.insert(all.end(), y.begin(), y.end());
        ASSERT_TRUE(golden::write(ZRV4_GOLDEN_FILE, all));
        GTEST_SKIP() << "wrote " << ZRV4_GOLDEN_FILE;
    }

    const std::vector<float> stored = golden::read(ZRV4_GOLDEN_FILE);
    ASSERT_EQ(stored.size(), 3u * frames) << ZRV4_GOLDEN_FILE;
    for (int c = 0; c < 3; ++c)
    {
        const golden::Difference d = golden::compare(rendered[c], stored, static_cast<size_t>(c) * frames);
        EXPECT_LE(d.worst, 1e-6) << channelNames[c] << " at sample " << d.at;
        // The stored rendering is sound, not silence.
        EXPECT_GT(d.peak, 0.01) << channelNames[c];
    }
    // The three channels sound different.
    EXPECT_FALSE(engine_signals::sameBits(rendered[0], rendered[1]));
    EXPECT_FALSE(engine_signals::sameBits(rendered[1], rendered[2]));
}
