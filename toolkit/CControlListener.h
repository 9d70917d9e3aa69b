// What a control tells when the user has changed it with the mouse: the
// start of a gesture, each new value, the end.
#pragma once

class CControl;
class CDrawContext;

class CControlListener
{
public:
    virtual ~CControlListener() = default;
    virtual void valueChanged(CDrawContext* context, CControl* control) = 0;
    virtual void controlBeginEdit(CControl* /*control*/) {}
    virtual void controlEndEdit(CControl* /*control*/) {}
};
