#include "tubes/TGSBypassedCathode.h"

#include <utility>

TGSBypassedCathode::TGSBypassedCathode(std::string name, const StageComponents& c)
    : TriodeGainStage(std::move(name), c)
{
    computeTopologyValues();
    completeConstruction(true);
}

// The plate-current table depends only on values a copy has in common with
// its source, so the source's arrays replace the solve.
TGSBypassedCathode::TGSBypassedCathode(const TGSBypassedCathode& source)
    : TriodeGainStage(source.tubeName, source.components())
{
    computeTopologyValues();
    completeConstruction(false);
    plateCurrentTable = source.plateCurrentTable;
}

// Rac = Rp || RL, RL = series + load:
//   Zout = rp Rp / (rp + Rp),  gain = mu Rac / (rp + Rac)
void TGSBypassedCathode::computeTopologyValues() noexcept
{
    const double mu = model->mu;
    const double rp = model->rp;
    const double rL = seriesResistor + loadResistor;
    const double rAc = 1.0 / (1.0 / plateResistor + 1.0 / rL);
    outputImpedance = rp * plateResistor / (rp + plateResistor);
    gain = mu * rAc / (rp + rAc);
    outputDivider = rL / (rL + outputImpedance);
    cathodeImpedance = cathodeResistor / (cathodeResistor * cathodeCapacitor * sampleRate + 1.0);
    acLoadResistance = rAc;
}

void TGSBypassedCathode::setCathodeCapacitor(double ck) noexcept
{
    cathodeCapacitor = ck;
    computeTopologyValues();
    updateInputCapacitance();
    inputFilter.setup(gridResistor, inputCapacitance, inputFilter.sampleRate);
}
