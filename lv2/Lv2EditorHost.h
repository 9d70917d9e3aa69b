// The editor's link to an LV2 host: the values come from the host's port
// events, converted to the effect's values; the user's edits go to the
// plug-in through the host's write function as port values, framed by the
// host's touch notifications when it offers them.
#pragma once

#include <lv2/ui/ui.h>

#include "editor/EditorHost.h"
#include "lv2/Lv2Ports.h"

class Lv2EditorHost : public EditorHost
{
  public:
    Lv2EditorHost(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch)
        : write(write), controller(controller), touch(touch)
    {
        for (int32_t i = 0; i < kNumParameters; ++i)
            values[i] = ParameterTable::info(i).defaultValue;
    }

    // A port event of a control input (format 0: one float).
    void portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer)
    {
        const int32_t index = parameterOf(port);
        if (index >= 0 && format == 0 && size == sizeof(float) && buffer != nullptr)
            values[index] = Lv2Ports::parameterValue(index, *static_cast<const float*>(buffer));
    }

    float getParameter(int32_t index) override
    {
        return ParameterTable::isValid(index) ? values[index] : 0.0f;
    }

    void beginEdit(int32_t index) override { grab(index, true); }

    void performEdit(int32_t index, float value) override
    {
        if (!ParameterTable::isValid(index) || write == nullptr)
            return;
        const float port = Lv2Ports::portValue(index, value);
        // The editor shows what the plug-in will take, before the host echoes it.
        values[index] = Lv2Ports::parameterValue(index, port);
        write(controller, Lv2Ports::firstParameter + static_cast<uint32_t>(index), sizeof(float), 0, &port);
    }

    void endEdit(int32_t index) override { grab(index, false); }

  private:
    static int32_t parameterOf(uint32_t port)
    {
        return port >= Lv2Ports::firstParameter && port < Lv2Ports::latency
                   ? static_cast<int32_t>(port - Lv2Ports::firstParameter)
                   : -1;
    }

    void grab(int32_t index, bool grabbed)
    {
        if (touch != nullptr && ParameterTable::isValid(index))
            touch->touch(touch->handle, Lv2Ports::firstParameter + static_cast<uint32_t>(index), grabbed);
    }

    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    const LV2UI_Touch* touch;
    float values[kNumParameters];
};
