#include "host/VstPlugin.h"
#include "tests/MissingResource.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace
{
std::string fakeModule(int variant)
{
    return std::string(FAKE_MODULE_DIR) + "/fake_effect_" + std::to_string(variant) + ".so";
}

bool exists(const std::string& path)
{
    return access(path.c_str(), R_OK) == 0;
}

// Keeps a module loaded alongside the host's own reference, so that what the
// fake effect logged survives the host's unloading.
class ModuleLog
{
  public:
    explicit ModuleLog(const std::string& path) : handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
    ~ModuleLog()
    {
        if (handle)
            dlclose(handle);
    }
    std::string text() const
    {
        auto fn = reinterpret_cast<const char* (*)()>(dlsym(handle, "fakeLog"));
        return fn ? fn() : "";
    }

  private:
    void* handle;
};

struct Buffers
{
    Buffers(int channels, int frames)
        : data(channels, std::vector<float>(frames)), out(channels, std::vector<float>(frames))
    {
        for (auto& c : data)
            in.push_back(c.data());
        for (auto& c : out)
            outs.push_back(c.data());
    }
    std::vector<std::vector<float>> data, out;
    std::vector<float*> in, outs;
};
} // namespace

TEST(VstPluginErrors, MissingFileNamesThePathAndTheReason)
{
    std::string error;
    EXPECT_EQ(VstPlugin::load("/nonexistent/dir/nothing.so", error), nullptr);
    EXPECT_NE(error.find("/nonexistent/dir/nothing.so"), std::string::npos) << error;
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

TEST(VstPluginErrors, DirectoryAndNonModuleFilesAreRefused)
{
    std::string error;
    EXPECT_EQ(VstPlugin::load("/tmp", error), nullptr);
    EXPECT_NE(error.find("not a plug-in module"), std::string::npos) << error;

    char name[] = "/tmp/zrv4-host-test-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "not an ELF file\n", 16), 16);
    close(fd);
    EXPECT_EQ(VstPlugin::load(name, error), nullptr);
    EXPECT_NE(error.find("cannot load"), std::string::npos) << error;
    unlink(name);
}

TEST(VstPluginErrors, EntryPointProblemsAreReported)
{
    std::string error;
    EXPECT_EQ(VstPlugin::load(fakeModule(5), error), nullptr);
    EXPECT_NE(error.find("no VST entry point"), std::string::npos) << error;
    EXPECT_EQ(VstPlugin::load(fakeModule(3), error), nullptr);
    EXPECT_NE(error.find("created no effect"), std::string::npos) << error;
    EXPECT_EQ(VstPlugin::load(fakeModule(4), error), nullptr);
    EXPECT_NE(error.find("magic"), std::string::npos) << error;
}

TEST(VstPluginFake, ModuleExportingOnlyMainLoads)
{
    std::string error;
    auto plugin = VstPlugin::load(fakeModule(2), error);
    ASSERT_NE(plugin, nullptr) << error;
    EXPECT_EQ(plugin->numParams(), 3);
}

TEST(VstPluginFake, HostCallbackAnswersWithItsSettings)
{
    ModuleLog keep(fakeModule(1));
    std::string error;
    VstPlugin::HostSettings settings;
    settings.sampleRate = 48000.0f;
    settings.blockSize = 333;
    auto plugin = VstPlugin::load(fakeModule(1), error, settings);
    ASSERT_NE(plugin, nullptr) << error;
    plugin->open();
    EXPECT_EQ(plugin->dispatch(effVendorSpecific, 0), 2400);  // version
    EXPECT_EQ(plugin->dispatch(effVendorSpecific, 1), 48000); // sample rate
    EXPECT_EQ(plugin->dispatch(effVendorSpecific, 2), 333);   // block size
    EXPECT_EQ(plugin->dispatch(effVendorSpecific, 3), 1);     // canDo supplyIdle
    EXPECT_EQ(plugin->dispatch(effVendorSpecific, 4), -1);    // canDo sendVstTimeInfo
    EXPECT_EQ(plugin->dispatch(effVendorSpecific, 5), 0);     // getTime: none
    // Asked from inside the entry point, with garbage in the record's host
    // field: answered for the plug-in being created, no crash.
    EXPECT_EQ(plugin->dispatch(effVendorSpecific, 6), 333);
}

TEST(VstPluginFake, QueriesReachTheDispatcher)
{
    std::string error;
    auto plugin = VstPlugin::load(fakeModule(1), error);
    ASSERT_NE(plugin, nullptr) << error;
    plugin->open();
    EXPECT_EQ(plugin->effectName(), "Fake Effect With A Name Longer Than Thirty-Two Characters");
    EXPECT_EQ(plugin->vendor(), "Test Vendor");
    EXPECT_EQ(plugin->product(), "Fake");
    EXPECT_EQ(plugin->vendorVersion(), 1234);
    EXPECT_EQ(plugin->vstVersion(), 2400);
    EXPECT_EQ(plugin->canDo("plugAsChannelInsert"), 1);
    EXPECT_EQ(plugin->canDo("bypass"), -1);
    EXPECT_EQ(plugin->numInputs(), 2);
    EXPECT_EQ(plugin->numOutputs(), 2);
    EXPECT_EQ(plugin->numPrograms(), 1);
    EXPECT_EQ(plugin->uniqueID(), vstFourCC('F', 'a', 'k', 'e'));
    EXPECT_EQ(plugin->version(), 7);
    EXPECT_TRUE(plugin->canReplacing());
    EXPECT_FALSE(plugin->canDoubleReplacing());
    EXPECT_FALSE(plugin->hasEditor());
    EXPECT_EQ(plugin->parameterName(2), "Tone");
    EXPECT_EQ(plugin->parameterLabel(0), "dB");
    EXPECT_EQ(plugin->parameterDisplay(1), "0.50");
    EXPECT_EQ(plugin->findParameter("Mix"), 1);
    EXPECT_EQ(plugin->findParameter("Nothing"), -1);
    EXPECT_FLOAT_EQ(plugin->getParameter(2), 0.75f);
    EXPECT_EQ(plugin->getParameter(3), 0.0f) << "out-of-range index must not reach the plug-in";
    int w = 0, h = 0;
    EXPECT_FALSE(plugin->editorRect(w, h));
    EXPECT_FALSE(plugin->openEditor(nullptr));
}

TEST(VstPluginFake, ProcessesOnlyWhatTheEffectOffers)
{
    std::string error;
    auto plugin = VstPlugin::load(fakeModule(1), error);
    ASSERT_NE(plugin, nullptr) << error;
    plugin->open();
    plugin->resume();
    Buffers b(2, 64);
    for (int i = 0; i < 64; ++i)
    {
        b.data[0][i] = 0.01f * i;
        b.data[1][i] = -0.02f * i;
    }
    ASSERT_TRUE(plugin->process(b.in.data(), b.outs.data(), 64));
    EXPECT_FLOAT_EQ(b.out[0][10], 0.2f);
    EXPECT_FLOAT_EQ(b.out[1][10], -0.4f);
    double* none[2] = {nullptr, nullptr};
    EXPECT_FALSE(plugin->processDouble(none, none, 64));
    EXPECT_FALSE(plugin->process(b.in.data(), b.outs.data(), -1));
}

TEST(VstPluginFake, AutomationFromThePluginIsRecorded)
{
    std::string error;
    auto plugin = VstPlugin::load(fakeModule(1), error);
    ASSERT_NE(plugin, nullptr) << error;
    plugin->open();
    plugin->setParameter(1, 0.125f);
    plugin->setParameter(0, 0.875f);
    plugin->setParameter(7, 0.5f); // outside the count: not forwarded
    const auto recorded = plugin->automation();
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[0].index, 1);
    EXPECT_FLOAT_EQ(recorded[0].value, 0.125f);
    EXPECT_EQ(recorded[1].index, 0);
    EXPECT_FLOAT_EQ(recorded[1].value, 0.875f);
    EXPECT_EQ(plugin->beginEditCount(), 2);
    EXPECT_EQ(plugin->endEditCount(), 2);
    plugin->clearAutomation();
    EXPECT_TRUE(plugin->automation().empty());
}

