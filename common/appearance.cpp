// SPDX-License-Identifier: GPL-3.0-or-later
#include "appearance.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QStyleFactory>

#include <cmath>

namespace Appearance {

QFont applicationFont()
{
    // DejaVu Sans is on every Debian desktop (fonts-dejavu-core) and its
    // 8-point captions fit a 17-pixel button with room for the focus frame.
    QFont font = QApplication::font();
    if (QFontDatabase::hasFamily(QStringLiteral("DejaVu Sans")))
        font.setFamily(QStringLiteral("DejaVu Sans"));
    font.setPointSize(8);
    return font;
}

QFont readingFont(double smallestScale)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() / smallestScale);
    else if (font.pixelSize() > 0)
        font.setPixelSize(int(std::ceil(font.pixelSize() / smallestScale)));
    return font;
}

void applyAppearance(QApplication &app)
{
    // Native styles pad buttons differently; Fusion draws the same everywhere.
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);
    app.setFont(applicationFont());
}

} // namespace Appearance
