#include "tubes/TriodeGainStage.h"

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

namespace
{
// Shrinks the search step after each overshoot; twelve sixes, not 1/6.
constexpr double refinementFactor = 0.166666666666;
constexpr double solverTolerance = 1e-6;
// The point solvers converge in under a hundred steps for any sound
// component values; this bound only keeps a nonsensical stage (a zero
// resistor, a NaN) from hanging its constructor.
constexpr int solverStepLimit = 100000;
// The fixed-point builders give up on an abscissa after this many steps.
constexpr int fixedPointIterationLimit = 2750;

using SampleArray = std::vector<double>;

int gridPointCount(double lo, double hi, double step)
{
    return static_cast<int>(std::floor(std::fabs(lo - hi) / step)) + 1;
}

// The fixed-point builders store all their samples for any sound stage. Should
// more abscissas fail than the table has samples (a NaN in the curve), they
// stop and keep what they stored, instead of running on forever.
void storeTable(SplineTable& table, SplineTable::Samples ys, double step, int stored, SplineTable::Samples xs)
{
    if (stored > 0)
        table = SplineTable(std::move(ys), step, stored, std::move(xs));
    else
        table = SplineTable();
}
} // namespace

TriodeGainStage::TriodeGainStage(std::string name, const StageComponents& c)
{
    tubeName = std::move(name);
    model = tubeSelector.selectTube(tubeName);
    if (model == nullptr)
        model = tubeSelector.selectTube("ECC83");

    supplyVoltage = c.supplyVoltage;
    plateResistor = c.plateResistor;
    cathodeResistor = c.cathodeResistor;
    cathodeCapacitor = c.cathodeCapacitor;
    gridResistor = c.gridResistor;
    strayCapacitance = c.strayCapacitance;
    loadResistor = c.loadResistor;
    seriesResistor = c.seriesResistor;
    couplingCapacitor = c.couplingCapacitor;
    plateCapacitor = c.plateCapacitor;
    sampleRate = c.sampleRate;
    gridRangeTop = model->gridRangeTop;
    conductionThreshold = supplyVoltage;
    inverseGridResistor = 1.0 / gridResistor;
}

StageComponents TriodeGainStage::components() const noexcept
{
    return StageComponents{supplyVoltage,     plateResistor,    cathodeResistor, cathodeCapacitor,
                           gridResistor,      strayCapacitance, seriesResistor,  loadResistor,
                           couplingCapacitor, plateCapacitor,   sampleRate};
}

void TriodeGainStage::completeConstruction(bool tabulatePlateCurrent)
{
    updateInputCapacitance();
    createFilters();
    computeOperatingPoint();
    if (tabulatePlateCurrent)
        buildPlateCurrentTable(-30.0, gridRangeTop, 0.1);
}

void TriodeGainStage::updateInputCapacitance() noexcept
{
    // Miller: the grid-plate capacitance is seen multiplied by (gain + 1).
    inputCapacitance = (model->cgp + strayCapacitance) * (gain + 1.0) + model->cgk;
}

void TriodeGainStage::createFilters() noexcept
{
    inputFilter = GridLowPass(gridResistor, inputCapacitance, sampleRate);
    couplingFilter = CouplingHighPass(sampleRate, outputImpedance + seriesResistor, loadResistor,
                                      couplingCapacitor, supplyVoltage);
    hasPlateFilter = plateCapacitor > 0.0;
    plateFilter = GridLowPass(outputImpedance, hasPlateFilter ? plateCapacitor : 0.0, sampleRate);
}

void TriodeGainStage::updateSampleRate() noexcept
{
    inputFilter.updateSampleRate(sampleRate);
    couplingFilter.updateSampleRate(sampleRate);
    if (hasPlateFilter)
        plateFilter.updateSampleRate(sampleRate);
    cathodeImpedance = cathodeResistor / (cathodeResistor * cathodeCapacitor * sampleRate + 1.0);
}

void TriodeGainStage::setGridResistor(double resistance) noexcept
{
    gridResistor = resistance;
    inverseGridResistor = 1.0 / gridResistor;
    inputFilter.setup(gridResistor, inputCapacitance, sampleRate);
}

// Cathode self-bias line through two points, (V1, 1/Rk) at vgk = -1 V and
// (V2, 2/Rk) at vgk = -2 V, intersected with the DC load line
// I = (B+ - V) / (Rp + Rk).
void TriodeGainStage::computeOperatingPoint() noexcept
{
    const double i1 = 1.0 / cathodeResistor;
    const double v1 = solvePlateVoltage(-1.0, i1, 0.0, 100.0);
    const double i2 = 2.0 / cathodeResistor;
    const double v2 = solvePlateVoltage(-2.0, i2, 0.0, 100.0);
    const double s = (i2 - i1) / (v2 - v1);
    const double i0 = supplyVoltage / (plateResistor + cathodeResistor);
    const double m = -1.0 / (plateResistor + cathodeResistor);
    quiescentPlateVoltage = (i1 - s * v1 - i0) / (m - s);
    quiescentPlateCurrent = i1 + s * (quiescentPlateVoltage - v1);
    acLoadLineIntercept = quiescentPlateCurrent + quiescentPlateVoltage / acLoadResistance;
    acLoadLineSlope = quiescentPlateVoltage / (quiescentPlateCurrent - acLoadLineIntercept);
}

