// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmmain.h"

#include "clock.h"
#include "descriptionbox.h"
#include "emptylisthint.h"
#include "findtext.h"
#include "headerbutton.h"
#include "listcell.h"
#include "modal.h"
#include "module1.h"
#include "pausabletimer.h"
#include "preferences.h"
#include "rules.h"
#include "storecaption.h"
#include "syncrunner.h"
#include "twips.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QEvent>
#include <QFrame>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <numeric>
#include <optional>

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

// Rows given cells beyond the ones in view, above and below: an arrow
// click or a wheel notch then finds its rows ready.
constexpr int kSpareRows = 4;

int toScrollUnits(double twips)
{
    return qMax(1, int(twips / ListLayout::kTwipsPerScrollUnit));
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
    connect(m_timer1, &PausableTimer::timeout, this, &FrmMain::drawList);
    // Every reload and every confirmed edit, whoever made it, is redrawn.
    connect(&store(), &Module1::TaskStore::changed, this, &FrmMain::drawList);
    // At once, even with a dialog open: it edits a copy, which its Ok
    // merges with whatever the store holds by then.
    connect(&store(), &Module1::TaskStore::changedElsewhere, this, [this] {
        if (isVisible())
            followStoreFile();
    });

    applyGeometry();
    updateMinimumSize();
    // The list is what the window is for, so it has the keyboard first.
    m_pctContainer->setFocus();
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
    m_showDone = preferences().value(kShowDoneKey, false).toBool();
    showDone->setChecked(m_showDone);
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
    buildFindBar();
    stack->addWidget(m_findBar);
    // The list's own controls are laid out by hand, in twips, in what the
    // Find bar leaves; with the bar hidden that is the whole window.
    m_listArea = new QWidget(m_client);
    m_listArea->installEventFilter(this);
    stack->addWidget(m_listArea, 1);

    // Created first so it comes first in the focus chain.
    m_txtDescription = new DescriptionBox(m_listArea);
    m_txtDescription->setObjectName(QStringLiteral("txtDescription"));
    m_txtDescription->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont descriptionFont;
    descriptionFont.setFamilies({QStringLiteral("MS Sans Serif"), QApplication::font().family(),
                                 QStringLiteral("Sans Serif")});
    descriptionFont.setPointSizeF(9.75);
    descriptionFont.setWeight(QFont::Normal);
    m_txtDescription->setFont(descriptionFont);

    m_pctContainer = new QFrame(m_listArea);
    m_pctContainer->setObjectName(QStringLiteral("pctContainer"));
    m_pctContainer->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_pctContainer->setLineWidth(1);
    m_pctContainer->setBackgroundRole(QPalette::Dark); // the workspace colour
    m_pctContainer->setAutoFillBackground(true);
    // The list takes the keyboard (Tab or a click) and shows that it has it
    // by its border.
    m_pctContainer->setFocusPolicy(Qt::StrongFocus);
    m_pctContainer->installEventFilter(this);

    // Children are placed inside the border and clipped there.
    m_viewport = new QWidget(m_pctContainer);

    m_lstContainer = new QWidget(m_viewport);
    m_lstContainer->setObjectName(QStringLiteral("lstContainer"));
    m_lstContainer->setBackgroundRole(QPalette::Base);
    m_lstContainer->setAutoFillBackground(true);
    m_lstContainer->installEventFilter(this);

    m_vscroll = new QScrollBar(Qt::Vertical, m_viewport);
    m_vscroll->setObjectName(QStringLiteral("vscroll"));
    m_vscroll->setRange(0, 0);
    m_vscroll->raise();
    m_vscroll->installEventFilter(this);
    connect(m_vscroll, &QScrollBar::valueChanged, this, &FrmMain::vscrollChanged);

    auto makeHeader = [this](const char *name, const QString &caption, Module1::Column column) {
        auto *button = new HeaderButton(caption, m_lstContainer);
        button->setObjectName(QLatin1String(name));
        connect(button, &QPushButton::clicked, this, [this, column] { headerClicked(column); });
        button->installEventFilter(this);
        return button;
    };
    m_cmdTitle = makeHeader("cmdTitle", QStringLiteral("Title"), Module1::Column::Title);
    m_cmdFor = makeHeader("cmdFor", QStringLiteral("For"), Module1::Column::For);
    m_cmdDue = makeHeader("cmdDue", QStringLiteral("Due"), Module1::Column::Due);

    m_lblTitle = {makeCell(QStringLiteral("lblTitle"))};
    m_lblFor = {makeCell(QStringLiteral("lblFor"))};
    m_lblDue = {makeCell(QStringLiteral("lblDue"))};
    for (ListCell *cell : {m_lblTitle[0], m_lblFor[0], m_lblDue[0]}) {
        cell->setText(QStringLiteral(" "));
        cell->hide();
    }
    addEmptyListHint();
}

