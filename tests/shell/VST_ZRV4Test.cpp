// The effect as a host sees it: entry point, record, texts, the parameter
// table and its control laws, processing modes, programs and block processing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/ZRV4.h"
#include "shell/VST_ZRV4.h"
#include "tests/shell/OversamplerDelay.h"
#include "tests/shell/TestHost.h"

namespace
{

using testhost::dispatch;
using testhost::host;

struct Expected
{
    const char* name;
    float value;
    const char* label;
    const char* display;
};

// The parameter table with the label and display each default gives.
const Expected table[kNumParameters] = {
    {"Channel", 0.0f, "Clean", "0.000000"},         {"Gain Lead", 0.5f, "Gain Ld", "0.500000"},
    {"Bright Lead", 1.0f, "Brt Ld", "1.000000"},    {"Lows Lead", 0.5f, "Lows Ld", "0.500000"},
    {"Mids Lead", 0.5f, "Mids Ld", "0.500000"},     {"Treble Lead", 0.5f, "Treb Ld", "0.500000"},
    {"Presence Lead", 0.5f, "Pres Ld", "0.500000"}, {"Shape Lead", 1.0f, "Shp Ld", "1.000000"},
    {"Volume Lead", 0.5f, "Vol Ld", "0.500000"},    {"Gain Rhythm", 0.5f, "Gain Rh", "0.500000"},
    {"Mode Rhythm", 0.0f, "Mode Rh", "0.000000"},   {"Bright Rhythm", 0.0f, "Brt Rh", "0.000000"},
    {"Lows Rhythm", 0.5f, "Lows Rh", "0.500000"},   {"Mids Rhythm", 0.5f, "Mids Rh", "0.500000"},
    {"Treble Rhythm", 0.5f, "Treb Rh", "0.500000"}, {"Volume Rhythm", 0.5f, "Vol Rh", "0.500000"},
    {"Gain Clean", 0.5f, "Gain Cl", "0.500000"},    {"Bright Clean", 0.0f, "Brt Cl", "0.000000"},
    {"Lows Clean", 0.5f, "Lows Cl", "0.500000"},    {"Mids Clean", 0.5f, "Mids Cl", "0.500000"},
    {"Treble Clean", 0.5f, "Treb Cl", "0.500000"},  {"Volume Clean", 0.5f, "Vol Cl", "0.500000"},
    {"Plugin Mode", 0.0f, "Mono", "0.000000"},      {"Bypass", 0.0f, "OFF", "0.000000"},
    {"Panel View", 0.0f, "FRONT", "0.000000"},      {"Input Level", 0.5f, "Input", "0.500000"},
    {"Output Level", 0.5f, "Output", "0.500000"},   {"Oversampling", 0.5f, "4x", "0.500000"},
};

class EffectTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        host() = testhost::HostState();
        e = VSTPluginMain(testhost::callback);
        ASSERT_NE(e, nullptr);
        fx = static_cast<VST_ZRV4*>(static_cast<AudioEffect*>(e->object));
    }
    void TearDown() override
    {
        if (e != nullptr)
            dispatch(e, effClose);
    }

    void set(VstInt32 index, float v) { e->setParameter(e, index, v); }
    float get(VstInt32 index) { return e->getParameter(e, index); }
    std::string label(VstInt32 index) { return testhost::paramLabel(e, index); }
    std::vector<float> allValues()
    {
        std::vector<float> v;
        for (VstInt32 i = 0; i < kNumParameters; ++i)
            v.push_back(get(i));
        return v;
    }
    // An engine after the changes made so far reached it (an empty block).
    const ZRV4& engine(int side)
    {
        testhost::process(e, static_cast<float*>(nullptr), nullptr, nullptr, nullptr, 0);
        return side == 0 ? fx->leftEngine() : fx->rightEngine();
    }
    // Output pair for a stereo input pair, through the double entry.
    std::pair<std::vector<double>, std::vector<double>> run(std::vector<double> in0, std::vector<double> in1)
    {
        std::vector<double> out0(in0.size(), -1.0), out1(in0.size(), -1.0);
        testhost::process(e, in0.data(), in1.data(), out0.data(), out1.data(),
                          static_cast<VstInt32>(in0.size()));
        return {out0, out1};
    }

    AEffect* e = nullptr;
    VST_ZRV4* fx = nullptr;
};

const std::vector<double> left = testhost::tone<double>(4096, 220.0, 0.3);
const std::vector<double> right = testhost::tone<double>(4096, 330.0, 0.2);

