#include "tubes/SplineTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace
{
using Array = std::vector<double>;

// Abscissas from lo by repeated addition, as the table builders make them.
std::shared_ptr<Array> grid(double lo, double step, int count)
{
    auto xs = std::make_shared<Array>(count);
    double x = lo;
    for (int i = 0; i < count; ++i, x += step)
        (*xs)[i] = x;
    return xs;
}

template <typename F> SplineTable tableOf(F f, double lo, double step, int count)
{
    auto xs = grid(lo, step, count);
    auto ys = std::make_shared<Array>(count);
    for (int i = 0; i < count; ++i)
        (*ys)[i] = f((*xs)[i], i);
    return SplineTable(ys, step, count, xs);
}
} // namespace

TEST(SplineTable, ExactAtSampleAbscissas)
{
    const SplineTable t = tableOf([](double x, int) { return std::sin(x); }, -3.0, 0.1, 61);
    for (int i = 1; i < 60; ++i)
        EXPECT_NEAR(t.lookup(t.xsData()[i]), t.ysData()[i], 1e-13) << i;
    // On a step exact in binary, A or B is exactly 0 and so is the error.
    const SplineTable exact = tableOf([](double x, int) { return std::exp(x); }, -2.0, 0.25, 17);
    for (int i = 1; i < 16; ++i)
        EXPECT_EQ(exact.lookup(exact.xsData()[i]), exact.ysData()[i]) << i;
}

TEST(SplineTable, ClampsJustOutsideTheBoundsAndFarAway)
{
    const SplineTable t = tableOf([](double x, int) { return x * x * x; }, -2.0, 0.1, 41);
    const double first = t.ysData()[0];
    const double last = t.ysData()[40];
    EXPECT_EQ(t.lowerBound, t.xsData()[0] + 1e-5);
    EXPECT_EQ(t.upperBound, t.xsData()[40] - 1e-5);
    EXPECT_EQ(t.lookup(t.upperBound + 1e-9), last);
    EXPECT_EQ(t.lookup(t.lowerBound - 1e-9), first);
    EXPECT_EQ(t.lookup(1e300), last);
    EXPECT_EQ(t.lookup(-1e300), first);
    EXPECT_EQ(t.lookup(std::numeric_limits<double>::infinity()), last);
    EXPECT_EQ(t.lookup(-std::numeric_limits<double>::infinity()), first);
    // Inside the bounds but past the last full interval: limited to the last
    // interval, not read beyond the arrays.
    EXPECT_NEAR(t.lookup(t.upperBound), last, 1e-3);
    EXPECT_NEAR(t.lookup(t.lowerBound), first, 1e-3);
}

// A NaN must not become an array index; it reads the first sample.
TEST(SplineTable, NanReadsTheFirstSample)
{
    const SplineTable t = tableOf([](double x, int) { return 2 * x + 1; }, -1.0, 0.5, 5);
    EXPECT_EQ(t.lookup(std::numeric_limits<double>::quiet_NaN()), t.ysData()[0]);
}

TEST(SplineTable, ReproducesStraightLines)
{
    const SplineTable t = tableOf([](double x, int) { return 3.5 * x - 2.0; }, -351.0, 0.1, 7021);
    for (int i = 0; i < t.size(); ++i)
        ASSERT_NEAR(t.secondDerivativesData()[i], 0.0, 1e-9) << i;
    for (double x = -350.97; x < 350.9; x += 1.37)
        ASSERT_NEAR(t.lookup(x), 3.5 * x - 2.0, 1e-9) << x;
}

// Independent of the sweep: the second derivatives of a natural spline on a
// uniform grid satisfy h/6 M[i-1] + 2h/3 M[i] + h/6 M[i+1] = (y[i+1] - 2y[i] + y[i-1]) / h
// with M = 0 at both ends, and the first derivative is continuous at the knots.
TEST(SplineTable, SecondDerivativesSolveTheNaturalSplineEquations)
{
    const double h = 0.5;
    const SplineTable t = tableOf([](double x, int) { return std::tanh(x) + 0.1 * x * x; }, -5.0, h, 21);
    const double* m = t.secondDerivativesData();
    const double* y = t.ysData();
    EXPECT_EQ(m[0], 0.0);
    EXPECT_EQ(m[20], 0.0);
    for (int i = 1; i < 20; ++i)
    {
        const double lhs = h / 6 * m[i - 1] + 2 * h / 3 * m[i] + h / 6 * m[i + 1];
        EXPECT_NEAR(lhs, (y[i + 1] - 2 * y[i] + y[i - 1]) / h, 1e-12) << i;
        const double x = t.xsData()[i];
        const double e = 1e-6;
        const double left = (t.lookup(x) - t.lookup(x - e)) / e;
        const double right = (t.lookup(x + e) - t.lookup(x)) / e;
        EXPECT_NEAR(left, right, 1e-4) << i;
    }
}

