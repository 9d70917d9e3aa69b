// One stored program: its name. Its values are the effect's current values
// (there is one program), kept by the effect core.
#pragma once

#include "vst/aeffectx.h"

struct ProgramRecord
{
    char name[kVstMaxProgNameLen]; // NUL-terminated
};
