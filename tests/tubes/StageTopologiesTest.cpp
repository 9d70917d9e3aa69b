#include "tests/tubes/StageFixtures.h"
#include "tubes/TGSBypassedCathode.h"
#include "tubes/TGSCathodeFollower.h"
#include "tubes/TGSUnbypassedCathode.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

using namespace stage_fixtures;

// Counts every allocation of this test program, to prove the kernels make none.
// The replaced new and delete are a malloc/free pair; GCC cannot see that
// once it inlines them into their callers.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace
{
std::atomic<long> allocations{0};
}
void* operator new(std::size_t size)
{
    ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace
{
// Guitar-like test signal around a bias.
double signal(int n, double bias, double amplitude)
{
    return bias + amplitude * (std::sin(0.0031 * n) + 0.3 * std::sin(0.0173 * n));
}

void expectSameTables(const TriodeGainStage& a, const TriodeGainStage& b)
{
    EXPECT_TRUE(a.plateCurrentTable.sharesSamplesWith(b.plateCurrentTable));
    EXPECT_TRUE(a.cathodeTable.sharesSamplesWith(b.cathodeTable));
    EXPECT_TRUE(a.gridCurrentTable.sharesSamplesWith(b.gridCurrentTable));
    EXPECT_TRUE(a.transferTable.sharesSamplesWith(b.transferTable));
}

// The shared arrays are those a stage built from scratch would compute.
void expectIdenticalArrays(const SplineTable& a, const SplineTable& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (int i = 0; i < a.size(); ++i)
    {
        ASSERT_EQ(a.xsData()[i], b.xsData()[i]) << i;
        ASSERT_EQ(a.ysData()[i], b.ysData()[i]) << i;
        ASSERT_EQ(a.secondDerivativesData()[i], b.secondDerivativesData()[i]) << i;
    }
}
} // namespace

TEST(TGSBypassedCathode, ConstantInputSettlesAtTheOperatingPoint)
{
    TGSBypassedCathode s("ECC83", inputStage());
    double out = 0;
    for (int i = 0; i < 200000; ++i)
        out = s.processSample(0.0);
    const double ip = s.plateCurrentTable.lookup(-s.cathodeVoltage);
    EXPECT_NEAR(s.cathodeVoltage, 1800 * ip, 1e-9);
    // The plate-current table's load line runs through the operating point.
    EXPECT_NEAR(s.cathodeVoltage, 1800 * s.quiescentPlateCurrent, 0.01);
    // Within the 0.01 V of the cathode, scaled by Rp / Rk.
    EXPECT_NEAR(out, 351 - 220000 * s.quiescentPlateCurrent, 1.3);
}

TEST(TGSBypassedCathode, GridConductionRaisesTheCathodeAndLimitsThePlate)
{
    TGSBypassedCathode s("ECC83", inputStage());
    for (int i = 0; i < 200000; ++i)
        s.processSample(0.0);
    const double biasCathode = s.cathodeVoltage;
    double out = 0;
    for (int i = 0; i < 200000; ++i)
        out = s.processSample(30.0);
    EXPECT_GT(s.cathodeVoltage, biasCathode);
    // Saturated: the current is limited by the AC load line at vpk = 0.
    EXPECT_LT(out, 351 - 220000 * s.quiescentPlateCurrent);
    EXPECT_GT(out, 351 - 220000 * s.acLoadLineIntercept * 1.001);
}

TEST(TGSBypassedCathode, SetCathodeCapacitorKeepsPointTablesAndStates)
{
    TGSBypassedCathode s("ECC83", inputStage());
    for (int i = 0; i < 1000; ++i)
        s.couplingFilter.processOutput(s.processSample(s.inputFilter.processInput(signal(i, 0, 2))));
    const double vk = s.cathodeVoltage;
    const double couplingState = s.couplingFilter.previousOutput;
    const double inputState = s.inputFilter.y;
    const double point = s.quiescentPlateVoltage;
    const auto table = s.plateCurrentTable;
    s.setCathodeCapacitor(23e-6);
    EXPECT_EQ(s.cathodeCapacitor, 23e-6);
    EXPECT_NEAR(s.cathodeImpedance, 1800 / (1800 * 23e-6 * rate + 1), 1e-12);
    EXPECT_NEAR(s.inputFilter.a, (1 / rate) / (78000 * s.inputCapacitance + 1 / rate), 1e-15);
    EXPECT_EQ(s.cathodeVoltage, vk);
    EXPECT_EQ(s.couplingFilter.previousOutput, couplingState);
    EXPECT_EQ(s.inputFilter.y, inputState);
    EXPECT_EQ(s.quiescentPlateVoltage, point);
    EXPECT_TRUE(s.plateCurrentTable.sharesSamplesWith(table));
}

TEST(TGSBypassedCathode, CopyMatchesItsSourceAndIsNotWired)
{
    TGSBypassedCathode upstream("ECC83", inputStage());
    auto source = std::make_unique<TGSBypassedCathode>("ECC83", driverStage());
    const TGSBypassedCathode fresh("ECC83", driverStage());
    source->upstreamCoupling = &upstream.couplingFilter;
    source->gridConductionEnabled = true;
    source->couplingFilter.gridSeriesResistance = 220000;
    TGSBypassedCathode twin(*source);
    for (int i = 0; i < 100; ++i)
        twin.processSample(signal(i, 0, 3));
    TGSBypassedCathode copy(*source);
    EXPECT_TRUE(copy.plateCurrentTable.sharesSamplesWith(source->plateCurrentTable));
    expectIdenticalArrays(copy.plateCurrentTable, fresh.plateCurrentTable);
    EXPECT_EQ(copy.upstreamCoupling, nullptr);
    EXPECT_FALSE(copy.gridConductionEnabled);
    EXPECT_EQ(copy.couplingFilter.gridSeriesResistance, 0.0);
    EXPECT_EQ(copy.model, &copy.tubeSelector.ecc83);

    std::weak_ptr<const std::vector<double>> samples = source->plateCurrentTable.ys;
    TGSBypassedCathode reference("ECC83", driverStage());
    source.reset(); // the copy's arrays outlive the source
    EXPECT_FALSE(samples.expired());
    for (int i = 0; i < 20000; ++i)
    {
        const double x = signal(i, 0, 30);
        ASSERT_EQ(copy.processSample(x), reference.processSample(x)) << i;
    }
}

TEST(TGSBypassedCathode, CopyWithANewGridResistor)
{
    const TGSBypassedCathode driver("ECC83", driverStage());
    TGSBypassedCathode rhythm(driver);
    rhythm.setGridResistor(450000);
    EXPECT_EQ(rhythm.inputCapacitance, driver.inputCapacitance);
    EXPECT_NE(rhythm.inputFilter.a, driver.inputFilter.a);
    TGSBypassedCathode again(rhythm);
    EXPECT_EQ(again.gridResistor, 450000);
    EXPECT_EQ(again.inputFilter.a, rhythm.inputFilter.a);
}

class UnbypassedStage : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        stage = new TGSUnbypassedCathode("ECC83", secondStage());
        stage->buildTables(1.0);
    }
    static void TearDownTestSuite()
    {
        delete stage;
        stage = nullptr;
    }
    static TGSUnbypassedCathode* stage;
};
TGSUnbypassedCathode* UnbypassedStage::stage = nullptr;

