// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Work on the tables that must not happen while a dialog edits them in place
// (a reload would drop the half-made edit, a save would write it, a re-sort
// would move the record under the dialog's feet) or while a menu is open over
// a row. It runs at once when nothing is open, else as soon as the last
// dialog has closed: a change made elsewhere, a reminder's Done, the new
// day's redraw and alert all wait here.
class AfterDialogs : public QObject
{
    Q_OBJECT
public:
    // `busy` says whether the work must wait; `work` is done once it need not.
    AfterDialogs(std::function<bool()> busy, std::function<void()> work, QObject *parent = nullptr);

    // Does the work now, or as soon as `busy` says no. Asked again while it
    // waits, it is still done once.
    void request();
    // Forgets a request still waiting.
    void cancel() { m_retry.stop(); }
    bool pending() const { return m_retry.isActive(); }

    // Whether a modal dialog or a popup menu is open anywhere in the program.
    static bool dialogOpen();

private:
    void tryNow();

    std::function<bool()> m_busy;
    std::function<void()> m_work;
    // No signal says that the last dialog closed, so a waiting request looks
    // again a few times a second, and only while it waits.
    QTimer m_retry;
};
