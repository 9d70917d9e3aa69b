// The VST 2.4 bases: the host boundary, dispatcher routing to the effect and
// the editor, string limits and the display routine.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tests/shell/TestHost.h"
#include "vst/AEffEditor.h"
#include "vst/AudioEffectX.h"

namespace
{

struct Calls
{
    std::vector<std::string> log;
    int destroyed = 0;
};

class RecordingEditor : public AEffEditor
{
  public:
    RecordingEditor(AudioEffect* effect, Calls& calls) : AEffEditor(effect), calls(calls)
    {
        rect = {0, 0, 162, 890};
    }
    ~RecordingEditor() override { calls.log.push_back("editor deleted"); }
    bool getRect(ERect** r) override
    {
        *r = &rect;
        return true;
    }
    bool open(void* ptr) override
    {
        calls.log.push_back("open " + std::to_string(reinterpret_cast<uintptr_t>(ptr)));
        return AEffEditor::open(ptr) || true;
    }
    void close() override { calls.log.push_back("close"); }
    void idle() override { calls.log.push_back("idle"); }
    bool setKnobMode(VstInt32 mode) override
    {
        calls.log.push_back("knob " + std::to_string(mode));
        return true;
    }
    bool onKeyDown(VstKeyCode& k) override
    {
        calls.log.push_back("down " + std::to_string(k.character) + " " + std::to_string(k.virt) + " " +
                            std::to_string(k.modifier));
        return true;
    }
    bool onKeyUp(VstKeyCode& k) override
    {
        calls.log.push_back("up " + std::to_string(k.character));
        return false;
    }
    ERect rect;
    Calls& calls;
};

class TinyEffect : public AudioEffectX
{
  public:
    TinyEffect(audioMasterCallback master, Calls& calls) : AudioEffectX(master, 1, 3), calls(calls) {}
    ~TinyEffect() override { ++calls.destroyed; }
    void processReplacing(float**, float**, VstInt32 frames) override
    {
        calls.log.push_back("process " + std::to_string(frames));
    }
    void setParameter(VstInt32 index, float value) override
    {
        calls.log.push_back("set " + std::to_string(index) + " " + std::to_string(value));
    }
    float getParameter(VstInt32 index) override { return 0.25f * static_cast<float>(index); }
    void setProgram(VstInt32 program) override
    {
        calls.log.push_back("program " + std::to_string(program));
        AudioEffectX::setProgram(program);
    }
    void suspend() override { calls.log.push_back("suspend"); }
    void resume() override { calls.log.push_back("resume"); }
    void getParameterName(VstInt32, char* text) override
    {
        // A name far longer than any host buffer.
        vstStrncpy(text, std::string(200, 'n').c_str(), kVstMaxNameLen - 1);
    }
    Calls& calls;
};

using testhost::dispatch;

TEST(AudioEffect, RecordDefaultsAndCallbacks)
{
    Calls calls;
    TinyEffect* fx = new TinyEffect(testhost::callback, calls);
    AEffect* e = fx->getAeffect();
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->object, fx);
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->numParams, 3);
    EXPECT_EQ(e->flags, 0);
    EXPECT_FLOAT_EQ(fx->getSampleRate(), 44100.0f);
    EXPECT_EQ(fx->getBlockSize(), 1024);
    fx->setNumInputs(2);
    fx->setNumOutputs(2);
    fx->canProcessReplacing();
    fx->canDoubleReplacing();
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->flags, effFlagsCanReplacing | effFlagsCanDoubleReplacing);
    fx->canDoubleReplacing(false);
    EXPECT_EQ(e->flags, effFlagsCanReplacing);

    e->setParameter(e, 2, 0.5f);
    EXPECT_FLOAT_EQ(e->getParameter(e, 2), 0.5f);
    e->processReplacing(e, nullptr, nullptr, 7);
    e->processDoubleReplacing(e, nullptr, nullptr, 7); // base default does nothing
    ASSERT_EQ(calls.log.size(), 2u);
    EXPECT_EQ(calls.log[1], "process 7");
    dispatch(e, effClose);
    EXPECT_EQ(calls.destroyed, 1);
}

