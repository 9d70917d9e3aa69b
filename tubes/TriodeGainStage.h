#pragma once

#include "tubes/CouplingHighPass.h"
#include "tubes/GridLowPass.h"
#include "tubes/SplineTable.h"
#include "tubes/StageComponents.h"
#include "tubes/TubeSelector.h"

#include <cmath>
#include <string>

// Common part of the three triode stage topologies: tube model, component
// values, operating point, the plate-current table on the AC load line, the
// stage's RC filters and the grid-conduction law.
//
//            B+
//            |
//            Rp
//            |
//            +-- plate -- series R --||--+-- to the next grid
//            |                       C   |
//  in --Rg-- grid (triode)             load R
//            |                           |
//            Rk (|| Ck)                 gnd
//            |
//           gnd
//
// A topology's constructor fills the small-signal values (outputImpedance,
// gain, outputDivider, cathodeImpedance, acLoadResistance) and then calls
// completeConstruction(). The class has no virtual operations; the engine
// calls each topology's processSample on its concrete type.
class TriodeGainStage
{
  public:
    TriodeGainStage(const TriodeGainStage&) = delete;
    TriodeGainStage& operator=(const TriodeGainStage&) = delete;

    // The component values as given to the constructor (current values of
    // any that were changed since).
    StageComponents components() const noexcept;

    // Rate change: the engine writes sampleRate first. Recomputes filter
    // coefficients and cathodeImpedance; no state and no table changes.
    void updateSampleRate() noexcept;

    // Replaces the grid resistor and re-derives the input low-pass for it at
    // the stage's rate; the filter's state is kept.
    void setGridResistor(double resistance) noexcept;

    // Grid voltage under conduction, the positive root of
    //   (a - Vg) / Rg = 1.5e-4 u (u + 1),  u = Vg - vk,
    // for input a in front of the grid resistor and cathode voltage vk.
    inline double gridVoltage(double a, double vk) const noexcept
    {
        const double Rg = gridResistor;
        return (std::sqrt((240000.0 * a + 120000.0 + 9.0 * Rg - 240000.0 * vk) * Rg + 4e8) *
                    0.16666666666666666 -
                3333.333333333333 + (vk - 0.5) * Rg) *
               inverseGridResistor;
    }

    // Smallest grid current taken as conduction by updateUpstreamCoupling:
    // below it vgk / ig could overflow, and a zero or negative current (a
    // spline overshoot of the grid-current table) has no resistance at all.
    static constexpr double minimumGridCurrent = 1e-25;

    // While this grid conducts, the upstream coupling capacitor charges through
    // the grid path (series resistance + vgk / ig) in parallel with its load.
    inline void updateUpstreamCoupling(double vgk, double ig) noexcept
    {
        if (!gridConductionEnabled || upstreamCoupling == nullptr || !(vgk > 0.0))
            return;
        CouplingHighPass& f = *upstreamCoupling;
        if (!(ig > minimumGridCurrent))
        {
            f.conducting = false;
            return;
        }
        f.conducting = true;
        const double rGrid = f.gridSeriesResistance + vgk / ig + 1e-25;
        const double rCharge =
            f.loadResistance * rGrid / (f.loadResistance + rGrid) + 1e-25 + f.sourceResistance;
        f.chargeResistance = rCharge;
        f.conductionCoefficient = rCharge * f.C / (f.T + rCharge * f.C);
    }

    // Called by the kernels when this grid does not conduct.
    inline void releaseUpstreamCoupling() noexcept
    {
        if (gridConductionEnabled && upstreamCoupling != nullptr && upstreamCoupling->conducting)
            upstreamCoupling->conducting = false;
    }

    // Point solvers on the triode curve (both called with vpkStart 0, step 100).
    double solvePlateVoltage(double vgk, double targetCurrent, double vpkStart, double step) const noexcept;
    double loadLineCurrent(double vgk, double vpkStart, double step) const noexcept;

    // Table builders, each storing its table in the stage.
    void buildPlateCurrentTable(double lo, double hi, double step);
    void buildCathodeTable(double lo, double hi, double step);
    void buildGridCurrentTable(double lo, double hi, double step);
    void findConductionThreshold() noexcept;

    double gridRangeTop = 0.0;
    bool gridConductionEnabled = false;
    double sampleRate = 0.0;
    TubeSelector tubeSelector;
    std::string tubeName;
    Triode* model = nullptr;

    // components
    double supplyVoltage = 0.0;     // B+, V
    double plateResistor = 0.0;     // Rp, ohm
    double cathodeResistor = 0.0;   // Rk, ohm
    double cathodeCapacitor = 0.0;  // Ck, F
    double gridResistor = 0.0;      // Rg, ohm
    double strayCapacitance = 0.0;  // F
    double loadResistor = 0.0;      // ohm
    double seriesResistor = 0.0;    // ohm
    double couplingCapacitor = 0.0; // F
    double plateCapacitor = 0.0;    // F

    // derived values
    double inverseGridResistor = 0.0;
    double acLoadResistance = 0.0;
    double conductionThreshold = 0.0;
    double gain = 0.0;
    double outputImpedance = 0.0;
    double cathodeImpedance = 0.0;
    double inputCapacitance = 0.0;
    double outputDivider = 0.0;

    // filters
    CouplingHighPass couplingFilter;
    GridLowPass inputFilter;
    // Present only when hasPlateFilter (plateCapacitor > 0); otherwise its
    // coefficient is 1 and it passes its input through.
    GridLowPass plateFilter;
    bool hasPlateFilter = false;

    // operating point and AC load line Vpk = (I - intercept) * slope
    double quiescentPlateVoltage = 0.0;
    double quiescentPlateCurrent = 0.0;
    double acLoadLineSlope = 0.0;
    double acLoadLineIntercept = 0.0;

    SplineTable plateCurrentTable;
    SplineTable cathodeTable;
    SplineTable gridCurrentTable;
    SplineTable transferTable;

    double relaxationFactor = 0.0;

    // state
    double cathodeVoltage = 0.0;
    double gridCurrent = 0.0;
    CouplingHighPass* upstreamCoupling = nullptr; // not owned

  protected:
    // Common construction, steps before the topology's values. An unknown
    // tube name falls back to ECC83 (tubeName keeps the given name), so that
    // a stage always has a model.
    TriodeGainStage(std::string name, const StageComponents& c);
    ~TriodeGainStage() = default;

    // Miller capacitance, filters, operating point and, unless the caller
    // takes the plate-current table from a source stage, that table.
    void completeConstruction(bool tabulatePlateCurrent);

    // Common part of buildTables: cathode and grid-current tables and the
    // conduction threshold; the topology then builds its transfer table.
    void buildCommonTables(double relaxation);

    // Copy-construction part shared by the unbypassed and follower stages.
    void shareTablesOf(const TriodeGainStage& source);

    void createFilters() noexcept;
    void computeOperatingPoint() noexcept;
    void updateInputCapacitance() noexcept;

    // One step of the grid-conduction solution used by the grid-current table.
    double gridIteration(double a) noexcept;
};
