#pragma once

#include <algorithm>
#include <array>

// Digital filter of order 2 to 5 in transposed direct form II:
//
//     y      = b[0]·x + z[0]
//     z[i-1] = b[i]·x + z[i] − a[i]·y     for i = 1 … n−1
//     z[n-1] = b[n]·x − a[n]·y
//
// Storage is fixed at the largest order, so nothing is allocated. Until
// coefficients are set, a and b are all ones: H(z) = 1 and the states stay 0.
// No denormal offset is added here; the controls and the surrounding stages
// carry it.
class IirFilter
{
  public:
    static constexpr int maxOrder = 5;

    explicit IirFilter(int filterOrder) noexcept : order(std::clamp(filterOrder, 1, maxOrder))
    {
        a.fill(1.0);
        b.fill(1.0);
        z.fill(0.0);
    }

    // Writes b = B / A[0] and a = A / A[0]; B and A hold order + 1 values.
    void setCoefficients(const double* B, const double* A) noexcept
    {
        a[0] = 1.0;
        b[0] = B[0] / A[0];
        for (int k = 1; k <= order; ++k)
        {
            a[k] = A[k] / A[0];
            b[k] = B[k] / A[0];
        }
    }

    void reset() noexcept { z.fill(0.0); }

    // One step at the filter's own order.
    inline double process(double x) noexcept
    {
        switch (order)
        {
        case 1:
            return process<1>(x);
        case 2:
            return process<2>(x);
        case 3:
            return process<3>(x);
        case 4:
            return process<4>(x);
        default:
            return process<maxOrder>(x);
        }
    }

    // The step for a filter whose order is known where it is called (N must
    // equal order): the loop unrolls and nothing tests the order.
    template <int N> inline double process(double x) noexcept
    {
        static_assert(N >= 1 && N <= maxOrder, "order 1 to 5");
        const double y = b[0] * x + z[0];
        for (int i = 1; i < N; ++i)
            z[i - 1] = b[i] * x + z[i] - a[i] * y;
        z[N - 1] = b[N] * x - a[N] * y;
        return y;
    }

    int order;
    std::array<double, maxOrder + 1> a; // denominator, a[0] = 1 once set
    std::array<double, maxOrder + 1> b; // numerator
    std::array<double, maxOrder + 1> z; // state, z[0] … z[order − 1] used
};
