#include "tone/LeadToneStack.h"

#include "tone/SectionShares.h"
#include "tone/generated/LeadToneStackPolynomials.h"

LeadToneStack::LeadToneStack(int oversampling, double processRate) noexcept
    : ToneCircuit(oversampling, processRate, defaults)
{
}

void LeadToneStack::setControls(double lows, double mids, double treble, double presence, double volume,
                                double shape) noexcept
{
    storeTargets({lows, mids, treble, presence, volume, shape});
}

void LeadToneStack::analogCoefficients(const Controls& controls, Coefficients& n,
                                       Coefficients& d) const noexcept
{
    const double L = controls[Lows], M = controls[Mids], T = controls[Treble];
    const double P = controls[Presence], V = controls[Volume], S = controls[Shape];
    LeadToneStackPolynomials::Values v;
    v.trebleCapacitor = 4.7e-10 + S * 2.2e-10; // the smoothed Shape moves C1 continuously
    v.trebleUpper = potSection(1.0 - T) * 250000.0;
    v.trebleLower = potSection(T) * 250000.0;
    v.bass = potSection(L) * 1000000.0;
    v.middleUpper = potSection(1.0 - M) * 25000.0;
    v.middleLower = potSection(M) * 25000.0;
    v.presence = potSection(P) * 500000.0;
    v.volumeUpper = potSection(1.0 - V) * 500000.0;
    v.volumeLower = potSection(V) * 500000.0;
    LeadToneStackPolynomials::evaluate(v, n, d);
}
