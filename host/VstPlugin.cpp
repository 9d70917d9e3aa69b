#include "host/VstPlugin.h"

#include <cstring>
#include <set>

#include "host/ModuleLibrary.h"

namespace
{
typedef AEffect* (*EntryPoint)(audioMasterCallback);

// The plug-in being created on this thread: during the entry point call the
// effect record is not known yet (the plug-in passes null or a record that
// we have not seen), so the callback answers for this one.
thread_local VstPlugin* loading = nullptr;

// Plug-ins are known to write more than the VST string limits; every string
// query gets this much room and is cut at the first NUL or the end.
constexpr size_t stringRoom = 512;

std::string fromBuffer(const char* buffer)
{
    return std::string(buffer, strnlen(buffer, stringRoom - 1));
}

// The live plug-ins, so that the callback trusts only pointers of its own.
std::mutex& registryLock()
{
    static std::mutex lock;
    return lock;
}

std::set<const void*>& registry()
{
    static std::set<const void*> live;
    return live;
}
} // namespace

std::unique_ptr<VstPlugin> VstPlugin::load(const std::string& path, std::string& error, HostSettings settings)
{
    error.clear();
    std::unique_ptr<VstPlugin> plugin(new VstPlugin());
    plugin->modulePath = path;
    if (!(settings.sampleRate > 0.0f) || settings.sampleRate > 1.0e7f)
        settings.sampleRate = 44100.0f;
    if (settings.blockSize <= 0)
        settings.blockSize = 512;
    plugin->host = settings;

    plugin->module = ModuleLibrary::load(path, error);
    if (!plugin->module)
        return nullptr;
    void* symbol = plugin->module->symbol("VSTPluginMain");
    if (!symbol)
        symbol = plugin->module->symbol("main");
    if (!symbol)
    {
        error = path + ": no VST entry point (neither VSTPluginMain nor main is exported)";
        return nullptr;
    }

    EntryPoint entry = reinterpret_cast<EntryPoint>(symbol);
    loading = plugin.get();
    AEffect* effect = entry(&VstPlugin::hostCallback);
    loading = nullptr;
    if (!effect)
    {
        error = path + ": the entry point created no effect (host version refused or plug-in failed)";
        return nullptr;
    }
    if (effect->magic != kEffectMagic)
    {
        error = path + ": the entry point returned a record without the VST magic 'VstP'";
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> guard(registryLock());
        effect->resvd1 = reinterpret_cast<VstIntPtr>(plugin.get());
        plugin->aeffect = effect;
        registry().insert(plugin.get());
    }
    return plugin;
}

std::unique_ptr<VstPlugin> VstPlugin::load(const std::string& path, std::string& error)
{
    return load(path, error, HostSettings());
}

VstPlugin::~VstPlugin()
{
    // Every effect created must be closed, opened or not: effClose is where
    // it releases itself.
    close();
    {
        std::lock_guard<std::mutex> guard(registryLock());
        registry().erase(this);
    }
    module.reset();
}

void VstPlugin::open()
{
    if (opened)
        return;
    dispatch(effOpen);
    opened = true;
}

void VstPlugin::close()
{
    if (!aeffect)
        return;
    if (editorOpen)
        closeEditor();
    if (resumed)
        suspend();
    dispatch(effClose);
    std::lock_guard<std::mutex> guard(registryLock());
    aeffect = nullptr;
    opened = false;
}

VstIntPtr VstPlugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (!aeffect || !aeffect->dispatcher)
        return 0;
    return aeffect->dispatcher(aeffect, opcode, index, value, ptr, opt);
}

void VstPlugin::setSampleRate(float rate)
{
    if (!(rate > 0.0f))
        return;
    host.sampleRate = rate;
    dispatch(effSetSampleRate, 0, 0, nullptr, rate);
}

void VstPlugin::setBlockSize(int frames)
{
    if (frames <= 0)
        return;
    host.blockSize = frames;
    dispatch(effSetBlockSize, 0, frames);
}

