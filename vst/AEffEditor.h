// Base of a plug-in editor as the host sees it: the effect forwards the
// effEdit* requests of its dispatcher to the editor it has registered.
#pragma once

#include "vst/aeffectx.h"

class AudioEffect;

class AEffEditor
{
public:
    explicit AEffEditor(AudioEffect* effect = nullptr) : effect(effect) {}
    virtual ~AEffEditor() = default;

    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;

    virtual AudioEffect* getEffect() { return effect; }

    // Writes a pointer to the editor rectangle into *rect; answers whether it did.
    virtual bool getRect(ERect** rect)
    {
        *rect = nullptr;
        return false;
    }
    // ptr is the parent window (an X11 Window id on Linux, an HWND on Windows).
    virtual bool open(void* ptr)
    {
        systemWindow = ptr;
        return false;
    }
    virtual void close() { systemWindow = nullptr; }
    virtual bool isOpen() { return systemWindow != nullptr; }
    virtual void idle() {}
    virtual bool setKnobMode(VstInt32 /*mode*/) { return false; }
    virtual bool onKeyDown(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool onKeyUp(VstKeyCode& /*keyCode*/) { return false; }
    // For an effect that tells its editor of parameter changes. The audio
    // thread must never call it: an editor that needs it takes the change
    // over to its own thread.
    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}

protected:
    AudioEffect* effect;
    void* systemWindow = nullptr;
};
