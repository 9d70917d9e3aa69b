#pragma once

#include "tubes/TriodeGainStage.h"

#include <string>

// Cathode follower: the output is the cathode voltage, read from the transfer
// table, followed by the stage's own coupling high-pass (always with its plain
// coefficient). The grid is driven directly by the previous plate.
class TGSCathodeFollower : public TriodeGainStage
{
  public:
    TGSCathodeFollower(std::string name, const StageComponents& c);
    // Shares all four tables of the source; states and wiring are fresh.
    TGSCathodeFollower(const TGSCathodeFollower& source);
    virtual ~TGSCathodeFollower() = default;

    void buildTables(double relaxation);
    void buildTransferTable();

    double staticTransfer(double x) const noexcept;

    inline double processSample(double x) noexcept { return couple(transferTable.lookup(x)); }

    // Two followers with the same transfer table, each exactly as its own
    // processSample, their lookups done together.
    static inline void processPair(TGSCathodeFollower& s0, TGSCathodeFollower& s1, double x0, double x1,
                                   double& y0, double& y1) noexcept
    {
        double c0, c1;
        SplineTable::lookupPair(s0.transferTable, x0, x1, c0, c1);
        y0 = s0.couple(c0);
        y1 = s1.couple(c1);
    }

  private:
    // The cathode voltage y through the follower's own coupling high-pass.
    inline double couple(double y) noexcept
    {
        CouplingHighPass& f = couplingFilter;
        const double out = (y - f.previousInput + f.previousOutput) * f.coefficient + 1e-25;
        f.previousInput = y;
        f.previousOutput = out;
        return out;
    }
    void computeTopologyValues() noexcept;
};
