#include "platform/widgets/twips.h"

namespace twips {

namespace {

// Applies a size in twips, keeping the current value of any negative side.
void resizeKeepingNegative(QWidget* w, int width, int height)
{
    const QSize current = w->size();
    const int pxWidth = width < 0 ? current.width() : toPixels(width);
    const int pxHeight = height < 0 ? current.height() : toPixels(height);
    w->resize(pxWidth, pxHeight);
}

}  // namespace

void setGeometry(QWidget* w, int left, int top, int width, int height)
{
    w->move(toPixels(left), toPixels(top));
    resizeKeepingNegative(w, width, height);
}

void setTop(QWidget* w, int top) { w->move(w->x(), toPixels(top)); }

void setLeft(QWidget* w, int left) { w->move(toPixels(left), w->y()); }

void setWidth(QWidget* w, int width) { resizeKeepingNegative(w, width, -1); }

void setHeight(QWidget* w, int height) { resizeKeepingNegative(w, -1, height); }

QRect geometry(const QWidget* w)
{
    const QRect g = w->geometry();
    return {fromPixels(g.x()), fromPixels(g.y()), fromPixels(g.width()), fromPixels(g.height())};
}

QSize outerSize(const QWidget* window)
{
    // Without a native frame (offscreen, or before the window manager has
    // framed the window) frameGeometry() is just the geometry.
    const QSize frame = window->frameGeometry().size();
    return {fromPixels(frame.width()), fromPixels(frame.height())};
}

}  // namespace twips
