// SPDX-License-Identifier: GPL-3.0-or-later
// Two-way sync against a real Radicale: the first pass both ways, edits on
// each side and on both, deletions against edits, another client writing
// between Quorvi's listing and its write, a server that goes away, a wrong
// password, discovery, and a server with more tasks than the list holds.
#include "calendarkit.h"
#include "radicale.h"
#include "storesandbox.h"
#include "syncengine.h"

#include <QTest>

#include <memory>

using namespace Module1;
using IcalTest::meaning;
using IcalTest::unfolded;

namespace {

const QString kTasks = QStringLiteral("/alice/tasks/");

bool written(const Radicale::Answer &answer)
{
    return answer.status == 201 || answer.status == 204;
}

QDateTime now()
{
    return QDateTime(QDate(2026, 12, 8), QTime(10, 0));
}

const Task *byTitle(const QString &title)
{
    for (const Task &t : testStore().tasks()) {
        if (t.title == title)
            return &t;
    }
    return nullptr;
}

int slotOfTitle(const QString &title)
{
    const auto list = testStore().tasks();
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].title == title)
            return int(i);
    }
    return -1;
}

// The member of the collection whose text holds `needle`, unfolded.
QByteArray itemWith(const std::map<QString, QByteArray> &items, const QByteArray &needle)
{
    for (const auto &[name, text] : items) {
        if (unfolded(text).contains(needle))
            return unfolded(text);
    }
    return {};
}

QString hrefOf(const std::map<QString, QByteArray> &items, const QByteArray &needle)
{
    for (const auto &[name, text] : items) {
        if (unfolded(text).contains(needle))
            return kTasks + name;
    }
    return {};
}

// What the user does in the list: change a task and confirm it.
void editHere(const QString &title, const std::function<void(Task &)> &edit)
{
    const int slot = slotOfTitle(title);
    QVERIFY2(slot >= 0, qPrintable(title));
    TestData::editTask(slot, [&edit](Task &t) {
        edit(t);
        deriveFields(t);
    });
    QVERIFY(testStore().saveTasks().ok);
}

} // namespace

class TestSync : public QObject
{
    Q_OBJECT

    Sync::Outcome sync(const QString &user = QStringLiteral("alice"), const QString &password = QStringLiteral("pw"))
    {
        return Sync::syncStore(testStore(), m_server->url(kTasks), {user, password}, now());
    }

