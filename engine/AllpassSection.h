#pragma once

// Second-order allpass section used as a first-order allpass in z^-2:
//
//   y[n] = a * (x[n] - y[n-2]) + x[n-2]        H(z) = (a + z^-2) / (1 + a z^-2)
//
// The literal form: it keeps the current input and output and the two before
// them, so it can be fed any sequence at any rate.
class AllpassSection
{
  public:
    explicit AllpassSection(double a = 0.0) noexcept : coefficient(a) {}

    inline double process(double x) noexcept
    {
        x2 = x1;
        x1 = x0;
        x0 = x;
        y2 = y1;
        const double out = coefficient * (x - y2) + x2;
        y1 = y0;
        y0 = out;
        return out;
    }

    // inputs
    double coefficient;
    // state (x0, y0 newest)
    double x0 = 0.0, x1 = 0.0, x2 = 0.0;
    double y0 = 0.0, y1 = 0.0, y2 = 0.0;
};
