// SPDX-License-Identifier: GPL-3.0-or-later
#include "mappingparts.h"

#include "components.h"

namespace MappingParts {

// Text as a file gives it, without control characters (a tab aside):
// libical leaves some of them out when it writes, so they would not come
// back the same, and nobody types them.
QString fromFile(const char *text)
{
    QString value = QString::fromUtf8(text ? text : "");
    value.removeIf([](QChar c) {
        return (c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c.unicode() == 0x7F;
    });
    return value;
}

// What the store can keep of a one-line text: line breaks would end the
// line, and trailing blanks do not survive a reading of the file.
QString oneLine(const char *text)
{
    QString value = fromFile(text);
    value.replace(QLatin1String("\r\n"), QLatin1String(" "));
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    while (value.endsWith(QLatin1Char(' ')))
        value.chop(1);
    return value;
}

// A description as Quorvi holds it: lines end in CR LF.
QString withBreaks(const char *text)
{
    QString value = fromFile(text);
    value.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    value.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (value.endsWith(QLatin1Char(' ')))
        value.chop(1);
    value.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return value;
}

icalproperty *first(icalcomponent *c, icalproperty_kind kind)
{
    return icalcomponent_get_first_property(c, kind);
}

QString forWhomOf(icalcomponent *todo)
{
    icalproperty *p = IcalKit::findX(todo, kForName);
    return p ? oneLine(icalproperty_get_x(p)) : QString();
}

QString valueText(icalproperty *p)
{
    return QString::fromUtf8(icalproperty_get_value_as_string(p));
}

Due dueOf(icalcomponent *todo, icalcomponent *calendar)
{
    Due due;
    if (icalproperty *p = first(todo, ICAL_DUE_PROPERTY)) {
        due.local = Zones::toLocal(p, calendar);
        due.fromDue = true;
        if (!due.local)
            due.bad = QStringLiteral("DUE ") + valueText(p);
        return due;
    }
    icalproperty *start = first(todo, ICAL_DTSTART_PROPERTY);
    if (!start)
        return due;
    due.local = Zones::toLocal(start, calendar);
    if (!due.local) {
        due.bad = QStringLiteral("DTSTART ") + valueText(start);
        return due;
    }
    if (icalproperty *d = first(todo, ICAL_DURATION_PROPERTY)) {
        const icaldurationtype duration = icalproperty_get_duration(d);
        const int seconds = icaldurationtype_as_int(duration);
        due.local->moment = due.local->moment.addSecs(seconds);
        due.local->dateOnly = due.local->dateOnly && seconds % 86400 == 0;
    }
    return due;
}

bool isDone(icalcomponent *todo)
{
    icalproperty *status = first(todo, ICAL_STATUS_PROPERTY);
    return (status && icalproperty_get_status(status) == ICAL_STATUS_COMPLETED) || first(todo, ICAL_COMPLETED_PROPERTY);
}

} // namespace MappingParts
