// The X11 backend of CFrame: a child window on a display connection of its
// own, painted from the composited image with XPutImage.
#include "toolkit/CFrame.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace
{
// Shift and width of one colour channel in a visual's pixel.
struct Channel
{
    int shift = 0;
    int bits = 0;

    explicit Channel(unsigned long mask)
    {
        if (mask == 0)
            return;
        while ((mask & 1) == 0)
        {
            mask >>= 1;
            ++shift;
        }
        while ((mask & 1) != 0)
        {
            mask >>= 1;
            ++bits;
        }
    }
    unsigned long place(uint32_t value8) const
    {
        const unsigned long v = bits <= 8 ? value8 >> (8 - bits) : static_cast<unsigned long>(value8) << (bits - 8);
        return v << shift;
    }
};

// Display connections open over all frames; each owns its window and GC on
// the server.
std::atomic<long> liveHandles{0};

// Catches the X errors of a few requests instead of Xlib's default handler,
// which would end the host's process: a parent window that is not (or no
// longer) there must not take the host down.
std::atomic<bool> errorSeen{false};

int noteError(Display*, XErrorEvent*)
{
    errorSeen = true;
    return 0;
}

class ErrorTrap
{
public:
    ErrorTrap() : previous(XSetErrorHandler(noteError)) { errorSeen = false; }
    // Waits for the server's answers; true when one of them was an error.
    bool end(Display* display)
    {
        XSync(display, False);
        XSetErrorHandler(previous);
        return errorSeen.exchange(false);
    }

private:
    XErrorHandler previous;
};

long modifiersOf(unsigned int state)
{
    long modifiers = 0;
    if (state & ShiftMask)
        modifiers |= kShift;
    if (state & ControlMask)
        modifiers |= kControl;
    if (state & Mod1Mask)
        modifiers |= kAlt;
    return modifiers;
}
} // namespace

struct CFrame::Platform
{
    Display* display = nullptr;
    ::Window id = 0;
    GC gc = nullptr;
    XImage* image = nullptr;
    // The visual stores 0x00RRGGBB little-endian words: rows are copied whole.
    bool directCopy = false;
    // The window went with its parent before the host closed the editor.
    bool gone = false;
    Channel red{0}, green{0}, blue{0};

    // Copies area of the composited image into the window.
    void put(const CDrawContext& context, const CRect& area)
    {
        for (long y = area.top; y < area.bottom; ++y)
        {
            const uint32_t* src = context.row(y) + area.left;
            if (directCopy)
            {
                std::memcpy(image->data + y * image->bytes_per_line + area.left * 4, src,
                            static_cast<size_t>(area.width()) * 4);
                continue;
            }
            for (long x = area.left; x < area.right; ++x, ++src)
                XPutPixel(image, x, y,
                          red.place((*src >> 16) & 0xff) | green.place((*src >> 8) & 0xff) | blue.place(*src & 0xff));
        }
        XPutImage(display, id, gc, image, area.left, area.top, area.left, area.top, area.width(), area.height());
    }
};

