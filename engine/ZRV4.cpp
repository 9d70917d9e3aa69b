#include "engine/ZRV4.h"

#include <cmath>

namespace
{
// Control law of the potentiometers: v / (k - (k - 1) v) + 1e-25.
double potTaper(float v, double k)
{
    const double x = v;
    return x / (k - (k - 1.0) * x) + 1e-25;
}

double linear(float v)
{
    return static_cast<double>(v) + 1e-25;
}

// The warm-up on silence. The slow states (cathode and coupling capacitors,
// with time constants up to about 0.15 s) first settle at a low inner rate,
// where seconds of circuit time cost few samples: their resting values do not
// depend on the rate. The chains then run a short while at the real inner
// rate, where the fast states (grid filters, dividers, tone circuits) take
// that rate's resting values.
constexpr double slowSettleRate = 16000.0;
constexpr int slowSettleSamples = 64000; // 4 s
constexpr int fastSettleSamples = 4000;
} // namespace

ZRV4::ZRV4(bool build)
{
    // The prototype is built, tabulated and warmed up from scratch on first
    // use; a copy of its blocks is what that work would give here.
    if (build)
        blocks = std::make_unique<ChannelBlocks>(*settledPrototype().blocks);
}

ZRV4::ZRV4(FromScratch)
{
    blocks = std::make_unique<ChannelBlocks>(hostRate * factor, factor);
    warmUp();
}

const ZRV4& ZRV4::settledPrototype()
{
    // Thread-safe initialisation: hosts create instances from several
    // threads at once. Only read afterwards.
    static const ZRV4 prototype{FromScratch{}};
    return prototype;
}

ZRV4::ZRV4(const ZRV4& src) : ZRV4(false)
{
    // The levels come along so the copy sounds like its source before the
    // first program change reaches it.
    inGain = src.inGain;
    outGain = src.outGain;
    hostRate = src.hostRate;
    if (src.blocks)
        blocks = std::make_unique<ChannelBlocks>(*src.blocks);
    // The blocks carry the coefficients of the source's inner rate; only a
    // source at another factor needs them recomputed for factor 4.
    if (src.factor != factor)
        setSampleRate(static_cast<float>(hostRate));
}

ZRV4::~ZRV4() = default;

void ZRV4::warmUp() noexcept
{
    if (!blocks)
        return;
    auto settle = [this](int samples) noexcept
    {
        for (int n = 0; n < samples; ++n)
            processClean(0.0);
        // Both drivers of Rhythm, so a session that starts in Mode Rhythm
        // starts settled too.
        blocks->setRhythmMode(true);
        for (int n = 0; n < samples; ++n)
            processRhythm(0.0);
        blocks->setRhythmMode(false);
        for (int n = 0; n < samples; ++n)
            processRhythm(0.0);
        for (int n = 0; n < samples; ++n)
            processLead(0.0);
    };
    blocks->setSampleRate(slowSettleRate, factor);
    settle(slowSettleSamples);
    // The tone circuits' states are scaled by the rate they run at: what
    // little is left in them at the low rate would be multiplied up at the
    // real one. Their inputs rest at zero behind coupling capacitors, so
    // zero is their resting state.
    blocks->clearToneCircuits();
    blocks->setSampleRate(hostRate * factor, factor);
    settle(fastSettleSamples);
}

void ZRV4::setSampleRate(float rate)
{
    // A host may report a zero or nonsensical rate; the engine keeps the one
    // it has rather than compute coefficients for it (the filters are made
    // and checked for the accepted range only).
    if (!acceptsSampleRate(rate))
        return;
    hostRate = rate;
    if (blocks)
        blocks->setSampleRate(hostRate * factor, factor);
}

bool ZRV4::checkAndRecover() noexcept
{
    if (!blocks || (std::isfinite(lastOutput) && stages.isFinite() && blocks->isFinite()))
        return false;
    blocks->restoreStatesFrom(*settledPrototype().blocks);
    stages.reset();
    lastOutput = 0.0;
    ++recoveries;
    return true;
}

void ZRV4::setOversampling(unsigned newFactor)
{
    if (newFactor != 2 && newFactor != 4 && newFactor != 8)
        return;
    factor = newFactor;
    setSampleRate(static_cast<float>(hostRate));
}

void ZRV4::setChannel(float v)
{
    // Only a real change of channel touches anything (a negative or NaN v
    // matches no range). An empty shell has no chain to select.
    if (!blocks)
        return;
    const uint16_t before = selectedChannel;
    if (v >= 0.0f && v < 0.25f && selectedChannel != clean)
    {
        selectedChannel = clean;
        setInputStageCathodeCapacitor(2.3e-05);
    }
    else if (v >= 0.25f && v < 0.75f && selectedChannel != rhythm)
    {
        selectedChannel = rhythm;
        setInputStageCathodeCapacitor(1e-06);
    }
    else if (v >= 0.75f && selectedChannel != lead)
    {
        selectedChannel = lead;
        setInputStageCathodeCapacitor(1e-06);
    }
    if (selectedChannel != before)
        blocks->releaseCouplings();
}

void ZRV4::setInputStageCathodeCapacitor(double Ck)
{
    blocks->inputStage.setCathodeCapacitor(Ck);
}

void ZRV4::setRhythmMode(float v)
{
    if (blocks)
        blocks->setRhythmMode(v >= 0.5f);
}

bool ZRV4::hasRhythmModeNetworks() const
{
    return blocks != nullptr;
}

void ZRV4::setLeadGain(float gain, float bright)
{
    if (blocks)
        blocks->leadGainNetwork.setControls(potTaper(gain, 5.5), linear(bright));
}

void ZRV4::setRhythmGain(float gain, float bright)
{
    if (blocks)
        blocks->rhythmGainNetwork.setControls(potTaper(gain, 5.5), linear(bright));
}

void ZRV4::setCleanGain(float gain, float bright)
{
    if (blocks)
        blocks->cleanGainNetwork.setControls(potTaper(gain, 5.5), linear(bright));
}

void ZRV4::setLeadTone(float lows, float mids, float treble, float presence, float volume, float shape)
{
    if (blocks)
        blocks->leadToneStack.setControls(potTaper(lows, 2.5), linear(mids), linear(treble),
                                          potTaper(presence, 3.5), potTaper(volume, 5.5), linear(shape));
}

void ZRV4::setRhythmTone(float lows, float mids, float treble, float volume)
{
    if (blocks)
        blocks->rhythmToneStack.setControls(potTaper(lows, 2.5), linear(mids), linear(treble),
                                            potTaper(volume, 5.5));
}

void ZRV4::setCleanTone(float lows, float mids, float treble, float volume)
{
    if (blocks)
        blocks->cleanToneStack.setControls(potTaper(lows, 2.5), linear(mids), linear(treble),
                                           potTaper(volume, 5.5));
}

void ZRV4::setInputLevel(float v)
{
    if (std::isfinite(v))
        inGain = (static_cast<double>(v) + 1e-25) * 2.0;
}

void ZRV4::setOutputLevel(float v)
{
    if (std::isfinite(v))
        outGain = (static_cast<double>(v) + 1e-25) * 2.0;
}
