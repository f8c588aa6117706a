// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QtGlobal>

// Colours are stored as red + 256 * green + 65536 * blue, red in the low byte.
namespace Colors {

inline constexpr qint32 rgb(int red, int green, int blue)
{
    return red + 256 * green + 65536 * blue;
}

// The high byte is not a colour and is ignored when showing one.
inline QColor toColor(qint32 value)
{
    const auto v = quint32(value);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

inline qint32 fromColor(const QColor &color)
{
    const QColor c = color.toRgb();
    return rgb(c.red(), c.green(), c.blue());
}

} // namespace Colors
