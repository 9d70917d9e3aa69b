#include "tubes/SplineTable.h"

#include <utility>

const double SplineTable::zero[2] = {0.0, 0.0};

SplineTable::SplineTable(Samples ys_, double step_, int count_, Samples xs_)
    : lowerBound((*xs_)[0] + 1e-5), upperBound((*xs_)[count_ - 1] - 1e-5),
      stepSquaredOverSix(step_ * 0.16666666666666666 * step_), lastIndex(count_ - 1), ys(std::move(ys_)),
      xs(std::move(xs_)), count(count_), step(step_), inverseStep(1.0 / step_),
      lastInterval(count_ > 1 ? count_ - 2 : 0)
{
    const double* x = xs->data();
    const double* y = ys->data();
    auto d2 = std::make_shared<std::vector<double>>(count, 0.0);
    double* s = d2->data();
    std::vector<double> u(count, 0.0);

    // Tridiagonal sweep of the natural spline (both end slopes are above
    // naturalSlopeLimit, so both ends have a zero second derivative).
    s[0] = 0.0;
    u[0] = 0.0;
    for (int i = 1; i < count - 1; ++i)
    {
        const double sig = (x[i] - x[i - 1]) / (x[i + 1] - x[i - 1]);
        const double p = sig * s[i - 1] + 2.0;
        s[i] = (sig - 1.0) / p;
        u[i] = (y[i + 1] - y[i]) / (x[i + 1] - x[i]) - (y[i] - y[i - 1]) / (x[i] - x[i - 1]);
        u[i] = (6.0 * u[i] / (x[i + 1] - x[i - 1]) - sig * u[i - 1]) / p;
    }
    s[count - 1] = 0.0;
    for (int i = count - 2; i >= 0; --i)
        s[i] = s[i] * s[i + 1] + u[i];

    xData = x;
    yData = y;
    d2Data = s;
    secondDerivatives = std::move(d2);
}
