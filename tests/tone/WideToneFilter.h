#pragma once

// The tone circuits' filter for the accuracy tests: the production filter
// and a reference side by side on the same input, both set from the same
// H(s). The reference is the bilinear transform in the direct form in z⁻¹,
// computed and run in quad precision (113-bit significand), where the direct
// form's rounding lies far below anything a double holds. wideToneFilters
// selects whose output goes on; both always run, so their states stay
// settled alike whichever is chosen.
#include "tone/DeltaFilter.h"

#include <array>
#include <cmath>

inline bool wideToneFilters = true;

template <int Order> class WideToneFilter
{
    using Wide = __float128;

  public:
    static constexpr int order = Order;

    WideToneFilter() noexcept
    {
        a.fill(0);
        b.fill(0);
        z.fill(0);
        a[0] = b[0] = 1;
    }

    bool setBilinear(const double* n, const double* d, double c) noexcept
    {
        if (!plain.setBilinear(n, d, c))
            return false;
        // s = c·(1 − w)/(1 + w), w = z⁻¹, times (1 + w)^Order.
        std::array<Wide, Order + 1> A{}, B{};
        Wide power = 1;
        for (int j = 0; j <= Order; ++j)
        {
            std::array<Wide, Order + 1> p{};
            p[0] = 1;
            for (int f = 0; f < Order; ++f)
            {
                const Wide sign = f < j ? -1 : 1;
                for (int k = f + 1; k > 0; --k)
                    p[k] += sign * p[k - 1];
            }
            for (int k = 0; k <= Order; ++k)
            {
                A[k] += Wide(d[j]) * power * p[k];
                B[k] += Wide(n[j]) * power * p[k];
            }
            power *= Wide(c);
        }
        for (int k = 0; k <= Order; ++k)
        {
            a[k] = A[k] / A[0];
            b[k] = B[k] / A[0];
        }
        return true;
    }

    inline double process(double x) noexcept
    {
        const double yPlain = plain.process(x);
        const Wide xw = x;
        const Wide y = b[0] * xw + z[0];
        for (int i = 1; i < Order; ++i)
            z[i - 1] = b[i] * xw + z[i] - a[i] * y;
        z[Order - 1] = b[Order] * xw - a[Order] * y;
        return wideToneFilters ? static_cast<double>(y) : yPlain;
    }

    void reset() noexcept
    {
        plain.reset();
        z.fill(0);
    }

    bool isFinite() const noexcept
    {
        bool finite = plain.isFinite();
        for (const Wide& s : z)
            finite = finite && std::isfinite(static_cast<double>(s));
        return finite;
    }

  private:
    DeltaFilter<Order> plain;
    std::array<Wide, Order + 1> a, b;
    std::array<Wide, Order> z;
};

template <int Order> using ToneFilter = WideToneFilter<Order>;
