// The editor in a real X server, opened by a test host through the plug-in's
// entry point: what each face shows (compared pixel for pixel with the panel
// composited here from the images and the parameter values), synthetic mouse
// input on the controls, host-side changes, and repeated or parallel opening.
#include <gtest/gtest.h>

#include <png.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "editor/ZRV4_GUI.h"
#include "tests/MissingResource.h"
#include "tests/editor/ExpectedPanel.h"
#include "tests/editor/TestScreen.h"
#include "toolkit/CAnimKnob.h"
#include "toolkit/CFrame.h"
#include "toolkit/COnOffButton.h"
#include "toolkit/ModuleResources.h"
#include "vst/AudioEffect.h"

extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster);

namespace
{
using namespace expected_panel;
// Where the host's parent window stands on the screen.
constexpr int originX = 20;
constexpr int originY = 100;

struct Automation
{
    AEffect* effect;
    VstInt32 index;
    float value;
};
std::vector<Automation> automation;
// Edit gestures and automation in the order the host heard them: opcode, index.
std::vector<std::pair<VstInt32, VstInt32>> gestures;

VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt)
{
    if (opcode == audioMasterVersion)
        return 2400;
    if (opcode == audioMasterAutomate)
        automation.push_back({effect, index, opt});
    if (opcode == audioMasterAutomate || opcode == audioMasterBeginEdit || opcode == audioMasterEndEdit)
        gestures.emplace_back(opcode, index);
    return 0;
}

Image decode(long id)
{
    Image out;
    const ModuleResource resource = findModuleResource(id);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (resource.data == nullptr || !png_image_begin_read_from_memory(&image, resource.data, resource.size))
        return out;
    image.format = PNG_FORMAT_RGBA;
    out.rgba.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr))
    {
        out.width = static_cast<int>(image.width);
        out.height = static_cast<int>(image.height);
    }
    return out;
}

class EditorTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!screen.available())
            SKIP_OR_FAIL_WITHOUT("an X display with the XTest extension (run under xvfb-run)");
        automation.clear();
        effect = VSTPluginMain(hostCallback);
        ASSERT_NE(effect, nullptr);
    }

    void TearDown() override
    {
        if (effect != nullptr)
        {
            dispatch(effEditClose);
            dispatch(effClose);
        }
        if (parent != 0)
            screen.destroyWindow(parent);
    }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr)
    {
        return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
    }

    bool open()
    {
        if (parent == 0)
            parent = screen.createWindow(originX, originY, panelWidth, panelHeight);
        const bool opened = dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent)) == 1;
        idle();
        return opened;
    }

    // The host's interface thread: a few rounds of idle, as a host's timer gives.
    void idle(int rounds = 4)
    {
        for (int i = 0; i < rounds; ++i)
        {
            dispatch(effEditIdle);
            usleep(3000);
        }
    }

    float param(VstInt32 index) { return effect->getParameter(effect, index); }
    void set(VstInt32 index, float v) { effect->setParameter(effect, index, v); }

    ZRV4_GUI* gui() { return dynamic_cast<ZRV4_GUI*>(static_cast<AudioEffect*>(effect->object)->getEditor()); }
    long shownViews() { return gui()->getFrame() != nullptr ? gui()->getFrame()->getNbViews() : -1; }

    void click(int x, int y)
    {
        screen.click(originX + x, originY + y);
        idle();
    }

    std::vector<uint32_t> screenshot() { return screen.grab(parent, panelWidth, panelHeight); }

    std::vector<uint32_t> expected(bool back)
    {
        float values[28];
        for (VstInt32 i = 0; i < 28; ++i)
            values[i] = param(i);
        return expectedPanel(decode, back, values);
    }

    // Pixel for pixel, the window shows the face with every control's sub-image.
    void expectFace(bool back)
    {
        EXPECT_EQ(differingPixels(screenshot(), expected(back)), 0) << (back ? "back" : "front") << " face";
    }

    bool automated(VstInt32 index, float value)
    {
        for (const Automation& a : automation)
            if (a.effect == effect && a.index == index && a.value == value)
                return true;
        return false;
    }

    TestScreen screen;
    AEffect* effect = nullptr;
    unsigned long parent = 0;
};

