// The plug-in's editor: an amplifier panel of 890 x 162 pixels with two faces.
// The front carries the controls of the three channels, the channel selector,
// the stereo/mono and power switches; the back the level knobs and the
// oversampling selector. Parameter 24 "Panel View" picks the face. Every
// control's tag is its parameter index. The editor reads the values through
// its host link when it idles, on its own thread, and reports the user's
// edits through it; nothing calls into the editor from the audio thread.
#pragma once

#include "editor/EditorHost.h"
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
    // effect, if not null, is the VST effect that owns the editor; the
    // editor registers itself with it.
    ZRV4_GUI(EditorHost& host, AudioEffect* effect);
    ~ZRV4_GUI() override;

    bool open(void* ptr) override;
    void close() override;
    // Moves the controls to the current values, turns the panel when
    // parameter 24 changed, then lets the frame draw.
    void idle() override;
    void valueChanged(CDrawContext* context, CControl* control) override;
    void controlBeginEdit(CControl* control) override;
    void controlEndEdit(CControl* control) override;

    // The control of a parameter index; null while closed or for other indices.
    CControl* getControl(VstInt32 index) const;
    bool isBackShown() const { return backShown; }

    static constexpr int numKnobs = 18;
    static constexpr int numSwitches = 7;

private:
    void showPanel(bool front);
    void pollValues();
    static bool isParameterTag(long tag);

    EditorHost& host;

    CAnimKnob* knobs[numKnobs] = {};
    COnOffButton* switches[numSwitches] = {};
    COnOffButton* panelButton = nullptr;
    CHorizontalSwitch* channelSelector = nullptr;
    CHorizontalSwitch* oversamplingSelector = nullptr;
    CBitmap* frontImage = nullptr;
    CBitmap* backImage = nullptr;

    // The Panel View value the shown face was chosen for.
    float panelValue = 0.0f;
    bool backShown = false;
};
