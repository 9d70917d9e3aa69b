#pragma once

#include "tubes/TGSBypassedCathode.h"
#include "tubes/TGSCathodeFollower.h"
#include "tubes/TGSUnbypassedCathode.h"

// A gain stage whose plate drives a cathode follower directly, with no
// coupling capacitor between them. Exactly one of bypassed and unbypassed is
// set; the stages belong to the engine. The chains know which kind each pair
// holds and run its two stages as segments of their own, so no per-sample
// test is needed.
struct StagePair
{
    TGSBypassedCathode* bypassed = nullptr;
    TGSUnbypassedCathode* unbypassed = nullptr;
    TGSCathodeFollower* follower = nullptr;
};
