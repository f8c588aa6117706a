// SPDX-License-Identifier: GPL-3.0-or-later
#include "findtext.h"

#include "module1.h"

#include <algorithm>

namespace FindText {

QString fold(const QString &text)
{
    // Most texts are plain ASCII, and then lower case is all there is to
    // do: typing into Find folds every task's text again when the list
    // changes, and ten thousand decompositions would be felt.
    const bool plain = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (plain)
        return text.toLower();
    // The compatibility form also splits ligatures and wide letters ("ﬁ",
    // "Ａ") into the letters a user types.
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        switch (c.category()) {
        case QChar::Mark_NonSpacing:
        case QChar::Mark_SpacingCombining:
        case QChar::Mark_Enclosing:
            break;
        default:
            out.append(c);
        }
    }
    return out.toCaseFolded();
}

QString haystack(const Module1::Task &task)
{
    return fold(task.title) + QLatin1Char('\n') + fold(task.forWhom) + QLatin1Char('\n') + fold(task.description);
}

} // namespace FindText