TEST_F(UnbypassedStage, TransferTableSizeAndPoints)
{
    TGSUnbypassedCathode out("ECC83", outputStage());
    out.buildTables(1.0);
    const SplineTable& t = out.transferTable;
    ASSERT_EQ(t.size(), 7040);
    EXPECT_EQ(t.xsData()[0], -352.0);
    EXPECT_NEAR(t.xsData()[7039], 351.9, 1e-9);
    for (int i = 0; i < t.size(); i += 97)
        EXPECT_EQ(t.ysData()[i], out.staticTransfer(t.xsData()[i]));
    // Below conduction the plate current satisfies the self-bias of the cathode.
    for (double x = -10; x < out.conductionThreshold; x += 0.7)
    {
        const double ip = (352 - out.staticTransfer(x)) / 220000;
        EXPECT_NEAR(out.cathodeTable.lookup(x), 2200 * ip, 1e-4) << x;
    }
}

TEST_F(UnbypassedStage, ThresholdTakesTheTableAndAboveItTheTablesAgree)
{
    TGSUnbypassedCathode& s = *stage;
    TGSBypassedCathode upstream("ECC83", inputStage());
    s.upstreamCoupling = &upstream.couplingFilter;
    s.gridConductionEnabled = true;
    const double threshold = s.conductionThreshold;
    ASSERT_LT(threshold, 351);

    upstream.couplingFilter.conducting = true;
    EXPECT_EQ(s.processSample(threshold), s.transferTable.lookup(threshold));
    EXPECT_FALSE(upstream.couplingFilter.conducting); // strictly greater: table branch

    for (double x = threshold + 1e-9; x < threshold + 20; x += 0.013)
        ASSERT_NEAR(s.processSample(x), s.transferTable.lookup(x), 0.05) << x;
    for (double x = -351; x < threshold; x += 0.37)
        ASSERT_EQ(s.processSample(x), s.transferTable.lookup(x)) << x;

    s.processSample(threshold + 10);
    EXPECT_TRUE(upstream.couplingFilter.conducting);
    EXPECT_GT(upstream.couplingFilter.conductionCoefficient, 0.0);
    EXPECT_LT(upstream.couplingFilter.conductionCoefficient, upstream.couplingFilter.coefficient);
    s.upstreamCoupling = nullptr;
    s.gridConductionEnabled = false;
}

