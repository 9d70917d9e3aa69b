// What a control tells when the user has changed it with the mouse.
#pragma once

class CControl;
class CDrawContext;

class CControlListener
{
public:
    virtual ~CControlListener() = default;
    virtual void valueChanged(CDrawContext* context, CControl* control) = 0;
};