// Suspend before close, effClose last, whether closed by hand or by the
// destructor.
TEST(VstPluginFake, ShutdownOrderEndsWithClose)
{
    ModuleLog keep(fakeModule(1));
    std::string error;
    {
        auto plugin = VstPlugin::load(fakeModule(1), error);
        ASSERT_NE(plugin, nullptr) << error;
        plugin->open();
        plugin->setSampleRate(96000.0f);
        plugin->setBlockSize(128);
        plugin->resume();
    }
    const std::string expected = std::to_string(effOpen) + "," + std::to_string(effSetSampleRate) + "," +
                                 std::to_string(effSetBlockSize) + "," + std::to_string(effMainsChanged) +
                                 "," + std::to_string(effMainsChanged) + "," + std::to_string(effClose) + ",";
    EXPECT_EQ(keep.text(), expected);

    auto plugin = VstPlugin::load(fakeModule(1), error);
    ASSERT_NE(plugin, nullptr) << error;
    plugin->open();
    plugin->close();
    EXPECT_EQ(keep.text(), std::to_string(effOpen) + "," + std::to_string(effClose) + ",");
    EXPECT_EQ(plugin->effect(), nullptr);
    EXPECT_EQ(plugin->numParams(), 0);
    plugin->close(); // twice is harmless
}