double peak(const std::vector<double>& x)
{
    double p = 0.0;
    for (double v : x)
        p = std::fmax(p, std::fabs(v));
    return p;
}

TEST(Entry, VersionQueryComesFirstAndZeroGivesNoEffect)
{
    host() = testhost::HostState();
    host().versionAnswer = 0;
    EXPECT_EQ(VSTPluginMain(testhost::callback), nullptr);
    EXPECT_EQ(host().versionQueries, 1);
    EXPECT_EQ(VSTPluginMain(nullptr), nullptr);
}

VstIntPtr VSTCALLBACK garbageHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float)
{
    return -123456789;
}

TEST(Entry, HostAnsweringNonsenseStillGetsAWorkingEffect)
{
    AEffect* e = VSTPluginMain(garbageHost);
    ASSERT_NE(e, nullptr);
    auto* fx = static_cast<VST_ZRV4*>(static_cast<AudioEffect*>(e->object));
    fx->setParameterAutomated(kPluginMode, 1.0f);
    EXPECT_EQ(fx->getProcessMode(), 2);
    dispatch(e, effClose);
}

TEST_F(EffectTest, RecordAnnouncesTheEffect)
{
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->uniqueID, ('Z' << 24) | ('R' << 16) | ('V' << 8) | '4');
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->numParams, 28);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags & ~effFlagsHasEditor, effFlagsCanReplacing | effFlagsCanDoubleReplacing);
    EXPECT_EQ((e->flags & effFlagsHasEditor) != 0, fx->getEditor() != nullptr);
#if ZRV4_WITH_EDITOR
    EXPECT_NE(fx->getEditor(), nullptr);
#endif
    EXPECT_EQ(e->version, 1000);
    EXPECT_EQ(e->initialDelay, 8);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_NE(e->processDoubleReplacing, nullptr);
    EXPECT_FLOAT_EQ(fx->getSampleRate(), 44100.0f);
    EXPECT_EQ(fx->getBlockSize(), 1024);
}

#if ZRV4_WITH_EDITOR
// The editor made in the constructor answers the host's rectangle request.
TEST_F(EffectTest, EditorRegistersAndAnswersItsRectangle)
{
    EXPECT_NE(e->flags & effFlagsHasEditor, 0);
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(e, effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->bottom - rect->top, 162);
    EXPECT_EQ(rect->right - rect->left, 890);
    // Parameter changes reach the editor without a window.
    set(kPanelView, 1.0f);
    set(kGainClean, 0.3f);
    dispatch(e, effEditIdle);
    EXPECT_EQ(get(kGainClean), 0.3f);
}
#endif

TEST_F(EffectTest, NamesVersionsAndCapabilities)
{
    const auto effectName = testhost::queryText(e, effGetEffectName, 0, 0, kVstMaxEffectNameLen);
    EXPECT_EQ(effectName.value, "ZRV4 1.0.0");
    EXPECT_FALSE(effectName.overran);
    EXPECT_EQ(testhost::queryText(e, effGetVendorString, 0, 0, kVstMaxVendorStrLen).value, "Tolvane Amps");
    EXPECT_EQ(testhost::queryText(e, effGetProductString, 0, 0, kVstMaxProductStrLen).value, "ZRV4 1.0.0");
    char dummy[64];
    EXPECT_EQ(dispatch(e, effGetEffectName, 0, 0, dummy), 1);
    EXPECT_EQ(dispatch(e, effGetVendorVersion), 1000);
    EXPECT_EQ(dispatch(e, effGetVstVersion), 2400);
    EXPECT_EQ(dispatch(e, effGetPlugCategory), kPlugCategUnknown);
    for (const char* what : {"receiveVstMidiEvent", "sendVstEvents", "bypass", "plugAsChannelInsert", ""})
    {
        char text[64];
        std::strcpy(text, what);
        EXPECT_EQ(dispatch(e, effCanDo, 0, 0, text), 0) << what;
    }
    // No chunks: the host keeps the state as parameter values.
    void* chunk = nullptr;
    EXPECT_EQ(dispatch(e, effGetChunk, 0, 0, &chunk), 0);
    EXPECT_EQ(chunk, nullptr);
}

