// The 28 plug-in parameters: indices, names, defaults, kinds and label texts.
// Values are normalised floats 0..1, as the host, the editor and the program
// table exchange them.
#pragma once

#include <cstdint>

enum ParameterIndex : int32_t
{
    kChannel = 0,
    kGainLead,
    kBrightLead,
    kLowsLead,
    kMidsLead,
    kTrebleLead,
    kPresenceLead,
    kShapeLead,
    kVolumeLead,
    kGainRhythm,
    kModeRhythm,
    kBrightRhythm,
    kLowsRhythm,
    kMidsRhythm,
    kTrebleRhythm,
    kVolumeRhythm,
    kGainClean,
    kBrightClean,
    kLowsClean,
    kMidsClean,
    kTrebleClean,
    kVolumeClean,
    kPluginMode,
    kBypass,
    kPanelView,
    kInputLevel,
    kOutputLevel,
    kOversampling,
    kNumParameters
};

enum class ParameterKind
{
    channel,    // three ranges: Clean, Rhythm, Lead
    continuous, // a potentiometer or level
    toggle,     // thresholded to exactly 0 or 1
    pluginMode, // Mono (exactly 0), Stereo (exactly 1), otherwise Bypass
    onOff,      // exactly 1 = on
    panelView,  // exactly 1 = back
    oversampling
};

struct ParameterInfo
{
    const char* name;
    float defaultValue;
    ParameterKind kind;
};

class ParameterTable
{
  public:
    static bool isValid(int32_t index) { return index >= 0 && index < kNumParameters; }
    // Entry of a valid index.
    static const ParameterInfo& info(int32_t index);

    // The value that a parameter actually takes: a NaN counts as 0; switches
    // become exactly 0 or 1 (above 0.5 is on); the values that reach a
    // control law are held in 0..1, so no taper divides by zero or turns
    // negative. Channel and the exact-comparison parameters pass unchanged.
    static float conform(int32_t index, float value);

    // Label text for a valid index and its value; oversamplingFactor is the
    // factor the engines run at, shown for a value outside 0..1.
    static const char* label(int32_t index, float value, unsigned oversamplingFactor);

    // The factor that an Oversampling value selects, or 0 for a value that
    // selects none (outside 0..1, or NaN).
    static unsigned oversamplingFactorFor(float value);
};
