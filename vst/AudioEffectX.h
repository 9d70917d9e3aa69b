// VST 2.x extensions of the effect base: names, versions, categories and
// capabilities that hosts query, and the editor key and knob-mode requests.
#pragma once

#include "vst/AudioEffect.h"

class AudioEffectX : public AudioEffect
{
  public:
    AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
        : AudioEffect(audioMaster, numPrograms, numParams)
    {
    }

    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    virtual bool canParameterBeAutomated(VstInt32 index) { return index >= 0 && index < numParams; }
    virtual bool getProgramNameIndexed(VstInt32 /*category*/, VstInt32 /*index*/, char* /*text*/)
    {
        return false;
    }
    virtual bool getInputProperties(VstInt32 /*index*/, VstPinProperties* /*properties*/) { return false; }
    virtual bool getOutputProperties(VstInt32 /*index*/, VstPinProperties* /*properties*/) { return false; }

    virtual bool getEffectName(char* /*name*/) { return false; }
    virtual bool getVendorString(char* /*text*/) { return false; }
    virtual bool getProductString(char* /*text*/) { return false; }
    virtual VstInt32 getVendorVersion() { return 0; }
    virtual VstInt32 getVstVersion() { return 2400; }
    virtual VstPlugCategory getPlugCategory() { return kPlugCategUnknown; }
    // 1 = can do, -1 = cannot, 0 = does not know.
    virtual VstInt32 canDo(char* /*text*/) { return 0; }

    // Tell the host that the user starts or ends changing a parameter, so
    // that it records the changes between as one gesture.
    bool beginEdit(VstInt32 index);
    bool endEdit(VstInt32 index);
};
