// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer entry: any bytes as an iCalendar file to import. Whatever comes
// in must go out with nothing libical could not read, and come back as the
// same tasks.
#include "module1.h"
#include "rules.h"
#include "taskcalendar.h"

#include <QByteArray>
#include <QDateTime>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QDateTime now(QDate(2026, 12, 8), QTime(10, 0));

    std::vector<Module1::Task> list;
    KeptCalendars kept;
    const TaskCalendar::Imported imported = TaskCalendar::importTasks(list, bytes, kept, now, Module1::kTaskSlots);
    if (!imported.refusal.isEmpty() && !list.empty())
        std::abort();
    if (int(list.size()) != imported.added || list.size() > std::size_t(Module1::kTaskSlots))
        std::abort();

    const TaskCalendar::Exported exported = TaskCalendar::exportTasks(list, kept, now);
    if (exported.file.contains("X-LIC-ERROR") || std::size_t(exported.written + exported.problems.size()) != list.size())
        std::abort();
    std::vector<Module1::Task> back;
    KeptCalendars again;
    const TaskCalendar::Imported reread = TaskCalendar::importTasks(back, exported.file, again, now, Module1::kTaskSlots);
    if (!reread.refusal.isEmpty() || int(back.size()) != exported.written || !reread.skipped.isEmpty())
        std::abort();
    std::size_t j = 0;
    for (const Module1::Task &t : list) {
        if (j >= back.size() || back[j].uid != t.uid)
            continue; // not written: its year is outside a calendar's
        const Module1::Task &b = back[j++];
        if (b.title != t.title || b.forWhom != t.forWhom || b.description != t.description
            || Rules::dueMoment(b) != Rules::dueMoment(t) || b.done != t.done || b.repeatText != t.repeatText) {
            const QByteArray titles = QByteArray(t.title.toUtf8().toHex() + " " + b.title.toUtf8().toHex() + " "
                                                 + QByteArray::number(t.done) + QByteArray::number(b.done));
            std::fprintf(stderr, "not the same task after a trip: %s %s|%s|%s|%s|%s\n", titles.constData(), qPrintable(t.title),
                         qPrintable(t.forWhom), qPrintable(Rules::dueMoment(t).toString(Qt::ISODate)),
                         qPrintable(t.repeatText + QLatin1Char('/') + t.doneText), qPrintable(t.description));
            std::fprintf(stderr, "                            now: %s|%s|%s|%s|%s\n", qPrintable(b.title),
                         qPrintable(b.forWhom), qPrintable(Rules::dueMoment(b).toString(Qt::ISODate)),
                         qPrintable(b.repeatText + QLatin1Char('/') + b.doneText), qPrintable(b.description));
            std::abort();
        }
    }
    return 0;
}