void VstPlugin::resume()
{
    dispatch(effMainsChanged, 0, 1);
    resumed = true;
}

void VstPlugin::suspend()
{
    dispatch(effMainsChanged, 0, 0);
    resumed = false;
}

bool VstPlugin::process(float* const* inputs, float* const* outputs, int frames)
{
    if (!aeffect || !canReplacing() || !aeffect->processReplacing || frames < 0)
        return false;
    aeffect->processReplacing(aeffect, const_cast<float**>(inputs), const_cast<float**>(outputs), frames);
    return true;
}

bool VstPlugin::processDouble(double* const* inputs, double* const* outputs, int frames)
{
    if (!aeffect || !canDoubleReplacing() || !aeffect->processDoubleReplacing || frames < 0)
        return false;
    aeffect->processDoubleReplacing(aeffect, const_cast<double**>(inputs), const_cast<double**>(outputs),
                                    frames);
    return true;
}

float VstPlugin::getParameter(int index) const
{
    if (!aeffect || !aeffect->getParameter || index < 0 || index >= aeffect->numParams)
        return 0.0f;
    return aeffect->getParameter(aeffect, index);
}

void VstPlugin::setParameter(int index, float value)
{
    if (!aeffect || !aeffect->setParameter || index < 0 || index >= aeffect->numParams)
        return;
    aeffect->setParameter(aeffect, index, value);
}

std::string VstPlugin::dispatchString(VstInt32 opcode, VstInt32 index)
{
    char buffer[stringRoom] = {};
    dispatch(opcode, index, 0, buffer);
    buffer[stringRoom - 1] = '\0';
    return fromBuffer(buffer);
}

std::string VstPlugin::parameterName(int index)
{
    return dispatchString(effGetParamName, index);
}
std::string VstPlugin::parameterLabel(int index)
{
    return dispatchString(effGetParamLabel, index);
}
std::string VstPlugin::parameterDisplay(int index)
{
    return dispatchString(effGetParamDisplay, index);
}
std::string VstPlugin::programName()
{
    return dispatchString(effGetProgramName, 0);
}
std::string VstPlugin::effectName()
{
    return dispatchString(effGetEffectName, 0);
}
std::string VstPlugin::vendor()
{
    return dispatchString(effGetVendorString, 0);
}
std::string VstPlugin::product()
{
    return dispatchString(effGetProductString, 0);
}

int VstPlugin::findParameter(const std::string& name)
{
    for (int i = 0; i < numParams(); ++i)
        if (parameterName(i) == name)
            return i;
    return -1;
}

int VstPlugin::program()
{
    return static_cast<int>(dispatch(effGetProgram));
}
void VstPlugin::setProgram(int index)
{
    dispatch(effSetProgram, 0, index);
}
int VstPlugin::vendorVersion()
{
    return static_cast<int>(dispatch(effGetVendorVersion));
}
int VstPlugin::vstVersion()
{
    return static_cast<int>(dispatch(effGetVstVersion));
}

int VstPlugin::canDo(const std::string& what)
{
    return static_cast<int>(dispatch(effCanDo, 0, 0, const_cast<char*>(what.c_str())));
}

int VstPlugin::flags() const
{
    return aeffect ? aeffect->flags : 0;
}
int VstPlugin::numPrograms() const
{
    return aeffect ? aeffect->numPrograms : 0;
}
int VstPlugin::numParams() const
{
    return aeffect ? aeffect->numParams : 0;
}
int VstPlugin::numInputs() const
{
    return aeffect ? aeffect->numInputs : 0;
}
int VstPlugin::numOutputs() const
{
    return aeffect ? aeffect->numOutputs : 0;
}
int VstPlugin::uniqueID() const
{
    return aeffect ? aeffect->uniqueID : 0;
}
int VstPlugin::version() const
{
    return aeffect ? aeffect->version : 0;
}
int VstPlugin::initialDelay() const
{
    return aeffect ? aeffect->initialDelay : 0;
}

