// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringView>
#include <QtGlobal>

// The one reader of numbers typed by people: the store file and every editor
// box go through here, so "12abc", " 2.5" and "" mean the same everywhere.
namespace Numbers {

// The number at the start of text: leading blanks skipped, an optional sign,
// digits with an optional fraction and exponent. Reading stops at the first
// character that cannot continue the number; no number at all gives 0.
double leadingNumber(QStringView text);

// Nearest integer, halves to even (2.5 -> 2, 3.5 -> 4), limited to the range
// of the field it is stored in. `clamped` reports whether the limit was hit.
qint16 toInt16(double value, bool *clamped = nullptr);
qint32 toInt32(double value, bool *clamped = nullptr);

inline qint16 readInt16(QStringView text, bool *clamped = nullptr)
{
    return toInt16(leadingNumber(text), clamped);
}

inline qint32 readInt32(QStringView text, bool *clamped = nullptr)
{
    return toInt32(leadingNumber(text), clamped);
}

} // namespace Numbers