// Just above the threshold the spline of the grid current can read zero or
// overshoot below zero while vgk is positive; that must not reach the division
// of the coupling update. The grid-current table is replaced by such readings.
TEST_F(UnbypassedStage, ZeroOrNegativeGridCurrentLeavesTheUpstreamCoefficientSound)
{
    TGSBypassedCathode upstream("ECC83", inputStage());
    for (double reading : {0.0, -1e-12, -6e-7})
    {
        TGSUnbypassedCathode s(*stage);
        auto xs = std::make_shared<std::vector<double>>(std::vector<double>{0.0, 175.5, 351.0});
        auto ys = std::make_shared<std::vector<double>>(3, reading);
        s.gridCurrentTable = SplineTable(ys, 175.5, 3, xs);
        s.upstreamCoupling = &upstream.couplingFilter;
        s.gridConductionEnabled = true;
        int reached = 0;
        for (double x = s.conductionThreshold + 1e-6; x < s.conductionThreshold + 30; x += 0.01)
        {
            const double vgk =
                x - (s.cathodeResistor * reading + s.cathodeTable.lookup(x - s.gridResistor * reading));
            reached += vgk > 0;
            upstream.couplingFilter.conducting = true;
            upstream.couplingFilter.conductionCoefficient = 0.5;
            EXPECT_TRUE(std::isfinite(s.processSample(x)));
            const CouplingHighPass& f = upstream.couplingFilter;
            const double k = f.conducting ? f.conductionCoefficient : f.coefficient;
            ASSERT_TRUE(std::isfinite(k)) << reading << " " << x;
            ASSERT_GE(k, 0.0) << reading << " " << x;
            ASSERT_LE(k, 1.0) << reading << " " << x;
        }
        EXPECT_GT(reached, 100) << reading; // the guarded case was exercised
    }
}

TEST_F(UnbypassedStage, NoConductionSideEffectsWhileDisabled)
{
    TGSUnbypassedCathode& s = *stage;
    TGSBypassedCathode upstream("ECC83", inputStage());
    s.upstreamCoupling = &upstream.couplingFilter;
    for (int i = 0; i < 5000; ++i)
        s.processSample(signal(i, 0, 60));
    EXPECT_FALSE(upstream.couplingFilter.conducting);
    EXPECT_EQ(upstream.couplingFilter.conductionCoefficient, 0.0);
    s.upstreamCoupling = nullptr;
}

TEST_F(UnbypassedStage, CopySharesTablesAndGivesTheSameOutput)
{
    const TGSUnbypassedCathode& source = *stage;
    TGSUnbypassedCathode copy(source);
    expectSameTables(copy, source);
    EXPECT_EQ(copy.relaxationFactor, 1.0);
    EXPECT_EQ(copy.conductionThreshold, source.conductionThreshold);
    TGSUnbypassedCathode fresh("ECC83", secondStage());
    fresh.buildTables(1.0);
    expectIdenticalArrays(copy.cathodeTable, fresh.cathodeTable);
    expectIdenticalArrays(copy.gridCurrentTable, fresh.gridCurrentTable);
    expectIdenticalArrays(copy.transferTable, fresh.transferTable);
    for (int i = 0; i < 20000; ++i)
    {
        const double x = signal(i, 0, 40);
        ASSERT_EQ(copy.couplingFilter.processOutput(copy.processSample(copy.inputFilter.processInput(x)) *
                                                    copy.outputDivider),
                  fresh.couplingFilter.processOutput(fresh.processSample(fresh.inputFilter.processInput(x)) *
                                                     fresh.outputDivider))
            << i;
    }
}

