#include "toolkit/CDrawContext.h"

#include <algorithm>

CDrawContext::CDrawContext(long width, long height)
    : width(std::max(width, 0L)), height(std::max(height, 0L)), clip(0, 0, this->width, this->height),
      pixels(static_cast<size_t>(this->width) * this->height, 0)
{
}

void CDrawContext::setClip(const CRect& newClip)
{
    clip = newClip.intersection(CRect(0, 0, width, height));
}

void CDrawContext::fillRect(const CRect& rect, uint32_t colour)
{
    const CRect area = rect.intersection(clip);
    for (long y = area.top; y < area.bottom; ++y)
        std::fill(row(y) + area.left, row(y) + area.right, colour);
}
