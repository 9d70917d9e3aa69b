// Points and rectangles in window pixels (y downwards); right and bottom are
// exclusive, as in the VST 2.4 editor rectangle.
#pragma once

#include <algorithm>

struct CPoint
{
    long x = 0;
    long y = 0;

    CPoint() = default;
    CPoint(long x, long y) : x(x), y(y) {}
};

struct CRect
{
    long left = 0;
    long top = 0;
    long right = 0;
    long bottom = 0;

    CRect() = default;
    CRect(long left, long top, long right, long bottom) : left(left), top(top), right(right), bottom(bottom) {}

    long width() const { return right - left; }
    long height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    bool pointInside(const CPoint& p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    bool rectOverlap(const CRect& r) const
    {
        return left < r.right && r.left < right && top < r.bottom && r.top < bottom;
    }
    CRect intersection(const CRect& r) const
    {
        return CRect(std::max(left, r.left), std::max(top, r.top), std::min(right, r.right), std::min(bottom, r.bottom));
    }
    CRect& offset(long dx, long dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }
};
