// The Windows module's editor under Wine, opened by the host layer into a
// top-level window of the test: its child window, what it shows (pixel for
// pixel against the composite made from the images), mouse input through
// SendInput, host-side changes at idle, bad parents, and the native handles
// that 100 open/close rounds leave behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>

#include "host/VstPlugin.h"
#include "tests/editor/ExpectedPanel.h"
#include "tests/windows/Win32TestScreen.h"
#include "toolkit/CBitmap.h"
#include "toolkit/CFrame.h"

extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster);

namespace
{
using namespace expected_panel;

constexpr int originX = 20;
constexpr int originY = 100;

// The panel images through the toolkit's decoder (on Linux the editor tests
// decode them with libpng and find the same pixels).
Image decode(long id)
{
    Image out;
    CBitmap* bitmap = new CBitmap(id);
    if (bitmap->isLoaded())
    {
        out.width = static_cast<int>(bitmap->getWidth());
        out.height = static_cast<int>(bitmap->getHeight());
        out.rgba.resize(static_cast<size_t>(out.width) * out.height * 4);
        uint8_t* p = out.rgba.data();
        for (long y = 0; y < bitmap->getHeight(); ++y)
            for (long x = 0; x < bitmap->getWidth(); ++x, p += 4)
            {
                const uint32_t argb = bitmap->getPixel(x, y);
                p[0] = static_cast<uint8_t>(argb >> 16);
                p[1] = static_cast<uint8_t>(argb >> 8);
                p[2] = static_cast<uint8_t>(argb);
                p[3] = static_cast<uint8_t>(argb >> 24);
            }
    }
    bitmap->forget();
    return out;
}

class WindowsEditor : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        plugin = VstPlugin::load(ZRV4_MODULE, error);
        ASSERT_NE(plugin, nullptr) << error;
        plugin->open();
        parent = screen.createWindow(originX, originY, panelWidth, panelHeight);
        ASSERT_NE(parent, nullptr);
    }

    void TearDown() override
    {
        plugin.reset(); // closes the editor, then the effect
        if (parent != nullptr)
            screen.destroyWindow(parent);
    }

    bool open()
    {
        const bool opened = plugin->openEditor(parent);
        idle();
        return opened;
    }

    // A host's interface thread: its message loop and its idle timer.
    void idle(int rounds = 4)
    {
        for (int i = 0; i < rounds; ++i)
        {
            screen.pump();
            plugin->idleEditor();
            Sleep(3);
        }
        screen.pump();
    }

    void click(int x, int y)
    {
        screen.click(originX + x, originY + y);
        idle();
    }

    std::vector<uint32_t> expected(bool back, VstInt32 overrideIndex = -1, int overrideImage = 0)
    {
        float values[28];
        for (int i = 0; i < 28; ++i)
            values[i] = plugin->getParameter(i);
        return expectedPanel(decode, back, values, overrideIndex, overrideImage);
    }

    long differenceTo(bool back)
    {
        void* child = Win32TestScreen::firstChild(parent);
        return differingPixels(screen.grab(child, panelWidth, panelHeight), expected(back));
    }

    bool automated(int index, float value)
    {
        for (const VstPlugin::Automation& a : plugin->automation())
            if (a.index == index && a.value == value)
                return true;
        return false;
    }

    Win32TestScreen screen;
    std::unique_ptr<VstPlugin> plugin;
    void* parent = nullptr;
};

TEST_F(WindowsEditor, OpensAsAChildWindowShowingTheFrontFaceAndUnregistersItsClass)
{
    int width = 0, height = 0;
    ASSERT_TRUE(plugin->editorRect(width, height));
    EXPECT_EQ(width, 890);
    EXPECT_EQ(height, 162);
    ASSERT_TRUE(open());
    ASSERT_EQ(Win32TestScreen::childCount(parent), 1);
    void* child = Win32TestScreen::firstChild(parent);
    ASSERT_TRUE(Win32TestScreen::clientSize(child, width, height));
    EXPECT_EQ(width, 890);
    EXPECT_EQ(height, 162);
    const std::vector<uint32_t> shot = screen.grab(child, panelWidth, panelHeight);
    EXPECT_EQ(differingPixels(shot, expected(false)), 0);
    // The comparison sees one step of one knob: Gain Clean at 0.5 is sub-image 49, not 48.
    EXPECT_GT(differingPixels(shot, expected(false, 16, 48)), 0);

    // One class for the module while any of its editors is open, none after
    // the last one closes.
    std::string error;
    auto second = VstPlugin::load(ZRV4_MODULE, error);
    ASSERT_NE(second, nullptr) << error;
    second->open();
    void* secondParent = screen.createWindow(originX, originY + 200, panelWidth, panelHeight);
    ASSERT_TRUE(second->openEditor(secondParent));
    void* module = Win32TestScreen::moduleOf(ZRV4_MODULE);
    const std::string name = Win32TestScreen::classNameOf(child);
    EXPECT_EQ(Win32TestScreen::classNameOf(Win32TestScreen::firstChild(secondParent)), name);
    plugin->closeEditor();
    EXPECT_EQ(Win32TestScreen::childCount(parent), 0);
    EXPECT_TRUE(Win32TestScreen::classRegistered(module, name)) << name;
    second->closeEditor();
    EXPECT_FALSE(Win32TestScreen::classRegistered(module, name)) << name;
    second.reset();
    screen.destroyWindow(secondParent);
}

