// The editor's window: a child of the host's parent window, its background
// image, and the views attached to it, drawn in the order attached. The mouse
// goes to the last attached view under the pointer. Everything except setDirty
// runs on the host's interface thread: idle() redraws what became dirty.
// The window itself is made by one platform backend (CFrameX11.cpp on a
// display connection of its own, CFrameWin32.cpp), which feeds the mouse in
// through the private handlers below.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "toolkit/CDrawContext.h"
#include "toolkit/CView.h"

class AEffGUIEditor;

class CFrame : public CView
{
public:
    // parentWindow is the host's native window: an X11 window id (null: a
    // top-level window) or an HWND (null or not a window: no frame).
    CFrame(const CRect& size, void* parentWindow, AEffGUIEditor* editor);
    ~CFrame() override;

    // Whether the window could be made.
    bool isValid() const;
    // The frame's own native window (X11 id or HWND; null when not valid).
    void* getPlatformWindow() const;

    // Native handles (windows, connections, device contexts, images, window
    // classes) the backend holds now, over all frames of the module: zero
    // once every frame is gone, whatever the platform reports itself.
    static long liveNativeHandles();

    void setBackground(CBitmap* bitmap);

    // The frame takes a reference to each view it holds and drops it on removal.
    bool addView(CView* view);
    bool removeView(CView* view);
    // Detaches every view; views that someone else still holds stay alive.
    void removeAll();
    long getNbViews() const { return static_cast<long>(views.size()); }
    CView* getView(long index) const;

    // Handles pending window events, then redraws the dirty views.
    void idle();
    // Marks the whole window for redrawing at the next idle.
    void invalidateAll() { redrawAll.store(true, std::memory_order_release); }

    void draw(CDrawContext* context) override;

    CDrawContext* getContext() { return &context; }
    AEffGUIEditor* getEditor() const { return editor; }

private:
    struct Platform;

    // Mouse input from the backend, in frame coordinates. The view that took
    // the press gets the moves and the release; the wheel goes to the view
    // under the pointer (distance in notches, up positive).
    void mouseDown(const CPoint& where, long modifiers);
    void mouseMoved(const CPoint& where, long modifiers);
    void mouseUp(const CPoint& where, long modifiers);
    void mouseWheel(const CPoint& where, float distance, long modifiers);
    bool isMouseCaptured() const { return captured != nullptr; }
    void releaseCapture();
    // The topmost view under the point, or null.
    CView* viewAt(const CPoint& where) const;
    // Redraws the dirty views into the context and appends the areas that
    // changed, for the backend to copy to its window.
    void drawDirty(std::vector<CRect>& areas);
    void redraw(const CRect& area);
    void collectDirty(std::vector<CRect>& rects);

    AEffGUIEditor* editor;
    CDrawContext context;
    std::vector<CView*> views;
    CView* captured = nullptr;
    std::atomic<bool> redrawAll{true};
    std::unique_ptr<Platform> window;
};
