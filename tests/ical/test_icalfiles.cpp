// SPDX-License-Identifier: GPL-3.0-or-later
// Files as other task programs write them (a phone's task app, a desktop
// mail client's tasks, a command-line todo tool; samples/): what comes in,
// and that what Quorvi does not map goes out as it came. Hostile files,
// which must change nothing. The texts kept between two trips.
#include "calendarkit.h"
#include "merge.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <libical/ical.h>

#include <map>

using namespace Module1;
using namespace IcalTest;

namespace {

QByteArray sample(const char *name)
{
    QFile file(QStringLiteral(SAMPLES_DIR "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no sample %s", name);
    return file.readAll();
}

struct Expected {
    const char *uid;
    const char *title;
    QDateTime due;
    const char *doneText;
    const char *repeatText;
};

// Each VTODO of the text by UID (a changed occurrence under UID#RECURRENCE-ID),
// as libical writes it.
std::map<QByteArray, QByteArray> todosOf(const QByteArray &text)
{
    std::map<QByteArray, QByteArray> out;
    icalcomponent *root = icalparser_parse_string(text.constData());
    std::vector<icalcomponent *> calendars;
    if (icalcomponent_isa(root) == ICAL_VCALENDAR_COMPONENT)
        calendars.push_back(root);
    for (icalcomponent *c = icalcomponent_get_first_component(root, ICAL_VCALENDAR_COMPONENT); c;
         c = icalcomponent_get_next_component(root, ICAL_VCALENDAR_COMPONENT))
        calendars.push_back(c);
    for (icalcomponent *calendar : calendars) {
        for (icalcomponent *t = icalcomponent_get_first_component(calendar, ICAL_VTODO_COMPONENT); t;
             t = icalcomponent_get_next_component(calendar, ICAL_VTODO_COMPONENT)) {
            QByteArray key = icalcomponent_get_uid(t);
            if (icalproperty *r = icalcomponent_get_first_property(t, ICAL_RECURRENCEID_PROPERTY))
                key += "#" + QByteArray(icalproperty_get_value_as_string(r));
            char *written = icalcomponent_as_ical_string_r(t);
            out[key] = written;
            icalmemory_free_buffer(written);
        }
    }
    icalcomponent_free(root);
    return out;
}

// A task list with a task that came from a file earlier, to be left alone.
std::vector<Task> oneTaskList()
{
    Task t = task(QStringLiteral("Already here"), 2027, 5, 1);
    t.uid = QStringLiteral("phone-7f3e2c1a-groceries@pocket.example");
    return {t};
}

} // namespace

Q_DECLARE_METATYPE(Expected)

class TestIcalFiles : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void filesOfOtherProgramsComeInRight_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<Expected>>("expected");
        QTest::addColumn<int>("skipped");
        QTest::newRow("phone") << sample("phone.ics")
                               << QList<Expected>{
                                      {"phone-7f3e2c1a-groceries@pocket.example", "Buy groceries",
                                       QDateTime(QDate(2027, 3, 5), QTime(18, 0)), {}, {}},
                                      {"phone-b81d-call@pocket.example", "Call the bank",
                                       QDateTime(QDate(2027, 3, 2), QTime(10, 0)), "2027-03-02 10:12:00", {}},
                                  }
                               << 0;
        // New York is six hours behind Berlin in January.
        QTest::newRow("mail client") << sample("mailclient.ics")
                                     << QList<Expected>{
                                            {"8d1c5a0e-0b55-4c1e-9f0e-mail-report", "Send the quarterly report",
                                             QDateTime(QDate(2027, 1, 15), QTime(23, 0)), {}, {}},
                                            {"5b0a6c2e-weekly-review", "Weekly review",
                                             QDateTime(QDate(2027, 1, 6), QTime(14, 30)), {}, "2w"},
                                        }
                                     << 1; // the VEVENT
        QTest::newRow("todo tool") << sample("todotool.ics")
                                   << QList<Expected>{
                                          {"20270201T101010-1@todo.local", "Renew passport",
                                           QDateTime(QDate(2027, 3, 15), QTime(9, 30)), {}, {}},
                                          {"20270201T101010-2@todo.local", "Water the plants",
                                           QDateTime(QDate(2027, 3, 20), QTime(0, 0)), {}, {}},
                                          {"20270201T101010-3@todo.local", "Pick up the parcel",
                                           QDateTime(QDate(2027, 3, 21), QTime(18, 30)), {}, {}},
                                          {"20270201T101010-4@todo.local", "Read that book",
                                           QDateTime(stampMoment().date(), QTime(0, 0)), {}, {}},
                                      }
                                   << 2; // no SUMMARY and no DUE; a VJOURNAL
    }

    void filesOfOtherProgramsComeInRight()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<Expected>, expected);
        QFETCH(int, skipped);
        std::vector<Task> list;
        KeptCalendars kept;
        const TaskCalendar::Imported imported = TaskCalendar::importTasks(list, file, kept, stampMoment(), kTaskSlots);
        QVERIFY(imported.refusal.isEmpty());
        QCOMPARE(imported.added, int(expected.size()));
        QCOMPARE(imported.skipped.size(), skipped);
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const Task &t = list[std::size_t(i)];
            QCOMPARE(t.uid, QString::fromLatin1(expected[i].uid));
            QCOMPARE(t.title, QString::fromUtf8(expected[i].title));
            QCOMPARE(Rules::dueMoment(t), expected[i].due);
            QCOMPARE(t.doneText, QString::fromUtf8(expected[i].doneText));
            QCOMPARE(t.repeatText, QString::fromUtf8(expected[i].repeatText));
            QVERIFY(!kept.find(t.uid).isEmpty());
            QVERIFY(!kept.find(t.uid).contains("X-LIC"));
        }
    }

    void theFieldsOfTheMailClientsTask()
    {
        std::vector<Task> list;
        KeptCalendars kept;
        TaskCalendar::importTasks(list, sample("mailclient.ics"), kept, stampMoment(), kTaskSlots);
        QCOMPARE(list[0].forWhom, QStringLiteral("Board"));
        QVERIFY(!list[0].done); // IN-PROCESS is not done
        std::vector<Task> phone;
        TaskCalendar::importTasks(phone, sample("phone.ics"), kept, stampMoment(), kTaskSlots);
        QCOMPARE(phone[0].description, QStringLiteral("Milk, eggs\r\nBread from the baker on Hauptstraße"));
        // The changed occurrence travels with its series, the VEVENT is left.
        const QByteArray review = kept.find(QStringLiteral("5b0a6c2e-weekly-review"));
        QCOMPARE(review.count("BEGIN:VTODO"), 2);
        QVERIFY(!review.contains("METHOD"));
        // Its zone is one the system knows: written from the system's rules
        // when the task goes out, not kept with every task.
        QVERIFY(!review.contains("BEGIN:VTIMEZONE"));
        const TaskCalendar::TaskText text =
            TaskCalendar::calendarOf(list[1], review, Mapping::clockAt(stampMoment()));
        QVERIFY(text.text.contains("BEGIN:VTIMEZONE\r\nTZID:America/New_York\r\n"));
    }

    void whatQuorviDoesNotMapGoesOutAsItCame_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("phone") << sample("phone.ics");
        QTest::newRow("mail client") << sample("mailclient.ics");
        QTest::newRow("todo tool") << sample("todotool.ics");
    }

    void whatQuorviDoesNotMapGoesOutAsItCame()
    {
        QFETCH(QByteArray, file);
        std::vector<Task> list;
        KeptCalendars kept;
        const TaskCalendar::Imported imported = TaskCalendar::importTasks(list, file, kept, stampMoment(), kTaskSlots);
        const QByteArray out = TaskCalendar::exportTasks(list, kept, stampMoment().addDays(1)).file;
        const auto before = todosOf(file);
        const auto after = todosOf(out);
        for (const auto &[uid, text] : before) {
            const bool isTask = std::any_of(list.begin(), list.end(), [&](const Task &t) { return uid.startsWith(t.uid.toUtf8()); });
            if (!isTask)
                continue; // skipped: no SUMMARY and no DUE
            QVERIFY2(after.count(uid), uid.constData());
            // Untouched tasks go out as they came, every line of them; the
            // one that had no date gains its DUE, and nothing else changes.
            if (uid == "20270201T101010-4@todo.local") {
                QByteArray expected = text;
                expected.replace("SUMMARY:Read that book\r\n", "SUMMARY:Read that book\r\nDUE;VALUE=DATE:20261208\r\n");
                expected.replace("END:VTODO", "SEQUENCE:1\r\nLAST-MODIFIED:20261209T090000Z\r\nEND:VTODO");
                expected.replace("DTSTAMP:20270201T101010Z", "DTSTAMP:20261209T090000Z");
                QCOMPARE(after.at(uid), expected);
            } else if (!text.contains("SEQUENCE") || !text.contains("LAST-MODIFIED")) {
                // Only the stamps every VTODO of Quorvi's carries are added.
                QByteArray stripped = after.at(uid);
                for (const char *stampName : {"SEQUENCE:0\r\n", "LAST-MODIFIED:20261209T090000Z\r\n"})
                    if (!text.contains(QByteArray(QByteArray(stampName).split(':')[0] + ':')))
                        stripped.replace(stampName, "");
                QCOMPARE(stripped, text);
            } else {
                QCOMPARE(after.at(uid), text);
            }
        }
        // The calendar's own name and the zones come along too.
        if (file.contains("X-WR-CALNAME"))
            QVERIFY(out.contains("X-WR-CALNAME:Personal"));
        QCOMPARE(out.count("TZID:America/New_York\r\n"), file.count("TZID:America/New_York\r\n"));
        QVERIFY(!out.contains("X-LIC"));
        Q_UNUSED(imported);
    }

    void anEditChangesOnlyWhatItTouches()
    {
        std::vector<Task> list;
        KeptCalendars kept;
        TaskCalendar::importTasks(list, sample("phone.ics"), kept, stampMoment(), kTaskSlots);
        const QByteArray before = todosOf(sample("phone.ics")).at("phone-7f3e2c1a-groceries@pocket.example");
        list[0].title = QStringLiteral("Buy groceries and flowers");
        list[0].doneText = QStringLiteral("2027-03-05 17:45:00");
        deriveFields(list[0]);
        const QByteArray after =
            todosOf(TaskCalendar::exportTasks(list, kept, stampMoment()).file).at("phone-7f3e2c1a-groceries@pocket.example");
        QByteArray expected = before;
        expected.replace("SUMMARY:Buy groceries\r\n", "SUMMARY:Buy groceries and flowers\r\n");
        expected.replace("SEQUENCE:3", "SEQUENCE:4");
        expected.replace("LAST-MODIFIED:20270301T101500Z", "LAST-MODIFIED:20261208T090000Z");
        expected.replace("DTSTAMP:20270301T101500Z", "DTSTAMP:20261208T090000Z");
        // STATUS changes in place; the other two are added.
        expected.replace("STATUS:NEEDS-ACTION", "STATUS:COMPLETED");
        expected.replace("BEGIN:VALARM", "COMPLETED:20270305T164500Z\r\nPERCENT-COMPLETE:100\r\nBEGIN:VALARM");
        // libical writes subcomponents after the properties.
        const qsizetype alarm = expected.indexOf("BEGIN:VALARM");
        const QByteArray added = "COMPLETED:20270305T164500Z\r\nPERCENT-COMPLETE:100\r\n";
        expected.remove(expected.indexOf(added), added.size());
        expected.insert(alarm - added.size(), added);
        QCOMPARE(after, expected);
    }

    void exportedFilesPassLibicalsOwnChecks()
    {
        std::vector<Task> list;
        KeptCalendars kept;
        for (const char *name : {"phone.ics", "mailclient.ics", "todotool.ics"})
            TaskCalendar::importTasks(list, sample(name), kept, stampMoment(), kTaskSlots);
        Task mine = task(QStringLiteral("Mine"), 2027, 12, 8, 25);
        mine.repeatText = QStringLiteral("1m@31");
        mine.doneText = QStringLiteral("2027-12-01 08:00:00");
        deriveFields(mine);
        list.push_back(mine);
        const QByteArray out = TaskCalendar::exportTasks(list, kept, stampMoment()).file;
        icalcomponent *root = icalparser_parse_string(out.constData());
        QVERIFY(root);
        QCOMPARE(icalcomponent_isa(root), ICAL_VCALENDAR_COMPONENT);
        // RFC 5545's rules on which properties a VTODO must and may have.
        QVERIFY(icalrestriction_check(root));
        QCOMPARE(icalcomponent_count_errors(root), 0);
        QCOMPARE(icalcomponent_count_components(root, ICAL_VTODO_COMPONENT), int(list.size()) + 1); // + the occurrence
        icalcomponent_free(root);
    }

    void hostileFilesChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("file");
        const QByteArray phone = sample("phone.ics");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("a task list of Quorvi's") << QByteArray("ttl=Report\r\nact=addtask\r\n");
        QTest::newRow("bytes") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
        QTest::newRow("a NUL inside") << QByteArray(phone).insert(200, '\0');
        QTest::newRow("cut short") << phone.left(phone.size() / 2);
        QTest::newRow("cut inside an alarm") << phone.left(phone.indexOf("END:VALARM"));
        QTest::newRow("wrong end") << QByteArray("BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nSUMMARY:x\r\nDUE:20270101T000000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
        QTest::newRow("an end never begun") << QByteArray("BEGIN:VCALENDAR\r\nEND:VTODO\r\nEND:VCALENDAR\r\n");
        QTest::newRow("a task outside a calendar") << QByteArray("BEGIN:VTODO\r\nSUMMARY:x\r\nEND:VTODO\r\n");
        QTest::newRow("a line after the end") << phone + "SUMMARY:stray\r\n";
        QByteArray deep = "BEGIN:VCALENDAR\r\n";
        for (int i = 0; i < 5000; ++i)
            deep += "BEGIN:VTODO\r\n";
        QTest::newRow("nested without end") << deep;
        QTest::newRow("huge") << QByteArray("BEGIN:VCALENDAR\r\n") + QByteArray(65 * 1024 * 1024, 'x');
        QTest::newRow("only bad dates")
            << QByteArray("BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:a\r\nSUMMARY:x\r\nDUE:20271340T250000\r\nEND:VTODO\r\n"
                          "BEGIN:VTODO\r\nUID:b\r\nSUMMARY:y\r\nDUE:99990101\r\nEND:VTODO\r\n"
                          "BEGIN:VTODO\r\nUID:phone-7f3e2c1a-groceries@pocket.example\r\nSUMMARY:z\r\nDTSTART:1\r\nEND:VTODO\r\n"
                          "END:VCALENDAR\r\n");
    }

    void hostileFilesChangeNothing()
    {
        QFETCH(QByteArray, file);
        std::vector<Task> list = oneTaskList();
        KeptCalendars kept;
        const TaskCalendar::Imported imported = TaskCalendar::importTasks(list, file, kept, stampMoment(), kTaskSlots);
        QCOMPARE(imported.added + imported.updated, 0);
        QVERIFY(!imported.refusal.isEmpty() || !imported.skipped.isEmpty());
        QCOMPARE(list.size(), std::size_t(1));
        QVERIFY(sameStored(list[0], oneTaskList()[0]));
        QCOMPARE(kept.size(), 0);
    }

    void anImportedTaskWithAKnownUidUpdatesIt()
    {
        std::vector<Task> list = oneTaskList();
        KeptCalendars kept;
        TaskCalendar::Imported imported = TaskCalendar::importTasks(list, sample("phone.ics"), kept, stampMoment(), kTaskSlots);
        QCOMPARE(imported.updated, 1);
        QCOMPARE(imported.added, 1);
        QCOMPARE(list.size(), std::size_t(2));
        QCOMPARE(list[0].title, QStringLiteral("Buy groceries"));
        // The same file again: nothing to do.
        imported = TaskCalendar::importTasks(list, sample("phone.ics"), kept, stampMoment(), kTaskSlots);
        QCOMPARE(imported.unchanged, 2);
        QCOMPARE(imported.added + imported.updated, 0);
        // No room: what does not fit is skipped, and said so.
        std::vector<Task> full = {task(QStringLiteral("Only one fits"), 2027, 1, 1)};
        imported = TaskCalendar::importTasks(full, sample("phone.ics"), kept, stampMoment(), 2);
        QCOMPARE(imported.added, 1);
        QCOMPARE(imported.skipped.size(), 1);
        QVERIFY(imported.skipped[0].contains(QStringLiteral("full")));
    }

    void keptTextsOutliveTheProgram()
    {
        QTemporaryDir dir;
        KeptCalendars kept(dir.filePath(QStringLiteral("sub/kept.ics")));
        // A long UID is folded when written, an odd one escaped.
        const QString longUid = QString(90, u'u') + QStringLiteral("@example");
        const QString oddUid = QStringLiteral("a,b;c");
        for (const QString &uid : {longUid, oddUid, QStringLiteral("gone")}) {
            std::vector<Task> list{task(uid, 2027, 1, 1)};
            list[0].uid = uid;
            KeptCalendars one;
            TaskCalendar::exportTasks(list, one, stampMoment());
            kept.keep(uid, one.find(uid));
        }
        kept.keepOnly({longUid, oddUid});
        QString error;
        QVERIFY(kept.save(&error));
        QCOMPARE(QFile(dir.filePath(QStringLiteral("sub/kept.ics"))).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
                 QFileDevice::Permissions());
        KeptCalendars again(dir.filePath(QStringLiteral("sub/kept.ics")));
        QVERIFY(again.load(&error));
        QCOMPARE(again.size(), 2);
        QCOMPARE(again.find(longUid), kept.find(longUid));
        QCOMPARE(again.find(oddUid), kept.find(oddUid));
        QVERIFY(again.find(QStringLiteral("gone")).isEmpty());

        // One file per store folder, in the user's data folder.
        QStandardPaths::setTestModeEnabled(true);
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        QTemporaryDir a;
        QTemporaryDir b;
        QVERIFY(KeptCalendars::fileFor(a.path()).startsWith(data + QStringLiteral("/quorvi/")));
        QVERIFY(KeptCalendars::fileFor(a.path()) != KeptCalendars::fileFor(b.path()));
        QCOMPARE(KeptCalendars::fileFor(a.path() + QStringLiteral("/.")), KeptCalendars::fileFor(a.path()));
    }
};

QTEST_GUILESS_MAIN(TestIcalFiles)
#include "test_icalfiles.moc"
