// A selector of a few positions side by side. It shows sub-image
// round(value * (positions - 1)); a click or drag at horizontal offset d selects
// position floor(d / (image width / positions)), value position / (positions - 1).
#pragma once

#include "toolkit/CControl.h"

class CHorizontalSwitch : public CControl
{
public:
    CHorizontalSwitch(const CRect& size, CControlListener* listener, long tag, long subPixmaps,
                      long heightOfOneImage, long maxPositions, CBitmap* background, const CPoint& offset);

    long getShownImage() const;

    void draw(CDrawContext* context) override;
    void onMouseDown(const CPoint& where, long modifiers) override;
    void onMouseMoved(const CPoint& where, long modifiers) override;
    void onMouseUp(const CPoint& where, long modifiers) override;

private:
    void select(const CPoint& where);

    long subPixmaps;
    long heightOfOneImage;
    long maxPositions;
    CPoint offset;
    bool dragging = false;
};
