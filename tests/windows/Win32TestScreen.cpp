#include "tests/windows/Win32TestScreen.h"

#include <windows.h>

namespace
{
const wchar_t hostClass[] = L"ZRV4TestHostWindow";

HWND hwndOf(void* p)
{
    return static_cast<HWND>(p);
}

void send(INPUT input)
{
    SendInput(1, &input, sizeof input);
}
} // namespace

Win32TestScreen::Win32TestScreen()
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = hostClass;
    RegisterClassExW(&windowClass);
}

Win32TestScreen::~Win32TestScreen()
{
    UnregisterClassW(hostClass, GetModuleHandleW(nullptr));
}

void* Win32TestScreen::createWindow(int x, int y, int width, int height)
{
    HWND w = CreateWindowExW(WS_EX_TOPMOST, hostClass, L"ZRV4 test host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, x,
                             y, width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(w);
    UpdateWindow(w);
    pump();
    return w;
}

void Win32TestScreen::destroyWindow(void* window)
{
    DestroyWindow(hwndOf(window));
    pump();
}

void* Win32TestScreen::firstChild(void* window)
{
    return GetWindow(hwndOf(window), GW_CHILD);
}

long Win32TestScreen::childCount(void* window)
{
    long count = 0;
    for (HWND c = GetWindow(hwndOf(window), GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
        ++count;
    return count;
}

bool Win32TestScreen::clientSize(void* window, int& width, int& height)
{
    RECT r;
    if (!IsWindow(hwndOf(window)) || !GetClientRect(hwndOf(window), &r))
        return false;
    width = r.right - r.left;
    height = r.bottom - r.top;
    return true;
}

std::string Win32TestScreen::classNameOf(void* window)
{
    char name[256] = {};
    GetClassNameA(hwndOf(window), name, sizeof name);
    return name;
}

bool Win32TestScreen::classRegistered(void* module, const std::string& name)
{
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    return GetClassInfoExA(static_cast<HINSTANCE>(module), name.c_str(), &info) != 0;
}

void* Win32TestScreen::moduleOf(const std::string& path)
{
    return GetModuleHandleA(path.c_str());
}

std::vector<uint32_t> Win32TestScreen::grab(void* window, int width, int height)
{
    pump();
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0);
    HDC source = GetDC(hwndOf(window));
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr && bits != nullptr)
    {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
        GdiFlush();
        const uint32_t* p = static_cast<const uint32_t*>(bits);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = p[i] & 0xffffff;
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(hwndOf(window), source);
    return pixels;
}

void Win32TestScreen::pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Win32TestScreen::moveTo(int x, int y)
{
    SetCursorPos(x, y);
    INPUT input{};
    input.type = INPUT_MOUSE;
    // Absolute coordinates run from 0 to 65535 over the primary screen.
    input.mi.dx = static_cast<LONG>((x * 65536 + GetSystemMetrics(SM_CXSCREEN) - 1) / GetSystemMetrics(SM_CXSCREEN));
    input.mi.dy = static_cast<LONG>((y * 65536 + GetSystemMetrics(SM_CYSCREEN) - 1) / GetSystemMetrics(SM_CYSCREEN));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    send(input);
    pump();
}

void Win32TestScreen::button(bool down)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    send(input);
    pump();
}

void Win32TestScreen::shift(bool down)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = VK_SHIFT;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    send(input);
    pump();
}

void Win32TestScreen::wheel(int notches)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_WHEEL;
    input.mi.mouseData = static_cast<DWORD>(notches * WHEEL_DELTA);
    send(input);
    pump();
}

void Win32TestScreen::click(int x, int y)
{
    moveTo(x, y);
    button(true);
    button(false);
}