// Third-party VST 2.4 plug-ins (Debian's dpf-plugins-vst, stereo and mono):
// load, read, play, close, as a host does.
class ThirdPartyPlugin : public ::testing::TestWithParam<const char*>
{
};

TEST_P(ThirdPartyPlugin, LoadsReportsProcessesAndCloses)
{
    const std::string path = std::string("/usr/lib/vst/") + GetParam();
    if (!exists(path))
        SKIP_OR_FAIL_WITHOUT(path << " (Debian package dpf-plugins-vst)");
    std::string error;
    VstPlugin::HostSettings settings;
    settings.sampleRate = 48000.0f;
    settings.blockSize = 256;
    auto plugin = VstPlugin::load(path, error, settings);
    ASSERT_NE(plugin, nullptr) << error;
    plugin->open();
    EXPECT_FALSE(plugin->effectName().empty());
    EXPECT_FALSE(plugin->vendor().empty());
    EXPECT_GT(plugin->numParams(), 0);
    EXPECT_GE(plugin->numInputs(), 1);
    EXPECT_GE(plugin->numOutputs(), 1);
    EXPECT_TRUE(plugin->canReplacing());
    for (int i = 0; i < plugin->numParams(); ++i)
    {
        EXPECT_FALSE(plugin->parameterName(i).empty()) << i;
        const float v = plugin->getParameter(i);
        EXPECT_TRUE(v >= 0.0f && v <= 1.0f) << i << ": " << v;
    }
    plugin->setSampleRate(48000.0f);
    plugin->setBlockSize(256);
    plugin->resume();
    const int inputs = plugin->numInputs(), outputs = plugin->numOutputs();
    Buffers b(std::max(inputs, outputs), 256);
    double energy = 0.0;
    for (int block = 0; block < 40; ++block)
    {
        for (int i = 0; i < 256; ++i)
        {
            const double t = (block * 256 + i) / 48000.0;
            for (int c = 0; c < inputs; ++c)
                b.data[c][i] = static_cast<float>(0.25 * std::sin(2.0 * M_PI * 440.0 * t));
        }
        ASSERT_TRUE(plugin->process(b.in.data(), b.outs.data(), 256));
        for (int c = 0; c < outputs; ++c)
            for (float s : b.out[c])
            {
                ASSERT_TRUE(std::isfinite(s));
                energy += double(s) * s;
            }
    }
    EXPECT_GT(energy, 1e-3) << "a sine through " << GetParam() << " at its defaults should be audible";
    plugin->suspend();
    plugin->close();
}

INSTANTIATE_TEST_SUITE_P(DpfPlugins, ThirdPartyPlugin,
                         ::testing::Values("MVerb-vst.so", "3BandEQ-vst.so", "PingPongPan-vst.so",
                                           "MaFreeverb-vst.so"));
