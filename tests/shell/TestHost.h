// A minimal host for the effect tests: a host callback that answers the
// version query and records automation calls, and helpers that drive an
// effect through its AEffect record only.
#pragma once

#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "vst/aeffectx.h"

extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster);

namespace testhost
{

struct AutomateCall
{
    AEffect* effect;
    VstInt32 index;
    float value;
};

struct HostState
{
    VstIntPtr versionAnswer = 2400;
    int versionQueries = 0;
    std::vector<AutomateCall> automated;
    // Threads that announced a change of the record (latency).
    std::vector<std::thread::id> ioChanged;
};

inline HostState& host()
{
    static HostState state;
    return state;
}

inline VstIntPtr VSTCALLBACK callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr /*value*/,
                                      void* /*ptr*/, float opt)
{
    switch (opcode)
    {
    case audioMasterVersion:
        ++host().versionQueries;
        return host().versionAnswer;
    case audioMasterAutomate:
        host().automated.push_back({effect, index, opt});
        return 0;
    case audioMasterIOChanged:
        host().ioChanged.push_back(std::this_thread::get_id());
        return 1;
    default:
        return 0;
    }
}

inline VstIntPtr dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f)
{
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

// Text written by a string opcode into a buffer of sentinel bytes; wrote is
// false when the buffer was left untouched.
struct Text
{
    std::string value;
    bool wrote = false;
    bool overran = false; // no NUL within limit bytes, or bytes written beyond them
};

inline Text queryText(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                      size_t limit = kVstMaxNameLen)
{
    char buffer[512];
    std::memset(buffer, 0x7f, sizeof(buffer));
    dispatch(e, opcode, index, value, buffer, 0.0f);
    Text t;
    t.wrote = buffer[0] != 0x7f;
    if (!t.wrote)
    {
        for (size_t i = 0; i < sizeof(buffer); ++i)
            t.overran = t.overran || buffer[i] != 0x7f;
        return t;
    }
    const char* nul = static_cast<const char*>(std::memchr(buffer, 0, sizeof(buffer)));
    if (nul == nullptr || static_cast<size_t>(nul - buffer) >= limit)
    {
        t.overran = true;
        return t;
    }
    t.value.assign(buffer, static_cast<size_t>(nul - buffer));
    for (size_t i = limit; i < sizeof(buffer); ++i)
        t.overran = t.overran || buffer[i] != 0x7f;
    return t;
}

inline std::string paramName(AEffect* e, VstInt32 i)
{
    return queryText(e, effGetParamName, i).value;
}
inline std::string paramLabel(AEffect* e, VstInt32 i)
{
    return queryText(e, effGetParamLabel, i).value;
}
inline std::string paramDisplay(AEffect* e, VstInt32 i)
{
    return queryText(e, effGetParamDisplay, i).value;
}

} // namespace testhost

namespace testhost
{

// A plucked-string-like test tone: a decaying sum of a fundamental and two
// overtones.
template <typename T> std::vector<T> tone(size_t frames, double freq, double amp, double rate = 44100.0)
{
    std::vector<T> x(frames);
    const double w = 2.0 * 3.14159265358979323846 * freq / rate;
    for (size_t n = 0; n < frames; ++n)
    {
        const double t = static_cast<double>(n);
        x[n] = static_cast<T>(amp * std::exp(-t / (4.0 * rate)) *
                              (std::sin(w * t) + 0.5 * std::sin(2.0 * w * t) + 0.25 * std::sin(3.0 * w * t)));
    }
    return x;
}

// Runs one block through the record's float or double entry.
inline void process(AEffect* e, float* in0, float* in1, float* out0, float* out1, VstInt32 frames)
{
    float* ins[2] = {in0, in1};
    float* outs[2] = {out0, out1};
    e->processReplacing(e, ins, outs, frames);
}

inline void process(AEffect* e, double* in0, double* in1, double* out0, double* out1, VstInt32 frames)
{
    double* ins[2] = {in0, in1};
    double* outs[2] = {out0, out1};
    e->processDoubleReplacing(e, ins, outs, frames);
}

} // namespace testhost
