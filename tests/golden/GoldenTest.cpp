#include "engine/ZRV4.h"
#include "tests/engine/EngineSignals.h"
#include "tools/render/GuitarPhrase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
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

void putFloat(std::vector<unsigned char>& bytes, float v)
{
    uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    for (int b = 0; b < 4; ++b)
        bytes.push_back(static_cast<unsigned char>(u >> (8 * b)));
}

float getFloat(const unsigned char* p)
{
    uint32_t u = 0;
    for (int b = 0; b < 4; ++b)
        u |= static_cast<uint32_t>(p[b]) << (8 * b);
    float v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}
} // namespace

TEST(Golden, DemoPhraseThroughEachChannelMatchesTheStoredRendering)
{
    std::vector<double> rendered[3];
    for (int c = 0; c < 3; ++c)
        rendered[c] = render(channels[c]);

    if (const char* write = std::getenv("ZRV4_WRITE_GOLDEN");
        write != nullptr && std::strcmp(write, "1") == 0)
    {
        std::vector<unsigned char> bytes;
        for (const std::vector<double>& y : rendered)
            for (double v : y)
                putFloat(bytes, static_cast<float>(v));
        std::ofstream out(ZRV4_GOLDEN_FILE, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(out.good());
        GTEST_SKIP() << "wrote " << ZRV4_GOLDEN_FILE;
    }

    std::ifstream in(ZRV4_GOLDEN_FILE, std::ios::binary);
    ASSERT_TRUE(in.good()) << "missing " << ZRV4_GOLDEN_FILE;
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 3u * frames * 4u);
    for (int c = 0; c < 3; ++c)
    {
        double worst = 0.0, level = 0.0;
        int worstAt = 0;
        for (int n = 0; n < frames; ++n)
        {
            const double stored = getFloat(&bytes[(static_cast<size_t>(c) * frames + n) * 4]);
            const double e = std::fabs(rendered[c][n] - stored);
            level = std::max(level, std::fabs(stored));
            if (!(e <= worst))
            {
                worst = e;
                worstAt = n;
            }
        }
        EXPECT_LE(worst, 1e-6) << channelNames[c] << " at sample " << worstAt;
        // The stored rendering is sound, not silence.
        EXPECT_GT(level, 0.01) << channelNames[c];
    }
    // The three channels sound different.
    EXPECT_FALSE(engine_signals::sameBits(rendered[0], rendered[1]));
    EXPECT_FALSE(engine_signals::sameBits(rendered[1], rendered[2]));
}
