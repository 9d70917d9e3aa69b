#include "lv2/Lv2Ports.h"

#include <cmath>

namespace Lv2Ports
{
namespace
{

const AudioPort audioPorts[4] = {
    {"in_l", "In L", true},
    {"in_r", "In R", true},
    {"out_l", "Out L", false},
    {"out_r", "Out R", false},
};

// Symbols are what sessions store: they never change, whatever the names do.
const char* const symbols[kNumParameters] = {
    "channel",       "gain_lead",   "bright_lead",   "lows_lead",     "mids_lead",   "treble_lead",
    "presence_lead", "shape_lead",  "volume_lead",   "gain_rhythm",   "mode_rhythm", "bright_rhythm",
    "lows_rhythm",   "mids_rhythm", "treble_rhythm", "volume_rhythm", "gain_clean",  "bright_clean",
    "lows_clean",    "mids_clean",  "treble_clean",  "volume_clean",  "plugin_mode", "enabled",
    "panel_view",    "input_level", "output_level",  "oversampling",
};

const ScalePoint channels[] = {{"Clean", 0.0f}, {"Rhythm", 1.0f}, {"Lead", 2.0f}};
const ScalePoint pluginModes[] = {{"Mono", 0.0f}, {"Stereo", 1.0f}};
const ScalePoint faces[] = {{"Front", 0.0f}, {"Back", 1.0f}};
const ScalePoint factors[] = {{"2\u00d7", 2.0f}, {"4\u00d7", 4.0f}, {"8\u00d7", 8.0f}};

// A level's gain is 2v: 0 dB at the default 0.5, +6.02 dB at the top. The
// bottom of the range stands for the knob fully down (v = 0, silence).
constexpr float levelFloorDb = -60.0f;
constexpr float levelTopDb = 6.0206f; // 20 log10(2), rounded up to the display's precision

constexpr float knobScale = 10.0f;

// A port whose values are its scale points: the range runs from the first
// to the last.
template <size_t N> void setChoices(ControlPort& port, Form form, const ScalePoint (&points)[N])
{
    port.form = form;
    port.scalePoints = points;
    port.numScalePoints = static_cast<int>(N);
    port.minimum = points[0].value;
    port.maximum = points[N - 1].value;
}

bool isLevel(int32_t parameter)
{
    return parameter == kInputLevel || parameter == kOutputLevel;
}

ControlPort describe(int32_t parameter)
{
    const ParameterInfo& info = ParameterTable::info(parameter);
    ControlPort port{
        symbols[parameter], info.name, Form::knob, 0.0f, knobScale, 0.0f, nullptr, 0, nullptr, true};
    switch (info.kind)
    {
    case ParameterKind::continuous:
        if (isLevel(parameter))
        {
            port.form = Form::level;
            port.minimum = levelFloorDb;
            port.maximum = levelTopDb;
            port.unit = "db";
        }
        break;
    case ParameterKind::toggle:
        port.form = Form::toggle;
        port.maximum = 1.0f;
        break;
    case ParameterKind::channel:
        setChoices(port, Form::enumeration, channels);
        break;
    case ParameterKind::pluginMode:
        setChoices(port, Form::enumeration, pluginModes);
        break;
    case ParameterKind::onOff:
        // The effect's Bypass, turned round to the host's enable switch.
        port.form = Form::enabled;
        port.name = "Enabled";
        port.maximum = 1.0f;
        break;
    case ParameterKind::panelView:
        // Only the panel's face: stored with the session, not automated.
        setChoices(port, Form::toggle, faces);
        port.automatic = false;
        break;
    case ParameterKind::oversampling:
        setChoices(port, Form::enumeration, factors);
        break;
    }
    port.defaultValue = portValue(parameter, info.defaultValue);
    return port;
}

struct ControlTable
{
    ControlPort ports[kNumParameters];
    ControlTable()
    {
        for (int32_t i = 0; i < kNumParameters; ++i)
            ports[i] = describe(i);
    }
};

const ControlTable& controls()
{
    static const ControlTable table;
    return table;
}

float clamp01(float v)
{
    return v > 1.0f ? 1.0f : (v > 0.0f ? v : 0.0f);
}

} // namespace

const AudioPort& audio(uint32_t port)
{
    return audioPorts[port];
}

const ControlPort& control(int32_t parameter)
{
    return controls().ports[parameter];
}

float parameterValue(int32_t parameter, float p)
{
    // As in the effect's own table, a NaN counts as 0.
    if (std::isnan(p))
        return 0.0f;
    switch (ParameterTable::info(parameter).kind)
    {
    case ParameterKind::continuous:
        if (isLevel(parameter))
        {
            if (p <= levelFloorDb)
                return 0.0f;
            return clamp01(static_cast<float>(0.5 * std::pow(10.0, p / 20.0)));
        }
        return clamp01(p / knobScale);
    case ParameterKind::channel:
        if (p < 0.5f)
            return 0.0f;
        return p < 1.5f ? 0.5f : 1.0f;
    case ParameterKind::oversampling:
        if (p < 3.0f)
            return 0.0f;
        return p < 6.0f ? 0.5f : 1.0f;
    case ParameterKind::onOff:
        return p > 0.5f ? 0.0f : 1.0f;
    default: // toggles, Plugin Mode, Panel View
        return p > 0.5f ? 1.0f : 0.0f;
    }
}

float portValue(int32_t parameter, float v)
{
    switch (ParameterTable::info(parameter).kind)
    {
    case ParameterKind::continuous:
        if (isLevel(parameter))
        {
            if (!(v > 0.0f))
                return levelFloorDb;
            const float db = static_cast<float>(20.0 * std::log10(2.0 * v));
            return db < levelFloorDb ? levelFloorDb : (db > levelTopDb ? levelTopDb : db);
        }
        return clamp01(v) * knobScale;
    case ParameterKind::channel:
        if (!(v >= 0.25f))
            return 0.0f;
        return v < 0.75f ? 1.0f : 2.0f;
    case ParameterKind::oversampling:
    {
        const unsigned factor = ParameterTable::oversamplingFactorFor(v);
        return static_cast<float>(factor != 0 ? factor : 4);
    }
    case ParameterKind::onOff:
        return v == 1.0f ? 0.0f : 1.0f;
    case ParameterKind::toggle:
        return v > 0.5f ? 1.0f : 0.0f;
    default: // Plugin Mode and Panel View take exactly 1
        return v == 1.0f ? 1.0f : 0.0f;
    }
}

} // namespace Lv2Ports
