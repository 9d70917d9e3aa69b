#include "shell/VST_ZRV4.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/ZRV4.h"
#include "vst/AEffEditor.h"

#if ZRV4_WITH_EDITOR
#include "editor/ZRV4_GUI.h"
#endif

namespace
{

constexpr VstInt32 programCount = 1;
constexpr const char* effectName = "ZRV4 1.0.0";
constexpr const char* vendorName = "Tolvane Amps";
constexpr const char* initName = "Init";

// One bad sample would stay in every recursive filter for good: a NaN or an
// infinity enters an engine as silence.
inline double finiteOrZero(double x) noexcept
{
    return std::isfinite(x) ? x : 0.0;
}

} // namespace

VST_ZRV4::VST_ZRV4(audioMasterCallback audioMaster) : AudioEffectX(audioMaster, programCount, kNumParameters)
{
    setNumInputs(2);
    setNumOutputs(2);
    canProcessReplacing();
    canDoubleReplacing();
    setUniqueID(vstFourCC('Z', 'R', 'V', '4'));
    cEffect.version = 1000;

    sampleRateSent = false;

    programs.reset(new ProgramRecord[numPrograms]);
    for (VstInt32 p = 0; p < numPrograms; ++p)
    {
        for (VstInt32 i = 0; i < kNumParameters; ++i)
            programs[p].values[i] = ParameterTable::info(i).defaultValue;
        vstStrncpy(programs[p].name, initName, kVstMaxProgNameLen - 1);
    }
    for (VstInt32 i = 0; i < kNumParameters; ++i)
        values[i] = ParameterTable::info(i).defaultValue;

    engineLeft.reset(new ZRV4(true));
    engineRight.reset(new ZRV4(*engineLeft));

    if (programs)
        setProgram(0);

#if ZRV4_WITH_EDITOR
    new ZRV4_GUI(this); // registers itself through setEditor, and the effect owns it
#endif
}

VST_ZRV4::~VST_ZRV4()
{
    programs.reset();
    // The editor goes before the engines it may still read.
    delete editor;
    editor = nullptr;
    engineLeft.reset();
    engineRight.reset();
}

template <typename T> void VST_ZRV4::processBlock(T** inputs, T** outputs, VstInt32 sampleFrames)
{
    if (!sampleRateSent)
    {
        engineLeft->setSampleRate(sampleRate);
        engineRight->setSampleRate(sampleRate);
        sampleRateSent = true;
    }
    if (sampleFrames <= 0 || inputs == nullptr || outputs == nullptr)
        return;
    const T* in0 = inputs[0];
    const T* in1 = inputs[1];
    T* out0 = outputs[0];
    T* out1 = outputs[1];
    if (in0 == nullptr || in1 == nullptr || out0 == nullptr || out1 == nullptr)
        return;

    // Each frame reads its inputs before it writes an output, so the host
    // may process in place.
    ZRV4& left = *engineLeft;
    ZRV4& right = *engineRight;
    switch (processMode)
    {
    case mono:
        for (VstInt32 i = 0; i < sampleFrames; ++i)
        {
            const T y = static_cast<T>(left.processSample(finiteOrZero(in0[i])));
            out0[i] = y;
            out1[i] = y;
        }
        break;
    case stereo:
        for (VstInt32 i = 0; i < sampleFrames; ++i)
        {
            const double x0 = finiteOrZero(in0[i]);
            const double x1 = finiteOrZero(in1[i]);
            // The two engines run interleaved: independent chains, same
            // results as one after the other, better use of the pipeline.
            double y0, y1;
            ZRV4::processStereo(left, right, x0, x1, y0, y1);
            out0[i] = static_cast<T>(y0);
            out1[i] = static_cast<T>(y1);
        }
        break;
    default:
        for (VstInt32 i = 0; i < sampleFrames; ++i)
        {
            const T x0 = in0[i];
            const T x1 = in1[i];
            out0[i] = x0;
            out1[i] = x1;
        }
        break;
    }
    // An engine whose state went non-finite plays again from the next block.
    left.checkAndRecover();
    right.checkAndRecover();
}

void VST_ZRV4::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    processBlock(inputs, outputs, sampleFrames);
}

void VST_ZRV4::processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames)
{
    processBlock(inputs, outputs, sampleFrames);
}

void VST_ZRV4::setPluginMode(float v)
{
    if (v == 1.0f)
    {
        if (values[kBypass] < 1.0f)
            processMode = stereo;
        savedPluginMode = 1.0f;
    }
    else if (v == 0.0f)
    {
        if (values[kBypass] < 1.0f)
            processMode = mono;
        savedPluginMode = 0.0f;
    }
    else
    {
        processMode = passThrough;
    }
}