TEST(TGSCathodeFollower, ConstantInputDecaysWithTheCouplingTimeConstant)
{
    TGSCathodeFollower s("ECC83", driverFollower());
    s.buildTables(0.02);
    EXPECT_EQ(s.transferTable.size(), 3521);
    const double y = s.staticTransfer(200);
    const double first = s.processSample(200);
    EXPECT_NEAR(first, (y - 352) * s.couplingFilter.coefficient, 1e-9);
    const double rc = (s.outputImpedance + 60000) * 1e-6;
    const int tau = static_cast<int>(std::lround(rc * rate));
    double out = first;
    for (int i = 0; i < tau; ++i)
        out = s.processSample(200);
    EXPECT_NEAR(out / first, std::exp(-1.0), 0.01);
    for (int i = 0; i < 20 * tau; ++i)
        out = s.processSample(200);
    EXPECT_NEAR(out, 0.0, 1e-6);
}

TEST(TGSCathodeFollower, CathodeFollowsTheGridAndNegativeInputsReadZero)
{
    TGSCathodeFollower s("ECC83", outputFollower());
    s.buildTables(0.025);
    const double atZero = s.staticTransfer(0);
    for (double x : {-1e-3, -0.05, -5.0, -352.0, -1e6})
        EXPECT_EQ(s.transferTable.lookup(x), atZero) << x;
    double previous = s.staticTransfer(10);
    for (double x = 20; x < 340; x += 10)
    {
        const double vk = s.staticTransfer(x);
        EXPECT_GT(vk, previous);
        EXPECT_NEAR(vk, x, 10.0); // within a few volts of the grid
        previous = vk;
    }
}

TEST(TGSCathodeFollower, CopySharesTablesAndGivesTheSameOutput)
{
    auto source = std::make_unique<TGSCathodeFollower>("ECC83", driverFollower());
    source->buildTables(0.02);
    for (int i = 0; i < 100; ++i)
        source->processSample(signal(i, 200, 50));
    TGSCathodeFollower copy(*source);
    expectSameTables(copy, *source);
    EXPECT_EQ(copy.couplingFilter.previousInput, 352.0);
    EXPECT_EQ(copy.relaxationFactor, 0.02);
    TGSCathodeFollower fresh("ECC83", driverFollower());
    fresh.buildTables(0.02);
    expectIdenticalArrays(copy.transferTable, fresh.transferTable);
    source.reset();
    for (int i = 0; i < 20000; ++i)
    {
        const double x = signal(i, 200, 150);
        ASSERT_EQ(copy.processSample(x), fresh.processSample(x)) << i;
    }
}

TEST(StageKernels, ProcessingAllocatesNothing)
{
    TGSBypassedCathode input("ECC83", inputStage());
    TGSUnbypassedCathode second("ECC83", secondStage());
    second.buildTables(1.0);
    TGSCathodeFollower follower("ECC83", driverFollower());
    follower.buildTables(0.02);
    second.upstreamCoupling = &input.couplingFilter;
    second.gridConductionEnabled = true;
    const long before = allocations.load();
    double sum = 0;
    for (int i = 0; i < 10000; ++i)
    {
        double x = input.couplingFilter.processOutput(
            input.processSample(input.inputFilter.processInput(signal(i, 0, 5))));
        x = second.couplingFilter.processOutput(second.processSample(x) * second.outputDivider);
        sum += follower.plateFilter.processInput(follower.processSample(x + 200));
    }
    EXPECT_EQ(allocations.load(), before);
    EXPECT_TRUE(std::isfinite(sum));
}

TEST(StageKernels, UnbuiltTablesProcessWithoutFault)
{
    TGSUnbypassedCathode u("ECC83", outputStage());
    TGSCathodeFollower f("ECC83", outputFollower());
    for (double x : {-400.0, 0.0, 5.0, 400.0})
    {
        EXPECT_TRUE(std::isfinite(u.processSample(x)));
        EXPECT_TRUE(std::isfinite(f.processSample(x)));
    }
    TGSUnbypassedCathode copy(u); // copy of an unbuilt stage
    EXPECT_TRUE(std::isfinite(copy.processSample(1.0)));
}
