// The LV2 plug-in: lv2_descriptor and the instance around the effect core.
// run() hands every control port that changed since the last block to the
// core, through the port-value mapping, before the core processes the block;
// the latency port reports the core's delay for the factor in force.
#include <cstdint>
#include <cstring>
#include <new>

#include <lv2/core/lv2.h>

#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Uris.h"
#include "shell/ZRV4Effect.h"

namespace
{

struct Instance
{
    ZRV4Effect effect;
    const float* audioIn[2] = {};
    float* audioOut[2] = {};
    const float* controls[kNumParameters] = {};
    float* latency = nullptr;
    // The port values last handed to the core, compared bit for bit, so
    // that a NaN a host leaves in a port is not taken as a change each block.
    uint32_t seen[kNumParameters] = {};
    bool seenAny = false;
};

uint32_t bitsOf(float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const*)
{
    if (!ZRV4Effect::isAcceptableSampleRate(rate))
        return nullptr;
    Instance* instance = new (std::nothrow) Instance;
    if (instance != nullptr)
        instance->effect.setSampleRate(rate);
    return instance;
}

void connectPort(LV2_Handle handle, uint32_t port, void* data)
{
    Instance* self = static_cast<Instance*>(handle);
    if (port == Lv2Ports::audioInLeft || port == Lv2Ports::audioInRight)
        self->audioIn[port - Lv2Ports::audioInLeft] = static_cast<const float*>(data);
    else if (port == Lv2Ports::audioOutLeft || port == Lv2Ports::audioOutRight)
        self->audioOut[port - Lv2Ports::audioOutLeft] = static_cast<float*>(data);
    else if (port >= Lv2Ports::firstParameter && port < Lv2Ports::latency)
        self->controls[port - Lv2Ports::firstParameter] = static_cast<const float*>(data);
    else if (port == Lv2Ports::latency)
        self->latency = static_cast<float*>(data);
}

void activate(LV2_Handle handle)
{
    static_cast<Instance*>(handle)->effect.resume();
}

void run(LV2_Handle handle, uint32_t frames)
{
    Instance* self = static_cast<Instance*>(handle);
    // Plugin Mode before Enabled, as the effect's program order has them.
    for (int32_t i = 0; i < kNumParameters; ++i)
    {
        if (self->controls[i] == nullptr)
            continue;
        const float p = *self->controls[i];
        if (self->seenAny && bitsOf(p) == self->seen[i])
            continue;
        self->seen[i] = bitsOf(p);
        self->effect.setParameter(i, Lv2Ports::parameterValue(i, p));
    }
    self->seenAny = true;

    if (self->audioIn[0] && self->audioIn[1] && self->audioOut[0] && self->audioOut[1])
    {
        // The core counts frames in int32_t: a longer run goes in pieces.
        uint32_t done = 0;
        do
        {
            const uint32_t n = frames - done < (1u << 30) ? frames - done : (1u << 30);
            self->effect.process(self->audioIn[0] + done, self->audioIn[1] + done, self->audioOut[0] + done,
                                 self->audioOut[1] + done, static_cast<int32_t>(n));
            done += n;
        } while (done < frames);
    }
    if (self->latency != nullptr)
        *self->latency = static_cast<float>(self->effect.latencySamples());
}

void cleanup(LV2_Handle handle)
{
    delete static_cast<Instance*>(handle);
}

const void* extensionData(const char*)
{
    return nullptr;
}

const LV2_Descriptor descriptor = {
    ZRV4_LV2_URI, instantiate, connectPort, activate, run, nullptr, cleanup, extensionData,
};

} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? &descriptor : nullptr;
}
