// Editor base for toolkit editors: registers itself with the effect, holds the
// editor rectangle, the frame (null while closed) and the knob mode, and lets
// the frame handle its window at every idle.
#pragma once

#include <atomic>

#include "vst/AEffEditor.h"

class CFrame;

class AEffGUIEditor : public AEffEditor
{
public:
    explicit AEffGUIEditor(AudioEffect* effect);

    bool getRect(ERect** ppRect) override;
    bool open(void* ptr) override;
    // Clears the frame pointer; a derived editor destroys the frame itself.
    void close() override;
    void idle() override;
    bool setKnobMode(VstInt32 mode) override;
    VstInt32 getKnobMode() const { return knobMode.load(std::memory_order_relaxed); }

    CFrame* getFrame() const { return frame.load(std::memory_order_acquire); }

protected:
    ERect rect{};
    // Set by open and close; read by idle and by the host's editor calls,
    // which not every host makes from one thread.
    std::atomic<CFrame*> frame{nullptr};

private:
    std::atomic<VstInt32> knobMode{kLinearMode};
};
