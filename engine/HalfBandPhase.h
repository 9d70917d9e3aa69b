#pragma once

#include "engine/AllpassCascade.h"

// One polyphase branch of an allpass cascade in z^-2: the six sections as
// they see every other sample. For that phase z^-2 becomes one step back,
//
//   y[m] = a * (x[m] - y[m-1]) + x[m-1],
//
// the same arithmetic as AllpassSection::process on the samples of one phase.
class HalfBandPhase
{
  public:
    static constexpr int sectionCount = AllpassCascade::sectionCount;

    explicit HalfBandPhase(const double (&a)[sectionCount]) noexcept
    {
        for (int i = 0; i < sectionCount; ++i)
            coefficient[i] = a[i];
    }

    inline double process(double in) noexcept
    {
        for (int i = 0; i < sectionCount; ++i)
        {
            const double out = coefficient[i] * (in - y[i]) + x[i];
            x[i] = in;
            y[i] = out;
            in = out;
        }
        return in;
    }

    // inputs
    double coefficient[sectionCount];
    // state: each section's previous input and output of this phase
    double x[sectionCount] = {};
    double y[sectionCount] = {};
};
