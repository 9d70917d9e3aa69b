// A view with a value between 0 and 1, a tag and a listener. setValue may come
// from any thread (a host's automation); it only stores and marks dirty.
#pragma once

#include <atomic>

#include "toolkit/CView.h"

class CControlListener;

class CControl : public CView
{
public:
    CControl(const CRect& size, CControlListener* listener, long tag, CBitmap* background);

    // Non-finite values become 0, others are held to 0..1.
    void setValue(float value);
    float getValue() const { return value.load(std::memory_order_acquire); }
    long getTag() const { return tag; }
    CControlListener* getListener() const { return listener; }

protected:
    // Stores a value set with the mouse and, when it differs from the old one
    // or always is true, tells the listener.
    void changeByUser(float newValue, bool always = false);
    // A mouse gesture starts or ends.
    void beginEdit();
    void endEdit();

private:
    CControlListener* listener;
    long tag;
    std::atomic<float> value{0.0f};
};
