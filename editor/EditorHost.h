// What the editor needs from the plug-in side: the current parameter values,
// which it reads on its own thread when it idles, and a way to report the
// user's edits as gestures (begin, one or more values, end). Each plug-in
// format implements it once.
#pragma once

#include <cstdint>

class EditorHost
{
  public:
    virtual ~EditorHost() = default;

    // Normalised value (0..1 for most parameters) last set from any side.
    virtual float getParameter(int32_t index) = 0;
    virtual void beginEdit(int32_t index) = 0;
    virtual void performEdit(int32_t index, float value) = 0;
    virtual void endEdit(int32_t index) = 0;
};
