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

    inline double processSample(double x) noexcept
    {
        const double y = transferTable.lookup(x);
        CouplingHighPass& f = couplingFilter;
        const double out = (y - f.previousInput + f.previousOutput) * f.coefficient + 1e-25;
        f.previousInput = y;
        f.previousOutput = out;
        return out;
    }

  private:
    void computeTopologyValues() noexcept;
};
