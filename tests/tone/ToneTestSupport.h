#pragma once

#include <algorithm>

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

// H of a tone filter at e^{jωT}: Σ b_i·q^i / Σ a_i·q^i with q = 1/(z − 1),
// both sums multiplied by (z − 1)^order and formed in long double from
// z − 1 = 2j·sin(ωT/2)·e^{jωT/2}, so no cancellation near z = 1 adds error.
template <class Filter> std::complex<double> digitalResponse(const Filter& f, double hertz, double rate)
{
    using Wide = std::complex<long double>;
    const long double half = 3.141592653589793238462643383279502884L * hertz / rate;
    const Wide p = Wide(0.0L, 2.0L * std::sin(half)) * Wide(std::cos(half), std::sin(half));
    Wide num = 0.0L, den = 0.0L;
    for (int i = 0; i <= Filter::order; ++i)
    {
        num = num * p + static_cast<long double>(f.b[i]);
        den = den * p + static_cast<long double>(f.a[i]);
    }
    const Wide h = num / den;
    return {static_cast<double>(h.real()), static_cast<double>(h.imag())};
}

// The roots of c[0]·x^n + c[1]·x^(n−1) + … + c[n] (c[0] ≠ 0), by the
// Weierstrass (Durand–Kerner) iteration in long double.
template <std::size_t Size>
std::array<std::complex<long double>, Size - 1> roots(std::array<long double, Size> c)
{
    constexpr int n = static_cast<int>(Size) - 1;
    using Wide = std::complex<long double>;
    for (int k = n; k >= 0; --k)
        c[k] /= c[0];
    // Start on a circle of the Fujiwara bound, rotated off the real axis.
    long double bound = 0.0L;
    for (int k = 1; k <= n; ++k)
        bound = std::max(bound, std::pow(std::abs(c[k]), 1.0L / k));
    std::array<Wide, Size - 1> x;
    for (int k = 0; k < n; ++k)
        x[k] = std::polar(2.0L * bound, 0.4L + 6.283185307179586L * k / n);
    for (int iteration = 0; iteration < 2000; ++iteration)
    {
        long double change = 0.0L;
        for (int k = 0; k < n; ++k)
        {
            Wide value = 1.0L, denominator = 1.0L;
            for (int i = 1; i <= n; ++i)
                value = value * x[k] + c[i];
            for (int j = 0; j < n; ++j)
                if (j != k)
                    denominator *= x[k] - x[j];
            const Wide step = value / denominator;
            x[k] -= step;
            change = std::max(change, std::abs(step) / std::max(std::abs(x[k]), 1e-300L));
        }
        if (change < 1e-17L)
            break;
    }
    return x;
}

// Poles of a tone filter as stored: p = z − 1 solves Σ a_i·p^(order − i) = 0.
template <class Filter> std::array<std::complex<long double>, Filter::order> realisedPoles(const Filter& f)
{
    std::array<long double, Filter::order + 1> c;
    for (int i = 0; i <= Filter::order; ++i)
        c[i] = f.a[i];
    auto p = roots(c);
    for (auto& z : p)
        z += 1.0L;
    return p;
}

// 20 Hz … 20 kHz, logarithmically spaced.
inline double audioFrequency(int i, int count)
{
    return 20.0 * std::pow(1000.0, static_cast<double>(i) / (count - 1));
}

} // namespace tonetest
