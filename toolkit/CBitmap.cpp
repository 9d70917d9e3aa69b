#include "toolkit/CBitmap.h"

#include "toolkit/CDrawContext.h"
#include "toolkit/ModuleResources.h"

// stb_image (Debian's libstb-dev), PNG only and private to this file: the same
// decoder on every platform, and no symbol of it visible to a host.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#include <stb_image.h>

namespace
{
// Larger images than this are refused: the panels are far smaller, and a
// corrupt header must not make us allocate gigabytes.
constexpr long maxPixels = 16u * 1024u * 1024u;
} // namespace

CBitmap::CBitmap(long resourceId)
{
    const ModuleResource resource = findModuleResource(resourceId);
    if (resource.data != nullptr)
        decode(resource.data, resource.size);
}

CBitmap::CBitmap(const unsigned char* png, size_t size)
{
    if (png != nullptr)
        decode(png, size);
}

void CBitmap::forget()
{
    if (--references == 0)
        delete this;
}

void CBitmap::decode(const unsigned char* png, size_t size)
{
    if (size == 0 || size > static_cast<size_t>(INT32_MAX))
        return;
    const int length = static_cast<int>(size);
    // The header first: size limits before any pixel memory is taken.
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(png, length, &w, &h, &channels) || w <= 0 || h <= 0 || h > maxPixels / w)
        return;
    unsigned char* pixels = stbi_load_from_memory(png, length, &w, &h, &channels, 4);
    if (pixels == nullptr)
        return;
    rgba.assign(pixels, pixels + static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
    stbi_image_free(pixels);
    width = w;
    height = h;
    // Grey with alpha, RGBA, or a transparency chunk.
    alpha = channels == 2 || channels == 4;
}

uint32_t CBitmap::getPixel(long x, long y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height)
        return 0;
    const uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
    return (uint32_t(p[3]) << 24) | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
}

void CBitmap::draw(CDrawContext* context, const CRect& dest, const CPoint& offset) const
{
    if (context == nullptr || !isLoaded())
        return;
    // The part of dest that the image covers, clipped to the context.
    CRect area = dest.intersection(CRect(dest.left - offset.x, dest.top - offset.y, dest.left - offset.x + width,
                                         dest.top - offset.y + height));
    area = area.intersection(context->getClip());
    if (area.isEmpty())
        return;
    for (long y = area.top; y < area.bottom; ++y)
    {
        const uint8_t* src = &rgba[(static_cast<size_t>(y - dest.top + offset.y) * width +
                                    static_cast<size_t>(area.left - dest.left + offset.x)) * 4];
        uint32_t* dst = context->row(y) + area.left;
        for (long x = area.left; x < area.right; ++x, src += 4, ++dst)
        {
            const uint32_t a = src[3];
            if (a == 0)
                continue;
            if (a == 255)
            {
                *dst = (uint32_t(src[0]) << 16) | (uint32_t(src[1]) << 8) | src[2];
                continue;
            }
            const uint32_t d = *dst;
            const uint32_t inv = 255 - a;
            const uint32_t r = (src[0] * a + ((d >> 16) & 0xff) * inv + 127) / 255;
            const uint32_t g = (src[1] * a + ((d >> 8) & 0xff) * inv + 127) / 255;
            const uint32_t b = (src[2] * a + (d & 0xff) * inv + 127) / 255;
            *dst = (r << 16) | (g << 8) | b;
        }
    }
}
