#pragma once

#include <cmath>

// Guards for the fixed circuit values a gain network is built from: a
// negative or non-finite value would give negative or NaN coefficients.
inline double nonNegativeOrZero(double value) noexcept
{
    return std::isfinite(value) && value > 0.0 ? value : 0.0;
}

// The gain potentiometer falls back to its nominal 500 kΩ, so a bad value
// cannot silence the channel.
inline double potentiometerOrDefault(double ohms) noexcept
{
    return std::isfinite(ohms) && ohms > 0.0 ? ohms : 500000.0;
}

// The fixed circuit values a gain network is built from, guarded once here:
// source resistance Rs and potentiometer R in ohms, the driven stage's input
// capacitance Ci in farads.
class GainNetworkValues
{
  public:
    GainNetworkValues(double sourceResistance, double potResistance, double inputCapacitance) noexcept
        : Rs(nonNegativeOrZero(sourceResistance)), R(potentiometerOrDefault(potResistance)),
          Ci(nonNegativeOrZero(inputCapacitance))
    {
    }

    double sourceResistance() const noexcept { return Rs; }
    double potResistance() const noexcept { return R; }
    double inputCapacitance() const noexcept { return Ci; }

  protected:
    double Rs; // ohms
    double R;  // ohms
    double Ci; // farads
};
