#include "tests/tubes/StageFixtures.h"
#include "tubes/TGSBypassedCathode.h"
#include "tubes/TGSCathodeFollower.h"
#include "tubes/TGSUnbypassedCathode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace stage_fixtures;

namespace
{
// Brute-force intersection of the triode curve at vgk with the stage's AC
// load line, by bisection on the plate voltage.
double bisectLoadLineCurrent(const TriodeGainStage& s, double vgk)
{
    auto excess = [&](double vpk)
    { return vpk - (s.model->plateCurrent(vgk, vpk) - s.acLoadLineIntercept) * s.acLoadLineSlope; };
    double lo = 0.0, hi = 2000.0;
    for (int i = 0; i < 200; ++i)
    {
        const double mid = 0.5 * (lo + hi);
        (excess(mid) < 0 ? lo : hi) = mid;
    }
    return s.model->plateCurrent(vgk, 0.5 * (lo + hi));
}

// The cathode-table iteration one abscissa after another, step by step.
std::vector<double> sequentialCathodeSamples(const TriodeGainStage& s, std::vector<double>& xs)
{
    const double lo = -s.supplyVoltage, step = 0.1, r = s.relaxationFactor;
    const int n = static_cast<int>(std::floor(std::fabs(lo - s.supplyVoltage) / step)) + 1;
    std::vector<double> ys;
    int iterations = 0;
    double a = lo, g = 0, previous = 0;
    while (static_cast<int>(ys.size()) < n)
    {
        const double o = 0.5 * (r * s.cathodeResistor * s.plateCurrentTable.lookup(a - g) + (2 - r) * g);
        if (std::fabs(o - previous) < 1e-6)
        {
            xs.push_back(a);
            ys.push_back(o);
            iterations = 0;
            a += step;
            g = 0;
        }
        else if (iterations <= 2750)
            g = o;
        else
        {
            iterations = 0;
            a += step;
            g = 0;
        }
        iterations += 1;
        previous = o;
    }
    return ys;
}
} // namespace

TEST(TriodeGainStage, CathodeTableEqualsTheSequentialIterationBitForBit)
{
    struct Case
    {
        StageComponents c;
        double relaxation;
    };
    for (const Case& k : {Case{secondStage(), 1.0}, Case{leadThirdStage(), 0.025},
                          Case{driverFollower(), 0.02}, Case{outputFollower(), 0.025}})
    {
        TGSCathodeFollower s("ECC83", k.c); // the cathode table is common to the topologies
        s.relaxationFactor = k.relaxation;
        s.buildCathodeTable(-s.supplyVoltage, s.supplyVoltage, 0.1);
        std::vector<double> xs;
        const std::vector<double> ys = sequentialCathodeSamples(s, xs);
        ASSERT_EQ(s.cathodeTable.size(), static_cast<int>(ys.size()));
        for (size_t i = 0; i < ys.size(); ++i)
        {
            ASSERT_EQ(s.cathodeTable.xsData()[i], xs[i]) << k.relaxation << " " << i;
            ASSERT_EQ(s.cathodeTable.ysData()[i], ys[i]) << k.relaxation << " " << i;
        }
    }
}

TEST(TriodeGainStage, OperatingPointOfTheInputStage)
{
    const TGSBypassedCathode s("ECC83", inputStage());
    const double v1 = s.solvePlateVoltage(-1, 1 / 1800.0, 0, 100);
    const double v2 = s.solvePlateVoltage(-2, 2 / 1800.0, 0, 100);
    EXPECT_NEAR(v1, 110, 0.5);
    EXPECT_NEAR(v2, 238, 0.5);
    EXPECT_NEAR(s.model->plateCurrent(-1, v1), 1 / 1800.0, 1e-6);
    EXPECT_NEAR(s.model->plateCurrent(-2, v2), 2 / 1800.0, 1e-6);
    EXPECT_NEAR(s.quiescentPlateVoltage, 170.0, 0.05);
    EXPECT_NEAR(s.quiescentPlateCurrent, 0.816e-3, 0.001e-3);
    EXPECT_NEAR(1800 * s.quiescentPlateCurrent, 1.47, 0.005);
    // On the DC load line, and the AC load line passes through it.
    EXPECT_NEAR(s.quiescentPlateCurrent, (351 - s.quiescentPlateVoltage) / (220000 + 1800), 1e-12);
    EXPECT_NEAR((s.quiescentPlateCurrent - s.acLoadLineIntercept) * s.acLoadLineSlope,
                s.quiescentPlateVoltage, 1e-9);
    EXPECT_NEAR(s.acLoadLineSlope, -s.acLoadResistance, 1e-6);
}

