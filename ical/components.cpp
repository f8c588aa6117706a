// SPDX-License-Identifier: GPL-3.0-or-later
#include "components.h"

#include <QList>

namespace IcalKit {

namespace {

// Deeper than any calendar nests (VCALENDAR, VTODO, VALARM, a zone's
// STANDARD): a deeper file is made to exhaust the reader.
constexpr int kDeepestNesting = 8;

// Why the text is not a whole iCalendar file, or empty when it is.
QString structureProblem(QByteArrayView bytes)
{
    if (bytes.contains('\0'))
        return QStringLiteral("it is not a text file");
    QList<QByteArray> open;
    bool sawCalendar = false;
    bool sawContent = false;
    qsizetype pos = 0;
    int lineNumber = 0;
    while (pos < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0)
            end = bytes.size();
        QByteArrayView line = bytes.sliced(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (line.endsWith('\r'))
            line.chop(1);
        // Continuation lines (a leading blank) only go on a property.
        if (line.trimmed().isEmpty() || line.front() == ' ' || line.front() == '\t')
            continue;
        const bool begins = line.size() > 6 && line.first(6).compare("BEGIN:", Qt::CaseInsensitive) == 0;
        const bool ends = !begins && line.size() > 4 && line.first(4).compare("END:", Qt::CaseInsensitive) == 0;
        const QByteArray upper = begins || ends ? line.toByteArray().toUpper() : QByteArray();
        if (!sawContent && !begins)
            return QStringLiteral("it does not start with BEGIN:VCALENDAR");
        sawContent = true;
        if (begins) {
            const QByteArray name = upper.mid(6).trimmed();
            if (open.isEmpty() && name != "VCALENDAR")
                return QStringLiteral("line %1 begins %2 outside a VCALENDAR").arg(lineNumber).arg(QString::fromLatin1(name));
            if (open.size() >= kDeepestNesting)
                return QStringLiteral("line %1 nests components deeper than a calendar does").arg(lineNumber);
            sawCalendar = true;
            open.append(name);
        } else if (ends) {
            const QByteArray name = upper.mid(4).trimmed();
            if (open.isEmpty())
                return QStringLiteral("line %1 ends %2, which was never begun").arg(lineNumber).arg(QString::fromLatin1(name));
            if (open.constLast() != name) {
                return QStringLiteral("line %1 ends %2 where %3 is open")
                    .arg(lineNumber)
                    .arg(QString::fromLatin1(name), QString::fromLatin1(open.constLast()));
            }
            open.removeLast();
        } else if (open.isEmpty()) {
            return QStringLiteral("line %1 lies outside any VCALENDAR").arg(lineNumber);
        }
    }
    if (!sawCalendar)
        return QStringLiteral("it holds no VCALENDAR");
    if (!open.isEmpty())
        return QStringLiteral("it ends inside %1: the file was cut short").arg(QString::fromLatin1(open.constLast()));
    return {};
}

} // namespace

void prepare()
{
    static const bool prepared = [] {
        icalerror_set_errors_are_fatal(0);
        return true;
    }();
    Q_UNUSED(prepared);
}

std::unique_lock<std::recursive_mutex> exclusive()
{
    static std::recursive_mutex library;
    return std::unique_lock(library);
}

namespace {

// libical's text, taken over and its buffer given back.
QByteArray takeText(char *text)
{
    QByteArray out(text);
    icalmemory_free_buffer(text);
    return out;
}

} // namespace

QByteArray textOf(icalcomponent *component)
{
    return takeText(icalcomponent_as_ical_string_r(component));
}

QByteArray textOf(icalproperty *property)
{
    return takeText(icalproperty_as_ical_string_r(property));
}

Component parse(const QByteArray &bytes, QString *refusal)
{
    prepare();
    if (bytes.size() > kLargestFile) {
        *refusal = QStringLiteral("it is larger than %1 MB, more than any task list").arg(kLargestFileMiB);
        return {};
    }
    QByteArrayView text(bytes);
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    *refusal = structureProblem(text);
    if (!refusal->isEmpty())
        return {};
    // libical wants a C string.
    const QByteArray terminated = text.toByteArray();
    Component root(icalparser_parse_string(terminated.constData()));
    if (!root)
        *refusal = QStringLiteral("it could not be read as iCalendar");
    return root;
}

QString nameOf(icalproperty *property)
{
    return QString::fromUtf8(icalproperty_get_property_name(property));
}

icalproperty *findX(icalcomponent *component, const char *name)
{
    for (icalproperty *p = icalcomponent_get_first_property(component, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(component, ICAL_X_PROPERTY)) {
        if (qstricmp(icalproperty_get_x_name(p), name) == 0)
            return p;
    }
    return nullptr;
}

void removeAll(icalcomponent *component, icalproperty_kind kind)
{
    while (icalproperty *p = icalcomponent_get_first_property(component, kind)) {
        icalcomponent_remove_property(component, p);
        icalproperty_free(p);
    }
}

} // namespace IcalKit
