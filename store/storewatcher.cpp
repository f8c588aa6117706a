// SPDX-License-Identifier: GPL-3.0-or-later
#include "storewatcher.h"

#include "taskstore.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr int kSettleMs = 150;
constexpr int kPollMs = 1000;

} // namespace

StoreWatcher::StoreWatcher(Module1::TaskStore &store, QObject *parent) : QObject(parent), m_store(store)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    m_poll.setInterval(kPollMs);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &StoreWatcher::activity);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &StoreWatcher::activity);
    connect(&m_settle, &QTimer::timeout, this, &StoreWatcher::lookAtFile);
    connect(&m_poll, &QTimer::timeout, this, &StoreWatcher::lookAtFile);
}

void StoreWatcher::start()
{
    stop();
    m_folder = QDir::currentPath();
    m_file = QDir(m_folder).absoluteFilePath(Module1::kStoreFileName);
    const bool folderWatched = m_watcher.addPath(m_folder);
    if (QFileInfo::exists(m_file))
        m_watcher.addPath(m_file);
    if (!folderWatched)
        m_poll.start();
}

void StoreWatcher::stop()
{
    m_settle.stop();
    m_poll.stop();
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    if (!watched.isEmpty())
        m_watcher.removePaths(watched);
    m_folder.clear();
    m_file.clear();
}

void StoreWatcher::activity()
{
    // Every burst of activity (ours included) ends in one look.
    m_settle.start();
}

void StoreWatcher::lookAtFile()
{
    // The store is always the file in the working folder; a folder left
    // behind says nothing about it.
    if (m_folder.isEmpty() || QDir::currentPath() != m_folder)
        return;
    ++m_looks;
    // A file replaced by a rename is a new file, and watched afresh.
    if (!m_watcher.files().contains(m_file) && QFileInfo::exists(m_file))
        m_watcher.addPath(m_file);
    if (m_store.storeChangedElsewhere())
        Q_EMIT changedElsewhere();
}
