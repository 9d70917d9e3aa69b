// Three realisations of the bilinear transform of the Lead tone stack's H(s)
// side by side, at inner rates from 176.4 kHz to 3.07 MHz:
//
//   direct   transposed direct form II in z⁻¹, coefficients by the bilinear
//            weights (the tone filters' former structure)
//   cascade  first- and second-order sections in z⁻¹ from the roots of N(s)
//            and D(s), each root mapped by the bilinear transform
//   delta    transposed form in the delta operator (tone/DeltaFilter.h)
//
// For each: settings of the 486-point control grid (ends and middles, Shape
// off and on) with a pole outside the unit circle; the largest output error
// against the direct form in quad precision on a plucked-string phrase,
// relative to its peak, over the defaults and eight grid settings; nanoseconds
// per inner sample and per coefficient update (H(s) included).

#include "tests/tone/ToneTestSupport.h"
#include "tone/DeltaFilter.h"
#include "tone/LeadToneStack.h"
#include "tools/render/GuitarPhrase.h"

#include <algorithm>
#include <chrono>
#include <complex>
#include <cstdio>
#include <vector>

namespace
{
constexpr int order = LeadToneStack::order;
using Coefficients = LeadToneStack::Coefficients;
using Controls = LeadToneStack::Controls;
using Complex = std::complex<double>;

volatile double sink;

// (1 − w)^j·(1 + w)^(order − j), coefficient of w^k; small integers, exact
// in any precision.
struct BilinearWeights
{
    double m[order + 1][order + 1] = {};
    BilinearWeights()
    {
        for (int j = 0; j <= order; ++j)
        {
            double p[order + 1] = {1.0};
            for (int f = 0; f < order; ++f)
                for (int i = f + 1; i > 0; --i)
                    p[i] += (f < j ? -1.0 : 1.0) * p[i - 1];
            for (int k = 0; k <= order; ++k)
                m[j][k] = p[k];
        }
    }
};
const BilinearWeights bilinearWeights;

template <class T> struct DirectForm
{
    T a[order + 1] = {1}, b[order + 1] = {1}, z[order] = {};

    bool set(const Coefficients& n, const Coefficients& d, double c)
    {
        T A[order + 1] = {}, B[order + 1] = {}, power = 1;
        for (int j = 0; j <= order; ++j)
        {
            for (int k = 0; k <= order; ++k)
            {
                A[k] += T(d[j]) * power * T(bilinearWeights.m[j][k]);
                B[k] += T(n[j]) * power * T(bilinearWeights.m[j][k]);
            }
            power *= T(c);
        }
        for (int k = 0; k <= order; ++k)
        {
            a[k] = A[k] / A[0];
            b[k] = B[k] / A[0];
        }
        return true;
    }

    double process(double input)
    {
        const T x = input;
        const T y = b[0] * x + z[0];
        for (int i = 1; i < order; ++i)
            z[i - 1] = b[i] * x + z[i] - a[i] * y;
        z[order - 1] = b[order] * x - a[order] * y;
        return static_cast<double>(y);
    }

    // Largest pole radius: z^order·A(z) shifted to p = z − 1 in this
    // precision, then solved in long double.
    double largestRadius() const
    {
        std::array<long double, order + 1> shifted{};
        for (int i = 0; i <= order; ++i)
        {
            T sum = 0, binomial = 1;
            for (int k = 0; k + i <= order; ++k)
            {
                // coefficient of p^i in (1 + p)^(order − k): C(order − k, i)
                binomial = 1;
                for (int m = 0; m < i; ++m)
                    binomial = binomial * T(order - k - m) / T(m + 1);
                sum += a[k] * binomial;
            }
            shifted[order - i] = static_cast<long double>(sum);
        }
        double radius = 0.0;
        for (const auto& p : tonetest::roots(shifted))
            radius = std::max(radius, static_cast<double>(std::abs(p + 1.0L)));
        return radius;
    }
};

// Roots of Σ c[k]·s^k (c[degree] ≠ 0) by Weierstrass in double, on s scaled
// to the geometric middle of the roots, then polished by Newton.
int polynomialRoots(const double* c, int degree, Complex* roots)
{
    const double scale = std::pow(std::abs(c[0] / c[degree]), 1.0 / degree);
    double monic[order + 1];
    for (int k = 0; k <= degree; ++k)
        monic[k] = c[k] * std::pow(scale, k) / (c[degree] * std::pow(scale, degree));
    for (int k = 0; k < degree; ++k)
        roots[k] = std::polar(1.0, 0.4 + 6.283185307179586 * k / degree);
    const auto value = [&](Complex s)
    {
        Complex v = monic[degree];
        for (int k = degree - 1; k >= 0; --k)
            v = v * s + monic[k];
        return v;
    };
    for (int iteration = 0; iteration < 500; ++iteration)
    {
        double change = 0.0;
        for (int k = 0; k < degree; ++k)
        {
            Complex denominator = 1.0;
            for (int j = 0; j < degree; ++j)
                if (j != k)
                    denominator *= roots[k] - roots[j];
            const Complex step = value(roots[k]) / denominator;
            roots[k] -= step;
            change = std::max(change, std::abs(step) / std::abs(roots[k]));
        }
        if (change < 1e-15)
            break;
    }
    for (int k = 0; k < degree; ++k)
        roots[k] *= scale;
    return degree;
}

// Orders a handful of roots so that each conjugate pair sits at an even
// index and the next, the real ones after them along the real axis.
void pairConjugates(Complex* x, int count)
{
    Complex sorted[order];
    int n = 0;
    bool used[order] = {};
    for (int i = 0; i < count; ++i)
    {
        if (used[i] || std::abs(x[i].imag()) <= 1e-9 * std::abs(x[i]))
            continue;
        int mate = -1;
        for (int j = 0; j < count; ++j)
            if (j != i && !used[j] &&
                (mate < 0 || std::abs(x[j] - std::conj(x[i])) < std::abs(x[mate] - std::conj(x[i]))))
                mate = j;
        used[i] = used[mate] = true;
        sorted[n++] = x[i];
        sorted[n++] = std::conj(x[i]);
    }
    const int firstReal = n;
    for (int i = 0; i < count; ++i)
        if (!used[i])
            sorted[n++] = Complex(x[i].real(), 0.0);
    for (int i = firstReal + 1; i < n; ++i)
        for (int j = i; j > firstReal && sorted[j].real() < sorted[j - 1].real(); --j)
            std::swap(sorted[j], sorted[j - 1]);
    for (int i = 0; i < count; ++i)
        x[i] = sorted[i];
}

// First- and second-order sections, each in transposed direct form II.
struct Cascade
{
    struct Section
    {
        double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0, s1 = 0, s2 = 0;
        double process(double x)
        {
            const double y = b0 * x + s1;
            s1 = b1 * x - a1 * y + s2;
            s2 = b2 * x - a2 * y;
            return y;
        }
    };
    Section sections[3];
    int count = 0;
    double gain = 1.0;

