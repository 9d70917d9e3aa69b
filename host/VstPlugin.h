#pragma once

#include "vst/aeffectx.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class ModuleLibrary;

// A VST 2.4 effect loaded from its module the way a host does it: the module
// is opened, its entry point (VSTPluginMain, or main) is called with our own
// host callback, and the effect's dispatcher is reached through the
// operations below. The module stays loaded for the life of the object.
//
//   std::string error;
//   auto plugin = VstPlugin::load("/usr/lib/vst/MVerb-vst.so", error);
//   if (!plugin) ... error says why
//   plugin->open(); plugin->setSampleRate(48000); plugin->setBlockSize(256); plugin->resume();
//   plugin->process(inputs, outputs, frames);
//
// The destructor suspends, closes (effClose comes last) and unloads.
class VstPlugin
{
  public:
    // What the plug-in reported through audioMasterAutomate.
    struct Automation
    {
        int index;
        float value;
    };

    // Host-side settings the callback answers with.
    struct HostSettings
    {
        float sampleRate = 44100.0f;
        int blockSize = 512;
    };

    // nullptr and a readable error on failure: missing file, module that
    // cannot be loaded, no entry point, entry point refusing to create an
    // effect, record without the VST magic.
    static std::unique_ptr<VstPlugin> load(const std::string& path, std::string& error,
                                           HostSettings settings);
    static std::unique_ptr<VstPlugin> load(const std::string& path, std::string& error);

    VstPlugin(const VstPlugin&) = delete;
    VstPlugin& operator=(const VstPlugin&) = delete;
    ~VstPlugin();

    // effOpen / effClose; close is also done by the destructor if needed.
    void open();
    void close();
    bool isOpen() const { return opened; }

    void setSampleRate(float rate);
    void setBlockSize(int frames);
    // effMainsChanged 1 / 0.
    void resume();
    void suspend();
    bool isResumed() const { return resumed; }

    // Replacing processing; false (and nothing done) when the effect does
    // not offer the precision, or the counts do not fit.
    bool process(float* const* inputs, float* const* outputs, int frames);
    bool processDouble(double* const* inputs, double* const* outputs, int frames);

    float getParameter(int index) const;
    void setParameter(int index, float value);
    std::string parameterName(int index);
    std::string parameterLabel(int index);
    std::string parameterDisplay(int index);
    // Index of the parameter with that exact name, or -1.
    int findParameter(const std::string& name);

    std::string programName();
    int program();
    void setProgram(int index);
    std::string effectName();
    std::string vendor();
    std::string product();
    int vendorVersion();
    int vstVersion();
    // effCanDo: 1 yes, -1 no, 0 does not know.
    int canDo(const std::string& what);

    int flags() const;
    bool canReplacing() const { return (flags() & effFlagsCanReplacing) != 0; }
    bool canDoubleReplacing() const { return (flags() & effFlagsCanDoubleReplacing) != 0; }
    bool hasEditor() const { return (flags() & effFlagsHasEditor) != 0; }
    int numPrograms() const;
    int numParams() const;
    int numInputs() const;
    int numOutputs() const;
    int uniqueID() const;
    int version() const;
    int initialDelay() const;

    // Editor: open into a native parent window (an X11 Window id on Linux, an HWND on Windows).
    bool openEditor(void* parent);
    void closeEditor();
    void idleEditor();
    // Size from effEditGetRect; false if the effect gives none.
    bool editorRect(int& width, int& height);
    bool isEditorOpen() const { return editorOpen; }

    // Calls seen from the plug-in, in order; safe to read from any thread.
    std::vector<Automation> automation() const;
    int beginEditCount() const;
    int endEditCount() const;
    void clearAutomation();

    // Raw dispatcher access for what the wrapper does not cover.
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    AEffect* effect() const { return aeffect; }
    const std::string& path() const { return modulePath; }
    const HostSettings& settings() const { return host; }

  private:
    VstPlugin() = default;
    static VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                              VstIntPtr value, void* ptr, float opt);
    VstIntPtr answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    std::string dispatchString(VstInt32 opcode, VstInt32 index);

    std::string modulePath;
    std::unique_ptr<ModuleLibrary> module;
    AEffect* aeffect = nullptr;
    HostSettings host;
    bool opened = false;
    bool resumed = false;
    bool editorOpen = false;

    mutable std::mutex recordLock;
    std::vector<Automation> automated;
    int beginEdits = 0;
    int endEdits = 0;
};
