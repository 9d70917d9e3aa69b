// The Win32 backend of CFrame: a child window of the host's HWND, made on the
// calling thread, painted from the composited image with SetDIBitsToDevice on
// WM_PAINT and at idle. Mouse messages come through the host's message loop;
// a drag holds the mouse capture until the button is released.
#include "toolkit/CFrame.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cwchar>
#include <mutex>

namespace
{
// Windows, device contexts and the window class this module holds now.
std::atomic<long> liveHandles{0};

// One window class per module, registered with the first frame and
// unregistered with the last one. The name carries the module's address, so
// that two copies of the plug-in in one host do not share a class.
std::mutex classLock;
long classUsers = 0;
bool classRegistered = false;
wchar_t className[48];

HINSTANCE thisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&liveHandles), &module);
    return module;
}

long modifiersOf(WPARAM keys)
{
    long modifiers = 0;
    if (keys & MK_SHIFT)
        modifiers |= kShift;
    if (keys & MK_CONTROL)
        modifiers |= kControl;
    if (GetKeyState(VK_MENU) < 0)
        modifiers |= kAlt;
    return modifiers;
}

CPoint pointOf(LPARAM position)
{
    // Signed: a captured drag goes on left of and above the window.
    return CPoint(static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position)));
}
} // namespace

struct CFrame::Platform
{
    CFrame* frame = nullptr;
    HWND hwnd = nullptr;
    bool classHeld = false;
    CPoint lastMouse;

    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    static bool acquireClass(HINSTANCE module, WNDPROC proc);
    static void releaseClass(HINSTANCE module);

    // Copies area of the composited image into dc.
    void put(HDC dc, const CRect& area)
    {
        const CRect clipped = area.intersection(CRect(0, 0, frame->context.getWidth(), frame->context.getHeight()));
        if (clipped.isEmpty())
            return;
        // The rows of the area as a top-down DIB as wide as the image:
        // 0x00RRGGBB words are what a 32-bit BI_RGB DIB holds.
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = frame->context.getWidth();
        info.bmiHeader.biHeight = -clipped.height();
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        SetDIBitsToDevice(dc, clipped.left, clipped.top, static_cast<DWORD>(clipped.width()),
                          static_cast<DWORD>(clipped.height()), clipped.left, 0, 0,
                          static_cast<UINT>(clipped.height()), frame->context.row(clipped.top), &info,
                          DIB_RGB_COLORS);
    }

    // Redraws the dirty views and copies them to the window at once.
    void paintDirty()
    {
        std::vector<CRect> areas;
        frame->drawDirty(areas);
        if (areas.empty() || hwnd == nullptr)
            return;
        HDC dc = GetDC(hwnd);
        if (dc == nullptr)
            return;
        ++liveHandles;
        for (const CRect& area : areas)
            put(dc, area);
        ReleaseDC(hwnd, dc);
        --liveHandles;
    }
};

bool CFrame::Platform::acquireClass(HINSTANCE module, WNDPROC proc)
{
    std::lock_guard<std::mutex> guard(classLock);
    if (!classRegistered)
    {
        std::swprintf(className, sizeof className / sizeof className[0], L"ZRV4Frame%p",
                      static_cast<void*>(module));
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = proc;
        windowClass.hInstance = module;
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)); // shared, not ours
        windowClass.lpszClassName = className;
        if (RegisterClassExW(&windowClass) == 0)
            return false;
        classRegistered = true;
        ++liveHandles;
    }
    ++classUsers;
    return true;
}

void CFrame::Platform::releaseClass(HINSTANCE module)
{
    std::lock_guard<std::mutex> guard(classLock);
    // A window that could not be destroyed keeps the class registered; the
    // next frame uses it again.
    if (--classUsers == 0 && UnregisterClassW(className, module))
    {
        classRegistered = false;
        --liveHandles;
    }
}

