#include "vst/AudioEffect.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "vst/AEffEditor.h"

void vstStrncpy(char* dst, const char* src, size_t maxLen)
{
    size_t n = 0;
    while (n < maxLen && src[n] != 0)
    {
        dst[n] = src[n];
        ++n;
    }
    dst[n] = 0;
}

namespace
{

// The host boundary: each callback checks the record and the object behind
// it, then forwards to the C++ effect.
AudioEffect* effectOf(AEffect* effect)
{
    if (effect == nullptr || effect->magic != kEffectMagic)
        return nullptr;
    return static_cast<AudioEffect*>(effect->object);
}

VstIntPtr VSTCALLBACK dispatchEffect(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                     void* ptr, float opt)
{
    AudioEffect* e = effectOf(effect);
    return e != nullptr ? e->dispatcher(opcode, index, value, ptr, opt) : 0;
}

void VSTCALLBACK setParameterEffect(AEffect* effect, VstInt32 index, float value)
{
    if (AudioEffect* e = effectOf(effect))
        e->setParameter(index, value);
}

float VSTCALLBACK getParameterEffect(AEffect* effect, VstInt32 index)
{
    AudioEffect* e = effectOf(effect);
    return e != nullptr ? e->getParameter(index) : 0.0f;
}

void VSTCALLBACK processEffect(AEffect* /*effect*/, float** /*inputs*/, float** /*outputs*/,
                               VstInt32 /*sampleFrames*/)
{
    // The accumulating call is obsolete since VST 2.4; nothing is added.
}

void VSTCALLBACK processReplacingEffect(AEffect* effect, float** inputs, float** outputs,
                                        VstInt32 sampleFrames)
{
    if (AudioEffect* e = effectOf(effect))
        e->processReplacing(inputs, outputs, sampleFrames);
}

void VSTCALLBACK processDoubleReplacingEffect(AEffect* effect, double** inputs, double** outputs,
                                              VstInt32 sampleFrames)
{
    if (AudioEffect* e = effectOf(effect))
        e->processDoubleReplacing(inputs, outputs, sampleFrames);
}

} // namespace

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster), numPrograms(numPrograms), numParams(numParams)
{
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffect;
    cEffect.process = processEffect;
    cEffect.setParameter = setParameterEffect;
    cEffect.getParameter = getParameterEffect;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = vstFourCC('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processReplacingEffect;
    cEffect.processDoubleReplacing = processDoubleReplacingEffect;
}

AudioEffect::~AudioEffect()
{
    delete editor;
    editor = nullptr;
    // A host that reads the record after release finds no object behind it.
    cEffect.object = nullptr;
    cEffect.magic = 0;
}

void AudioEffect::setFlag(VstInt32 flag, bool state)
{
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

void AudioEffect::setEditor(AEffEditor* newEditor)
{
    editor = newEditor;
    setFlag(effFlagsHasEditor, editor != nullptr);
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value)
{
    setParameter(index, value);
    if (audioMaster != nullptr)
        audioMaster(&cEffect, audioMasterAutomate, index, 0, nullptr, value);
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    char* text = static_cast<char*>(ptr);
    switch (opcode)
    {
    case effOpen:
        open();
        return 0;
    case effClose:
        // The host's last call: the effect and its record go away here.
        close();
        delete this;
        return 1;
    case effSetProgram:
        if (value >= INT32_MIN && value <= INT32_MAX)
            setProgram(static_cast<VstInt32>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        if (text != nullptr)
            setProgramName(text);
        return 0;
    case effGetProgramName:
        if (text != nullptr)
            getProgramName(text);
        return 0;
    case effGetParamLabel:
        if (text != nullptr)
            getParameterLabel(index, text);
        return 0;
    case effGetParamDisplay:
        if (text != nullptr)
            getParameterDisplay(index, text);
        return 0;
    case effGetParamName:
        if (text != nullptr)
            getParameterName(index, text);
        return 0;
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        if (value >= INT32_MIN && value <= INT32_MAX)
            setBlockSize(static_cast<VstInt32>(value));
        return 0;
    case effMainsChanged:
        if (value != 0)
            resume();
        else
            suspend();
        return 0;
    case effEditGetRect:
        if (editor != nullptr && ptr != nullptr)
            return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
        return 0;
    case effEditOpen:
        if (editor != nullptr)
            return editor->open(ptr) ? 1 : 0;
        return 0;
    case effEditClose:
        if (editor != nullptr)
            editor->close();
        return 0;
    case effEditIdle:
        if (editor != nullptr)
            editor->idle();
        return 0;
    default:
        return 0;
    }
}

void AudioEffect::float2string(float value, char* text, VstInt32 maxLen)
{
    if (maxLen <= 0)
    {
        *text = 0;
        return;
    }
    double v = value;
    if (std::isnan(v))
    {
        vstStrncpy(text, "NaN", static_cast<size_t>(maxLen));
        return;
    }
    const bool negative = v < 0.0;
    const double a = std::fabs(v);
    // Characters left for the digits and the point.
    const int avail = maxLen - (negative ? 1 : 0);
    const int digitLimit = avail < 15 ? avail : 15; // what a uint64 holds exactly
    // Integer digits, then fraction digits in what is left after the point.
    int intDigits = 1;
    for (double p = 10.0; intDigits <= digitLimit && a >= p; p *= 10.0)
        ++intDigits;
    char buffer[40];
    int len = 0;
    for (;;)
    {
        if (std::isinf(a) || intDigits > digitLimit)
        {
            vstStrncpy(text, "Huge!", static_cast<size_t>(maxLen));
            return;
        }
        const int fraction = intDigits < avail ? avail - intDigits - 1 : 0;
        const int totalDigits = intDigits + fraction > 15 ? 15 : intDigits + fraction;
        const int fracDigits = totalDigits - intDigits;
        double scale = 1.0;
        for (int i = 0; i < fracDigits; ++i)
            scale *= 10.0;
        const uint64_t scaled = static_cast<uint64_t>(std::llround(a * scale));
        uint64_t limit = 1;
        for (int i = 0; i < totalDigits; ++i)
            limit *= 10;
        if (scaled >= limit)
        {
            // Rounding carried into a new integer digit (9.9999999 -> 10.00000).
            ++intDigits;
            continue;
        }
        char digits[20];
        uint64_t rest = scaled;
        for (int i = totalDigits - 1; i >= 0; --i)
        {
            digits[i] = static_cast<char>('0' + rest % 10);
            rest /= 10;
        }
        if (negative)
            buffer[len++] = '-';
        for (int i = 0; i < intDigits; ++i)
            buffer[len++] = digits[i];
        if (fracDigits > 0)
        {
            buffer[len++] = '.';
            for (int i = intDigits; i < totalDigits; ++i)
                buffer[len++] = digits[i];
        }
        buffer[len] = 0;
        break;
    }
    vstStrncpy(text, buffer, static_cast<size_t>(maxLen));
}
