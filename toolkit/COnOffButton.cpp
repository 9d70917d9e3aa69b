#include "toolkit/COnOffButton.h"

#include "toolkit/CBitmap.h"

COnOffButton::COnOffButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                           long style)
    : CControl(size, listener, tag, background), style(style)
{
}

void COnOffButton::draw(CDrawContext* context)
{
    if (background != nullptr)
        background->draw(context, size, CPoint(0, getShownImage() * (background->getHeight() / 2)));
}

void COnOffButton::onMouseDown(const CPoint& /*where*/, long /*modifiers*/)
{
    beginEdit();
    changeByUser(getValue() == 0.0f ? 1.0f : 0.0f, true);
    endEdit();
}