    // Both sides after a first pass: two tasks made here, one on the phone.
    void startWithThreeTasks()
    {
        TestData::saveStore({TestData::task(QStringLiteral("Report"), QStringLiteral("Boss"), 2027, 3, 7, 9, 5),
                             TestData::task(QStringLiteral("Dentist"), QStringLiteral("Me"), 2027, 1, 12, 8)},
                            {TestData::rule(7, 65280)});
        testStore().loadTasks();
        QVERIFY(written(m_server->send("PUT", kTasks + QStringLiteral("phone-1.ics"), Radicale::phoneTask("phone-1", "Call Anna"))));
        const Sync::Outcome first = sync();
        QVERIFY2(first.ok, qPrintable(first.message));
    }

private Q_SLOTS:
    void init()
    {
        m_box = std::make_unique<StoreSandbox>();
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_box->file(QStringLiteral("data"))));
        m_server = Radicale::withCollection(kTasks);
        QVERIFY(m_server);
    }
    void cleanup()
    {
        m_server.reset();
        qunsetenv("XDG_DATA_HOME");
        m_box.reset();
    }

    void firstSyncGoesBothWaysAndAQuietPassCostsOneRequest()
    {
        startWithThreeTasks();
        QCOMPARE(testStore().taskCount(), 3);
        const Task *call = byTitle(QStringLiteral("Call Anna"));
        QVERIFY(call);
        QCOMPARE(call->uid, QStringLiteral("phone-1"));
        QCOMPARE(Rules::dueMoment(*call), QDateTime(QDate(2027, 3, 1), QTime(10, 0))); // 09:00 UTC in Berlin
        // Saved into tasks.txt, identities and all; the sync state is not there.
        QVERIFY(StoreSandbox::read().contains("ttl=Call Anna"));
        QVERIFY(!QDir(m_box->path()).entryList(QDir::Files).join(QLatin1Char(' ')).contains(QStringLiteral("json")));
        QVERIFY(QFile::exists(Sync::State::fileFor(m_box->path())));

        const auto items = m_server->items(kTasks);
        QCOMPARE(items.size(), std::size_t(3));
        QVERIFY(!itemWith(items, "SUMMARY:Report").isEmpty());
        QVERIFY(itemWith(items, "SUMMARY:Report").contains("X-QUORVI-FOR:Boss"));
        QVERIFY(!itemWith(items, "SUMMARY:Dentist").isEmpty());

        const Sync::Outcome quiet = sync();
        QVERIFY2(quiet.ok, qPrintable(quiet.message));
        QCOMPARE(quiet.pass.requests, 1);
        QVERIFY(!quiet.pass.listed);
        QCOMPARE(m_server->items(kTasks), items);
    }

    void anEditOnEachSideCrosses()
    {
        startWithThreeTasks();
        editHere(QStringLiteral("Report"), [](Task &t) { t.title = QStringLiteral("Report for the board"); });
        const auto items = m_server->items(kTasks);
        QByteArray phone = items.at(QStringLiteral("phone-1.ics"));
        phone.replace("SUMMARY:Call Anna", "SUMMARY:Call Anna back");
        QVERIFY(written(m_server->send("PUT", kTasks + QStringLiteral("phone-1.ics"), phone)));

        const Sync::Outcome pass = sync();
        QVERIFY2(pass.ok, qPrintable(pass.message));
        QCOMPARE(pass.pass.sent, 1);
        QVERIFY(byTitle(QStringLiteral("Call Anna back")));
        QVERIFY(!byTitle(QStringLiteral("Call Anna")));
        QVERIFY(StoreSandbox::read().contains("ttl=Call Anna back"));
        const auto after = m_server->items(kTasks);
        QVERIFY(!itemWith(after, "SUMMARY:Report for the board").isEmpty());
        QCOMPARE(after.size(), std::size_t(3));
        // What Quorvi does not map stays on the server as the phone wrote it.
        QVERIFY(after.at(QStringLiteral("phone-1.ics")).contains("PRODID:-//Phone//EN"));
    }

    void theSameTaskEditedOnBothSides_data()
    {
        QTest::addColumn<bool>("sameField");
        QTest::newRow("different fields") << false;
        QTest::newRow("the same field") << true;
    }
    void theSameTaskEditedOnBothSides()
    {
        QFETCH(bool, sameField);
        startWithThreeTasks();
        editHere(QStringLiteral("Call Anna"), [](Task &t) { t.title = QStringLiteral("Call Anna at noon"); });
        QByteArray phone = m_server->items(kTasks).at(QStringLiteral("phone-1.ics"));
        if (sameField)
            phone.replace("SUMMARY:Call Anna", "SUMMARY:Call Anna tomorrow");
        else
            phone.replace("SUMMARY:Call Anna", "SUMMARY:Call Anna\r\nDESCRIPTION:about the flat");
        QVERIFY(written(m_server->send("PUT", kTasks + QStringLiteral("phone-1.ics"), phone)));

        const Sync::Outcome pass = sync();
        QVERIFY2(pass.ok, qPrintable(pass.message));
        const auto items = m_server->items(kTasks);
        if (!sameField) {
            // Each side's field survives, on both sides.
            const Task *call = byTitle(QStringLiteral("Call Anna at noon"));
            QVERIFY(call);
            QCOMPARE(call->description, QStringLiteral("about the flat"));
            QCOMPARE(testStore().taskCount(), 3);
            const QByteArray there = unfolded(items.at(QStringLiteral("phone-1.ics")));
            QVERIFY(there.contains("SUMMARY:Call Anna at noon"));
            QVERIFY(there.contains("DESCRIPTION:about the flat"));
        } else {
            // Both versions are kept, here and there; nothing is lost.
            QVERIFY(byTitle(QStringLiteral("Call Anna at noon")));
            QVERIFY(byTitle(QStringLiteral("Call Anna tomorrow")));
            QCOMPARE(testStore().taskCount(), 4);
            QVERIFY(pass.message.contains(QStringLiteral("both versions are kept")));
            QCOMPARE(items.size(), std::size_t(4));
            QVERIFY(!itemWith(items, "SUMMARY:Call Anna at noon").isEmpty());
            QVERIFY(!itemWith(items, "SUMMARY:Call Anna tomorrow").isEmpty());
        }
        // Agreed: the next pass has nothing to do.
        const Sync::Outcome quiet = sync();
        QCOMPARE(quiet.pass.sent, 0);
        QVERIFY(quiet.pass.changes.empty());
    }

    void deletionsGoAcrossAndAnEditBeatsThem()
    {
        startWithThreeTasks();
        QVERIFY(written(m_server->send("PUT", kTasks + QStringLiteral("phone-2.ics"), Radicale::phoneTask("phone-2", "Buy milk"))));
        QVERIFY(sync().ok);
        QCOMPARE(testStore().taskCount(), 4);
        const auto items = m_server->items(kTasks);
        // Here: Dentist deleted, Report edited. There: Report deleted,
        // Dentist edited, milk deleted, Anna untouched.
        const QString dentistHref = hrefOf(items, "SUMMARY:Dentist");
        QByteArray dentist = items.at(dentistHref.mid(kTasks.size()));
        dentist.replace("SUMMARY:Dentist", "SUMMARY:Dentist at 10");
        QVERIFY(written(m_server->send("PUT", dentistHref, dentist)));
        QCOMPARE(m_server->send("DELETE", hrefOf(items, "SUMMARY:Report")).status, 200);
        QCOMPARE(m_server->send("DELETE", kTasks + QStringLiteral("phone-2.ics")).status, 200);
        TestData::removeTask(slotOfTitle(QStringLiteral("Dentist")));
        QVERIFY(testStore().saveTasks().ok);
        editHere(QStringLiteral("Report"), [](Task &t) { t.forWhom = QStringLiteral("Board"); });
        TestData::removeTask(slotOfTitle(QStringLiteral("Call Anna")));
        QVERIFY(testStore().saveTasks().ok);

        const Sync::Outcome pass = sync();
        QVERIFY2(pass.ok, qPrintable(pass.message));
        QVERIFY(byTitle(QStringLiteral("Dentist at 10")));       // their edit beat our deletion
        QCOMPARE(byTitle(QStringLiteral("Report"))->forWhom, QStringLiteral("Board"));
        QVERIFY(!byTitle(QStringLiteral("Buy milk")));           // deleted there, untouched here
        QVERIFY(!byTitle(QStringLiteral("Call Anna")));
        QCOMPARE(testStore().taskCount(), 2);
        const auto after = m_server->items(kTasks);
        QVERIFY(itemWith(after, "SUMMARY:Report").contains("X-QUORVI-FOR:Board")); // our edit beat theirs
        QVERIFY(!after.count(QStringLiteral("phone-1.ics")));   // deleted here, untouched there
        QCOMPARE(after.size(), std::size_t(2));
    }

    void anotherClientWritingBetweenListingAndWriteIsMerged()
    {
        startWithThreeTasks();
        editHere(QStringLiteral("Call Anna"), [](Task &t) { t.forWhom = QStringLiteral("Family"); });
        Sync::StorePass pass(testStore(), m_server->url(kTasks), {QStringLiteral("alice"), QStringLiteral("pw")});
        QVERIFY(pass.begin());
        int interruptions = 0;
        pass.engine().afterListing = [&] {
            if (interruptions++ > 0)
                return;
            QByteArray phone = m_server->items(kTasks).at(QStringLiteral("phone-1.ics"));
            phone.replace("SUMMARY:Call Anna", "SUMMARY:Call Anna\r\nDESCRIPTION:new number");
            QVERIFY(written(m_server->send("PUT", kTasks + QStringLiteral("phone-1.ics"), phone)));
        };
        pass.run(now());
        const Sync::Outcome outcome = pass.finish();
        QVERIFY2(outcome.ok, qPrintable(outcome.message));
        const Task *call = byTitle(QStringLiteral("Call Anna"));
        QVERIFY(call);
        QCOMPARE(call->forWhom, QStringLiteral("Family"));
        QCOMPARE(call->description, QStringLiteral("new number"));
        const QByteArray there = unfolded(m_server->items(kTasks).at(QStringLiteral("phone-1.ics")));
        QVERIFY(there.contains("X-QUORVI-FOR:Family"));
        QVERIFY(there.contains("DESCRIPTION:new number"));
    }

    void aServerThatStopsMidPassLosesNothing()
    {
        startWithThreeTasks();
        editHere(QStringLiteral("Report"), [](Task &t) { t.title = QStringLiteral("Report, final"); });
        const QByteArray storeBefore = StoreSandbox::read();
        const auto itemsBefore = m_server->items(kTasks);
        Sync::StorePass pass(testStore(), m_server->url(kTasks), {QStringLiteral("alice"), QStringLiteral("pw")});
        QVERIFY(pass.begin());
        pass.engine().afterListing = [this] { m_server->stop(); };
        pass.run(now());
        const Sync::Outcome failed = pass.finish();
        QVERIFY(!failed.ok);
        QVERIFY2(failed.message.startsWith(QStringLiteral("Sync failed:")), qPrintable(failed.message));
        QCOMPARE(StoreSandbox::read(), storeBefore);
        QCOMPARE(m_server->items(kTasks), itemsBefore);

        // Back online, the change goes out.
        QVERIFY(m_server->start());
        const Sync::Outcome again = sync();
        QVERIFY2(again.ok, qPrintable(again.message));
        QVERIFY(!itemWith(m_server->items(kTasks), "SUMMARY:Report\\, final").isEmpty());
        QCOMPARE(testStore().taskCount(), 3);
    }

    void aWrongPasswordIsRefusedAndChangesNothing()
    {
        m_server = std::make_unique<Radicale>(QStringLiteral("alice"), QStringLiteral("secret"));
        QVERIFY(m_server->started());
        QCOMPARE(m_server->send("MKCALENDAR", kTasks, {}, {}, QStringLiteral("alice"), QStringLiteral("secret")).status,
                 201);
        TestData::saveStore({TestData::task(QStringLiteral("Report"), QStringLiteral("Boss"), 2027, 3, 7, 9, 5)}, {});
        testStore().loadTasks();
        const Sync::Outcome wrong = sync(QStringLiteral("alice"), QStringLiteral("guess"));
        QVERIFY(!wrong.ok);
        QVERIFY2(wrong.message.contains(QStringLiteral("refused the user name or password")), qPrintable(wrong.message));
        QVERIFY(m_server->items(kTasks).empty());

        const Sync::Outcome right = sync(QStringLiteral("alice"), QStringLiteral("secret"));
        QVERIFY2(right.ok, qPrintable(right.message));
        QCOMPARE(m_server->items(kTasks).size(), std::size_t(1));
    }

    void anUntrustedCertificateIsRefusedWithTheReason()
    {
        Radicale secure({}, {}, true);
        QVERIFY(secure.started());
        const Sync::Discovery found = Sync::discover(secure.url(kTasks), {QStringLiteral("alice"), QStringLiteral("pw")});
        QVERIFY(found.collections.empty());
        QVERIFY2(found.failure.contains(QStringLiteral("certificate was refused")), qPrintable(found.failure));
        QVERIFY2(found.failure.contains(QStringLiteral("self-signed"), Qt::CaseInsensitive), qPrintable(found.failure));
    }

    void tasksAreFoundFromTheServersAddress()
    {
        QVERIFY(m_server->makeCalendar(QStringLiteral("/alice/events/"), "VEVENT"));
        QVERIFY(m_server->makeCalendar(QStringLiteral("/alice/both/"), "VEVENT,VTODO", "Home and work"));
        const Dav::Credentials alice{QStringLiteral("alice"), QStringLiteral("pw")};
        const Sync::Discovery fromRoot = Sync::discover(m_server->root(), alice);
        QVERIFY2(fromRoot.failure.isEmpty(), qPrintable(fromRoot.failure));
        QStringList found;
        for (const Sync::Collection &c : fromRoot.collections)
            found << c.url.path();
        found.sort();
        QCOMPARE(found, QStringList({QStringLiteral("/alice/both/"), QStringLiteral("/alice/tasks/")}));
        for (const Sync::Collection &c : fromRoot.collections) {
            if (c.url.path() == QStringLiteral("/alice/both/"))
                QCOMPARE(c.name, QStringLiteral("Home and work"));
        }

        // A collection's own address is taken as it is.
        const Sync::Discovery direct = Sync::discover(m_server->url(kTasks), alice);
        QCOMPARE(direct.collections.size(), std::size_t(1));
        QCOMPARE(direct.collections.front().url.path(), kTasks);
        // An event calendar is no task list.
        const Sync::Discovery events = Sync::discover(m_server->url(QStringLiteral("/alice/events/")), alice);
        QVERIFY(events.collections.empty() || events.collections.front().url.path() != QStringLiteral("/alice/events/"));
    }

    void moreTasksOnTheServerThanTheListHoldsAreKeptThere()
    {
        for (int i = 0; i < 5; ++i) {
            const QByteArray uid = "many-" + QByteArray::number(i);
            QVERIFY(written(m_server->send("PUT", kTasks + QString::fromLatin1(uid) + QStringLiteral(".ics"),
                                    Radicale::phoneTask(uid, "Task " + QByteArray::number(i)))
                         ));
        }
        Sync::State state;
        Sync::Engine engine(m_server->url(kTasks), {QStringLiteral("alice"), QStringLiteral("pw")}, state, 3);
        const Sync::PassResult pass = engine.run({}, now());
        QVERIFY2(pass.ok, qPrintable(pass.failure));
        QCOMPARE(pass.changes.size(), std::size_t(3));
        // Said once, for both left out.
        QCOMPARE(pass.notes.filter(QStringLiteral("do not fit the task list")).size(), 1);
        QVERIFY2(pass.notes.join(QString()).startsWith(QStringLiteral("2 task")), qPrintable(pass.notes.join(QString())));
        // The next pass, with the three taken, deletes nothing there.
        std::vector<Task> three;
        for (const Sync::Change &c : pass.changes)
            three.push_back(c.after);
        const Sync::PassResult next = engine.run(three, now());
        QVERIFY(next.ok);
        QCOMPARE(next.removedThere, 0);
        QVERIFY(next.notes.isEmpty());
        QCOMPARE(m_server->items(kTasks).size(), std::size_t(5));
    }

    void dueTimesInEveryFormAreReadAndLeftAlone()
    {
        const QByteArray forms[][2] = {
            {"date", "DUE;VALUE=DATE:20270301\r\n"},
            {"utc", "DUE:20270301T090000Z\r\n"},
            {"floating", "DUE:20270301T090000\r\n"},
            {"zoned", "DUE;TZID=America/New_York:20270301T090000\r\n"},
        };
        for (const auto &form : forms)
            QVERIFY(written(m_server->send("PUT", kTasks + QString::fromLatin1(form[0]) + QStringLiteral(".ics"),
                                    Radicale::phoneTask(form[0], form[0], form[1]))
                         ));
        const auto before = m_server->items(kTasks);
        const Sync::Outcome pass = sync();
        QVERIFY2(pass.ok, qPrintable(pass.message));
        QCOMPARE(Rules::dueMoment(*byTitle(QStringLiteral("date"))), QDateTime(QDate(2027, 3, 1), QTime(0, 0)));
        QCOMPARE(Rules::dueMoment(*byTitle(QStringLiteral("utc"))), QDateTime(QDate(2027, 3, 1), QTime(10, 0)));
        QCOMPARE(Rules::dueMoment(*byTitle(QStringLiteral("floating"))), QDateTime(QDate(2027, 3, 1), QTime(9, 0)));
        QCOMPARE(Rules::dueMoment(*byTitle(QStringLiteral("zoned"))), QDateTime(QDate(2027, 3, 1), QTime(15, 0)));
        // Nothing changed here, so nothing is written back.
        QCOMPARE(pass.pass.sent, 0);
        QCOMPARE(m_server->items(kTasks), before);
    }

private:
    std::unique_ptr<StoreSandbox> m_box;
    std::unique_ptr<Radicale> m_server;
};

QTEST_GUILESS_MAIN(TestSync)
#include "test_sync.moc"
