#pragma once

#include "tone/ToneCircuit.h"

// Tone controls and volume of the Clean channel: 250 kΩ treble, 1 MΩ bass and
// 25 kΩ middle potentiometers behind a 22 nF coupling capacitor, 150 pF treble
// capacitor, then the 500 kΩ volume potentiometer loaded by 470 kΩ. Order 4;
// N(s) has a double zero at DC.
class CleanToneStack : public ToneCircuit<CleanToneStack, 4, 4>
{
  public:
    enum Control
    {
        Lows,
        Mids,
        Treble,
        Volume
    };

    static constexpr double glideKeep = 0.999;
    static constexpr double glideTake = 0.001;

    CleanToneStack(int oversampling, double processRate) noexcept;

    // Targets as tapered fractions (0 … 1); the glide starts at once.
    void setControls(double lows, double mids, double treble, double volume) noexcept;

    void analogCoefficients(const Controls& controls, Coefficients& n, Coefficients& d) const noexcept;

    // Lows, Mids, Treble and Volume at the middle of their knobs, tapered.
    static constexpr Controls defaults{0.2857142857142857, 0.5, 0.5, 0.15384615384615385};
};
