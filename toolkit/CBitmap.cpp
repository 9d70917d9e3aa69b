#include "toolkit/CBitmap.h"

#include <png.h>

#include "toolkit/CDrawContext.h"
#include "toolkit/ModuleResources.h"

namespace
{
// Larger images than this are refused: the panels are far smaller, and a
// corrupt header must not make us allocate gigabytes.
constexpr png_uint_32 maxPixels = 16u * 1024u * 1024u;
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
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png, size))
        return;
    if (image.width == 0 || image.height == 0 || image.height > maxPixels / image.width)
    {
        png_image_free(&image);
        return;
    }
    const bool withAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
    {
        png_image_free(&image);
        return;
    }
    rgba.swap(pixels);
    width = static_cast<long>(image.width);
    height = static_cast<long>(image.height);
    alpha = withAlpha;
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
