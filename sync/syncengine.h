// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "davclient.h"
#include "module1.h"
#include "syncstate.h"
#include "taskstore.h"

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Two-way sync of the task list with a task collection on a CalDAV server
// (RFC 4791). The one entry to this folder: the pass itself (Engine), the
// discovery of collections from a server's address, and the merge of one
// task changed on both sides. The store is reached only through
// storeside.h; the account and its password through account.h.
namespace Sync {

// A task changed on both sides since they last agreed, merged field by
// field against that agreement (title, for whom, due moment, description,
// done, repetition): each side's change wins where the other left the field
// alone. A field both changed, each its own way, keeps Quorvi's value, and
// the server's version of the whole task is kept beside it as a task of its
// own (`copy`), for the user to delete the one not wanted.
struct Merged {
    Module1::Task task;
    std::optional<Module1::Task> copy; // uid empty: a new task
};
Merged mergeTask(const Module1::Task &base, const Module1::Task &ours, const Module1::Task &theirs);

// A change the pass brings to the task list. `before` is the task as the
// pass last saw it here; the store side applies the change only to a task
// still like that, and merges it with an edit made meanwhile otherwise.
struct Change {
    enum Kind { Add, Update, Remove };
    Kind kind = Update;
    Module1::Task before; // Update, Remove
    Module1::Task after;  // Add, Update
    // The state's entry before the pass recorded this change, put back
    // when the change cannot be saved here (nullopt: there was none).
    std::optional<Entry> previous;
};

struct PassResult {
    bool ok = true;
    QString failure;       // why the pass stopped; what it did before stays done
    std::vector<Change> changes;
    int sent = 0;          // tasks written to the server (new or changed)
    int removedThere = 0;  // tasks deleted on the server
    int requests = 0;      // HTTP requests the pass made
    QStringList notes;     // tasks the server refused or that did not fit, and why
    bool listed = false;   // the collection was listed: something had changed
};

class Engine
{
public:
    // `collection`: the task collection's URL, ending in "/".
    Engine(QUrl collection, Dav::Credentials credentials, State &state, int capacity = Module1::kTaskSlots);

    // One pass: `local` holds every task of the list, each with its uid.
    // The state records what went out at once; the changes coming in are
    // recorded too, and taken back by the store side where they cannot be
    // saved.
    // `beyond`: the uids of tasks the store file holds beyond the list, left
    // alone on both sides.
    PassResult run(std::vector<Module1::Task> local, const QDateTime &now, const QSet<QString> &beyond = {});

    // Called after each listing, before anything is written: tests change
    // the server there, as another client might.
    std::function<void()> afterListing;
    Dav::Client &client() { return m_client; }

private:
    struct Private;
    QUrl m_collection;
    Dav::Client m_client;
    State &m_state;
    int m_capacity;
};

// A pass on the store of the working folder, in three steps, so that the
// network part can run away from the window's thread: begin and finish
// touch the store and the state files, and run where the store lives.
struct Outcome {
    bool ok = true;
    QString message;      // one paragraph for the user
    PassResult pass;
};
class StorePass
{
public:
    StorePass(Module1::TaskStore &store, const QUrl &collection, Dav::Credentials credentials);
    ~StorePass();
    StorePass(const StorePass &) = delete;
    StorePass &operator=(const StorePass &) = delete;

    // Loads the state and takes the tasks; false when the pass cannot
    // start (finish then says why).
    bool begin();
    // The pass itself; touches neither the store nor the files.
    void run(const QDateTime &now);
    // Saves what came into the store, and the state.
    Outcome finish();

    Engine &engine() { return *m_engine; }

private:
    Module1::TaskStore &m_store;
    State m_state;
    std::unique_ptr<Engine> m_engine;
    std::vector<Module1::Task> m_local;
    QSet<QString> m_beyond;
    PassResult m_result;
    QString m_failure;
    QStringList m_notes;
};

// The three steps at once, on this thread: quorvi --sync, and the tests.
Outcome syncStore(Module1::TaskStore &store, const QUrl &collection, const Dav::Credentials &credentials,
                  const QDateTime &now);

// A collection offered for sync.
struct Collection {
    QUrl url;
    QString name;
};
struct Discovery {
    std::vector<Collection> collections;
    QString failure;
};
// The task collections reachable from `url`: the collection itself when it
// is one, else those of the user's calendar home (current-user-principal,
// calendar-home-set) whose components include VTODO.
Discovery discover(const QUrl &url, const Dav::Credentials &credentials);

} // namespace Sync