TEST(TriodeGainStage, PlateCurrentTableGridForTopsOf15And20Volts)
{
    struct Case
    {
        const char* tube;
        int nMain, nAbove;
    };
    for (const Case c : {Case{"ECC83", 451, 3360}, Case{"EHECC83", 501, 3310}})
    {
        SCOPED_TRACE(c.tube);
        const TGSBypassedCathode s(c.tube, inputStage());
        const SplineTable& t = s.plateCurrentTable;
        const int nBelow = 3210;
        ASSERT_EQ(t.size(), 7021);
        EXPECT_EQ(t.size() - nBelow - c.nMain, c.nAbove);
        const double* xs = t.xsData();
        const double* ys = t.ysData();
        EXPECT_EQ(xs[nBelow], -30.0);
        EXPECT_NEAR(xs[nBelow + c.nMain - 1], s.gridRangeTop, 1e-9);
        EXPECT_NEAR(xs[0], -351, 1e-9);
        EXPECT_NEAR(xs[7020], 351, 1e-9);
        for (int i = 1; i < t.size(); ++i)
        {
            ASSERT_NEAR(xs[i] - xs[i - 1], 0.1, 1e-9) << i;
            // Strictly monotonic wherever the tube conducts measurably; deep in
            // cut-off the current underflows towards 0.
            if (ys[i - 1] > 1e-12)
                ASSERT_GT(ys[i], ys[i - 1]) << i;
            else
                ASSERT_GE(ys[i], 0.0) << i;
        }
        for (int i = 0; i < nBelow; ++i)
            ASSERT_EQ(ys[i], ys[i + 1] * 0.999999999);
        for (int i = nBelow + c.nMain; i < t.size(); ++i)
            ASSERT_EQ(ys[i], ys[i - 1] * 1.000000001);
        // Solved samples: the triode current where its curve meets the AC load line.
        for (int i = nBelow; i < nBelow + c.nMain; i += 25)
            EXPECT_NEAR(ys[i], bisectLoadLineCurrent(s, xs[i]), 1e-9) << xs[i];
    }
}

TEST(TriodeGainStage, CathodeAndGridCurrentTablesSolveTheirEquations)
{
    TGSUnbypassedCathode s("ECC83", secondStage());
    s.buildTables(1.0);
    ASSERT_EQ(s.cathodeTable.size(), 7021);
    ASSERT_EQ(s.gridCurrentTable.size(), 703);
    EXPECT_EQ(s.relaxationFactor, 1.0);
    // Self-bias Vk = Rk Ip(Vin - Vk).
    for (int i = 0; i < s.cathodeTable.size(); i += 13)
    {
        const double a = s.cathodeTable.xsData()[i];
        const double vk = s.cathodeTable.ysData()[i];
        ASSERT_NEAR(vk, 2200 * s.plateCurrentTable.lookup(a - vk), 1e-4) << a;
    }
    // Grid law Ig = 1.5e-4 u (u + 1) with u the grid-cathode voltage.
    int conducting = 0;
    for (int i = 0; i < s.gridCurrentTable.size(); ++i)
    {
        const double a = s.gridCurrentTable.xsData()[i];
        const double ig = s.gridCurrentTable.ysData()[i];
        if (a <= s.conductionThreshold)
        {
            EXPECT_EQ(ig, 0.0) << a;
        }
        if (ig == 0.0)
            continue;
        ++conducting;
        const double vg = a - s.gridResistor * ig;
        const double u = vg - (2200 * ig + s.cathodeTable.lookup(vg));
        ASSERT_NEAR(1.5e-4 * u * (u + 1), ig, 1e-3 * ig) << a;
    }
    EXPECT_GT(conducting, 600);
    // The threshold: the first whole volt above its cathode voltage, less one.
    const double n = s.conductionThreshold + 1;
    EXPECT_GT(n, s.cathodeTable.lookup(n));
    EXPECT_LE(n - 1, s.cathodeTable.lookup(n - 1));
}

TEST(TriodeGainStage, GridVoltageSolvesTheGridLaw)
{
    const TGSBypassedCathode s("ECC83", inputStage());
    for (double vk : {0.0, 1.47, 10.0})
    {
        for (double above : {1e-3, 0.1, 1.0, 10.0, 100.0})
        {
            const double a = vk + above;
            const double vg = s.gridVoltage(a, vk);
            EXPECT_GT(vg, vk);
            EXPECT_LT(vg, a);
            const double u = vg - vk;
            const double ig = (a - vg) * s.inverseGridResistor;
            EXPECT_NEAR(ig, 1.5e-4 * u * (u + 1), 1e-9 * ig + 1e-15) << a << " " << vk;
        }
        EXPECT_NEAR((vk - s.gridVoltage(vk, vk)) * s.inverseGridResistor, 0.0, 1e-15);
    }
}

