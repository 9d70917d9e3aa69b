// A two-state control: the upper half of its image for value 0, the lower
// half for any other value. A click toggles it.
#pragma once

#include "toolkit/CControl.h"

class COnOffButton : public CControl
{
public:
    enum Style : long
    {
        kPreListenerUpdate = 1 << 0,
    };

    COnOffButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                 long style = kPreListenerUpdate);

    long getShownImage() const { return getValue() == 0.0f ? 0 : 1; }

    void draw(CDrawContext* context) override;
    void onMouseDown(const CPoint& where, long modifiers) override;

private:
    long style;
};
