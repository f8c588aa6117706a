// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

// Follows the store file in the working folder while something shows it,
// and says when another program has changed it. The folder is watched as
// well as the file: editors and sync tools replace a file by renaming a new
// one over it, and the old file, the one being watched, is then gone.
// The store's own saves are told apart by what it last wrote.
namespace Module1 {
class TaskStore;
}

class StoreWatcher : public QObject
{
    Q_OBJECT
public:
    explicit StoreWatcher(Module1::TaskStore &store, QObject *parent = nullptr);

    // Starts following tasks.txt in the current working folder.
    void start();
    void stop();
    bool isWatching() const { return !m_folder.isEmpty(); }

    // How often the file was looked at after the system reported activity.
    int looks() const { return m_looks; }

Q_SIGNALS:
    // The file is no longer what Quorvi last read or wrote.
    void changedElsewhere();

private:
    void activity();
    void lookAtFile();

    Module1::TaskStore &m_store;
    QFileSystemWatcher m_watcher;
    // A program writing the file takes a few steps (write a temporary file,
    // rename it, set its times); the file is looked at once they are done.
    QTimer m_settle;
    // Where the system cannot watch (too many watches, a network folder).
    QTimer m_poll;
    QString m_folder;
    QString m_file;
    int m_looks = 0;
};
