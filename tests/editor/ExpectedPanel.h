// The editor's face as it should look, composited here from the panel images
// and the parameter values, independently of the toolkit: the reference for
// screenshots of the editor on every platform. The caller decodes the images.
#pragma once

#include <cmath>
#include <cstdint>
#include <iterator>
#include <vector>

#include "vst/aeffectx.h"

namespace expected_panel
{
constexpr int panelWidth = 890;
constexpr int panelHeight = 162;

struct Image
{
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
};

enum Kind
{
    knob,
    onOff,
    selector
};

struct Control
{
    VstInt32 index;
    long image;
    int subImages;
    int x;
    int y;
    Kind kind;
};

// The controls of each face, in the order they are attached.
inline const Control frontControls[] = {
    {16, 131, 99, 125, 10, knob}, {9, 131, 99, 320, 10, knob},  {1, 131, 99, 515, 10, knob},
    {21, 131, 99, 245, 10, knob}, {15, 131, 99, 440, 10, knob}, {8, 131, 99, 695, 10, knob},
    {18, 131, 99, 125, 70, knob}, {12, 131, 99, 320, 70, knob}, {3, 131, 99, 515, 70, knob},
    {19, 131, 99, 185, 70, knob}, {13, 131, 99, 380, 70, knob}, {4, 131, 99, 575, 70, knob},
    {20, 131, 99, 245, 70, knob}, {14, 131, 99, 440, 70, knob}, {5, 131, 99, 635, 70, knob},
    {6, 131, 99, 695, 70, knob},  {0, 136, 3, 215, 68, selector}, {17, 130, 2, 216, 34, onOff},
    {11, 130, 2, 394, 34, onOff}, {2, 130, 2, 604, 34, onOff},  {7, 130, 2, 664, 34, onOff},
    {10, 130, 2, 426, 34, onOff}, {22, 130, 2, 787, 40, onOff}, {23, 133, 2, 782, 68, onOff},
    {24, 134, 2, 870, 72, onOff},
};
inline const Control backControls[] = {
    {25, 131, 99, 720, 15, knob},
    {26, 131, 99, 785, 15, knob},
    {24, 134, 2, 870, 72, onOff},
    {27, 135, 3, 589, 42, selector},
};

inline int subImageOf(Kind kind, float v)
{
    switch (kind)
    {
    case knob: return static_cast<int>(std::floor(v * 98.0));
    case onOff: return v == 0.0f ? 0 : 1;
    default: return static_cast<int>(std::lround(v * 2.0));
    }
}

inline void blend(std::vector<uint32_t>& panel, const Image& image, int x0, int y0, int top, int height)
{
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < image.width; ++x)
        {
            const int px = x0 + x, py = y0 + y;
            if (px < 0 || py < 0 || px >= panelWidth || py >= panelHeight)
                continue;
            const uint8_t* s = &image.rgba[(static_cast<size_t>(top + y) * image.width + x) * 4];
            uint32_t& d = panel[static_cast<size_t>(py) * panelWidth + px];
            const uint32_t a = s[3];
            uint32_t c[3] = {(d >> 16) & 0xff, (d >> 8) & 0xff, d & 0xff};
            for (int k = 0; k < 3; ++k)
                c[k] = (s[k] * a + c[k] * (255 - a) + 127) / 255;
            d = (c[0] << 16) | (c[1] << 8) | c[2];
        }
}

// The face as it should look, from the images and the values; override puts a
// chosen sub-image on one control (index, sub-image), to show that a
// comparison tells neighbouring pictures apart.
inline std::vector<uint32_t> expectedPanel(Image (*decode)(long id), bool back, const float* values,
                                           VstInt32 overrideIndex = -1, int overrideImage = 0)
{
    const Image face = decode(back ? 129 : 128);
    std::vector<uint32_t> panel(static_cast<size_t>(panelWidth) * panelHeight, 0);
    blend(panel, face, 0, 0, 0, face.height);
    const Control* begin = back ? backControls : frontControls;
    const Control* end = back ? std::end(backControls) : std::end(frontControls);
    for (const Control* c = begin; c != end; ++c)
    {
        const Image strip = decode(c->image);
        const int height = strip.height / c->subImages;
        const int sub = c->index == overrideIndex ? overrideImage : subImageOf(c->kind, values[c->index]);
        blend(panel, strip, c->x, c->y, sub * height, height);
    }
    return panel;
}

inline long differingPixels(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    long n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        n += a[i] != b[i];
    return n + static_cast<long>(a.size() > b.size() ? a.size() - b.size() : b.size() - a.size());
}
} // namespace expected_panel
