#pragma once

#include "engine/HalfBandPhase.h"
#include "engine/Oversampler.h"

// The decimating use of the half-band filter: two inner samples in, one out.
// The literal decimator is fed r0 and r1 and keeps only the output for r1,
// which is 0.5 * (A(r1) + B(r0)). Since every section works in z^-2, cascade
// A's phase of the r0 inputs and cascade B's phase of the r1 inputs feed
// nothing that is kept; only the other two phases are computed. The result is
// bit for bit that of the literal filter.
class HalfBandDecimator
{
  public:
    HalfBandDecimator() noexcept : phases(Oversampler::coefficientsA, Oversampler::coefficientsB) {}

    inline double decimate(double r0, double r1) noexcept
    {
        double a, heldB;
        phases.process(r1, r0, a, heldB);
        return (a + heldB) * 0.5;
    }

    // cascade A on the phase of the second inputs, B on that of the first
    HalfBandPhase phases;
};
