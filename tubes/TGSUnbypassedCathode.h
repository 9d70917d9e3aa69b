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
            return conduct(x);
        releaseUpstreamCoupling();
        return transferTable.lookup(x);
    }

    // Two stages with the same tables, each exactly as its own processSample;
    // while neither grid conducts, their transfer lookups are done together.
    static inline void processPair(TGSUnbypassedCathode& s0, TGSUnbypassedCathode& s1, double x0, double x1,
                                   double& y0, double& y1) noexcept
    {
        if (x0 > s0.conductionThreshold || x1 > s1.conductionThreshold)
        {
            y0 = s0.processSample(x0);
            y1 = s1.processSample(x1);
            return;
        }
        s0.releaseUpstreamCoupling();
        s1.releaseUpstreamCoupling();
        SplineTable::lookupPair(s0.transferTable, x0, x1, y0, y1);
    }

  private:
    // Above the conduction threshold: the static curve from the grid-current,
    // cathode and plate-current tables.
    inline double conduct(double x) noexcept
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
    void computeTopologyValues() noexcept;
};
