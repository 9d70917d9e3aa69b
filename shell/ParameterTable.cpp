#include "shell/ParameterTable.h"

namespace
{

using K = ParameterKind;
using G = ParameterGroup;

const ParameterInfo table[kNumParameters] = {
    {"Channel", "Channel", 0.0f, K::channel, G::global},
    {"Gain Lead", "Gain Ld", 0.5f, K::continuous, G::lead},
    {"Bright Lead", "Brt Ld", 1.0f, K::toggle, G::lead},
    {"Lows Lead", "Lows Ld", 0.5f, K::continuous, G::lead},
    {"Mids Lead", "Mids Ld", 0.5f, K::continuous, G::lead},
    {"Treble Lead", "Treb Ld", 0.5f, K::continuous, G::lead},
    {"Presence Lead", "Pres Ld", 0.5f, K::continuous, G::lead},
    {"Shape Lead", "Shp Ld", 1.0f, K::toggle, G::lead},
    {"Volume Lead", "Vol Ld", 0.5f, K::continuous, G::lead},
    {"Gain Rhythm", "Gain Rh", 0.5f, K::continuous, G::rhythm},
    {"Mode Rhythm", "Mode Rh", 0.0f, K::toggle, G::rhythm},
    {"Bright Rhythm", "Brt Rh", 0.0f, K::toggle, G::rhythm},
    {"Lows Rhythm", "Lows Rh", 0.5f, K::continuous, G::rhythm},
    {"Mids Rhythm", "Mids Rh", 0.5f, K::continuous, G::rhythm},
    {"Treble Rhythm", "Treb Rh", 0.5f, K::continuous, G::rhythm},
    {"Volume Rhythm", "Vol Rh", 0.5f, K::continuous, G::rhythm},
    {"Gain Clean", "Gain Cl", 0.5f, K::continuous, G::clean},
    {"Bright Clean", "Brt Cl", 0.0f, K::toggle, G::clean},
    {"Lows Clean", "Lows Cl", 0.5f, K::continuous, G::clean},
    {"Mids Clean", "Mids Cl", 0.5f, K::continuous, G::clean},
    {"Treble Clean", "Treb Cl", 0.5f, K::continuous, G::clean},
    {"Volume Clean", "Vol Cl", 0.5f, K::continuous, G::clean},
    {"Plugin Mode", "Mode", 0.0f, K::pluginMode, G::global},
    {"Bypass", "Bypass", 0.0f, K::onOff, G::global},
    {"Panel View", "Panel", 0.0f, K::panelView, G::global},
    {"Input Level", "Input", 0.5f, K::continuous, G::global},
    {"Output Level", "Output", 0.5f, K::continuous, G::global},
    {"Oversampling", "Oversmp", 0.5f, K::oversampling, G::global},
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
        return table[index].shortLabel;
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

bool ParameterTable::isSwitch(int32_t index)
{
    return table[index].kind == ParameterKind::toggle || table[index].kind == ParameterKind::onOff;
}

int ParameterTable::positions(int32_t index)
{
    switch (table[index].kind)
    {
    case ParameterKind::channel:
    case ParameterKind::oversampling:
        return 3;
    case ParameterKind::pluginMode:
        return 2;
    default:
        return 0;
    }
}

const char* ParameterTable::groupName(ParameterGroup group)
{
    switch (group)
    {
    case ParameterGroup::lead:
        return "Lead";
    case ParameterGroup::rhythm:
        return "Rhythm";
    case ParameterGroup::clean:
        return "Clean";
    default:
        return "Global";
    }
}

int ParameterTable::groupSize(ParameterGroup group)
{
    int n = 0;
    for (const ParameterInfo& p : table)
        n += p.group == group;
    return n;
}
