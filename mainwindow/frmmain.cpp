// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmmain.h"

#include "clock.h"
#include "descriptionbox.h"
#include "emptylisthint.h"
#include "headerbutton.h"
#include "listcell.h"
#include "modal.h"
#include "module1.h"
#include "pausabletimer.h"
#include "preferences.h"
#include "rules.h"
#include "storecaption.h"
#include "twips.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QWheelEvent>
#include <QFrame>
#include <QHideEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTimer>

#include <algorithm>
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
    // Never so small that the heading and three rows cannot be seen.
    const Twips::Rect smallest = ListLayout::minimumClientArea();
    m_client->setMinimumSize(Twips::toPixels(smallest.width), Twips::toPixels(smallest.height));
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
    QAction *files = tasksMenu->addSeparator();
    files->setObjectName(QStringLiteral("menu_sep_files"));
    buildHistory(tasksMenu, files);
    addEntry(tasksMenu, "menu_export", QStringLiteral("E&xport..."));
    addEntry(tasksMenu, "menu_import", QStringLiteral("&Import..."));
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
    m_client->installEventFilter(this);

    // Created first so it comes first in the focus chain.
    m_txtDescription = new DescriptionBox(m_client);
    m_txtDescription->setObjectName(QStringLiteral("txtDescription"));
    m_txtDescription->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont descriptionFont;
    descriptionFont.setFamilies({QStringLiteral("MS Sans Serif"), QApplication::font().family(),
                                 QStringLiteral("Sans Serif")});
    descriptionFont.setPointSizeF(9.75);
    descriptionFont.setWeight(QFont::Normal);
    m_txtDescription->setFont(descriptionFont);

    m_pctContainer = new QFrame(m_client);
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

ListCell *FrmMain::makeCell(const QString &name)
{
    auto *cell = new ListCell(m_lstContainer);
    cell->setObjectName(name);
    connect(cell, &ListCell::pressed, this, &FrmMain::cellPressed);
    connect(cell, &ListCell::doubleClicked, this, &FrmMain::cellDoubleClicked);
    cell->installEventFilter(this);
    cell->setAttribute(Qt::WA_UpdatesDisabled, m_cellsQuiet);
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
    if (m_selectedRow < 1 || m_selectedRow > store().taskCount())
        return 0;
    return store().tasks()[std::size_t(m_selectedRow - 1)].id;
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
    m_selectedId = row >= 1 && row <= store().taskCount() ? store().tasks()[std::size_t(row - 1)].id : 0;
}