TEST_F(EffectTest, ParameterTableAtDefaults)
{
    for (VstInt32 i = 0; i < kNumParameters; ++i)
    {
        SCOPED_TRACE(i);
        // Names fit 16 bytes, labels the 8 that the interface gives them.
        const auto name = testhost::queryText(e, effGetParamName, i, 0, 16);
        EXPECT_EQ(name.value, table[i].name);
        EXPECT_FALSE(name.overran);
        EXPECT_EQ(get(i), table[i].value);
        const auto shown = testhost::queryText(e, effGetParamLabel, i, 0, kVstMaxParamStrLen);
        EXPECT_EQ(shown.value, table[i].label);
        EXPECT_FALSE(shown.overran);
        EXPECT_EQ(testhost::paramDisplay(e, i), table[i].display);
        const auto display = testhost::queryText(e, effGetParamDisplay, i, 0, kVstMaxParamStrLen + 1);
        EXPECT_FALSE(display.overran);
    }
    // The record mirrors the defaults: a program change reapplies the same.
    const std::vector<float> before = allValues();
    dispatch(e, effSetProgram, 0, 0);
    EXPECT_EQ(allValues(), before);
    EXPECT_EQ(fx->getProcessMode(), 1);
    EXPECT_EQ(fx->getSavedPluginMode(), 0.0f);
    EXPECT_EQ(engine(0).channel(), 1u);
    EXPECT_EQ(engine(0).oversamplingFactor(), 4u);
    EXPECT_DOUBLE_EQ(engine(0).inputGain(), 1.0);
    EXPECT_DOUBLE_EQ(engine(1).outputGain(), 1.0);
}

// Hints for hosts: switches, stepped selectors whose integer positions give
// exactly the values that select each setting, full names and short labels,
// and display groups.
TEST_F(EffectTest, ParameterPropertiesDescribeEveryParameter)
{
    int groupCount[5] = {};
    for (VstInt32 i = 0; i < kNumParameters; ++i)
    {
        SCOPED_TRACE(i);
        VstParameterProperties p;
        std::memset(&p, 0x7f, sizeof(p));
        ASSERT_EQ(dispatch(e, effGetParameterProperties, i, 0, &p), 1);
        EXPECT_STREQ(p.label, table[i].name);
        EXPECT_LE(std::strlen(p.shortLabel), 7u);
        EXPECT_GT(std::strlen(p.shortLabel), 0u);
        const bool isSwitch = (p.flags & kVstParameterIsSwitch) != 0;
        const bool stepped = (p.flags & kVstParameterUsesIntegerMinMax) != 0;
        EXPECT_EQ(isSwitch, i == kBrightLead || i == kBrightRhythm || i == kBrightClean || i == kShapeLead ||
                                i == kModeRhythm || i == kBypass);
        EXPECT_EQ(stepped, i == kChannel || i == kOversampling || i == kPluginMode);
        ASSERT_NE(p.flags & kVstParameterSupportsDisplayCategory, 0);
        ASSERT_GE(p.category, 1);
        ASSERT_LE(p.category, 4);
        ++groupCount[p.category];
        const char* groups[] = {"", "Lead", "Rhythm", "Clean", "Global"};
        EXPECT_STREQ(p.categoryLabel, groups[p.category]);
        if (stepped)
        {
            EXPECT_EQ(p.minInteger, 0);
            EXPECT_EQ(p.stepInteger, 1);
            std::vector<std::string> labels;
            for (VstInt32 k = p.minInteger; k <= p.maxInteger; ++k)
            {
                set(i, static_cast<float>(k) / static_cast<float>(p.maxInteger));
                labels.push_back(label(i));
            }
            const std::vector<std::string> expected =
                i == kChannel        ? std::vector<std::string>{"Clean", "Rhythm", "Lead"}
                : i == kOversampling ? std::vector<std::string>{"2x", "4x", "8x"}
                                     : std::vector<std::string>{"Mono", "Stereo"};
            EXPECT_EQ(labels, expected);
        }
    }
    EXPECT_EQ(groupCount[1], 8);
    EXPECT_EQ(groupCount[2], 7);
    EXPECT_EQ(groupCount[3], 6);
    EXPECT_EQ(groupCount[4], 7);
    VstParameterProperties p;
    EXPECT_EQ(dispatch(e, effGetParameterProperties, kNumParameters, 0, &p), 0);
    EXPECT_EQ(dispatch(e, effGetParameterProperties, 0, 0, nullptr), 0);
}

