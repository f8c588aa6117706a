// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "context.h"
#include "listcell.h"
#include "listlayout.h"
#include "module1.h"
#include "rules.h"
#include "taskundo.h"

#include <QList>
#include <QMainWindow>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class FrmAlerts;
class HeaderButton;
class FrmTask;
class QAction;
class QKeyEvent;
class QWheelEvent;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QUndoStack;
class PausableTimer;

// The task list window: one row of three cells per task, coloured by the
// rules, selectable, ordered by the header buttons and scrolled inside a
// clipping viewport, with the selected task's description below. Only the
// rows in view (and a few more) have cells; scrolling hands the cells of
// rows that leave the view to the rows that come into it. The Find bar
// above the list narrows the rows to the tasks that contain a text.
class FrmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit FrmMain(const Context &context, QWidget *parent = nullptr);

    // Form_Load: order by due date and draw the list. The store is read
    // only when it was not read yet or the file changed since: "Show
    // all..." shows what the alert window just read.
    void formLoad();

    // Orders the store, works out which tasks the rows show and gives the
    // rows in view their cells again. The selection stays on the same row
    // position when that row still exists.
    void drawList();
    // Takes the cells from every row and clears the selection.
    void cleanList();
    // Gives row `index` the rule colour and weight of its task.
    void setColor(int index);
    // Selects row `index` (from 1) and shows its description.
    void highlight(int index);
    // Scrolls the list so that row `index` is in view.
    void bringIntoView(int index);

    // The selected row number, 0 when none. Setting it only changes the
    // number; highlight() also marks the row and shows its description.
    int selectedRow() const { return m_selectedRow; }
    void setSelectedRow(int row);

    // Number of rows in the list (with or without cells).
    int rowCount() const { return int(m_rowSlots.size()); }
    // The table slot row `row` (from 1) shows; -1 for no such row.
    int slotOfRow(int row) const;
    // The row that shows table slot `slot`; 0 when none does (hidden as
    // done, or left out by Find).
    int rowOfSlot(int slot) const;
    // The rows that have cells now: those in view and a few on either side.
    ListLayout::RowSpan builtRows() const { return m_built; }
    // Selects the row of table slot `slot` and scrolls it into view; a task
    // that Find leaves out makes Find show every task again first.
    void showSlot(int slot);

    // Find: the bar above the list, and the text it narrows the list to
    // (empty: every task).
    void openFind();
    void closeFind();
    void setFindText(const QString &text);
    bool findShown() const;
    QLineEdit *findBox() const { return m_txtFind; }

    // Whether done tasks are shown (at the end of the list); remembered
    // between starts.
    bool showsDoneTasks() const { return m_showDone; }
    void setShowDoneTasks(bool show);
    // The tasks the list shows: all of them, or those not done.
    int shownCount() const;

    // The cell arrays, by row number; member 0 of each is the hidden
    // template, and rows without cells (out of view) hold null.
    const QList<ListCell *> &lblTitle() const { return m_lblTitle; }
    const QList<ListCell *> &lblFor() const { return m_lblFor; }
    const QList<ListCell *> &lblDue() const { return m_lblDue; }

    PausableTimer *timer1() const { return m_timer1; }
    Module1::TaskStore &store() const { return m_context.store; }

    // Reads the store again after another program changed it: the list is
    // redrawn in the current order and the selected task stays selected
    // where it is still there. Does nothing when the file is still what the
    // store last read or wrote. Dialogs hold copies, so this never waits.
    void followStoreFile();
    // Runs a change of the tables that announces itself, and keeps the
    // selected task selected (found by its id) wherever the redraw puts
    // it, rather than the row: for changes the user did not make here.
    void changeKeepingSelection(const std::function<void()> &change);
    // The task of the selected row, or 0.
    Module1::TaskId selectedTask() const;
    // How often the list was reloaded for a change made elsewhere.
    int follows() const { return m_follows; }
    QMenu *shortMenu() const { return m_menuShort; }
    // The steps Undo and Redo go through.
    QUndoStack *history() const { return m_history; }

    // The controls' geometry in twips as last laid out.
    const ListLayout::Geometry &layoutGeometry() const { return m_geometry; }

    // Form_Resize: lays the controls out for the current client area.
    void formResize();

    // The menu commands.
    void newTask();
    void editSelectedTask();
    void editPressedTask();
    // Removes the selected task, without asking, and saves the store (also
    // when nothing was selected).
    void deleteTask();
    // Marks the selected task done, or not done again; a repeating task
    // moves on to its next occurrence instead. Saves the store.
    void markDone();
    // Every task to an iCalendar file, or the tasks of one into the list
    // (added, or updated where they came from here); both ask for the file.
    void exportTasks();
    void importTasks();
    // The account of this folder's sync with a calendar server.
    void editSyncAccount();
    void manageRules();
    void showAbout();
    void exitProgram();

    // The dialogs, created on first use and hidden, never destroyed, after it.
    FrmTask *frmTask();
    FrmAlerts *frmAlerts();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The store file is followed while the list shows.
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    // Coming back to the window: tasks.txt may have been made read-only,
    // or writable again, meanwhile.
    bool event(QEvent *event) override;

