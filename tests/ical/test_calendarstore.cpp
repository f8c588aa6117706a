// SPDX-License-Identifier: GPL-3.0-or-later
// Export and import on the store itself: identities saved in tasks.txt
// before they leave, imports saved and merged like any change, and files
// that must change nothing.
#include "calendarkit.h"
#include "storesandbox.h"

#include <QFile>
#include <QTest>

#include <memory>

using namespace Module1;
using namespace IcalTest;
using TestData::StoredTask;
using TestData::storeBytes;

namespace {

const StoredTask kReport{"Report", "Boss", 7, 3, 2030, 9, 5, 0, "one|~two"};
const StoredTask kDentist{"Dentist", "Me", 1, 1, 2029, 8, 0, 0, ""};

QByteArray readFile(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestCalendarStore : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<StoreSandbox>();
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_box->file(QStringLiteral("data"))));
    }
    void cleanup()
    {
        qunsetenv("XDG_DATA_HOME");
        m_box.reset();
    }

    void identitiesAreSavedBeforeTheyLeave()
    {
        StoreSandbox::write(storeBytes({kReport, kDentist}));
        testStore().loadTasks();
        const TaskCalendar::Outcome first = TaskCalendar::exportStore(testStore(), m_box->file(QStringLiteral("out.ics")), stampMoment());
        QVERIFY2(first.ok, qPrintable(first.message));
        QVERIFY(first.message.contains(QStringLiteral("Exported 2 tasks")));
        const QByteArray saved = StoreSandbox::read();
        QCOMPARE(saved.count("\r\nuid="), 2);
        const QByteArray file = readFile(m_box->file(QStringLiteral("out.ics")));
        for (const Task &t : testStore().tasks())
            QVERIFY(file.contains(QByteArray("UID:" + t.uid.toLatin1())));
        // The kept texts went to the user's data folder, not beside tasks.txt.
        QVERIFY(QFile::exists(KeptCalendars::fileFor(m_box->path())));
        QVERIFY(KeptCalendars::fileFor(m_box->path()).startsWith(m_box->file(QStringLiteral("data/quorvi/"))));

        // Again: the same identities, the same file, tasks.txt untouched.
        QVERIFY(TaskCalendar::exportStore(testStore(), m_box->file(QStringLiteral("again.ics")), stampMoment().addDays(1)).ok);
        QCOMPARE(StoreSandbox::read(), saved);
        QCOMPARE(readFile(m_box->file(QStringLiteral("again.ics"))), file);
    }

    void anImportIsSavedAndMergedLikeAnyChange()
    {
        StoreSandbox::write(storeBytes({kReport, kDentist}));
        testStore().loadTasks();
        QVERIFY(TaskCalendar::exportStore(testStore(), m_box->file(QStringLiteral("out.ics")), stampMoment()).ok);
        // The phone renamed the report; meanwhile another program changed
        // the dentist's time in tasks.txt.
        QByteArray file = readFile(m_box->file(QStringLiteral("out.ics")));
        file.replace("SUMMARY:Report", "SUMMARY:Report for the board");
        StoreSandbox::write(file, m_box->file(QStringLiteral("phone.ics")));
        QByteArray elsewhere = StoreSandbox::read();
        elsewhere.replace("hou=8\r\n", "hou=11\r\n");
        StoreSandbox::write(elsewhere);

        const TaskCalendar::Outcome outcome = TaskCalendar::importStore(testStore(), m_box->file(QStringLiteral("phone.ics")), stampMoment());
        QVERIFY2(outcome.ok, qPrintable(outcome.message));
        QVERIFY2(outcome.message.contains(QStringLiteral("0 added, 1 updated, 1 already up to date, 0 skipped")),
                 qPrintable(outcome.message));
        QVERIFY(outcome.message.contains(QStringLiteral("changed elsewhere")));
        const QByteArray saved = StoreSandbox::read();
        QVERIFY(saved.contains("ttl=Report for the board\r\n"));
        QVERIFY(saved.contains("hou=11\r\n"));
        QCOMPARE(saved.count("act=addtask"), 2);
    }

    void fileThatIsNoCalendarChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("the task list itself") << storeBytes({kReport});
        QTest::newRow("cut short") << QByteArray("BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nSUMMARY:Half\r\n");
        QTest::newRow("only a bad date") << QByteArray("BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nSUMMARY:x\r\nDUE:20271301\r\nEND:VTODO\r\nEND:VCALENDAR\r\n");
    }

    void fileThatIsNoCalendarChangesNothing()
    {
        QFETCH(QByteArray, bytes);
        StoreSandbox::write(storeBytes({kReport, kDentist}));
        testStore().loadTasks();
        const QByteArray before = StoreSandbox::read();
        StoreSandbox::write(bytes, m_box->file(QStringLiteral("in.ics")));
        const TaskCalendar::Outcome outcome = TaskCalendar::importStore(testStore(), m_box->file(QStringLiteral("in.ics")), stampMoment());
        QVERIFY(outcome.message.contains(QStringLiteral("Nothing was imported")) || outcome.message.contains(QStringLiteral("0 added, 0 updated")));
        QCOMPARE(StoreSandbox::read(), before);
        QCOMPARE(testStore().taskCount(), 2);
        QVERIFY(!QFile::exists(m_box->file(QStringLiteral("data"))) || KeptCalendars(KeptCalendars::fileFor(m_box->path())).size() == 0);
    }

    void whatCannotBeReadOrWrittenIsSaid()
    {
        StoreSandbox::write(storeBytes({kReport}));
        testStore().loadTasks();
        TaskCalendar::Outcome outcome = TaskCalendar::importStore(testStore(), m_box->file(QStringLiteral("missing.ics")), stampMoment());
        QVERIFY(!outcome.ok);
        QVERIFY(outcome.message.contains(QStringLiteral("No such file")));
        outcome = TaskCalendar::importStore(testStore(), m_box->path(), stampMoment());
        QVERIFY(!outcome.ok);
        QVERIFY(outcome.message.contains(QStringLiteral("not a regular file")));
        outcome = TaskCalendar::exportStore(testStore(), m_box->file(QStringLiteral("no/such/folder/out.ics")), stampMoment());
        QVERIFY(!outcome.ok);
        QVERIFY(outcome.message.startsWith(QStringLiteral("Could not write")));
    }

private:
    std::unique_ptr<StoreSandbox> m_box;
};

QTEST_GUILESS_MAIN(TestCalendarStore)
#include "test_calendarstore.moc"