TEST_F(EffectTest, SwitchesThresholdAboveOneHalf)
{
    for (VstInt32 i : {kBrightLead, kShapeLead, kModeRhythm, kBrightRhythm, kBrightClean})
    {
        SCOPED_TRACE(i);
        set(i, 0.5f);
        EXPECT_EQ(get(i), 0.0f);
        EXPECT_EQ(testhost::paramDisplay(e, i), "0.000000");
        set(i, 0.51f);
        EXPECT_EQ(get(i), 1.0f);
        set(i, 0.49f);
        EXPECT_EQ(get(i), 0.0f);
    }
    // A continuous control keeps what it is sent.
    set(kGainLead, 0.51f);
    EXPECT_EQ(get(kGainLead), 0.51f);
    EXPECT_EQ(testhost::paramDisplay(e, kGainLead), "0.510000");
}

TEST_F(EffectTest, ChannelRangesAndLabel)
{
    const std::pair<float, unsigned> cases[] = {{0.24f, 1}, {0.25f, 2}, {0.7499f, 2}, {0.75f, 3},
                                                {1.0f, 3},  {0.0f, 1},  {0.5f, 2}};
    const char* names[] = {"", "Clean", "Rhythm", "Lead"};
    for (const auto& [v, channel] : cases)
    {
        SCOPED_TRACE(v);
        set(kChannel, v);
        EXPECT_EQ(engine(0).channel(), channel);
        EXPECT_EQ(engine(1).channel(), channel);
        EXPECT_EQ(label(kChannel), names[channel]);
    }
}

TEST_F(EffectTest, ExactComparisonsForModeViewAndOversampling)
{
    set(kPluginMode, 0.999f);
    EXPECT_EQ(label(kPluginMode), "Bypass");
    EXPECT_EQ(fx->getProcessMode(), 0);
    set(kPluginMode, 1.0f);
    EXPECT_EQ(label(kPluginMode), "Stereo");
    set(kPluginMode, 0.0f);
    EXPECT_EQ(label(kPluginMode), "Mono");
    set(kBypass, 0.999f);
    EXPECT_EQ(label(kBypass), "OFF");
    EXPECT_EQ(fx->getProcessMode(), 1);
    set(kBypass, 1.0f);
    EXPECT_EQ(label(kBypass), "ON");
    set(kPanelView, 0.999f);
    EXPECT_EQ(label(kPanelView), "FRONT");
    set(kPanelView, 1.0f);
    EXPECT_EQ(label(kPanelView), "BACK");

    const std::pair<float, unsigned> factors[] = {{0.0f, 2}, {0.0001f, 4}, {1.0f, 8}, {0.999f, 4},
                                                  {1.0f, 8}, {0.5f, 4},    {0.0f, 2}};
    const char* labels[] = {"", "", "2x", "", "4x", "", "", "", "8x"};
    for (const auto& [v, factor] : factors)
    {
        SCOPED_TRACE(v);
        set(kOversampling, v);
        EXPECT_EQ(engine(0).oversamplingFactor(), factor);
        EXPECT_EQ(engine(1).oversamplingFactor(), factor);
        EXPECT_EQ(label(kOversampling), labels[factor]);
    }
    // Outside 0..1 no factor is selected: the engines keep theirs, and the
    // label shows what they run at.
    set(kOversampling, 1.0f);
    set(kOversampling, 1.5f);
    EXPECT_EQ(engine(0).oversamplingFactor(), 8u);
    EXPECT_EQ(label(kOversampling), "8x");
    set(kOversampling, -0.25f);
    EXPECT_EQ(engine(1).oversamplingFactor(), 8u);
    EXPECT_EQ(get(kOversampling), -0.25f);
}

// The record's delay follows the factor; the host hears of a change from the
// thread that made it, and an impulse through the 8x oversampler arrives
// within half a sample of what the record says.
TEST_F(EffectTest, ReportedDelayFollowsTheFactor)
{
    const std::pair<float, VstInt32> cases[] = {{0.0f, 6}, {1.0f, 10}, {1.5f, 10}, {0.5f, 8}, {0.5f, 8}};
    size_t announced = 0;
    for (const auto& [v, delay] : cases)
    {
        SCOPED_TRACE(v);
        const bool changes = delay != e->initialDelay;
        std::thread::id by;
        std::thread setter(
            [&]
            {
                set(kOversampling, v);
                by = std::this_thread::get_id();
            });
        setter.join();
        EXPECT_EQ(e->initialDelay, delay);
        ASSERT_EQ(host().ioChanged.size(), announced + (changes ? 1 : 0));
        if (changes)
        {
            EXPECT_EQ(host().ioChanged[announced++], by);
        }
    }
    set(kOversampling, 1.0f);
    const auto delays =
        oversampler_delay::phaseDelays(oversampler_delay::impulseResponse(8), 100.0, 100.0, 44100.0);
    EXPECT_NEAR(delays.front(), e->initialDelay, 0.5);
}

