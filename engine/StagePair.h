#pragma once

#include "tubes/TGSBypassedCathode.h"
#include "tubes/TGSCathodeFollower.h"
#include "tubes/TGSUnbypassedCathode.h"

// A gain stage whose plate drives a cathode follower directly, with no
// coupling capacitor between them. Exactly one of bypassed and unbypassed is
// set; the stages belong to the engine. The chains know which kind each pair
// holds and call the matching operation, so no per-sample test is needed.
struct StagePair
{
    TGSBypassedCathode* bypassed = nullptr;
    TGSUnbypassedCathode* unbypassed = nullptr;
    TGSCathodeFollower* follower = nullptr;

    inline double processBypassed(double x) noexcept { return processFollower(processBypassedStage(x)); }
    inline double processUnbypassed(double x) noexcept { return processFollower(processUnbypassedStage(x)); }

    // The two halves, for chains that run them apart.
    inline double processBypassedStage(double x) noexcept
    {
        TGSBypassedCathode& s = *bypassed;
        return s.processSample(s.inputFilter.processInput(x));
    }
    inline double processUnbypassedStage(double x) noexcept
    {
        TGSUnbypassedCathode& s = *unbypassed;
        return s.processSample(s.inputFilter.processInput(x));
    }
    inline double processFollower(double x) noexcept { return follower->processSample(x); }
};
