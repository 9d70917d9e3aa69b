#pragma once

#include <memory>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define ZRV4_SPLINE_SSE2 1
#endif

// Natural cubic spline over a uniformly spaced grid, read in constant time:
// the interval index is computed from the abscissa, never searched for, and
// inputs outside the grid return the end samples.
//
// The sample arrays and the second derivatives are read-only once built and
// are held by shared pointers: a copied table (and so a copied stage) reads
// the same arrays, which are released with the last table that uses them.
class SplineTable
{
  public:
    using Samples = std::shared_ptr<const std::vector<double>>;

    // An empty table: a single sample 0 at 0, so every lookup returns 0.
    SplineTable() noexcept = default;

    // Spline through the first count samples of ys at the abscissas xs,
    // spaced by step. count must be at least 1 and at most the array sizes.
    SplineTable(Samples ys, double step, int count, Samples xs);

    inline double lookup(double x) const noexcept
    {
        if (x > upperBound)
            return yData[lastIndex];
        // Also catches NaN, so that no index is computed from it.
        if (!(x >= lowerBound))
            return yData[0];
        double position = (x - xData[0]) * inverseStep;
        position = position > 0.0 ? position : 0.0;
        position = position < lastInterval ? position : lastInterval;
        const int j = static_cast<int>(position);
        const double a = (xData[j + 1] - x) * inverseStep;
        const double b = (x - xData[j]) * inverseStep;
        return a * yData[j] + b * yData[j + 1] +
               ((a * a * a - a) * d2Data[j] + (b * b * b - b) * d2Data[j + 1]) * stepSquaredOverSix;
    }

    // Two lookups in the same table at once, each giving exactly what
    // lookup gives: the two abscissas are the lanes of one vector, and every
    // lane does the scalar operations in the same order. An input outside
    // the grid (or a NaN) in either lane sends both through lookup.
    static inline void lookupPair(const SplineTable& t, double x0, double x1, double& y0, double& y1) noexcept
    {
#if ZRV4_SPLINE_SSE2
        const __m128d x = _mm_set_pd(x1, x0);
        const __m128d outside =
            _mm_or_pd(_mm_cmpgt_pd(x, _mm_set1_pd(t.upperBound)), _mm_cmpnge_pd(x, _mm_set1_pd(t.lowerBound)));
        if (_mm_movemask_pd(outside) != 0)
        {
            y0 = t.lookup(x0);
            y1 = t.lookup(x1);
            return;
        }
        const __m128d inverse = _mm_set1_pd(t.inverseStep);
        __m128d position = _mm_mul_pd(_mm_sub_pd(x, _mm_set1_pd(t.xData[0])), inverse);
        position = _mm_max_pd(position, _mm_setzero_pd());
        position = _mm_min_pd(position, _mm_set1_pd(t.lastInterval));
        const __m128i j = _mm_cvttpd_epi32(position);
        const int j0 = _mm_cvtsi128_si32(j);
        const int j1 = _mm_cvtsi128_si32(_mm_shuffle_epi32(j, 1));
        // Samples j and j + 1 of each lane: one load per lane and array,
        // then regrouped by index.
        const auto gather = [j0, j1](const double* d, __m128d& at, __m128d& next) noexcept
        {
            const __m128d p0 = _mm_loadu_pd(d + j0);
            const __m128d p1 = _mm_loadu_pd(d + j1);
            at = _mm_unpacklo_pd(p0, p1);
            next = _mm_unpackhi_pd(p0, p1);
        };
        __m128d xj, xk, yj, yk, dj, dk;
        gather(t.xData, xj, xk);
        gather(t.yData, yj, yk);
        gather(t.d2Data, dj, dk);
        const __m128d a = _mm_mul_pd(_mm_sub_pd(xk, x), inverse);
        const __m128d b = _mm_mul_pd(_mm_sub_pd(x, xj), inverse);
        const __m128d linear = _mm_add_pd(_mm_mul_pd(a, yj), _mm_mul_pd(b, yk));
        const __m128d ca = _mm_sub_pd(_mm_mul_pd(_mm_mul_pd(a, a), a), a);
        const __m128d cb = _mm_sub_pd(_mm_mul_pd(_mm_mul_pd(b, b), b), b);
        const __m128d cubic =
            _mm_mul_pd(_mm_add_pd(_mm_mul_pd(ca, dj), _mm_mul_pd(cb, dk)), _mm_set1_pd(t.stepSquaredOverSix));
        const __m128d y = _mm_add_pd(linear, cubic);
        y0 = _mm_cvtsd_f64(y);
        y1 = _mm_cvtsd_f64(_mm_unpackhi_pd(y, y));
#else
        y0 = t.lookup(x0);
        y1 = t.lookup(x1);
#endif
    }

    int size() const noexcept { return count; }
    const double* xsData() const noexcept { return xData; }
    const double* ysData() const noexcept { return yData; }
    const double* secondDerivativesData() const noexcept { return d2Data; }
    // True when both tables read the same sample arrays.
    bool sharesSamplesWith(const SplineTable& other) const noexcept
    {
        return xData == other.xData && yData == other.yData;
    }

    // Natural end condition: an end slope above this selects it.
    static constexpr double naturalSlopeLimit = 9.9e29;

    double lowerBound = 1e-5;  // first abscissa + 1e-5
    double upperBound = -1e-5; // last abscissa - 1e-5
    double stepSquaredOverSix = 0.0;
    int lastIndex = 0;
    Samples secondDerivatives;
    double startSlope = 1e40;
    double endSlope = 1e40;
    Samples ys;
    Samples xs;
    int count = 1;
    double step = 0.0;

  private:
    static const double zero[2];

    double inverseStep = 0.0;
    double lastInterval = 0.0; // count - 2, the last interval index, as a double
    const double* yData = zero;
    const double* xData = zero;
    const double* d2Data = zero;
};