TEST_F(EffectTest, ModeSequencesWithBypass)
{
    // Bypass on, Plugin Mode 0 -> 1, Bypass off: stereo.
    set(kBypass, 1.0f);
    EXPECT_EQ(fx->getProcessMode(), 0);
    set(kPluginMode, 0.0f);
    set(kPluginMode, 1.0f);
    EXPECT_EQ(fx->getProcessMode(), 0);
    EXPECT_EQ(fx->getSavedPluginMode(), 1.0f);
    set(kBypass, 0.0f);
    EXPECT_EQ(fx->getProcessMode(), 2);

    // Bypass on, Plugin Mode 0.3, Bypass off: back to the last 0 or 1 (1).
    set(kBypass, 1.0f);
    set(kPluginMode, 0.3f);
    EXPECT_EQ(fx->getProcessMode(), 0);
    EXPECT_EQ(fx->getSavedPluginMode(), 1.0f);
    set(kBypass, 0.0f);
    EXPECT_EQ(fx->getProcessMode(), 2);

    // A Plugin Mode other than 0 or 1 bypasses with Bypass off; Bypass off,
    // sent again, returns to the last 0 or 1 (1: stereo); a 0 gives mono.
    set(kPluginMode, 0.5f);
    EXPECT_EQ(fx->getProcessMode(), 0);
    set(kBypass, 0.0f);
    EXPECT_EQ(fx->getProcessMode(), 2);
    set(kPluginMode, 0.0f);
    EXPECT_EQ(fx->getProcessMode(), 1);
}

TEST_F(EffectTest, LevelsAreGainFactors)
{
    const std::pair<float, double> cases[] = {{0.0f, 2e-25}, {0.5f, 1.0}, {1.0f, 2.0}, {0.25f, 0.5}};
    for (const auto& [v, gain] : cases)
    {
        set(kInputLevel, v);
        set(kOutputLevel, v);
        for (int side : {0, 1})
        {
            EXPECT_DOUBLE_EQ(engine(side).inputGain(), gain);
            EXPECT_DOUBLE_EQ(engine(side).outputGain(), gain);
        }
    }
    EXPECT_GT(engine(0).inputGain(), 0.0);
}

