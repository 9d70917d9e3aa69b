// The editor's link to a VST 2.4 effect: values come from the effect, edits
// go to it as automation, framed by the host's begin and end of an edit.
#pragma once

#include "editor/EditorHost.h"
#include "vst/AudioEffectX.h"

class VstEditorHost : public EditorHost
{
  public:
    explicit VstEditorHost(AudioEffectX& effect) : effect(effect) {}

    float getParameter(int32_t index) override { return effect.getParameter(index); }
    void beginEdit(int32_t index) override { effect.beginEdit(index); }
    void performEdit(int32_t index, float value) override { effect.setParameterAutomated(index, value); }
    void endEdit(int32_t index) override { effect.endEdit(index); }

  private:
    AudioEffectX& effect;
};
