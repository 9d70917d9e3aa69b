#include "shell/ZRV4Effect.h"

#include <cmath>

#include "engine/ZRV4.h"

namespace
{

// One bad sample would stay in every recursive filter for good: a NaN or an
// infinity enters an engine as silence.
inline double finiteOrZero(double x) noexcept
{
    return std::isfinite(x) ? x : 0.0;
}

constexpr uint32_t modeMask = 3u;
constexpr uint32_t savedStereoBit = 4u;
constexpr uint32_t bypassBit = 8u;

constexpr uint32_t allParameters = (1u << kNumParameters) - 1u;

} // namespace

// Mode Rhythm (10) goes after Bright Rhythm and the Rhythm tone controls.
const int32_t ZRV4Effect::applyOrder[kNumParameters] = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 10, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27};

ZRV4Effect::ZRV4Effect()
{
    for (int32_t i = 0; i < kNumParameters; ++i)
    {
        const float v = ParameterTable::info(i).defaultValue;
        values[i].store(v, std::memory_order_relaxed);
        applied[i] = v;
    }
    engineLeft.reset(new ZRV4(true));
    engineRight.reset(new ZRV4(*engineLeft));
    // The defaults reach the engines now; the rate with the first block.
    pending.store(allParameters, std::memory_order_relaxed);
    applyPending();
    pending.store(rateBit, std::memory_order_release);
}

ZRV4Effect::~ZRV4Effect() = default;

bool ZRV4Effect::isAcceptableSampleRate(double rate) noexcept
{
    // Outside the range the engine is made for (also zero, negative or
    // non-finite, which would leave every coefficient undefined).
    return ZRV4::acceptsSampleRate(rate);
}

bool ZRV4Effect::setSampleRate(double rate) noexcept
{
    if (!isAcceptableSampleRate(rate))
        return false;
    requestedRate.store(rate, std::memory_order_relaxed);
    pending.fetch_or(rateBit, std::memory_order_release);
    return true;
}

int32_t ZRV4Effect::latencyFor(unsigned factor) noexcept
{
    switch (factor)
    {
    case 2:
        return 6;
    case 8:
        return 10;
    default:
        return 8;
    }
}

void ZRV4Effect::updateMode(int32_t index, float v) noexcept
{
    uint32_t old = modeWord.load(std::memory_order_relaxed);
    uint32_t next;
    do
    {
        uint32_t mode = old & modeMask;
        uint32_t saved = old & savedStereoBit;
        uint32_t bypass = old & bypassBit;
        // A Plugin Mode of exactly 0 or 1 is remembered and, unless Bypass is
        // on, selects mono or stereo; any other value bypasses. Bypass at 1
        // bypasses; any other Bypass value restores the remembered mode.
        float modeValue = v;
        if (index == kBypass)
        {
            bypass = v < 1.0f ? 0u : bypassBit;
            modeValue = v == 1.0f ? 0.5f : (saved != 0 ? 1.0f : 0.0f);
        }
        if (modeValue == 1.0f || modeValue == 0.0f)
        {
            saved = modeValue == 1.0f ? savedStereoBit : 0u;
            if (bypass == 0)
                mode = modeValue == 1.0f ? stereo : mono;
        }
        else
            mode = passThrough;
        next = mode | saved | bypass;
    } while (
        !modeWord.compare_exchange_weak(old, next, std::memory_order_release, std::memory_order_relaxed));
}

void ZRV4Effect::setParameter(int32_t index, float value) noexcept
{
    if (!ParameterTable::isValid(index))
        return;
    const float v = ParameterTable::conform(index, value);
    values[index].store(v, std::memory_order_relaxed);
    if (index == kPluginMode || index == kBypass)
        updateMode(index, v);
    if (index == kOversampling)
        if (const unsigned factor = ParameterTable::oversamplingFactorFor(v))
            requested.store(factor, std::memory_order_relaxed);
    if (index == kChannel && v >= 0.0f)
        channelChoice.store(v, std::memory_order_relaxed);
    pending.fetch_or(1u << index, std::memory_order_release);
}

float ZRV4Effect::getParameter(int32_t index) const noexcept
{
    return ParameterTable::isValid(index) ? values[index].load(std::memory_order_relaxed) : 0.0f;
}

ZRV4Effect::ProcessMode ZRV4Effect::processMode() const noexcept
{
    return static_cast<ProcessMode>(modeWord.load(std::memory_order_acquire) & modeMask);
}

float ZRV4Effect::savedPluginMode() const noexcept
{
    return (modeWord.load(std::memory_order_relaxed) & savedStereoBit) != 0 ? 1.0f : 0.0f;
}

void ZRV4Effect::resume() noexcept
{
    // A host that processed while resuming would find the engines busy:
    // then the audio thread applies the changes itself.
    if (!busy.exchange(true, std::memory_order_acquire))
    {
        applyPending();
        busy.store(false, std::memory_order_release);
    }
}