private:
    using Row = std::array<ListCell *, 3>; // for, title, due

    void buildControls();
    void buildMenus();
    void connectCommands();
    void buildFindBar();
    void updateMinimumSize();
    ListCell *makeCell(const QString &name);
    // A row's look from its task: the rules' colour and weight, or a done
    // task's grey and stroke, and the selection's colours on the selected row.
    ListCell::Look lookOfRow(ListCell::Look look, int row, QDate today) const;
    // Gives the rows in view cells, taking them from rows that left it.
    void bindRows();
    void fillRow(int row, const Row &cells, QDate today);
    // Moves a row's cells into the pool, left on screen for now.
    void releaseRow(int row);
    void hideSpareRows();
    // The rows and their cells, the panel and the selection, for the rows
    // chosen.
    void showRows();
    // Enter or Down in Find: the keyboard goes to the list.
    void moveIntoList();
    // The table slots the rows show, in order: the tasks shown (done ones
    // only when asked), narrowed by Find.
    void chooseRows();
    void updateFindCount();
    void placeRow(int row);
    void applyGeometry();
    void applyPanel();
    void cellPressed(int row, Qt::MouseButton button, const QPoint &globalPos);
    void cellDoubleClicked(int row);
    // Keys on the focused list; false for keys it leaves alone.
    bool listKeyPressed(const QKeyEvent *event);
    void scrollByWheel(const QWheelEvent *event);
    void showListFocus(bool focused);
    void updateDoneCaptions();
    // "Quorvi", or that with word of a read-only tasks.txt.
    void updateWindowCaption();
    void headerClicked(Module1::Column column);
    // The heading of the current order shows its direction (listorder.cpp).
    void showOrder();
    void addEmptyListHint();
    // Options > Remind Again After: how long a reminder is put off.
    void buildRemindAgainMenu(QMenu *options);
    // Undo and Redo (history.cpp), put in the Tasks menu before `before`.
    void buildHistory(QMenu *tasksMenu, QAction *before);
    TaskUndo::Tell tellUndo();
    // A change made here, for Undo: the task before (none: added) and after
    // (none: deleted); the rules as they were before the rules' Ok.
    void remember(const QString &text, std::optional<Module1::Task> before, std::optional<Module1::Task> after);
    void rememberRules(std::vector<Module1::AlertRule> before);
    void undoStep();
    void redoStep();
    void stepAndSelect(int index, const std::function<void()> &step);
    // Runs the task editor, and remembers what its Ok committed.
    void runEditor(FrmTask *editor);
    // Selects the task and scrolls to it, where the list shows it.
    void selectTask(Module1::TaskId id);
    void vscrollChanged(int value);

    Context m_context;
    ListLayout::Geometry m_geometry;
    int m_selectedRow = 0;
    // The task on the selected row: after a redraw, whatever moved it, the
    // selection is where that task is now.
    Module1::TaskId m_selectedId = 0;
    QUndoStack *m_history = nullptr;
    TaskUndo::Ids m_undoIds;
    bool m_showDone = false;
    int m_wheelRemainder = 0; // eighths of a degree not yet turned into rows

    QWidget *m_client = nullptr;
    QWidget *m_listArea = nullptr; // everything below the Find bar
    QWidget *m_findBar = nullptr;
    QLineEdit *m_txtFind = nullptr;
    QLabel *m_lblFindCount = nullptr;
    // What Find looks for, folded; and the folded text of each shown task,
    // in table order, kept while the text is typed.
    QString m_findFolded;
    QList<QString> m_findHaystack;
    bool m_haystackStale = true;
    QFrame *m_pctContainer = nullptr;
    QWidget *m_viewport = nullptr; // the part of pctContainer inside its border
    QWidget *m_lstContainer = nullptr;
    QScrollBar *m_vscroll = nullptr;
    HeaderButton *m_cmdTitle = nullptr;
    HeaderButton *m_cmdFor = nullptr;
    HeaderButton *m_cmdDue = nullptr;
    QPlainTextEdit *m_txtDescription = nullptr;
    PausableTimer *m_timer1 = nullptr;
    std::optional<Module1::TaskId> m_keepSelected; // while changeKeepingSelection runs
    int m_follows = 0;
    QMenu *m_menuShort = nullptr;
    // Mark Done in the Tasks menu and in the rows' popup; their captions
    // follow the selected task.
    std::array<QAction *, 2> m_markDone{};
    std::array<QAction *, 2> m_syncEntries{}; // Sync Now, Sync Account...
    void showSyncResult(const QString &lastResult);
    FrmTask *m_frmTask = nullptr;
    FrmAlerts *m_frmAlerts = nullptr;

    // Row n shows table slot m_rowSlots[n - 1].
    std::vector<int> m_rowSlots;
    ListLayout::RowSpan m_built;
    QList<ListCell *> m_lblTitle;
    QList<ListCell *> m_lblFor;
    QList<ListCell *> m_lblDue;
    // Cells no row in view needs now, hidden, for the next rows to take.
    QList<Row> m_spare;
};
