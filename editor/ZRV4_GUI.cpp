#include "editor/ZRV4_GUI.h"

#include "toolkit/CAnimKnob.h"
#include "toolkit/CBitmap.h"
#include "toolkit/CFrame.h"
#include "toolkit/CHorizontalSwitch.h"
#include "toolkit/COnOffButton.h"

namespace
{
enum ResourceNumber : long
{
    kFrontPanel = 128,
    kBackPanel = 129,
    kSmallSwitch = 130,
    kKnob = 131,
    kPowerSwitch = 133,
    kPanelArrow = 134,
    kOversamplingLamps = 135,
    kChannelLamps = 136,
};

enum ParameterIndex : VstInt32
{
    kChannel = 0,
    kBypass = 23,
    kPanelView = 24,
    kInputLevel = 25,
    kOutputLevel = 26,
    kOversampling = 27,
    kNumParameters = 28,
};

struct Placement
{
    VstInt32 index;
    long x;
    long y;
};

// Knob and switch fields hold their controls in these orders.
constexpr Placement knobPlaces[ZRV4_GUI::numKnobs] = {
    {16, 125, 10}, {9, 320, 10}, {1, 515, 10}, {21, 245, 10}, {15, 440, 10}, {8, 695, 10},
    {18, 125, 70}, {12, 320, 70}, {3, 515, 70}, {19, 185, 70}, {13, 380, 70}, {4, 575, 70},
    {20, 245, 70}, {14, 440, 70}, {5, 635, 70}, {6, 695, 70}, {25, 720, 15}, {26, 785, 15},
};
constexpr Placement switchPlaces[ZRV4_GUI::numSwitches] = {
    {17, 216, 34}, {11, 394, 34}, {10, 426, 34}, {2, 604, 34}, {7, 664, 34}, {22, 787, 40}, {23, 782, 68},
};
constexpr Placement panelButtonPlace = {kPanelView, 870, 72};
constexpr Placement channelPlace = {kChannel, 215, 68};
constexpr Placement oversamplingPlace = {kOversampling, 589, 42};

// Attach orders: later controls lie on top and take the mouse where they overlap.
constexpr VstInt32 frontOrder[] = {16, 9, 1, 21, 15, 8, 18, 12, 3, 19, 13, 4, 20,
                                   14, 5, 6, 0, 17, 11, 2, 7, 10, 22, 23, 24};
constexpr VstInt32 backOrder[] = {25, 26, 24, 27};

constexpr long defaultWidth = 890;
constexpr long defaultHeight = 162;

template <class View>
void release(View*& view)
{
    if (view != nullptr)
        view->forget();
    view = nullptr;
}

CRect placeOf(const Placement& p, const CBitmap* image, long subImages)
{
    return CRect(p.x, p.y, p.x + image->getWidth(), p.y + image->getHeight() / subImages);
}
} // namespace

ZRV4_GUI::ZRV4_GUI(EditorHost& host, AudioEffect* effect) : AEffGUIEditor(effect), host(host)
{
    frontImage = new CBitmap(kFrontPanel);
    backImage = new CBitmap(kBackPanel);
    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<int16_t>(frontImage->isLoaded() ? frontImage->getHeight() : defaultHeight);
    rect.right = static_cast<int16_t>(frontImage->isLoaded() ? frontImage->getWidth() : defaultWidth);
}

ZRV4_GUI::~ZRV4_GUI()
{
    // A host may destroy the effect with the window still open.
    if (getFrame() != nullptr)
        close();
    frontImage->forget();
    backImage->forget();
}