bool VstPlugin::openEditor(void* parent)
{
    if (!hasEditor() || editorOpen)
        return false;
    editorOpen = dispatch(effEditOpen, 0, 0, parent) != 0;
    return editorOpen;
}

void VstPlugin::closeEditor()
{
    if (!editorOpen)
        return;
    dispatch(effEditClose);
    editorOpen = false;
}

void VstPlugin::idleEditor()
{
    if (editorOpen)
        dispatch(effEditIdle);
}

bool VstPlugin::editorRect(int& width, int& height)
{
    ERect* rect = nullptr;
    dispatch(effEditGetRect, 0, 0, &rect);
    if (!rect)
        return false;
    width = rect->right - rect->left;
    height = rect->bottom - rect->top;
    return true;
}

std::vector<VstPlugin::Automation> VstPlugin::automation() const
{
    std::lock_guard<std::mutex> guard(recordLock);
    return automated;
}

int VstPlugin::beginEditCount() const
{
    std::lock_guard<std::mutex> guard(recordLock);
    return beginEdits;
}

int VstPlugin::endEditCount() const
{
    std::lock_guard<std::mutex> guard(recordLock);
    return endEdits;
}

void VstPlugin::clearAutomation()
{
    std::lock_guard<std::mutex> guard(recordLock);
    automated.clear();
    beginEdits = endEdits = 0;
}

VstIntPtr VSTCALLBACK VstPlugin::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                              VstIntPtr value, void* ptr, float opt)
{
    // During the entry point call the record's host field is not ours yet
    // (it may hold anything); afterwards it points at a live VstPlugin,
    // which is trusted only if it is still registered.
    VstPlugin* plugin = loading;
    if (!plugin && effect)
    {
        VstPlugin* candidate = reinterpret_cast<VstPlugin*>(effect->resvd1);
        std::lock_guard<std::mutex> guard(registryLock());
        if (registry().count(candidate) && candidate->aeffect == effect)
            plugin = candidate;
    }
    if (plugin)
        return plugin->answer(opcode, index, value, ptr, opt);
    // A call we cannot attribute: answer only the version, which is the same
    // for everyone.
    return opcode == audioMasterVersion ? 2400 : 0;
}

VstIntPtr VstPlugin::answer(VstInt32 opcode, VstInt32 index, VstIntPtr, void* ptr, float opt)
{
    switch (opcode)
    {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(host.sampleRate);
    case audioMasterGetBlockSize:
        return host.blockSize;
    case audioMasterAutomate:
    {
        std::lock_guard<std::mutex> guard(recordLock);
        automated.push_back({index, opt});
        return 0;
    }
    case audioMasterBeginEdit:
    {
        std::lock_guard<std::mutex> guard(recordLock);
        ++beginEdits;
        return 0;
    }
    case audioMasterEndEdit:
    {
        std::lock_guard<std::mutex> guard(recordLock);
        ++endEdits;
        return 0;
    }
    case audioMasterCanDo:
    {
        if (!ptr)
            return 0;
        const std::string what = fromBuffer(static_cast<const char*>(ptr));
        // What this host does: idle calls to an open editor. What it
        // plainly does not: events, time info, window resizing, offline.
        if (what == "supplyIdle" || what == "startStopProcess")
            return 1;
        static const char* const refused[] = {"sendVstEvents",
                                              "sendVstMidiEvent",
                                              "sendVstTimeInfo",
                                              "receiveVstEvents",
                                              "receiveVstMidiEvent",
                                              "sizeWindow",
                                              "offline",
                                              "openFileSelector",
                                              "closeFileSelector",
                                              "shellCategory",
                                              "sendVstMidiEventFlagIsRealtime"};
        for (const char* r : refused)
            if (what == r)
                return -1;
        return 0;
    }
    default:
        return 0;
    }
}
