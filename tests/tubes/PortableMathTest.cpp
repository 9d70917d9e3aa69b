#include "tubes/PortableMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

namespace
{
// Distance in units in the last place, by the ordered bit patterns.
std::int64_t ulpsApart(double a, double b)
{
    auto ordered = [](double d)
    {
        std::int64_t i;
        std::memcpy(&i, &d, sizeof i);
        return i < 0 ? std::numeric_limits<std::int64_t>::min() - i : i;
    };
    const std::int64_t d = ordered(a) - ordered(b);
    return d < 0 ? -d : d;
}

// Error against a long double reference, in ulps of the double result.
double ulpError(double value, long double reference)
{
    const double r = static_cast<double>(reference);
    const double ulp = std::nextafter(std::fabs(r), HUGE_VAL) - std::fabs(r);
    return static_cast<double>(std::fabs(static_cast<long double>(value) - reference) / ulp);
}

double logUniform(std::mt19937_64& random, double lo, double hi)
{
    return std::exp(std::uniform_real_distribution<double>(std::log(lo), std::log(hi))(random));
}

struct Worst
{
    std::int64_t apartFromLibrary = 0;
    double fromReference = 0.0;

    void add(double value, double library, long double reference)
    {
        apartFromLibrary = std::max(apartFromLibrary, ulpsApart(value, library));
        // Subnormal results are rounded twice (up to 1 ulp); the rest once.
        if (std::fabs(reference) >= std::numeric_limits<double>::min())
            fromReference = std::max(fromReference, ulpError(value, reference));
    }
};

const double tubeExponents[] = {1.4, 1.456, 1.638, 1.372, 1.365, 1.46};
constexpr int samples = 200000;
} // namespace

// The ranges the tube law gives them: exp of the law's exponent (about
// -1e5 to 900), log of 1 + exp, pow of E1 (0 to a few hundred) with the
// models' exponents.
TEST(PortableMath, WithinOneUlpOfTheLibraryAndCloseToCorrectRounding)
{
    std::mt19937_64 random(15);
    std::uniform_real_distribution<double> wide(-745.0, 709.7), narrow(-40.0, 40.0);
    Worst exp, log, pow;
    for (int n = 0; n < samples; ++n)
    {
        for (double x : {wide(random), narrow(random), logUniform(random, 1e-300, 1.0) * (n % 2 ? 1 : -1)})
            exp.add(PortableMath::exp(x), std::exp(x), std::exp(static_cast<long double>(x)));
        const double nearOne = 1.0 + logUniform(random, 1e-17, 1.0);
        for (double x : {nearOne, 1.0 / nearOne, logUniform(random, 1e-310, 1e308)})
            log.add(PortableMath::log(x), std::log(x), std::log(static_cast<long double>(x)));
        const double base = logUniform(random, 1e-30, 1e3);
        for (double y : {tubeExponents[n % 6], std::uniform_real_distribution<double>(-20.0, 20.0)(random)})
            pow.add(PortableMath::pow(base, y), std::pow(base, y),
                    std::pow(static_cast<long double>(base), static_cast<long double>(y)));
    }
    EXPECT_LE(exp.apartFromLibrary, 1);
    EXPECT_LE(log.apartFromLibrary, 1);
    EXPECT_LE(pow.apartFromLibrary, 1);
    EXPECT_LT(exp.fromReference, 0.51);
    EXPECT_LT(log.fromReference, 0.51);
    EXPECT_LT(pow.fromReference, 0.51);
    std::printf("largest error in ulps (exp, log, pow): %.4f %.4f %.4f\n", exp.fromReference,
                log.fromReference, pow.fromReference);
}

// The tube law relies on these: exp overflows to inf (log and pow keep it),
// log(1) is exactly 0 and pow(0, ex) is 0.
TEST(PortableMath, SpecialValuesAsTheCLibrary)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(PortableMath::exp(0.0), 1.0);
    EXPECT_EQ(PortableMath::exp(710.0), inf);
    EXPECT_EQ(PortableMath::exp(882.0), inf);
    EXPECT_EQ(PortableMath::exp(inf), inf);
    EXPECT_EQ(PortableMath::exp(-746.0), 0.0);
    EXPECT_EQ(PortableMath::exp(-inf), 0.0);
    EXPECT_EQ(PortableMath::exp(709.78), std::exp(709.78));
    EXPECT_EQ(PortableMath::exp(-745.0), std::exp(-745.0)); // smallest subnormal
    EXPECT_TRUE(std::isnan(PortableMath::exp(nan)));

    EXPECT_EQ(PortableMath::log(1.0), 0.0);
    EXPECT_EQ(PortableMath::log(1.0 + 1e-300), 0.0);
    EXPECT_EQ(PortableMath::log(inf), inf);
    EXPECT_EQ(PortableMath::log(0.0), -inf);
    EXPECT_EQ(PortableMath::log(std::numeric_limits<double>::denorm_min()),
              std::log(std::numeric_limits<double>::denorm_min()));
    EXPECT_TRUE(std::isnan(PortableMath::log(-1.0)));
    EXPECT_TRUE(std::isnan(PortableMath::log(nan)));

    for (double ex : tubeExponents)
    {
        EXPECT_EQ(PortableMath::pow(0.0, ex), 0.0);
        EXPECT_EQ(PortableMath::pow(inf, ex), inf);
        EXPECT_EQ(PortableMath::pow(1.0, ex), 1.0);
        EXPECT_EQ(PortableMath::pow(1e300, ex), inf);
    }
    EXPECT_EQ(PortableMath::pow(nan, 0.0), 1.0);
    EXPECT_EQ(PortableMath::pow(0.0, -1.5), inf);
    EXPECT_EQ(PortableMath::pow(-2.0, 3.0), -8.0);
    EXPECT_EQ(PortableMath::pow(-2.0, -2.0), 0.25);
    EXPECT_EQ(PortableMath::pow(2.0, -1074.0), std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(PortableMath::pow(0.5, inf), 0.0);
    EXPECT_TRUE(std::isnan(PortableMath::pow(-2.0, 0.5)));
    EXPECT_TRUE(std::isnan(PortableMath::pow(2.0, nan)));
}
