#include "engine/ChannelBlocks.h"

#include <cmath>

namespace
{
// a || b
double parallel(double a, double b)
{
    return 1.0 / (1.0 / a + 1.0 / b);
}

StageComponents components(double supply, double plate, double cathode, double cathodeCapacitor, double grid,
                           double series, double load, double coupling, double plateCapacitor, double rate)
{
    return StageComponents{supply, plate, cathode,  cathodeCapacitor, grid, 0.0 /* stray */,
                           series, load,  coupling, plateCapacitor,   rate};
}

// Bright dividers: 2.2 MOhm over R2, 120 pF across the 2.2 MOhm.
constexpr double dividerTop = 2200000.0;
constexpr double brightCapacitor = 1.2e-10;
constexpr double gainPotentiometer = 500000.0;

// The filter states and conduction flags of a stage; everything else of a
// copied stage is recomputed from the same components by its copy
// constructor, with the same arithmetic.
void copyStates(TriodeGainStage& to, const TriodeGainStage& from) noexcept
{
    to.sampleRate = from.sampleRate;
    to.cathodeImpedance = from.cathodeImpedance;
    to.inputFilter = from.inputFilter;
    to.couplingFilter = from.couplingFilter;
    to.plateFilter = from.plateFilter;
    to.hasPlateFilter = from.hasPlateFilter;
    to.cathodeVoltage = from.cathodeVoltage;
    to.gridCurrent = from.gridCurrent;
    to.gridConductionEnabled = from.gridConductionEnabled;
}
} // namespace

template <class F, class... Blocks> void ChannelBlocks::forEachStage(F&& f, Blocks&... b) noexcept
{
    f(b.inputStage...);
    f(b.leadSecondStage...);
    f(b.secondStage...);
    f(b.leadThirdStage...);
    f(b.driverStage...);
    f(b.rhythmDriverStageOff...);
    f(b.rhythmDriverStageOn...);
    f(b.driverFollower...);
    f(b.outputStage...);
    f(b.outputFollower...);
}

template <class F, class... Blocks> void ChannelBlocks::forEachDivider(F&& f, Blocks&... b) noexcept
{
    f(b.rhythmDividerOff...);
    f(b.rhythmDividerOn...);
    f(b.cleanDivider...);
}