void FrmMain::drawList()
{
    // The task, not the row: whatever changed (an edit, a sort, an undo, a
    // change made elsewhere) may have moved it, and a Delete must not fall
    // on a task the user did not choose.
    const Module1::TaskId keep = m_keepSelected ? *m_keepSelected : m_selectedId;
    const int rowBefore = m_selectedRow;
    int remembered = m_selectedRow;
    // Cells far outside the viewport still queue a repaint of their own when
    // their text or font changes, and thousands of those cost far more than
    // the redraw itself; they stay quiet and the visible part is repainted once.
    setCellsQuiet(true);
    // The old rows stay on screen until the new ones have taken their cells,
    // so a redraw does not hide and show every cell again.
    detachRows(false);
    store().sortTasks();
    // Done tasks are at the table's end, so the rows shown are its start.
    const int shown = shownCount();
    if (keep != 0)
        remembered = store().slotOf(keep) + 1;
    if (remembered >= 1 && remembered <= shown)
        m_selectedRow = remembered;
    else
        m_selectedId = 0; // gone, or hidden now: nothing is selected

    for (int i = 0; i < shown; ++i) {
        const Module1::Task &t = store().tasks()[std::size_t(i)];
        addListTask(t.title, t.forWhom, Rules::dueText(t));
    }
    hideSpareRows();
    setCellsQuiet(false);

    m_geometry = ListLayout::fitPanel(m_geometry, shown);
    applyPanel();

    if (m_selectedRow > 0) {
        highlight(m_selectedRow);
        // Still in view where the change moved it.
        if (m_selectedRow != rowBefore)
            bringIntoView(m_selectedRow);
    } else {
        m_txtDescription->clear(); // no row, so no task's description
    }
    updateDoneCaptions();
    // Every reload and every save ends here.
    updateWindowCaption();
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

void FrmMain::addListTask(const QString &wtitle, const QString &wfor, const QString &wdue)
{
    const int n = int(m_lblFor.size());
    Row row;
    if (!m_spare.isEmpty()) {
        row = m_spare.takeLast();
    } else {
        row = {makeCell(QStringLiteral("lblFor")), makeCell(QStringLiteral("lblTitle")),
               makeCell(QStringLiteral("lblDue"))};
    }
    m_lblFor.append(row[0]);
    m_lblTitle.append(row[1]);
    m_lblDue.append(row[2]);

    row[0]->setText(wfor);
    row[1]->setText(wtitle);
    row[2]->setText(wdue);
    // A new row starts from the template's look, then takes its rule colour
    // and weight. Worked out before touching the cells, so a reused cell
    // changes its font or palette at most once.
    const ListCell::Look look = lookOfRow(ListCell::Look{}, n, Clock::today());
    for (ListCell *cell : row) {
        cell->setRow(n);
        cell->setLook(look);
    }
    placeRow(n);
    for (ListCell *cell : row)
        cell->show();
}

void FrmMain::cleanList()
{
    m_selectedId = 0;
    detachRows(true);
}

void FrmMain::detachRows(bool hideNow)
{
    m_selectedRow = 0;
    // Highest row first, so the pool hands row 1's cells out first again.
    for (int i = int(m_lblFor.size()) - 1; i >= 1; --i) {
        Row row = {m_lblFor.takeLast(), m_lblTitle.takeLast(), m_lblDue.takeLast()};
        for (ListCell *cell : row) {
            cell->setRow(0);
            if (hideNow)
                cell->hide();
        }
        m_spare.append(row);
    }
}

void FrmMain::setCellsQuiet(bool quiet)
{
    // The plain attribute, not setUpdatesEnabled(): switching updates back
    // on that way makes every cell ask for a repaint again.
    m_cellsQuiet = quiet;
    const auto setQuiet = [quiet](ListCell *cell) { cell->setAttribute(Qt::WA_UpdatesDisabled, quiet); };
    for (int i = 1; i < int(m_lblFor.size()); ++i) {
        setQuiet(m_lblFor[i]);
        setQuiet(m_lblTitle[i]);
        setQuiet(m_lblDue[i]);
    }
    for (const Row &row : std::as_const(m_spare)) {
        for (ListCell *cell : row)
            setQuiet(cell);
    }
    if (!quiet)
        m_lstContainer->update(m_lstContainer->visibleRegion().boundingRect());
}

void FrmMain::hideSpareRows()
{
    for (const Row &row : std::as_const(m_spare)) {
        for (ListCell *cell : row)
            cell->hide();
    }
}

void FrmMain::setColor(int index)
{
    if (index < 1 || index >= int(m_lblFor.size()))
        return;
    const QDate today = Clock::today();
    for (ListCell *cell : {m_lblFor[index], m_lblTitle[index], m_lblDue[index]})
        cell->setLook(lookOfRow(cell->look(), index, today));
}

ListCell::Look FrmMain::lookOfRow(ListCell::Look look, int row, QDate today) const
{
    // A row appended by hand beyond the table has no task to colour it by.
    const Module1::Task *task = row >= 1 && row <= store().taskCount() ? &store().tasks()[std::size_t(row - 1)] : nullptr;
    look.struck = task && task->done;
    if (look.struck) {
        // No rule colours a done task, and it is never bold.
        look.color = ListCell::kDoneText;
        look.bold = false;
        return look;
    }
    const Rules::Choice choice = task ? Rules::choose(*task, store().rules(), today) : Rules::Choice{};
    look.color = choice.color;
    // With no rules at all the row keeps the weight it had.
    if (choice.ruleRan)
        look.bold = choice.dueOrLate;
    return look;
}

void FrmMain::highlight(int index)
{
    if (index < 1 || index >= int(m_lblFor.size()) || index > Module1::kTaskSlots)
        return;
    setSelectedRow(index);
    const QDate today = Clock::today();
    // Every row goes back to its rule colour on a clear background; only the
    // cells whose look actually changes are repainted.
    for (int i = 1; i < int(m_lblFor.size()); ++i) {
        for (ListCell *cell : {m_lblFor[i], m_lblTitle[i], m_lblDue[i]}) {
            ListCell::Look look = cell->look();
            look.opaque = false;
            look.background = 0;
            look = lookOfRow(look, i, today);
            if (i == index) {
                look.opaque = true;
                look.background = ListCell::kSelectedBackground;
                look.color = ListCell::kSelectedText;
            }
            cell->setLook(look);
        }
    }
    // A row appended by hand beyond the table has no description.
    QString text = index <= store().taskCount() ? store().tasks()[std::size_t(index - 1)].description : QString();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_txtDescription->setPlainText(text);
    updateDoneCaptions();
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
}

void FrmMain::formResize()
{
    const double outerWidth = Twips::fromPixels(m_client->width()) + ListLayout::kOuterExtraWidth;
    const double outerHeight = Twips::fromPixels(m_client->height()) + ListLayout::kOuterExtraHeight;
    m_geometry = ListLayout::formResize(m_geometry, outerWidth, outerHeight, shownCount()).geometry;
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
    for (int i = 1; i < int(m_lblFor.size()); ++i)
        placeRow(i);
    applyPanel();
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
    if (watched == m_client && event->type() == QEvent::Resize) {
        formResize();
    } else if (event->type() == QEvent::Wheel && watched != m_client) {
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