void ZRV4Effect::applyToEngine(ZRV4& engine, int32_t index) noexcept
{
    const float* a = applied;
    switch (index)
    {
    case kChannel:
        engine.setChannel(channelChoice.load(std::memory_order_relaxed));
        break;
    case kGainLead:
    case kBrightLead:
        engine.setLeadGain(a[kGainLead], a[kBrightLead]);
        break;
    case kLowsLead:
    case kMidsLead:
    case kTrebleLead:
    case kPresenceLead:
    case kShapeLead:
    case kVolumeLead:
        engine.setLeadTone(a[kLowsLead], a[kMidsLead], a[kTrebleLead], a[kPresenceLead], a[kVolumeLead],
                           a[kShapeLead]);
        break;
    case kGainRhythm:
    case kBrightRhythm:
        engine.setRhythmGain(a[kGainRhythm], a[kBrightRhythm]);
        break;
    case kModeRhythm:
        if (engine.hasRhythmModeNetworks())
            engine.setRhythmMode(a[kModeRhythm]);
        break;
    case kLowsRhythm:
    case kMidsRhythm:
    case kTrebleRhythm:
    case kVolumeRhythm:
        engine.setRhythmTone(a[kLowsRhythm], a[kMidsRhythm], a[kTrebleRhythm], a[kVolumeRhythm]);
        break;
    case kGainClean:
    case kBrightClean:
        engine.setCleanGain(a[kGainClean], a[kBrightClean]);
        break;
    case kLowsClean:
    case kMidsClean:
    case kTrebleClean:
    case kVolumeClean:
        engine.setCleanTone(a[kLowsClean], a[kMidsClean], a[kTrebleClean], a[kVolumeClean]);
        break;
    case kInputLevel:
        engine.setInputLevel(a[kInputLevel]);
        break;
    case kOutputLevel:
        engine.setOutputLevel(a[kOutputLevel]);
        break;
    case kOversampling:
        engine.setOversampling(requested.load(std::memory_order_relaxed));
        break;
    default:
        break;
    }
}

void ZRV4Effect::applyPending() noexcept
{
    const uint32_t mask = pending.exchange(0, std::memory_order_acquire);
    if (mask == 0)
        return;
    if ((mask & rateBit) != 0)
    {
        const float rate = static_cast<float>(requestedRate.load(std::memory_order_relaxed));
        engineLeft->setSampleRate(rate);
        engineRight->setSampleRate(rate);
    }
    // The values first, then the setters: a control law that takes several
    // values sees all changes of this block.
    for (int32_t i = 0; i < kNumParameters; ++i)
        if ((mask & (1u << i)) != 0)
            applied[i] = values[i].load(std::memory_order_relaxed);
    for (int32_t index : applyOrder)
    {
        if ((mask & (1u << index)) == 0)
            continue;
        applyToEngine(*engineLeft, index);
        applyToEngine(*engineRight, index);
    }
    inForceFactor.store(engineLeft->oversamplingFactor(), std::memory_order_relaxed);
}

template <typename T>
void ZRV4Effect::processBlock(const T* in0, const T* in1, T* out0, T* out1, int32_t frames) noexcept
{
    // Two blocks at once (a host fault, or processing during resume) would
    // share the engines: the second one is silent.
    if (busy.exchange(true, std::memory_order_acquire))
    {
        if (frames > 0 && out0 != nullptr && out1 != nullptr)
            for (int32_t i = 0; i < frames; ++i)
                out0[i] = out1[i] = T(0);
        return;
    }
    applyPending();
    const ProcessMode mode = processMode();
    if (frames > 0 && in0 != nullptr && in1 != nullptr && out0 != nullptr && out1 != nullptr)
    {
        // Each frame reads its inputs before it writes an output, so the host
        // may process in place.
        ZRV4& left = *engineLeft;
        ZRV4& right = *engineRight;
        switch (mode)
        {
        case mono:
            for (int32_t i = 0; i < frames; ++i)
            {
                const T y = static_cast<T>(left.processSample(finiteOrZero(in0[i])));
                out0[i] = y;
                out1[i] = y;
            }
            break;
        case stereo:
            for (int32_t i = 0; i < frames; ++i)
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
            for (int32_t i = 0; i < frames; ++i)
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
    busy.store(false, std::memory_order_release);
}

void ZRV4Effect::process(const float* in0, const float* in1, float* out0, float* out1,
                         int32_t frames) noexcept
{
    processBlock(in0, in1, out0, out1, frames);
}

void ZRV4Effect::process(const double* in0, const double* in1, double* out0, double* out1,
                         int32_t frames) noexcept
{
    processBlock(in0, in1, out0, out1, frames);
}