TEST_F(WindowsEditor, ChannelSelectorAndPanelButtonClicksAutomate)
{
    ASSERT_TRUE(open());
    const struct
    {
        int offset;
        float value;
    } cases[] = {{400, 1.0f}, {200, 0.5f}, {100, 0.0f}};
    for (const auto& c : cases)
    {
        plugin->clearAutomation();
        click(215 + c.offset, 78);
        EXPECT_EQ(plugin->getParameter(0), c.value) << "offset " << c.offset;
        EXPECT_TRUE(automated(0, c.value)) << "offset " << c.offset;
        EXPECT_EQ(differenceTo(false), 0) << "offset " << c.offset;
    }
    click(878, 81);
    EXPECT_EQ(plugin->getParameter(24), 1.0f);
    EXPECT_TRUE(automated(24, 1.0f));
    EXPECT_EQ(differenceTo(true), 0);
    click(878, 81);
    EXPECT_EQ(plugin->getParameter(24), 0.0f);
    EXPECT_EQ(differenceTo(false), 0);
}

TEST_F(WindowsEditor, KnobFollowsDragsWithCaptureTheWheelAndTheKnobMode)
{
    ASSERT_TRUE(open());
    // Linear mode: 40 pixels up is a fifth of the travel; the drag goes on
    // above the window, where only the capture brings the moves.
    screen.moveTo(originX + 164, originY + 49);
    screen.button(true);
    screen.moveTo(originX + 164, originY + 29);
    screen.moveTo(originX + 164, originY - 31);
    screen.button(false);
    idle();
    EXPECT_NEAR(plugin->getParameter(16), 0.9f, 1e-5f);

    // Shift moves ten times finer.
    screen.moveTo(originX + 164, originY + 49);
    screen.shift(true);
    screen.button(true);
    screen.moveTo(originX + 164, originY + 9);
    screen.button(false);
    screen.shift(false);
    idle();
    EXPECT_NEAR(plugin->getParameter(16), 0.92f, 1e-5f);

    // Two wheel notches down over the knob.
    plugin->clearAutomation();
    void* child = Win32TestScreen::firstChild(parent);
    SendMessageW(static_cast<HWND>(child), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-2 * WHEEL_DELTA)),
                 MAKELPARAM(originX + 164, originY + 49));
    idle();
    EXPECT_NEAR(plugin->getParameter(16), 0.88f, 1e-5f);
    EXPECT_TRUE(automated(16, plugin->getParameter(16)));
    EXPECT_EQ(differenceTo(false), 0);

    // Circular mode: a click right of the centre points the knob at 3 o'clock.
    ASSERT_EQ(plugin->dispatch(effSetEditKnobMode, 0, kCircularMode), 1);
    click(194, 49);
    EXPECT_NEAR(plugin->getParameter(16), 225.0f / 270.0f, 0.01f);
}

TEST_F(WindowsEditor, HostChangesReachTheControlsAtIdle)
{
    ASSERT_TRUE(open());
    const std::vector<uint32_t> before = expected(false);
    plugin->setParameter(16, 1.0f);
    plugin->setParameter(23, 1.0f);
    screen.pump();
    void* child = Win32TestScreen::firstChild(parent);
    EXPECT_EQ(differingPixels(screen.grab(child, panelWidth, panelHeight), before), 0);
    idle();
    EXPECT_EQ(differenceTo(false), 0);
    plugin->setParameter(24, 1.0f);
    idle();
    EXPECT_EQ(differenceTo(true), 0);
}

TEST_F(WindowsEditor, BogusOrDestroyedParentNeitherOpensNorCrashes)
{
    EXPECT_FALSE(plugin->openEditor(reinterpret_cast<void*>(uintptr_t{0x7ffff0})));
    EXPECT_FALSE(plugin->openEditor(nullptr));
    ASSERT_TRUE(open());
    screen.destroyWindow(parent);
    void* gone = parent;
    parent = nullptr;
    plugin->setParameter(16, 0.9f);
    idle();
    plugin->closeEditor();
    EXPECT_FALSE(plugin->openEditor(gone));

    parent = screen.createWindow(originX, originY, panelWidth, panelHeight);
    ASSERT_TRUE(open());
    EXPECT_EQ(differenceTo(false), 0);
}

// Wine's GetGuiResources always answers 0: the backend's own count of the
// windows, device contexts and window class it holds is checked instead, on
// the effect linked into this program.
TEST_F(WindowsEditor, HundredOpenCloseRoundsLeaveNoNativeHandles)
{
    AEffect* effect = VSTPluginMain([](AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) -> VstIntPtr {
        return opcode == audioMasterVersion ? 2400 : 0;
    });
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(CFrame::liveNativeHandles(), 0);
    for (int i = 0; i < 100; ++i)
    {
        ASSERT_EQ(effect->dispatcher(effect, effEditOpen, 0, 0, parent, 0.0f), 1) << "round " << i;
        EXPECT_GT(CFrame::liveNativeHandles(), 0);
        effect->setParameter(effect, 16, 0.01f * i);
        effect->setParameter(effect, 24, static_cast<float>(i % 2));
        effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
        screen.pump();
        effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
        ASSERT_EQ(CFrame::liveNativeHandles(), 0) << "round " << i;
    }
    EXPECT_EQ(Win32TestScreen::childCount(parent), 0);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}
} // namespace
