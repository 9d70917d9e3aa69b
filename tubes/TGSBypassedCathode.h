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
        const double vk = cathodeVoltage;
        double ig = 0.0;
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
        const double ip = plateCurrentTable.lookup(vg - vk);
        // Cathode current ip + ig into Rk parallel to Ck.
        cathodeVoltage = (cathodeCapacitor * sampleRate * vk + ip + ig) * cathodeImpedance;
        return supplyVoltage - plateResistor * ip;
    }

  private:
    void computeTopologyValues() noexcept;
};
