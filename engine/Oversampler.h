#pragma once

#include "engine/AllpassCascade.h"

// Polyphase IIR half-band filter, 0.5 * (A(z) + z^-1 B(z)), A and B each six
// allpass sections in z^-2. Unity gain at DC, -3.01 dB at a quarter of its
// running rate, more than 159 dB down from 0.28 to 0.5; group delay near DC
// about 5.5 samples. The same filter serves every doubling and halving.
//
// This is the literal form: one call per sample at the filter's own rate.
class Oversampler
{
  public:
    // Each decimal value, read as a double, is the coefficient exactly.
    static constexpr double coefficientsA[AllpassCascade::sectionCount] = {
        0.01677466677723562, 0.13902148819717805, 0.3325011117394731,
        0.53766105314488,    0.7214184024215805,  0.8821858402078155};
    static constexpr double coefficientsB[AllpassCascade::sectionCount] = {
        0.06501319274445962, 0.23094129990840923, 0.4364942348420355,
        0.6329609551399348,  0.8037808679411123,  0.9599687404800694};

    Oversampler() noexcept : cascadeA(coefficientsA), cascadeB(coefficientsB) {}

    inline double process(double x) noexcept
    {
        const double p = cascadeA.process(x);
        const double out = (p + heldB) * 0.5;
        heldB = cascadeB.process(x);
        return out;
    }

    AllpassCascade cascadeA; // undelayed branch
    AllpassCascade cascadeB; // delayed branch
    double heldB = 0.0;      // cascade B's output for the previous input
};
