#include "toolkit/CFrame.h"

#include <algorithm>

#include "toolkit/CBitmap.h"

void CFrame::setBackground(CBitmap* bitmap)
{
    CView::setBackground(bitmap);
    invalidateAll();
}

bool CFrame::addView(CView* view)
{
    if (view == nullptr)
        return false;
    view->remember();
    view->setParentFrame(this);
    views.push_back(view);
    view->setDirty();
    return true;
}

bool CFrame::removeView(CView* view)
{
    const auto it = std::find(views.begin(), views.end(), view);
    if (it == views.end())
        return false;
    views.erase(it);
    if (captured == view)
        releaseCapture();
    view->setParentFrame(nullptr);
    view->forget();
    invalidateAll();
    return true;
}

void CFrame::removeAll()
{
    releaseCapture();
    std::vector<CView*> detached;
    detached.swap(views);
    for (CView* view : detached)
    {
        view->setParentFrame(nullptr);
        view->forget();
    }
    invalidateAll();
}

CView* CFrame::getView(long index) const
{
    return index >= 0 && index < getNbViews() ? views[static_cast<size_t>(index)] : nullptr;
}

void CFrame::releaseCapture()
{
    if (captured != nullptr)
        captured->forget();
    captured = nullptr;
}

CView* CFrame::viewAt(const CPoint& where) const
{
    for (auto it = views.rbegin(); it != views.rend(); ++it)
        if ((*it)->getViewSize().pointInside(where))
            return *it;
    return nullptr;
}

void CFrame::mouseDown(const CPoint& where, long modifiers)
{
    releaseCapture();
    captured = viewAt(where);
    if (captured == nullptr)
        return;
    // Held while it takes the drag, whatever the listener does meanwhile.
    captured->remember();
    captured->onMouseDown(where, modifiers);
}

void CFrame::mouseMoved(const CPoint& where, long modifiers)
{
    if (captured != nullptr)
        captured->onMouseMoved(where, modifiers);
}

void CFrame::mouseUp(const CPoint& where, long modifiers)
{
    if (captured == nullptr)
        return;
    CView* view = captured;
    view->remember();
    releaseCapture();
    view->onMouseUp(where, modifiers);
    view->forget();
}

void CFrame::mouseWheel(const CPoint& where, float distance, long modifiers)
{
    CView* view = viewAt(where);
    if (view == nullptr)
        return;
    view->remember();
    view->onMouseWheel(where, distance, modifiers);
    view->forget();
}

void CFrame::drawDirty(std::vector<CRect>& areas)
{
    std::vector<CRect> dirty;
    collectDirty(dirty);
    for (const CRect& area : dirty)
        redraw(area);
    areas.insert(areas.end(), dirty.begin(), dirty.end());
}

void CFrame::collectDirty(std::vector<CRect>& rects)
{
    const bool all = redrawAll.exchange(false, std::memory_order_acq_rel);
    if (all)
        rects.emplace_back(0, 0, context.getWidth(), context.getHeight());
    for (CView* view : views)
        if (view->takeDirty() && !all)
            rects.push_back(view->getViewSize());
}

void CFrame::redraw(const CRect& area)
{
    context.setClip(area);
    draw(&context);
    context.setClip(CRect(0, 0, context.getWidth(), context.getHeight()));
}

void CFrame::draw(CDrawContext* target)
{
    // Background first, then every view touching the clip, in attach order.
    if (background != nullptr && background->isLoaded())
        background->draw(target, CRect(0, 0, target->getWidth(), target->getHeight()));
    else
        target->fillRect(target->getClip(), 0);
    for (CView* view : views)
        if (view->getViewSize().rectOverlap(target->getClip()))
            view->draw(target);
}