void FrmMain::updateMinimumSize()
{
    // Never so small that the heading and three rows cannot be seen, below
    // the Find bar when it shows.
    const Twips::Rect smallest = ListLayout::minimumClientArea();
    const int bar = m_findBar->isHidden() ? 0 : m_findBar->sizeHint().height();
    m_listArea->setMinimumSize(Twips::toPixels(smallest.width), Twips::toPixels(smallest.height));
    m_client->setMinimumSize(m_listArea->minimumWidth(), m_listArea->minimumHeight() + bar);
}

void FrmMain::buildFindBar()
{
    m_findBar = new QWidget(m_client);
    m_findBar->setObjectName(QStringLiteral("findBar"));
    auto *row = new QHBoxLayout(m_findBar);
    row->setContentsMargins(4, 2, 2, 2);
    auto *label = new QLabel(QStringLiteral("F&ind:"), m_findBar);
    m_txtFind = new QLineEdit(m_findBar);
    m_txtFind->setObjectName(QStringLiteral("txtFind"));
    m_txtFind->setPlaceholderText(QStringLiteral("Title, for or description"));
    m_txtFind->installEventFilter(this);
    label->setBuddy(m_txtFind);
    m_lblFindCount = new QLabel(m_findBar);
    m_lblFindCount->setObjectName(QStringLiteral("lblFindCount"));
    auto *close = new QToolButton(m_findBar);
    close->setObjectName(QStringLiteral("cmdFindClose"));
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setAutoRaise(true);
    close->setToolTip(QStringLiteral("Show every task (Esc)"));
    row->addWidget(label);
    row->addWidget(m_txtFind, 1);
    row->addWidget(m_lblFindCount);
    row->addWidget(close);
    connect(m_txtFind, &QLineEdit::textChanged, this, &FrmMain::setFindText);
    connect(close, &QToolButton::clicked, this, &FrmMain::closeFind);
    m_findBar->hide();
}

ListCell *FrmMain::makeCell(const QString &name)
{
    auto *cell = new ListCell(m_lstContainer);
    cell->setObjectName(name);
    connect(cell, &ListCell::pressed, this, &FrmMain::cellPressed);
    connect(cell, &ListCell::doubleClicked, this, &FrmMain::cellDoubleClicked);
    cell->installEventFilter(this);
    return cell;
}

void FrmMain::formLoad()
{
    // The order the list had when it was last used.
    store().setSortMode(Preferences::listOrder());
    showOrder();
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
    changeKeepingSelection([this, &report] { report = store().reloadInListOrder(); });
    ++m_follows;
    m_context.seam.reportLoadProblems(this, report);
}

Module1::TaskId FrmMain::selectedTask() const
{
    const int slot = slotOfRow(m_selectedRow);
    return slot >= 0 ? store().tasks()[std::size_t(slot)].id : 0;
}

void FrmMain::changeKeepingSelection(const std::function<void()> &change)
{
    // The task, not the row: a change made elsewhere may move it, and a
    // Delete must not fall on a different one. Gone is no selection.
    if (const Module1::TaskId id = selectedTask())
        m_keepSelected = id;
    change();
    m_keepSelected.reset();
}

void FrmMain::setSelectedRow(int row)
{
    m_selectedRow = row;
    const int slot = slotOfRow(row);
    m_selectedId = slot >= 0 ? store().tasks()[std::size_t(slot)].id : 0;
}

