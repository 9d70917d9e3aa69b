// The software-composited image into which the views draw: 0x00RRGGBB pixels,
// row by row, with a clip rectangle. The frame copies it to its window.
#pragma once

#include <cstdint>
#include <vector>

#include "toolkit/CRect.h"

class CDrawContext
{
public:
    CDrawContext(long width, long height);

    long getWidth() const { return width; }
    long getHeight() const { return height; }
    uint32_t* row(long y) { return &pixels[static_cast<size_t>(y) * width]; }
    const uint32_t* row(long y) const { return &pixels[static_cast<size_t>(y) * width]; }

    // Drawing is limited to the clip, itself limited to the image.
    void setClip(const CRect& clip);
    const CRect& getClip() const { return clip; }

    void fillRect(const CRect& rect, uint32_t colour);

private:
    long width;
    long height;
    CRect clip;
    std::vector<uint32_t> pixels;
};
