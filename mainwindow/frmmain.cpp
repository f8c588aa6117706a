// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmmain.h"

#include "findbar.h"
#include "modal.h"
#include "module1.h"
#include "pausabletimer.h"
#include "preferences.h"
#include "storecaption.h"
#include "syncrunner.h"
#include "twips.h"

#include <QAction>
#include <QBoxLayout>
#include <QEvent>
#include <QHideEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

namespace {

constexpr double kDesignClientWidth = 8520;
constexpr double kDesignClientHeight = 5010;

// The desktop's key for a standard command, or `fallback` where the desktop
// names none (Quit has no key in some schemes, and then Exit would have none).
QKeySequence standardKey(QKeySequence::StandardKey key, const QKeySequence &fallback)
{
    const QKeySequence standard(key);
    return standard.isEmpty() ? fallback : standard;
}

constexpr QLatin1StringView kShowDoneKey("list/showDoneTasks");

QSettings preferences()
{
    return Preferences::settings();
}

} // namespace

FrmMain::FrmMain(const Context &context, QWidget *parent) : QMainWindow(parent), m_context(context)
{
    setObjectName(QStringLiteral("frmMain"));
    updateWindowCaption();

    buildMenus();
    buildControls();
    connectCommands();

    m_timer1 = new PausableTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    connect(m_timer1, &PausableTimer::timeout, m_list, &TaskList::drawList);
    // Every reload and every confirmed edit, whoever made it, is redrawn.
    connect(&store(), &Module1::TaskStore::changed, m_list, &TaskList::drawList);
    // At once, even with a dialog open: it edits a copy, which its Ok
    // merges with whatever the store holds by then.
    connect(&store(), &Module1::TaskStore::changedElsewhere, this, [this] {
        if (isVisible())
            followStoreFile();
    });

    updateMinimumSize();
    // The list is what the window is for, so it has the keyboard first.
    m_list->focusList(Qt::OtherFocusReason);
    resize(Twips::toPixels(kDesignClientWidth),
           Twips::toPixels(kDesignClientHeight) + menuBar()->sizeHint().height());
}

void FrmMain::buildMenus()
{
    QMenu *tasksMenu = menuBar()->addMenu(QStringLiteral("&Tasks"));
    tasksMenu->setObjectName(QStringLiteral("Menu_Tasks"));
    auto addEntry = [](QMenu *menu, const char *name, const QString &caption) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    addEntry(tasksMenu, "menu_new", QStringLiteral("&New Task..."))
        ->setShortcut(standardKey(QKeySequence::New, Qt::CTRL | Qt::Key_N));
    addEntry(tasksMenu, "menu_modify", QStringLiteral("&Edit..."));
    addEntry(tasksMenu, "menu_delete", QStringLiteral("&Delete"));
    m_markDone[0] = addEntry(tasksMenu, "menu_done", QStringLiteral("&Mark Done"));
    QAction *findSeparator = tasksMenu->addSeparator();
    findSeparator->setObjectName(QStringLiteral("menu_sep_find"));
    buildHistory(tasksMenu, findSeparator);
    addEntry(tasksMenu, "menu_find", QStringLiteral("&Find..."))
        ->setShortcut(standardKey(QKeySequence::Find, Qt::CTRL | Qt::Key_F));
    tasksMenu->addSeparator()->setObjectName(QStringLiteral("menu_sep_files"));
    addEntry(tasksMenu, "menu_export", QStringLiteral("E&xport..."));
    addEntry(tasksMenu, "menu_import", QStringLiteral("&Import..."));
    m_syncEntries[0] = addEntry(tasksMenu, "menu_syncnow", QStringLiteral("S&ync Now"));
    tasksMenu->addSeparator()->setObjectName(QStringLiteral("menu_sep"));
    addEntry(tasksMenu, "menu_exi", QStringLiteral("&Exit"))
        ->setShortcut(standardKey(QKeySequence::Quit, Qt::CTRL | Qt::Key_Q));

    QMenu *optionsMenu = menuBar()->addMenu(QStringLiteral("&Options"));
    optionsMenu->setObjectName(QStringLiteral("menu_options"));
    addEntry(optionsMenu, "menu_manage", QStringLiteral("&Colors And Alerts"));
    QAction *showDone = addEntry(optionsMenu, "menu_showdone", QStringLiteral("Show &Done Tasks"));
    showDone->setCheckable(true);
    showDone->setChecked(preferences().value(kShowDoneKey, false).toBool());
    buildRemindAgainMenu(optionsMenu);
    m_syncEntries[1] = addEntry(optionsMenu, "menu_syncaccount", QStringLiteral("&Sync Account..."));
    // The last sync's time and result rest on both sync entries.
    tasksMenu->setToolTipsVisible(true);
    optionsMenu->setToolTipsVisible(true);
    if (m_context.sync) {
        showSyncResult(m_context.sync->lastResult());
        connect(m_context.sync, &Sync::Runner::resultChanged, this, &FrmMain::showSyncResult);
        connect(m_syncEntries[0], &QAction::triggered, m_context.sync, &Sync::Runner::syncNow);
    }

    QMenu *helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    helpMenu->setObjectName(QStringLiteral("menu_help"));
    addEntry(helpMenu, "menu_about", QStringLiteral("&About"))
        ->setShortcut(standardKey(QKeySequence::HelpContents, Qt::Key_F1));

    // The rows' popup menu; it never appears in the menu bar.
    m_menuShort = new QMenu(QStringLiteral("&submenu"), this);
    m_menuShort->setObjectName(QStringLiteral("menu_short"));
    addEntry(m_menuShort, "menu_modify2", QStringLiteral("&Edit..."));
    addEntry(m_menuShort, "menu_delete2", QStringLiteral("&Delete"));
    m_markDone[1] = addEntry(m_menuShort, "menu_done2", QStringLiteral("&Mark Done"));
}

