#include "tone/LeadGainNetwork.h"

#include "tone/SectionShares.h"
#include "tone/generated/LeadGainNetworkPolynomials.h"

LeadGainNetwork::LeadGainNetwork(int oversampling, double processRate, double sourceResistance,
                                 double potResistance, double inputCapacitance) noexcept
    : ToneCircuit(oversampling, processRate, defaults),
      GainNetworkValues(sourceResistance, potResistance, inputCapacitance)
{
}

void LeadGainNetwork::setControls(double gain, double bright) noexcept
{
    storeTargets({gain, bright});
}

void LeadGainNetwork::analogCoefficients(const Controls& controls, Coefficients& n,
                                         Coefficients& d) const noexcept
{
    const double g = controls[Gain], b = controls[Bright];
    LeadGainNetworkPolynomials::Values v;
    v.Rs = Rs;
    v.Ra = potSection(1.0 - g) * R;
    v.Rb = potSection(g) * R;
    v.Cb = switchedShare(b) * brightCapacitor;
    v.Ci = Ci;
    LeadGainNetworkPolynomials::evaluate(v, n, d);
}
