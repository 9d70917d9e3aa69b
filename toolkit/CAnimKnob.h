// A knob drawn from a vertical strip of sub-images: value v shows sub-image
// floor(v * (count - 1)). Dragging follows the knob mode of the frame's editor:
// linear (vertical drag, the default), circular (the pointer follows the
// mouse angle) or relative circular (angle changes add up). The wheel moves
// it by wheelStep per notch. Shift or Control while dragging or turning the
// wheel moves ten times finer.
#pragma once

#include "toolkit/CControl.h"

class CAnimKnob : public CControl
{
public:
    CAnimKnob(const CRect& size, CControlListener* listener, long tag, long subPixmaps, long heightOfOneImage,
              CBitmap* background, const CPoint& offset);

    long getSubPixmaps() const { return subPixmaps; }
    // The sub-image that the current value shows.
    long getShownImage() const;

    void draw(CDrawContext* context) override;
    void onMouseDown(const CPoint& where, long modifiers) override;
    void onMouseMoved(const CPoint& where, long modifiers) override;
    void onMouseUp(const CPoint& where, long modifiers) override;
    void onMouseWheel(const CPoint& where, float distance, long modifiers) override;

    // Pixels of vertical travel from 0 to 1 in linear mode.
    static constexpr double linearRange = 200.0;
    // Travel of the pointer: 135 degrees either side of straight up.
    static constexpr double halfSweep = 135.0;
    // Travel per wheel notch: fifty notches from 0 to 1.
    static constexpr double wheelStep = 0.02;

private:
    double angleOf(const CPoint& where) const;

    long subPixmaps;
    long heightOfOneImage;
    CPoint offset;
    bool dragging = false;
    CPoint last;
    double lastAngle = 0.0;
    double dragValue = 0.0;
};
