#include "tone/CleanGainNetwork.h"

#include "tone/SectionShares.h"
#include "tone/generated/CleanGainNetworkPolynomials.h"

CleanGainNetwork::CleanGainNetwork(int oversampling, double processRate, double sourceResistance,
                                   double potResistance, double inputCapacitance) noexcept
    : ToneCircuit(oversampling, processRate, defaults),
      GainNetworkValues(sourceResistance, potResistance, inputCapacitance)
{
}

void CleanGainNetwork::setControls(double gain, double bright) noexcept
{
    storeTargets({gain, bright});
}

void CleanGainNetwork::analogCoefficients(const Controls& controls, Coefficients& n,
                                          Coefficients& d) const noexcept
{
    const double g = controls[Gain], b = controls[Bright];
    CleanGainNetworkPolynomials::Values v;
    v.Rs = Rs;
    v.Ra = potSection(1.0 - g) * R;
    v.Rb = potSection(g) * R;
    v.Cb = switchedShare(b) * brightCapacitor;
    v.Ci = Ci;
    CleanGainNetworkPolynomials::evaluate(v, n, d);
}
