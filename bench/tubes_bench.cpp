// Cost of building the amplifier's tube stages and of their per-sample
// kernels. Prints figures; nothing here passes or fails.
//
//   zrv4-bench-tubes [repeats]
#include "tubes/TGSBypassedCathode.h"
#include "tubes/TGSCathodeFollower.h"
#include "tubes/TGSUnbypassedCathode.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

constexpr double innerRate = 44100.0 * 4;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct StageSpec
{
    const char* name;
    int topology; // 0 bypassed, 1 unbypassed, 2 follower
    StageComponents components;
    double relaxation;
};

// The engine's stages, grid resistances rounded.
const StageSpec stages[] = {
    {"inputStage", 0, {351, 220000, 1800, 1e-06, 78000, 0, 0, 324014.89, 4.7e-08, 0, innerRate}, 0},
    {"leadSecondStage", 0, {354, 120000, 1800, 1e-06, 510000, 0, 470000, 1000000, 2.2e-08, 0, innerRate}, 0},
    {"secondStage", 1, {351, 120000, 2200, 1e-06, 42500, 0, 2200000, 287000, 2.2e-08, 0, innerRate}, 1.0},
    {"leadThirdStage", 1, {354, 120000, 39000, 0, 370000, 0, 0, 287000, 2.2e-08, 4.7e-10, innerRate}, 0.025},
    {"driverStage", 0, {352, 120000, 1800, 1e-06, 400000, 0, 0, 1e9, 0, 0, innerRate}, 0},
    {"driverFollower", 2, {352, 0, 120000, 0, 120000, 0, 0, 60000, 1e-06, 0, innerRate}, 0.02},
    {"outputStage", 1, {352, 220000, 2200, 1e-06, 95671.51, 0, 0, 1e9, 0, 0, innerRate}, 1.0},
    {"outputFollower", 2, {352, 0, 122200, 1e-06, 220000, 0, 0, 250000, 1e-07, 0, innerRate}, 0.025},
};

double sink = 0.0; // keeps results observable

// Seeded noise plus a guitar-like tone, in volts at a stage's grid.
std::vector<double> testSignal(int count, double bias, double amplitude)
{
    std::vector<double> x(count);
    unsigned state = 12345u;
    for (int i = 0; i < count; ++i)
    {
        state = state * 1664525u + 1013904223u;
        const double noise = (state >> 8) * (1.0 / 16777216.0) - 0.5;
        x[i] = bias + amplitude * (std::sin(2 * M_PI * 196.0 * i / innerRate) + 0.05 * noise);
    }
    return x;
}

template <typename Stage> double nanosecondsPerSample(Stage& s, const std::vector<double>& x)
{
    const auto start = Clock::now();
    double acc = 0;
    for (double v : x)
        acc += s.processSample(v);
    sink += acc;
    return millisecondsSince(start) * 1e6 / x.size();
}
} // namespace

int main(int argc, char** argv)
{
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::printf("Building each stage (best of %d), ms: construct | buildTables | copy\n", repeats);
    double total = 0, totalCopies = 0;
    for (const StageSpec& spec : stages)
    {
        double construct = 1e9, tables = 1e9, copy = 1e9;
        for (int r = 0; r < repeats; ++r)
        {
            auto t0 = Clock::now();
            if (spec.topology == 0)
            {
                TGSBypassedCathode s("ECC83", spec.components);
                construct = std::min(construct, millisecondsSince(t0));
                tables = 0;
                t0 = Clock::now();
                TGSBypassedCathode c(s);
                copy = std::min(copy, millisecondsSince(t0));
                sink += c.plateCurrentTable.lookup(0);
            }
            else if (spec.topology == 1)
            {
                TGSUnbypassedCathode s("ECC83", spec.components);
                construct = std::min(construct, millisecondsSince(t0));
                t0 = Clock::now();
                s.buildTables(spec.relaxation);
                tables = std::min(tables, millisecondsSince(t0));
                t0 = Clock::now();
                TGSUnbypassedCathode c(s);
                copy = std::min(copy, millisecondsSince(t0));
                sink += c.transferTable.lookup(0);
            }
            else
            {
                TGSCathodeFollower s("ECC83", spec.components);
                construct = std::min(construct, millisecondsSince(t0));
                t0 = Clock::now();
                s.buildTables(spec.relaxation);
                tables = std::min(tables, millisecondsSince(t0));
                t0 = Clock::now();
                TGSCathodeFollower c(s);
                copy = std::min(copy, millisecondsSince(t0));
                sink += c.transferTable.lookup(0);
            }
        }
        std::printf("  %-16s %8.3f | %8.3f | %8.4f\n", spec.name, construct, tables, copy);
        total += construct + tables;
        totalCopies += copy;
    }
    // The engine builds these eight (and copies driverStage twice); the
    // second engine copies every stage.
    std::printf("Eight stages built with their tables: %.1f ms; their copies: %.3f ms (%.4f ms each)\n",
                total, totalCopies, totalCopies / 8);

    const int n = static_cast<int>(innerRate * 4); // four seconds at the inner rate
    TGSBypassedCathode bypassed("ECC83", stages[0].components);
    TGSUnbypassedCathode unbypassed("ECC83", stages[2].components);
    unbypassed.buildTables(1.0);
    TGSCathodeFollower follower("ECC83", stages[5].components);
    follower.buildTables(0.02);
    const auto quiet = testSignal(n, 0.0, 0.5);
    const auto loud = testSignal(n, 0.0, 20.0);
    const auto plate = testSignal(n, 200.0, 60.0);
    const double nsBypassed = nanosecondsPerSample(bypassed, quiet);
    const double nsBypassedLoud = nanosecondsPerSample(bypassed, loud);
    const double nsUnbypassed = nanosecondsPerSample(unbypassed, quiet);
    const double nsUnbypassedLoud = nanosecondsPerSample(unbypassed, loud);
    const double nsFollower = nanosecondsPerSample(follower, plate);
    std::printf("processSample, ns per sample (4 s at %.0f Hz):\n", innerRate);
    std::printf("  bypassed   %6.2f  (driven into grid conduction %6.2f, ratio %.2f)\n", nsBypassed,
                nsBypassedLoud, nsBypassedLoud / nsBypassed);
    std::printf("  unbypassed %6.2f  (driven into grid conduction %6.2f, ratio %.2f)\n", nsUnbypassed,
                nsUnbypassedLoud, nsUnbypassedLoud / nsUnbypassed);
    std::printf("  follower   %6.2f\n", nsFollower);
    std::printf("(checksum %g)\n", sink);
    return 0;
}
