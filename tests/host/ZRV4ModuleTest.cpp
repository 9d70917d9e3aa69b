// Our own module, loaded through its entry point by the host layer as a DAW
// would load it. The same tests run on the Linux module and, under Wine, on
// the Windows one; both must give the stored renderings.
#include "host/VstPlugin.h"
#include "tests/golden/GoldenFile.h"
#include "tools/render/GuitarPhrase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace
{
std::unique_ptr<VstPlugin> loadModule(float rate = 44100.0f, int blockSize = 512)
{
    std::string error;
    VstPlugin::HostSettings settings;
    settings.sampleRate = rate;
    settings.blockSize = blockSize;
    // ZRV4_TEST_MODULE names another copy of the module (the one unpacked from the package).
    const char* other = std::getenv("ZRV4_TEST_MODULE");
    auto plugin = VstPlugin::load(other != nullptr ? other : ZRV4_MODULE, error, settings);
    EXPECT_NE(plugin, nullptr) << error;
    if (plugin)
    {
        plugin->open();
        plugin->setSampleRate(rate);
        plugin->setBlockSize(blockSize);
    }
    return plugin;
}

enum Index
{
    kChannel = 0,
    kPluginMode = 22,
    kBypass = 23,
    kOversampling = 27,
};

// Runs left and right through the plug-in in blocks of the given sizes (the
// last one repeated), double or float entry, in place or not; returns the
// outputs one after the other.
std::vector<double> run(VstPlugin& plugin, std::vector<double> left, std::vector<double> right,
                        const std::vector<int>& blocks, bool useFloat = false, bool inPlace = false)
{
    const size_t frames = left.size();
    std::vector<double> outLeft(frames), outRight(frames);
    std::vector<float> fl(left.begin(), left.end()), fr(right.begin(), right.end());
    std::vector<float> fol(frames), forr(frames);
    size_t done = 0;
    for (size_t b = 0; done < frames || b < blocks.size(); ++b)
    {
        const size_t n = std::min(static_cast<size_t>(blocks[std::min(b, blocks.size() - 1)]), frames - done);
        if (useFloat)
        {
            float* in[2] = {fl.data() + done, fr.data() + done};
            float* out[2] = {fol.data() + done, forr.data() + done};
            EXPECT_TRUE(plugin.process(in, inPlace ? in : out, static_cast<int>(n)));
        }
        else
        {
            double* in[2] = {left.data() + done, right.data() + done};
            double* out[2] = {outLeft.data() + done, outRight.data() + done};
            EXPECT_TRUE(plugin.processDouble(in, inPlace ? in : out, static_cast<int>(n)));
        }
        done += n;
        if (b > blocks.size() + frames)
            break;
    }
    if (useFloat)
    {
        const std::vector<float>& l = inPlace ? fl : fol;
        const std::vector<float>& r = inPlace ? fr : forr;
        outLeft.assign(l.begin(), l.end());
        outRight.assign(r.begin(), r.end());
    }
    else if (inPlace)
    {
        outLeft = left;
        outRight = right;
    }
    outLeft.insert(outLeft.end(), outRight.begin(), outRight.end());
    return outLeft;
}

// Largest difference from a stored rendering, relative to its peak. The
// tube tables are built with our own exp, log and pow, so the Windows module
// must give the Linux module's rendering as closely as every other case.
constexpr double tolerance = 1e-6;

std::vector<double> phrase(double rate, size_t frames, double gain = 1.0)
{
    const std::vector<float> x = GuitarPhrase::render(rate);
    std::vector<double> y(frames);
    for (size_t n = 0; n < frames && n < x.size(); ++n)
        y[n] = gain * x[n];
    return y;
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

// The first quarter second of the demo phrase through each channel at default
// settings, double entry: the first three cases of the stored engine rendering.
TEST(ZRV4Module, DoublePathGivesTheGoldenRendering)
{
    constexpr size_t frames = 11025;
    const std::vector<float> stored = golden::read(ZRV4_GOLDEN_DIR "/voicings-44100.f32");
    ASSERT_GE(stored.size(), 3u * frames);
    const std::vector<double> input = phrase(44100.0, frames);
    const float channels[] = {0.0f, 0.5f, 1.0f};
    for (int c = 0; c < 3; ++c)
    {
        auto plugin = loadModule();
        ASSERT_NE(plugin, nullptr);
        plugin->setParameter(kChannel, channels[c]);
        plugin->resume();
        std::vector<double> y = run(*plugin, input, input, {512});
        y.resize(frames); // mono: the right output is the same
        const golden::Difference d = golden::compare(y, stored, static_cast<size_t>(c) * frames);
        EXPECT_LE(d.worst, tolerance * d.peak) << "channel " << channels[c] << " at sample " << d.at;
        EXPECT_GT(d.peak, 0.01);
        std::printf("channel %.1f: largest difference %.3g of peak\n", channels[c], d.worst / d.peak);
    }
}

// Rates, factors, the float entry and stereo mode, a tenth of a second each,
// against renderings stored from the Linux module (ZRV4_WRITE_GOLDEN=1 on the
// Linux zrv4_module_tests writes them).
TEST(ZRV4Module, RatesFactorsFloatAndStereoGiveTheStoredRenderings)
{
    const struct
    {
        const char* name;
        float rate;
        float channel;
        float oversampling;
        bool stereo;
        bool useFloat;
    } cases[] = {
        {"Lead 44100", 44100.0f, 1.0f, 0.5f, false, false},
        {"Lead 48000", 48000.0f, 1.0f, 0.5f, false, false},
        {"Lead 96000", 96000.0f, 1.0f, 0.5f, false, false},
        {"Rhythm 2x", 44100.0f, 0.5f, 0.0f, false, false},
        {"Clean 8x", 44100.0f, 0.0f, 1.0f, false, false},
        {"Lead float", 44100.0f, 1.0f, 0.5f, false, true},
        {"Lead stereo", 44100.0f, 1.0f, 0.5f, true, false},
    };
    const std::string path = ZRV4_GOLDEN_DIR "/module-cases.f32";
    const std::vector<float> stored = golden::read(path);
    std::vector<double> all;
    for (const auto& c : cases)
    {
        auto plugin = loadModule(c.rate, 256);
        ASSERT_NE(plugin, nullptr);
        plugin->setParameter(kChannel, c.channel);
        plugin->setParameter(kOversampling, c.oversampling);
        plugin->setParameter(kPluginMode, c.stereo ? 1.0f : 0.0f);
        plugin->resume();
        const size_t frames = static_cast<size_t>(c.rate / 10);
        std::vector<double> y =
            run(*plugin, phrase(c.rate, frames), phrase(c.rate, frames, -0.5), {256}, c.useFloat);
        if (!c.stereo)
        {
            // Mono feeds both outputs from the left input: one is stored.
            EXPECT_TRUE(std::equal(y.begin(), y.begin() + frames, y.begin() + frames)) << c.name;
            y.resize(frames);
        }
        if (!golden::writeRequested())
        {
            const golden::Difference d = golden::compare(y, stored, all.size());
            EXPECT_LE(d.worst, tolerance * d.peak) << c.name << " at sample " << d.at;
            EXPECT_GT(d.peak, 0.01) << c.name;
            std::printf("%s: largest difference %.3g of peak\n", c.name, d.worst / d.peak);
        }
        all.insert(all.end(), y.begin(), y.end());
    }
    if (golden::writeRequested())
    {
        ASSERT_TRUE(golden::write(path, all));
        GTEST_SKIP() << "wrote " << path;
    }
    EXPECT_EQ(stored.size(), all.size());
}

TEST(ZRV4Module, BypassPassesBothInputsThroughUntouched)
{
    auto plugin = loadModule();
    ASSERT_NE(plugin, nullptr);
    plugin->setParameter(kPluginMode, 1.0f);
    plugin->setParameter(kBypass, 1.0f);
    plugin->resume();
    const std::vector<double> left = phrase(44100.0, 2048), right = phrase(44100.0, 2048, -0.3);
    std::vector<double> both = left;
    both.insert(both.end(), right.begin(), right.end());
    EXPECT_EQ(run(*plugin, left, right, {512}), both);
    const std::vector<double> floatOut = run(*plugin, left, right, {512}, true);
    for (size_t n = 0; n < both.size(); ++n)
        ASSERT_EQ(floatOut[n], static_cast<double>(static_cast<float>(both[n]))) << n;
    plugin->setParameter(kBypass, 0.0f);
    EXPECT_NE(run(*plugin, left, right, {512}), both);
}

// Block sizes 0, 1, 7 and 8192, in place or not, give the same samples; NaN
// and infinite input samples enter as silence and leave the instance sound.
TEST(ZRV4Module, OddBlocksInPlaceBuffersAndNonFiniteInput)
{
    const std::vector<double> input = phrase(44100.0, 8192);
    auto reference = loadModule(44100.0f, 8192);
    ASSERT_NE(reference, nullptr);
    reference->resume();
    const std::vector<double> expected = run(*reference, input, input, {8192});

    auto blocky = loadModule(44100.0f, 8192);
    ASSERT_NE(blocky, nullptr);
    blocky->resume();
    EXPECT_EQ(run(*blocky, input, input, {0, 1, 7, 0, 8192}, false, true), expected);

    std::vector<double> hostile = input, silenced = input;
    const double bad[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity()};
    for (int k = 0; k < 30; ++k)
    {
        hostile[100 + 97 * k] = bad[k % 3];
        silenced[100 + 97 * k] = 0.0;
    }
    auto fresh = loadModule(44100.0f, 8192);
    auto attacked = loadModule(44100.0f, 8192);
    ASSERT_NE(fresh, nullptr);
    ASSERT_NE(attacked, nullptr);
    fresh->resume();
    attacked->resume();
    const std::vector<double> y = run(*attacked, hostile, hostile, {7});
    for (double v : y)
        ASSERT_TRUE(std::isfinite(v));
    EXPECT_EQ(y, run(*fresh, silenced, silenced, {7}));
}
