// SPDX-License-Identifier: GPL-3.0-or-later
// Sync against servers' less friendly ways, on a real Radicale: more tasks
// on the server than the list holds, a server that hides completed tasks
// from its REPORT answers, and one that refuses chosen tasks (the last two
// played by a proxy in front of Radicale). Nothing may be lost, and
// nothing said or sent again at every pass.
#include "davproxy.h"
#include "radicale.h"
#include "storesandbox.h"
#include "storeside.h"
#include "syncengine.h"

#include <QTest>

#include <algorithm>
#include <memory>

using namespace Module1;

namespace {

const QString kTasks = QStringLiteral("/alice/tasks/");
const Dav::Credentials kAlice{QStringLiteral("alice"), QStringLiteral("pw")};

QDateTime now()
{
    return QDateTime(QDate(2026, 12, 8), QTime(10, 0));
}

Task taskWithUid(const QString &uid, const QString &title)
{
    Task t = TestData::task(title, QStringLiteral("Me"), 2027, 2, 1, 9);
    t.uid = uid;
    return t;
}

// The list after a pass, as the store side would leave it.
void applyChanges(std::vector<Task> &local, const std::vector<Sync::Change> &changes)
{
    for (const Sync::Change &c : changes) {
        const QString uid = c.kind == Sync::Change::Remove ? c.before.uid : c.after.uid;
        const auto slot = std::find_if(local.begin(), local.end(), [&uid](const Task &t) { return t.uid == uid; });
        if (c.kind == Sync::Change::Remove)
            local.erase(slot);
        else if (slot == local.end())
            local.push_back(c.after);
        else
            *slot = c.after;
    }
}

// Every member's text on the server's disk, joined.
QByteArray everything(const Radicale &server)
{
    QByteArray all;
    for (const auto &[name, text] : server.items(kTasks))
        all += text;
    return all;
}

const Task *byTitle(const QString &title)
{
    const auto list = testStore().tasks();
    const auto found = std::find_if(list.begin(), list.end(), [&title](const Task &t) { return t.title == title; });
    return found == list.end() ? nullptr : &*found;
}

} // namespace

class TestSyncSafety : public QObject
{
    Q_OBJECT

    bool put(const QString &name, const QByteArray &text)
    {
        const int status = m_server->send("PUT", kTasks + name, text).status;
        return status == 201 || status == 204;
    }

