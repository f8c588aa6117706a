// SPDX-License-Identifier: GPL-3.0-or-later
// Sync reads and writes tasks' calendars on a thread of its own while an
// Export or Import may run on the window's. Both at once, over every zone
// the system lists, each first met by either side: every due moment must
// come out as Qt's own zone data has it, and nothing may crash or race (the
// sanitizer builds run this too).
#include "calendarkit.h"
#include "keptcalendars.h"
#include "mapping.h"
#include "rules.h"
#include "taskcalendar.h"

#include <QFile>
#include <QTest>
#include <QThread>
#include <QTimeZone>

#include <atomic>
#include <memory>

using namespace Module1;
using namespace IcalTest;

namespace {

// The zones libical finds for itself, as the system lists them.
QList<QByteArray> listedZones()
{
    QFile tab(QStringLiteral("/usr/share/zoneinfo/zone.tab"));
    QList<QByteArray> out;
    if (!tab.open(QIODevice::ReadOnly))
        return out;
    while (!tab.atEnd()) {
        const QByteArray line = tab.readLine().trimmed();
        const QList<QByteArray> fields = line.split('\t');
        if (!line.startsWith('#') && fields.size() >= 3 && QTimeZone(fields[2]).isValid())
            out << fields[2];
    }
    return out;
}

QByteArray dueIn(const QByteArray &zone)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Tests//EN\r\nBEGIN:VTODO\r\nUID:" + zone
        + "\r\nDTSTAMP:20261201T080000Z\r\nSUMMARY:" + zone + "\r\nDUE;TZID=" + zone
        + ":20270301T093000\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
}

// What one side makes of a zone: its task read from a file, and written out
// again; empty when all went as Qt has it, or what went wrong.
QString mapped(const QByteArray &zone, bool exporting)
{
    const QDateTime expected = QDateTime(QDate(2027, 3, 1), QTime(9, 30), QTimeZone(zone)).toLocalTime();
    const TaskCalendar::FileReading reading = TaskCalendar::readFile(dueIn(zone), stampMoment());
    if (reading.found.size() != 1)
        return QString::fromUtf8(zone) + QStringLiteral(": not read");
    std::vector<Task> tasks{reading.found[0].task};
    if (Rules::dueMoment(tasks[0]) != expected)
        return QString::fromUtf8(zone) + QStringLiteral(": due ") + Rules::dueMoment(tasks[0]).toString(Qt::ISODate);
    if (exporting) {
        KeptCalendars kept;
        kept.keep(tasks[0].uid, reading.found[0].kept);
        const TaskCalendar::Exported out = TaskCalendar::exportTasks(tasks, kept, stampMoment());
        if (out.written != 1 || !unfolded(out.file).contains(QByteArray("DUE;TZID=" + zone + ":20270301T093000")))
            return QString::fromUtf8(zone) + QStringLiteral(": not written back");
    } else {
        const TaskCalendar::TaskText text =
            TaskCalendar::calendarOf(tasks[0], reading.found[0].kept, Mapping::clockAt(stampMoment()));
        if (!unfolded(text.text).contains(QByteArray("DUE;TZID=" + zone + ":20270301T093000")))
            return QString::fromUtf8(zone) + QStringLiteral(": not written back");
    }
    return {};
}

} // namespace

class TestIcalThreads : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void syncAndExportAtOnceOverEveryZone()
    {
        const QList<QByteArray> zones = listedZones();
        QVERIFY2(zones.size() > 100, "the system's zone list is missing");
        // The sync side goes through the zones from the front, the window's
        // from the back: each zone is met first by one of them, while the
        // other is busy with another.
        QStringList syncFaults;
        std::atomic<bool> syncDone = false;
        std::unique_ptr<QThread> sync(QThread::create([&] {
            for (const QByteArray &zone : zones) {
                if (const QString fault = mapped(zone, false); !fault.isEmpty())
                    syncFaults << fault;
            }
            syncDone = true;
        }));
        sync->start();
        QStringList windowFaults;
        for (auto it = zones.crbegin(); it != zones.crend() || !syncDone; ++it) {
            if (it == zones.crend())
                it = zones.crbegin();
            if (const QString fault = mapped(*it, true); !fault.isEmpty())
                windowFaults << fault;
        }
        QVERIFY(sync->wait(60000));
        QVERIFY2(syncFaults.isEmpty(), qPrintable(syncFaults.join(u'\n')));
        QVERIFY2(windowFaults.isEmpty(), qPrintable(windowFaults.join(u'\n')));
    }
};

QTEST_GUILESS_MAIN(TestIcalThreads)
#include "test_icalthreads.moc"
