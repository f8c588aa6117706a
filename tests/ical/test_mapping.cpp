// SPDX-License-Identifier: GPL-3.0-or-later
// The mapping between a task and a VTODO: every shape of task out and back,
// each field as the file spells it, SEQUENCE and the stamps, repetitions as
// other programs spell them, times from other zones, and years outside what
// a calendar holds. Run in Europe/Berlin, which has summer time.
#include "calendarkit.h"

#include <QTest>

#include <libical/ical.h>

using namespace Qt::StringLiterals;

using namespace Module1;
using namespace IcalTest;

namespace {

Task with(Task t, void (*change)(Task &))
{
    change(t);
    deriveFields(t);
    return t;
}

// A file of one VTODO with these lines, for the reading tests.
QByteArray oneTodo(const QByteArray &lines, const QByteArray &zones = {})
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Tests//EN\r\n" + zones + "BEGIN:VTODO\r\nUID:one\r\n"
        + lines + "END:VTODO\r\nEND:VCALENDAR\r\n";
}

TaskCalendar::FileReading readOne(const QByteArray &lines, const QByteArray &zones = {})
{
    return TaskCalendar::readFile(oneTodo(lines, zones), stampMoment());
}

const QByteArray kNewYork = "BEGIN:VTIMEZONE\r\nTZID:America/New_York\r\n"
                            "BEGIN:STANDARD\r\nDTSTART:20071104T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\n"
                            "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nTZNAME:EST\r\nEND:STANDARD\r\n"
                            "BEGIN:DAYLIGHT\r\nDTSTART:20070311T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\n"
                            "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nTZNAME:EDT\r\nEND:DAYLIGHT\r\n"
                            "END:VTIMEZONE\r\n";

} // namespace