    // Bilinear images of the roots; zeros at s = ∞ go to z = −1. Conjugate
    // pairs or neighbouring real roots make one section, in root order.
    bool set(const Coefficients& n, const Coefficients& d, double c)
    {
        int poleDegree = order, zeroDegree = order, dcZeros = 0;
        while (d[poleDegree] == 0.0)
            --poleDegree;
        while (n[zeroDegree] == 0.0)
            --zeroDegree;
        while (n[dcZeros] == 0.0)
            ++dcZeros;
        Complex poles[order], zeros[order];
        polynomialRoots(d.data(), poleDegree, poles);
        int zeroCount =
            zeroDegree > dcZeros ? polynomialRoots(n.data() + dcZeros, zeroDegree - dcZeros, zeros) : 0;
        double k = n[zeroDegree] / d[poleDegree];
        Complex scaleFactor = 1.0;
        Complex zp[order], zz[order];
        for (int i = 0; i < poleDegree; ++i)
        {
            scaleFactor /= c - poles[i];
            zp[i] = (c + poles[i]) / (c - poles[i]);
        }
        for (int i = 0; i < zeroCount; ++i)
        {
            scaleFactor *= c - zeros[i];
            zz[i] = (c + zeros[i]) / (c - zeros[i]);
        }
        for (int i = 0; i < dcZeros; ++i)
        {
            scaleFactor *= c;
            zz[zeroCount++] = 1.0;
        }
        while (zeroCount < poleDegree)
            zz[zeroCount++] = -1.0;
        pairConjugates(zp, poleDegree);
        pairConjugates(zz, zeroCount);
        gain = k * scaleFactor.real();
        count = 0;
        for (int i = 0; i < poleDegree; i += 2)
        {
            Section& s = sections[count++];
            if (i + 1 < poleDegree)
            {
                s.a1 = -(zp[i] + zp[i + 1]).real();
                s.a2 = (zp[i] * zp[i + 1]).real();
                s.b1 = -(zz[i] + zz[i + 1]).real();
                s.b2 = (zz[i] * zz[i + 1]).real();
            }
            else
            {
                s.a1 = -zp[i].real();
                s.a2 = 0.0;
                s.b1 = -zz[i].real();
                s.b2 = 0.0;
            }
        }
        return std::isfinite(gain);
    }

