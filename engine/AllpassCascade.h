#pragma once

#include "engine/AllpassSection.h"

#include <array>

// Six allpass sections in series (every cascade of the half-band filter has six).
class AllpassCascade
{
  public:
    static constexpr int sectionCount = 6;

    explicit AllpassCascade(const double (&coefficients)[sectionCount]) noexcept
    {
        for (int i = 0; i < sectionCount; ++i)
            sections[i] = AllpassSection(coefficients[i]);
    }

    inline double process(double x) noexcept
    {
        for (AllpassSection& s : sections)
            x = s.process(x);
        return x;
    }

    std::array<AllpassSection, sectionCount> sections;
};