TEST(TriodeGainStage, FilterPresets)
{
    TGSBypassedCathode charged("ECC83", inputStage());
    EXPECT_EQ(charged.couplingFilter.processOutput(351), 1e-25);
    TGSBypassedCathode empty("ECC83", inputStage());
    const double k = empty.couplingFilter.coefficient;
    EXPECT_EQ(empty.couplingFilter.processOutput(0), -351 * k + 1e-25);
    // Coupling R = Zout + series + load, C = coupling capacitor.
    const double rc = (empty.outputImpedance + 324014.89) * 4.7e-8;
    EXPECT_NEAR(k, rc / (rc + 1 / rate), 1e-15);
    EXPECT_NEAR(empty.inputFilter.a, (1 / rate) / (78000 * empty.inputCapacitance + 1 / rate), 1e-15);
    EXPECT_FALSE(empty.couplingFilter.conducting);
    EXPECT_EQ(empty.upstreamCoupling, nullptr);
    EXPECT_FALSE(empty.gridConductionEnabled);
}

TEST(TriodeGainStage, PlateFilterOnlyWithAPlateCapacitor)
{
    TGSBypassedCathode none("ECC83", inputStage());
    EXPECT_FALSE(none.hasPlateFilter);
    EXPECT_EQ(none.plateFilter.processInput(5.0), 5.0 + 1e-25); // passes through
    none.sampleRate = 2 * rate;
    none.updateSampleRate();
    EXPECT_EQ(none.plateFilter.sampleRate, rate); // skipped

    TGSUnbypassedCathode with("ECC83", leadThirdStage());
    EXPECT_TRUE(with.hasPlateFilter);
    EXPECT_EQ(with.plateFilter.R, with.outputImpedance);
    EXPECT_EQ(with.plateFilter.C, 4.7e-10);
    const double rc = with.outputImpedance * 4.7e-10;
    EXPECT_NEAR(with.plateFilter.a, (1 / rate) / (rc + 1 / rate), 1e-15);
}

TEST(TriodeGainStage, RateDoublingHalvesTInEveryCoefficientAndKeepsTheRest)
{
    TGSUnbypassedCathode s("ECC83", leadThirdStage());
    s.buildTables(0.025);
    s.couplingFilter.processOutput(10);
    s.inputFilter.processInput(3);
    s.couplingFilter.conductionCoefficient = 0.25;
    const TGSUnbypassedCathode before(s);
    const double inputState = s.inputFilter.y;
    const double couplingState = s.couplingFilter.previousOutput;

    s.sampleRate = 2 * rate;
    s.updateSampleRate();
    // For a = T / (RC + T), RC / T = 1/a - 1 doubles; for k = RC / (RC + T), k / (1 - k).
    auto ratioLow = [](double a) { return 1 / a - 1; };
    auto ratioHigh = [](double k) { return k / (1 - k); };
    EXPECT_NEAR(ratioLow(s.inputFilter.a), 2 * ratioLow(before.inputFilter.a),
                1e-9 * ratioLow(s.inputFilter.a));
    EXPECT_NEAR(ratioLow(s.plateFilter.a), 2 * ratioLow(before.plateFilter.a),
                1e-9 * ratioLow(s.plateFilter.a));
    EXPECT_NEAR(ratioHigh(s.couplingFilter.coefficient), 2 * ratioHigh(before.couplingFilter.coefficient),
                1e-9 * ratioHigh(s.couplingFilter.coefficient));
    EXPECT_EQ(s.couplingFilter.T, 0.5 / rate);
    EXPECT_EQ(s.couplingFilter.conductionCoefficient, 0.25);
    EXPECT_EQ(s.inputFilter.y, inputState);
    EXPECT_EQ(s.couplingFilter.previousOutput, couplingState);
    EXPECT_EQ(s.quiescentPlateVoltage, before.quiescentPlateVoltage);
    EXPECT_EQ(s.conductionThreshold, before.conductionThreshold);
    EXPECT_TRUE(s.plateCurrentTable.sharesSamplesWith(before.plateCurrentTable));
    EXPECT_TRUE(s.transferTable.sharesSamplesWith(before.transferTable));

    TGSBypassedCathode b("ECC83", inputStage());
    const double ci = b.cathodeImpedance;
    b.sampleRate = 2 * rate;
    b.updateSampleRate();
    EXPECT_NEAR(1800 / b.cathodeImpedance - 1, 2 * (1800 / ci - 1), 1e-9 * (1800 / ci));
}

