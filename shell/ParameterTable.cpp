#include "shell/ParameterTable.h"

namespace
{

const ParameterInfo table[kNumParameters] = {
    {"Channel", 0.0f, ParameterKind::channel},          {"Gain Lead", 0.5f, ParameterKind::continuous},
    {"Bright Lead", 1.0f, ParameterKind::toggle},       {"Lows Lead", 0.5f, ParameterKind::continuous},
    {"Mids Lead", 0.5f, ParameterKind::continuous},     {"Treble Lead", 0.5f, ParameterKind::continuous},
    {"Presence Lead", 0.5f, ParameterKind::continuous}, {"Shape Lead", 1.0f, ParameterKind::toggle},
    {"Volume Lead", 0.5f, ParameterKind::continuous},   {"Gain Rhythm", 0.5f, ParameterKind::continuous},
    {"Mode Rhythm", 0.0f, ParameterKind::toggle},       {"Bright Rhythm", 0.0f, ParameterKind::toggle},
    {"Lows Rhythm", 0.5f, ParameterKind::continuous},   {"Mids Rhythm", 0.5f, ParameterKind::continuous},
    {"Treble Rhythm", 0.5f, ParameterKind::continuous}, {"Volume Rhythm", 0.5f, ParameterKind::continuous},
    {"Gain Clean", 0.5f, ParameterKind::continuous},    {"Bright Clean", 0.0f, ParameterKind::toggle},
    {"Lows Clean", 0.5f, ParameterKind::continuous},    {"Mids Clean", 0.5f, ParameterKind::continuous},
    {"Treble Clean", 0.5f, ParameterKind::continuous},  {"Volume Clean", 0.5f, ParameterKind::continuous},
    {"Plugin Mode", 0.0f, ParameterKind::pluginMode},   {"Bypass", 0.0f, ParameterKind::onOff},
    {"Panel View", 0.0f, ParameterKind::panelView},     {"Input Level", 0.5f, ParameterKind::continuous},
    {"Output Level", 0.5f, ParameterKind::continuous},  {"Oversampling", 0.5f, ParameterKind::oversampling},
};

} // namespace

const ParameterInfo& ParameterTable::info(int32_t index)
{
    return table[index];
}

float ParameterTable::conform(int32_t index, float value)
{
    if (value != value)
        return 0.0f; // NaN
    switch (table[index].kind)
    {
    case ParameterKind::toggle:
        return value > 0.5f ? 1.0f : 0.0f;
    case ParameterKind::continuous:
        if (value > 1.0f)
            return 1.0f;
        return value >= 0.0f ? value : 0.0f;
    default:
        return value;
    }
}

const char* ParameterTable::label(int32_t index, float value, unsigned oversamplingFactor)
{
    switch (table[index].kind)
    {
    case ParameterKind::channel:
        if (value < 0.25f)
            return "Clean";
        return value < 0.75f ? "Rhythm" : "Lead";
    case ParameterKind::pluginMode:
        if (value == 1.0f)
            return "Stereo";
        return value == 0.0f ? "Mono" : "Bypass";
    case ParameterKind::onOff:
        return value == 1.0f ? "ON" : "OFF";
    case ParameterKind::panelView:
        return value == 1.0f ? "BACK" : "FRONT";
    case ParameterKind::oversampling:
    {
        const unsigned f = oversamplingFactorFor(value);
        switch (f != 0 ? f : oversamplingFactor)
        {
        case 2:
            return "2x";
        case 8:
            return "8x";
        default:
            return "4x";
        }
    }
    default:
        return table[index].name;
    }
}

unsigned ParameterTable::oversamplingFactorFor(float value)
{
    if (value == 0.0f)
        return 2;
    if (value == 1.0f)
        return 8;
    return value > 0.0f && value < 1.0f ? 4 : 0;
}
