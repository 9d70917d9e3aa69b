#pragma once

#include "engine/HalfBandPhase.h"
#include "engine/Oversampler.h"

// The interpolating use of the half-band filter, one host-side sample at a
// time. The literal interpolator is fed 0.0 and then v; every section works
// in z^-2, so the phase that only ever sees the zeros stays exactly 0.0 for
// good and is not computed. The result is bit for bit that of two calls of
// Oversampler::process(0.0) and Oversampler::process(v).
class HalfBandInterpolator
{
  public:
    HalfBandInterpolator() noexcept : phases(Oversampler::coefficientsA, Oversampler::coefficientsB) {}

    // first and second: the filter outputs for the inputs 0.0 and v.
    inline void interpolate(double v, double& first, double& second) noexcept
    {
        // Cascade A's output for the zero is +0.0, cascade B's too (it is
        // held for the second output); the additions of 0.0 are kept so the
        // rounding (and the sign of zero) is that of the literal filter.
        first = (0.0 + heldB) * 0.5;
        double a;
        phases.process(v, v, a, heldB);
        second = (a + 0.0) * 0.5;
    }

    HalfBandPhase phases; // cascades A and B, phase of the v inputs
    double heldB = 0.0;   // cascade B's output for the previous v
};
