#pragma once

#include "tubes/CouplingHighPass.h"

// Volume divider R1 over R2 with a bright capacitor C across R1, driven from
// a source resistance Rs:
//
//   in --+-- R1 --+-- out        out = k2 x + highpass(k1 x)
//        |        |              k1 = R1 / (R1 + R2), k2 = R2 / (R1 + R2)
//        +-- C ---+              high-pass R = Rs + R2, capacitance C
//                 R2
//                gnd
//
// At low frequencies the divider passes k2 of the signal; at high ones the
// capacitor adds the k1 share back.
class BrightDivider
{
  public:
    BrightDivider() noexcept = default;
    BrightDivider(double top, double bottom, double source, double capacitance, double rate) noexcept
        : R1(top), R2(bottom), sourceResistance(source), C(capacitance), k1(top / (top + bottom)),
          k2(bottom / (top + bottom)), highPass(rate, source, bottom, capacitance)
    {
    }

    // Only the high-pass coefficient depends on the rate; its states stay.
    void updateSampleRate(double rate) noexcept { highPass.updateSampleRate(rate); }

    inline double process(double x) noexcept
    {
        const double u = k1 * x;
        const double h =
            (u - highPass.previousInput + highPass.previousOutput) * highPass.coefficient + 1e-25;
        highPass.previousInput = u;
        highPass.previousOutput = h;
        return k2 * x + h;
    }

    // inputs
    double R1 = 0.0;               // ohm
    double R2 = 0.0;               // ohm
    double sourceResistance = 0.0; // ohm
    double C = 0.0;                // F
    // derived
    double k1 = 0.0;
    double k2 = 0.0;
    // coefficient and states (only the plain coefficient is used)
    CouplingHighPass highPass;
};
