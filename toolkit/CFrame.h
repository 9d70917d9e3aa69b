// The editor's window: a child of the host's parent window on a display
// connection of its own, its background image, and the views attached to it,
// drawn in the order attached. The mouse goes to the last attached view under
// the pointer. Everything except setDirty runs on the host's interface thread:
// idle() reads the window's events and redraws what became dirty.
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
    // parentWindow is the host's X11 window id (null: a top-level window).
    CFrame(const CRect& size, void* parentWindow, AEffGUIEditor* editor);
    ~CFrame() override;

    // Whether the display could be opened and the window made.
    bool isValid() const;
    // The X11 id of the frame's own window (0 when not valid).
    unsigned long getWindowId() const;

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

    void mouseDown(const CPoint& where, long modifiers);
    void releaseCapture();
    void redraw(const CRect& area);
    void collectDirty(std::vector<CRect>& rects);

    AEffGUIEditor* editor;
    CDrawContext context;
    std::vector<CView*> views;
    CView* captured = nullptr;
    std::atomic<bool> redrawAll{true};
    std::unique_ptr<Platform> window;
};
