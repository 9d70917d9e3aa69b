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

// B(z)/A(z) of a filter at e^{jωT}. Near z = 1 the sums cancel heavily, so
// they are formed in long double: what remains is the error of the stored
// coefficients, not of this evaluation.
inline std::complex<double> digitalResponse(const IirFilter& f, double hertz, double rate)
{
    using Wide = std::complex<long double>;
    const long double w = 2.0L * 3.141592653589793238462643383279502884L * hertz / rate;
    const Wide zInv(std::cos(w), -std::sin(w));
    Wide num = 0.0L, den = 0.0L, power = 1.0L;
    for (int k = 0; k <= f.order; ++k)
    {
        num += static_cast<long double>(f.b[k]) * power;
        den += static_cast<long double>(f.a[k]) * power;
        power *= zInv;
    }
    const Wide h = num / den;
    return {static_cast<double>(h.real()), static_cast<double>(h.imag())};
}

// 20 Hz … 20 kHz, logarithmically spaced.
inline double audioFrequency(int i, int count)
{
    return 20.0 * std::pow(1000.0, static_cast<double>(i) / (count - 1));
}

} // namespace tonetest
