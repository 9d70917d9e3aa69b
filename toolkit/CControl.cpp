#include "toolkit/CControl.h"

#include <cmath>

#include "toolkit/CControlListener.h"
#include "toolkit/CFrame.h"

CControl::CControl(const CRect& size, CControlListener* listener, long tag, CBitmap* background)
    : CView(size), listener(listener), tag(tag)
{
    setBackground(background);
}

void CControl::setValue(float v)
{
    if (!std::isfinite(v))
        v = 0.0f;
    v = v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
    if (value.exchange(v, std::memory_order_acq_rel) != v)
        setDirty();
}

void CControl::beginEdit()
{
    if (listener != nullptr)
        listener->controlBeginEdit(this);
}

void CControl::endEdit()
{
    if (listener != nullptr)
        listener->controlEndEdit(this);
}

void CControl::changeByUser(float newValue, bool always)
{
    const float old = getValue();
    setValue(newValue);
    if ((always || getValue() != old) && listener != nullptr)
        listener->valueChanged(getFrame() != nullptr ? getFrame()->getContext() : nullptr, this);
    setDirty();
}
