#include "tubes/TGSUnbypassedCathode.h"

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

TGSUnbypassedCathode::TGSUnbypassedCathode(std::string name, const StageComponents& c)
    : TriodeGainStage(std::move(name), c)
{
    computeTopologyValues();
    completeConstruction(true);
}

TGSUnbypassedCathode::TGSUnbypassedCathode(const TGSUnbypassedCathode& source)
    : TriodeGainStage(source.tubeName, source.components())
{
    computeTopologyValues();
    completeConstruction(false);
    shareTablesOf(source);
}

// Rac = Rp || RL; the unbypassed Rk multiplies into the plate circuit:
//   Zout = (rp + (mu+1) Rk) Rp / (rp + Rp + (mu+1) Rk)
//   gain = mu Rac / (rp + Rac + (mu+1) Rk)
void TGSUnbypassedCathode::computeTopologyValues() noexcept
{
    const double mu = model->mu;
    const double rp = model->rp;
    const double rk = cathodeResistor;
    const double rL = seriesResistor + loadResistor;
    const double rAc = 1.0 / (1.0 / plateResistor + 1.0 / rL);
    outputImpedance = (rp + (mu + 1.0) * rk) * plateResistor / (rp + plateResistor + (mu + 1.0) * rk);
    gain = mu * rAc / (rp + rAc + (mu + 1.0) * rk);
    outputDivider = rL / (rL + outputImpedance);
    cathodeImpedance = rk / (rk * cathodeCapacitor * sampleRate + 1.0);
    acLoadResistance = 1.0 / (1.0 / (plateResistor + rk) + 1.0 / rL);
}

double TGSUnbypassedCathode::staticTransfer(double x) const noexcept
{
    double ig = 0.0;
    if (x > conductionThreshold)
    {
        ig = gridCurrentTable.lookup(x);
        x = x - gridResistor * ig;
    }
    const double vk = cathodeTable.lookup(x);
    const double vgk = x - (cathodeResistor * ig + vk);
    return supplyVoltage - plateResistor * plateCurrentTable.lookup(vgk);
}

// Over [-B+, +B+] in steps of 0.1 without the closing point: the count is
// trunc(|(lo - hi) / step|).
void TGSUnbypassedCathode::buildTransferTable()
{
    const double lo = -supplyVoltage;
    const double hi = supplyVoltage;
    const double step = 0.1;
    const int n = static_cast<int>(std::trunc(std::fabs((lo - hi) / step)));
    auto xsArray = std::make_shared<std::vector<double>>(n);
    auto ysArray = std::make_shared<std::vector<double>>(n);
    double* xs = xsArray->data();
    double* ys = ysArray->data();
    double a = lo;
    for (int i = 0; i < n; ++i)
    {
        xs[i] = a;
        ys[i] = staticTransfer(a);
        a += step;
    }
    transferTable = SplineTable(std::move(ysArray), step, n, std::move(xsArray));
}

void TGSUnbypassedCathode::buildTables(double relaxation)
{
    buildCommonTables(relaxation);
    buildTransferTable();
}
