// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmstartup.h"

#include "appearance.h"
#include "frmmain.h"
#include "modal.h"
#include "module1.h"
#include "notice.h"
#include "preferences.h"

#include <QGuiApplication>
#include <QHideEvent>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTimer>
#include <QUrl>

#include <vector>

#include <cstdio>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// Qt's rich text draws <small> at this share of the text around it, and the
// page sets most of its text small.
constexpr double kSmallScale = 0.8;

} // namespace

// Shows the alert page with room to break endless words (see
// AlertPage::withBreakOpportunities); the file itself stays as written.
// Qt's rich text takes a second or more to read a page of thousands of
// tasks whole, so the window shows the first ones at once and takes in the
// rest a slice at a time, in the pauses between the user's own events.
class AlertBrowser : public QTextBrowser
{
public:
    explicit AlertBrowser(QWidget *parent) : QTextBrowser(parent)
    {
        // A page to read, never edited: no undo steps for the slices.
        document()->setUndoRedoEnabled(false);
        m_more.setSingleShot(true);
        m_more.setInterval(0);
        QObject::connect(&m_more, &QTimer::timeout, this, [this] { appendSlice(); });
    }

    // A page shown from memory replaces the one being taken in.
    void showHtml(const QString &html)
    {
        setHtml(takeFirstSlice(AlertPage::withBreakOpportunities(html)));
    }


protected:
    QVariant loadResource(int type, const QUrl &name) override
    {
        QVariant resource = QTextBrowser::loadResource(type, name);
        if (type != QTextDocument::HtmlResource || !resource.isValid())
            return resource;
        const QString html = resource.typeId() == QMetaType::QByteArray
                                 ? QString::fromUtf8(resource.toByteArray())
                                 : resource.toString();
        return takeFirstSlice(AlertPage::withBreakOpportunities(html));
    }

private:
    // About what a tall screen shows, and what Qt reads in a few
    // milliseconds.
    static constexpr int kFirstTasks = 60;
    static constexpr int kTasksPerSlice = 120;

    QString takeFirstSlice(const QString &html)
    {
        m_rest = AlertPage::slicesByTask(html, kFirstTasks, kTasksPerSlice);
        QString first = m_rest.takeFirst();
        if (m_rest.isEmpty())
            m_more.stop();
        else
            m_more.start();
        return first;
    }

    void appendSlice()
    {
        if (m_rest.isEmpty())
            return;
        QTextCursor end(document());
        end.movePosition(QTextCursor::End);
        end.insertHtml(m_rest.takeFirst());
        if (!m_rest.isEmpty())
            m_more.start();
    }

    QStringList m_rest;
    QTimer m_more;
};

FrmStartup::FrmStartup(const Context &context, QWidget *parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("frmStartup"));
    setWindowTitle(QStringLiteral("Quorvi Alert!"));

    m_cmdExit = new QPushButton(QStringLiteral("&Exit"), this);
    m_cmdExit->setObjectName(QStringLiteral("cmdExit"));
    Twips::place(m_cmdExit, StartupLayout::kExitRect);

    m_cmdShowAll = new QPushButton(QStringLiteral("&Show all..."), this);
    m_cmdShowAll->setObjectName(QStringLiteral("cmdShowAll"));
    Twips::place(m_cmdShowAll, StartupLayout::kShowAllRect);
    // Enter presses the focused button, as in the dialogs; outside a dialog
    // Qt leaves that to Space alone.
    for (QPushButton *button : {m_cmdExit, m_cmdShowAll})
        button->setAutoDefault(true);

    m_pageView = new AlertBrowser(this);
    m_pageView->setObjectName(QStringLiteral("WebBrowser1"));
    // The windows are laid out for a small font; the page is for reading.
    m_pageView->setFont(Appearance::readingFont(kSmallScale));
    // Tab moves between the two buttons only; a click still gives the page
    // the keyboard for scrolling.
    m_pageView->setFocusPolicy(Qt::ClickFocus);
    m_pageView->setOpenLinks(false);
    connect(m_pageView, &QTextBrowser::anchorClicked, this, [this](const QUrl &link) {
        if (const std::optional<AlertPage::PutOffLink> asked = AlertPage::readPutOffLink(link))
            Q_EMIT putOffRequested(asked->entry, Notice::putOffUntil(asked->tomorrow, asked->minutes, Clock::now()));
    });
    placeBrowser();

    setTabOrder(m_cmdExit, m_cmdShowAll);
    m_cmdExit->setFocus();

    connect(m_cmdExit, &QPushButton::clicked, this, &FrmStartup::cmdExit_Click);
    connect(m_cmdShowAll, &QPushButton::clicked, this, &FrmStartup::cmdShowAll_Click);
}