    double process(double x)
    {
        x *= gain;
        for (int i = 0; i < count; ++i)
            x = sections[i].process(x);
        return x;
    }

    double largestRadius() const
    {
        double radius = 0.0;
        for (int i = 0; i < count; ++i)
        {
            const Section& s = sections[i];
            const Complex root = std::sqrt(Complex(s.a1 * s.a1 - 4.0 * s.a2));
            radius = std::max({radius, std::abs((-s.a1 + root) / 2.0), std::abs((-s.a1 - root) / 2.0)});
        }
        return radius;
    }
};

struct Delta
{
    DeltaFilter<order> f;
    bool set(const Coefficients& n, const Coefficients& d, double c)
    {
        return f.setBilinear(n.data(), d.data(), c);
    }
    double process(double x) { return f.process(x); }
    double largestRadius() const
    {
        double radius = 0.0;
        for (const auto& p : tonetest::realisedPoles(f))
            radius = std::max(radius, static_cast<double>(std::abs(p)));
        return radius;
    }
};

std::vector<Controls> grid()
{
    std::vector<Controls> settings;
    const double pot[] = {1e-25, 0.5, 1.0};
    for (int i = 0; i < 486; ++i)
    {
        int r = i;
        Controls c;
        for (int k = 0; k < 5; ++k, r /= 3)
            c[k] = pot[r % 3];
        c[5] = r % 2 ? 1.0 : 1e-25;
        settings.push_back(c);
    }
    return settings;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template <class Filter>
void compare(const char* name, double rate, const std::vector<Controls>& settings,
             const std::vector<float>& phrase)
{
    LeadToneStack stack(1, rate);
    Coefficients n, d;
    int unstable = 0;
    for (const Controls& c : settings)
    {
        stack.analogCoefficients(c, n, d);
        Filter f;
        f.set(n, d, 2.0 * rate);
        unstable += !(f.largestRadius() < 1.0);
    }
    // Accuracy on the defaults and every 61st grid setting.
    double error = 0.0;
    for (size_t s = 0; s <= settings.size(); s += 61)
    {
        const Controls c = s == 0 ? LeadToneStack::defaults : settings[s - 1];
        stack.analogCoefficients(c, n, d);
        Filter f;
        DirectForm<__float128> reference;
        f.set(n, d, 2.0 * rate);
        reference.set(n, d, 2.0 * rate);
        double peak = 0.0, worst = 0.0;
        for (float x : phrase)
        {
            const double y = f.process(x), r = reference.process(x);
            peak = std::max(peak, std::abs(r));
            worst = std::max(worst, std::isfinite(y) ? std::abs(y - r) : 1e300);
        }
        error = std::max(error, worst / peak);
    }
    // Cost per sample (defaults) and per update (H(s) and the mapping).
    stack.analogCoefficients(LeadToneStack::defaults, n, d);
    Filter f;
    f.set(n, d, 2.0 * rate);
    double sum = 0.0;
    const int samples = 4000000;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < samples; ++i)
        sum += f.process(phrase[i % phrase.size()]);
    const double perSample = 1e9 * secondsSince(start) / samples;
    const int updates = 100000;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < updates; ++i)
    {
        Controls c = LeadToneStack::defaults;
        c[0] += 1e-7 * (i % 100);
        stack.analogCoefficients(c, n, d);
        f.set(n, d, 2.0 * rate);
        sum += f.process(0.0);
    }
    const double perUpdate = 1e9 * secondsSince(start) / updates;
    sink = sum;
    std::printf("  %-8s %9.1f  %4d / %zu   %9.1e   %8.2f ns   %8.0f ns\n", name, rate / 1000.0, unstable,
                settings.size(), error, perSample, perUpdate);
}
} // namespace

int main()
{
    const std::vector<Controls> settings = grid();
    std::printf("Lead tone stack, bilinear transform of the same H(s)\n");
    std::printf("  form      rate/kHz  unstable     error/peak   per sample   per update\n");
    for (double rate : {176400.0, 352800.0, 768000.0, 1536000.0, 3072000.0})
    {
        std::vector<float> phrase = GuitarPhrase::render(rate);
        phrase.resize(static_cast<size_t>(0.3 * rate));
        compare<DirectForm<double>>("direct", rate, settings, phrase);
        compare<Cascade>("cascade", rate, settings, phrase);
        compare<Delta>("delta", rate, settings, phrase);
    }
    return 0;
}
