// The effect as a VST 2.4 host sees it: the opcodes, parameter texts, the
// program table and the editor, around the format-neutral effect core.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "shell/ProgramRecord.h"
#include "shell/ZRV4Effect.h"
#include "vst/AudioEffectX.h"

class VstEditorHost;

class VST_ZRV4 : public AudioEffectX
{
  public:
    explicit VST_ZRV4(audioMasterCallback audioMaster);
    ~VST_ZRV4() override;

    // Block processing; inputs and outputs may be the same buffers.
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) override;

    // Any thread: the value is stored for the next block.
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
    void resume() override { core.resume(); }

    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return 1000; }
    VstInt32 getVstVersion() override { return 2400; }
    VstPlugCategory getPlugCategory() override { return kPlugCategUnknown; }
    VstInt32 canDo(char* /*text*/) override { return 0; }

    // For tests: the core and its engines, read while nothing processes.
    const ZRV4Effect& effectCore() const { return core; }
    const ZRV4& leftEngine() const { return core.leftEngine(); }
    const ZRV4& rightEngine() const { return core.rightEngine(); }
    uint16_t getProcessMode() const { return static_cast<uint16_t>(core.processMode()); }
    float getSavedPluginMode() const { return core.savedPluginMode(); }

  private:
    // Sets the delay of the factor now selected and, when it changed, tells
    // the host, from the calling thread.
    void announceLatency();

    ZRV4Effect core;
    std::atomic<int32_t> announcedDelay{0};
    std::unique_ptr<ProgramRecord[]> programs;
    std::unique_ptr<VstEditorHost> editorHost;
};