// Walks vpk up in steps until the current passes the target, then returns to
// the last point below it with a finer step.
double TriodeGainStage::solvePlateVoltage(double vgk, double targetCurrent, double vpkStart,
                                          double step) const noexcept
{
    const Triode& tube = *model;
    double vpk = vpkStart;
    double lastBelow = vpkStart;
    double current = tube.plateCurrent(vgk, vpk);
    for (int n = 0; std::fabs(current - targetCurrent) >= solverTolerance && n < solverStepLimit; ++n)
    {
        if (targetCurrent > current)
        {
            lastBelow = vpk;
            vpk += step;
        }
        else
        {
            step = step * refinementFactor;
            vpk = lastBelow;
        }
        current = tube.plateCurrent(vgk, vpk);
    }
    return vpk;
}

// The same walk for the intersection of the triode curve at vgk with the AC
// load line; returns the current there.
double TriodeGainStage::loadLineCurrent(double vgk, double vpkStart, double step) const noexcept
{
    const Triode& tube = *model;
    double vpk = vpkStart;
    double lastBelow = vpkStart;
    double current = tube.plateCurrent(vgk, vpk);
    double vLoad = (current - acLoadLineIntercept) * acLoadLineSlope;
    for (int n = 0; std::fabs(vpk - vLoad) >= solverTolerance && n < solverStepLimit; ++n)
    {
        if (vLoad > vpk)
        {
            lastBelow = vpk;
            vpk += step;
        }
        else
        {
            step = step * refinementFactor;
            vpk = lastBelow;
        }
        current = tube.plateCurrent(vgk, vpk);
        vLoad = (current - acLoadLineIntercept) * acLoadLineSlope;
    }
    return current;
}

// Solved on [lo, hi], extended to [-B+, +B+] with almost flat, strictly
// monotonic samples so that any grid-cathode voltage of the stage is inside.
void TriodeGainStage::buildPlateCurrentTable(double lo, double hi, double step)
{
    const double bPlus = supplyVoltage;
    const int nMain = gridPointCount(lo, hi, step);
    const int nBelow = static_cast<int>(std::floor(std::fabs((-bPlus - lo) / step)));
    const int nAbove = static_cast<int>(std::floor(std::fabs(hi - bPlus) / step));
    const int n = nBelow + nMain + nAbove;
    auto xsArray = std::make_shared<SampleArray>(n);
    auto ysArray = std::make_shared<SampleArray>(n);
    double* xs = xsArray->data();
    double* ys = ysArray->data();

    double v = lo;
    for (int j = nBelow; v < hi + 0.1 && j < n; ++j)
    {
        xs[j] = v;
        ys[j] = loadLineCurrent(v, 0.0, 100.0);
        v += step;
    }
    v = lo;
    for (int k = nBelow - 1; k >= 0; --k)
    {
        v -= step;
        xs[k] = v;
        ys[k] = ys[k + 1] * 0.999999999;
    }
    v = hi;
    for (int i = nBelow + nMain; i < n; ++i)
    {
        v += step;
        xs[i] = v;
        ys[i] = ys[i - 1] * 1.000000001;
    }
    plateCurrentTable = SplineTable(std::move(ysArray), step, n, std::move(xsArray));
}

namespace
{
// One abscissa of the cathode iteration, run from g = 0 with its first value
// taken as not converged; see buildCathodeTable.
struct CathodeChain
{
    double a;
    double g;
    double previous;
    double first; // value of the first iteration
    double last;  // value of the last iteration
    int iterations;
    bool done;
    bool converged; // false: given up after the iteration limit
};
} // namespace