TEST(TriodeGainStage, ReplacingTheGridResistorRederivesTheInputFilter)
{
    TGSBypassedCathode s("ECC83", driverStage());
    s.inputFilter.processInput(2.0);
    const double state = s.inputFilter.y;
    s.setGridResistor(750000);
    EXPECT_EQ(s.gridResistor, 750000);
    EXPECT_EQ(s.inverseGridResistor, 1 / 750000.0);
    EXPECT_EQ(s.inputFilter.R, 750000);
    EXPECT_EQ(s.inputFilter.C, s.inputCapacitance);
    EXPECT_NEAR(s.inputFilter.a, (1 / rate) / (750000 * s.inputCapacitance + 1 / rate), 1e-15);
    EXPECT_EQ(s.inputFilter.y, state);
}

TEST(TriodeGainStage, UpstreamCouplingWhileTheGridConducts)
{
    TGSBypassedCathode upstream("ECC83", inputStage());
    upstream.couplingFilter.gridSeriesResistance = 470000;
    TGSBypassedCathode s("ECC83", driverStage());
    s.upstreamCoupling = &upstream.couplingFilter;
    CouplingHighPass& f = upstream.couplingFilter;

    // Not enabled: no side effect at all.
    for (int i = 0; i < 1000; ++i)
        s.processSample(20.0);
    EXPECT_FALSE(f.conducting);
    EXPECT_EQ(f.conductionCoefficient, 0.0);

    s.gridConductionEnabled = true;
    s.updateUpstreamCoupling(0.5, 1e-4);
    ASSERT_TRUE(f.conducting);
    // Independent: charging resistance source + (load || (series + vgk / ig)).
    const double rGrid = 470000 + 0.5 / 1e-4;
    const double rCharge = f.sourceResistance + 1 / (1 / f.loadResistance + 1 / rGrid);
    EXPECT_NEAR(f.conductionCoefficient, rCharge * f.C / (rCharge * f.C + f.T), 1e-12);
    EXPECT_LT(f.conductionCoefficient, f.coefficient);

    s.cathodeVoltage = 0;
    s.processSample(-1.0); // below the cathode: no conduction
    EXPECT_FALSE(f.conducting);
    s.processSample(20.0);
    EXPECT_TRUE(f.conducting);

    // Enabled but not wired: nothing to update, no crash.
    TGSBypassedCathode alone("ECC83", driverStage());
    alone.gridConductionEnabled = true;
    EXPECT_TRUE(std::isfinite(alone.processSample(20.0)));
    EXPECT_TRUE(std::isfinite(alone.processSample(-20.0)));
}

// A zero, negative, denormal or NaN grid current would give an infinite or
// negative grid resistance and a NaN or out-of-range coefficient.
TEST(TriodeGainStage, UpstreamCouplingIgnoresGridCurrentsWithoutResistance)
{
    TGSBypassedCathode upstream("ECC83", inputStage());
    TGSBypassedCathode s("ECC83", driverStage());
    s.upstreamCoupling = &upstream.couplingFilter;
    s.gridConductionEnabled = true;
    CouplingHighPass& f = upstream.couplingFilter;
    for (double ig : {0.0, -1e-9, -6e-7, 1e-310, 1e-300, std::numeric_limits<double>::quiet_NaN()})
    {
        f.conducting = true;
        s.updateUpstreamCoupling(1.0, ig);
        const double k = f.conducting ? f.conductionCoefficient : f.coefficient;
        EXPECT_TRUE(std::isfinite(k)) << ig;
        EXPECT_GE(k, 0.0) << ig;
        EXPECT_LE(k, 1.0) << ig;
        EXPECT_TRUE(std::isfinite(f.processOutput(1.0)));
    }
}

TEST(TriodeGainStage, UnknownTubeNameFallsBackToECC83)
{
    TGSBypassedCathode s("ecc83", inputStage());
    ASSERT_NE(s.model, nullptr);
    EXPECT_EQ(s.model->mu, 94.08);
    EXPECT_EQ(s.tubeName, "ecc83");
    EXPECT_NEAR(s.quiescentPlateVoltage, 170.0, 0.05);
}
