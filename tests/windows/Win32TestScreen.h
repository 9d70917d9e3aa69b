// The Win32 side of the editor tests under Wine: a host's top-level window
// for the editor to open in, screenshots of a window, synthetic input
// (SendInput) and the message loop a host runs. windows.h stays in
// Win32TestScreen.cpp; windows are passed as void* (HWND).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Win32TestScreen
{
public:
    Win32TestScreen();
    ~Win32TestScreen();
    Win32TestScreen(const Win32TestScreen&) = delete;
    Win32TestScreen& operator=(const Win32TestScreen&) = delete;

    // A visible, borderless top-level window at (x, y) of the screen, in front.
    void* createWindow(int x, int y, int width, int height);
    void destroyWindow(void* window);
    // The first child window of window, or null.
    static void* firstChild(void* window);
    static long childCount(void* window);
    // Client area size; false when window is not a window.
    static bool clientSize(void* window, int& width, int& height);
    static std::string classNameOf(void* window);
    // Whether module has a window class of that name registered.
    static bool classRegistered(void* module, const std::string& name);
    static void* moduleOf(const std::string& path);

    // Pixels of window as 0x00RRGGBB, row by row, copied from its device context.
    std::vector<uint32_t> grab(void* window, int width, int height);

    // Dispatches the messages waiting for this thread's windows.
    void pump();
    // Synthetic input in screen coordinates; each call pumps messages after it.
    void moveTo(int x, int y);
    void button(bool down);
    void shift(bool down);
    void wheel(int notches);
    void click(int x, int y);
};
