// Something drawn in a frame: a rectangle, an optional background image and a
// dirty flag. Reference counted like CBitmap; the frame holds a reference to
// each view attached to it.
#pragma once

#include <atomic>

#include "toolkit/CRect.h"

class CBitmap;
class CDrawContext;
class CFrame;

// Modifier keys held during a mouse event.
enum CButtonState : long
{
    kShift = 1 << 0,
    kControl = 1 << 1,
    kAlt = 1 << 2,
};

class CView
{
public:
    explicit CView(const CRect& size);

    CView(const CView&) = delete;
    CView& operator=(const CView&) = delete;

    void remember() { ++references; }
    void forget();

    const CRect& getViewSize() const { return size; }
    // The background is drawn by draw(); the view holds a reference to it.
    void setBackground(CBitmap* bitmap);
    CBitmap* getBackground() const { return background; }

    virtual void draw(CDrawContext* context);

    // Mouse events, in frame coordinates. The view that took the button press
    // receives the moves and the release that follow it.
    virtual void onMouseDown(const CPoint& /*where*/, long /*modifiers*/) {}
    virtual void onMouseMoved(const CPoint& /*where*/, long /*modifiers*/) {}
    virtual void onMouseUp(const CPoint& /*where*/, long /*modifiers*/) {}
    // The wheel turned by distance notches (up positive) over this view.
    virtual void onMouseWheel(const CPoint& /*where*/, float /*distance*/, long /*modifiers*/) {}

    // May be called from any thread: the frame redraws dirty views at its next idle.
    void setDirty(bool state = true) { dirty.store(state, std::memory_order_release); }
    bool isDirty() const { return dirty.load(std::memory_order_acquire); }
    bool takeDirty() { return dirty.exchange(false, std::memory_order_acq_rel); }

    void setParentFrame(CFrame* parent) { frame = parent; }
    CFrame* getFrame() const { return frame; }

protected:
    virtual ~CView();

    CRect size;
    CBitmap* background = nullptr;
    CFrame* frame = nullptr;

private:
    std::atomic<int> references{1};
    std::atomic<bool> dirty{true};
};