TEST_F(EditorTest, FrontFaceShowsItsControlsInTheEditorRectangle)
{
    EXPECT_NE(effect->flags & effFlagsHasEditor, 0);
    ERect* rect = nullptr;
    ASSERT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 162);
    EXPECT_EQ(rect->right, 890);

    ASSERT_TRUE(open());
    EXPECT_EQ(shownViews(), 25);
    EXPECT_FALSE(gui()->isBackShown());
    const std::vector<uint32_t> shot = screenshot();
    EXPECT_TRUE(writePng("editor-front.png", shot, panelWidth, panelHeight));
    EXPECT_EQ(differingPixels(shot, expected(false)), 0);
    // The comparison sees one step of one knob: Gain Clean at 0.5 is sub-image 49, not 48.
    float values[28];
    for (VstInt32 i = 0; i < 28; ++i)
        values[i] = param(i);
    EXPECT_GT(differingPixels(shot, expectedPanel(decode, false, values, 16, 48)), 0);
}

TEST_F(EditorTest, BackFaceShowsFourControlsWhenPanelViewIsOne)
{
    set(24, 1.0f);
    ASSERT_TRUE(open());
    EXPECT_EQ(shownViews(), 4);
    EXPECT_TRUE(gui()->isBackShown());
    const std::vector<uint32_t> shot = screenshot();
    EXPECT_TRUE(writePng("editor-back.png", shot, panelWidth, panelHeight));
    EXPECT_EQ(differingPixels(shot, expected(true)), 0);
}

TEST_F(EditorTest, ChannelSelectorClicksSelectEachChannelAndAutomate)
{
    ASSERT_TRUE(open());
    const struct
    {
        int offset;
        float value;
    } cases[] = {{400, 1.0f}, {200, 0.5f}, {100, 0.0f}};
    for (const auto& c : cases)
    {
        automation.clear();
        click(215 + c.offset, 78);
        EXPECT_EQ(param(0), c.value) << "offset " << c.offset;
        EXPECT_TRUE(automated(0, c.value)) << "offset " << c.offset;
        expectFace(false);
    }
}

TEST_F(EditorTest, OversamplingSelectorThirdsGiveTheThreeFactors)
{
    set(24, 1.0f);
    ASSERT_TRUE(open());
    const struct
    {
        int offset;
        float value;
        const char* label;
    } cases[] = {{10, 0.0f, "2x"}, {90, 1.0f, "8x"}, {50, 0.5f, "4x"}};
    for (const auto& c : cases)
    {
        automation.clear();
        click(589 + c.offset, 52);
        EXPECT_EQ(param(27), c.value);
        EXPECT_TRUE(automated(27, c.value));
        char label[64] = {};
        dispatch(effGetParamLabel, 27, 0, label);
        EXPECT_STREQ(label, c.label);
        expectFace(true);
    }
}

TEST_F(EditorTest, PanelButtonTurnsThePanelBothWays)
{
    ASSERT_TRUE(open());
    CControl* button = gui()->getControl(24);
    click(878, 81);
    EXPECT_EQ(param(24), 1.0f);
    EXPECT_TRUE(automated(24, 1.0f));
    EXPECT_EQ(shownViews(), 4);
    expectFace(true);
    click(878, 81);
    EXPECT_EQ(param(24), 0.0f);
    EXPECT_TRUE(automated(24, 0.0f));
    EXPECT_EQ(shownViews(), 25);
    EXPECT_EQ(gui()->getControl(24), button);
    expectFace(false);
}

TEST_F(EditorTest, KnobDragFollowsTheMouseAndTheKnobMode)
{
    ASSERT_TRUE(open());
    // Linear mode: 40 pixels up is a fifth of the travel.
    screen.moveTo(originX + 164, originY + 49);
    screen.button(true);
    idle(1);
    screen.moveTo(originX + 164, originY + 29);
    idle(1);
    screen.moveTo(originX + 164, originY + 9);
    screen.button(false);
    idle();
    EXPECT_NEAR(param(16), 0.7f, 1e-5f);
    ASSERT_FALSE(automation.empty());
    EXPECT_EQ(automation.back().index, 16);
    EXPECT_EQ(automation.back().value, param(16));
    expectFace(false);

    // Shift moves ten times finer.
    screen.moveTo(originX + 164, originY + 49);
    screen.shift(true);
    screen.button(true);
    idle(1);
    screen.moveTo(originX + 164, originY + 9);
    screen.button(false);
    screen.shift(false);
    idle();
    EXPECT_NEAR(param(16), 0.72f, 1e-5f);

    // Circular mode: a click right of the centre points the knob at 3 o'clock.
    ASSERT_EQ(dispatch(effSetEditKnobMode, 0, kCircularMode), 1);
    click(194, 49);
    EXPECT_NEAR(param(16), 225.0f / 270.0f, 0.01f);
}