void FrmMain::drawList()
{
    // The task, not the row: whatever changed (an edit, a sort, an undo, a
    // change made elsewhere) may have moved it, and a Delete must not fall
    // on a task the user did not choose.
    const Module1::TaskId keep = m_keepSelected ? *m_keepSelected : m_selectedId;
    const int rowBefore = m_selectedRow;
    int remembered = m_selectedRow;
    store().sortTasks();
    m_haystackStale = true;
    chooseRows();
    if (keep != 0)
        remembered = rowOfSlot(store().slotOf(keep));
    m_selectedRow = remembered >= 1 && remembered <= rowCount() ? remembered : 0;
    if (m_selectedRow == 0)
        m_selectedId = 0; // gone, hidden or filtered out: nothing is selected
    showRows();
    // Still in view where the change moved it.
    if (m_selectedRow > 0 && m_selectedRow != rowBefore)
        bringIntoView(m_selectedRow);
    // Every reload and every save ends here.
    updateWindowCaption();
}

void FrmMain::showRows()
{
    // Every row may show another task now: the cells go back to the pool,
    // still on screen, and the rows in view take them again; what is left
    // over is hidden after, so no cell in view is hidden and shown again.
    for (int row = m_built.first; row <= m_built.last; ++row)
        releaseRow(row);
    m_built = {};
    const qsizetype members = qsizetype(rowCount()) + 1;
    for (QList<ListCell *> *cells : {&m_lblFor, &m_lblTitle, &m_lblDue})
        cells->resize(members, nullptr);

    m_geometry = ListLayout::fitPanel(m_geometry, rowCount());
    applyPanel();
    bindRows();
    hideSpareRows();

    if (m_selectedRow > 0)
        highlight(m_selectedRow);
    else
        m_txtDescription->clear(); // no row, so no task's description
    updateDoneCaptions();
    updateFindCount();
}

void FrmMain::chooseRows()
{
    const int shown = shownCount();
    m_rowSlots.resize(std::size_t(shown));
    std::iota(m_rowSlots.begin(), m_rowSlots.end(), 0);
    if (m_findFolded.isEmpty())
        return;
    // Folding every task's text is the dear part; it is done again only
    // when the tasks changed, not at every key typed into Find.
    if (m_haystackStale || m_findHaystack.size() != shown) {
        m_findHaystack.resize(shown);
        for (int slot = 0; slot < shown; ++slot)
            m_findHaystack[slot] = FindText::haystack(store().tasks()[std::size_t(slot)]);
        m_haystackStale = false;
    }
    std::erase_if(m_rowSlots, [this](int slot) { return !FindText::matches(m_findHaystack[slot], m_findFolded); });
}

int FrmMain::slotOfRow(int row) const
{
    return row >= 1 && row <= rowCount() ? m_rowSlots[std::size_t(row - 1)] : -1;
}

int FrmMain::rowOfSlot(int slot) const
{
    // The rows follow the table's order, so their slots only grow.
    const auto it = std::lower_bound(m_rowSlots.begin(), m_rowSlots.end(), slot);
    return it != m_rowSlots.end() && *it == slot ? int(it - m_rowSlots.begin()) + 1 : 0;
}

void FrmMain::bindRows()
{
    const ListLayout::RowSpan want = ListLayout::rowsInView(m_geometry, rowCount(), kSpareRows);
    if (want == m_built)
        return;
    for (int row = m_built.first; row <= m_built.last; ++row) {
        if (!want.contains(row))
            releaseRow(row);
    }
    const QDate today = Clock::today();
    for (int row = want.first; row <= want.last; ++row) {
        if (m_lblFor[row])
            continue;
        Row cells;
        if (!m_spare.isEmpty()) {
            cells = m_spare.takeLast();
        } else {
            cells = {makeCell(QStringLiteral("lblFor")), makeCell(QStringLiteral("lblTitle")),
                     makeCell(QStringLiteral("lblDue"))};
        }
        m_lblFor[row] = cells[0];
        m_lblTitle[row] = cells[1];
        m_lblDue[row] = cells[2];
        fillRow(row, cells, today);
    }
    m_built = want;
}

void FrmMain::fillRow(int row, const Row &cells, QDate today)
{
    const Module1::Task &t = store().tasks()[std::size_t(slotOfRow(row))];
    cells[0]->setText(t.forWhom);
    cells[1]->setText(t.title);
    cells[2]->setText(Rules::dueText(t));
    // A row starts from the template's look, then takes its rule colour and
    // weight. Worked out before touching the cells, so a reused cell changes
    // its font or palette at most once.
    const ListCell::Look look = lookOfRow(ListCell::Look{}, row, today);
    for (ListCell *cell : cells) {
        cell->setRow(row);
        cell->setLook(look);
    }
    placeRow(row);
    for (ListCell *cell : cells)
        cell->show();
}

