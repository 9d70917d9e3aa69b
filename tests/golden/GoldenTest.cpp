#include "engine/ZRV4.h"
#include "tests/engine/EngineSignals.h"
#include "tests/golden/GoldenFile.h"
#include "tools/render/GuitarPhrase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

// Guards the sound itself: any change in a stage, a network, a tone stack,
// the oversampler or the order of the chains shows here. The stored file
// holds a quarter second of the demo phrase per voicing (see cases) as
// float32 little-endian; regenerate it only on purpose (see README.md).
namespace
{
constexpr int frames = 11025;

struct Case
{
    const char* name;
    float channel;
    std::function<void(ZRV4&)> change; // applied over the default controls
};

// Every switch position that changes the circuit, at default controls, and
// one setting per channel with the tone controls at corners.
const Case cases[] = {
    {"Clean", 0.0f, [](ZRV4&) {}},
    {"Rhythm", 0.5f, [](ZRV4&) {}},
    {"Lead", 1.0f, [](ZRV4&) {}},
    {"Clean Bright", 0.0f, [](ZRV4& e) { e.setCleanGain(0.5f, 1.0f); }},
    {"Rhythm Bright", 0.5f, [](ZRV4& e) { e.setRhythmGain(0.5f, 1.0f); }},
    {"Rhythm Mode", 0.5f, [](ZRV4& e) { e.setRhythmMode(1.0f); }},
    {"Rhythm Mode Bright", 0.5f,
     [](ZRV4& e) {
         e.setRhythmMode(1.0f);
         e.setRhythmGain(0.5f, 1.0f);
     }},
    {"Lead Bright off", 1.0f, [](ZRV4& e) { e.setLeadGain(0.5f, 0.0f); }},
    {"Lead Shape off", 1.0f, [](ZRV4& e) { e.setLeadTone(0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.0f); }},
    {"Clean tone corners", 0.0f, [](ZRV4& e) { e.setCleanTone(1.0f, 0.0f, 1.0f, 0.5f); }},
    {"Rhythm tone corners", 0.5f, [](ZRV4& e) { e.setRhythmTone(0.0f, 1.0f, 0.0f, 0.5f); }},
    {"Lead tone corners", 1.0f, [](ZRV4& e) { e.setLeadTone(1.0f, 0.0f, 0.0f, 1.0f, 0.5f, 1.0f); }},
};
constexpr size_t caseCount = sizeof cases / sizeof cases[0];

std::vector<double> render(const Case& c, const std::vector<float>& phrase)
{
    ZRV4 engine(true);
    engine_signals::applyDefaults(engine, c.channel);
    c.change(engine);
    std::vector<double> y(frames);
    for (int n = 0; n < frames; ++n)
        y[n] = engine.processSample(phrase[n]);
    return y;
}
} // namespace

TEST(Golden, DemoPhraseThroughEachVoicingMatchesTheStoredRendering)
{
    const std::vector<float> phrase = GuitarPhrase::render(engine_signals::rate);
    std::vector<double> rendered[caseCount];
    for (size_t c = 0; c < caseCount; ++c)
        rendered[c] = render(cases[c], phrase);

    if (golden::writeRequested())
    {
        std::vector<double> all;
        for (const std::vector<double>& y : rendered)
            all.insert(all.end(), y.begin(), y.end());
        ASSERT_TRUE(golden::write(ZRV4_GOLDEN_FILE, all));
        GTEST_SKIP() << "wrote " << ZRV4_GOLDEN_FILE << " (" << all.size() * 4 << " bytes)";
    }

    const std::vector<float> stored = golden::read(ZRV4_GOLDEN_FILE);
    ASSERT_EQ(stored.size(), caseCount * frames) << "regenerate " << ZRV4_GOLDEN_FILE << " (README.md)";
    for (size_t c = 0; c < caseCount; ++c)
    {
        const golden::Difference d = golden::compare(rendered[c], stored, c * frames);
        EXPECT_LE(d.worst, 1e-6) << cases[c].name << " at sample " << d.at;
        // The stored rendering is sound, not silence.
        EXPECT_GT(d.peak, 0.01) << cases[c].name;
    }
    // Every switch and corner changes the sound: no case stands in for another.
    for (size_t a = 0; a < caseCount; ++a)
        for (size_t b = a + 1; b < caseCount; ++b)
            EXPECT_FALSE(engine_signals::sameBits(rendered[a], rendered[b])) << cases[a].name << " / " << cases[b].name;
}
