// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "module1.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Runs a test inside its own empty working directory, where tasks.txt lives.
class StoreSandbox
{
public:
    StoreSandbox() : m_dir(std::make_unique<QTemporaryDir>()), m_previous(QDir::currentPath())
    {
        QVERIFY2(m_dir->isValid(), "no temporary folder");
        QDir::setCurrent(m_dir->path());
        Module1::resetStore();
    }
    ~StoreSandbox() { QDir::setCurrent(m_previous); }

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

inline void addTask(const Module1::Task &t)
{
    Module1::tasks[Module1::taskCount++] = t;
}

inline void addRule(int interval, qint32 color, bool popup, const QString &unit = QStringLiteral("d"))
{
    Module1::AlertRule r;
    r.interval = qint16(interval);
    r.unit = unit;
    r.color = color;
    r.popup = popup;
    Module1::rules[Module1::ruleCount++] = r;
}

// A task due `days` from today (negative: overdue).
inline Module1::Task dueIn(const QString &title, int days, const QString &forWhom = {})
{
    const QDate d = QDate::currentDate().addDays(days);
    return task(title, forWhom, d.year(), d.month(), d.day(), 12, 0, 0);
}

} // namespace TestData