void VST_ZRV4::applyToEngine(ZRV4& engine, VstInt32 index, float v)
{
    switch (index)
    {
    case kChannel:
        engine.setChannel(v);
        break;
    case kGainLead:
    case kBrightLead:
        engine.setLeadGain(values[kGainLead], values[kBrightLead]);
        break;
    case kLowsLead:
    case kMidsLead:
    case kTrebleLead:
    case kPresenceLead:
    case kShapeLead:
    case kVolumeLead:
        engine.setLeadTone(values[kLowsLead], values[kMidsLead], values[kTrebleLead], values[kPresenceLead],
                           values[kVolumeLead], values[kShapeLead]);
        break;
    case kGainRhythm:
    case kBrightRhythm:
        engine.setRhythmGain(values[kGainRhythm], values[kBrightRhythm]);
        break;
    case kModeRhythm:
        if (engine.hasRhythmModeNetworks())
            engine.setRhythmMode(v);
        break;
    case kLowsRhythm:
    case kMidsRhythm:
    case kTrebleRhythm:
    case kVolumeRhythm:
        engine.setRhythmTone(values[kLowsRhythm], values[kMidsRhythm], values[kTrebleRhythm],
                             values[kVolumeRhythm]);
        break;
    case kGainClean:
    case kBrightClean:
        engine.setCleanGain(values[kGainClean], values[kBrightClean]);
        break;
    case kLowsClean:
    case kMidsClean:
    case kTrebleClean:
    case kVolumeClean:
        engine.setCleanTone(values[kLowsClean], values[kMidsClean], values[kTrebleClean],
                            values[kVolumeClean]);
        break;
    case kInputLevel:
        engine.setInputLevel(v);
        break;
    case kOutputLevel:
        engine.setOutputLevel(v);
        break;
    case kOversampling:
        // A value outside 0..1 selects no factor: the engine keeps its own.
        if (const unsigned factor = ParameterTable::oversamplingFactorFor(v))
        {
            engine.setOversampling(factor);
            engine.setSampleRate(static_cast<float>(engine.sampleRate()));
        }
        break;
    default:
        break;
    }
}

void VST_ZRV4::setParameter(VstInt32 index, float value)
{
    float v = value;
    if (ParameterTable::isValid(index))
    {
        v = ParameterTable::conform(index, value);
        if (programs && curProgram >= 0 && curProgram < numPrograms)
            programs[curProgram].values[index] = v;
        values[index] = v;
        if (engineLeft)
            applyToEngine(*engineLeft, index, v);
        if (engineRight)
            applyToEngine(*engineRight, index, v);
        if (index == kPluginMode)
            setPluginMode(v);
        else if (index == kBypass)
            setPluginMode(v == 1.0f ? 0.5f : savedPluginMode);
    }
    if (editor != nullptr)
        editor->setParameter(index, v);
}

float VST_ZRV4::getParameter(VstInt32 index)
{
    return ParameterTable::isValid(index) ? values[index] : 0.0f;
}

void VST_ZRV4::getParameterLabel(VstInt32 index, char* label)
{
    if (!ParameterTable::isValid(index))
        return;
    const unsigned factor = engineLeft ? engineLeft->oversamplingFactor() : 4;
    vstStrncpy(label, ParameterTable::label(index, values[index], factor), kVstMaxLabelLen - 1);
}

void VST_ZRV4::getParameterDisplay(VstInt32 index, char* text)
{
    if (ParameterTable::isValid(index))
        float2string(values[index], text, kVstMaxParamStrLen);
}

void VST_ZRV4::getParameterName(VstInt32 index, char* text)
{
    if (ParameterTable::isValid(index))
        vstStrncpy(text, ParameterTable::info(index).name, kVstMaxNameLen - 1);
}

void VST_ZRV4::setProgram(VstInt32 program)
{
    // The table has a single program; any other index is ignored.
    if (program != 0 || !programs)
        return;
    curProgram = program;
    // Mode Rhythm (10) goes after Bright Rhythm and the Rhythm tone controls.
    static const VstInt32 order[kNumParameters] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  11, 12, 13, 14,
                                                   10, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27};
    for (VstInt32 index : order)
        setParameter(index, programs[curProgram].values[index]);
}

void VST_ZRV4::setProgramName(char* name)
{
    // A longer text is cut to what the field holds.
    vstStrncpy(programs[curProgram].name, name, kVstMaxProgNameLen - 1);
}

void VST_ZRV4::getProgramName(char* name)
{
    const char* current = programs[curProgram].name;
    if (std::strcmp(current, initName) == 0)
    {
        char formatted[48];
        std::snprintf(formatted, sizeof(formatted), "%s %d", current, static_cast<int>(curProgram + 1));
        vstStrncpy(name, formatted, kVstMaxProgNameLen - 1);
    }
    else
        vstStrncpy(name, current, kVstMaxProgNameLen - 1);
}

bool VST_ZRV4::getProgramNameIndexed(VstInt32 /*category*/, VstInt32 index, char* text)
{
    if (index != 0)
        return false;
    vstStrncpy(text, programs[index].name, kVstMaxProgNameLen - 1);
    return true;
}

void VST_ZRV4::setSampleRate(float rate)
{
    // Outside the range the engine is made for (also zero, negative or
    // non-finite): keep the rate in use.
    if (!ZRV4::acceptsSampleRate(rate))
        return;
    AudioEffectX::setSampleRate(rate);
    engineLeft->setSampleRate(rate);
    engineRight->setSampleRate(rate);
}

void VST_ZRV4::setBlockSize(VstInt32 size)
{
    if (size > 0)
        AudioEffectX::setBlockSize(size);
}

bool VST_ZRV4::getEffectName(char* name)
{
    vstStrncpy(name, effectName, kVstMaxEffectNameLen - 1);
    return true;
}

bool VST_ZRV4::getVendorString(char* text)
{
    vstStrncpy(text, vendorName, kVstMaxVendorStrLen - 1);
    return true;
}

bool VST_ZRV4::getProductString(char* text)
{
    vstStrncpy(text, effectName, kVstMaxProductStrLen - 1);
    return true;
}
