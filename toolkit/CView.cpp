#include "toolkit/CView.h"

#include "toolkit/CBitmap.h"

CView::CView(const CRect& size) : size(size) {}

CView::~CView()
{
    if (background != nullptr)
        background->forget();
}

void CView::forget()
{
    if (--references == 0)
        delete this;
}

void CView::setBackground(CBitmap* bitmap)
{
    if (bitmap != nullptr)
        bitmap->remember();
    if (background != nullptr)
        background->forget();
    background = bitmap;
    setDirty();
}

void CView::draw(CDrawContext* context)
{
    if (background != nullptr)
        background->draw(context, size);
}