// The host hears each mouse gesture as begin, the values, end.
TEST_F(EditorTest, EditsReachTheHostAsGestures)
{
    ASSERT_TRUE(open());
    gestures.clear();
    click(215 + 400, 78); // channel selector
    click(878, 81);       // panel button
    click(878, 81);
    using G = std::vector<std::pair<VstInt32, VstInt32>>;
    EXPECT_EQ(gestures, (G{{audioMasterBeginEdit, 0}, {audioMasterAutomate, 0}, {audioMasterEndEdit, 0},
                           {audioMasterBeginEdit, 24}, {audioMasterAutomate, 24}, {audioMasterEndEdit, 24},
                           {audioMasterBeginEdit, 24}, {audioMasterAutomate, 24}, {audioMasterEndEdit, 24}}));
    gestures.clear();
    screen.moveTo(originX + 164, originY + 49); // Gain Clean, dragged
    screen.button(true);
    idle(1);
    screen.moveTo(originX + 164, originY + 29);
    screen.button(false);
    idle();
    ASSERT_GE(gestures.size(), 3u);
    EXPECT_EQ(gestures.front(), std::make_pair(static_cast<VstInt32>(audioMasterBeginEdit), 16));
    EXPECT_EQ(gestures.back(), std::make_pair(static_cast<VstInt32>(audioMasterEndEdit), 16));
}

TEST_F(EditorTest, ClickOutsideEveryControlChangesNothing)
{
    ASSERT_TRUE(open());
    float before[28];
    for (VstInt32 i = 0; i < 28; ++i)
        before[i] = param(i);
    automation.clear();
    click(60, 150);
    click(100, 5);
    for (VstInt32 i = 0; i < 28; ++i)
        EXPECT_EQ(param(i), before[i]) << "parameter " << i;
    EXPECT_TRUE(automation.empty());
    expectFace(false);
}

TEST_F(EditorTest, HostChangesMoveTheControls)
{
    ASSERT_TRUE(open());
    auto* gainClean = dynamic_cast<CAnimKnob*>(gui()->getControl(16));
    ASSERT_NE(gainClean, nullptr);
    set(16, 0.5f);
    idle();
    EXPECT_EQ(gainClean->getShownImage(), 49);
    expectFace(false);
    set(16, 1.0f);
    idle();
    EXPECT_EQ(gainClean->getShownImage(), 98);
    expectFace(false);

    // Bypass: lamp lit (upper picture) while 0, dark while 1.
    auto* power = dynamic_cast<COnOffButton*>(gui()->getControl(23));
    ASSERT_NE(power, nullptr);
    set(23, 1.0f);
    idle();
    EXPECT_EQ(power->getShownImage(), 1);
    expectFace(false);
    set(23, 0.0f);
    idle();
    EXPECT_EQ(power->getShownImage(), 0);
    expectFace(false);

    // A switch parameter arrives as the stored 0 or 1.
    set(17, 0.7f);
    idle();
    EXPECT_EQ(gui()->getControl(17)->getValue(), 1.0f);
    expectFace(false);
}

TEST_F(EditorTest, HiddenKnobShowsItsNewValueWhenThePanelTurns)
{
    set(24, 1.0f);
    ASSERT_TRUE(open());
    set(12, 0.9f);
    set(24, 0.0f);
    idle();
    EXPECT_EQ(shownViews(), 25);
    EXPECT_EQ(dynamic_cast<CAnimKnob*>(gui()->getControl(12))->getShownImage(), 88);
    expectFace(false);
}

TEST_F(EditorTest, PanelViewBetweenHalfAndOneTurnsToTheBackUntilReopened)
{
    ASSERT_TRUE(open());
    set(24, 0.7f);
    idle();
    EXPECT_TRUE(gui()->isBackShown());
    EXPECT_EQ(shownViews(), 4);
    char label[64] = {};
    dispatch(effGetParamLabel, 24, 0, label);
    EXPECT_STREQ(label, "FRONT");
    dispatch(effEditClose);
    ASSERT_TRUE(open());
    EXPECT_FALSE(gui()->isBackShown());
    EXPECT_EQ(shownViews(), 25);
}

TEST_F(EditorTest, ForeignTagsAndIndicesAreIgnored)
{
    ASSERT_TRUE(open());
    float before[28];
    for (VstInt32 i = 0; i < 28; ++i)
        before[i] = param(i);
    COnOffButton* stranger = new COnOffButton(CRect(0, 0, 10, 10), gui(), 30, nullptr);
    stranger->setValue(1.0f);
    gui()->valueChanged(nullptr, stranger);
    stranger->forget();
    set(30, 0.7f);
    set(-1, 0.7f);
    idle();
    EXPECT_TRUE(automation.empty());
    for (VstInt32 i = 0; i < 28; ++i)
        EXPECT_EQ(param(i), before[i]) << "parameter " << i;
    expectFace(false);
}

