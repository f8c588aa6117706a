// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "listcell.h"
#include "listlayout.h"
#include "module1.h"

#include <QList>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace Module1 {
class TaskStore;
}

class HeaderButton;
class QFrame;
class QKeyEvent;
class QPlainTextEdit;
class QScrollBar;
class QWheelEvent;

// The task list itself, everything of the window below the Find bar: one
// row of three cells per task, coloured by the rules, selectable, ordered by
// the header buttons and scrolled inside a clipping viewport, with the
// selected task's description below. Only the rows in view (and a few more)
// have cells; scrolling hands the cells of rows that leave the view to the
// rows that come into it. The controls are laid out by hand, in twips.
class TaskList : public QWidget
{
    Q_OBJECT
public:
    TaskList(Module1::TaskStore &store, QWidget *parent);

    // Orders the store, works out which tasks the rows show and gives the
    // rows in view their cells again. The selection stays on the task it
    // was on, wherever that went, and else on the same row position.
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
    // The task of the selected row, or 0.
    Module1::TaskId selectedTask() const;
    // The task the next redraw selects, for a change that takes the
    // selected one away (Delete hands the selection to the task below).
    void selectNext(Module1::TaskId id) { m_selectedId = id; }
    // Selects the row of table slot `slot`, or of task `id`, and scrolls it
    // into view, where the list shows it.
    void selectSlot(int slot);
    void selectTask(Module1::TaskId id);
    // Runs a change of the tables that announces itself, and keeps the
    // selected task selected (found by its id) wherever the redraw puts it.
    void changeKeepingSelection(const std::function<void()> &change);

    // Number of rows in the list (with or without cells).
    int rowCount() const { return int(m_rowSlots.size()); }
    // The table slot row `row` (from 1) shows; -1 for no such row.
    int slotOfRow(int row) const;
    // The task shown on `row`; 0 for none.
    Module1::TaskId taskOfRow(int row) const;
    // The row that shows table slot `slot`; 0 when none does (hidden as
    // done, or left out by Find).
    int rowOfSlot(int slot) const;
    // The rows that have cells now: those in view and a few on either side.
    ListLayout::RowSpan builtRows() const { return m_built; }

    // Narrows the rows to the tasks that hold `text` (empty: every task).
    // The selected task stays selected where it is among those found.
    void setFilter(const QString &text);
    bool filtering() const { return !m_findFolded.isEmpty(); }
    // The keyboard to the list, at the first row when none is selected.
    void moveIntoList();
    void focusList(Qt::FocusReason reason);

    // Whether done tasks get rows (at the end of the list); takes effect at
    // the next redraw.
    bool showsDoneTasks() const { return m_showDone; }
    void setShowDoneTasks(bool show) { m_showDone = show; }
    // The tasks the list shows: all of them, or those not done.
    int shownCount() const;

    // The cell arrays, by row number; member 0 of each is the hidden
    // template, and rows without cells (out of view) hold null.
    const QList<ListCell *> &lblTitle() const { return m_lblTitle; }
    const QList<ListCell *> &lblFor() const { return m_lblFor; }
    const QList<ListCell *> &lblDue() const { return m_lblDue; }
    // The controls' geometry in twips as last laid out.
    const ListLayout::Geometry &layoutGeometry() const { return m_geometry; }
    // Lays the controls out for the current size.
    void formResize();

    // The heading of the current order shows its direction.
    void showOrder();
    // The line an empty list shows under its headings.
    void addEmptyListHint(const QString &text);

Q_SIGNALS:
    // A double click, or Enter on the list: edit the selected task.
    void editRequested();
    // The Delete key on the list.
    void deleteRequested();
    // A right click on a row, which selected it first.
    void popupRequested(const QPoint &globalPos);
    // A row was selected, or the rows were shown again.
    void selectionShown();
    // The rows were chosen and shown again; `rows` of them.
    void rowsShown(int rows);
    // The list was drawn after a change of the store or of its order.
    void drawn();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    using Row = std::array<ListCell *, 3>; // for, title, due

    void buildDescription();
    void buildPanel();
    void buildHeaders();
    void buildTemplates();
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
    // The table slots the rows show, in order: the tasks shown (done ones
    // only when asked), narrowed by Find.
    void chooseRows();
    void placeRow(int row);
    void applyGeometry();
    void applyPanel();
    void cellPressed(int row, Qt::MouseButton button, const QPoint &globalPos);
    void cellDoubleClicked(int row);
    // Keys on the focused list; false for keys it leaves alone.
    bool listKeyPressed(const QKeyEvent *event);
    void scrollByWheel(const QWheelEvent *event);
    void showListFocus(bool focused);
    void headerClicked(Module1::Column column);
    void vscrollChanged(int value);

    Module1::TaskStore &m_store;
    ListLayout::Geometry m_geometry;
    int m_selectedRow = 0;
    // The task on the selected row: after a redraw, whatever moved it, the
    // selection is where that task is now.
    Module1::TaskId m_selectedId = 0;
    std::optional<Module1::TaskId> m_keepSelected; // while changeKeepingSelection runs
    bool m_showDone = false;
    int m_wheelRemainder = 0; // eighths of a degree not yet turned into rows

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

    // Row n shows table slot m_rowSlots[n - 1].
    std::vector<int> m_rowSlots;
    ListLayout::RowSpan m_built;
    QList<ListCell *> m_lblTitle;
    QList<ListCell *> m_lblFor;
    QList<ListCell *> m_lblDue;
    // Cells no row in view needs now, hidden, for the next rows to take.
    QList<Row> m_spare;
};
