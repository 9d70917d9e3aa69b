#include "engine/ZRV4.h"

#include <cmath>

ZRV4::ZRV4(bool build)
{
    // The circuit blocks (stages, networks, tone stacks) are built and the
    // chains warmed up here when build is true, once they exist.
    (void)build;
}

ZRV4::ZRV4(const ZRV4& src) : ZRV4(false)
{
    // A copy starts like any new engine (no channel, factor 4, fresh
    // oversampling filters) at the rate of its source; its circuit blocks are
    // copies of the source's. The levels come along so the copy sounds like
    // its source before the first program change reaches it.
    inGain = src.inGain;
    outGain = src.outGain;
    setSampleRate(static_cast<float>(src.hostRate));
}

ZRV4::~ZRV4() = default;

void ZRV4::setSampleRate(float rate)
{
    // A host may report a zero or nonsensical rate; the engine keeps the one
    // it has rather than compute coefficients for it.
    if (!(rate > 0.0f) || !std::isfinite(rate))
        return;
    hostRate = rate;
    // Every rate-dependent coefficient of the circuit blocks is recomputed
    // here for the inner rate hostRate * factor; no signal state is reset.
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
    // matches no range).
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
}

void ZRV4::setInputStageCathodeCapacitor(double Ck)
{
    // The input stage does not exist yet; with it, this becomes
    // inputStage->setCathodeCapacitor(Ck).
    (void)Ck;
}

void ZRV4::setRhythmMode(float v)
{
    // Selects rhythmDividerOn / rhythmDriverStageOn for v >= 0.5, the Off
    // pair otherwise; skipped while they do not exist.
    (void)v;
}

bool ZRV4::hasRhythmModeNetworks() const
{
    return false;
}

// The gain and tone setters hand their targets to the gain networks and
// tone stacks of the channels; each does nothing while its object does not
// exist.
void ZRV4::setLeadGain(float, float) {}
void ZRV4::setRhythmGain(float, float) {}
void ZRV4::setCleanGain(float, float) {}
void ZRV4::setLeadTone(float, float, float, float, float, float) {}
void ZRV4::setRhythmTone(float, float, float, float) {}
void ZRV4::setCleanTone(float, float, float, float) {}

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
