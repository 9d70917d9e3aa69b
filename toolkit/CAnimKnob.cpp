#include "toolkit/CAnimKnob.h"

#include <cmath>

#include "toolkit/AEffGUIEditor.h"
#include "toolkit/CBitmap.h"
#include "toolkit/CFrame.h"

namespace
{
double clamp01(double v)
{
    return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

double fineScale(long modifiers)
{
    return (modifiers & (kShift | kControl)) != 0 ? 0.1 : 1.0;
}

constexpr double pi = 3.14159265358979323846;
} // namespace

CAnimKnob::CAnimKnob(const CRect& size, CControlListener* listener, long tag, long subPixmaps,
                     long heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background), subPixmaps(subPixmaps < 1 ? 1 : subPixmaps),
      heightOfOneImage(heightOfOneImage), offset(offset)
{
}

long CAnimKnob::getShownImage() const
{
    const long index = static_cast<long>(std::floor(static_cast<double>(getValue()) * (subPixmaps - 1)));
    return index < 0 ? 0 : (index >= subPixmaps ? subPixmaps - 1 : index);
}

void CAnimKnob::draw(CDrawContext* context)
{
    if (background != nullptr)
        background->draw(context, size, CPoint(offset.x, offset.y + getShownImage() * heightOfOneImage));
}

double CAnimKnob::angleOf(const CPoint& where) const
{
    // Degrees clockwise from straight up, -180 to 180.
    const double dx = where.x - (size.left + size.right - 1) * 0.5;
    const double dy = where.y - (size.top + size.bottom - 1) * 0.5;
    return std::atan2(dx, -dy) * 180.0 / pi;
}

void CAnimKnob::onMouseDown(const CPoint& where, long /*modifiers*/)
{
    dragging = true;
    beginEdit();
    last = where;
    lastAngle = angleOf(where);
    dragValue = getValue();
    const VstInt32 mode = getFrame() != nullptr && getFrame()->getEditor() != nullptr
                              ? getFrame()->getEditor()->getKnobMode()
                              : kLinearMode;
    if (mode == kCircularMode)
        changeByUser(static_cast<float>(clamp01((lastAngle + halfSweep) / (2.0 * halfSweep))));
}

void CAnimKnob::onMouseMoved(const CPoint& where, long modifiers)
{
    if (!dragging)
        return;
    const VstInt32 mode = getFrame() != nullptr && getFrame()->getEditor() != nullptr
                              ? getFrame()->getEditor()->getKnobMode()
                              : kLinearMode;
    const double scale = fineScale(modifiers);
    const double angle = angleOf(where);
    if (mode == kCircularMode)
    {
        // Below the knob, between the two ends of the sweep, the value stays put.
        if (std::fabs(angle) <= halfSweep)
            dragValue = clamp01((angle + halfSweep) / (2.0 * halfSweep));
    }
    else if (mode == kRelativCircularMode)
    {
        double delta = angle - lastAngle;
        if (delta > 180.0)
            delta -= 360.0;
        if (delta < -180.0)
            delta += 360.0;
        dragValue = clamp01(dragValue + scale * delta / (2.0 * halfSweep));
    }
    else
    {
        dragValue = clamp01(dragValue + scale * (last.y - where.y) / linearRange);
    }
    last = where;
    lastAngle = angle;
    changeByUser(static_cast<float>(dragValue));
}

void CAnimKnob::onMouseUp(const CPoint& where, long modifiers)
{
    if (!dragging)
        return;
    onMouseMoved(where, modifiers);
    dragging = false;
    endEdit();
}

void CAnimKnob::onMouseWheel(const CPoint& /*where*/, float distance, long modifiers)
{
    if (dragging || !std::isfinite(distance))
        return;
    // One notch is one gesture for the host, as a click on a switch is.
    beginEdit();
    changeByUser(static_cast<float>(clamp01(getValue() + fineScale(modifiers) * wheelStep * distance)));
    endEdit();
}
