#include "tubes/TGSCathodeFollower.h"

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

TGSCathodeFollower::TGSCathodeFollower(std::string name, const StageComponents& c)
    : TriodeGainStage(std::move(name), c)
{
    computeTopologyValues();
    completeConstruction(true);
}

TGSCathodeFollower::TGSCathodeFollower(const TGSCathodeFollower& source)
    : TriodeGainStage(source.tubeName, source.components())
{
    computeTopologyValues();
    completeConstruction(false);
    shareTablesOf(source);
}

// Rcl = RL || Rk:
//   Zout = 1 / ((mu+1) / (rp + Rp) + 1/Rk),  gain = mu Rcl / (rp + (mu+1) Rcl)
void TGSCathodeFollower::computeTopologyValues() noexcept
{
    const double mu = model->mu;
    const double rp = model->rp;
    const double rk = cathodeResistor;
    const double rL = seriesResistor + loadResistor;
    const double rCl = 1.0 / (1.0 / rL + 1.0 / rk);
    outputImpedance = 1.0 / ((mu + 1.0) / (rp + plateResistor) + 1.0 / rk);
    gain = mu * rCl / (rp + (mu + 1.0) * rCl);
    outputDivider = rL / (rL + outputImpedance);
    cathodeImpedance = rk / (rk * cathodeCapacitor * sampleRate + 1.0);
    acLoadResistance = 1.0 / (1.0 / (plateResistor + rk) + 1.0 / rL);
}

double TGSCathodeFollower::staticTransfer(double x) const noexcept
{
    double ig = 0.0;
    if (x > conductionThreshold)
    {
        ig = gridCurrentTable.lookup(x);
        x = x - gridResistor * ig;
    }
    return cathodeResistor * ig + cathodeTable.lookup(x);
}

// Over [0, B+] in steps of 0.1; inputs below 0 V read staticTransfer(0).
void TGSCathodeFollower::buildTransferTable()
{
    const double lo = 0.0;
    const double hi = supplyVoltage;
    const double step = 0.1;
    const int n = static_cast<int>(std::floor(std::fabs(lo - hi) / step)) + 1;
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

void TGSCathodeFollower::buildTables(double relaxation)
{
    buildCommonTables(relaxation);
    buildTransferTable();
}
