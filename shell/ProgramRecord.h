// One stored program: the normalised values of all parameters and a name.
#pragma once

#include "shell/ParameterTable.h"
#include "vst/aeffectx.h"

struct ProgramRecord
{
    float values[kNumParameters];
    char name[kVstMaxProgNameLen]; // NUL-terminated
};
