// SPDX-License-Identifier: GPL-3.0-or-later
// The task list's rows: which tasks they show (the done ones or not, what
// Find leaves), the cells the rows in view take from a pool, their look, and
// the selection that follows its task through every redraw.
#include "tasklist.h"

#include "clock.h"
#include "findtext.h"
#include "rules.h"
#include "taskstore.h"

#include <QPlainTextEdit>
#include <QScrollBar>

#include <algorithm>
#include <numeric>

namespace {

// Rows given cells beyond the ones in view, above and below: an arrow
// click or a wheel notch then finds its rows ready.
constexpr int kSpareRows = 4;

} // namespace

Module1::TaskId TaskList::taskOfRow(int row) const
{
    const int slot = slotOfRow(row);
    return slot >= 0 ? m_store.tasks()[std::size_t(slot)].id : 0;
}

Module1::TaskId TaskList::selectedTask() const
{
    return taskOfRow(m_selectedRow);
}

void TaskList::changeKeepingSelection(const std::function<void()> &change)
{
    // The task, not the row: a change made elsewhere may move it, and a
    // Delete must not fall on a different one. Gone is no selection.
    if (const Module1::TaskId id = selectedTask())
        m_keepSelected = id;
    change();
    m_keepSelected.reset();
}

void TaskList::setSelectedRow(int row)
{
    m_selectedRow = row;
    m_selectedId = taskOfRow(row);
}

void TaskList::selectSlot(int slot)
{
    if (const int row = rowOfSlot(slot); row > 0) {
        highlight(row);
        bringIntoView(row);
    }
}

void TaskList::selectTask(Module1::TaskId id)
{
    selectSlot(m_store.slotOf(id));
}

void TaskList::drawList()
{
    // The task, not the row: whatever changed (an edit, a sort, an undo, a
    // change made elsewhere) may have moved it, and a Delete must not fall
    // on a task the user did not choose.
    const Module1::TaskId keep = m_keepSelected ? *m_keepSelected : m_selectedId;
    const int rowBefore = m_selectedRow;
    int remembered = m_selectedRow;
    m_store.sortTasks();
    m_haystackStale = true;
    chooseRows();
    if (keep != 0)
        remembered = rowOfSlot(m_store.slotOf(keep));
    m_selectedRow = remembered >= 1 && remembered <= rowCount() ? remembered : 0;
    if (m_selectedRow == 0)
        m_selectedId = 0; // gone, hidden or filtered out: nothing is selected
    showRows();
    // Still in view where the change moved it.
    if (m_selectedRow > 0 && m_selectedRow != rowBefore)
        bringIntoView(m_selectedRow);
    // Every reload and every save ends here.
    Q_EMIT drawn();
}

void TaskList::cleanList()
{
    m_selectedId = 0;
    m_selectedRow = 0;
    m_rowSlots.clear();
    showRows();
}

void TaskList::showRows()
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
    Q_EMIT selectionShown();
    Q_EMIT rowsShown(rowCount());
}

int TaskList::shownCount() const
{
    if (m_showDone)
        return m_store.taskCount();
    const auto live = m_store.tasks();
    return int(std::count_if(live.begin(), live.end(), [](const Module1::Task &t) { return !t.done; }));
}

void TaskList::chooseRows()
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
            m_findHaystack[slot] = FindText::haystack(m_store.tasks()[std::size_t(slot)]);
        m_haystackStale = false;
    }
    std::erase_if(m_rowSlots, [this](int slot) { return !FindText::matches(m_findHaystack[slot], m_findFolded); });
}

void TaskList::setFilter(const QString &text)
{
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

int TaskList::slotOfRow(int row) const
{
    return row >= 1 && row <= rowCount() ? m_rowSlots[std::size_t(row - 1)] : -1;
}

int TaskList::rowOfSlot(int slot) const
{
    // The rows follow the table's order, so their slots only grow.
    const auto it = std::lower_bound(m_rowSlots.begin(), m_rowSlots.end(), slot);
    return it != m_rowSlots.end() && *it == slot ? int(it - m_rowSlots.begin()) + 1 : 0;
}

void TaskList::bindRows()
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

void TaskList::fillRow(int row, const Row &cells, QDate today)
{
    const Module1::Task &t = m_store.tasks()[std::size_t(slotOfRow(row))];
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

void TaskList::releaseRow(int row)
{
    const Row cells = {m_lblFor[row], m_lblTitle[row], m_lblDue[row]};
    if (!cells[0])
        return;
    for (ListCell *cell : cells)
        cell->setRow(0);
    m_spare.append(cells);
    m_lblFor[row] = m_lblTitle[row] = m_lblDue[row] = nullptr;
}

void TaskList::hideSpareRows()
{
    for (const Row &cells : std::as_const(m_spare)) {
        for (ListCell *cell : cells) {
            if (!cell->isHidden())
                cell->hide();
        }
    }
}

void TaskList::setColor(int index)
{
    if (!m_built.contains(index))
        return;
    const QDate today = Clock::today();
    for (ListCell *cell : {m_lblFor[index], m_lblTitle[index], m_lblDue[index]})
        cell->setLook(lookOfRow(cell->look(), index, today));
}

ListCell::Look TaskList::lookOfRow(ListCell::Look look, int row, QDate today) const
{
    const int slot = slotOfRow(row);
    const Module1::Task *task = slot >= 0 ? &m_store.tasks()[std::size_t(slot)] : nullptr;
    look.opaque = false;
    look.background = 0;
    look.struck = task && task->done;
    if (look.struck) {
        // No rule colours a done task, and it is never bold.
        look.color = ListCell::kDoneText;
        look.bold = false;
    } else {
        const Rules::Choice choice = task ? Rules::choose(*task, m_store.rules(), today) : Rules::Choice{};
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

void TaskList::highlight(int index)
{
    if (index < 1 || index > rowCount())
        return;
    setSelectedRow(index);
    // Every row with cells goes back to its rule colour on a clear
    // background, the selected one excepted; only the cells whose look
    // actually changes are repainted.
    for (int row = m_built.first; row <= m_built.last; ++row)
        setColor(row);
    QString text = m_store.tasks()[std::size_t(slotOfRow(index))].description;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_txtDescription->setPlainText(text);
    Q_EMIT selectionShown();
}