// A V-shaped curve with its corner at 0 V: interpolating in the wrong
// interval near the corner would give about -0.5 instead of about +0.5.
TEST(SplineTable, LookupsNearZeroUseTheIntervalAroundThem)
{
    const int corner = 3510;
    const SplineTable t =
        tableOf([corner](double, int i) { return std::fabs(double(i - corner)); }, -351.0, 0.1, 7021);
    EXPECT_NEAR(t.xsData()[corner], 0.0, 1e-9);
    EXPECT_GT(t.lookup(0.05), 0.3);
    EXPECT_LT(t.lookup(0.05), 0.7);
    EXPECT_GT(t.lookup(-0.05), 0.3);
    EXPECT_LT(t.lookup(-0.05), 0.7);
    EXPECT_NEAR(t.lookup(0.05), t.lookup(-0.05), 1e-6);
}

TEST(SplineTable, EmptyTableReadsZero)
{
    const SplineTable t;
    for (double x : {-1e9, -1.0, 0.0, 1e-6, 1e9, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(t.lookup(x), 0.0);
}

TEST(SplineTable, CopiesShareTheArraysWhichGoWithTheLastTable)
{
    std::weak_ptr<const Array> xs, ys, d2;
    auto copy = std::make_unique<SplineTable>();
    {
        const SplineTable source = tableOf([](double x, int) { return x * x; }, 0.0, 0.5, 9);
        xs = source.xs;
        ys = source.ys;
        d2 = source.secondDerivatives;
        *copy = source;
        EXPECT_TRUE(copy->sharesSamplesWith(source));
        EXPECT_EQ(copy->secondDerivativesData(), source.secondDerivativesData());
    }
    EXPECT_FALSE(xs.expired());
    EXPECT_NEAR(copy->lookup(1.25), 1.5625, 0.01);
    copy.reset();
    EXPECT_TRUE(xs.expired());
    EXPECT_TRUE(ys.expired());
    EXPECT_TRUE(d2.expired());
}

// The two-lane lookup must give lookup's bits in each lane, inside the grid,
// at its edges, outside it and for NaN, whatever the other lane holds.
TEST(SplineTable, PairedLookupsGiveExactlyWhatLookupGives)
{
    const SplineTable t =
        tableOf([](double x, int) { return std::tanh(3.0 * x) + 0.1 * x * x; }, -2.0, 0.01, 401);
    std::vector<double> xs = {t.lowerBound,
                              t.upperBound,
                              std::nextafter(t.lowerBound, -10.0),
                              std::nextafter(t.upperBound, 10.0),
                              -2.0,
                              2.0,
                              0.0,
                              -0.0,
                              1e300,
                              -std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN()};
    uint64_t state = 12345;
    for (int i = 0; i < 2000; ++i)
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        xs.push_back(-2.2 + 4.4 * static_cast<double>(state >> 11) / 9007199254740992.0);
    }
    const auto bits = [](double v)
    {
        uint64_t u;
        std::memcpy(&u, &v, sizeof u);
        return u;
    };
    for (size_t i = 0; i < xs.size(); ++i)
    {
        const double x0 = xs[i], x1 = xs[(i * 7 + 3) % xs.size()];
        double y0, y1;
        SplineTable::lookupPair(t, x0, x1, y0, y1);
        ASSERT_EQ(bits(y0), bits(t.lookup(x0))) << x0 << " with " << x1;
        ASSERT_EQ(bits(y1), bits(t.lookup(x1))) << x1 << " with " << x0;
    }
    double y0 = 1.0, y1 = 1.0;
    SplineTable::lookupPair(SplineTable(), 0.0, 0.5, y0, y1);
    EXPECT_EQ(y0, 0.0);
    EXPECT_EQ(y1, 0.0);
}
