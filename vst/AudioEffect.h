// Base of a VST 2.4 effect: holds the AEffect record handed to the host and
// turns the host's requests into virtual operations with the VST 2.4 names.
#pragma once

#include <cstddef>

#include "vst/aeffectx.h"

class AEffEditor;

// Copies at most maxLen characters of src and a NUL, so dst needs maxLen + 1 bytes.
void vstStrncpy(char* dst, const char* src, size_t maxLen);

class AudioEffect
{
  public:
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    virtual ~AudioEffect();

    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    AEffect* getAeffect() { return &cEffect; }
    audioMasterCallback getAudioMaster() const { return audioMaster; }
    AEffEditor* getEditor() const { return editor; }
    float getSampleRate() const { return sampleRate; }
    VstInt32 getBlockSize() const { return blockSize; }

    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

    // Parameters
    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}
    virtual float getParameter(VstInt32 /*index*/) { return 0.0f; }
    // Sets the parameter and tells the host, which records it as automation.
    virtual void setParameterAutomated(VstInt32 index, float value);
    virtual void getParameterLabel(VstInt32 /*index*/, char* /*label*/) {}
    virtual void getParameterDisplay(VstInt32 /*index*/, char* /*text*/) {}
    virtual void getParameterName(VstInt32 /*index*/, char* /*text*/) {}

    // Programs
    virtual void setProgram(VstInt32 program) { curProgram = program; }
    virtual VstInt32 getProgram() { return curProgram; }
    virtual void setProgramName(char* /*name*/) {}
    virtual void getProgramName(char* name) { *name = 0; }

    // Host state
    virtual void open() {}
    virtual void close() {}
    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(VstInt32 size) { blockSize = size; }
    virtual void suspend() {}
    virtual void resume() {}

    // Processing; inputs and outputs may be the same buffers.
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
    virtual void processDoubleReplacing(double** /*inputs*/, double** /*outputs*/, VstInt32 /*sampleFrames*/)
    {
    }

    // Registers the editor, which the effect then owns; null unregisters it.
    virtual void setEditor(AEffEditor* newEditor);

    // Announcements to the host, made while constructing.
    void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
    void setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
    void setUniqueID(VstInt32 id) { cEffect.uniqueID = id; }
    void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
    void canDoubleReplacing(bool state = true) { setFlag(effFlagsCanDoubleReplacing, state); }
    void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }

    // Prints value in at most maxLen characters and a NUL: integer digits, a
    // point, then as many fraction digits as fit (0.5 gives "0.500000" for 8).
    static void float2string(float value, char* text, VstInt32 maxLen);

  protected:
    AEffect cEffect;
    audioMasterCallback audioMaster;
    AEffEditor* editor = nullptr;
    float sampleRate = 44100.0f;
    VstInt32 blockSize = 1024;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 curProgram = 0;

  private:
    void setFlag(VstInt32 flag, bool state);
};
