// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "context.h"
#include "listcell.h"
#include "listlayout.h"
#include "module1.h"
#include "rules.h"
#include "tasklist.h"
#include "taskundo.h"

#include <QList>
#include <QMainWindow>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class FrmAlerts;
class FindBar;
class FrmTask;
class QAction;
class QLineEdit;
class QMenu;
class QUndoStack;
class PausableTimer;

// The task list window: the list (tasklist.h), the Find bar above it that
// narrows the list to the tasks that contain a text, the menus and their
// commands, and Undo and Redo.
class FrmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit FrmMain(const Context &context, QWidget *parent = nullptr);

    // Form_Load: order by due date and draw the list. The store is read
    // only when it was not read yet or the file changed since: "Show
    // all..." shows what the alert window just read.
    void formLoad();

    // The list; what it offers is also offered here, for the window's users.
    void drawList() { m_list->drawList(); }
    void cleanList() { m_list->cleanList(); }
    void setColor(int index) { m_list->setColor(index); }
    void highlight(int index) { m_list->highlight(index); }
    void bringIntoView(int index) { m_list->bringIntoView(index); }
    int selectedRow() const { return m_list->selectedRow(); }
    void setSelectedRow(int row) { m_list->setSelectedRow(row); }
    int rowCount() const { return m_list->rowCount(); }
    int slotOfRow(int row) const { return m_list->slotOfRow(row); }
    int rowOfSlot(int slot) const { return m_list->rowOfSlot(slot); }
    ListLayout::RowSpan builtRows() const { return m_list->builtRows(); }
    const QList<ListCell *> &lblTitle() const { return m_list->lblTitle(); }
    const QList<ListCell *> &lblFor() const { return m_list->lblFor(); }
    const QList<ListCell *> &lblDue() const { return m_list->lblDue(); }
    const ListLayout::Geometry &layoutGeometry() const { return m_list->layoutGeometry(); }
    void formResize() { m_list->formResize(); }
    int shownCount() const { return m_list->shownCount(); }
    bool showsDoneTasks() const { return m_list->showsDoneTasks(); }
    // Whether done tasks are shown (at the end of the list); remembered
    // between starts.
    void setShowDoneTasks(bool show);
    // The task of the selected row, or 0.
    Module1::TaskId selectedTask() const { return m_list->selectedTask(); }
    // Runs a change of the tables that announces itself, and keeps the
    // selected task selected (found by its id) wherever the redraw puts
    // it, rather than the row: for changes the user did not make here.
    void changeKeepingSelection(const std::function<void()> &change) { m_list->changeKeepingSelection(change); }
    // Selects the row of table slot `slot` and scrolls it into view; a task
    // that Find leaves out makes Find show every task again first.
    void showSlot(int slot);

    // Find: the bar above the list, and the text it narrows the list to
    // (empty: every task).
    void openFind();
    void closeFind();
    void setFindText(const QString &text);
    bool findShown() const;
    QLineEdit *findBox() const;

    PausableTimer *timer1() const { return m_timer1; }
    Module1::TaskStore &store() const { return m_context.store; }

    // Reads the store again after another program changed it: the list is
    // redrawn in the current order and the selected task stays selected
    // where it is still there. Does nothing when the file is still what the
    // store last read or wrote. Dialogs hold copies, so this never waits.
    void followStoreFile();
    // How often the list was reloaded for a change made elsewhere.
    int follows() const { return m_follows; }
    QMenu *shortMenu() const { return m_menuShort; }
    // The steps Undo and Redo go through.
    QUndoStack *history() const { return m_history; }

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
    // The store file is followed while the list shows.
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    // Coming back to the window: tasks.txt may have been made read-only,
    // or writable again, meanwhile.
    bool event(QEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void connectCommands();
    void connectList();
    void updateMinimumSize();
    void updateDoneCaptions();
    // "Quorvi", or that with word of a read-only tasks.txt.
    void updateWindowCaption();
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

    Context m_context;
    QUndoStack *m_history = nullptr;
    TaskUndo::Ids m_undoIds;

    QWidget *m_client = nullptr;
    FindBar *m_findBar = nullptr;
    TaskList *m_list = nullptr; // everything below the Find bar
    PausableTimer *m_timer1 = nullptr;
    int m_follows = 0;
    QMenu *m_menuShort = nullptr;
    // Mark Done in the Tasks menu and in the rows' popup; their captions
    // follow the selected task.
    std::array<QAction *, 2> m_markDone{};
    std::array<QAction *, 2> m_syncEntries{}; // Sync Now, Sync Account...
    void showSyncResult(const QString &lastResult);
    FrmTask *m_frmTask = nullptr;
    FrmAlerts *m_frmAlerts = nullptr;
};