    Sync::Outcome syncThroughProxy() { return Sync::syncStore(testStore(), m_proxy->url(kTasks), kAlice, now()); }

private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<StoreSandbox>();
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_box->file(QStringLiteral("data"))));
        m_server = Radicale::withCollection(kTasks);
        QVERIFY(m_server);
        m_proxy = std::make_unique<DavProxy>(*m_server);
        QVERIFY(m_proxy->listening());
    }
    void cleanup()
    {
        m_proxy.reset();
        m_server.reset();
        qunsetenv("XDG_DATA_HOME");
        m_box.reset();
    }

    void aFullListLosesNothingOnTheServerOverManyPasses()
    {
        for (int i = 0; i < 6; ++i)
            QVERIFY(put(QStringLiteral("p%1.ics").arg(i), Radicale::phoneTask("p" + QByteArray::number(i),
                                                                             "Phone " + QByteArray::number(i))));
        Sync::State state;
        Sync::Engine engine(m_server->url(kTasks), kAlice, state, 3);
        std::vector<Task> local{taskWithUid(QStringLiteral("mine"), QStringLiteral("Mine"))};
        Sync::PassResult pass = engine.run(local, now());
        QVERIFY2(pass.ok, qPrintable(pass.failure));
        applyChanges(local, pass.changes);
        QCOMPARE(local.size(), std::size_t(3));
        QVERIFY2(pass.notes.join(QString()).startsWith(QStringLiteral("4 task")), qPrintable(pass.notes.join(u'|')));

        // Nothing changed: one request, nothing said again.
        pass = engine.run(local, now());
        QCOMPARE(pass.requests, 1);
        QVERIFY(pass.notes.isEmpty());

        // A phone edits a task the list has no room for; here one task is
        // edited and one deleted, which makes room for one.
        QByteArray p5 = m_server->items(kTasks).at(QStringLiteral("p5.ics"));
        QVERIFY(put(QStringLiteral("p5.ics"), p5.replace("SUMMARY:Phone 5", "SUMMARY:Phone 5 edited")));
        local[0].title = QStringLiteral("Mine edited");
        const QString deletedHere = local[1].uid;
        local.erase(local.begin() + 1);
        for (int round = 0; round < 3; ++round) {
            pass = engine.run(local, now());
            QVERIFY2(pass.ok, qPrintable(pass.failure));
            QVERIFY(pass.notes.isEmpty());
            applyChanges(local, pass.changes);
        }
        QCOMPARE(local.size(), std::size_t(3));
        const QByteArray there = everything(*m_server);
        QCOMPARE(m_server->items(kTasks).size(), std::size_t(6)); // mine, and five of the phone's six
        QVERIFY(there.contains("SUMMARY:Mine edited"));
        QVERIFY(there.contains("SUMMARY:Phone 5 edited"));
        QVERIFY(!there.contains(QByteArray("UID:" + deletedHere.toUtf8() + "\r\n")));
    }

    void aClashWithAFullListKeepsTheServersVersionThere()
    {
        QVERIFY(put(QStringLiteral("p1.ics"), Radicale::phoneTask("p1", "Call Anna")));
        Sync::State state;
        Sync::Engine engine(m_server->url(kTasks), kAlice, state, 2);
        std::vector<Task> local{taskWithUid(QStringLiteral("mine"), QStringLiteral("Mine"))};
        Sync::PassResult pass = engine.run(local, now());
        applyChanges(local, pass.changes);
        QCOMPARE(local.size(), std::size_t(2));

        QByteArray phone = m_server->items(kTasks).at(QStringLiteral("p1.ics"));
        QVERIFY(put(QStringLiteral("p1.ics"), phone.replace("SUMMARY:Call Anna", "SUMMARY:Call Anna tomorrow")));
        for (Task &t : local) {
            if (t.uid == QStringLiteral("p1"))
                t.title = QStringLiteral("Call Anna at noon");
        }
        pass = engine.run(local, now());
        QVERIFY2(pass.ok, qPrintable(pass.failure));
        applyChanges(local, pass.changes);
        // The list has no room for the phone's version; the server keeps it.
        QCOMPARE(local.size(), std::size_t(2));
        const QByteArray there = everything(*m_server);
        QVERIFY(there.contains("SUMMARY:Call Anna at noon"));
        QVERIFY(there.contains("SUMMARY:Call Anna tomorrow"));
    }

    void tasksTheFileHoldsBeyondTheListAreNeverDeletedThere()
    {
        Sync::State state;
        Sync::Engine engine(m_server->url(kTasks), kAlice, state);
        std::vector<Task> local{taskWithUid(QStringLiteral("a"), QStringLiteral("A")),
                                taskWithUid(QStringLiteral("b"), QStringLiteral("B"))};
        QVERIFY(engine.run(local, now()).ok);
        QCOMPARE(m_server->items(kTasks).size(), std::size_t(2));
        const Sync::PassResult pass = engine.run({local[0]}, now(), {QStringLiteral("b")});
        QVERIFY(pass.ok);
        QCOMPARE(pass.removedThere, 0);
        QCOMPARE(m_server->items(kTasks).size(), std::size_t(2));

        // The store names them.
        Records records;
        for (int i = 0; i <= kTaskSlots; ++i)
            records.tasks.push_back(taskWithUid(QStringLiteral("t%1").arg(i), QStringLiteral("T")));
        testStore().readRecords(records);
        const Sync::StoreSide::Snapshot snapshot = Sync::StoreSide::take(testStore());
        QCOMPARE(snapshot.tasks.size(), std::size_t(kTaskSlots));
        QCOMPARE(snapshot.beyond, QSet<QString>({QStringLiteral("t%1").arg(kTaskSlots)}));
    }

    void aClashSavedIntoAFullListKeepsTheTaskAsItIsHere_data()
    {
        QTest::addColumn<int>("others");
        QTest::newRow("room for both versions") << 1;
        QTest::newRow("a full list") << kTaskSlots - 1;
    }
    void aClashSavedIntoAFullListKeepsTheTaskAsItIsHere()
    {
        QFETCH(int, others);
        std::vector<Task> list{taskWithUid(QStringLiteral("u1"), QStringLiteral("Here"))};
        for (int i = 0; i < others; ++i)
            list.push_back(taskWithUid(QStringLiteral("o%1").arg(i), QStringLiteral("Other")));
        QVERIFY(testStore().commitTaskList(list).ok());
        // The pass saw "Before" here and brought "There"; the user typed
        // "Here" meanwhile.
        Sync::State state;
        state.ctag = QStringLiteral("ctag:7");
        state.syncToken = QStringLiteral("token-7");
        const Sync::Entry previous{QStringLiteral("/u1.ics"), "\"1\"", {}, taskWithUid(QStringLiteral("u1"), QStringLiteral("Before"))};
        state.byUid[QStringLiteral("u1")] = {QStringLiteral("/u1.ics"), "\"2\"", {}, taskWithUid(QStringLiteral("u1"), QStringLiteral("There"))};
        const Sync::Change change{Sync::Change::Update, previous.base, state.byUid[QStringLiteral("u1")].base, previous};
        const Sync::StoreSide::Applied applied = Sync::StoreSide::apply(testStore(), {change}, state);
        QVERIFY2(applied.ok, qPrintable(applied.message));
        QVERIFY(byTitle(QStringLiteral("Here")));
        if (others < kTaskSlots - 1) {
            QVERIFY(byTitle(QStringLiteral("There")));
            QCOMPARE(state.byUid.at(QStringLiteral("u1")).etag, QByteArray("\"2\""));
            QCOMPARE(state.syncToken, QStringLiteral("token-7"));
        } else {
            // Nothing dropped: the next pass merges again, from what both
            // sides last agreed on.
            QVERIFY(!byTitle(QStringLiteral("There")));
            QCOMPARE(state.byUid.at(QStringLiteral("u1")).etag, QByteArray("\"1\""));
            QVERIFY(state.ctag.isEmpty() && state.syncToken.isEmpty());
        }
    }

    void completedTasksAServerHidesAreNotTakenForDeleted_data()
    {
        QTest::addColumn<DavProxy::Hiding>("hiding");
        QTest::newRow("left out of every REPORT") << DavProxy::Hiding::LeftOut;
        QTest::newRow("404 in a multiget") << DavProxy::Hiding::As404;
    }
    void completedTasksAServerHidesAreNotTakenForDeleted()
    {
        QFETCH(DavProxy::Hiding, hiding);
        QVERIFY(put(QStringLiteral("p1.ics"), Radicale::phoneTask("p1", "Call Anna")));
        QVERIFY(put(QStringLiteral("p2.ics"), Radicale::phoneTask("p2", "Buy milk")));
        QVERIFY(syncThroughProxy().ok);
        QCOMPARE(testStore().taskCount(), 2);
        const int slot = testStore().slotOf(byTitle(QStringLiteral("Buy milk"))->id);
        TestData::markDone(slot, now());
        QVERIFY(syncThroughProxy().ok);
        QVERIFY(everything(*m_server).contains("STATUS:COMPLETED"));

        m_proxy->hiding = hiding;
        m_proxy->offersSyncToken = false; // such servers list everything by calendar-query
        QVERIFY(put(QStringLiteral("p3.ics"), Radicale::phoneTask("p3", "Water plants")));
        Sync::Outcome pass = syncThroughProxy();
        QVERIFY2(pass.ok, qPrintable(pass.message));
        QVERIFY(m_proxy->hidden > 0);
        QCOMPARE(testStore().taskCount(), 3);
        QVERIFY(byTitle(QStringLiteral("Buy milk"))->done);

        // Changed there while hidden: the change still arrives.
        QByteArray milk = m_server->items(kTasks).at(QStringLiteral("p2.ics"));
        QVERIFY(put(QStringLiteral("p2.ics"), milk.replace("SUMMARY:Buy milk", "SUMMARY:Buy oat milk")));
        pass = syncThroughProxy();
        QVERIFY2(pass.ok, qPrintable(pass.message));
        QVERIFY(byTitle(QStringLiteral("Buy oat milk")));

        // Deleted there: only the server's own 404 says so, and it goes here too.
        QCOMPARE(m_server->send("DELETE", kTasks + QStringLiteral("p2.ics")).status, 200);
        pass = syncThroughProxy();
        QVERIFY2(pass.ok, qPrintable(pass.message));
        QCOMPARE(testStore().taskCount(), 2);
        QVERIFY(!byTitle(QStringLiteral("Buy oat milk")));
    }

    void onlyWhatChangedIsListedByTheSyncTokenAndAStaleOneFallsBack()
    {
        QVERIFY(put(QStringLiteral("p1.ics"), Radicale::phoneTask("p1", "Call Anna")));
        QVERIFY(put(QStringLiteral("p2.ics"), Radicale::phoneTask("p2", "Buy milk")));
        QVERIFY(syncThroughProxy().ok);
        const auto reportsOf = [this](const QByteArray &kind) {
            return std::count_if(m_proxy->reports.cbegin(), m_proxy->reports.cend(),
                                 [&kind](const QByteArray &body) { return body.contains(kind); });
        };

        QByteArray p1 = m_server->items(kTasks).at(QStringLiteral("p1.ics"));
        QVERIFY(put(QStringLiteral("p1.ics"), p1.replace("SUMMARY:Call Anna", "SUMMARY:Call Anna back")));
        QCOMPARE(m_server->send("DELETE", kTasks + QStringLiteral("p2.ics")).status, 200);
        QVERIFY(put(QStringLiteral("p3.ics"), Radicale::phoneTask("p3", "Water plants")));
        m_proxy->reports.clear();
        Sync::Outcome pass = syncThroughProxy();
        QVERIFY2(pass.ok, qPrintable(pass.message));
        QVERIFY(byTitle(QStringLiteral("Call Anna back")));
        QVERIFY(byTitle(QStringLiteral("Water plants")));
        QVERIFY(!byTitle(QStringLiteral("Buy milk")));
        QCOMPARE(testStore().taskCount(), 2);
        QVERIFY(reportsOf("sync-collection") > 0);
        QCOMPARE(reportsOf("calendar-query"), 0);

        // A token the server no longer knows: the whole list, and nothing lost.
        Sync::State state(Sync::State::fileFor(m_box->path()));
        QString error;
        QVERIFY(state.load(&error));
        QVERIFY(!state.syncToken.isEmpty());
        state.syncToken = QStringLiteral("http://radicale.org/ns/sync/0000");
        QVERIFY(state.save(&error));
        QByteArray p3 = m_server->items(kTasks).at(QStringLiteral("p3.ics"));
        QVERIFY(put(QStringLiteral("p3.ics"), p3.replace("SUMMARY:Water plants", "SUMMARY:Water the plants")));
        m_proxy->reports.clear();
        pass = syncThroughProxy();
        QVERIFY2(pass.ok, qPrintable(pass.message));
        QVERIFY(byTitle(QStringLiteral("Water the plants")));
        QCOMPARE(testStore().taskCount(), 2);
        QVERIFY(reportsOf("calendar-query") > 0);
    }

    void aTaskTheServerRefusesIsToldOnceAndSentAgainWhenChanged_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("400, a second object with the same UID") << 400;
        QTest::newRow("415, a malformed recurrence exception") << 415;
    }
    void aTaskTheServerRefusesIsToldOnceAndSentAgainWhenChanged()
    {
        QFETCH(int, status);
        TestData::saveStore({TestData::task(QStringLiteral("Report"), QStringLiteral("Boss"), 2027, 3, 7, 9),
                             TestData::task(QStringLiteral("Dentist"), QStringLiteral("Me"), 2027, 1, 12, 8)},
                            {});
        testStore().loadTasks();
        m_proxy->refusals = [status](const QByteArray &body) { return body.contains("SUMMARY:Report\r\n") ? status : 0; };
        Sync::Outcome pass = syncThroughProxy();
        QVERIFY2(pass.ok, qPrintable(pass.message));
        QCOMPARE(pass.message.count(QStringLiteral("was refused by the server (%1").arg(status)), 1);
        QCOMPARE(m_proxy->puts, 2);
        QCOMPARE(m_server->items(kTasks).size(), std::size_t(1));

        // Nothing changed here: one request, nothing sent or said again,
        // even when the server's other tasks change.
        pass = syncThroughProxy();
        QCOMPARE(pass.pass.requests, 1);
        QVERIFY(put(QStringLiteral("p1.ics"), Radicale::phoneTask("p1", "Call Anna")));
        pass = syncThroughProxy();
        QVERIFY2(pass.ok && !pass.message.contains(u'\n'), qPrintable(pass.message));
        QCOMPARE(m_proxy->puts, 2);

        // Changed here: sent again, and taken.
        const int slot = testStore().slotOf(byTitle(QStringLiteral("Report"))->id);
        TestData::editTask(slot, [](Task &t) { t.title = QStringLiteral("Report, short"); });
        QVERIFY(testStore().saveTasks().ok);
        pass = syncThroughProxy();
        QVERIFY2(pass.ok, qPrintable(pass.message));
        QCOMPARE(m_proxy->puts, 3);
        QVERIFY(everything(*m_server).contains("SUMMARY:Report\\, short"));
    }

private:
    std::unique_ptr<StoreSandbox> m_box;
    std::unique_ptr<Radicale> m_server;
    std::unique_ptr<DavProxy> m_proxy;
};

QTEST_GUILESS_MAIN(TestSyncSafety)
#include "test_syncsafety.moc"