class TestMapping : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyShapeOfTaskComesBackTheSame_data()
    {
        QTest::addColumn<Task>("task");
        const Task plain = task(QStringLiteral("Quarterly report"), 2027, 3, 7, 9, 5, 0);
        QTest::newRow("plain") << with(plain, [](Task &t) { t.description = QStringLiteral("First line\r\nSecond line"); });
        QTest::newRow("hour 25") << task(QStringLiteral("Late"), 2027, 12, 8, 25);
        QTest::newRow("31 February") << task(QStringLiteral("Feb"), 2027, 2, 31, 10);
        QTest::newRow("minute 60 at midnight") << task(QStringLiteral("Midnight"), 2027, 6, 30, 23, 60);
        QTest::newRow("parts below range") << task(QStringLiteral("Zeros"), 2027, 0, 0, -1, 30);
        QTest::newRow("in the hour summer time skips") << task(QStringLiteral("Gap"), 2027, 3, 28, 2, 30);
        QTest::newRow("in the hour that comes twice") << task(QStringLiteral("Fold"), 2027, 10, 31, 2, 30);
        QTest::newRow("first year") << task(QStringLiteral("Early"), 1, 1, 1, 0, 0, 1);
        QTest::newRow("last second") << task(QStringLiteral("Last"), 3000, 12, 31, 23, 59, 59);
        QTest::newRow("done") << with(plain, [](Task &t) { t.doneText = QStringLiteral("2027-03-07 09:05:00"); });
        QTest::newRow("done in summer") << with(plain, [](Task &t) { t.doneText = QStringLiteral("2027-07-01 23:30:59"); });
        const struct {
            const char *name;
            int year, month, day;
            const char *rule;
        } rules[] = {
            {"daily", 2027, 3, 7, "1d"},          {"every 3 days", 2027, 3, 7, "3d"},
            {"weekly", 2027, 3, 10, "1w"},        {"fortnightly", 2027, 3, 10, "2w"},
            {"monthly", 2027, 3, 15, "1m@15"},    {"every 2 months", 2027, 3, 15, "2m@15"},
            {"month end", 2027, 1, 31, "1m@31"},  {"month end in April", 2027, 4, 30, "1m@31"},
            {"30th in February", 2027, 2, 28, "1m@30"}, {"29th", 2027, 3, 29, "1m@29"},
            {"28th", 2027, 2, 28, "1m@28"},       {"yearly", 2027, 3, 7, "1y@7"},
            {"29 February", 2028, 2, 29, "1y@29"}, {"29 February in 2029", 2029, 2, 28, "1y@29"},
            {"31 December", 2027, 12, 31, "3y@31"}, {"largest count", 2027, 3, 7, "9999d"},
        };
        for (const auto &r : rules) {
            Task t = task(QString::fromLatin1(r.name), r.year, r.month, r.day, 8);
            t.repeatText = QString::fromLatin1(r.rule);
            QTest::newRow(r.name) << with(t, [](Task &) {});
        }
        QTest::newRow("repeating and done") << with(plain, [](Task &t) {
            t.repeatText = QStringLiteral("1w");
            t.doneText = QStringLiteral("2027-03-01 12:00:00");
        });
        QTest::newRow("empty fields") << with(plain, [](Task &t) {
            t.title.clear();
            t.forWhom.clear();
            t.description.clear();
        });
        QTest::newRow("line breaks") << with(plain, [](Task &t) { t.description = QStringLiteral("\r\na\r\n\r\nb\r\n"); });
        QTest::newRow("iCalendar's own characters") << with(plain, [](Task &t) {
            t.title = QStringLiteral("a,b;c\\d:e \"f\"");
            t.forWhom = QStringLiteral("x, y; z\\");
            t.description = QStringLiteral("\\n is not a break;,\r\nthis is");
        });
        QTest::newRow("non-ASCII") << with(plain, [](Task &t) {
            t.title = QStringLiteral("Grüße an Zoë 🎂");
            t.forWhom = QStringLiteral("学校 · שלום");
            t.description = QStringLiteral("Ελληνικά\r\n") + QString(200, QChar(0x00E9)); // folded mid-character
        });
    }

    void everyShapeOfTaskComesBackTheSame()
    {
        QFETCH(Task, task);
        QByteArray file;
        const std::vector<Task> back = roundTrip({task}, &file);
        QVERIFY2(back.size() == 1, file.constData());
        QVERIFY2(meaning(back[0]) == meaning(task), qPrintable(describe(meaning(back[0])) + u" != "_s + describe(meaning(task))));
        QVERIFY(!back[0].uid.isEmpty());
        QVERIFY(!file.contains("X-LIC"));
    }

    void eachFieldAsTheFileSpellsIt()
    {
        Task t = task(QStringLiteral("Report, Q4; final"), 2027, 12, 8, 25);
        t.forWhom = QStringLiteral("Finance");
        t.description = QStringLiteral("One\r\nTwo");
        t.doneText = QStringLiteral("2027-12-09 10:30:00");
        t.repeatText = QStringLiteral("2m@31");
        deriveFields(t);
        std::vector<Task> list{t};
        KeptCalendars kept;
        const QByteArray file = unfolded(TaskCalendar::exportTasks(list, kept, stampMoment()).file);
        const QByteArray uid = list[0].uid.toLatin1();
        QCOMPARE(uid.size(), 36); // a UUID, given on the way out
        for (const QByteArray &line : {
                 QByteArray("SUMMARY:Report\\, Q4\\; final\r\n"),
                 QByteArray("X-QUORVI-FOR:Finance\r\n"),
                 QByteArray("DESCRIPTION:One\\nTwo\r\n"),
                 // The carried day applied; the zone by its plain name.
                 QByteArray("DUE;TZID=Europe/Berlin:20271209T010000\r\n"),
                 QByteArray("DTSTART;TZID=Europe/Berlin:20271209T010000\r\n"),
                 QByteArray("RRULE:FREQ=MONTHLY;INTERVAL=2;BYMONTHDAY=28,29,30,31;BYSETPOS=-1\r\n"),
                 QByteArray("STATUS:COMPLETED\r\n"),
                 QByteArray("COMPLETED:20271209T093000Z\r\n"),
                 QByteArray("PERCENT-COMPLETE:100\r\n"),
                 QByteArray("UID:" + uid + "\r\n"),
                 QByteArray("SEQUENCE:0\r\n"),
                 QByteArray("DTSTAMP:20261208T090000Z\r\n"),
                 QByteArray("LAST-MODIFIED:20261208T090000Z\r\n"),
                 QByteArray("BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\n"),
             }) {
            QVERIFY2(file.contains(line), line.constData());
        }
        QVERIFY(!file.contains("freeassociation"));
        QVERIFY(!file.contains("X-LIC"));
        QCOMPARE(file.count("BEGIN:VTIMEZONE"), 1);
    }

    void aChangeRaisesTheSequenceAndNothingElseDoes()
    {
        std::vector<Task> list{task(QStringLiteral("Call"), 2027, 5, 1)};
        list[0].doneText = QStringLiteral("2027-04-30 08:00:00");
        deriveFields(list[0]);
        KeptCalendars kept;
        const QByteArray first = TaskCalendar::exportTasks(list, kept, stampMoment()).file;
        // Unchanged: the same text, whenever it goes out.
        QCOMPARE(TaskCalendar::exportTasks(list, kept, stampMoment().addDays(3)).file, first);

        // Mark Not Done: all three done properties go, the sequence rises.
        list[0].doneText.clear();
        deriveFields(list[0]);
        const QByteArray second = unfolded(TaskCalendar::exportTasks(list, kept, stampMoment().addDays(5)).file);
        QVERIFY(second.contains("SEQUENCE:1\r\n"));
        QVERIFY(second.contains("LAST-MODIFIED:20261213T090000Z\r\n"));
        QVERIFY(second.contains("DTSTAMP:20261213T090000Z\r\n"));
        for (const char *gone : {"STATUS", "COMPLETED", "PERCENT-COMPLETE"})
            QVERIFY2(!second.contains(QByteArray(QByteArray("\r\n") + gone)), gone);

        list[0].title = QStringLiteral("Call back");
        const QByteArray third = unfolded(TaskCalendar::exportTasks(list, kept, stampMoment().addDays(6)).file);
        QVERIFY(third.contains("SEQUENCE:2\r\n"));
        QVERIFY(third.contains("SUMMARY:Call back\r\n"));
    }

    void repetitionsAsOtherProgramsSpellThem_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QString>("expected"); // empty: Quorvi cannot follow it
        // 10 March 2027 is a Wednesday.
        const QByteArray due = "DUE;VALUE=DATE:20270310\r\n";
        QTest::newRow("daily") << QByteArray(due + "RRULE:FREQ=DAILY\r\n") << QStringLiteral("1d");
        QTest::newRow("weekly on its day") << QByteArray(due + "RRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=WE\r\n") << QStringLiteral("2w");
        QTest::newRow("weekly on another day") << QByteArray(due + "RRULE:FREQ=WEEKLY;BYDAY=MO\r\n") << QString();
        QTest::newRow("weekly on two days") << QByteArray(due + "RRULE:FREQ=WEEKLY;BYDAY=MO,WE\r\n") << QString();
        QTest::newRow("monthly, day from the date") << QByteArray(due + "RRULE:FREQ=MONTHLY\r\n") << QStringLiteral("1m@10");
        QTest::newRow("monthly, day from DTSTART")
            << QByteArray("DTSTART;VALUE=DATE:20270309\r\n" + due + "RRULE:FREQ=MONTHLY\r\n") << QStringLiteral("1m@9");
        QTest::newRow("monthly by day") << QByteArray(due + "RRULE:FREQ=MONTHLY;BYMONTHDAY=10\r\n") << QStringLiteral("1m@10");
        QTest::newRow("last day of the month") << QByteArray("DUE;VALUE=DATE:20270430\r\nRRULE:FREQ=MONTHLY;BYMONTHDAY=28,29,30,31;BYSETPOS=-1\r\n") << QStringLiteral("1m@31");
        QTest::newRow("counted from the end") << QByteArray(due + "RRULE:FREQ=MONTHLY;BYMONTHDAY=-1\r\n") << QString();
        QTest::newRow("first Monday") << QByteArray(due + "RRULE:FREQ=MONTHLY;BYDAY=1MO\r\n") << QString();
        QTest::newRow("29 February") << QByteArray("DUE;VALUE=DATE:20270228\r\nRRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=28,29;BYSETPOS=-1\r\n") << QStringLiteral("1y@29");
        QTest::newRow("yearly in another month") << QByteArray(due + "RRULE:FREQ=YEARLY;BYMONTH=4\r\n") << QString();
        QTest::newRow("a count") << QByteArray(due + "RRULE:FREQ=WEEKLY;COUNT=5\r\n") << QString();
        QTest::newRow("an end") << QByteArray(due + "RRULE:FREQ=DAILY;UNTIL=20270401\r\n") << QString();
        QTest::newRow("hourly") << QByteArray(due + "RRULE:FREQ=HOURLY\r\n") << QString();
        QTest::newRow("two rules") << QByteArray(due + "RRULE:FREQ=DAILY\r\nRRULE:FREQ=WEEKLY\r\n") << QString();
    }

    void repetitionsAsOtherProgramsSpellThem()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QString, expected);
        const TaskCalendar::FileReading reading = readOne("SUMMARY:x\r\n" + lines);
        QCOMPARE(reading.found.size(), std::size_t(1));
        QCOMPARE(reading.found[0].task.repeatText, expected);
        // A rule Quorvi cannot follow is said so, and goes out again as it came.
        QCOMPARE(reading.notes.size(), expected.isEmpty() ? 1 : 0);
        const QByteArray out = Trip(reading).out();
        qsizetype at = 0;
        while ((at = lines.indexOf("RRULE:", at)) >= 0) {
            const QByteArray rule = lines.mid(at + 6, lines.indexOf("\r\n", at) - at - 6);
            // As libical spells it, which may order the parts its own way.
            icalrecurrencetype recurrence = icalrecurrencetype_from_string(rule.constData());
            char *spelled = icalrecurrencetype_as_string_r(&recurrence);
            QVERIFY2(out.contains(QByteArray("RRULE:" + QByteArray(spelled) + "\r\n")), out.constData());
            icalmemory_free_buffer(spelled);
            ++at;
        }
        // Nothing changed, so nothing was added either (not even a DTSTART).
        QVERIFY(out.contains("SEQUENCE:0\r\n"));
        QCOMPARE(out.count("DTSTART"), lines.count("DTSTART"));
    }

    void timesFromOtherZones_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QDateTime>("due");
        QTest::addColumn<bool>("noted");
        const QDateTime nine(QDate(2027, 12, 8), QTime(9, 0));
        QTest::newRow("UTC") << QByteArray("DUE:20271208T080000Z\r\n") << nine << false;
        QTest::newRow("UTC in summer") << QByteArray("DUE:20270708T070000Z\r\n") << QDateTime(QDate(2027, 7, 8), QTime(9, 0)) << false;
        QTest::newRow("floating") << QByteArray("DUE:20271208T090000\r\n") << nine << false;
        QTest::newRow("local zone, no VTIMEZONE") << QByteArray("DUE;TZID=Europe/Berlin:20271208T090000\r\n") << nine << false;
        QTest::newRow("zone from the file") << QByteArray("DUE;TZID=America/New_York:20271208T030000\r\n") << nine << false;
        QTest::newRow("zone the system knows") << QByteArray("DUE;TZID=Asia/Tokyo:20271208T170000\r\n") << nine << false;
        QTest::newRow("unknown zone") << QByteArray("DUE;TZID=Nowhere/Special:20271208T090000\r\n") << nine << true;
        QTest::newRow("DTSTART and DURATION") << QByteArray("DTSTART:20271208T070000Z\r\nDURATION:PT1H\r\n") << nine << false;
        QTest::newRow("date only") << QByteArray("DUE;VALUE=DATE:20271208\r\n") << QDateTime(QDate(2027, 12, 8), QTime(0, 0)) << false;
        QTest::newRow("no date at all") << QByteArray() << QDateTime(stampMoment().date(), QTime(0, 0)) << true;
    }

    void timesFromOtherZones()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QDateTime, due);
        QFETCH(bool, noted);
        const TaskCalendar::FileReading reading = readOne("SUMMARY:x\r\n" + lines, kNewYork);
        QCOMPARE(reading.found.size(), std::size_t(1));
        QCOMPARE(Rules::dueMoment(reading.found[0].task), due);
        QCOMPARE(reading.notes.size(), noted ? 1 : 0);
    }

    void aDateOnlyDueGoesOutDateOnlyWhileItsTimeIsUntouched()
    {
        Trip trip(readOne("SUMMARY:x\r\nDUE;VALUE=DATE:20271208\r\nDTSTART;VALUE=DATE:20271201\r\n"));
        // Moved a day: still a date.
        trip.tasks[0].day = 9;
        QByteArray out = trip.out();
        QVERIFY2(out.contains("DUE;VALUE=DATE:20271209\r\n"), out.constData());
        QVERIFY(out.contains("DTSTART;VALUE=DATE:20271201\r\n")); // still before it, still a date
        // Given a time: a date and time, and the start follows its type.
        trip.tasks[0].hour = 14;
        out = trip.out();
        QVERIFY2(out.contains("DUE;TZID=Europe/Berlin:20271209T140000\r\n"), out.constData());
        QVERIFY(out.contains("DTSTART;TZID=Europe/Berlin:20271209T140000\r\n"));
        // A task that never had a date goes out with the one it was given.
        QVERIFY(Trip(readOne("SUMMARY:Someday\r\n")).out().contains("DUE;VALUE=DATE:20261208\r\n"));
    }

    void aStartLaterThanTheNewDueMovesWithIt()
    {
        Trip trip(readOne("SUMMARY:x\r\nDTSTART:20271205T090000\r\nDUE:20271208T090000\r\n"));
        trip.tasks[0].day = 1;
        deriveFields(trip.tasks[0]);
        const QByteArray out = trip.out();
        QVERIFY2(out.contains("DTSTART;TZID=Europe/Berlin:20271201T090000\r\n"), out.constData());
        QVERIFY(out.contains("DUE;TZID=Europe/Berlin:20271201T090000\r\n"));
    }

    void yearsOutsideWhatACalendarHoldsAreReportedNotGuessed()
    {
        std::vector<Task> list{task(QStringLiteral("Blank"), 0, 0, 0), task(QStringLiteral("Far"), 3000, 12, 31, 24),
                               task(QStringLiteral("Fine"), 2027, 1, 1)};
        KeptCalendars kept;
        const TaskCalendar::Exported exported = TaskCalendar::exportTasks(list, kept, stampMoment());
        QCOMPARE(exported.written, 1);
        QCOMPARE(exported.problems.size(), 2);
        QVERIFY(exported.problems[0].contains(QStringLiteral("Blank")));
        QVERIFY(exported.problems[1].contains(QStringLiteral("3001")));
        QVERIFY(!exported.file.contains("Far"));

        for (const QByteArray &lines : {QByteArray("DUE:00001231T120000\r\n"), QByteArray("DUE;VALUE=DATE:20271340\r\n"),
                                        QByteArray("DUE:20270230T090000\r\n"), QByteArray("DUE:20271208T250000\r\n"),
                                        QByteArray("DUE:soon\r\n"), QByteArray("DUE:30010101T000000Z\r\n"), QByteArray("DTSTART:00000101T000000\r\n"),
                                        QByteArray("COMPLETED:00000101T000000Z\r\nDUE:20271208T090000Z\r\n")}) {
            const TaskCalendar::FileReading reading = readOne("SUMMARY:x\r\n" + lines);
            QVERIFY2(reading.found.empty(), lines.constData());
            QCOMPARE(reading.skipped.size(), 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestMapping)
#include "test_mapping.moc"

