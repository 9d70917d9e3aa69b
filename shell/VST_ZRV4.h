// The effect the host talks to: two engines (one per side of a stereo
// signal), the program table, the current parameter values and the
// processing mode.
#pragma once

#include <cstdint>
#include <memory>

#include "shell/ParameterTable.h"
#include "shell/ProgramRecord.h"
#include "vst/AudioEffectX.h"

class ZRV4;

class VST_ZRV4 : public AudioEffectX
{
  public:
    explicit VST_ZRV4(audioMasterCallback audioMaster);
    ~VST_ZRV4() override;

    // Block processing; inputs and outputs may be the same buffers.
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) override;

    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;

    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;

    void setSampleRate(float rate) override;
    void setBlockSize(VstInt32 size) override;
    void suspend() override {}
    void resume() override {}

    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return 1000; }
    VstInt32 getVstVersion() override { return 2400; }
    VstPlugCategory getPlugCategory() override { return kPlugCategUnknown; }
    VstInt32 canDo(char* /*text*/) override { return 0; }

    // Read access for the editor and for tests.
    const ZRV4& leftEngine() const { return *engineLeft; }
    const ZRV4& rightEngine() const { return *engineRight; }
    // 0 pass-through, 1 mono, 2 stereo.
    uint16_t getProcessMode() const { return processMode; }
    float getSavedPluginMode() const { return savedPluginMode; }
    bool isSampleRateSent() const { return sampleRateSent; }

  private:
    enum ProcessMode : uint16_t
    {
        passThrough = 0,
        mono = 1,
        stereo = 2
    };

    void setPluginMode(float v);
    void applyToEngine(ZRV4& engine, VstInt32 index, float v);
    template <typename T> void processBlock(T** inputs, T** outputs, VstInt32 sampleFrames);

    std::unique_ptr<ZRV4> engineLeft;
    std::unique_ptr<ZRV4> engineRight;
    uint16_t processMode = mono;
    float values[kNumParameters];
    float savedPluginMode = 0.0f;
    std::unique_ptr<ProgramRecord[]> programs;
    bool sampleRateSent = false;
};
