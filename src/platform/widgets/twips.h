#pragma once
// Window geometry in twips: 15 twips per logical pixel.

#include <QWidget>

namespace twips {

constexpr int kPerPixel = 15;

inline int toPixels(int tw) { return tw / kPerPixel; }
inline int fromPixels(int px) { return px * kPerPixel; }

// Left, top, width and height in twips. A negative width or height is not
// applied: the widget keeps its previous size.
void setGeometry(QWidget* w, int left, int top, int width, int height);
void setTop(QWidget* w, int top);
void setLeft(QWidget* w, int left);
void setWidth(QWidget* w, int width);
void setHeight(QWidget* w, int height);

QRect geometry(const QWidget* w);        // in twips
QSize outerSize(const QWidget* window);  // frame included, in twips

}  // namespace twips