LRESULT CALLBACK CFrame::Platform::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
    {
        auto* platform = static_cast<Platform*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(platform));
        platform->hwnd = hwnd;
        ++liveHandles;
    }
    auto* platform = reinterpret_cast<Platform*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (platform == nullptr)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY)
    {
        // Also when the host destroys its window, and ours with it, first.
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        platform->frame->releaseCapture();
        platform->hwnd = nullptr;
        --liveHandles;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return platform->handle(message, wParam, lParam);
}

LRESULT CFrame::Platform::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_PAINT:
    {
        PAINTSTRUCT paint;
        if (HDC dc = BeginPaint(hwnd, &paint))
        {
            put(dc, CRect(paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right, paint.rcPaint.bottom));
            EndPaint(hwnd, &paint);
        }
        return 0;
    }
    case WM_PRINTCLIENT:
        put(reinterpret_cast<HDC>(wParam), CRect(0, 0, frame->context.getWidth(), frame->context.getHeight()));
        return 0;
    case WM_ERASEBKGND:
        return 1; // every pixel is painted: no flash of a background colour
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        lastMouse = pointOf(lParam);
        SetCapture(hwnd);
        frame->mouseDown(lastMouse, modifiersOf(wParam));
        paintDirty();
        return 0;
    case WM_MOUSEMOVE:
        if (!frame->isMouseCaptured())
            return 0;
        lastMouse = pointOf(lParam);
        frame->mouseMoved(lastMouse, modifiersOf(wParam));
        paintDirty();
        return 0;
    case WM_LBUTTONUP:
        lastMouse = pointOf(lParam);
        // The view learns of the release before the capture goes, so that
        // WM_CAPTURECHANGED finds the drag over.
        frame->mouseUp(lastMouse, modifiersOf(wParam));
        if (GetCapture() == hwnd)
            ReleaseCapture();
        paintDirty();
        return 0;
    case WM_CAPTURECHANGED:
        // Capture taken away mid-drag (a dialog, a task switch): the drag ends where it was.
        if (frame->isMouseCaptured())
        {
            frame->mouseUp(lastMouse, 0);
            paintDirty();
        }
        return 0;
    case WM_MOUSEWHEEL:
    {
        POINT screen{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ScreenToClient(hwnd, &screen);
        const float notches = static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA;
        frame->mouseWheel(CPoint(screen.x, screen.y), notches, modifiersOf(GET_KEYSTATE_WPARAM(wParam)));
        paintDirty();
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

CFrame::CFrame(const CRect& size, void* parentWindow, AEffGUIEditor* editor)
    : CView(size), editor(editor), context(size.width(), size.height()), window(new Platform)
{
    Platform& w = *window;
    w.frame = this;
    HWND parent = static_cast<HWND>(parentWindow);
    // A destroyed or made-up handle: no frame, and nothing else is touched.
    if (parent == nullptr || !IsWindow(parent) || context.getWidth() <= 0 || context.getHeight() <= 0)
        return;
    HINSTANCE module = thisModule();
    if (!Platform::acquireClass(module, &Platform::procedure))
        return;
    w.classHeld = true;
    // WM_NCCREATE stores the window in w and counts it.
    if (CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, context.getWidth(),
                        context.getHeight(), parent, nullptr, module, &w) == nullptr)
        w.hwnd = nullptr;
}

CFrame::~CFrame()
{
    removeAll();
    Platform& w = *window;
    if (w.hwnd != nullptr)
    {
        HWND hwnd = w.hwnd;
        if (!DestroyWindow(hwnd) && IsWindow(hwnd))
        {
            // Another thread owns the window: it stops talking to this frame
            // and closes on its own thread.
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
            w.hwnd = nullptr;
            --liveHandles;
        }
    }
    if (w.classHeld)
        Platform::releaseClass(thisModule());
}

bool CFrame::isValid() const
{
    return window->hwnd != nullptr;
}

void* CFrame::getPlatformWindow() const
{
    return window->hwnd;
}

long CFrame::liveNativeHandles()
{
    return liveHandles.load();
}

void CFrame::idle()
{
    Platform& w = *window;
    if (w.hwnd != nullptr)
        w.paintDirty();
}
