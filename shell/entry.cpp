// The module's entry point, exported as VSTPluginMain and, for older hosts,
// as main: one function under two names.
#include "shell/VST_ZRV4.h"

// Windows modules name their exports in zrv4.def, where main is a second
// name of VSTPluginMain.
#if defined(_WIN32)
#define ZRV4_EXPORT
#else
#define ZRV4_EXPORT __attribute__((visibility("default")))
#endif

extern "C" ZRV4_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster)
{
    // A host that does not answer the version query gets no effect.
    if (audioMaster == nullptr || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    VST_ZRV4* effect = new VST_ZRV4(audioMaster);
    return effect->getAeffect();
}

#if !defined(ZRV4_ENTRY_WITHOUT_MAIN) && !defined(_WIN32)
// C++ forbids ::main with this signature, so the second name is an assembler
// label on an alias of VSTPluginMain. A test program, which has a main of its
// own, compiles this file without it.
extern "C" ZRV4_EXPORT AEffect* vstMainEntry(audioMasterCallback audioMaster) __asm__("main")
    __attribute__((alias("VSTPluginMain")));
#endif
