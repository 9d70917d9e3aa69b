#pragma once

#include "tone/IirFilter.h"

#include <array>
#include <cmath>
#include <complex>

namespace tonetest
{

constexpr double pi = 3.141592653589793;

// N(jω)/D(jω) from analog coefficients (index = power of s).
template <std::size_t Size>
std::complex<double> analogResponse(const std::array<double, Size>& n, const std::array<double, Size>& d,
                                    double hertz)
{
    const std::complex<double> s(0.0, 2.0 * pi * hertz);
    std::complex<double> num = 0.0, den = 0.0;
    for (std::size_t k = Size; k-- > 0;)
    {
        num = num * s + n[k];
        den = den * s + d[k];
    }
    return num / den;
}

template <class Circuit> std::complex<double> analogResponse(const Circuit& circuit, double hertz)
{
    return analogResponse(circuit.analogNumerator(), circuit.analogDenominator(), hertz);
}

// B(z)/A(z) of a filter at e^{jωT}.
inline std::complex<double> digitalResponse(const IirFilter& f, double hertz, double rate)
{
    const std::complex<double> zInv = std::polar(1.0, -2.0 * pi * hertz / rate);
    std::complex<double> num = 0.0, den = 0.0, power = 1.0;
    for (int k = 0; k <= f.order; ++k)
    {
        num += f.b[k] * power;
        den += f.a[k] * power;
        power *= zInv;
    }
    return num / den;
}

// 20 Hz … 20 kHz, logarithmically spaced.
inline double audioFrequency(int i, int count)
{
    return 20.0 * std::pow(1000.0, static_cast<double>(i) / (count - 1));
}

} // namespace tonetest
