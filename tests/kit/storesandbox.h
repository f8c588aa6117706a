// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The store as tests meet it: a fresh, empty working folder and a store of
// its own for every test, a private runtime folder, records to fill the
// tables with, the store file spelled out byte by byte, and a way to make
// saving fail.

#include "module1.h"
#include "taskstore.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QList>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/mount.h>
#include <sys/resource.h>

// Points the per-user runtime folder at a fresh temporary one, where the
// alert page then goes.
class RuntimeSandbox
{
public:
    RuntimeSandbox() : m_previous(qgetenv("XDG_RUNTIME_DIR"))
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.path()));
    }
    ~RuntimeSandbox() { qputenv("XDG_RUNTIME_DIR", m_previous); }

    QString path() const { return m_dir.path(); }
    QString pageFolder() const { return m_dir.path() + QStringLiteral("/quorvi"); }
    QString page() const { return pageFolder() + QStringLiteral("/al.html"); }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
};

// Makes `store` the test's store (testStore() below) while it lives; the
// one it replaces comes back after it.
class CurrentStore
{
public:
    explicit CurrentStore(Module1::TaskStore &store) : m_outer(s_current) { s_current = &store; }
    // Points at another store (a sandbox's new one).
    void point(Module1::TaskStore &store) { s_current = &store; }
    ~CurrentStore() { s_current = m_outer; }
    CurrentStore(const CurrentStore &) = delete;
    CurrentStore &operator=(const CurrentStore &) = delete;

    static Module1::TaskStore &get()
    {
        if (!s_current)
            qFatal("no test store");
        return *s_current;
    }

private:
    Module1::TaskStore *m_outer;
    static inline Module1::TaskStore *s_current = nullptr;
};

// Runs a test inside its own empty working directory, where tasks.txt lives,
// with a store of its own, as at program start. While a sandbox lives, its
// store is the test's store (testStore() below); a test that wants a second
// one makes it.
class StoreSandbox
{
public:
    StoreSandbox()
        : m_dir(std::make_unique<QTemporaryDir>()), m_previous(QDir::currentPath()),
          m_store(std::make_unique<Module1::TaskStore>()), m_current(*m_store)
    {
        QVERIFY2(m_dir->isValid(), "no temporary folder");
        QDir::setCurrent(m_dir->path());
        s_innermost = this;
        // The windows' preferences too start afresh, and never in the
        // user's own configuration.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir->filePath(QStringLiteral(".config")));
    }
    ~StoreSandbox()
    {
        s_innermost = m_outerSandbox;
        QDir::setCurrent(m_previous);
    }
    StoreSandbox(const StoreSandbox &) = delete;
    StoreSandbox &operator=(const StoreSandbox &) = delete;

    Module1::TaskStore &store() { return *m_store; }
    // Replaces the store with a new one, as a program that starts again.
    void renewStore()
    {
        m_store = std::make_unique<Module1::TaskStore>();
        m_current.point(*m_store);
    }
    static StoreSandbox &innermost()
    {
        if (!s_innermost)
            qFatal("no StoreSandbox");
        return *s_innermost;
    }

    QString path() const { return m_dir->path(); }
    QString file(const QString &name) const { return m_dir->filePath(name); }

    static void write(const QByteArray &bytes, const QString &name = Module1::kStoreFileName)
    {
        QFile f(name);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(bytes), bytes.size());
    }

    static QByteArray read(const QString &name = Module1::kStoreFileName)
    {
        QFile f(name);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return f.readAll();
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previous;
    std::unique_ptr<Module1::TaskStore> m_store;
    CurrentStore m_current;
    StoreSandbox *m_outerSandbox = s_innermost;
    static inline StoreSandbox *s_innermost = nullptr;
};

// The test's sandbox starts its store again: a new program on the folder.
inline void resetTestStore()
{
    StoreSandbox::innermost().renewStore();
}

// The test's store: that of the innermost sandbox (or small disk) alive.
inline Module1::TaskStore &testStore()
{
    return CurrentStore::get();
}

