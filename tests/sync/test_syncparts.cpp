// SPDX-License-Identifier: GPL-3.0-or-later
// The sync's parts that need no server: reading multistatus answers that
// are cut short or say the listing stops, the merge of one task changed on
// both sides, and the state kept between passes.
#include "merge.h"
#include "storesandbox.h"
#include "syncengine.h"

#include <QTest>

using Module1::Task;

namespace {

const QUrl kCollection(QStringLiteral("http://example.org/dav/alice/tasks/"));

const QByteArray kListing = "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\">"
                            "<d:response><d:href>/dav/alice/tasks/a%20b.ics</d:href><d:propstat><d:prop>"
                            "<d:getetag>\"1\"</d:getetag></d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat>"
                            "</d:response>"
                            "<d:response><d:href>c.ics</d:href><d:status>HTTP/1.1 404 Not Found</d:status></d:response>";

Task task(const QString &title, int hour)
{
    return TestData::task(title, QStringLiteral("Me"), 2027, 3, 7, hour);
}

} // namespace

class TestSyncParts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void listingsAreReadAndIncompleteOnesSaySo()
    {
        const Dav::Multistatus whole = Dav::parseMultistatus(kListing + "</d:multistatus>", kCollection);
        QVERIFY(whole.failure.isEmpty());
        QVERIFY(whole.complete);
        QCOMPARE(whole.resources.size(), 2);
        QCOMPARE(whole.resources[0].href, QStringLiteral("/dav/alice/tasks/a%20b.ics"));
        QCOMPARE(whole.resources[0].properties.value(Dav::key(Dav::kDav, "getetag")).text, QStringLiteral("\"1\""));
        QCOMPARE(whole.resources[1].href, QStringLiteral("/dav/alice/tasks/c.ics")); // resolved
        QCOMPARE(whole.resources[1].status, 404);

        // Cut off in the middle, empty, not WebDAV, or truncated by the
        // server (507): none of them is a complete listing.
        const Dav::Multistatus cut = Dav::parseMultistatus(kListing.left(kListing.size() - 30), kCollection);
        QVERIFY(!cut.complete);
        QVERIFY(!cut.failure.isEmpty());
        QVERIFY(!Dav::parseMultistatus({}, kCollection).complete);
        QVERIFY(!Dav::parseMultistatus("<html><body>Login</body></html>", kCollection).failure.isEmpty());
        const Dav::Multistatus truncated = Dav::parseMultistatus(
            kListing + "<d:response><d:href>/dav/alice/tasks/</d:href><d:status>HTTP/1.1 507 Insufficient "
                       "Storage</d:status></d:response></d:multistatus>",
            kCollection);
        QVERIFY(!truncated.complete);
        QCOMPARE(truncated.resources.size(), 2);
    }

    void aTaskChangedOnBothSidesMergesFieldByField()
    {
        const Task base = task(QStringLiteral("Report"), 9);
        Task ours = base;
        ours.title = QStringLiteral("Report, final");
        Task theirs = base;
        theirs.description = QStringLiteral("for the board");
        Sync::Merged merged = Sync::mergeTask(base, ours, theirs);
        QCOMPARE(merged.task.title, QStringLiteral("Report, final"));
        QCOMPARE(merged.task.description, QStringLiteral("for the board"));
        QVERIFY(!merged.copy);

        // The server writes hour 25 on the 6th as 01:00 on the 7th: no change.
        Task late = base;
        late.day = 6;
        late.hour = 25;
        Module1::deriveFields(late);
        Task lateThere = base;
        lateThere.hour = 1;
        Module1::deriveFields(lateThere);
        merged = Sync::mergeTask(late, late, lateThere);
        QCOMPARE(merged.task.hour, qint16(25));
        QVERIFY(!merged.copy);

        // The same field both ways: ours stays, theirs is kept as a copy.
        theirs.title = QStringLiteral("Report, draft");
        merged = Sync::mergeTask(base, ours, theirs);
        QCOMPARE(merged.task.title, QStringLiteral("Report, final"));
        QVERIFY(merged.copy);
        QCOMPARE(merged.copy->title, QStringLiteral("Report, draft"));
        QVERIFY(merged.copy->uid.isEmpty());
        // Both the same way is no clash.
        theirs.title = ours.title;
        QVERIFY(!Sync::mergeTask(base, ours, theirs).copy);
    }

    void theStateSurvivesAndADamagedOneIsEmpty()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("state.json"));
        Sync::State state(file);
        state.collection = kCollection.toString();
        state.ctag = QStringLiteral("ctag:\"7\"");
        Task t = task(QStringLiteral("Dentist"), 8);
        t.description = QStringLiteral("first\r\nsecond");
        state.byUid[QStringLiteral("u-1")] = {QStringLiteral("/dav/alice/tasks/u-1.ics"), "W/\"abc\"", "BEGIN:VCALENDAR\r\n", t};
        state.asideByHref[QStringLiteral("/dav/alice/tasks/full.ics")] = {"\"9\"", true};
        Task refused = task(QStringLiteral("Report"), 9);
        refused.uid = QStringLiteral("u-2");
        state.refusedByUid[refused.uid] = {refused, {}, false};
        state.refusedByUid[QStringLiteral("u-1")] = {t, "W/\"abc\"", true};
        QString error;
        QVERIFY(state.save(&error));

        Sync::State back(file);
        QVERIFY(back.load(&error));
        QCOMPARE(back.collection, state.collection);
        QCOMPARE(back.ctag, state.ctag);
        QCOMPARE(back.byUid.size(), std::size_t(1));
        const Sync::Entry &entry = back.byUid.at(QStringLiteral("u-1"));
        QCOMPARE(entry.etag, QByteArray("W/\"abc\"")); // exactly as the server gave it
        QCOMPARE(entry.base.description, t.description);
        QCOMPARE(entry.base.hour, qint16(8));
        // What was left out or refused is remembered as it was.
        QCOMPARE(back.asideByHref.size(), std::size_t(1));
        QCOMPARE(back.asideByHref.begin()->second.etag, QByteArray("\"9\""));
        QVERIFY(back.asideByHref.begin()->second.forRoom);
        QCOMPARE(back.refusedByUid.size(), std::size_t(2));
        QVERIFY(Module1::sameStored(back.refusedByUid.at(QStringLiteral("u-2")).task, refused));
        QVERIFY(!back.refusedByUid.at(QStringLiteral("u-2")).deletion);
        QVERIFY(back.refusedByUid.at(QStringLiteral("u-1")).deletion);
        QCOMPARE(back.refusedByUid.at(QStringLiteral("u-1")).etag, QByteArray("W/\"abc\""));

        StoreSandbox::write("{\"collection\": \"cut", file);
        QVERIFY(!back.load(&error));
        QVERIFY(back.byUid.empty());
        QVERIFY(back.ctag.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSyncParts)
#include "test_syncparts.moc"
