#pragma once

#include "engine/BrightDivider.h"
#include "engine/StagePair.h"
#include "tone/CleanGainNetwork.h"
#include "tone/CleanToneStack.h"
#include "tone/LeadGainNetwork.h"
#include "tone/LeadToneStack.h"
#include "tone/RhythmGainNetwork.h"
#include "tone/RhythmToneStack.h"
#include "tubes/TGSBypassedCathode.h"
#include "tubes/TGSCathodeFollower.h"
#include "tubes/TGSUnbypassedCathode.h"

#include <memory>

// Every circuit block of the three channel chains, held by value in the
// order they are built (later grid resistances read the output impedances of
// earlier stages):
//
//   Clean   input - cleanGain  - second - cleanDivider      - driverPair       - cleanTone  - outputPair
//   Rhythm  input - rhythmGain - second - rhythm divider    - rhythmDriverPair - rhythmTone - outputPair
//   Lead    input - leadGain   - leadSecond - leadThird     - driverPair       - leadTone   - outputPair
//
// The pairs and the stages' upstream links point into the same object.
struct ChannelBlocks
{
    // Builds, tabulates and wires everything for the inner rate and factor.
    ChannelBlocks(double innerRate, unsigned factor);
    // An exact copy, filter states included; tables are shared with src,
    // pairs and links point into the copy.
    ChannelBlocks(const ChannelBlocks& src);
    ChannelBlocks& operator=(const ChannelBlocks&) = delete;

    // New inner rate and factor for every block; no state changes.
    void setSampleRate(double innerRate, unsigned factor) noexcept;

    // Every coupling filter back to its plain form. On a channel change the
    // grids of the new chain set again what they load; a filter that only
    // the old chain's grids loaded would otherwise stay conducting.
    void releaseCouplings() noexcept;

    // True when every signal state of every chain is a finite number.
    bool isFinite() const noexcept;
    // The signal states of settled (blocks in the same wiring, at any rate),
    // no coupling filter conducting, the tone circuits' filters cleared;
    // controls and coefficients stay. Allocates nothing.
    void restoreStatesFrom(const ChannelBlocks& settled) noexcept;
    // The six tone circuits' filter states to zero; controls and
    // coefficients stay.
    void clearToneCircuits() noexcept;

    // v >= 0.5: the bright divider and driver stage of Mode Rhythm on.
    void setRhythmMode(bool on) noexcept;
    bool rhythmModeOn() const noexcept { return rhythmModeDivider == &rhythmDividerOn; }

    // True when both read the very same tables: one was copied from the
    // other, or both from the same blocks. Every stage then reads the same
    // table as its counterpart, and the Rhythm driver copies the driver's.
    bool sharesTablesWith(const ChannelBlocks& other) const noexcept { return tableSet == other.tableSet; }

    static constexpr const char* tubeName = "ECC83";

    TGSBypassedCathode inputStage;
    TGSBypassedCathode leadSecondStage;
    TGSUnbypassedCathode secondStage;
    TGSUnbypassedCathode leadThirdStage;
    TGSBypassedCathode driverStage;
    TGSBypassedCathode rhythmDriverStageOff;
    TGSBypassedCathode rhythmDriverStageOn;
    TGSCathodeFollower driverFollower;
    TGSUnbypassedCathode outputStage;
    TGSCathodeFollower outputFollower;

    StagePair driverPair;
    StagePair rhythmDriverPair;
    StagePair outputPair;

    BrightDivider rhythmDividerOff;
    BrightDivider rhythmDividerOn;
    BrightDivider cleanDivider;
    BrightDivider* rhythmModeDivider = nullptr; // not owned

    LeadGainNetwork leadGainNetwork;
    RhythmGainNetwork rhythmGainNetwork;
    CleanGainNetwork cleanGainNetwork;

    LeadToneStack leadToneStack;
    CleanToneStack cleanToneStack;
    RhythmToneStack rhythmToneStack;

  private:
    // Made with the tables, handed on to every copy.
    std::shared_ptr<const int> tableSet;

    void createPairs() noexcept;
    // The ten stages, and the three bright dividers, in one fixed order, for
    // operations on all of them: f gets the same member of every blocks
    // object given (one, or a target and a source).
    template <class F, class... Blocks> static void forEachStage(F&& f, Blocks&... blocks) noexcept;
    template <class F, class... Blocks> static void forEachDivider(F&& f, Blocks&... blocks) noexcept;
    void wire() noexcept;
};
