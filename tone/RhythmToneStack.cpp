#include "tone/RhythmToneStack.h"

#include "tone/SectionShares.h"
#include "tone/generated/RhythmToneStackPolynomials.h"

RhythmToneStack::RhythmToneStack(int oversampling, double processRate) noexcept
    : ToneCircuit(oversampling, processRate, defaults)
{
}

void RhythmToneStack::setControls(double lows, double mids, double treble, double volume) noexcept
{
    storeTargets({lows, mids, treble, volume});
}

void RhythmToneStack::analogCoefficients(const Controls& controls, Coefficients& n,
                                         Coefficients& d) const noexcept
{
    const double L = controls[Lows], M = controls[Mids], T = controls[Treble], V = controls[Volume];
    RhythmToneStackPolynomials::Values v;
    v.trebleUpper = potSection(1.0 - T) * 250000.0;
    v.trebleLower = potSection(T) * 250000.0;
    v.bass = potSection(L) * 1000000.0;
    v.middleUpper = potSection(1.0 - M) * 25000.0;
    v.middleLower = potSection(M) * 25000.0;
    v.volumeUpper = potSection(1.0 - V) * 500000.0;
    v.volumeLower = potSection(V) * 500000.0;
    RhythmToneStackPolynomials::evaluate(v, n, d);
}
