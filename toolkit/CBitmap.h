// An image decoded from PNG bytes (stb_image), kept as straight-alpha RGBA.
// Reference counted: the creator holds the first reference, each view that
// shows it takes one more, and forget() releases one.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "toolkit/CRect.h"

class CDrawContext;

class CBitmap
{
public:
    // From the module's resource of that number (see ModuleResources.h).
    explicit CBitmap(long resourceId);
    // From PNG bytes in memory.
    CBitmap(const unsigned char* png, size_t size);

    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    void remember() { ++references; }
    void forget();

    bool isLoaded() const { return width > 0; }
    long getWidth() const { return width; }
    long getHeight() const { return height; }
    // Whether the PNG carried an alpha channel (colour type 4 or 6) or a transparency chunk.
    bool hasAlpha() const { return alpha; }
    // Pixel (x, y) as 0xAARRGGBB; 0 outside the image.
    uint32_t getPixel(long x, long y) const;

    // Draws the part of the image that starts at offset into dest, blending by alpha.
    void draw(CDrawContext* context, const CRect& dest, const CPoint& offset = CPoint()) const;

private:
    ~CBitmap() = default;
    void decode(const unsigned char* png, size_t size);

    std::atomic<int> references{1};
    long width = 0;
    long height = 0;
    bool alpha = false;
    std::vector<uint8_t> rgba;
};
