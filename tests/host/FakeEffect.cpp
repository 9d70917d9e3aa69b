// A minimal VST 2.4 effect for testing the host layer. One source, built as
// several modules by FAKE_VARIANT:
//   1 normal, exports VSTPluginMain     2 exports main only
//   3 entry point returns null          4 record with a wrong magic
//   5 exports no entry point            6 normal, holds its first block
// Variant 6 lets a test stop its host at a known point: the first process call
// creates the file $FAKE_HOLD_FILE names and waits there for SIGTERM or SIGINT.
// The effect logs the opcodes it receives into fakeLog(), asks the host
// callback for its version, rate, block size and capabilities when opened,
// and on setParameter tells the host of the change as an editor would
// (begin edit, automate, end edit).
#include "vst/aeffectx.h"

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace
{
std::string log;

struct Fake
{
    AEffect effect;
    audioMasterCallback host;
    float values[3] = {0.25f, 0.5f, 0.75f};
    VstIntPtr answers[7] = {};
};

Fake* fakeOf(AEffect* e)
{
    return static_cast<Fake*>(e->object);
}

void copy(void* ptr, const char* text)
{
    std::strncpy(static_cast<char*>(ptr), text, kVstMaxParamStrLen);
    static_cast<char*>(ptr)[kVstMaxParamStrLen - 1] = '\0';
}

VstIntPtr dispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    Fake* f = fakeOf(e);
    log += std::to_string(opcode) + ",";
    switch (opcode)
    {
    case effOpen:
        f->answers[0] = f->host(e, audioMasterVersion, 0, 0, nullptr, 0.0f);
        f->answers[1] = f->host(e, audioMasterGetSampleRate, 0, 0, nullptr, 0.0f);
        f->answers[2] = f->host(e, audioMasterGetBlockSize, 0, 0, nullptr, 0.0f);
        f->answers[3] = f->host(e, audioMasterCanDo, 0, 0, const_cast<char*>("supplyIdle"), 0.0f);
        f->answers[4] = f->host(e, audioMasterCanDo, 0, 0, const_cast<char*>("sendVstTimeInfo"), 0.0f);
        f->answers[5] = f->host(e, audioMasterGetTime, 0, 0, nullptr, 0.0f);
        return 0;
    case effClose:
        delete f;
        return 0;
    case effGetParamName:
        copy(ptr, index == 0 ? "Gain" : index == 1 ? "Mix" : "Tone");
        return 0;
    case effGetParamLabel:
        copy(ptr, "dB");
        return 0;
    case effGetParamDisplay:
        std::snprintf(static_cast<char*>(ptr), kVstMaxParamStrLen, "%.2f", f->values[index % 3]);
        return 0;
    case effGetEffectName:
        // Longer than the 32-character limit, as some plug-ins do.
        std::strcpy(static_cast<char*>(ptr), "Fake Effect With A Name Longer Than Thirty-Two Characters");
        return 1;
    case effGetVendorString:
        std::strcpy(static_cast<char*>(ptr), "Test Vendor");
        return 1;
    case effGetProductString:
        std::strcpy(static_cast<char*>(ptr), "Fake");
        return 1;
    case effGetVendorVersion:
        return 1234;
    case effGetVstVersion:
        return 2400;
    case effCanDo:
        return std::strcmp(static_cast<const char*>(ptr), "plugAsChannelInsert") == 0 ? 1 : -1;
    case effVendorSpecific:
        // The host callback's answers recorded at effOpen (0 to 5) and in
        // the entry point (6), by index.
        return index >= 0 && index < 7 ? f->answers[index] : 0;
    default:
        (void)value;
        (void)opt;
        return 0;
    }
}

void setParameter(AEffect* e, VstInt32 index, float value)
{
    Fake* f = fakeOf(e);
    f->values[index] = value;
    f->host(e, audioMasterBeginEdit, index, 0, nullptr, 0.0f);
    f->host(e, audioMasterAutomate, index, 0, nullptr, value);
    f->host(e, audioMasterEndEdit, index, 0, nullptr, 0.0f);
}

float getParameter(AEffect* e, VstInt32 index)
{
    return fakeOf(e)->values[index];
}

[[maybe_unused]] void holdFirstBlock()
{
    static bool held = false;
    const char* marker = std::getenv("FAKE_HOLD_FILE");
    if (held || marker == nullptr)
        return;
    held = true;
    // The signals stay blocked from before the marker exists until sigsuspend,
    // so one sent as soon as the marker appears cannot be missed.
    sigset_t stop, previous;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop, &previous);
    if (FILE* f = std::fopen(marker, "w"))
        std::fclose(f);
    sigset_t waiting = previous;
    sigdelset(&waiting, SIGTERM);
    sigdelset(&waiting, SIGINT);
    sigsuspend(&waiting);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

// Output = 2 x input, per channel.
void processReplacing(AEffect*, float** in, float** out, VstInt32 frames)
{
    if (FAKE_VARIANT == 6)
        holdFirstBlock();
    for (int c = 0; c < 2; ++c)
        for (VstInt32 i = 0; i < frames; ++i)
            out[c][i] = 2.0f * in[c][i];
}

[[maybe_unused]] AEffect* create(audioMasterCallback host)
{
    if (FAKE_VARIANT == 3 || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) < 2400)
        return nullptr;
    // A host cannot close a record with a wrong magic: that one is static.
    static Fake unclosable;
    Fake* f = FAKE_VARIANT == 4 ? &unclosable : new Fake();
    std::memset(&f->effect, 0, sizeof f->effect);
    f->host = host;
    AEffect& e = f->effect;
    e.magic = FAKE_VARIANT == 4 ? vstFourCC('N', 'o', 'p', 'e') : kEffectMagic;
    e.dispatcher = dispatcher;
    e.setParameter = setParameter;
    e.getParameter = getParameter;
    e.processReplacing = processReplacing;
    e.numPrograms = 1;
    e.numParams = 3;
    e.numInputs = 2;
    e.numOutputs = 2;
    e.flags = effFlagsCanReplacing;
    e.uniqueID = vstFourCC('F', 'a', 'k', 'e');
    e.version = 7;
    e.object = f;
    // A record whose host field holds garbage while the effect already
    // talks to the host from inside the entry point.
    e.resvd1 = static_cast<VstIntPtr>(0x5a5a5a5a);
    f->answers[6] = host(&e, audioMasterGetBlockSize, 0, 0, nullptr, 0.0f);
    log.clear();
    return &e;
}
} // namespace

FAKE_EXPORT const char* fakeLog()
{
    return log.c_str();
}

#if FAKE_VARIANT == 2
FAKE_EXPORT AEffect* fakeMain(audioMasterCallback host) __asm__("main");
FAKE_EXPORT AEffect* fakeMain(audioMasterCallback host)
{
    return create(host);
}
#elif FAKE_VARIANT != 5
FAKE_EXPORT AEffect* VSTPluginMain(audioMasterCallback host)
{
    return create(host);
}
#endif
