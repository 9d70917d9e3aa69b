// The plug-in's editor: an amplifier panel of 890 x 162 pixels with two faces.
// The front carries the controls of the three channels, the channel selector,
// the stereo/mono and power switches; the back the level knobs and the
// oversampling selector. Parameter 24 "Panel View" picks the face. Every
// control's tag is its parameter index; the editor keeps no parameter state.
#pragma once

#include <atomic>

#include "toolkit/AEffGUIEditor.h"
#include "toolkit/CControlListener.h"

class AudioEffect;
class CAnimKnob;
class CBitmap;
class CControl;
class CHorizontalSwitch;
class COnOffButton;

class ZRV4_GUI : public AEffGUIEditor, public CControlListener
{
public:
    explicit ZRV4_GUI(AudioEffect* effect);
    ~ZRV4_GUI() override;

    bool open(void* ptr) override;
    void close() override;
    // Turns the panel when parameter 24 asked for it, then lets the frame draw.
    void idle() override;
    void setParameter(VstInt32 index, float value) override;
    void valueChanged(CDrawContext* context, CControl* control) override;

    // The control of a parameter index; null while closed or for other indices.
    CControl* getControl(VstInt32 index) const;
    bool isBackShown() const { return backShown; }

    static constexpr int numKnobs = 18;
    static constexpr int numSwitches = 7;

private:
    void showPanel(bool front);

    CAnimKnob* knobs[numKnobs] = {};
    COnOffButton* switches[numSwitches] = {};
    COnOffButton* panelButton = nullptr;
    CHorizontalSwitch* channelSelector = nullptr;
    CHorizontalSwitch* oversamplingSelector = nullptr;
    CBitmap* frontImage = nullptr;
    CBitmap* backImage = nullptr;

    // setParameter(24) may come on the audio thread, but views are attached and
    // detached on the interface thread only: the turn waits for the next idle.
    enum PanelRequest : int
    {
        kNoRequest = -1,
        kFront = 0,
        kBack = 1,
    };
    std::atomic<int> panelRequest{kNoRequest};
    bool backShown = false;
};
