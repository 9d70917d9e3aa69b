#pragma once

#include "tone/GainNetworkValues.h"
#include "tone/ToneCircuit.h"

// Gain potentiometer of the Rhythm channel between the first stage (source
// resistance Rs, shunted by about 487 kΩ) and the second stage's grid (input
// capacitance Ci). The 470 pF bright capacitor bridges the 470 kΩ series
// resistor, so Bright acts at every Gain setting. Order 2.
class RhythmGainNetwork : public ToneCircuit<RhythmGainNetwork, 2, 2>, public GainNetworkValues
{
  public:
    enum Control
    {
        Gain,
        Bright
    };

    static constexpr double glideKeep = 0.999;
    static constexpr double glideTake = 0.001;
    static constexpr double brightCapacitor = 4.7e-10; // farads

    // sourceResistance and potResistance in ohms, inputCapacitance in farads;
    // read once, here. Negative or non-finite values fall back to 0 (and to
    // 500 kΩ for the potentiometer).
    RhythmGainNetwork(int oversampling, double processRate, double sourceResistance, double potResistance,
                      double inputCapacitance) noexcept;

    // Gain as a tapered fraction, Bright as the switch value (0 or 1).
    void setControls(double gain, double bright) noexcept;

    void analogCoefficients(const Controls& controls, Coefficients& n, Coefficients& d) const noexcept;

    static constexpr Controls defaults{0.15384615384615385, 0.0};
};
