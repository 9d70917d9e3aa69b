// Our module's editor opened by the host layer into a host window, and a
// mouse click on it (through the XTest extension) reported back to the host
// as automation, the way a DAW records a knob turned on the plug-in's panel.
// The test runs its own X server (Xvfb), so that no other test moving the
// shared pointer at the same time can steal its clicks.
#include "host/VstPlugin.h"
#include "tests/MissingResource.h"
#include "tests/host/PrivateXServer.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace
{
PrivateXServer server;
bool serverRunning = false;

class EditorHost : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { serverRunning = server.start(); }
    static void TearDownTestSuite() { server.stop(); }

    void SetUp() override
    {
        if (!serverRunning)
            SKIP_OR_FAIL_WITHOUT("Xvfb (it could not be started)");
        if (!(display = XOpenDisplay(nullptr)))
            SKIP_OR_FAIL_WITHOUT("a connection to the private X server");
        int event, error, major, minor;
        if (!XTestQueryExtension(display, &event, &error, &major, &minor))
            SKIP_OR_FAIL_WITHOUT("the XTest extension of the private X server");
        std::string message;
        plugin = VstPlugin::load(ZRV4_MODULE, message);
        ASSERT_NE(plugin, nullptr) << message;
        plugin->open();

        XSetWindowAttributes attributes{};
        attributes.override_redirect = True; // placed exactly where asked, no window manager
        parent = XCreateWindow(display, DefaultRootWindow(display), 0, 0, 890, 162, 0, CopyFromParent,
                               InputOutput, CopyFromParent, CWOverrideRedirect, &attributes);
        XMapRaised(display, parent);
        XSync(display, False);
    }

    void TearDown() override
    {
        if (plugin)
            plugin.reset(); // closes the editor, then the effect
        if (display)
        {
            if (parent)
                XDestroyWindow(display, parent);
            XCloseDisplay(display);
        }
    }

    void idle(int rounds)
    {
        for (int i = 0; i < rounds; ++i)
        {
            plugin->idleEditor();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    // A left click at (x, y) of the host window.
    void click(int x, int y)
    {
        int rootX = 0, rootY = 0;
        Window child;
        XTranslateCoordinates(display, parent, DefaultRootWindow(display), x, y, &rootX, &rootY, &child);
        XTestFakeMotionEvent(display, DefaultScreen(display), rootX, rootY, 0);
        XTestFakeButtonEvent(display, 1, True, 0);
        XTestFakeButtonEvent(display, 1, False, 0);
        XSync(display, False);
        idle(20);
    }

    Display* display = nullptr;
    Window parent = 0;
    std::unique_ptr<VstPlugin> plugin;
};
} // namespace

TEST_F(EditorHost, OpensWithThePanelSizeAndCloses)
{
    ASSERT_TRUE(plugin->hasEditor());
    int width = 0, height = 0;
    ASSERT_TRUE(plugin->editorRect(width, height));
    EXPECT_EQ(width, 890);
    EXPECT_EQ(height, 162);
    ASSERT_TRUE(plugin->openEditor(reinterpret_cast<void*>(parent)));
    EXPECT_TRUE(plugin->isEditorOpen());
    idle(10);
    plugin->closeEditor();
    EXPECT_FALSE(plugin->isEditorOpen());
    // And again: a host opens and closes the editor many times.
    ASSERT_TRUE(plugin->openEditor(reinterpret_cast<void*>(parent)));
    idle(5);
}

TEST_F(EditorHost, ClicksOnTheEditorReachTheHostAsAutomation)
{
    ASSERT_TRUE(plugin->openEditor(reinterpret_cast<void*>(parent)));
    idle(10);
    plugin->clearAutomation();

    // Bright Clean, an on/off switch at (216, 34), 28 x 28 pixels.
    click(216 + 14, 34 + 14);
    auto recorded = plugin->automation();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].index, 17);
    EXPECT_EQ(recorded[0].value, 1.0f);
    EXPECT_EQ(plugin->getParameter(17), 1.0f);

    // The channel selector at (215, 68), 400 pixels in: Lead.
    click(215 + 400, 68 + 10);
    recorded = plugin->automation();
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[1].index, 0);
    EXPECT_EQ(recorded[1].value, 1.0f);
    EXPECT_EQ(plugin->parameterLabel(0), "Lead");
}
