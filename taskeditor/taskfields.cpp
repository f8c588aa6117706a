// SPDX-License-Identifier: GPL-3.0-or-later
#include "taskfields.h"

#include "numbers.h"
#include "repeat.h"

#include <algorithm>
#include <iterator>

namespace TaskFields {

namespace {

bool isBreak(QChar c)
{
    return c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

} // namespace

QStringList monthNames()
{
    return {
        QStringLiteral("January"), QStringLiteral("February"), QStringLiteral("March"),
        QStringLiteral("April"),   QStringLiteral("May"),      QStringLiteral("June"),
        QStringLiteral("July"),    QStringLiteral("August"),   QStringLiteral("September"),
        QStringLiteral("October"), QStringLiteral("November"), QStringLiteral("December"),
    };
}

int monthIndex(qint16 month)
{
    return (month >= 1 && month <= 12) ? month - 1 : -1;
}

bool monthFromIndex(int index, qint16 *month)
{
    if (index < 0 || index > 11)
        return false;
    *month = qint16(index + 1);
    return true;
}

QString descriptionForEditor(const QString &stored)
{
    QString out = stored;
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return out;
}

QString descriptionFromEditor(const QString &raw)
{
    QString out;
    out.reserve(raw.size() + raw.size() / 16);
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (!isBreak(c)) {
            out += c;
            continue;
        }
        // A CR LF pair is one break, not two.
        if (c == u'\r' && i + 1 < raw.size() && raw[i + 1] == u'\n')
            ++i;
        out += QLatin1String("\r\n");
    }
    return out;
}

QString singleLine(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c == u'\r' || c == u'\n')
            c = u' ';
    }
    return out;
}

namespace {

// The list's rows after Never, in order.
constexpr Repeat::Unit kRepeatUnits[] = {Repeat::Unit::Day, Repeat::Unit::Week, Repeat::Unit::Month,
                                          Repeat::Unit::Year};

} // namespace

QStringList repeatChoices()
{
    return {QStringLiteral("Never"), QStringLiteral("Every day"), QStringLiteral("Every week"),
            QStringLiteral("Every month"), QStringLiteral("Every year")};
}

RepeatShown repeatShown(const QString &stored)
{
    const std::optional<Repeat::Rule> rule = Repeat::parse(stored);
    if (!rule)
        return {};
    const auto *unit = std::find(std::begin(kRepeatUnits), std::end(kRepeatUnits), rule->unit);
    return {int(unit - std::begin(kRepeatUnits)) + 1, rule->count};
}

QString repeatStored(int row, QStringView countText, QDate due, const QString &current)
{
    if (row < 1 || row > int(std::size(kRepeatUnits)))
        return {};
    const int count = std::clamp<int>(Numbers::readInt16(countText), 1, Repeat::kMaxCount);
    Repeat::Rule rule = Repeat::ruleFor(count, kRepeatUnits[row - 1], due);
    if (const std::optional<Repeat::Rule> stored = Repeat::parse(current);
        stored && Repeat::byMonths(stored->unit) && Repeat::byMonths(rule.unit))
        rule.anchorDay = stored->anchorDay;
    return Repeat::format(rule);
}

} // namespace TaskFields