void FrmMain::buildControls()
{
    m_client = new QWidget(this);
    setCentralWidget(m_client);
    auto *stack = new QVBoxLayout(m_client);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    m_findBar = new FindBar(m_client);
    m_findBar->hide();
    stack->addWidget(m_findBar);
    // The list's own controls are laid out by hand, in twips, in what the
    // Find bar leaves; with the bar hidden that is the whole window.
    m_list = new TaskList(store(), m_client);
    m_list->setShowDoneTasks(findChild<QAction *>(QStringLiteral("menu_showdone"))->isChecked());
    stack->addWidget(m_list, 1);
    connectList();
    addEmptyListHint();
}

void FrmMain::connectList()
{
    connect(m_list, &TaskList::editRequested, this, &FrmMain::editSelectedTask);
    connect(m_list, &TaskList::deleteRequested, this, &FrmMain::deleteTask);
    connect(m_list, &TaskList::popupRequested, m_menuShort, [this](const QPoint &at) { m_menuShort->popup(at); });
    connect(m_list, &TaskList::selectionShown, this, &FrmMain::updateDoneCaptions);
    connect(m_list, &TaskList::rowsShown, m_findBar,
            [this](int rows) { m_findBar->showCount(rows, m_list->filtering()); });
    connect(m_list, &TaskList::drawn, this, &FrmMain::updateWindowCaption);
    connect(m_findBar, &FindBar::textChanged, this, &FrmMain::setFindText);
    connect(m_findBar, &FindBar::closeRequested, this, &FrmMain::closeFind);
    connect(m_findBar, &FindBar::intoListRequested, m_list, &TaskList::moveIntoList);
}

void FrmMain::updateMinimumSize()
{
    // Never so small that the heading and three rows cannot be seen, below
    // the Find bar when it shows.
    const Twips::Rect smallest = ListLayout::minimumClientArea();
    const int bar = m_findBar->isHidden() ? 0 : m_findBar->sizeHint().height();
    m_list->setMinimumSize(Twips::toPixels(smallest.width), Twips::toPixels(smallest.height));
    m_client->setMinimumSize(m_list->minimumWidth(), m_list->minimumHeight() + bar);
}

void FrmMain::formLoad()
{
    // The order the list had when it was last used.
    store().setSortMode(Preferences::listOrder());
    m_list->showOrder();
    if (store().loaded() && !store().storeChangedElsewhere()) {
        drawList();
        return;
    }
    // The reload is announced, and the list drawn, on the way.
    const Module1::LoadReport report = store().reloadInListOrder();
    m_context.seam.reportLoadProblems(this, report);
}

void FrmMain::showEvent(QShowEvent *event)
{
    updateWindowCaption();
    QMainWindow::showEvent(event);
    store().follow(true);
}

bool FrmMain::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        updateWindowCaption();
    return QMainWindow::event(event);
}

void FrmMain::updateWindowCaption()
{
    setWindowTitle(storeCaption(QStringLiteral("Quorvi")));
}

void FrmMain::hideEvent(QHideEvent *event)
{
    QMainWindow::hideEvent(event);
    // Minimised is still open: the list keeps following the file.
    if (event->spontaneous())
        return;
    store().follow(false);
}

void FrmMain::followStoreFile()
{
    if (!store().storeChangedElsewhere())
        return;
    Module1::LoadReport report;
    m_list->changeKeepingSelection([this, &report] { report = store().reloadInListOrder(); });
    ++m_follows;
    m_context.seam.reportLoadProblems(this, report);
}

void FrmMain::setShowDoneTasks(bool show)
{
    QSettings settings = preferences();
    settings.setValue(kShowDoneKey, show);
    if (auto *action = findChild<QAction *>(QStringLiteral("menu_showdone")))
        action->setChecked(show);
    m_list->setShowDoneTasks(show);
    m_list->drawList();
}

void FrmMain::updateDoneCaptions()
{
    const Module1::Task *selected = store().find(selectedTask());
    const bool done = selected && selected->done;
    // Kept at hand: looking the actions up among thousands of cells at every
    // click would cost more than the highlight itself.
    for (QAction *action : m_markDone)
        action->setText(done ? QStringLiteral("&Mark Not Done") : QStringLiteral("&Mark Done"));
}

void FrmMain::showSlot(int slot)
{
    if (rowOfSlot(slot) == 0 && m_list->filtering())
        closeFind();
    m_list->selectSlot(slot);
}

bool FrmMain::findShown() const
{
    return !m_findBar->isHidden();
}

QLineEdit *FrmMain::findBox() const
{
    return m_findBar->textBox();
}

void FrmMain::openFind()
{
    m_findBar->show();
    updateMinimumSize();
    findBox()->setFocus(Qt::ShortcutFocusReason);
    findBox()->selectAll();
}

void FrmMain::closeFind()
{
    const int slot = slotOfRow(selectedRow());
    m_findBar->hide();
    updateMinimumSize();
    findBox()->clear(); // every task again, through setFindText
    m_list->focusList(Qt::OtherFocusReason);
    // The task found stays selected, now among all the others.
    if (slot >= 0)
        bringIntoView(rowOfSlot(slot));
}

void FrmMain::setFindText(const QString &text)
{
    if (findBox()->text() != text)
        findBox()->setText(text); // comes back here
    m_list->setFilter(text);
}
