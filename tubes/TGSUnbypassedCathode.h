#pragma once

#include "tubes/TriodeGainStage.h"

#include <string>

// Common-cathode stage without bypass capacitor: the cathode follows the
// signal (local feedback through Rk). Below the conduction threshold the
// whole stage is one transfer-table lookup; above it the static curve is
// evaluated from the grid-current, cathode and plate-current tables so that
// the grid current can load the upstream coupling filter.
class TGSUnbypassedCathode : public TriodeGainStage
{
  public:
    TGSUnbypassedCathode(std::string name, const StageComponents& c);
    // Shares all four tables of the source; states and wiring are fresh.
    TGSUnbypassedCathode(const TGSUnbypassedCathode& source);
    virtual ~TGSUnbypassedCathode() = default;

    // Cathode and grid-current tables, conduction threshold, transfer table.
    // Must run before the stage processes; again replaces the tables.
    void buildTables(double relaxation);
    void buildTransferTable();

    double staticTransfer(double x) const noexcept;

    inline double processSample(double x) noexcept
    {
        if (x > conductionThreshold)
        {
            const double ig = gridCurrentTable.lookup(x);
            const double vg = x - gridResistor * ig;
            const double vk = cathodeTable.lookup(vg);
            const double vgk = vg - (cathodeResistor * ig + vk);
            // A zero or overshooting negative ig here is caught inside.
            if (vgk > 0.0)
                updateUpstreamCoupling(vgk, ig);
            return supplyVoltage - plateResistor * plateCurrentTable.lookup(vgk);
        }
        releaseUpstreamCoupling();
        return transferTable.lookup(x);
    }

  private:
    void computeTopologyValues() noexcept;
};
