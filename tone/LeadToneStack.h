#pragma once

#include "tone/ToneCircuit.h"

// Tone controls, presence and volume of the Lead channel: the Rhythm network
// with Shape adding 220 pF to the 470 pF treble capacitor, and a presence branch
// (500 kΩ variable resistor in series with 1 nF) from the volume top to ground.
// Order 5. Its controls glide ten times faster than the other circuits'.
class LeadToneStack : public ToneCircuit<LeadToneStack, 5, 6>
{
  public:
    enum Control
    {
        Lows,
        Mids,
        Treble,
        Presence,
        Volume,
        Shape
    };

    static constexpr double glideKeep = 0.99;
    static constexpr double glideTake = 0.01;

    LeadToneStack(int oversampling, double processRate) noexcept;

    // Targets as tapered fractions (0 … 1); the glide starts at once.
    void setControls(double lows, double mids, double treble, double presence, double volume,
                     double shape) noexcept;

    void analogCoefficients(const Controls& controls, Coefficients& n, Coefficients& d) const noexcept;

    // Lows, Mids and Treble at their middle, Presence and Volume tapered at 0.5.
    static constexpr Controls defaults{0.2857142857142857,  0.5, 0.5, 0.2222222222222222,
                                       0.15384615384615385, 1.0};
};