// Self-bias without grid current: Vk = Rk * Ip(Vin - Vk), solved per grid
// voltage by damped fixed-point iteration with the relaxation factor r:
//
//   o = 0.5 (r Rk Ip(a - g) + (2 - r) g),  g <- o  until |o - previous| < 1e-6
//
// where previous is the value before, across abscissas too. Only the first
// test of an abscissa reads the value of the abscissa before; every later one
// reads its own values. So a few abscissas iterate side by side, which lets
// their table lookups overlap instead of waiting on one another, and are then
// resolved in order. The arithmetic is the same as one abscissa after another,
// and so are the samples.
void TriodeGainStage::buildCathodeTable(double lo, double hi, double step)
{
    const int n = gridPointCount(lo, hi, step);
    auto xsArray = std::make_shared<SampleArray>(n);
    auto ysArray = std::make_shared<SampleArray>(n);
    double* xs = xsArray->data();
    double* ys = ysArray->data();
    const SplineTable& plate = plateCurrentTable;
    const double scaledRk = relaxationFactor * cathodeResistor;
    const double keep = 2.0 - relaxationFactor;
    auto iterate = [&](double a, double g) { return 0.5 * (scaledRk * plate.lookup(a - g) + keep * g); };

    int stored = 0;
    int skipped = 0;
    double a = lo;
    double previous = 0.0;

    // The first abscissa on its own: its iteration count starts at 0, every
    // later one's at 1.
    {
        int iterations = 0;
        double g = 0.0;
        for (;;)
        {
            const double o = iterate(a, g);
            const bool converged = std::fabs(o - previous) < solverTolerance;
            const bool giveUp = !converged && iterations > fixedPointIterationLimit;
            previous = o;
            if (converged)
            {
                xs[0] = a;
                ys[0] = o;
                stored = 1;
                break;
            }
            if (giveUp)
            {
                ++skipped;
                break;
            }
            g = o;
            ++iterations;
        }
        a += step;
    }

    constexpr int width = 4;
    CathodeChain chains[width];
    while (stored < n && skipped <= n)
    {
        for (CathodeChain& c : chains)
        {
            c.a = a;
            a += step;
            c.first = iterate(c.a, 0.0);
            c.g = c.first;
            c.previous = c.first;
            c.iterations = 2;
            c.done = false;
        }
        for (bool running = true; running;)
        {
            running = false;
            for (CathodeChain& c : chains)
            {
                if (c.done)
                    continue;
                const double o = iterate(c.a, c.g);
                if (std::fabs(o - c.previous) < solverTolerance)
                {
                    c.done = true;
                    c.converged = true;
                }
                else if (c.iterations <= fixedPointIterationLimit)
                {
                    c.g = o;
                }
                else
                {
                    c.done = true;
                    c.converged = false;
                }
                ++c.iterations;
                c.previous = o;
                c.last = o;
                running |= !c.done;
            }
        }
        for (const CathodeChain& c : chains)
        {
            if (stored >= n || skipped > n)
                break;
            if (std::fabs(c.first - previous) < solverTolerance)
            {
                xs[stored] = c.a;
                ys[stored] = c.first;
                ++stored;
                previous = c.first;
            }
            else
            {
                // No sample when given up; the loop runs on past hi instead.
                if (c.converged)
                {
                    xs[stored] = c.a;
                    ys[stored] = c.last;
                    ++stored;
                }
                else
                {
                    ++skipped;
                }
                previous = c.last;
            }
        }
    }
    storeTable(cathodeTable, std::move(ysArray), step, stored, std::move(xsArray));
}

double TriodeGainStage::gridIteration(double a) noexcept
{
    if (cathodeTable.lookup(a) > a)
        return a;
    const double vg = gridVoltage(a, cathodeVoltage);
    gridCurrent = (a - vg) / gridResistor;
    cathodeVoltage = cathodeResistor * gridCurrent + cathodeTable.lookup(vg);
    return vg;
}

void TriodeGainStage::buildGridCurrentTable(double lo, double hi, double step)
{
    gridCurrent = 0.0;
    cathodeVoltage = cathodeTable.lookup(0.0);
    const int n = gridPointCount(lo, hi, step);
    auto xsArray = std::make_shared<SampleArray>(n);
    auto ysArray = std::make_shared<SampleArray>(n);
    double* xs = xsArray->data();
    double* ys = ysArray->data();

    int stored = 0;
    int iterations = 0;
    int skipped = 0;
    double a = lo;
    double previous = 0.0;
    while (stored < n)
    {
        const double vg = gridIteration(a);
        if (std::fabs(vg - previous) < solverTolerance)
        {
            xs[stored] = a;
            ys[stored] = gridCurrent;
            a += step;
            cathodeVoltage = 0.0;
            iterations = 0;
            ++stored;
        }
        else if (iterations > fixedPointIterationLimit)
        {
            a += step;
            iterations = 0;
            if (++skipped > n)
                break;
        }
        ++iterations;
        previous = vg;
    }
    storeTable(gridCurrentTable, std::move(ysArray), step, stored, std::move(xsArray));
}

// The first whole volt at which the grid rises above the cathode, less one.
void TriodeGainStage::findConductionThreshold() noexcept
{
    for (int n = 0; n < supplyVoltage; ++n)
    {
        if (n > cathodeTable.lookup(n))
        {
            conductionThreshold = n - 1;
            return;
        }
    }
}

void TriodeGainStage::buildCommonTables(double relaxation)
{
    relaxationFactor = relaxation;
    buildCathodeTable(-supplyVoltage, supplyVoltage, 0.1);
    buildGridCurrentTable(0.0, supplyVoltage, 0.5);
    findConductionThreshold();
}

void TriodeGainStage::shareTablesOf(const TriodeGainStage& source)
{
    plateCurrentTable = source.plateCurrentTable;
    cathodeTable = source.cathodeTable;
    gridCurrentTable = source.gridCurrentTable;
    transferTable = source.transferTable;
    relaxationFactor = source.relaxationFactor;
    conductionThreshold = source.conductionThreshold;
}
