// SPDX-License-Identifier: GPL-3.0-or-later
// Sync against a local Radicale: the first pass of 1,000 tasks, beside a
// bare client putting the same 1,000 texts one after another (what the
// server's writing costs any client), and a pass with nothing changed,
// beside one bare PROPFIND (the least a request costs), with its request
// count, which should be one. And a pass after a phone changed one task,
// listed by the collection's sync-token, beside the same pass listing the
// whole collection (the token dropped from the state first).
#include "module1.h"
#include "taskstore.h"
#include "radicale.h"
#include "storegen.h"
#include "syncengine.h"
#include "timing.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

using namespace Module1;

namespace {

constexpr int kTasks = 1000;
constexpr int kFirstRuns = 1; // a first pass of 1,000 writes takes a while on Radicale
constexpr int kQuietRuns = 20;
constexpr int kChangedRuns = 10;

const Dav::Credentials kAlice{QStringLiteral("alice"), QStringLiteral("pw")};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    QDir::setCurrent(folder.path());
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder.filePath(QStringLiteral("data"))));
    StoreGen::Options options;
    options.tasks = kTasks;
    options.rules = 10;
    TaskStore store;
    StoreGen::fill(store, options);
    if (!store.saveTasks().ok) {
        std::fprintf(stderr, "could not write the store\n");
        return 1;
    }
    Radicale server;
    if (!server.started()) {
        std::fprintf(stderr, "Radicale did not start\n");
        return 1;
    }

    // Each first pass goes to a fresh collection, with a fresh state.
    int run = 0;
    QString collection;
    const std::vector<double> first = Timing::timeRuns(
        kFirstRuns,
        [&](int) {
            collection = QStringLiteral("/alice/first%1/").arg(++run);
            server.makeCalendar(collection);
            QFile::remove(Sync::State::fileFor(QDir::currentPath()));
            store.loadTasks();
        },
        [&] {
            const Sync::Outcome outcome = Sync::syncStore(store, server.url(collection), kAlice, QDateTime::currentDateTime());
            if (!outcome.ok || outcome.pass.sent != kTasks)
                std::fprintf(stderr, "first pass: %s\n", qPrintable(outcome.message));
        });
    const auto texts = server.items(collection);
    run = 0;
    const std::vector<double> bare = Timing::timeRuns(
        kFirstRuns,
        [&](int) {
            collection = QStringLiteral("/alice/bare%1/").arg(++run);
            server.makeCalendar(collection);
        },
        [&] {
            for (const auto &[name, text] : texts)
                server.send("PUT", collection + name, text, {{"If-None-Match", "*"}});
        });

    const QString last = QStringLiteral("/alice/first%1/").arg(kFirstRuns);
    int requests = 0;
    const std::vector<double> quiet = Timing::timeRuns(kQuietRuns, nullptr, [&] {
        requests = Sync::syncStore(store, server.url(last), kAlice, QDateTime::currentDateTime()).pass.requests;
    });
    const QByteArray propfind = "<?xml version=\"1.0\"?><d:propfind xmlns:d=\"DAV:\" xmlns:cs=\"http://calendarserver.org/ns/\">"
                                "<d:prop><cs:getctag/></d:prop></d:propfind>";
    const std::vector<double> one = Timing::timeRuns(kQuietRuns, nullptr, [&] {
        server.send("PROPFIND", last, propfind, {{"Depth", "0"}});
    });

    // A phone changes one task before each pass.
    const QString member = last + server.items(last).begin()->first;
    int edits = 0;
    const auto phoneEdits = [&](bool dropToken) {
        QByteArray text = server.items(last).begin()->second;
        const qsizetype at = text.indexOf("SUMMARY:") + 8;
        text.insert(at, QByteArray::number(++edits) + ' ');
        server.send("PUT", member, text);
        Sync::State state(Sync::State::fileFor(QDir::currentPath()));
        QString error;
        if (dropToken && state.load(&error)) {
            state.syncToken.clear();
            state.save(&error);
        }
    };
    int changedRequests = 0;
    const std::vector<double> changed = Timing::timeRuns(kChangedRuns, [&](int) { phoneEdits(false); }, [&] {
        changedRequests = Sync::syncStore(store, server.url(last), kAlice, QDateTime::currentDateTime()).pass.requests;
    });
    const std::vector<double> listedWhole = Timing::timeRuns(kChangedRuns, [&](int) { phoneEdits(true); }, [&] {
        Sync::syncStore(store, server.url(last), kAlice, QDateTime::currentDateTime());
    });

    std::printf("Sync of %d tasks with a local Radicale\n", kTasks);
    Timing::inform("first pass, both ways", first);
    Timing::inform("  reference: the same texts PUT bare", bare);
    Timing::inform("pass with nothing changed", quiet);
    Timing::inform("  reference: one bare PROPFIND", one);
    Timing::inform("pass after a phone changed one task", changed);
    Timing::inform("  reference: the same, listing it all", listedWhole);
    std::printf("%-40s %d\n", "requests of that pass", changedRequests);
    std::printf("%-40s %d (goal: 1: %s)\n", "requests of a pass with nothing changed", requests,
                requests == 1 ? "met" : "MISSED");
    return requests == 1 ? 0 : 1;
}
