#pragma once

#include <memory>
#include <vector>

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
