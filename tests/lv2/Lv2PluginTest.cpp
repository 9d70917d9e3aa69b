// The LV2 plug-in of this build, instantiated and run through lilv, against
// the VST module of the same build loaded by the host layer: the same
// settings give the same samples bit for bit (the module's double path,
// narrowed to float), the latency port reports the module's initialDelay,
// and instantiate refuses rates no engine can run at.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "host/Lv2Plugin.h"
#include "host/VstPlugin.h"
#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Uris.h"
#include "tools/render/GuitarPhrase.h"

namespace
{

constexpr double rate = 48000.0;
constexpr int block = 128;

std::unique_ptr<Lv2Plugin> loadLv2(double r = rate)
{
    std::string error;
    auto plugin = Lv2Plugin::load(ZRV4_LV2_URI, r, block, error, ZRV4_LV2_BUNDLE);
    EXPECT_NE(plugin, nullptr) << error;
    return plugin;
}

std::unique_ptr<VstPlugin> loadVst()
{
    std::string error;
    auto plugin = VstPlugin::load(ZRV4_MODULE, error, {static_cast<float>(rate), block});
    EXPECT_NE(plugin, nullptr) << error;
    if (plugin)
    {
        plugin->open();
        plugin->setSampleRate(static_cast<float>(rate));
        plugin->setBlockSize(block);
        plugin->resume();
    }
    return plugin;
}

// A parameter as both formats receive it: the LV2 port value, and the value
// the mapping gives the effect, which the VST module receives.
struct Setting
{
    int32_t index;
    float port;
};

void apply(Lv2Plugin& lv2, VstPlugin& vst, const std::vector<Setting>& settings)
{
    for (const Setting& s : settings)
    {
        *lv2.controlBuffer(Lv2Ports::firstParameter + static_cast<uint32_t>(s.index)) = s.port;
        vst.setParameter(s.index, Lv2Ports::parameterValue(s.index, s.port));
    }
}

// Runs both over the same stereo input block by block, with `later` applied
// between two blocks half-way; answers the first frame and channel where they
// differ, or -1.
long firstDifference(const std::vector<Setting>& settings, const std::vector<Setting>& later)
{
    auto lv2 = loadLv2();
    auto vst = loadVst();
    if (!lv2 || !vst)
        return 0;
    apply(*lv2, *vst, settings);
    lv2->activate();
    const std::vector<float> phrase = GuitarPhrase::render(rate);
    const int blocks = 40;
    std::vector<double> in0(block), in1(block), out0(block), out1(block);
    double* ins[2] = {in0.data(), in1.data()};
    double* outs[2] = {out0.data(), out1.data()};
    for (int b = 0; b < blocks; ++b)
    {
        if (b == blocks / 2)
            apply(*lv2, *vst, later);
        for (int i = 0; i < block; ++i)
        {
            // Left: the phrase, 4 times hotter; right: the phrase later on.
            const float left = 4.0f * phrase[static_cast<size_t>(b * block + i)];
            const float right = phrase[static_cast<size_t>(rate) + static_cast<size_t>(b * block + i)];
            lv2->audioInput(0)[i] = left;
            lv2->audioInput(1)[i] = right;
            in0[i] = left;
            in1[i] = right;
        }
        lv2->run(block);
        vst->processDouble(ins, outs, block);
        for (int i = 0; i < block; ++i)
        {
            if (lv2->audioOutput(0)[i] != static_cast<float>(out0[i]))
                return 2L * (b * block + i);
            if (lv2->audioOutput(1)[i] != static_cast<float>(out1[i]))
                return 2L * (b * block + i) + 1;
        }
    }
    return -1;
}

TEST(Lv2Plugin, GivesTheVstModulesDoublePathBitForBitInEveryChannelAndFactor)
{
    const float channels[] = {0.0f, 1.0f, 2.0f};
    const float factors[] = {2.0f, 4.0f, 8.0f};
    for (float channel : channels)
        for (float factor : factors)
        {
            SCOPED_TRACE(testing::Message() << "channel " << channel << ", " << factor << "x");
            // Gain and a tone control of every channel move between blocks.
            EXPECT_EQ(firstDifference({{kChannel, channel}, {kOversampling, factor}}, {{kGainLead, 8.0f},
                                                                                       {kGainRhythm, 2.5f},
                                                                                       {kGainClean, 9.0f},
                                                                                       {kMidsLead, 1.0f},
                                                                                       {kTrebleRhythm, 7.0f},
                                                                                       {kLowsClean, 3.3f}}),
                      -1);
        }
}

TEST(Lv2Plugin, FollowsStereoBypassAndFactorChangesAsTheVstModuleDoes)
{
    // Stereo from the start, then Rhythm's mode, the levels and the factor.
    EXPECT_EQ(firstDifference(
                  {{kPluginMode, 1.0f}, {kChannel, 1.0f}},
                  {{kModeRhythm, 1.0f}, {kInputLevel, 4.5f}, {kOutputLevel, -12.0f}, {kOversampling, 8.0f}}),
              -1);
    // Disabled (the effect's Bypass), then back on in stereo.
    EXPECT_EQ(firstDifference({{kBypass, 0.0f}, {kChannel, 2.0f}}, {{kBypass, 1.0f}, {kPluginMode, 1.0f}}),
              -1);
    // Values between the choices and out of range, as a careless host writes them.
    EXPECT_EQ(firstDifference(
                  {{kChannel, 1.4f}, {kOversampling, 5.0f}, {kGainLead, 14.0f}},
                  {{kChannel, 7.0f}, {kOversampling, 0.0f}, {kBrightLead, 0.2f}, {kInputLevel, -80.0f}}),
              -1);
}

TEST(Lv2Plugin, DisabledPassesTheInputThrough)
{
    auto lv2 = loadLv2();
    ASSERT_NE(lv2, nullptr);
    lv2->setControl("enabled", 0.0f);
    lv2->activate();
    for (int i = 0; i < block; ++i)
    {
        lv2->audioInput(0)[i] = 0.001f * static_cast<float>(i);
        lv2->audioInput(1)[i] = -0.002f * static_cast<float>(i);
    }
    lv2->run(block);
    for (int i = 0; i < block; ++i)
    {
        EXPECT_EQ(lv2->audioOutput(0)[i], lv2->audioInput(0)[i]);
        EXPECT_EQ(lv2->audioOutput(1)[i], lv2->audioInput(1)[i]);
    }
}

TEST(Lv2Plugin, LatencyPortReportsTheVstModulesInitialDelay)
{
    auto lv2 = loadLv2();
    auto vst = loadVst();
    ASSERT_TRUE(lv2 && vst);
    lv2->activate();
    std::vector<double> in(block, 0.0), out0(block), out1(block);
    double* ins[2] = {in.data(), in.data()};
    double* outs[2] = {out0.data(), out1.data()};
    for (float factor : {2.0f, 8.0f, 4.0f})
    {
        apply(*lv2, *vst, {{kOversampling, factor}});
        lv2->run(block);
        vst->processDouble(ins, outs, block);
        EXPECT_EQ(lv2->control("latency"), static_cast<float>(vst->initialDelay())) << factor << "x";
        EXPECT_GT(vst->initialDelay(), 0);
    }
}

TEST(Lv2Plugin, InstantiatesAtHostRatesAndRefusesAbsurdOnes)
{
    for (double r : {44100.0, 48000.0, 96000.0, 192000.0})
    {
        SCOPED_TRACE(r);
        auto lv2 = loadLv2(r);
        ASSERT_NE(lv2, nullptr);
        lv2->setControl("channel", 2.0f);
        lv2->activate();
        for (int i = 0; i < block; ++i)
            lv2->audioInput(0)[i] = static_cast<float>(0.3 * std::sin(2.0 * M_PI * 220.0 * i / r));
        double energy = 0.0;
        for (int b = 0; b < 8; ++b)
        {
            lv2->run(block);
            for (int i = 0; i < block; ++i)
            {
                ASSERT_TRUE(std::isfinite(lv2->audioOutput(0)[i]));
                energy += static_cast<double>(lv2->audioOutput(0)[i]) * lv2->audioOutput(0)[i];
            }
        }
        EXPECT_GT(energy, 1e-6);
    }
    for (double r :
         {0.0, -48000.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()})
    {
        std::string error;
        EXPECT_EQ(Lv2Plugin::load(ZRV4_LV2_URI, r, block, error, ZRV4_LV2_BUNDLE), nullptr) << r;
    }
}

} // namespace
