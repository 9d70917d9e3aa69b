// The LV2 UI of this build loaded through its descriptor as a host loads it:
// embedded under a parent window (ui:parent), driven by the idle interface,
// fed port events, its edits caught at the write function. Its panel is
// compared with the VST module's editor, opened by the host layer beside it.
// Both run in a private X server, so that no other test steals the clicks.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <thread>
#include <vector>

#include <lv2/ui/ui.h>

#include "host/VstPlugin.h"
#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Uris.h"
#include "tests/MissingResource.h"
#include "tests/editor/TestScreen.h"
#include "tests/host/PrivateXServer.h"

namespace
{

constexpr int width = 890;
constexpr int height = 162;
// Window positions on the private screen: the LV2 UI above, the VST editor below.
constexpr int lv2Top = 0;
constexpr int vstTop = 300;

PrivateXServer server;
bool serverRunning = false;

struct Write
{
    uint32_t port;
    float value;
};

class Lv2Ui : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { serverRunning = server.start(); }
    static void TearDownTestSuite() { server.stop(); }

    void SetUp() override
    {
        if (!serverRunning)
            SKIP_OR_FAIL_WITHOUT("Xvfb (it could not be started)");
        screen = std::make_unique<TestScreen>();
        if (!screen->available())
            SKIP_OR_FAIL_WITHOUT("a connection to the private X server with XTest");
        library = dlopen(ZRV4_LV2_BUNDLE "/zrv4_ui.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
        ASSERT_NE(entry, nullptr);
        descriptor = entry(0);
        ASSERT_NE(descriptor, nullptr);
        EXPECT_STREQ(descriptor->URI, ZRV4_LV2_UI_URI);
        EXPECT_EQ(entry(1), nullptr);

        lv2Parent = screen->createWindow(0, lv2Top, width, height);
        const LV2_Feature parent{LV2_UI__parent, reinterpret_cast<void*>(lv2Parent)};
        const LV2_Feature idleFeature{LV2_UI__idleInterface, nullptr};
        const LV2_Feature* features[] = {&parent, &idleFeature, nullptr};
        LV2UI_Widget widget = nullptr;
        ui = descriptor->instantiate(descriptor, ZRV4_LV2_URI, ZRV4_LV2_BUNDLE, &Lv2Ui::write, this, &widget,
                                     features);
        ASSERT_NE(ui, nullptr);
        EXPECT_NE(widget, nullptr);
        idleInterface =
            static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
        ASSERT_NE(idleInterface, nullptr);
        // A host sends every control input's value once the UI is up.
        for (int32_t i = 0; i < kNumParameters; ++i)
            portEvent(i, Lv2Ports::control(i).defaultValue);
        idle();
    }

    void TearDown() override
    {
        if (ui != nullptr)
            descriptor->cleanup(ui);
        vst.reset();
        screen.reset();
        if (library != nullptr)
            dlclose(library);
    }

    static void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
                      const void* buffer)
    {
        auto* self = static_cast<Lv2Ui*>(controller);
        EXPECT_EQ(size, sizeof(float));
        EXPECT_EQ(protocol, 0u);
        self->writes.push_back({port, *static_cast<const float*>(buffer)});
    }

    void portEvent(int32_t parameter, float value)
    {
        descriptor->port_event(ui, Lv2Ports::firstParameter + static_cast<uint32_t>(parameter), sizeof(float),
                               0, &value);
    }

    void idle(int rounds = 6)
    {
        for (int i = 0; i < rounds; ++i)
        {
            EXPECT_EQ(idleInterface->idle(ui), 0);
            if (vst)
                vst->idleEditor();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    // The VST module's editor below the LV2 UI, with Panel View as given.
    std::vector<uint32_t> vstPanel(float panelView)
    {
        if (!vst)
        {
            std::string error;
            vst = VstPlugin::load(ZRV4_MODULE, error);
            EXPECT_NE(vst, nullptr) << error;
            if (!vst)
                return {};
            vst->open();
            vstParent = screen->createWindow(0, vstTop, width, height);
            EXPECT_TRUE(vst->openEditor(reinterpret_cast<void*>(vstParent)));
        }
        vst->setParameter(kPanelView, panelView);
        idle();
        return screen->grab(vstParent, width, height);
    }

    std::vector<uint32_t> lv2Panel() { return screen->grab(lv2Parent, width, height); }

    std::unique_ptr<TestScreen> screen;
    void* library = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    LV2UI_Handle ui = nullptr;
    const LV2UI_Idle_Interface* idleInterface = nullptr;
    unsigned long lv2Parent = 0;
    unsigned long vstParent = 0;
    std::unique_ptr<VstPlugin> vst;
    std::vector<Write> writes;
};

TEST_F(Lv2Ui, ShowsThePanelOfTheVstEditor)
{
    const std::vector<uint32_t> front = lv2Panel();
    ASSERT_EQ(front.size(), static_cast<size_t>(width * height));
    EXPECT_EQ(front, vstPanel(0.0f));
    EXPECT_TRUE(writes.empty());
}

TEST_F(Lv2Ui, ChannelSelectorClicksWriteTheChannelPort)
{
    const struct
    {
        int offset;
        float port;
    } cases[] = {{400, 2.0f}, {200, 1.0f}};
    for (const auto& c : cases)
    {
        writes.clear();
        screen->click(215 + c.offset, lv2Top + 78);
        idle();
        ASSERT_EQ(writes.size(), 1u) << "offset " << c.offset;
        EXPECT_EQ(writes[0].port, Lv2Ports::firstParameter + kChannel);
        EXPECT_EQ(writes[0].value, c.port);
    }
}

TEST_F(Lv2Ui, KnobDragsWriteKnobPositions)
{
    // Gain Clean from 5: 40 pixels up is a fifth of the travel, 7 of 10.
    screen->moveTo(164, lv2Top + 49);
    screen->button(true);
    idle(1);
    screen->moveTo(164, lv2Top + 29);
    idle(1);
    screen->moveTo(164, lv2Top + 9);
    screen->button(false);
    idle();
    ASSERT_GE(writes.size(), 2u);
    for (const Write& w : writes)
        EXPECT_EQ(w.port, Lv2Ports::firstParameter + kGainClean);
    EXPECT_NEAR(writes.back().value, 7.0f, 1e-4f);
}

TEST_F(Lv2Ui, PanelViewPortEventTurnsTheFace)
{
    const std::vector<uint32_t> front = lv2Panel();
    portEvent(kPanelView, 1.0f);
    idle();
    const std::vector<uint32_t> back = lv2Panel();
    EXPECT_NE(back, front);
    EXPECT_EQ(back, vstPanel(1.0f));
    portEvent(kPanelView, 0.0f);
    idle();
    EXPECT_EQ(lv2Panel(), front);
    // The face follows the host; the UI writes nothing back for it.
    EXPECT_TRUE(writes.empty());
}

TEST_F(Lv2Ui, PortEventsMoveTheControls)
{
    // Lead selected and Gain Lead at 10 from the host: the panel equals the
    // VST editor given the same values.
    portEvent(kChannel, 2.0f);
    portEvent(kGainLead, 10.0f);
    idle();
    const std::vector<uint32_t> shown = lv2Panel();
    vstPanel(0.0f);
    vst->setParameter(kChannel, 1.0f);
    vst->setParameter(kGainLead, 1.0f);
    EXPECT_EQ(shown, vstPanel(0.0f));
}

} // namespace
