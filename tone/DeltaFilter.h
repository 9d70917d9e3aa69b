#pragma once

#include <array>
#include <cmath>

// The bilinear transform of an analog H(s) = N(s)/D(s) of order 1 to 5, run
// in the transposed form of the delta operator, q = 1/(z − 1):
//
//     y    = b[0]·x + v[0]
//     v[i] = v[i] + v[i+1] + b[i+1]·x − a[i+1]·y     for i = 0 … Order−1,
//                                                     v[Order] taken as 0
//
// so that H(z) = Σ b[i]·q^i / Σ a[i]·q^i, a[0] = 1.
//
// Why not the direct form in z⁻¹: at inner rates far above the audio band all
// poles crowd at z = 1, and the direct-form coefficients of order 4 or 5 must
// hold them to more digits than a double has (at 1.4 MHz a quarter of the
// Lead settings put a pole outside the unit circle). In q the poles sit at
// q = 1/(z − 1) ≈ rate/s: the coefficients keep the spacing of the analog
// roots at any rate, and each state only adds a small step to itself.
//
// With s = c·(z − 1)/(z + 1) = c/(1 + 2q), multiplying N and D by (1 + 2q)^Order
// gives the coefficient of q^i
//
//     A_i = 2^i · Σ_j d_j·c^j·C(Order − j, i)
//
// (and B_i from n alike): sums of positive terms, since every d_j, n_j of a
// passive network is positive. Nothing cancels, so every coefficient is exact
// to rounding, and a zero of N at DC stays exactly at z = 1.
//
// Storage is fixed by Order, so nothing is allocated. Until coefficients are
// set, H = 1 and the states stay 0. No denormal offset is added here; the
// controls and the surrounding stages carry it.
template <int Order> class DeltaFilter
{
    static_assert(Order >= 1 && Order <= 5, "order 1 to 5");

  public:
    static constexpr int order = Order;

    DeltaFilter() noexcept
    {
        a.fill(0.0);
        b.fill(0.0);
        a[0] = 1.0;
        b[0] = 1.0;
        v.fill(0.0);
    }

    // n and d hold Order + 1 analog coefficients (index = power of s), c is
    // the bilinear constant 2 × rate. Returns false and keeps the previous
    // coefficients when the result is not finite or D vanishes.
    bool setBilinear(const double* n, const double* d, double c) noexcept
    {
        static constexpr Weights weights{};
        double scaledN[Order + 1], scaledD[Order + 1];
        double power = 1.0;
        for (int j = 0; j <= Order; ++j)
        {
            scaledN[j] = n[j] * power;
            scaledD[j] = d[j] * power;
            power *= c;
        }
        double A[Order + 1], B[Order + 1];
        for (int i = 0; i <= Order; ++i)
        {
            double sumA = 0.0, sumB = 0.0;
            for (int j = 0; j + i <= Order; ++j)
            {
                sumA += scaledD[j] * weights.w[j][i];
                sumB += scaledN[j] * weights.w[j][i];
            }
            A[i] = sumA;
            B[i] = sumB;
        }
        if (!(A[0] > 0.0) || !std::isfinite(A[0]))
            return false;
        const double scale = 1.0 / A[0];
        std::array<double, Order + 1> newA, newB;
        bool finite = true;
        for (int i = 0; i <= Order; ++i)
        {
            newA[i] = A[i] * scale;
            newB[i] = B[i] * scale;
            finite = finite && std::isfinite(newA[i]) && std::isfinite(newB[i]);
        }
        if (!finite)
            return false;
        a = newA;
        b = newB;
        a[0] = 1.0;
        return true;
    }

    inline double process(double x) noexcept
    {
        const double y = b[0] * x + v[0];
        // The y term last: everything before it is ready ahead of y.
        for (int i = 0; i + 1 < Order; ++i)
            v[i] = v[i] + v[i + 1] + b[i + 1] * x - a[i + 1] * y;
        v[Order - 1] = v[Order - 1] + b[Order] * x - a[Order] * y;
        return y;
    }

    void reset() noexcept { v.fill(0.0); }

    bool isFinite() const noexcept
    {
        bool finite = true;
        for (double s : v)
            finite = finite && std::isfinite(s);
        return finite;
    }

    // coefficients, a[0] = 1 once set
    std::array<double, Order + 1> a;
    std::array<double, Order + 1> b;
    // state
    std::array<double, Order> v;

  private:
    // w[j][i] = 2^i·C(Order − j, i): the weight of d_j·c^j in A_i.
    struct Weights
    {
        double w[Order + 1][Order + 1] = {};

        constexpr Weights()
        {
            for (int j = 0; j <= Order; ++j)
            {
                double binomial = 1.0, twoPower = 1.0;
                for (int i = 0; i + j <= Order; ++i)
                {
                    w[j][i] = twoPower * binomial;
                    binomial = binomial * (Order - j - i) / (i + 1);
                    twoPower *= 2.0;
                }
            }
        }
    };
};
