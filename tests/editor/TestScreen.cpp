#include "tests/editor/TestScreen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <png.h>

namespace
{
Display* dpy(void* p)
{
    return static_cast<Display*>(p);
}

int shiftOf(unsigned long mask)
{
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0)
    {
        mask >>= 1;
        ++shift;
    }
    return shift;
}
} // namespace

TestScreen::TestScreen()
{
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr)
        return;
    int event, error, major, minor;
    if (!XTestQueryExtension(d, &event, &error, &major, &minor))
    {
        XCloseDisplay(d);
        return;
    }
    display = d;
}

TestScreen::~TestScreen()
{
    if (display != nullptr)
        XCloseDisplay(dpy(display));
}

unsigned long TestScreen::createWindow(int x, int y, int width, int height)
{
    Display* d = dpy(display);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = BlackPixel(d, DefaultScreen(d));
    const Window w = XCreateWindow(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                                   CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(d, w);
    XSync(d, False);
    return w;
}

void TestScreen::destroyWindow(unsigned long window)
{
    XDestroyWindow(dpy(display), window);
    XSync(dpy(display), False);
}

std::vector<uint32_t> TestScreen::grab(unsigned long window, int width, int height)
{
    Display* d = dpy(display);
    XSync(d, False);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0);
    XImage* image = XGetImage(d, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes,
                              ZPixmap);
    if (image == nullptr)
        return pixels;
    const int rs = shiftOf(image->red_mask), gs = shiftOf(image->green_mask), bs = shiftOf(image->blue_mask);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            const unsigned long p = XGetPixel(image, x, y);
            pixels[static_cast<size_t>(y) * width + x] = static_cast<uint32_t>(
                (((p & image->red_mask) >> rs) << 16) | (((p & image->green_mask) >> gs) << 8) |
                ((p & image->blue_mask) >> bs));
        }
    XDestroyImage(image);
    return pixels;
}

void TestScreen::moveTo(int x, int y)
{
    XTestFakeMotionEvent(dpy(display), -1, x, y, CurrentTime);
    XSync(dpy(display), False);
}

void TestScreen::button(bool down)
{
    XTestFakeButtonEvent(dpy(display), 1, down ? True : False, CurrentTime);
    XSync(dpy(display), False);
}

void TestScreen::shift(bool down)
{
    const KeyCode code = XKeysymToKeycode(dpy(display), XK_Shift_L);
    XTestFakeKeyEvent(dpy(display), code, down ? True : False, CurrentTime);
    XSync(dpy(display), False);
}

void TestScreen::click(int x, int y)
{
    moveTo(x, y);
    button(true);
    button(false);
}

bool writePng(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height)
{
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < pixels.size() && i * 3 + 2 < rgb.size(); ++i)
    {
        rgb[i * 3] = static_cast<unsigned char>(pixels[i] >> 16);
        rgb[i * 3 + 1] = static_cast<unsigned char>(pixels[i] >> 8);
        rgb[i * 3 + 2] = static_cast<unsigned char>(pixels[i]);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}
