#include "toolkit/AEffGUIEditor.h"

#include "toolkit/CFrame.h"
#include "vst/AudioEffect.h"

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect) : AEffEditor(effect)
{
    if (effect != nullptr)
        effect->setEditor(this);
}

bool AEffGUIEditor::getRect(ERect** ppRect)
{
    if (ppRect == nullptr)
        return false;
    *ppRect = &rect;
    return true;
}

bool AEffGUIEditor::open(void* ptr)
{
    AEffEditor::open(ptr);
    return true;
}

void AEffGUIEditor::close()
{
    frame.store(nullptr, std::memory_order_release);
    AEffEditor::close();
}

void AEffGUIEditor::idle()
{
    if (CFrame* f = getFrame())
        f->idle();
}

bool AEffGUIEditor::setKnobMode(VstInt32 mode)
{
    if (mode != kCircularMode && mode != kRelativCircularMode && mode != kLinearMode)
        return false;
    knobMode.store(mode, std::memory_order_relaxed);
    return true;
}
