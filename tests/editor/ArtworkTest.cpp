// The eight compiled-in images: formats, sizes, strip layouts, transparency and
// the places of the lit lamps and of the knob pointer that the controls rely on.
#include <gtest/gtest.h>

#include <png.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "toolkit/CBitmap.h"
#include "toolkit/ModuleResources.h"

namespace
{
struct Header
{
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = -1;
    int interlace = -1;
};

struct Reader
{
    const unsigned char* data;
    size_t size;
    size_t at;
};

void readBytes(png_structp png, png_bytep out, png_size_t n)
{
    Reader* r = static_cast<Reader*>(png_get_io_ptr(png));
    if (r->at + n > r->size)
        png_error(png, "short");
    std::memcpy(out, r->data + r->at, n);
    r->at += n;
}

// The PNG header as stored, read with libpng's low-level interface.
Header headerOf(long id)
{
    Header h;
    const ModuleResource res = findModuleResource(id);
    if (res.data == nullptr)
        return h;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Reader reader{res.data, res.size, 0};
    if (setjmp(png_jmpbuf(png)) == 0)
    {
        png_set_read_fn(png, &reader, readBytes);
        png_read_info(png, info);
        png_get_IHDR(png, info, &h.width, &h.height, &h.bitDepth, &h.colourType, &h.interlace, nullptr, nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return h;
}

struct Pixel
{
    int r, g, b, a;
};

Pixel at(const CBitmap* image, long x, long y)
{
    const uint32_t p = image->getPixel(x, y);
    return {int((p >> 16) & 0xff), int((p >> 8) & 0xff), int(p & 0xff), int(p >> 24)};
}

struct Bitmap
{
    explicit Bitmap(long id) : image(new CBitmap(id)) {}
    ~Bitmap() { image->forget(); }
    CBitmap* operator->() const { return image; }
    CBitmap* get() const { return image; }
    CBitmap* image;
};

TEST(Artwork, FormatsAndSizes)
{
    const struct
    {
        long id;
        png_uint_32 width, height;
        int colourType;
    } images[] = {
        {128, 890, 162, PNG_COLOR_TYPE_RGB},      {129, 890, 162, PNG_COLOR_TYPE_RGB},
        {130, 28, 56, PNG_COLOR_TYPE_RGBA},       {131, 80, 7920, PNG_COLOR_TYPE_RGBA},
        {133, 37, 122, PNG_COLOR_TYPE_RGBA},      {134, 17, 38, PNG_COLOR_TYPE_RGBA},
        {135, 100, 60, PNG_COLOR_TYPE_RGBA},      {136, 439, 60, PNG_COLOR_TYPE_RGBA},
    };
    for (const auto& e : images)
    {
        const Header h = headerOf(e.id);
        EXPECT_EQ(h.width, e.width) << e.id;
        EXPECT_EQ(h.height, e.height) << e.id;
        EXPECT_EQ(h.bitDepth, 8) << e.id;
        EXPECT_EQ(h.colourType, e.colourType) << e.id;
        EXPECT_EQ(h.interlace, PNG_INTERLACE_NONE) << e.id;
        Bitmap bitmap(e.id);
        EXPECT_EQ(bitmap->getWidth(), long(e.width)) << e.id;
        EXPECT_EQ(bitmap->getHeight(), long(e.height)) << e.id;
        EXPECT_EQ(bitmap->hasAlpha(), e.colourType == PNG_COLOR_TYPE_RGBA) << e.id;
    }
    // The knob strip is 99 sub-images of 80 pixels.
    EXPECT_EQ(headerOf(131).height, 99u * 80u);
    EXPECT_EQ(findModuleResource(132).data, nullptr);
    EXPECT_FALSE(Bitmap(132)->isLoaded());
}

TEST(Artwork, SmallSwitchStaysInItsUpperLeftCorner)
{
    Bitmap toggle(130);
    for (long sub = 0; sub < 2; ++sub)
    {
        long opaque = 0;
        for (long y = 0; y < 28; ++y)
            for (long x = 0; x < 28; ++x)
            {
                const int a = at(toggle.get(), x, sub * 28 + y).a;
                if (x >= 22 || y >= 21)
                {
                    EXPECT_EQ(a, 0) << sub << ": " << x << "," << y;
                }
                opaque += a == 255;
            }
        EXPECT_GT(opaque, 100) << sub;
    }
    // Lever down for 0, up for 1: the tip stands below or above the bushing.
    EXPECT_EQ(at(toggle.get(), 10, 1).a, 0);
    EXPECT_GT(at(toggle.get(), 10, 28 + 1).a, 200);
    EXPECT_GT(at(toggle.get(), 10, 18).a, 200);
}

TEST(Artwork, KnobBodyShadowAndPointerSweep)
{
    Bitmap knob(131);
    for (long sub : {0L, 49L, 98L})
    {
        const long top = sub * 80;
        EXPECT_EQ(at(knob.get(), 0, top).a, 0);
        EXPECT_EQ(at(knob.get(), 79, top + 79).a, 0);
        EXPECT_EQ(at(knob.get(), 39, top + 39).a, 255);
        // About 54 pixels across: opaque 24 pixels out, clear 32 out.
        EXPECT_EQ(at(knob.get(), 39 - 24, top + 39).a, 255);
        EXPECT_EQ(at(knob.get(), 39, top + 39 - 32).a, 0);
        // The soft shadow lies to the lower right only.
        EXPECT_GT(at(knob.get(), 39 + 21, top + 39 + 21).a, 0);
        EXPECT_LT(at(knob.get(), 39 + 21, top + 39 + 21).a, 255);
        EXPECT_EQ(at(knob.get(), 39 - 24, top + 39 - 24).a, 0);
    }
    // The pointer is the bright part of the body: its direction, clockwise from up.
    for (long sub = 0; sub < 99; sub += 7)
    {
        double sx = 0, sy = 0;
        for (long y = 0; y < 80; ++y)
            for (long x = 0; x < 80; ++x)
            {
                const Pixel p = at(knob.get(), x, sub * 80 + y);
                if (p.a == 255 && p.r > 200 && p.g > 200 && p.b > 200)
                {
                    sx += x - 39.5;
                    sy += y - 39.5;
                }
            }
        const double angle = std::atan2(sx, -sy) * 180.0 / M_PI;
        EXPECT_NEAR(angle, -135.0 + 270.0 * sub / 98.0, 3.0) << "sub-image " << sub;
    }
}

TEST(Artwork, PowerSwitchLampLitOnlyWhileWorking)
{
    Bitmap power(133);
    const Pixel lit = at(power.get(), 18, 13);
    const Pixel dark = at(power.get(), 18, 61 + 13);
    EXPECT_GT(lit.b, 200);
    EXPECT_GT(lit.r + lit.g + lit.b, dark.r + dark.g + dark.b + 200);
    // Lever up above the bushing for 0, down below it for 1.
    EXPECT_GT(at(power.get(), 18, 25).a, 200);
    EXPECT_EQ(at(power.get(), 18, 58).a, 0);
    EXPECT_EQ(at(power.get(), 18, 61 + 25).a, 0);
    EXPECT_GT(at(power.get(), 18, 61 + 58).a, 200);
}

TEST(Artwork, PanelArrowIsTranslucentEverywhereAndAlike)
{
    Bitmap arrow(134);
    int maxAlpha = 0;
    for (long y = 0; y < 19; ++y)
        for (long x = 0; x < 17; ++x)
        {
            const Pixel p = at(arrow.get(), x, y);
            maxAlpha = std::max(maxAlpha, p.a);
            EXPECT_EQ(arrow->getPixel(x, y), arrow->getPixel(x, y + 19));
            if (p.a > 0)
            {
                EXPECT_GT(p.r, p.g + p.b);
            }
        }
    EXPECT_GT(maxAlpha, 100);
    EXPECT_LT(maxAlpha, 255);
}

// Lit lamp: bright, opaque, of its colour; unlit: grey.
using Colour = bool (*)(const Pixel&);
void expectLamps(long id, const std::vector<long>& centres, const std::vector<Colour>& colours)
{
    Bitmap strip(id);
    for (long sub = 0; sub < 3; ++sub)
        for (size_t k = 0; k < centres.size(); ++k)
        {
            const long cy = sub * 20 + 10;
            const Pixel c = at(strip.get(), centres[k] + 3, cy + 3);
            if (long(k) == sub)
            {
                EXPECT_EQ(c.a, 255) << id << " sub " << sub;
                EXPECT_TRUE(colours[k](c)) << id << " sub " << sub << " lamp " << k << ": " << c.r << "," << c.g
                                           << "," << c.b;
                // 20 pixels across: still drawn 8 pixels out, gone 11 out.
                EXPECT_GT(at(strip.get(), centres[k] + 8, cy).a, 0);
                EXPECT_EQ(at(strip.get(), centres[k] + 11, cy).a, 0);
            }
            else
            {
                EXPECT_LT(std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b}), 12)
                    << id << " sub " << sub << " lamp " << k;
                EXPECT_EQ(at(strip.get(), centres[k] + 8, cy).a, 0);
            }
        }
}

TEST(Artwork, LampStrips)
{
    const Colour green = [](const Pixel& p) { return p.g > p.r + 60 && p.g > p.b + 60; };
    const Colour blue = [](const Pixel& p) { return p.b > p.r + 60 && p.b > p.g + 30; };
    const Colour amber = [](const Pixel& p) { return p.r > p.b + 100 && p.g > p.b + 50 && p.r > p.g; };
    expectLamps(135, {10, 50, 90}, {green, blue, amber});
    expectLamps(136, {10, 205, 429}, {blue, blue, blue});
}

TEST(Artwork, FacesAreOpaqueAndDiffer)
{
    Bitmap front(128), back(129);
    long differing = 0;
    for (long y = 0; y < 162; y += 3)
        for (long x = 0; x < 890; x += 3)
        {
            EXPECT_EQ(at(front.get(), x, y).a, 255);
            EXPECT_EQ(at(back.get(), x, y).a, 255);
            differing += front->getPixel(x, y) != back->getPixel(x, y);
        }
    EXPECT_GT(differing, 1000);
}
} // namespace
