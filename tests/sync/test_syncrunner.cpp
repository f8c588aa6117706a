// SPDX-License-Identifier: GPL-3.0-or-later
// A running Quorvi's sync against a real Radicale: the first pass at start,
// a saved change sent a few moments later, the password asked once a
// session where no secret store answers (saying why), and a failure told
// once however often it recurs.
#include "privatebus.h"
#include "radicale.h"
#include "storesandbox.h"
#include "storeside.h"
#include "syncrunner.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Module1;

namespace {

const QString kTasks = QStringLiteral("/alice/tasks/");

bool serverHas(const Radicale &server, const QByteArray &needle)
{
    for (const auto &[name, text] : server.items(kTasks)) {
        QByteArray unfolded = text;
        unfolded.replace("\r\n ", "");
        if (unfolded.contains(needle))
            return true;
    }
    return false;
}

} // namespace

class TestSyncRunner : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // Nothing answers on this bus: there is no secret store.
        QVERIFY(m_bus.isRunning());
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.address().toUtf8());
    }
    void init()
    {
        m_box = std::make_unique<StoreSandbox>();
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_box->file(QStringLiteral("data"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_box->file(QStringLiteral("config"))));
        m_server = std::make_unique<Radicale>();
        QVERIFY(m_server->started());
        QVERIFY(m_server->makeCalendar(kTasks));
        QString error;
        QVERIFY(Sync::saveAccount(Sync::StoreSide::storeFolder(), {m_server->url(kTasks), QStringLiteral("alice")}, &error));
    }
    void cleanup()
    {
        m_server.reset();
        qunsetenv("XDG_DATA_HOME");
        qunsetenv("XDG_CONFIG_HOME");
        m_box.reset();
    }

    void syncsAtStartAndAfterASavedChangeAskingThePasswordOnce()
    {
        TestData::saveStore({TestData::task(QStringLiteral("Report"), QStringLiteral("Boss"), 2027, 3, 7, 9, 5)}, {});
        testStore().loadTasks();
        Sync::Runner runner;
        runner.setStore(&testStore());
        runner.afterChangeMs = 50;
        QStringList reasons;
        runner.askPassword = [&reasons](const Sync::Account &, const QString &why) -> std::optional<QString> {
            reasons << why;
            return QStringLiteral("pw");
        };
        int applied = 0;
        runner.changeTables = [&applied](const std::function<void()> &change) {
            ++applied;
            change();
        };
        QSignalSpy finished(&runner, &Sync::Runner::finished);
        runner.start();
        QVERIFY(finished.wait(20000));
        QVERIFY(serverHas(*m_server, "SUMMARY:Report"));
        QCOMPARE(reasons.size(), 1);
        QVERIFY2(reasons.first().contains(QStringLiteral("secret store")), qPrintable(reasons.first()));
        QVERIFY(runner.lastResult().startsWith(QStringLiteral("Last sync at ")));
        QVERIFY(runner.lastResult().contains(QStringLiteral("1 sent")));
        QCOMPARE(applied, 1);

        // A change saved here goes out on its own, without a second question.
        Task edited = testStore().tasks()[0];
        edited.title = QStringLiteral("Report for the board");
        deriveFields(edited);
        QVERIFY(testStore().commitTask(edited.id, edited).ok());
        QTRY_VERIFY_WITH_TIMEOUT(serverHas(*m_server, "SUMMARY:Report for the board"), 20000);
        QCOMPARE(reasons.size(), 1);
        QTRY_VERIFY(!runner.running());
    }

    void aFailureIsToldOnceAndChangesWait()
    {
        TestData::saveStore({TestData::task(QStringLiteral("Dentist"), QStringLiteral("Me"), 2027, 1, 12, 8)}, {});
        testStore().loadTasks();
        Sync::Runner runner;
        runner.setStore(&testStore());
        runner.askPassword = [](const Sync::Account &, const QString &) { return std::optional<QString>(QStringLiteral("pw")); };
        QSignalSpy told(&runner, &Sync::Runner::tell);
        QSignalSpy finished(&runner, &Sync::Runner::finished);
        m_server->stop();
        runner.syncNow();
        QVERIFY(finished.wait(20000));
        runner.syncNow();
        QVERIFY(finished.wait(20000));
        QCOMPARE(told.size(), 1);
        QVERIFY(told.first().first().toString().startsWith(QStringLiteral("Sync failed:")));
        QVERIFY(runner.lastResult().contains(QStringLiteral("Sync failed:")));

        // Back online, the task goes out and the result says so.
        QVERIFY(m_server->start());
        runner.syncNow();
        QVERIFY(finished.wait(20000));
        QVERIFY(serverHas(*m_server, "SUMMARY:Dentist"));
        QCOMPARE(told.size(), 1);
        QVERIFY(runner.lastResult().contains(QStringLiteral("1 sent")));
    }

    void theStoreChangesOnlyWhenThePassComesBack()
    {
        QVERIFY(m_server->send("PUT", kTasks + QStringLiteral("phone.ics"),
                               "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Phone//EN\r\nBEGIN:VTODO\r\nUID:phone\r\n"
                               "DTSTAMP:20261201T080000Z\r\nSUMMARY:Call Anna\r\nDUE:20270301T090000Z\r\n"
                               "END:VTODO\r\nEND:VCALENDAR\r\n")
                    .status
                == 201);
        Sync::Runner runner;
        runner.setStore(&testStore());
        runner.askPassword = [](const Sync::Account &, const QString &) { return std::optional<QString>(QStringLiteral("pw")); };
        QSignalSpy finished(&runner, &Sync::Runner::finished);
        QSignalSpy changed(&testStore(), &TaskStore::changed);
        runner.syncNow();
        // The network part runs away from this thread: the store is
        // untouched until the pass comes back, then changed once.
        QVERIFY(runner.running());
        QCOMPARE(testStore().taskCount(), 0);
        QVERIFY(finished.wait(20000));
        QCOMPARE(testStore().taskCount(), 1);
        QCOMPARE(testStore().tasks()[0].title, QStringLiteral("Call Anna"));
        QVERIFY(!changed.isEmpty());
    }

private:
    PrivateBus m_bus;
    std::unique_ptr<StoreSandbox> m_box;
    std::unique_ptr<Radicale> m_server;
};

QTEST_GUILESS_MAIN(TestSyncRunner)
#include "test_syncrunner.moc"
