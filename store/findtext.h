// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace Module1 {
struct Task;
}

// What Find compares: texts with case and accents taken out, so that
// "cafe" finds "Café" and "ÉCOLE" finds "école".
namespace FindText {

// `text` decomposed, without its combining marks, case folded.
QString fold(const QString &text);

// The folded title, for-whom text and description of a task, one text for
// Find to look through (kept apart, so a match cannot run across two).
QString haystack(const Module1::Task &task);

// Whether a task's haystack holds the folded text; an empty one is in all.
inline bool matches(const QString &haystack, const QString &folded)
{
    return haystack.contains(folded);
}

} // namespace FindText
