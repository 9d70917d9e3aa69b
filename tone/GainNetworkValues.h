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
