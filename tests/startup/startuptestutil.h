// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modal.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

// Records what would have blocked or ended the program.
class RecordingSeam : public Modal::Seam
{
public:
    struct Message {
        QString title;
        QString text;
        Modal::Kind kind;
        bool parentVisible;
    };

    void message(QWidget *parent, const QString &title, const QString &text, Modal::Kind kind) override
    {
        messages.append({title, text, kind, parent && parent->isVisible()});
    }
    void endProgram(int exitCode) override { endCodes.append(exitCode); }

    QList<Message> messages;
    QList<int> endCodes;
};

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
