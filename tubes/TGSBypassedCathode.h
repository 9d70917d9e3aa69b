#pragma once

#include "tubes/TriodeGainStage.h"

#include <string>

// Common-cathode stage with the cathode resistor bypassed by Ck. The cathode
// node is a state updated every sample (backward Euler), so the stage needs
// only the plate-current table and is usable right after construction.
class TGSBypassedCathode : public TriodeGainStage
{
  public:
    TGSBypassedCathode(std::string name, const StageComponents& c);
    // Shares the source's plate-current table; filter states, cathodeVoltage
    // and the wiring are those of a fresh stage.
    TGSBypassedCathode(const TGSBypassedCathode& source);
    virtual ~TGSBypassedCathode() = default;

    // New Ck: re-derives gain, impedances, Miller capacitance and the input
    // filter; operating point, tables and states are kept.
    void setCathodeCapacitor(double ck) noexcept;

    // x is the grid input after any input filter; returns the plate voltage.
    inline double processSample(double x) noexcept
    {
        double vk, ig;
        const double vgk = driveGrid(x, vk, ig);
        return settle(vk, ig, plateCurrentTable.lookup(vgk));
    }

    // Two stages with the same plate-current table, each exactly as its own
    // processSample, their table lookups done together.
    static inline void processPair(TGSBypassedCathode& s0, TGSBypassedCathode& s1, double x0, double x1,
                                   double& y0, double& y1) noexcept
    {
        double vk0, ig0, vk1, ig1, ip0, ip1;
        const double vgk0 = s0.driveGrid(x0, vk0, ig0);
        const double vgk1 = s1.driveGrid(x1, vk1, ig1);
        SplineTable::lookupPair(s0.plateCurrentTable, vgk0, vgk1, ip0, ip1);
        y0 = s0.settle(vk0, ig0, ip0);
        y1 = s1.settle(vk1, ig1, ip1);
    }

  private:
    // The grid under input x: returns vgk, with the cathode voltage and the
    // grid current; loads or releases the upstream coupling filter.
    inline double driveGrid(double x, double& vk, double& ig) noexcept
    {
        vk = cathodeVoltage;
        ig = 0.0;
        double vg = x;
        if (x > vk)
        {
            vg = gridVoltage(x, vk);
            ig = (x - vg) * inverseGridResistor;
            if (vg - vk > 0.0)
                updateUpstreamCoupling(vg - vk, ig);
        }
        else
        {
            releaseUpstreamCoupling();
        }
        return vg - vk;
    }

    // Plate current ip: new cathode voltage, returns the plate voltage.
    inline double settle(double vk, double ig, double ip) noexcept
    {
        // Cathode current ip + ig into Rk parallel to Ck.
        cathodeVoltage = (cathodeCapacitor * sampleRate * vk + ip + ig) * cathodeImpedance;
        return supplyVoltage - plateResistor * ip;
    }
    void computeTopologyValues() noexcept;
};
