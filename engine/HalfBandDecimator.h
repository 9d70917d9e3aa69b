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
    HalfBandDecimator() noexcept : phaseA(Oversampler::coefficientsA), phaseB(Oversampler::coefficientsB) {}

    inline double decimate(double r0, double r1) noexcept
    {
        const double heldB = phaseB.process(r0);
        return (phaseA.process(r1) + heldB) * 0.5;
    }

    HalfBandPhase phaseA; // cascade A, phase of the second inputs
    HalfBandPhase phaseB; // cascade B, phase of the first inputs
};