// While alive, no file this process writes may grow past `bytes`: the next
// save fails the way it does on a full disk (even for root, who ignores
// read-only folders).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = m_old;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    struct rlimit m_old {};
    void (*m_previousHandler)(int) = nullptr;
};

// A small file system of its own (tmpfs), mounted on a fresh folder that
// becomes the working folder, with a store of its own: a disk that really
// fills up, or really is read-only. Mounting needs root; where it is refused,
// mounted() is false and the test says what it skipped.
class SmallDisk
{
public:
    explicit SmallDisk(const char *size) : m_previous(QDir::currentPath()), m_current(m_store)
    {
        const QByteArray options = QByteArray("size=") + size + ",mode=0755";
        m_mounted = ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, options.constData()) == 0;
        if (m_mounted)
            QDir::setCurrent(m_dir.path());
    }
    ~SmallDisk()
    {
        QDir::setCurrent(m_previous);
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    Module1::TaskStore &store() { return m_store; }

    bool makeReadOnly()
    {
        return ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", MS_REMOUNT | MS_RDONLY,
                       nullptr)
               == 0;
    }

private:
    QTemporaryDir m_dir;
    QString m_previous;
    bool m_mounted = false;
    Module1::TaskStore m_store;
    CurrentStore m_current;
};

namespace TestData {

inline Module1::Task task(const QString &title, const QString &forWhom, int year, int month, int day,
                          int hour = 0, int minute = 0, int second = 0, const QString &description = {})
{
    Module1::Task t;
    t.title = title;
    t.forWhom = forWhom;
    t.year = qint16(year);
    t.month = qint16(month);
    t.day = qint16(day);
    t.hour = qint16(hour);
    t.minute = qint16(minute);
    t.second = qint16(second);
    t.description = description;
    Module1::deriveFields(t);
    return t;
}

inline Module1::AlertRule rule(int interval, qint32 color, bool popup = false,
                               const QString &unit = QStringLiteral("d"))
{
    Module1::AlertRule r;
    r.interval = qint16(interval);
    r.unit = unit;
    r.color = color;
    r.popup = popup;
    return r;
}

// Appends to the tables of `store` (the test's, unless named), as an edit
// not saved yet.
inline void addTask(const Module1::Task &t, Module1::TaskStore &store = testStore())
{
    std::vector<Module1::Task> tasks(store.tasks().begin(), store.tasks().end());
    tasks.push_back(t);
    store.setTables(std::move(tasks), {store.rules().begin(), store.rules().end()});
}

inline void addRule(const Module1::AlertRule &r, Module1::TaskStore &store = testStore())
{
    std::vector<Module1::AlertRule> rules(store.rules().begin(), store.rules().end());
    rules.push_back(r);
    store.setTables({store.tasks().begin(), store.tasks().end()}, std::move(rules));
}

inline void addRule(int interval, qint32 color, bool popup, const QString &unit = QStringLiteral("d"))
{
    addRule(rule(interval, color, popup, unit));
}

// Puts these records in the tables of the test's store, as an edit not
// saved yet.
inline void setTables(const QList<Module1::Task> &tasks, const QList<Module1::AlertRule> &rules = {},
                      Module1::TaskStore &store = testStore())
{
    store.setTables({tasks.begin(), tasks.end()}, {rules.begin(), rules.end()});
}

// Changes the task in `slot` of the test's store, as an edit not saved yet.
inline void editTask(int slot, const std::function<void(Module1::Task &)> &edit,
                     Module1::TaskStore &store = testStore())
{
    std::vector<Module1::Task> tasks(store.tasks().begin(), store.tasks().end());
    QVERIFY(slot >= 0 && slot < int(tasks.size()));
    edit(tasks[std::size_t(slot)]);
    store.setTables(std::move(tasks), {store.rules().begin(), store.rules().end()});
}

// The tables cut to the first `count` tasks of `all` (and its rules), as
// an edit not saved yet: the rest comes back with a larger count.
inline void keepFirst(const Module1::Records &all, int count, Module1::TaskStore &store = testStore())
{
    const auto end = all.tasks.begin() + std::min<std::ptrdiff_t>(count, std::ptrdiff_t(all.tasks.size()));
    store.setTables({all.tasks.begin(), end}, all.rules);
}

// Removes the task in `slot` of the test's store, as a deletion not saved
// yet; a slot without a task is left alone.
inline void removeTask(int slot, Module1::TaskStore &store = testStore())
{
    if (slot < 0 || slot >= store.taskCount())
        return;
    std::vector<Module1::Task> tasks(store.tasks().begin(), store.tasks().end());
    tasks.erase(tasks.begin() + slot);
    store.setTables(std::move(tasks), {store.rules().begin(), store.rules().end()});
}

// Marks the task in `slot` done through the store (which saves it), and
// says what that did; a slot without a task is Unchanged.
inline Module1::Marked markDone(int slot, const QDateTime &now, Module1::TaskStore &store = testStore())
{
    const Module1::TaskId id = slot >= 0 && slot < store.taskCount() ? store.tasks()[std::size_t(slot)].id : 0;
    Module1::Marked marked = Module1::Marked::Unchanged;
    store.markDone(id, now, &marked);
    return marked;
}

// Changes the rules of the test's store, as an edit not saved yet.
inline void editRules(const std::function<void(std::vector<Module1::AlertRule> &)> &edit,
                      Module1::TaskStore &store = testStore())
{
    std::vector<Module1::AlertRule> rules(store.rules().begin(), store.rules().end());
    edit(rules);
    store.setTables({store.tasks().begin(), store.tasks().end()}, std::move(rules));
}

// A task due `days` from today (negative: overdue).
inline Module1::Task dueIn(const QString &title, int days, const QString &forWhom = {})
{
    const QDate d = QDate::currentDate().addDays(days);
    return task(title, forWhom, d.year(), d.month(), d.day(), 12, 0, 0);
}

// Writes a store holding these records through the program's own writer,
// a store of its own: the test's store has not read the file yet, as
// before a start.
inline void saveStore(const QList<Module1::Task> &tasks, const QList<Module1::AlertRule> &rules)
{
    Module1::TaskStore writer;
    setTables(tasks, rules, writer);
    QVERIFY(writer.saveTasks().ok);
}

struct StoredTask {
    QByteArray title, forWhom;
    int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
    QByteArray description; // already encoded, as in the file
};

// The store file as the writer lays it out, spelled out byte by byte here so
// the tests do not lean on the writer they check.
inline QByteArray storeBytes(const QList<StoredTask> &list, const QByteArray &rules = {})
{
    QByteArray out = "; Quorvi\r\n; ----------\r\n; Tasks and settings\r\n; DO NOT MODIFY THIS FILE\r\n\r\n"
                     "[Tasks]\r\n\r\n";
    for (const StoredTask &t : list) {
        out += "ttl=" + t.title + "\r\nfor=" + t.forWhom + "\r\nday=" + QByteArray::number(t.day)
            + "\r\nmon=" + QByteArray::number(t.month) + "\r\nyea=" + QByteArray::number(t.year)
            + "\r\nhou=" + QByteArray::number(t.hour) + "\r\nmin=" + QByteArray::number(t.minute)
            + "\r\nsec=" + QByteArray::number(t.second) + "\r\ndes=" + t.description
            + "\r\nact=addtask\r\n\r\n";
    }
    out += "[Alerts]\r\n\r\n" + rules + "\r\n";
    return out;
}

// One rule record as the writer lays it out.
inline QByteArray ruleBytes(int interval, const QByteArray &unit, qint32 color, bool popup)
{
    return "val=" + QByteArray::number(interval) + "\r\nunt=" + unit + "\r\nclr=" + QByteArray::number(color)
        + (popup ? "\r\nalr=on" : "\r\nalr=off") + "\r\nact=addalert\r\n\r\n";
}

} // namespace TestData
