// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alertpage.h"
#include "context.h"
#include "clock.h"
#include "twips.h"

#include <QDate>
#include <QWidget>

#include <memory>

class AlertBrowser;
class FrmMain;
class QPushButton;

// Where the alert window's pieces go, in twips, worked out without a window.
namespace StartupLayout {

inline constexpr Twips::Rect kExitRect{0, 0, 1095, 255};
inline constexpr Twips::Rect kShowAllRect{1200, 0, 1335, 255};
// The page starts just below the buttons, with a small gap so the first
// table does not touch them.
inline constexpr double kBrowserTop = 300;

// Two thirds of the screen in each direction, centred on it.
inline Twips::Rect windowRect(double screenWidth, double screenHeight)
{
    const double width = screenWidth / 1.5;
    const double height = screenHeight / 1.5;
    return {screenWidth / 2 - width / 2, screenHeight / 2 - height / 2, width, height};
}

// The page fills the window below the buttons.
inline Twips::Rect browserRect(double windowWidth, double windowHeight)
{
    return {0, kBrowserTop, windowWidth, windowHeight > kBrowserTop ? windowHeight - kBrowserTop : 0};
}

} // namespace StartupLayout

// The alert window the program starts with: it loads the store, writes the
// alert page and shows it, and leads on to the task list.
class FrmStartup : public QWidget
{
    Q_OBJECT
public:
    explicit FrmStartup(const Context &context, QWidget *parent = nullptr);
    ~FrmStartup() override;

    // Form_Load: places the window, loads and orders the store, reports what
    // the load found, writes the page and points the browser at it. Returns
    // whether any task was listed, that is whether the window has anything
    // to show. The window is not shown here.
    bool formLoad(QDate today = Clock::today());

    // The start's alert once more, for a Quorvi that kept running (a new
    // day, another start on the same folder): the page is written again from
    // the tables as they stand, in due order, without reloading them, since
    // every confirmed change is saved already and an edit being typed in an
    // open dialog must not be thrown away. Returns whether any task is
    // listed; the window is not shown here.
    bool alertAgain(QDate today = Clock::today());

    // Shows reminders that fell due (latest first) instead of the alert page,
    // from memory; the page file keeps the start's alert.
    void showDueNow(std::span<const AlertPage::DueNowEntry> entries, QDate today = Clock::today());

    const Context &context() const { return m_context; }

    // The task list, created on first use (it reads the store only when
    // this window has not).
    FrmMain *mainWindow();
    // The task list if it was created, else null.
    FrmMain *existingMainWindow() const { return m_frmMain.get(); }

    // For a Quorvi that waits in the background for weeks: "Exit" closes
    // this window only, since ending the program would end the day's
    // reminders too (the tray's and the list's Exit still end it). Once the
    // window is hidden the page it showed is let go (a long page holds tens
    // of megabytes of layout); whatever shows the window again writes a
    // page first.
    void setInBackground(bool background) { m_inBackground = background; }

    const AlertPage::Page &page() const { return m_page; }
    QString pagePath() const { return m_pagePath; }
    // Why the page could not be written; empty when it was.
    QString pageProblem() const { return m_pageProblem; }

public Q_SLOTS:
    void cmdExit_Click();
    void cmdShowAll_Click();

Q_SIGNALS:
    // A put-off link of the "Due now" page: entry `entry` of those shown is
    // to come back `until`.
    void putOffRequested(qsizetype entry, const QDateTime &until);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void placeBrowser();
    // Writes the alert page for these tasks (in this order) and points the
    // browser at it.
    bool writeAndShowPage(std::span<const Module1::Task> tasks, QDate today);

    Context m_context;
    QPushButton *m_cmdExit = nullptr;
    QPushButton *m_cmdShowAll = nullptr;
    AlertBrowser *m_pageView = nullptr;
    std::unique_ptr<FrmMain> m_frmMain;
    AlertPage::Page m_page;
    QString m_pagePath;
    QString m_pageProblem;
    bool m_inBackground = false;
};