TEST_F(EditorTest, OpensAndClosesAHundredTimes)
{
    for (int i = 0; i < 100; ++i)
    {
        ASSERT_TRUE(open()) << "round " << i;
        set(24, static_cast<float>(i % 2));
        idle(1);
        dispatch(effEditClose);
        EXPECT_EQ(gui()->getFrame(), nullptr);
        set(16, 0.01f * i); // reaches a closed editor: nothing happens
    }
    set(24, 0.0f);
    ASSERT_TRUE(open());
    expectFace(false);
    // Closing twice and idling while closed are harmless.
    dispatch(effEditClose);
    dispatch(effEditClose);
    idle(1);
    // A host may destroy the effect with its editor still open.
    ASSERT_TRUE(open());
}

// Regression: host automation on another thread while the editor opened,
// idled 0 to 3 times and closed moved controls that the close had freed.
TEST_F(EditorTest, AutomationWhileTheEditorOpensAndCloses)
{
    parent = screen.createWindow(originX, originY, panelWidth, panelHeight);
    std::atomic<bool> stop{false};
    std::thread automation([&] {
        for (int round = 0; !stop; ++round)
            for (VstInt32 i = 0; i < 28; ++i)
                set(i, ((round + i) % 10) / 9.0f);
    });
    int opened = 0;
    for (int round = 0; round < 100; ++round)
    {
        opened += dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent)) == 1;
        for (int k = round % 4; k > 0; --k)
            dispatch(effEditIdle);
        dispatch(effEditClose);
    }
    stop = true;
    automation.join();
    EXPECT_EQ(opened, 100);
}

TEST_F(EditorTest, TwoInstancesWithEditorsIdledFromAnotherThread)
{
    AEffect* second = VSTPluginMain(hostCallback);
    ASSERT_NE(second, nullptr);
    const unsigned long secondParent = screen.createWindow(originX, originY + 200, panelWidth, panelHeight);
    parent = screen.createWindow(originX, originY, panelWidth, panelHeight);

    std::atomic<bool> opened{false};
    std::atomic<bool> stop{false};
    // The interface thread opens, idles and closes both editors.
    std::thread ui([&] {
        const bool a = dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent)) == 1;
        const bool b = second->dispatcher(second, effEditOpen, 0, 0, reinterpret_cast<void*>(secondParent), 0) == 1;
        opened = a && b;
        while (!stop)
        {
            dispatch(effEditIdle);
            second->dispatcher(second, effEditIdle, 0, 0, nullptr, 0);
            usleep(1000);
        }
        dispatch(effEditIdle);
        second->dispatcher(second, effEditIdle, 0, 0, nullptr, 0);
    });
    // Meanwhile this thread plays the host's automation.
    for (int i = 0; i <= 400; ++i)
    {
        set(16, (i % 100) / 99.0f);
        second->setParameter(second, 21, ((i + 50) % 100) / 99.0f);
        if (i % 100 == 0)
            second->setParameter(second, 24, static_cast<float>((i / 100) % 2));
        usleep(200);
    }
    usleep(20000);
    stop = true;
    ui.join();
    ASSERT_TRUE(opened);
    expectFace(false);
    float values[28];
    for (VstInt32 i = 0; i < 28; ++i)
        values[i] = second->getParameter(second, i);
    EXPECT_EQ(differingPixels(screen.grab(secondParent, panelWidth, panelHeight), expectedPanel(decode, false, values)), 0);

    second->dispatcher(second, effEditClose, 0, 0, nullptr, 0);
    second->dispatcher(second, effClose, 0, 0, nullptr, 0);
    screen.destroyWindow(secondParent);
}
} // namespace

namespace
{
// A host that destroys its window before closing the editor, or hands over a
// window id that does not exist, must not have its process ended by Xlib.
TEST_F(EditorTest, ParentWindowGoneOrBogusDoesNotEndTheHost)
{
    ASSERT_TRUE(open());
    screen.destroyWindow(parent);
    parent = 0;
    set(16, 0.9f);
    idle();
    dispatch(effEditClose);
    EXPECT_EQ(gui()->getFrame(), nullptr);

    EXPECT_EQ(dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t{0x7ffff0})), 0);
    EXPECT_EQ(gui()->getFrame(), nullptr);
    idle();
    ASSERT_TRUE(open());
    expectFace(false);
}
} // namespace