CFrame::CFrame(const CRect& size, void* parentWindow, AEffGUIEditor* editor)
    : CView(size), editor(editor), context(size.width(), size.height()), window(new Platform)
{
    Platform& w = *window;
    w.display = XOpenDisplay(nullptr);
    if (w.display != nullptr)
        ++liveHandles;
    if (w.display == nullptr || context.getWidth() <= 0 || context.getHeight() <= 0)
        return;
    const ::Window parent = parentWindow != nullptr ? static_cast<::Window>(reinterpret_cast<uintptr_t>(parentWindow))
                                                    : DefaultRootWindow(w.display);
    XWindowAttributes parentAttributes;
    ErrorTrap trap;
    const Status known = XGetWindowAttributes(w.display, parent, &parentAttributes);
    if (trap.end(w.display) || known == 0)
        return;

    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None; // we paint every pixel: no flash of a background colour
    attributes.event_mask =
        ExposureMask | ButtonPressMask | ButtonReleaseMask | ButtonMotionMask | StructureNotifyMask;
    ErrorTrap createTrap;
    w.id = XCreateWindow(w.display, parent, 0, 0, static_cast<unsigned>(context.getWidth()),
                         static_cast<unsigned>(context.getHeight()), 0, CopyFromParent, InputOutput,
                         CopyFromParent, CWBackPixmap | CWEventMask, &attributes);
    if (createTrap.end(w.display))
    {
        w.id = 0;
        return;
    }
    Visual* visual = parentAttributes.visual;
    w.image = XCreateImage(w.display, visual, static_cast<unsigned>(parentAttributes.depth), ZPixmap, 0, nullptr,
                           static_cast<unsigned>(context.getWidth()), static_cast<unsigned>(context.getHeight()), 32,
                           0);
    if (w.image != nullptr)
        w.image->data = static_cast<char*>(std::calloc(static_cast<size_t>(w.image->bytes_per_line),
                                                       static_cast<size_t>(context.getHeight())));
    if (w.image == nullptr || w.image->data == nullptr)
    {
        if (w.image != nullptr)
            XDestroyImage(w.image);
        w.image = nullptr;
        XDestroyWindow(w.display, w.id);
        w.id = 0;
        return;
    }
    w.red = Channel(visual->red_mask);
    w.green = Channel(visual->green_mask);
    w.blue = Channel(visual->blue_mask);
    const uint32_t probe = 1;
    const bool littleEndian = *reinterpret_cast<const unsigned char*>(&probe) == 1;
    w.directCopy = w.image->bits_per_pixel == 32 && visual->red_mask == 0xff0000 && visual->green_mask == 0xff00 &&
                   visual->blue_mask == 0xff && (w.image->byte_order == LSBFirst) == littleEndian;
    w.gc = XCreateGC(w.display, w.id, 0, nullptr);
    XMapWindow(w.display, w.id);
    XSync(w.display, False);
}

CFrame::~CFrame()
{
    removeAll();
    Platform& w = *window;
    if (w.display == nullptr)
        return;
    if (w.image != nullptr)
        XDestroyImage(w.image); // frees the pixel buffer as well
    if (w.id != 0)
    {
        // The host may have destroyed its window, and ours with it, already.
        ErrorTrap trap;
        if (w.gc != nullptr)
            XFreeGC(w.display, w.gc);
        w.gc = nullptr;
        XDestroyWindow(w.display, w.id);
        trap.end(w.display);
    }
    XCloseDisplay(w.display);
    --liveHandles;
}

bool CFrame::isValid() const
{
    return window->id != 0;
}

void* CFrame::getPlatformWindow() const
{
    return reinterpret_cast<void*>(static_cast<uintptr_t>(window->id));
}

long CFrame::liveNativeHandles()
{
    return liveHandles.load();
}

void CFrame::idle()
{
    Platform& w = *window;
    if (w.id == 0)
        return;
    std::vector<CRect> exposed;
    while (XPending(w.display) > 0)
    {
        XEvent event;
        XNextEvent(w.display, &event);
        if (event.xany.window != w.id)
            continue;
        switch (event.type)
        {
        case DestroyNotify:
            w.gone = true;
            break;
        case Expose:
            exposed.emplace_back(event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                                 event.xexpose.y + event.xexpose.height);
            break;
        case ButtonPress:
            if (event.xbutton.button == Button1)
                mouseDown(CPoint(event.xbutton.x, event.xbutton.y), modifiersOf(event.xbutton.state));
            break;
        case MotionNotify:
            mouseMoved(CPoint(event.xmotion.x, event.xmotion.y), modifiersOf(event.xmotion.state));
            break;
        case ButtonRelease:
            if (event.xbutton.button == Button1)
                mouseUp(CPoint(event.xbutton.x, event.xbutton.y), modifiersOf(event.xbutton.state));
            break;
        default:
            break;
        }
    }

    if (w.gone)
        return;
    std::vector<CRect> dirty;
    drawDirty(dirty);
    const CRect whole(0, 0, context.getWidth(), context.getHeight());
    dirty.insert(dirty.end(), exposed.begin(), exposed.end());
    if (dirty.empty())
        return;
    ErrorTrap trap;
    for (const CRect& area : dirty)
    {
        const CRect clipped = area.intersection(whole);
        if (!clipped.isEmpty())
            w.put(context, clipped);
    }
    if (trap.end(w.display))
        w.gone = true;
}

