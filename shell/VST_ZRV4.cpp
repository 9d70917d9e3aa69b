#include "shell/VST_ZRV4.h"

#include <cstdio>
#include <cstring>

#include "shell/VstEditorHost.h"
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

// Hosts size parameter name buffers by the 8 bytes of the interface or by
// what Linux plug-in frameworks commonly allow; every name fits the latter.
constexpr size_t nameLength = 15;
constexpr size_t labelLength = kVstMaxShortLabelLen - 1;

} // namespace

VST_ZRV4::VST_ZRV4(audioMasterCallback audioMaster) : AudioEffectX(audioMaster, programCount, kNumParameters)
{
    setNumInputs(2);
    setNumOutputs(2);
    canProcessReplacing();
    canDoubleReplacing();
    setUniqueID(vstFourCC('Z', 'R', 'V', '4'));
    cEffect.version = 1000;
    announcedDelay.store(core.latencySamples());
    setInitialDelay(core.latencySamples());

    programs.reset(new ProgramRecord[numPrograms]);
    for (VstInt32 p = 0; p < numPrograms; ++p)
        vstStrncpy(programs[p].name, initName, kVstMaxProgNameLen - 1);
    setProgram(0);

    editorHost.reset(new VstEditorHost(*this));
#if ZRV4_WITH_EDITOR
    new ZRV4_GUI(*editorHost, this); // registers itself through setEditor, and the effect owns it
#endif
}

VST_ZRV4::~VST_ZRV4()
{
    // The editor goes before the link it reads values through.
    delete editor;
    editor = nullptr;
}

void VST_ZRV4::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    if (inputs == nullptr || outputs == nullptr)
        core.process(static_cast<const float*>(nullptr), nullptr, nullptr, nullptr, 0);
    else
        core.process(inputs[0], inputs[1], outputs[0], outputs[1], sampleFrames);
}

void VST_ZRV4::processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames)
{
    if (inputs == nullptr || outputs == nullptr)
        core.process(static_cast<const double*>(nullptr), nullptr, nullptr, nullptr, 0);
    else
        core.process(inputs[0], inputs[1], outputs[0], outputs[1], sampleFrames);
}

void VST_ZRV4::setParameter(VstInt32 index, float value)
{
    core.setParameter(index, value); // ignores an invalid index
    if (index == kOversampling)
        announceLatency();
}

void VST_ZRV4::announceLatency()
{
    // The factor takes effect with the next block; the host hears of its
    // delay now, from this thread, never from inside a process call. Two
    // threads changing the factor at once: each announces what it finds
    // selected until what it announced is still selected.
    int32_t delay;
    do
    {
        delay = ZRV4Effect::latencyFor(core.requestedFactor());
        if (announcedDelay.exchange(delay) != delay)
        {
            __atomic_store_n(&cEffect.initialDelay, delay, __ATOMIC_RELAXED);
            if (audioMaster != nullptr)
                audioMaster(&cEffect, audioMasterIOChanged, 0, 0, nullptr, 0.0f);
        }
    } while (ZRV4Effect::latencyFor(core.requestedFactor()) != delay);
}

float VST_ZRV4::getParameter(VstInt32 index)
{
    return core.getParameter(index);
}

void VST_ZRV4::getParameterLabel(VstInt32 index, char* label)
{
    if (!ParameterTable::isValid(index))
        return;
    vstStrncpy(label, ParameterTable::label(index, core.getParameter(index), core.requestedFactor()),
               labelLength);
}

void VST_ZRV4::getParameterDisplay(VstInt32 index, char* text)
{
    if (ParameterTable::isValid(index))
        float2string(core.getParameter(index), text, kVstMaxParamStrLen);
}

void VST_ZRV4::getParameterName(VstInt32 index, char* text)
{
    if (ParameterTable::isValid(index))
        vstStrncpy(text, ParameterTable::info(index).name, nameLength);
}

bool VST_ZRV4::getParameterProperties(VstInt32 index, VstParameterProperties* p)
{
    if (!ParameterTable::isValid(index))
        return false;
    std::memset(p, 0, sizeof(*p));
    const ParameterInfo& info = ParameterTable::info(index);
    vstStrncpy(p->label, info.name, kVstMaxLabelLen - 1);
    vstStrncpy(p->shortLabel, info.shortLabel, kVstMaxShortLabelLen - 1);
    if (ParameterTable::isSwitch(index))
        p->flags |= kVstParameterIsSwitch;
    if (const int positions = ParameterTable::positions(index))
    {
        // Integer i stands for the normalised value i / (positions - 1).
        p->flags |= kVstParameterUsesIntegerMinMax | kVstParameterUsesIntStep;
        p->minInteger = 0;
        p->maxInteger = positions - 1;
        p->stepInteger = 1;
        p->largeStepInteger = 1;
    }
    p->flags |= kVstParameterSupportsDisplayCategory;
    p->category = static_cast<int16_t>(static_cast<int>(info.group) + 1);
    p->numParametersInCategory = static_cast<int16_t>(ParameterTable::groupSize(info.group));
    vstStrncpy(p->categoryLabel, ParameterTable::groupName(info.group), kVstMaxCategLabelLen - 1);
    return true;
}

void VST_ZRV4::setProgram(VstInt32 program)
{
    // The table has a single program, whose values are the current ones: a
    // program change sends them again. Any other index is ignored.
    if (program != 0 || !programs)
        return;
    for (VstInt32 index : ZRV4Effect::applyOrder)
        setParameter(index, core.getParameter(index));
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
    // A rate the core refuses leaves the one in use.
    if (core.setSampleRate(rate))
        AudioEffectX::setSampleRate(rate);
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
