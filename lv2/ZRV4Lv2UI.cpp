// The LV2 UI: lv2ui_descriptor and the panel editor embedded in the host's
// window (ui:parent), driven by the host's idle calls, at the panel's fixed
// size. Port events reach the editor through its host link, which it reads
// when it idles; edits go back through the host's write function.
#include <cstring>
#include <new>

#include <lv2/core/lv2_util.h>
#include <lv2/ui/ui.h>

#include "editor/ZRV4_GUI.h"
#include "lv2/Lv2EditorHost.h"
#include "lv2/Lv2Uris.h"
#include "toolkit/CFrame.h"

namespace
{

struct Ui
{
    Lv2EditorHost host;
    ZRV4_GUI editor;
    Ui(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch)
        : host(write, controller, touch), editor(host, nullptr)
    {
    }
    ~Ui() { editor.close(); }
};

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features)
{
    if (pluginUri == nullptr || std::strcmp(pluginUri, ZRV4_LV2_URI) != 0 || widget == nullptr)
        return nullptr;
    void* parent = lv2_features_data(features, LV2_UI__parent);
    const auto* touch = static_cast<const LV2UI_Touch*>(lv2_features_data(features, LV2_UI__touch));
    const auto* resize = static_cast<const LV2UI_Resize*>(lv2_features_data(features, LV2_UI__resize));

    Ui* ui = new (std::nothrow) Ui(write, controller, touch);
    if (ui == nullptr)
        return nullptr;
    ERect* rect = nullptr;
    CFrame* frame = nullptr;
    if (ui->editor.getRect(&rect) && ui->editor.open(parent))
        frame = ui->editor.getFrame();
    if (frame == nullptr || !frame->isValid())
    {
        delete ui;
        return nullptr;
    }
    *widget = static_cast<LV2UI_Widget>(frame->getPlatformWindow());
    if (resize != nullptr && rect != nullptr)
        resize->ui_resize(resize->handle, rect->right - rect->left, rect->bottom - rect->top);
    return ui;
}

void cleanup(LV2UI_Handle handle)
{
    delete static_cast<Ui*>(handle);
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
    static_cast<Ui*>(handle)->host.portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle)
{
    static_cast<Ui*>(handle)->editor.idle();
    return 0;
}

const LV2UI_Idle_Interface idleInterface = {idle};

const void* extensionData(const char* uri)
{
    return std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &idleInterface : nullptr;
}

const LV2UI_Descriptor descriptor = {
    ZRV4_LV2_UI_URI, instantiate, cleanup, portEvent, extensionData,
};

} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
    return index == 0 ? &descriptor : nullptr;
}