// A record that is not ours, or has no object behind it, must not be followed.
TEST(AudioEffect, ForeignOrEmptyRecordIsRefused)
{
    Calls calls;
    TinyEffect* fx = new TinyEffect(testhost::callback, calls);
    AEffect copy = *fx->getAeffect();
    copy.object = nullptr;
    EXPECT_EQ(dispatch(&copy, effGetVstVersion), 0);
    copy.setParameter(&copy, 0, 1.0f);
    EXPECT_EQ(copy.getParameter(&copy, 1), 0.0f);
    copy.processReplacing(&copy, nullptr, nullptr, 4);
    copy.object = fx;
    copy.magic = 0;
    EXPECT_EQ(dispatch(&copy, effGetVstVersion), 0);
    EXPECT_EQ(copy.getParameter(&copy, 1), 0.0f);
    EXPECT_EQ(copy.dispatcher(nullptr, effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
    copy.setParameter(nullptr, 0, 1.0f);
    copy.processDoubleReplacing(nullptr, nullptr, nullptr, 4);
    EXPECT_TRUE(calls.log.empty());
    AEffect* e = fx->getAeffect();
    EXPECT_EQ(dispatch(e, effGetVstVersion), 2400);
    dispatch(e, effClose);
}

TEST(AudioEffect, DispatcherRoutesHostRequests)
{
    Calls calls;
    TinyEffect* fx = new TinyEffect(testhost::callback, calls);
    AEffect* e = fx->getAeffect();
    dispatch(e, effSetSampleRate, 0, 0, nullptr, 96000.0f);
    dispatch(e, effSetBlockSize, 0, 256);
    EXPECT_FLOAT_EQ(fx->getSampleRate(), 96000.0f);
    EXPECT_EQ(fx->getBlockSize(), 256);
    dispatch(e, effSetProgram, 0, 0);
    // A value that does not fit the program index is not cut to one that does.
    dispatch(e, effSetProgram, 0, static_cast<VstIntPtr>(1) << 40);
    dispatch(e, effMainsChanged, 0, 1);
    dispatch(e, effMainsChanged, 0, 0);
    EXPECT_EQ(dispatch(e, effGetProgram), 0);
    const std::vector<std::string> expected = {"program 0", "resume", "suspend"};
    EXPECT_EQ(calls.log, expected);
    EXPECT_EQ(dispatch(e, effCanBeAutomated, 2), 1);
    EXPECT_EQ(dispatch(e, effCanBeAutomated, 3), 0);
    EXPECT_EQ(dispatch(e, effCanBeAutomated, -1), 0);
    EXPECT_EQ(dispatch(e, effGetVstVersion), 2400);

    // String requests with no buffer write nothing anywhere.
    for (VstInt32 op : {effGetParamName, effGetParamLabel, effGetParamDisplay, effGetProgramName,
                        effSetProgramName, effGetEffectName, effGetVendorString, effGetProductString,
                        effCanDo, effGetProgramNameIndexed, effGetInputProperties, effGetOutputProperties})
        EXPECT_EQ(dispatch(e, op, 0, 0, nullptr), 0) << op;
    // Long texts stop at the ABI limit.
    const testhost::Text name = testhost::queryText(e, effGetParamName, 0);
    EXPECT_FALSE(name.overran);
    EXPECT_EQ(name.value.size(), static_cast<size_t>(kVstMaxNameLen - 1));
    dispatch(e, effClose);
}

TEST(AudioEffect, EditorRequestsReachTheEditor)
{
    Calls calls;
    TinyEffect* fx = new TinyEffect(testhost::callback, calls);
    AEffect* e = fx->getAeffect();
    ERect* rect = nullptr;
    // Without an editor every editor request answers 0.
    EXPECT_EQ(dispatch(e, effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(dispatch(e, effEditOpen, 0, 0, reinterpret_cast<void*>(42)), 0);
    EXPECT_EQ(dispatch(e, effEditKeyDown, 65, 3, nullptr, 1.0f), 0);
    dispatch(e, effEditIdle);
    dispatch(e, effEditClose);
    EXPECT_TRUE(calls.log.empty());

    fx->setEditor(new RecordingEditor(fx, calls));
    EXPECT_EQ(e->flags & effFlagsHasEditor, effFlagsHasEditor);
    EXPECT_EQ(dispatch(e, effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right, 890);
    EXPECT_EQ(dispatch(e, effEditGetRect, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(e, effEditOpen, 0, 0, reinterpret_cast<void*>(42)), 1);
    dispatch(e, effEditIdle);
    EXPECT_EQ(dispatch(e, effSetEditKnobMode, 0, kLinearMode), 1);
    EXPECT_EQ(dispatch(e, effEditKeyDown, 65, 3, nullptr, 1.0f), 1);
    // A modifier outside a byte's range arrives as none.
    EXPECT_EQ(dispatch(e, effEditKeyDown, 66, 0, nullptr, -1.0e9f), 1);
    EXPECT_EQ(dispatch(e, effEditKeyUp, 65), 0);
    dispatch(e, effEditClose);
    const std::vector<std::string> expected = {"open 42",     "idle",  "knob 2", "down 65 3 1",
                                               "down 66 0 0", "up 65", "close"};
    EXPECT_EQ(calls.log, expected);
    calls.log.clear();
    dispatch(e, effClose); // the effect deletes its editor
    EXPECT_EQ(calls.log, std::vector<std::string>{"editor deleted"});
    EXPECT_EQ(calls.destroyed, 1);
}

TEST(AudioEffect, AutomationReachesTheHost)
{
    Calls calls;
    testhost::host().automated.clear();
    TinyEffect* fx = new TinyEffect(testhost::callback, calls);
    fx->setParameterAutomated(1, 0.75f);
    ASSERT_EQ(testhost::host().automated.size(), 1u);
    EXPECT_EQ(testhost::host().automated[0].effect, fx->getAeffect());
    EXPECT_EQ(testhost::host().automated[0].index, 1);
    EXPECT_FLOAT_EQ(testhost::host().automated[0].value, 0.75f);
    EXPECT_EQ(calls.log, std::vector<std::string>{"set 1 " + std::to_string(0.75f)});
    dispatch(fx->getAeffect(), effClose);

    // Without a host callback the parameter is still set.
    TinyEffect* orphan = new TinyEffect(nullptr, calls);
    orphan->setParameterAutomated(0, 0.5f);
    EXPECT_EQ(calls.log.size(), 2u);
    EXPECT_EQ(testhost::host().automated.size(), 1u);
    delete orphan;
}

TEST(AudioEffect, UnknownRequestsAnswerZero)
{
    Calls calls;
    TinyEffect* fx = new TinyEffect(testhost::callback, calls);
    AEffect* e = fx->getAeffect();
    char buffer[256] = {};
    for (VstInt32 op : std::initializer_list<VstInt32>{
             effGetVu, effIdentify, effGetChunk, effSetChunk, effProcessEvents, effString2Parameter,
             effSetBypass, effGetTailSize, effVendorSpecific, effSetProcessPrecision,
             effGetNumMidiInputChannels, effStartProcess, effStopProcess, effShellGetNextPlugin,
             static_cast<VstInt32>(effGetNumMidiOutputChannels + 1), 12345, -7})
        EXPECT_EQ(dispatch(e, op, 1, 1, buffer, 1.0f), 0) << op;
    EXPECT_TRUE(calls.log.empty());
    EXPECT_EQ(buffer[0], 0);
    dispatch(e, effClose);
}

std::string show(float v, VstInt32 maxLen = kVstMaxParamStrLen)
{
    char text[64];
    std::memset(text, 0x7f, sizeof(text));
    AudioEffect::float2string(v, text, maxLen);
    EXPECT_LE(std::strlen(text), static_cast<size_t>(maxLen));
    return text;
}

TEST(AudioEffect, FloatToText)
{
    EXPECT_EQ(show(0.5f), "0.500000");
    EXPECT_EQ(show(1.0f), "1.000000");
    EXPECT_EQ(show(0.0f), "0.000000");
    // Rounded, not cut: 0.7f is 0.69999998... in binary.
    EXPECT_EQ(show(0.7f), "0.700000");
    EXPECT_EQ(show(0.0001f), "0.000100");
    EXPECT_EQ(show(12.25f), "12.25000");
    EXPECT_EQ(show(-0.5f), "-0.50000");
    EXPECT_EQ(show(-12.5f), "-12.5000");
    EXPECT_EQ(show(1234567.0f), "1234567");
    EXPECT_EQ(show(12345678.0f), "12345678");
    // A carry from rounding adds an integer digit and still fits.
    EXPECT_EQ(show(-9.999999f), "-10.0000");
    EXPECT_EQ(show(1.0e8f), "Huge!");
    EXPECT_EQ(show(-1.0e7f), "Huge!");
    EXPECT_EQ(show(std::numeric_limits<float>::max()), "Huge!");
    EXPECT_EQ(show(-std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(show(std::numeric_limits<float>::quiet_NaN()), "NaN");
    EXPECT_EQ(show(0.5f, 4), "0.50");
    EXPECT_EQ(show(0.5f, 0), "");
    // Wide buffers get the digits a double holds exactly, no more.
    EXPECT_EQ(show(0.123456789f, 63), "0.12345679104328");
}

TEST(AudioEffect, BoundedCopy)
{
    char buffer[8];
    std::memset(buffer, 'x', sizeof(buffer));
    vstStrncpy(buffer, "abcdefghij", 4);
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_EQ(buffer[5], 'x');
    vstStrncpy(buffer, "ab", 4);
    EXPECT_STREQ(buffer, "ab");
}

} // namespace
