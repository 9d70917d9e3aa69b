// How the plug-in appears as an LV2 plug-in: its port indices, the form of
// each parameter's control port (symbol, range, toggles, enumerations, unit)
// and the one mapping between a port value and the normalised value that the
// effect takes for that parameter. The TTL generator, the DSP adapter and the
// UI all read this, so the description, the sound and the panel agree.
#pragma once

#include <cstdint>

#include "shell/ParameterTable.h"

namespace Lv2Ports
{

constexpr uint32_t audioInLeft = 0;
constexpr uint32_t audioInRight = 1;
constexpr uint32_t audioOutLeft = 2;
constexpr uint32_t audioOutRight = 3;
constexpr uint32_t firstParameter = 4; // parameter i is port firstParameter + i
constexpr uint32_t latency = firstParameter + kNumParameters;
constexpr uint32_t count = latency + 1;

struct AudioPort
{
    const char* symbol;
    const char* name;
    bool input;
};
// Audio port 0..3.
const AudioPort& audio(uint32_t port);

enum class Form
{
    knob,        // 0..10 as printed on the panel
    level,       // the level's gain in dB
    toggle,      // 0 or 1
    enumeration, // integer choices with labels
    enabled      // the host's enable designation: 1 processes, 0 bypasses
};

struct ScalePoint
{
    const char* label;
    float value;
};

struct ControlPort
{
    const char* symbol;
    const char* name;
    Form form;
    float minimum;
    float maximum;
    float defaultValue;
    const ScalePoint* scalePoints; // null when there are none
    int numScalePoints;
    const char* unit; // local name under the LV2 units namespace, or null
    bool automatic;   // false: a session setting that hosts should not automate
};

// The control port of a valid parameter index.
const ControlPort& control(int32_t parameter);

// The normalised value a port value gives parameter `parameter`: the value
// the effect receives, whatever a host writes to the port (NaN, out of range,
// between two choices).
float parameterValue(int32_t parameter, float portValue);

// The port value that shows a normalised value; parameterValue of it is the
// value again for every value the editor or a program can hold, up to float
// rounding of knob and level positions.
float portValue(int32_t parameter, float parameterValue);

} // namespace Lv2Ports
