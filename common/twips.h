// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QWidget>

#include <cmath>

// Layout arithmetic is done in twips; widgets get device-independent pixels,
// so high-DPI screens scale the whole window evenly.
namespace Twips {

inline constexpr int kPerPixel = 15;

inline int toPixels(double twips)
{
    return int(std::lround(twips / kPerPixel));
}

inline int fromPixels(int pixels)
{
    return pixels * kPerPixel;
}

struct Rect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    friend bool operator==(const Rect &, const Rect &) = default;
};

inline QRect toPixels(const Rect &r)
{
    return QRect(toPixels(r.left), toPixels(r.top), toPixels(r.width), toPixels(r.height));
}

inline void place(QWidget *w, double left, double top, double width, double height)
{
    w->setGeometry(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

inline void place(QWidget *w, const Rect &r)
{
    w->setGeometry(toPixels(r));
}

} // namespace Twips
