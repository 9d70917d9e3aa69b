#pragma once

#include "engine/AllpassCascade.h"

#include <cmath>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define ZRV4_HALFBAND_SSE2 1
#endif

// One polyphase branch of each of the cascades A and B, side by side: the six
// sections of a cascade in z^-2 as they see every other sample. For that
// phase z^-2 becomes one step back,
//
//   y[m] = a * (x[m] - y[m-1]) + x[m-1],
//
// the same arithmetic as AllpassSection::process on the samples of one phase.
// The two cascades are independent and alike, so they run as the two lanes
// of one vector; each lane does exactly the scalar operations.
//
// A section's previous input is the previous output of the section before
// it, so only the first section keeps its input; the others read it from
// their neighbour's output state before it is overwritten.
class HalfBandPhase
{
  public:
    static constexpr int sectionCount = AllpassCascade::sectionCount;

    HalfBandPhase(const double (&a)[sectionCount], const double (&b)[sectionCount]) noexcept
    {
        for (int i = 0; i < sectionCount; ++i)
        {
            coefficient[i][0] = a[i];
            coefficient[i][1] = b[i];
        }
    }

    // inA through cascade A's phase and inB through B's, at the same time.
    inline void process(double inA, double inB, double& outA, double& outB) noexcept
    {
#if ZRV4_HALFBAND_SSE2
        __m128d in = _mm_set_pd(inB, inA);
        __m128d previousIn = _mm_loadu_pd(firstInput);
        _mm_storeu_pd(firstInput, in);
        for (int i = 0; i < sectionCount; ++i)
        {
            const __m128d previousOut = _mm_loadu_pd(y[i]);
            const __m128d out =
                _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(coefficient[i]), _mm_sub_pd(in, previousOut)), previousIn);
            _mm_storeu_pd(y[i], out);
            previousIn = previousOut;
            in = out;
        }
        outA = _mm_cvtsd_f64(in);
        outB = _mm_cvtsd_f64(_mm_unpackhi_pd(in, in));
#else
        outA = lane(0, inA);
        outB = lane(1, inB);
#endif
    }

    bool isFinite() const noexcept
    {
        bool ok = std::isfinite(firstInput[0]) && std::isfinite(firstInput[1]);
        for (int i = 0; i < sectionCount; ++i)
            ok = ok && std::isfinite(y[i][0]) && std::isfinite(y[i][1]);
        return ok;
    }

    void reset() noexcept
    {
        firstInput[0] = firstInput[1] = 0.0;
        for (int i = 0; i < sectionCount; ++i)
            y[i][0] = y[i][1] = 0.0;
    }

    // inputs: [section][lane]
    double coefficient[sectionCount][2];
    // state: the first section's previous input, every section's previous output
    double firstInput[2] = {};
    double y[sectionCount][2] = {};

  private:
#if !ZRV4_HALFBAND_SSE2
    inline double lane(int l, double in) noexcept
    {
        double previousIn = firstInput[l];
        firstInput[l] = in;
        for (int i = 0; i < sectionCount; ++i)
        {
            const double previousOut = y[i][l];
            const double out = coefficient[i][l] * (in - previousOut) + previousIn;
            y[i][l] = out;
            previousIn = previousOut;
            in = out;
        }
        return in;
    }
#endif
};
