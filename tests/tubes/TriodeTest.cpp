#include "tubes/TubeSelector.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>

namespace
{
struct ModelCase
{
    const char* name;
    double mu, rp, cgk, cgp, ex, kg1, kp, kvb, vct, top;
    double largestExponent; // at vpk = 0, vgk = top
};

const ModelCase models[] = {
    {"ECC83", 94.08, 62500, 2.3e-12, 2.4e-12, 1.4, 1770, 630, 216, 0.424, 15, 668},
    {"EHECC83", 100.128, 54100, 2.3e-12, 2.3e-12, 1.456, 1620, 714, 816, 0.44, 20, 518},
    {"TSECC83", 101.472, 71250, 2.3e-12, 2.4e-12, 1.638, 2220, 690, 1608, 0.696, 20, 363},
    {"JJECC83", 106.848, 62500, 2.4e-12, 2.3e-12, 1.372, 1515, 600, 1344, 0.532, 20, 342},
    {"JJECC803", 108.864, 62500, 2.3e-12, 2.3e-12, 1.365, 1365, 588, 4560, 0.46, 20, 184},
    {"STECC83", 106.0, 62500, 2.3e-12, 2.3e-12, 1.46, 1572, 464, 179, 0.49, 15, 542},
};

// The exponent s of the law, recovered from the model's own plate current
// (Ip = 2 E1^ex / kg1, E1 = vpk / kp ln(1 + e^s)); infinite where e^s overflowed.
double exponentAt(const Triode& t, double vgk, double vpk)
{
    const double x = t.kp / vpk * std::pow(t.plateCurrent(vgk, vpk) * t.kg1 / 2.0, 1.0 / t.ex);
    return x + std::log(-std::expm1(-x)); // ln(e^x - 1)
}
} // namespace

TEST(Triode, ReferencePlateCurrentsOfECC83)
{
    const ECC83 tube;
    EXPECT_NEAR(tube.plateCurrent(-2, 250), 1.31e-3, 0.01e-3);
    EXPECT_NEAR(tube.plateCurrent(0, 100), 1.96e-3, 0.01e-3);
}

TEST(Triode, EveryModelHasItsConstantsAndIsSelectedByItsName)
{
    TubeSelector selector;
    for (const ModelCase& m : models)
    {
        SCOPED_TRACE(m.name);
        const Triode* t = selector.selectTube(m.name);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t, selector.current);
        EXPECT_EQ(t->mu, m.mu);
        EXPECT_EQ(t->rp, m.rp);
        EXPECT_EQ(t->cgk, m.cgk);
        EXPECT_EQ(t->cgp, m.cgp);
        EXPECT_EQ(t->ex, m.ex);
        EXPECT_EQ(t->kg1, m.kg1);
        EXPECT_EQ(t->kp, m.kp);
        EXPECT_EQ(t->kvb, m.kvb);
        EXPECT_EQ(t->vct, m.vct);
        EXPECT_EQ(t->gridRangeTop, m.top);
    }
}

TEST(Triode, ZeroPlateVoltageGivesExactlyZeroCurrentOverTheTabulatedRange)
{
    TubeSelector selector;
    for (const ModelCase& m : models)
    {
        const Triode* t = selector.selectTube(m.name);
        for (double vgk = -30; vgk <= m.top; vgk += 0.1)
            ASSERT_EQ(t->plateCurrent(vgk, 0), 0.0) << m.name << " vgk " << vgk;
    }
}

TEST(Triode, CutOffAndNegativePlateVoltageGiveZeroWithoutError)
{
    TubeSelector selector;
    for (const ModelCase& m : models)
    {
        const Triode* t = selector.selectTube(m.name);
        for (double vgk : {-30.0, -351.0, -1e6})
        {
            const double i = t->plateCurrent(vgk, 250);
            EXPECT_TRUE(std::isfinite(i)) << m.name;
            EXPECT_GE(i, 0.0);
            EXPECT_LT(i, 1e-12) << m.name << " vgk " << vgk;
        }
        EXPECT_EQ(t->plateCurrent(-1, -50), 0.0) << m.name;
        EXPECT_EQ(t->plateCurrent(m.top, -351), 0.0) << m.name;
    }
}

TEST(Triode, LargestTabulatedExponentStaysBelowTheOverflowOfExp)
{
    const double overflow = std::log(DBL_MAX);
    TubeSelector selector;
    for (const ModelCase& m : models)
    {
        const Triode* t = selector.selectTube(m.name);
        // At the lowest plate voltage the exponent is the largest of the grid.
        const double s = exponentAt(*t, m.top, 1e-6);
        EXPECT_NEAR(s, m.largestExponent, 1.0) << m.name;
        EXPECT_LT(s, overflow) << m.name;
        for (double vpk = 1e-6; vpk < 400; vpk += 7.3)
            EXPECT_LE(exponentAt(*t, m.top, vpk), s);
    }
    // Why ECC83 and STECC83 stop at 15 V: at 20 V exp(s) overflows.
    EXPECT_FALSE(std::isfinite(ECC83().plateCurrent(20, 1e-6)));
    EXPECT_FALSE(std::isfinite(STECC83().plateCurrent(20, 1e-6)));
}

TEST(Triode, CurrentRisesWithGridAndPlateVoltage)
{
    const ECC83 tube;
    double previous = 0.0;
    for (double vgk = -5; vgk <= 0; vgk += 0.5)
    {
        const double i = tube.plateCurrent(vgk, 200);
        EXPECT_GT(i, previous);
        previous = i;
    }
    EXPECT_GT(tube.plateCurrent(-1, 250), tube.plateCurrent(-1, 150));
}

TEST(TubeSelector, MatchesNamesExactlyAndKeepsTheCurrentModelOtherwise)
{
    TubeSelector selector;
    EXPECT_EQ(selector.selectTube("ecc83"), nullptr); // nothing selected yet
    Triode* ecc83 = selector.selectTube("ECC83");
    ASSERT_NE(ecc83, nullptr);
    EXPECT_EQ(ecc83->mu, 94.08);
    for (const std::string& name :
         {std::string("ecc83"), std::string("ECC83 "), std::string("ECC8"), std::string(""),
          std::string("ECC83\0x", 7), std::string("JJECC8030"), std::string(100000, 'E')})
    {
        EXPECT_EQ(selector.selectTube(name), ecc83) << name.size();
    }
    // JJECC83 and JJECC803 share a prefix and must not be confused.
    EXPECT_EQ(selector.selectTube("JJECC803")->kvb, 4560);
    EXPECT_EQ(selector.selectTube("JJECC83")->kvb, 1344);
}

TEST(TubeSelector, SelectingReinitialisesTheModel)
{
    TubeSelector selector;
    Triode* t = selector.selectTube("STECC83");
    t->mu = 1.0;
    t->gridRangeTop = 99;
    EXPECT_EQ(selector.selectTube("STECC83"), t);
    EXPECT_EQ(t->mu, 106.0);
    EXPECT_EQ(t->gridRangeTop, 15);
}