ChannelBlocks::ChannelBlocks(double rate, unsigned factor)
    : inputStage(tubeName, components(351, 220000, 1800, 1e-06, 78000, 0, 324014.89, 4.7e-08, 0, rate)),
      leadSecondStage(tubeName, components(354, 120000, 1800, 1e-06,
                                           parallel(inputStage.outputImpedance, 324014.89) + 470000, 470000,
                                           1000000, 2.2e-08, 0, rate)),
      secondStage(tubeName, components(351, 120000, 2200, 1e-06,
                                       parallel(parallel(inputStage.outputImpedance, 324014.89), 2200000),
                                       2200000, 287000, 2.2e-08, 0, rate)),
      leadThirdStage(tubeName, components(354, 120000, 39000, 0,
                                          parallel(leadSecondStage.outputImpedance + 470000, 1000000), 0,
                                          287000, 2.2e-08, 4.7e-10, rate)),
      driverStage(tubeName,
                  components(352, 120000, 1800, 1e-06,
                             parallel(leadThirdStage.outputImpedance, 287000) + 220000, 0, 1e9, 0, 0, rate)),
      rhythmDriverStageOff(driverStage), rhythmDriverStageOn(driverStage),
      driverFollower(tubeName,
                     components(352, 0, 120000, 0, driverStage.plateResistor, 0, 60000, 1e-06, 0, rate)),
      outputStage(tubeName, components(352, 220000, 2200, 1e-06, 95671.51, 0, 1e9, 0, 0, rate)),
      outputFollower(tubeName,
                     components(352, 0, 122200, 1e-06, outputStage.plateResistor, 0, 250000, 1e-07, 0, rate)),
      rhythmDividerOff(dividerTop, 287000, secondStage.outputImpedance, brightCapacitor, rate),
      rhythmDividerOn(dividerTop, 2200000, secondStage.outputImpedance, brightCapacitor, rate),
      cleanDivider(dividerTop, 287000, secondStage.outputImpedance, brightCapacitor, rate),
      rhythmModeDivider(&rhythmDividerOff),
      leadGainNetwork(static_cast<int>(factor), rate, inputStage.outputImpedance, gainPotentiometer,
                      leadSecondStage.inputCapacitance),
      rhythmGainNetwork(static_cast<int>(factor), rate, inputStage.outputImpedance, gainPotentiometer,
                        secondStage.inputCapacitance),
      cleanGainNetwork(static_cast<int>(factor), rate, inputStage.outputImpedance, gainPotentiometer,
                       secondStage.inputCapacitance),
      leadToneStack(static_cast<int>(factor), rate), cleanToneStack(static_cast<int>(factor), rate),
      rhythmToneStack(static_cast<int>(factor), rate), tableSet(std::make_shared<const int>(0))
{
    // Each stage's tables depend on that stage alone, so building them here,
    // after every stage exists, gives what building each right after its
    // construction gives.
    secondStage.buildTables(1.0);
    leadThirdStage.buildTables(0.025);
    // The Rhythm drivers hang behind the 2.2 MOhm series resistor and the
    // divider of their mode.
    rhythmDriverStageOff.setGridResistor(parallel(leadSecondStage.outputImpedance + 2200000, 287000) +
                                         220000);
    rhythmDriverStageOn.setGridResistor(parallel(leadSecondStage.outputImpedance + 2200000, 2200000) +
                                        220000);
    driverFollower.buildTables(0.02);
    outputStage.buildTables(1.0);
    outputFollower.buildTables(0.025);
    createPairs();

    // The tone stacks start gliding toward the default controls.
    leadToneStack.setControls(0.2857142857142857, 0.5, 0.5, 0.2222222222222222, 0.15384615384615385, 1.0);
    cleanToneStack.setControls(0.2857142857142857, 0.5, 0.5, 0.15384615384615385);
    rhythmToneStack.setControls(0.2857142857142857, 0.5, 0.5, 0.15384615384615385);

    wire();
}

ChannelBlocks::ChannelBlocks(const ChannelBlocks& src)
    : inputStage(src.inputStage), leadSecondStage(src.leadSecondStage), secondStage(src.secondStage),
      leadThirdStage(src.leadThirdStage), driverStage(src.driverStage),
      rhythmDriverStageOff(src.rhythmDriverStageOff), rhythmDriverStageOn(src.rhythmDriverStageOn),
      driverFollower(src.driverFollower), outputStage(src.outputStage), outputFollower(src.outputFollower),
      rhythmDividerOff(src.rhythmDividerOff), rhythmDividerOn(src.rhythmDividerOn),
      cleanDivider(src.cleanDivider), leadGainNetwork(src.leadGainNetwork),
      rhythmGainNetwork(src.rhythmGainNetwork), cleanGainNetwork(src.cleanGainNetwork),
      leadToneStack(src.leadToneStack), cleanToneStack(src.cleanToneStack),
      rhythmToneStack(src.rhythmToneStack), tableSet(src.tableSet)
{
    forEachStage(copyStates, *this, src);
    createPairs();
    wire();
    setRhythmMode(src.rhythmModeOn());
}

void ChannelBlocks::createPairs() noexcept
{
    driverPair = StagePair{&driverStage, nullptr, &driverFollower};
    rhythmDriverPair = StagePair{&rhythmDriverStageOff, nullptr, &driverFollower};
    outputPair = StagePair{nullptr, &outputStage, &outputFollower};
    rhythmModeDivider = &rhythmDividerOff;
}

