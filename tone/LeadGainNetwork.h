#pragma once

#include "tone/GainNetworkValues.h"
#include "tone/ToneCircuit.h"

// Gain potentiometer of the Lead channel between the first stage (source
// resistance Rs, shunted by about 487 kΩ, then 470 kΩ bridged by 2.2 nF) and the
// Lead second stage's grid (470 kΩ grid resistor, input capacitance Ci). The
// 1 nF bright capacitor bridges the potentiometer's upper section, so its
// effect grows as Gain is turned down and vanishes at Gain 1. Order 3.
class LeadGainNetwork : public ToneCircuit<LeadGainNetwork, 3, 2>, public GainNetworkValues
{
  public:
    enum Control
    {
        Gain,
        Bright
    };

    static constexpr double glideKeep = 0.999;
    static constexpr double glideTake = 0.001;
    static constexpr double brightCapacitor = 1e-9; // farads

    // sourceResistance and potResistance in ohms, inputCapacitance in farads;
    // read once, here. Negative or non-finite values fall back to 0 (and to
    // 500 kΩ for the potentiometer).
    LeadGainNetwork(int oversampling, double processRate, double sourceResistance, double potResistance,
                    double inputCapacitance) noexcept;

    // Gain as a tapered fraction, Bright as the switch value (0 or 1).
    void setControls(double gain, double bright) noexcept;

    void analogCoefficients(const Controls& controls, Coefficients& n, Coefficients& d) const noexcept;

    static constexpr Controls defaults{0.15384615384615385, 1.0};
};