bool ZRV4_GUI::open(void* ptr)
{
    if (getFrame() != nullptr)
        close();
    AEffGUIEditor::open(ptr);

    CBitmap* smallSwitch = new CBitmap(kSmallSwitch);
    CBitmap* knob = new CBitmap(kKnob);
    CBitmap* powerSwitch = new CBitmap(kPowerSwitch);
    CBitmap* panelArrow = new CBitmap(kPanelArrow);
    CBitmap* oversamplingLamps = new CBitmap(kOversamplingLamps);
    CBitmap* channelLamps = new CBitmap(kChannelLamps);

    CFrame* newFrame = new CFrame(CRect(0, 0, rect.right, rect.bottom), ptr, this);
    newFrame->setBackground(frontImage);

    for (int i = 0; i < numKnobs; ++i)
        knobs[i] = new CAnimKnob(placeOf(knobPlaces[i], knob, 99), this, knobPlaces[i].index, 99,
                                 knob->getHeight() / 99, knob, CPoint(0, 0));
    for (int i = 0; i < numSwitches; ++i)
    {
        CBitmap* image = switchPlaces[i].index == kBypass ? powerSwitch : smallSwitch;
        switches[i] = new COnOffButton(placeOf(switchPlaces[i], image, 2), this, switchPlaces[i].index, image);
    }
    panelButton = new COnOffButton(placeOf(panelButtonPlace, panelArrow, 2), this, kPanelView, panelArrow);
    channelSelector = new CHorizontalSwitch(placeOf(channelPlace, channelLamps, 3), this, kChannel, 3,
                                            channelLamps->getHeight() / 3, 3, channelLamps, CPoint(0, 0));
    oversamplingSelector =
        new CHorizontalSwitch(placeOf(oversamplingPlace, oversamplingLamps, 3), this, kOversampling, 3,
                              oversamplingLamps->getHeight() / 3, 3, oversamplingLamps, CPoint(0, 0));
    pollValues();

    frame.store(newFrame, std::memory_order_release);
    // Opened, only exactly 1 shows the back; afterwards every change of the
    // value turns the panel to what the button then shows.
    panelValue = host.getParameter(kPanelView);
    showPanel(panelValue < 1.0f);

    smallSwitch->forget();
    knob->forget();
    powerSwitch->forget();
    panelArrow->forget();
    oversamplingLamps->forget();
    channelLamps->forget();

    if (!newFrame->isValid())
    {
        // No display or no window: nothing to show, and the host should know.
        close();
        return false;
    }
    return true;
}

void ZRV4_GUI::close()
{
    CFrame* oldFrame = frame.exchange(nullptr, std::memory_order_acq_rel);
    AEffGUIEditor::close();
    delete oldFrame;
    // The editor holds the first reference of every control, shown or not.
    for (CAnimKnob*& knob : knobs)
        release(knob);
    for (COnOffButton*& button : switches)
        release(button);
    release(panelButton);
    release(channelSelector);
    release(oversamplingSelector);
}

CControl* ZRV4_GUI::getControl(VstInt32 index) const
{
    switch (index)
    {
    case kPanelView: return panelButton;
    case kChannel: return channelSelector;
    case kOversampling: return oversamplingSelector;
    default: break;
    }
    for (int i = 0; i < numKnobs; ++i)
        if (knobPlaces[i].index == index)
            return knobs[i];
    for (int i = 0; i < numSwitches; ++i)
        if (switchPlaces[i].index == index)
            return switches[i];
    return nullptr;
}

void ZRV4_GUI::showPanel(bool front)
{
    CFrame* f = getFrame();
    if (f == nullptr)
        return;
    f->setBackground(front ? frontImage : backImage);
    f->removeAll();
    if (front)
        for (VstInt32 index : frontOrder)
            f->addView(getControl(index));
    else
        for (VstInt32 index : backOrder)
            f->addView(getControl(index));
    backShown = !front;
}

void ZRV4_GUI::pollValues()
{
    // The stored values: for the switch parameters already 0 or 1. A control
    // redraws only when its value changed.
    for (VstInt32 i = 0; i < kNumParameters; ++i)
        if (CControl* control = getControl(i))
            control->setValue(host.getParameter(i));
}

void ZRV4_GUI::idle()
{
    if (getFrame() == nullptr)
        return;
    // Read before the controls are polled: a change that lands between the
    // two reads is then seen again at the next idle, not lost.
    const float panel = host.getParameter(kPanelView);
    pollValues();
    if (panel != panelValue && panelButton != nullptr)
    {
        panelValue = panel;
        showPanel(panelButton->getValue() < 0.5f);
    }
    AEffGUIEditor::idle();
}

bool ZRV4_GUI::isParameterTag(long tag)
{
    return tag >= 0 && tag < kNumParameters;
}

void ZRV4_GUI::valueChanged(CDrawContext* /*context*/, CControl* control)
{
    if (control == nullptr || !isParameterTag(control->getTag()))
        return;
    host.performEdit(static_cast<int32_t>(control->getTag()), control->getValue());
    control->setDirty(true);
}

void ZRV4_GUI::controlBeginEdit(CControl* control)
{
    if (control != nullptr && isParameterTag(control->getTag()))
        host.beginEdit(static_cast<int32_t>(control->getTag()));
}

void ZRV4_GUI::controlEndEdit(CControl* control)
{
    if (control != nullptr && isParameterTag(control->getTag()))
        host.endEdit(static_cast<int32_t>(control->getTag()));
}
