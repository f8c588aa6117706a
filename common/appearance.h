// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QApplication;
class QFont;

// The one place for the program's look. Every window is laid out in twips
// for 17-pixel buttons and rows, so the style and font must make captions
// fit that height on every desktop, not just the one it was drawn on.
namespace Appearance {

// The font every window is laid out for.
QFont applicationFont();

// The desktop's own font for reading, not the small one the windows are laid
// out for, made 1 / smallestScale times larger so that text drawn at
// smallestScale of it still has the desktop's normal size.
QFont readingFont(double smallestScale = 1.0);

// Fusion style and the application font; called once from main, and by
// tests that look at layouts.
void applyAppearance(QApplication &app);

} // namespace Appearance
