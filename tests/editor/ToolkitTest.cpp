// The toolkit's controls and drawing without a window: what each control shows
// for a value, what the mouse does to it, and alpha compositing with clipping.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "toolkit/CAnimKnob.h"
#include "toolkit/CBitmap.h"
#include "toolkit/CControlListener.h"
#include "toolkit/CDrawContext.h"
#include "toolkit/CHorizontalSwitch.h"
#include "toolkit/COnOffButton.h"
#include "toolkit/ModuleResources.h"

namespace
{
struct RecordingListener : CControlListener
{
    std::vector<float> values;
    int begun = 0, ended = 0;
    void valueChanged(CDrawContext*, CControl* control) override { values.push_back(control->getValue()); }
    void controlBeginEdit(CControl*) override { ++begun; }
    void controlEndEdit(CControl*) override { ++ended; }
};

template <class View> struct Held
{
    explicit Held(View* v) : view(v) {}
    ~Held() { view->forget(); }
    View* operator->() const { return view; }
    View* view;
};

TEST(Toolkit, KnobShowsFloorOfValueTimesLastImage)
{
    RecordingListener listener;
    Held<CAnimKnob> knob(new CAnimKnob(CRect(0, 0, 80, 80), &listener, 1, 99, 80, nullptr, CPoint()));
    const struct
    {
        float value;
        long image;
    } cases[] = {{0.0f, 0}, {0.5f, 49}, {1.0f, 98}, {0.999f, 97}, {0.01f, 0}, {0.0103f, 1},
                 {2.0f, 98}, {-1.0f, 0}, {std::numeric_limits<float>::quiet_NaN(), 0}};
    for (const auto& c : cases)
    {
        knob->setValue(c.value);
        EXPECT_EQ(knob->getShownImage(), c.image) << c.value;
    }
    EXPECT_TRUE(listener.values.empty());
}

TEST(Toolkit, KnobLinearDragWithFineModifierAndLimits)
{
    RecordingListener listener;
    Held<CAnimKnob> knob(new CAnimKnob(CRect(100, 100, 180, 180), &listener, 1, 99, 80, nullptr, CPoint()));
    knob->setValue(0.5f);
    knob->onMouseDown(CPoint(140, 140), 0);
    knob->onMouseMoved(CPoint(140, 120), 0);
    EXPECT_NEAR(knob->getValue(), 0.6f, 1e-6f);
    knob->onMouseMoved(CPoint(170, 120), 0); // sideways changes nothing and tells nobody
    EXPECT_EQ(listener.values.size(), 1u);
    knob->onMouseMoved(CPoint(170, 20), kShift);
    EXPECT_NEAR(knob->getValue(), 0.65f, 1e-6f);
    knob->onMouseMoved(CPoint(170, -500), 0);
    EXPECT_EQ(knob->getValue(), 1.0f);
    knob->onMouseUp(CPoint(170, 900), 0);
    EXPECT_EQ(knob->getValue(), 0.0f);
    knob->onMouseMoved(CPoint(170, 0), 0); // released: no more changes
    EXPECT_EQ(knob->getValue(), 0.0f);
    EXPECT_EQ(listener.values.back(), 0.0f);
}

TEST(Toolkit, KnobWheelStepsWithFineModifierAndLimits)
{
    RecordingListener listener;
    Held<CAnimKnob> knob(new CAnimKnob(CRect(0, 0, 80, 80), &listener, 1, 99, 80, nullptr, CPoint()));
    knob->setValue(0.5f);
    knob->onMouseWheel(CPoint(40, 40), 2.0f, 0);
    EXPECT_NEAR(knob->getValue(), 0.54f, 1e-6f);
    knob->onMouseWheel(CPoint(40, 40), -1.0f, kControl);
    EXPECT_NEAR(knob->getValue(), 0.538f, 1e-6f);
    knob->onMouseWheel(CPoint(40, 40), 100.0f, 0);
    EXPECT_EQ(knob->getValue(), 1.0f);
    knob->onMouseWheel(CPoint(40, 40), std::numeric_limits<float>::quiet_NaN(), 0);
    EXPECT_EQ(knob->getValue(), 1.0f);
    EXPECT_EQ(listener.values.size(), 3u);
    // Each notch is a gesture of its own, framed for the host.
    EXPECT_EQ(listener.begun, 3);
    EXPECT_EQ(listener.ended, 3);
}

TEST(Toolkit, OnOffButtonTogglesAndAlwaysTells)
{
    RecordingListener listener;
    Held<COnOffButton> button(new COnOffButton(CRect(0, 0, 28, 28), &listener, 2, nullptr));
    EXPECT_EQ(button->getShownImage(), 0);
    button->onMouseDown(CPoint(5, 5), 0);
    EXPECT_EQ(button->getValue(), 1.0f);
    EXPECT_EQ(button->getShownImage(), 1);
    button->setValue(0.7f);
    EXPECT_EQ(button->getShownImage(), 1);
    button->onMouseDown(CPoint(5, 5), 0);
    EXPECT_EQ(button->getValue(), 0.0f);
    EXPECT_EQ(listener.values, (std::vector<float>{1.0f, 0.0f}));
}

TEST(Toolkit, HorizontalSwitchPositionsFromTheImageWidth)
{
    RecordingListener listener;
    // A selector 439 pixels wide at x 215 with three positions (no image: its own width counts).
    Held<CHorizontalSwitch> selector(
        new CHorizontalSwitch(CRect(215, 68, 654, 88), &listener, 0, 3, 20, 3, nullptr, CPoint()));
    const struct
    {
        long offset;
        float value;
        long image;
    } cases[] = {{100, 0.0f, 0}, {146, 0.0f, 0}, {147, 0.5f, 1}, {200, 0.5f, 1}, {293, 1.0f, 2}, {400, 1.0f, 2}};
    for (const auto& c : cases)
    {
        selector->onMouseDown(CPoint(215 + c.offset, 78), 0);
        selector->onMouseUp(CPoint(215 + c.offset, 78), 0);
        EXPECT_EQ(selector->getValue(), c.value) << c.offset;
        EXPECT_EQ(selector->getShownImage(), c.image) << c.offset;
    }
    // The listener hears changes only: 0 -> 0.5 -> 1.
    EXPECT_EQ(listener.values, (std::vector<float>{0.5f, 1.0f}));
    // Dragging beyond the ends holds the end positions.
    selector->onMouseDown(CPoint(215, 78), 0);
    selector->onMouseMoved(CPoint(2000, 78), 0);
    EXPECT_EQ(selector->getValue(), 1.0f);
    selector->onMouseMoved(CPoint(-2000, 78), 0);
    EXPECT_EQ(selector->getValue(), 0.0f);
    selector->setValue(0.24f);
    EXPECT_EQ(selector->getShownImage(), 0);
    selector->setValue(0.26f);
    EXPECT_EQ(selector->getShownImage(), 1);
}

TEST(Toolkit, ValueChangeMarksDirtyOnlyWhenItChanges)
{
    Held<COnOffButton> button(new COnOffButton(CRect(0, 0, 4, 4), nullptr, 2, nullptr));
    button->takeDirty();
    button->setValue(0.0f);
    EXPECT_FALSE(button->isDirty());
    button->setValue(1.0f);
    EXPECT_TRUE(button->takeDirty());
    EXPECT_FALSE(button->isDirty());
}

TEST(Toolkit, BitmapBlendsByAlphaInsideTheClip)
{
    // Bad bytes decode to nothing and draw nothing; the knob strip gives a real blend.
    CDrawContext context(4, 4);
    context.fillRect(CRect(0, 0, 4, 4), 0x000000);
    const unsigned char garbage[] = {0x89, 'P', 'N', 'G', 1, 2, 3};
    CBitmap* bad = new CBitmap(garbage, sizeof garbage);
    EXPECT_FALSE(bad->isLoaded());
    bad->draw(&context, CRect(0, 0, 4, 4));
    bad->forget();
    CBitmap* none = new CBitmap(nullptr, 0);
    EXPECT_FALSE(none->isLoaded());
    none->forget();
    // A PNG cut off in the middle of its pixel data.
    const ModuleResource knobBytes = findModuleResource(131);
    ASSERT_NE(knobBytes.data, nullptr);
    CBitmap* truncated = new CBitmap(knobBytes.data, knobBytes.size / 2);
    EXPECT_FALSE(truncated->isLoaded());
    EXPECT_EQ(truncated->getWidth(), 0);
    truncated->draw(&context, CRect(0, 0, 4, 4));
    truncated->forget();
    for (long y = 0; y < 4; ++y)
        for (long x = 0; x < 4; ++x)
            EXPECT_EQ(context.row(y)[x], 0u);

    CBitmap* knob = new CBitmap(131L);
    ASSERT_TRUE(knob->isLoaded());
    CDrawContext panel(80, 80);
    panel.fillRect(CRect(0, 0, 80, 80), 0x204060);
    panel.setClip(CRect(0, 0, 40, 80));
    knob->draw(&panel, CRect(0, 0, 80, 80), CPoint(0, 49 * 80));
    for (long y = 0; y < 80; y += 5)
        for (long x = 0; x < 80; x += 5)
        {
            const uint32_t src = knob->getPixel(x, 49 * 80 + y);
            const uint32_t a = src >> 24;
            uint32_t want = 0x204060;
            if (x < 40)
            {
                const uint32_t dst[3] = {0x20, 0x40, 0x60};
                const uint32_t s[3] = {(src >> 16) & 0xff, (src >> 8) & 0xff, src & 0xff};
                want = 0;
                for (int k = 0; k < 3; ++k)
                    want = (want << 8) | ((s[k] * a + dst[k] * (255 - a) + 127) / 255);
            }
            EXPECT_EQ(panel.row(y)[x], want) << x << "," << y;
        }
    knob->forget();
}
} // namespace
