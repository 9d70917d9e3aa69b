// The X side of the editor tests: a parent window at the screen's origin for
// the editor to open in, screenshots of it, and synthetic mouse input (XTest).
// Xlib stays in TestScreen.cpp, away from GoogleTest's names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TestScreen
{
public:
    TestScreen();
    ~TestScreen();
    TestScreen(const TestScreen&) = delete;
    TestScreen& operator=(const TestScreen&) = delete;

    // False when no X server can be reached (no DISPLAY) or XTest is missing.
    bool available() const { return display != nullptr; }

    // A mapped top-level window at (x, y) of the root, out of any window manager's hands.
    unsigned long createWindow(int x, int y, int width, int height);
    void destroyWindow(unsigned long window);

    // Pixels of window as 0x00RRGGBB, row by row.
    std::vector<uint32_t> grab(unsigned long window, int width, int height);

    // Synthetic input in root coordinates; each call waits until the server has it.
    void moveTo(int x, int y);
    void button(bool down);
    void shift(bool down);
    void click(int x, int y);

private:
    void* display = nullptr;
};

// Writes 0x00RRGGBB pixels as an RGB PNG file.
bool writePng(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height);