// Regression: a value outside 0..1 sent to a taper control made it divide by
// zero or turn negative, and a NaN went straight into the circuit.
TEST_F(EffectTest, OutOfRangeAndNaNValuesAreHeldInRange)
{
    set(kGainLead, 1.5f);
    EXPECT_EQ(get(kGainLead), 1.0f);
    set(kVolumeClean, -3.0f);
    EXPECT_EQ(get(kVolumeClean), 0.0f);
    set(kInputLevel, 5.0f);
    EXPECT_DOUBLE_EQ(engine(0).inputGain(), 2.0);
    set(kOutputLevel, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(get(kOutputLevel), 0.0f);
    EXPECT_EQ(testhost::paramDisplay(e, kOutputLevel), "0.000000");
    set(kPluginMode, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(fx->getProcessMode(), 1);
    set(kOutputLevel, std::numeric_limits<float>::infinity());
    set(kPluginMode, 1.0f);
    const auto [out0, out1] = run(left, right);
    for (size_t i = 0; i < out0.size(); ++i)
        ASSERT_TRUE(std::isfinite(out0[i]) && std::isfinite(out1[i])) << i;
    EXPECT_GT(peak(out0), 1e-4);
}

TEST_F(EffectTest, IndicesOutsideTheTableChangeNothing)
{
    const std::vector<float> before = allValues();
    for (VstInt32 i : {30, 28, -1, std::numeric_limits<VstInt32>::min()})
    {
        set(i, 0.7f);
        EXPECT_EQ(get(i), 0.0f);
        for (VstInt32 op : {effGetParamName, effGetParamLabel, effGetParamDisplay})
        {
            const auto text = testhost::queryText(e, op, i);
            EXPECT_FALSE(text.wrote) << op << " " << i;
            EXPECT_FALSE(text.overran);
        }
    }
    EXPECT_EQ(allValues(), before);
    EXPECT_EQ(fx->getProcessMode(), 1);
    EXPECT_EQ(engine(0).channel(), 1u);
}

TEST_F(EffectTest, AutomationFromTheEditorReachesTheHost)
{
    fx->setParameterAutomated(kChannel, 0.8f);
    EXPECT_EQ(engine(0).channel(), 3u);
    EXPECT_EQ(get(kChannel), 0.8f);
    ASSERT_EQ(host().automated.size(), 1u);
    EXPECT_EQ(host().automated[0].effect, e);
    EXPECT_EQ(host().automated[0].index, kChannel);
    EXPECT_EQ(host().automated[0].value, 0.8f);
}

TEST_F(EffectTest, ProgramNames)
{
    EXPECT_EQ(testhost::queryText(e, effGetProgramName, 0, 0, kVstMaxProgNameLen).value, "Init 1");
    const auto indexed = testhost::queryText(e, effGetProgramNameIndexed, 0, 0, kVstMaxProgNameLen);
    EXPECT_EQ(indexed.value, "Init");
    char buffer[64];
    EXPECT_EQ(dispatch(e, effGetProgramNameIndexed, 0, 0, buffer), 1);
    EXPECT_EQ(dispatch(e, effGetProgramNameIndexed, 1, 0, buffer), 0);
    EXPECT_FALSE(testhost::queryText(e, effGetProgramNameIndexed, 1).wrote);
    EXPECT_FALSE(testhost::queryText(e, effGetProgramNameIndexed, -1).wrote);

    char crunch[] = "Crunch";
    dispatch(e, effSetProgramName, 0, 0, crunch);
    EXPECT_EQ(testhost::queryText(e, effGetProgramName).value, "Crunch");
    EXPECT_EQ(testhost::queryText(e, effGetProgramNameIndexed).value, "Crunch");
    char init[] = "Init";
    dispatch(e, effSetProgramName, 0, 0, init);
    EXPECT_EQ(testhost::queryText(e, effGetProgramName).value, "Init 1");

    std::string longName(100, 'a');
    for (size_t i = 0; i < longName.size(); ++i)
        longName[i] = static_cast<char>('a' + i % 26);
    dispatch(e, effSetProgramName, 0, 0, &longName[0]);
    const auto cut = testhost::queryText(e, effGetProgramName, 0, 0, kVstMaxProgNameLen);
    EXPECT_EQ(cut.value, longName.substr(0, 23));
    EXPECT_FALSE(cut.overran);
    EXPECT_FALSE(testhost::queryText(e, effGetProgramNameIndexed, 0, 0, kVstMaxProgNameLen).overran);
}

TEST_F(EffectTest, ProgramChangeAndRecord)
{
    set(kBrightRhythm, 0.7f);
    set(kTrebleClean, 0.3f);
    dispatch(e, effSetProgram, 0, 0);
    // The record mirrors what was applied, switches as exactly 0 or 1.
    EXPECT_EQ(get(kBrightRhythm), 1.0f);
    EXPECT_EQ(get(kTrebleClean), 0.3f);

    // The only program is 0; other indices are ignored.
    const std::vector<float> before = allValues();
    dispatch(e, effSetProgram, 0, 1);
    dispatch(e, effSetProgram, 0, -1);
    EXPECT_EQ(dispatch(e, effGetProgram), 0);
    EXPECT_EQ(allValues(), before);
    EXPECT_EQ(testhost::queryText(e, effGetProgramName).value, "Init 1");
}

TEST_F(EffectTest, RateSetBeforeTheFirstBlockIsUsed)
{
    dispatch(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    // The engines take it with the next block.
    EXPECT_DOUBLE_EQ(fx->leftEngine().sampleRate(), 44100.0);
    // Rates outside 8 kHz … 384 kHz, and those no coefficient can be
    // computed for, are refused.
    for (float bad : {0.0f, -44100.0f, 1.0f, 7999.0f, 384001.0f, 1e9f,
                      std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
        dispatch(e, effSetSampleRate, 0, 0, nullptr, bad);
    dispatch(e, effSetBlockSize, 0, 0);
    EXPECT_EQ(fx->getBlockSize(), 1024);
    dispatch(e, effSetBlockSize, 0, 64);
    EXPECT_EQ(fx->getBlockSize(), 64);
    EXPECT_FLOAT_EQ(fx->getSampleRate(), 48000.0f);
    const auto out = run(left, right);
    EXPECT_DOUBLE_EQ(engine(0).sampleRate(), 48000.0);
    EXPECT_DOUBLE_EQ(engine(1).sampleRate(), 48000.0);
    EXPECT_GT(peak(out.first), 1e-4);
    dispatch(e, effMainsChanged, 0, 0);
    dispatch(e, effMainsChanged, 0, 1);
    EXPECT_DOUBLE_EQ(engine(0).sampleRate(), 48000.0);
}

TEST_F(EffectTest, MonoFeedsBothOutputsFromInputZero)
{
    const auto [out0, out1] = run(left, right);
    EXPECT_EQ(out0, out1);
    EXPECT_GT(peak(out0), 1e-4);
    // Input 1 is not read in mono.
    EffectTest::TearDown();
    SetUp();
    const auto again = run(left, std::vector<double>(left.size(), 0.9));
    EXPECT_EQ(again.first, out0);
}

TEST_F(EffectTest, StereoTakesEachSideFromItsInput)
{
    set(kPluginMode, 1.0f);
    const auto [out0, out1] = run(left, right);
    EXPECT_GT(peak(out0), 1e-4);
    EXPECT_GT(peak(out1), 1e-4);
    EXPECT_NE(out0, out1);

    // Another signal on one side leaves the other side as it was.
    const std::vector<double> other = testhost::tone<double>(left.size(), 147.0, 0.5);
    EffectTest::TearDown();
    SetUp();
    set(kPluginMode, 1.0f);
    EXPECT_EQ(run(left, other).first, out0);
    EffectTest::TearDown();
    SetUp();
    set(kPluginMode, 1.0f);
    EXPECT_EQ(run(other, right).second, out1);
}

TEST_F(EffectTest, OutputLevelScalesTheOutput)
{
    const auto unity = run(left, right).first;
    EffectTest::TearDown();
    SetUp();
    set(kOutputLevel, 1.0f);
    const auto doubled = run(left, right).first;
    for (size_t i = 0; i < unity.size(); ++i)
        ASSERT_NEAR(doubled[i], 2.0 * unity[i], 1e-12) << i;
    EXPECT_GT(peak(unity), 1e-4);
}

TEST_F(EffectTest, PassThroughCopiesInputsExactly)
{
    set(kBypass, 1.0f);
    std::vector<double> in0 = left, in1 = right;
    in0[10] = std::numeric_limits<double>::quiet_NaN();
    in1[11] = -std::numeric_limits<double>::infinity();
    in1[12] = 1e300;
    const auto [out0, out1] = run(in0, in1);
    for (size_t i = 0; i < in0.size(); ++i)
    {
        if (i == 10)
            continue;
        ASSERT_EQ(out0[i], in0[i]) << i;
        ASSERT_EQ(out1[i], in1[i]) << i;
    }
    EXPECT_TRUE(std::isnan(out0[10]));
    // Also in float, and in place.
    std::vector<float> f0 = testhost::tone<float>(256, 440.0, 0.5),
                       f1 = testhost::tone<float>(256, 110.0, 0.5);
    const std::vector<float> g0 = f0, g1 = f1;
    testhost::process(e, f0.data(), f1.data(), f0.data(), f1.data(), 256);
    EXPECT_EQ(f0, g0);
    EXPECT_EQ(f1, g1);
}

// Regression: a single NaN or infinite sample stayed in the recursive
// filters for good and silenced the instance.
TEST_F(EffectTest, NonFiniteSamplesEnterAsSilence)
{
    for (float mode : {0.0f, 1.0f})
    {
        SCOPED_TRACE(mode);
        std::vector<double> bad0 = left, bad1 = right, zero0 = left, zero1 = right;
        for (size_t i : {100u, 101u, 2000u})
        {
            bad0[i] = std::numeric_limits<double>::quiet_NaN();
            bad1[i] = i == 100u ? std::numeric_limits<double>::infinity()
                                : -std::numeric_limits<double>::infinity();
            zero0[i] = 0.0;
            zero1[i] = 0.0;
        }
        EffectTest::TearDown();
        SetUp();
        set(kPluginMode, mode);
        const auto clean = run(zero0, zero1);
        const auto tail = run(left, right);
        EffectTest::TearDown();
        SetUp();
        set(kPluginMode, mode);
        const auto dirty = run(bad0, bad1);
        const auto dirtyTail = run(left, right);
        EXPECT_EQ(dirty.first, clean.first);
        EXPECT_EQ(dirty.second, clean.second);
        EXPECT_EQ(dirtyTail.first, tail.first);
        EXPECT_GT(peak(dirtyTail.first), 1e-4);
    }
    // The float path too.
    std::vector<float> f0 = testhost::tone<float>(512, 220.0, 0.3), f1 = f0, o0(512), o1(512);
    f0[3] = std::numeric_limits<float>::quiet_NaN();
    f1[4] = std::numeric_limits<float>::infinity();
    set(kPluginMode, 1.0f);
    testhost::process(e, f0.data(), f1.data(), o0.data(), o1.data(), 512);
    for (size_t i = 0; i < 512; ++i)
        ASSERT_TRUE(std::isfinite(o0[i]) && std::isfinite(o1[i])) << i;
}

TEST_F(EffectTest, FloatAndDoublePathsAgree)
{
    set(kPluginMode, 1.0f);
    const std::vector<float> f0 = testhost::tone<float>(4096, 220.0, 0.3);
    const std::vector<float> f1 = testhost::tone<float>(4096, 330.0, 0.2);
    std::vector<float> in0 = f0, in1 = f1, o0(4096), o1(4096);
    testhost::process(e, in0.data(), in1.data(), o0.data(), o1.data(), 4096);
    EffectTest::TearDown();
    SetUp();
    set(kPluginMode, 1.0f);
    const auto [d0, d1] =
        run(std::vector<double>(f0.begin(), f0.end()), std::vector<double>(f1.begin(), f1.end()));
    for (size_t i = 0; i < 4096; ++i)
    {
        ASSERT_EQ(o0[i], static_cast<float>(d0[i])) << i;
        ASSERT_EQ(o1[i], static_cast<float>(d1[i])) << i;
    }
    EXPECT_GT(peak(d0), 1e-4);
}

TEST_F(EffectTest, BlockSizesDoNotChangeTheResult)
{
    set(kPluginMode, 1.0f);
    const size_t n = 8192;
    const std::vector<double> in0 = testhost::tone<double>(n, 196.0, 0.4);
    const std::vector<double> in1 = testhost::tone<double>(n, 247.0, 0.4);
    const auto whole = run(in0, in1);
    EffectTest::TearDown();
    SetUp();
    set(kPluginMode, 1.0f);
    std::vector<double> a = in0, b = in1, o0(n), o1(n);
    for (size_t i = 0; i < n; ++i)
    {
        testhost::process(e, a.data() + i, b.data() + i, o0.data() + i, o1.data() + i, 1);
        testhost::process(e, a.data() + i, b.data() + i, o0.data() + i, o1.data() + i, 0);
    }
    EXPECT_EQ(o0, whole.first);
    EXPECT_EQ(o1, whole.second);
    // A negative count and missing buffers are no block at all.
    testhost::process(e, a.data(), b.data(), o0.data(), o1.data(), -5);
    testhost::process(e, a.data(), nullptr, o0.data(), o1.data(), 16);
    double* none[2] = {nullptr, nullptr};
    e->processDoubleReplacing(e, none, none, 16);
    e->processDoubleReplacing(e, nullptr, nullptr, 16);
    EXPECT_EQ(o0, whole.first);
}

TEST_F(EffectTest, InPlaceBuffersGiveTheSameResult)
{
    for (float mode : {0.0f, 1.0f})
    {
        SCOPED_TRACE(mode);
        EffectTest::TearDown();
        SetUp();
        set(kPluginMode, mode);
        const auto separate = run(left, right);
        EffectTest::TearDown();
        SetUp();
        set(kPluginMode, mode);
        std::vector<double> b0 = left, b1 = right;
        testhost::process(e, b0.data(), b1.data(), b0.data(), b1.data(), static_cast<VstInt32>(b0.size()));
        EXPECT_EQ(b0, separate.first);
        EXPECT_EQ(b1, separate.second);
    }
    // Crossed buffers: input 1 is also output 0.
    EffectTest::TearDown();
    SetUp();
    set(kPluginMode, 1.0f);
    const auto separate = run(left, right);
    EffectTest::TearDown();
    SetUp();
    set(kPluginMode, 1.0f);
    std::vector<double> a = left, b = right;
    testhost::process(e, a.data(), b.data(), b.data(), a.data(), static_cast<VstInt32>(a.size()));
    EXPECT_EQ(b, separate.first);
    EXPECT_EQ(a, separate.second);
}

} // namespace