void FrmMain::releaseRow(int row)
{
    const Row cells = {m_lblFor[row], m_lblTitle[row], m_lblDue[row]};
    if (!cells[0])
        return;
    for (ListCell *cell : cells)
        cell->setRow(0);
    m_spare.append(cells);
    m_lblFor[row] = m_lblTitle[row] = m_lblDue[row] = nullptr;
}

void FrmMain::hideSpareRows()
{
    for (const Row &cells : std::as_const(m_spare)) {
        for (ListCell *cell : cells) {
            if (!cell->isHidden())
                cell->hide();
        }
    }
}

int FrmMain::shownCount() const
{
    if (m_showDone)
        return store().taskCount();
    const auto live = store().tasks();
    return int(std::count_if(live.begin(), live.end(), [](const Module1::Task &t) { return !t.done; }));
}

void FrmMain::setShowDoneTasks(bool show)
{
    m_showDone = show;
    QSettings settings = preferences();
    settings.setValue(kShowDoneKey, show);
    if (auto *action = findChild<QAction *>(QStringLiteral("menu_showdone")))
        action->setChecked(show);
    drawList();
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

void FrmMain::cleanList()
{
    m_selectedId = 0;
    m_selectedRow = 0;
    m_rowSlots.clear();
    showRows();
}

void FrmMain::setColor(int index)
{
    if (!m_built.contains(index))
        return;
    const QDate today = Clock::today();
    for (ListCell *cell : {m_lblFor[index], m_lblTitle[index], m_lblDue[index]})
        cell->setLook(lookOfRow(cell->look(), index, today));
}

ListCell::Look FrmMain::lookOfRow(ListCell::Look look, int row, QDate today) const
{
    const int slot = slotOfRow(row);
    const Module1::Task *task = slot >= 0 ? &store().tasks()[std::size_t(slot)] : nullptr;
    look.opaque = false;
    look.background = 0;
    look.struck = task && task->done;
    if (look.struck) {
        // No rule colours a done task, and it is never bold.
        look.color = ListCell::kDoneText;
        look.bold = false;
    } else {
        const Rules::Choice choice = task ? Rules::choose(*task, store().rules(), today) : Rules::Choice{};
        look.color = choice.color;
        // With no rules at all the row keeps the weight it had.
        if (choice.ruleRan)
            look.bold = choice.dueOrLate;
    }
    if (row == m_selectedRow) {
        look.opaque = true;
        look.background = ListCell::kSelectedBackground;
        look.color = ListCell::kSelectedText;
    }
    return look;
}

void FrmMain::highlight(int index)
{
    if (index < 1 || index > rowCount())
        return;
    setSelectedRow(index);
    // Every row with cells goes back to its rule colour on a clear
    // background, the selected one excepted; only the cells whose look
    // actually changes are repainted.
    for (int row = m_built.first; row <= m_built.last; ++row)
        setColor(row);
    QString text = store().tasks()[std::size_t(slotOfRow(index))].description;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_txtDescription->setPlainText(text);
    updateDoneCaptions();
}

void FrmMain::showSlot(int slot)
{
    if (rowOfSlot(slot) == 0 && !m_findFolded.isEmpty())
        closeFind();
    if (const int row = rowOfSlot(slot); row > 0) {
        highlight(row);
        bringIntoView(row);
    }
}

bool FrmMain::findShown() const
{
    return !m_findBar->isHidden();
}

void FrmMain::openFind()
{
    m_findBar->show();
    updateMinimumSize();
    m_txtFind->setFocus(Qt::ShortcutFocusReason);
    m_txtFind->selectAll();
}

void FrmMain::closeFind()
{
    const int slot = slotOfRow(m_selectedRow);
    m_findBar->hide();
    updateMinimumSize();
    m_txtFind->clear(); // every task again, through setFindText
    m_pctContainer->setFocus(Qt::OtherFocusReason);
    // The task found stays selected, now among all the others.
    if (slot >= 0)
        bringIntoView(rowOfSlot(slot));
}

void FrmMain::setFindText(const QString &text)
{
    if (m_txtFind->text() != text)
        m_txtFind->setText(text); // comes back here
    const QString folded = FindText::fold(text);
    if (folded == m_findFolded)
        return;
    const int slot = slotOfRow(m_selectedRow);
    m_findFolded = folded;
    chooseRows();
    m_selectedRow = slot >= 0 ? rowOfSlot(slot) : 0;
    showRows();
    // The selected task where it is among those found, or else the first
    // of them.
    if (m_selectedRow > 0)
        bringIntoView(m_selectedRow);
    else
        m_vscroll->setValue(0);
}

void FrmMain::updateFindCount()
{
    if (m_findFolded.isEmpty()) {
        m_lblFindCount->clear();
        return;
    }
    const int found = rowCount();
    m_lblFindCount->setText(found == 0   ? QStringLiteral("No match")
                            : found == 1 ? QStringLiteral("1 match")
                                         : QStringLiteral("%1 matches").arg(QLocale().toString(found)));
}

void FrmMain::moveIntoList()
{
    m_pctContainer->setFocus(Qt::OtherFocusReason);
    if (m_selectedRow < 1 && rowCount() > 0) {
        highlight(1);
        bringIntoView(1);
    }
}

void FrmMain::bringIntoView(int index)
{
    if (index < 1 || index > rowCount())
        return;
    m_vscroll->setValue(ListLayout::scrollValueShowing(m_geometry, index));
}

void FrmMain::cellPressed(int row, Qt::MouseButton button, const QPoint &globalPos)
{
    if (row < 1)
        return;
    m_pctContainer->setFocus(Qt::MouseFocusReason);
    highlight(row);
    // Selected first, so the popup's commands act on the row under the mouse.
    if (button == Qt::RightButton)
        m_menuShort->popup(globalPos);
}

void FrmMain::cellDoubleClicked(int row)
{
    if (row < 1)
        return;
    highlight(row);
    editSelectedTask();
}

bool FrmMain::listKeyPressed(const QKeyEvent *event)
{
    using ListLayout::Move;
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    std::optional<Move> move;
    switch (event->key()) {
    case Qt::Key_Up: move = Move::Up; break;
    case Qt::Key_Down: move = Move::Down; break;
    case Qt::Key_PageUp: move = Move::PageUp; break;
    case Qt::Key_PageDown: move = Move::PageDown; break;
    case Qt::Key_Home: move = Move::First; break;
    case Qt::Key_End: move = Move::Last; break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        editSelectedTask();
        return true;
    case Qt::Key_Delete:
        deleteTask();
        return true;
    default:
        return false;
    }
    const int row = ListLayout::rowAfterMove(m_selectedRow, *move, rowCount(), ListLayout::rowsPerPage(m_geometry));
    if (row < 1)
        return true;
    highlight(row);
    m_vscroll->setValue(ListLayout::scrollValueShowing(m_geometry, row));
    return true;
}

void FrmMain::scrollByWheel(const QWheelEvent *event)
{
    // Three rows a notch, whatever modifier is held: the scroll bar alone
    // would turn Shift or Ctrl into a page at a time. A wheel turned sideways
    // (or Shift on some desktops) counts the same.
    constexpr int kNotch = 120;
    constexpr int kRowsPerNotch = 3;
    const QPoint delta = event->angleDelta();
    m_wheelRemainder += delta.y() != 0 ? delta.y() : delta.x();
    const int rows = m_wheelRemainder * kRowsPerNotch / kNotch;
    m_wheelRemainder -= rows * kNotch / kRowsPerNotch;
    if (rows != 0)
        m_vscroll->setValue(m_vscroll->value() - rows * m_vscroll->singleStep());
}

void FrmMain::showListFocus(bool focused)
{
    QPalette p = m_pctContainer->palette();
    p.setColor(QPalette::WindowText, focused ? palette().color(QPalette::Highlight) : palette().color(QPalette::WindowText));
    m_pctContainer->setPalette(p);
}

void FrmMain::headerClicked(Module1::Column column)
{
    store().setSortMode(Module1::nextSortMode(store().sortMode(), column));
    Preferences::setListOrder(store().sortMode());
    showOrder();
    drawList();
}

void FrmMain::vscrollChanged(int value)
{
    m_geometry.scrollValue = value;
    m_geometry.lstContainer.top = ListLayout::panelTop(value);
    m_lstContainer->move(Twips::toPixels(m_geometry.lstContainer.left), Twips::toPixels(m_geometry.lstContainer.top));
    // Rows that come into view take the cells of rows that left it.
    if (m_lblFor.size() == qsizetype(rowCount()) + 1) {
        bindRows();
        hideSpareRows();
    }
}

void FrmMain::formResize()
{
    const double outerWidth = Twips::fromPixels(m_listArea->width()) + ListLayout::kOuterExtraWidth;
    const double outerHeight = Twips::fromPixels(m_listArea->height()) + ListLayout::kOuterExtraHeight;
    m_geometry = ListLayout::formResize(m_geometry, outerWidth, outerHeight, rowCount()).geometry;
    applyGeometry();
}

void FrmMain::placeRow(int row)
{
    const double top = ListLayout::rowTop(m_geometry, row);
    const auto place = [top](ListCell *cell, const Twips::Rect &column) {
        Twips::place(cell, column.left, top, column.width, column.height);
    };
    place(m_lblFor[row], m_geometry.lblFor);
    place(m_lblTitle[row], m_geometry.lblTitle);
    place(m_lblDue[row], m_geometry.lblDue);
}

void FrmMain::applyGeometry()
{
    const ListLayout::Geometry &g = m_geometry;
    Twips::place(m_pctContainer, g.pctContainer);
    m_viewport->setGeometry(m_pctContainer->contentsRect());
    Twips::place(m_txtDescription, g.txtDescription);

    // The scroll bar is as tall as the whole viewport; inside the border it
    // would lose its lower arrow, so it stops where the border begins.
    QRect bar = Twips::toPixels(g.vscroll);
    bar.setHeight(qMin(bar.height(), m_viewport->height() - bar.top()));
    bar.moveLeft(qMin(bar.left(), m_viewport->width() - bar.width()));
    m_vscroll->setGeometry(bar);

    Twips::place(m_cmdTitle, g.cmdTitle);
    Twips::place(m_cmdFor, g.cmdFor);
    Twips::place(m_cmdDue, g.cmdDue);
    Twips::place(m_lblTitle[0], g.lblTitle);
    Twips::place(m_lblFor[0], g.lblFor);
    Twips::place(m_lblDue[0], g.lblDue);
    for (int row = m_built.first; row <= m_built.last; ++row)
        placeRow(row);
    applyPanel();
    // A taller viewport shows more rows at the same scroll value.
    if (m_lblFor.size() == qsizetype(rowCount()) + 1) {
        bindRows();
        hideSpareRows();
    }
}

void FrmMain::applyPanel()
{
    const ListLayout::Geometry &g = m_geometry;
    m_vscroll->setSingleStep(toScrollUnits(g.lblFor.height));
    m_vscroll->setPageStep(toScrollUnits(g.pctContainer.height));
    // The bar pulls its value into the new range itself; that moves the
    // panel through vscrollChanged.
    m_vscroll->setMaximum(g.scrollMax);
    m_vscroll->setValue(g.scrollValue);
    Twips::place(m_lstContainer, m_geometry.lstContainer);
}

bool FrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_listArea && event->type() == QEvent::Resize) {
        formResize();
    } else if (watched == m_txtFind) {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            switch (key->key()) {
            case Qt::Key_Escape: closeFind(); return true;
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Down: moveIntoList(); return true;
            default: break;
            }
        }
    } else if (event->type() == QEvent::Wheel && watched != m_listArea) {
        // The wheel anywhere over the rows scrolls them, as over the bar.
        // Caught on each cell too: a wheel event that is not the user's own
        // does not travel up to the panel.
        scrollByWheel(static_cast<QWheelEvent *>(event));
        return true;
    } else if (watched == m_pctContainer) {
        if (event->type() == QEvent::KeyPress && listKeyPressed(static_cast<QKeyEvent *>(event)))
            return true;
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
            showListFocus(event->type() == QEvent::FocusIn);
    }
    return QMainWindow::eventFilter(watched, event);
}