void ChannelBlocks::wire() noexcept
{
    inputStage.couplingFilter.gridSeriesResistance = 470000;
    leadThirdStage.couplingFilter.gridSeriesResistance = 220000;
    rhythmDriverStageOff.couplingFilter.gridSeriesResistance = 220000;
    rhythmDriverStageOn.couplingFilter.gridSeriesResistance = 220000;

    leadSecondStage.upstreamCoupling = &inputStage.couplingFilter;
    secondStage.upstreamCoupling = &inputStage.couplingFilter;
    leadThirdStage.upstreamCoupling = &leadSecondStage.couplingFilter;
    driverStage.upstreamCoupling = &leadThirdStage.couplingFilter;
    rhythmDriverStageOn.upstreamCoupling = &secondStage.couplingFilter;
    rhythmDriverStageOff.upstreamCoupling = &secondStage.couplingFilter;
    driverFollower.upstreamCoupling = &driverStage.couplingFilter;
    outputStage.upstreamCoupling = &driverFollower.couplingFilter;
    outputFollower.upstreamCoupling = &outputStage.couplingFilter;

    leadThirdStage.gridConductionEnabled = true;
    driverStage.gridConductionEnabled = true;
    rhythmDriverStageOn.gridConductionEnabled = true;
    rhythmDriverStageOff.gridConductionEnabled = true;
}

void ChannelBlocks::setRhythmMode(bool on) noexcept
{
    rhythmModeDivider = on ? &rhythmDividerOn : &rhythmDividerOff;
    rhythmDriverPair.bypassed = on ? &rhythmDriverStageOn : &rhythmDriverStageOff;
}

void ChannelBlocks::setSampleRate(double rate, unsigned factor) noexcept
{
    forEachStage(
        [rate](TriodeGainStage& s) noexcept
        {
            s.sampleRate = rate;
            s.updateSampleRate();
        },
        *this);
    const int f = static_cast<int>(factor);
    cleanToneStack.setSampleRate(rate, f);
    rhythmToneStack.setSampleRate(rate, f);
    leadToneStack.setSampleRate(rate, f);
    cleanGainNetwork.setSampleRate(rate, f);
    rhythmGainNetwork.setSampleRate(rate, f);
    leadGainNetwork.setSampleRate(rate, f);
    forEachDivider([rate](BrightDivider& d) noexcept { d.updateSampleRate(rate); }, *this);
}

void ChannelBlocks::releaseCouplings() noexcept
{
    forEachStage([](TriodeGainStage& s) noexcept { s.couplingFilter.conducting = false; }, *this);
}

namespace
{
bool finite(const CouplingHighPass& f) noexcept
{
    return std::isfinite(f.previousInput) && std::isfinite(f.previousOutput) &&
           std::isfinite(f.conductionCoefficient);
}
} // namespace

bool ChannelBlocks::isFinite() const noexcept
{
    bool ok = true;
    forEachStage(
        [&ok](const TriodeGainStage& s) noexcept
        {
            ok = ok && finite(s.couplingFilter) && std::isfinite(s.inputFilter.y) &&
                 std::isfinite(s.plateFilter.y) && std::isfinite(s.cathodeVoltage) &&
                 std::isfinite(s.gridCurrent);
        },
        *this);
    forEachDivider([&ok](const BrightDivider& d) noexcept { ok = ok && finite(d.highPass); }, *this);
    return ok && leadGainNetwork.isFinite() && rhythmGainNetwork.isFinite() && cleanGainNetwork.isFinite() &&
           leadToneStack.isFinite() && cleanToneStack.isFinite() && rhythmToneStack.isFinite();
}

void ChannelBlocks::restoreStatesFrom(const ChannelBlocks& settled) noexcept
{
    forEachStage(
        [](TriodeGainStage& s, const TriodeGainStage& f) noexcept
        {
            s.inputFilter.y = f.inputFilter.y;
            s.plateFilter.y = f.plateFilter.y;
            s.couplingFilter.previousInput = f.couplingFilter.previousInput;
            s.couplingFilter.previousOutput = f.couplingFilter.previousOutput;
            s.cathodeVoltage = f.cathodeVoltage;
            s.gridCurrent = f.gridCurrent;
        },
        *this, settled);
    releaseCouplings();
    forEachDivider(
        [](BrightDivider& d, const BrightDivider& f) noexcept
        {
            d.highPass.previousInput = f.highPass.previousInput;
            d.highPass.previousOutput = f.highPass.previousOutput;
        },
        *this, settled);
    clearToneCircuits();
}

void ChannelBlocks::clearToneCircuits() noexcept
{
    leadGainNetwork.reset();
    rhythmGainNetwork.reset();
    cleanGainNetwork.reset();
    leadToneStack.reset();
    cleanToneStack.reset();
    rhythmToneStack.reset();
}