FrmStartup::~FrmStartup() = default;

bool FrmStartup::formLoad(QDate today)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    const QRect screenPixels = screen ? screen->geometry() : QRect(0, 0, 800, 600);
    const Twips::Rect place = StartupLayout::windowRect(Twips::fromPixels(screenPixels.width()),
                                                        Twips::fromPixels(screenPixels.height()));
    setGeometry(Twips::toPixels(place).translated(screenPixels.topLeft()));

    Module1::TaskStore &store = m_context.store;
    store.setSortMode(Module1::ByDue);
    const Module1::LoadReport report = store.reloadInListOrder();
    // Told before any window appears, and even when none will.
    m_context.seam.reportLoadProblems(this, report);

    placeBrowser();
    return writeAndShowPage(store.tasks(), today);
}

bool FrmStartup::alertAgain(QDate today)
{
    // The order the start lists them in, without touching the table's own.
    const auto tasks = m_context.store.tasks();
    std::vector<Module1::Task> byDue(tasks.begin(), tasks.end());
    Module1::sortTaskList(byDue, Module1::ByDue);
    return writeAndShowPage(byDue, today);
}

void FrmStartup::showDueNow(std::span<const AlertPage::DueNowEntry> entries, QDate today)
{
    m_page = AlertPage::drawDueNow(entries, m_context.store.rules(), today, Preferences::remindAgainMinutes());
    m_pageView->showHtml(m_page.text);
}

bool FrmStartup::writeAndShowPage(std::span<const Module1::Task> tasks, QDate today)
{
    m_page = AlertPage::drawListed(tasks, m_context.store.rules(), today);
    m_pagePath = AlertPage::pageLocation();
    const AlertPage::WriteResult written = AlertPage::writePage(m_pagePath, m_page.text);
    m_pageProblem = written.ok ? QString() : written.reason;
    if (!m_page.anyListed)
        return false;

    if (written.ok) {
        const QUrl page = QUrl::fromLocalFile(m_pagePath);
        // Pointed at the same page again, the browser would keep what it
        // read the first time.
        if (m_pageView->source() == page)
            m_pageView->reload();
        else
            m_pageView->setSource(page, QTextDocument::HtmlResource);
    } else {
        // The page is only a view of the store: show it from memory instead.
        std::fprintf(stderr, "quorvi: could not write the alert page%s%s: %s; showing it from memory\n",
                     m_pagePath.isEmpty() ? "" : " ", qPrintable(m_pagePath), qPrintable(written.reason));
        m_pageView->showHtml(m_page.text);
    }
    return true;
}

FrmMain *FrmStartup::mainWindow()
{
    if (!m_frmMain) {
        m_frmMain = std::make_unique<FrmMain>(m_context);
        m_frmMain->formLoad();
    }
    return m_frmMain.get();
}

void FrmStartup::cmdExit_Click()
{
    if (m_inBackground) {
        close();
        return;
    }
    m_context.seam.endProgram(0);
}

void FrmStartup::cmdShowAll_Click()
{
    hide();
    FrmMain *frmMain = mainWindow();
    frmMain->show();
    frmMain->raise();
    frmMain->activateWindow();
}

void FrmStartup::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeBrowser();
}

void FrmStartup::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!m_inBackground || event->spontaneous())
        return;
    m_pageView->showHtml(QString());
#ifdef __GLIBC__
    // The allocator keeps freed memory for itself unless asked to give it back.
    malloc_trim(0);
#endif
}

void FrmStartup::placeBrowser()
{
    Twips::place(m_pageView,
                 StartupLayout::browserRect(Twips::fromPixels(width()), Twips::fromPixels(height())));
}
