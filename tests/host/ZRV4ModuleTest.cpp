// Our own module, loaded through its entry point by the host layer as a DAW
// would load it.
#include "host/VstPlugin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace
{
std::unique_ptr<VstPlugin> loadModule()
{
    std::string error;
    auto plugin = VstPlugin::load(ZRV4_MODULE, error);
    EXPECT_NE(plugin, nullptr) << error;
    if (plugin)
        plugin->open();
    return plugin;
}

const char* const names[28] = {
    "Channel",       "Gain Lead",   "Bright Lead",   "Lows Lead",     "Mids Lead",   "Treble Lead",
    "Presence Lead", "Shape Lead",  "Volume Lead",   "Gain Rhythm",   "Mode Rhythm", "Bright Rhythm",
    "Lows Rhythm",   "Mids Rhythm", "Treble Rhythm", "Volume Rhythm", "Gain Clean",  "Bright Clean",
    "Lows Clean",    "Mids Clean",  "Treble Clean",  "Volume Clean",  "Plugin Mode", "Bypass",
    "Panel View",    "Input Level", "Output Level",  "Oversampling"};
} // namespace

TEST(ZRV4Module, AnnouncesItselfToTheHost)
{
    auto plugin = loadModule();
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->effectName(), "ZRV4 1.0.0");
    EXPECT_EQ(plugin->vendor(), "Tolvane Amps");
    EXPECT_EQ(plugin->product(), "ZRV4 1.0.0");
    EXPECT_EQ(plugin->vendorVersion(), 1000);
    EXPECT_EQ(plugin->vstVersion(), 2400);
    EXPECT_EQ(plugin->uniqueID(), vstFourCC('Z', 'R', 'V', '4'));
    EXPECT_EQ(plugin->numInputs(), 2);
    EXPECT_EQ(plugin->numOutputs(), 2);
    EXPECT_EQ(plugin->numPrograms(), 1);
    EXPECT_EQ(plugin->numParams(), 28);
    EXPECT_TRUE(plugin->canReplacing());
    EXPECT_TRUE(plugin->canDoubleReplacing());
    EXPECT_EQ(plugin->programName(), "Init 1");
}

TEST(ZRV4Module, ParameterNamesLabelsAndDisplaysThroughTheDispatcher)
{
    auto plugin = loadModule();
    ASSERT_NE(plugin, nullptr);
    for (int i = 0; i < 28; ++i)
    {
        EXPECT_EQ(plugin->parameterName(i), names[i]) << i;
        EXPECT_EQ(plugin->findParameter(names[i]), i);
    }
    EXPECT_EQ(plugin->parameterLabel(5), "Treb Ld");
    EXPECT_EQ(plugin->parameterLabel(0), "Clean");
    EXPECT_EQ(plugin->parameterLabel(27), "4x");
    EXPECT_EQ(plugin->parameterDisplay(1), "0.500000");
    plugin->setParameter(0, 0.8f);
    EXPECT_EQ(plugin->parameterLabel(0), "Lead");
    plugin->setParameter(2, 0.5f);
    EXPECT_EQ(plugin->getParameter(2), 0.0f);
    plugin->setParameter(27, 1.0f);
    EXPECT_EQ(plugin->parameterLabel(27), "8x");
}

TEST(ZRV4Module, ProcessesFloatAndDoubleBlocksInPlace)
{
    auto plugin = loadModule();
    ASSERT_NE(plugin, nullptr);
    plugin->setSampleRate(48000.0f);
    plugin->setBlockSize(256);
    plugin->resume();
    std::vector<float> left(256), right(256);
    std::vector<double> dleft(256), dright(256);
    float* io[2] = {left.data(), right.data()};
    double* dio[2] = {dleft.data(), dright.data()};
    for (int block = 0; block < 20; ++block)
    {
        for (int i = 0; i < 256; ++i)
        {
            const double t = (block * 256 + i) / 48000.0;
            dleft[i] = dright[i] = 0.2 * std::sin(2.0 * M_PI * 220.0 * t);
            left[i] = right[i] = static_cast<float>(dleft[i]);
        }
        ASSERT_TRUE(plugin->process(io, io, 256)); // same buffer in and out
        ASSERT_TRUE(plugin->processDouble(dio, dio, 256));
        for (int i = 0; i < 256; ++i)
        {
            ASSERT_TRUE(std::isfinite(left[i]) && std::isfinite(right[i]));
            ASSERT_TRUE(std::isfinite(dleft[i]) && std::isfinite(dright[i]));
            EXPECT_EQ(left[i], right[i]) << "mono mode feeds both outputs";
        }
    }
    plugin->suspend();
}

// A host's own setParameter must not come back to it as automation: a host
// that records automation would otherwise hear its own writes as edits.
TEST(ZRV4Module, HostParameterChangesAreNotEchoedAsAutomation)
{
    auto plugin = loadModule();
    ASSERT_NE(plugin, nullptr);
    plugin->setParameter(1, 0.7f);
    plugin->setParameter(0, 0.5f);
    EXPECT_TRUE(plugin->automation().empty());
    EXPECT_FLOAT_EQ(plugin->getParameter(1), 0.7f);
}
