#include "toolkit/CHorizontalSwitch.h"

#include <cmath>

#include "toolkit/CBitmap.h"

CHorizontalSwitch::CHorizontalSwitch(const CRect& size, CControlListener* listener, long tag, long subPixmaps,
                                     long heightOfOneImage, long maxPositions, CBitmap* background,
                                     const CPoint& offset)
    : CControl(size, listener, tag, background), subPixmaps(subPixmaps < 1 ? 1 : subPixmaps),
      heightOfOneImage(heightOfOneImage), maxPositions(maxPositions < 2 ? 2 : maxPositions), offset(offset)
{
}

long CHorizontalSwitch::getShownImage() const
{
    const long index = std::lround(static_cast<double>(getValue()) * (maxPositions - 1));
    return index < 0 ? 0 : (index >= subPixmaps ? subPixmaps - 1 : index);
}

void CHorizontalSwitch::draw(CDrawContext* context)
{
    if (background != nullptr)
        background->draw(context, size, CPoint(offset.x, offset.y + getShownImage() * heightOfOneImage));
}

void CHorizontalSwitch::select(const CPoint& where)
{
    const long imageWidth = background != nullptr && background->getWidth() > 0 ? background->getWidth()
                                                                                 : size.width();
    const double positionWidth = static_cast<double>(imageWidth) / maxPositions;
    long position = static_cast<long>(std::floor((where.x - size.left) / positionWidth));
    position = position < 0 ? 0 : (position >= maxPositions ? maxPositions - 1 : position);
    changeByUser(static_cast<float>(position) / static_cast<float>(maxPositions - 1));
}

void CHorizontalSwitch::onMouseDown(const CPoint& where, long /*modifiers*/)
{
    dragging = true;
    beginEdit();
    select(where);
}

void CHorizontalSwitch::onMouseUp(const CPoint& /*where*/, long /*modifiers*/)
{
    if (!dragging)
        return;
    dragging = false;
    endEdit();
}

void CHorizontalSwitch::onMouseMoved(const CPoint& where, long /*modifiers*/)
{
    if (dragging)
        select(where);
}
