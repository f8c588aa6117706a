// SPDX-License-Identifier: GPL-3.0-or-later
// The sync password in a real Secret Service (gnome-keyring on the test's
// own bus), against a Radicale that asks for it: stored when the account is
// set up, found by a sync, replaced when changed, moved with the account,
// and gone with it, and never left behind for another client to find.
#include "privatebus.h"
#include "radicale.h"
#include "secretservice.h"
#include "storesandbox.h"
#include "storeside.h"
#include "synccommand.h"
#include "syncrunner.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Module1;

namespace {

const QString kTasks = QStringLiteral("/alice/tasks/");
const QString kOther = QStringLiteral("/alice/other/");

} // namespace

class TestSyncSecrets : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_bus.isRunning());
        // Before the first use of the secret store: its client keeps the
        // bus it first found.
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.address().toUtf8());
        m_service = std::make_unique<SecretService>(m_bus);
        const QDBusConnection watcher = m_bus.connect(QStringLiteral("watcher"));
        QTRY_VERIFY_WITH_TIMEOUT(m_service->answers(watcher), 30000);
    }
    void init()
    {
        m_box = std::make_unique<StoreSandbox>();
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_box->file(QStringLiteral("data"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_box->file(QStringLiteral("config"))));
        m_server = std::make_unique<Radicale>(QStringLiteral("alice"), QStringLiteral("pw"));
        QVERIFY(m_server->started());
        QVERIFY(m_server->makeCalendar(kTasks));
        QVERIFY(m_server->makeCalendar(kOther));
    }
    void cleanup()
    {
        // Each case starts with an empty keyring.
        Sync::changeAccount(Sync::StoreSide::storeFolder(), {}, std::nullopt);
        QVERIFY(stored().empty());
        m_server.reset();
        qunsetenv("XDG_DATA_HOME");
        qunsetenv("XDG_CONFIG_HOME");
        m_box.reset();
    }

    void theAccountsPasswordIsStoredAndASyncFindsIt()
    {
        TestData::saveStore({TestData::task(QStringLiteral("Report"), QStringLiteral("Boss"), 2027, 3, 7, 9, 5)}, {});
        QCOMPARE(Sync::runAccountCommand(m_server->url(kTasks).toString(), QStringLiteral("alice"), QStringLiteral("pw")), 0);
        const auto kept = stored();
        QCOMPARE(kept.size(), 1u);
        QCOMPARE(kept.begin()->second, QStringLiteral("pw"));

        // A pass from a terminal without --password-stdin takes it from there.
        QCOMPARE(Sync::runSyncCommand(std::nullopt), 0);
        QVERIFY(serverHas("SUMMARY:Report"));

        // So does the running program's, without asking: what a phone
        // added comes in.
        QCOMPARE(m_server->send("PUT", kTasks + QStringLiteral("phone.ics"),
                                "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Phone//EN\r\nBEGIN:VTODO\r\nUID:phone\r\n"
                                "DTSTAMP:20261201T080000Z\r\nSUMMARY:Call Anna\r\nEND:VTODO\r\nEND:VCALENDAR\r\n")
                     .status,
                 201);
        testStore().loadTasks();
        Sync::Runner runner;
        runner.setStore(&testStore());
        int asked = 0;
        runner.askPassword = [&asked](const Sync::Account &, const QString &) -> std::optional<QString> {
            ++asked;
            return std::nullopt;
        };
        QSignalSpy finished(&runner, &Sync::Runner::finished);
        runner.syncNow();
        QVERIFY(finished.wait(20000));
        QVERIFY2(testStore().taskCount() == 2, qPrintable(runner.lastResult()));
        QCOMPARE(asked, 0);
    }

    void aChangedPasswordReplacesTheStoredOne()
    {
        TestData::saveStore({TestData::task(QStringLiteral("Dentist"), QStringLiteral("Me"), 2027, 1, 12, 8)}, {});
        const QString folder = Sync::StoreSide::storeFolder();
        const Sync::Account account{m_server->url(kTasks), QStringLiteral("alice")};
        QVERIFY(Sync::changeAccount(folder, account, QStringLiteral("stale")).unstored.isEmpty());
        QCOMPARE(Sync::runSyncCommand(std::nullopt), 1);
        QVERIFY(!serverHas("SUMMARY:Dentist"));

        QVERIFY(Sync::changeAccount(folder, account, QStringLiteral("pw")).unstored.isEmpty());
        auto kept = stored();
        QCOMPARE(kept.size(), 1u);
        QCOMPARE(kept.begin()->second, QStringLiteral("pw"));
        QCOMPARE(Sync::runSyncCommand(std::nullopt), 0);
        QVERIFY(serverHas("SUMMARY:Dentist"));

        // Another list, the password left as it was: it moves with the
        // account, and no second entry stays behind.
        QVERIFY(Sync::changeAccount(folder, {m_server->url(kOther), QStringLiteral("alice")}, std::nullopt).unstored.isEmpty());
        kept = stored();
        QCOMPARE(kept.size(), 1u);
        QVERIFY2(kept.begin()->first.contains(kOther), qPrintable(kept.begin()->first));
        QCOMPARE(kept.begin()->second, QStringLiteral("pw"));
        QCOMPARE(Sync::runSyncCommand(std::nullopt), 0);
        QVERIFY(serverHas("SUMMARY:Dentist", kOther));
    }

    void removingTheAccountRemovesItsPassword()
    {
        const QString folder = Sync::StoreSide::storeFolder();
        const Sync::Account account{m_server->url(kTasks), QStringLiteral("alice")};
        QVERIFY(Sync::changeAccount(folder, account, QStringLiteral("pw")).unstored.isEmpty());
        QCOMPARE(stored().size(), 1u);

        // Another folder synced with the same list as the same user shares
        // the entry: turning sync off here leaves it to that folder.
        const QString elsewhere = m_box->file(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkpath(elsewhere));
        QVERIFY(Sync::changeAccount(elsewhere, account, std::nullopt).error.isEmpty());
        QVERIFY(Sync::changeAccount(folder, {}, std::nullopt).unstored.isEmpty());
        QVERIFY(!Sync::loadAccount(folder).isSet());
        QCOMPARE(stored().size(), 1u);
        QCOMPARE(stored().begin()->second, QStringLiteral("pw"));

        // The last folder to use it takes it along.
        QVERIFY(Sync::changeAccount(elsewhere, {}, std::nullopt).unstored.isEmpty());
        QVERIFY(stored().empty());
    }

    void aWaitCutShortIsNoPassword()
    {
        const Sync::Account account{m_server->url(kTasks), QStringLiteral("alice")};
        QVERIFY(Sync::changeAccount(Sync::StoreSide::storeFolder(), account, QStringLiteral("pw")).unstored.isEmpty());
        // The program told to quit while the secret store has not answered
        // yet (which ends every wait after it too): no password came, and
        // that is said, not an empty one.
        Sync::Secret cut;
        QTimer::singleShot(0, qApp, [&cut, &account] {
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
            cut = Sync::readPassword(account);
        });
        QCoreApplication::exec();
        QVERIFY(!cut.password);
        QVERIFY(!cut.unavailable.isEmpty());
        // The late answer goes nowhere; the next read has the password.
        QCOMPARE(Sync::readPassword(account).password, std::optional<QString>(QStringLiteral("pw")));
    }

private:
    // What Quorvi keeps in the secret store, by entry, as another client
    // of the service sees it.
    std::map<QString, QString> stored() const
    {
        return m_service->search(QStringLiteral("server"), QStringLiteral("org.quorvi.Quorvi"), QStringLiteral("user"));
    }
    bool serverHas(const QByteArray &needle, const QString &list = kTasks) const
    {
        for (const auto &[name, text] : m_server->items(list)) {
            QByteArray unfolded = text;
            unfolded.replace("\r\n ", "");
            if (unfolded.contains(needle))
                return true;
        }
        return false;
    }

    PrivateBus m_bus;
    std::unique_ptr<SecretService> m_service;
    std::unique_ptr<StoreSandbox> m_box;
    std::unique_ptr<Radicale> m_server;
};

QTEST_GUILESS_MAIN(TestSyncSecrets)
#include "test_syncsecrets.moc"
