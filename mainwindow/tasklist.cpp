// SPDX-License-Identifier: GPL-3.0-or-later
// The task list's controls: how they are made and laid out, scrolled, and
// what the mouse and the keyboard do on them. The rows are in listrows.cpp.
#include "tasklist.h"

#include "descriptionbox.h"
#include "emptylisthint.h"
#include "headerbutton.h"
#include "preferences.h"
#include "taskstore.h"
#include "twips.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QScrollBar>
#include <QWheelEvent>

namespace {

int toScrollUnits(double twips)
{
    return qMax(1, int(twips / ListLayout::kTwipsPerScrollUnit));
}

} // namespace

TaskList::TaskList(Module1::TaskStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    // Created first so it comes first in the focus chain.
    buildDescription();
    buildPanel();
    buildHeaders();
    buildTemplates();
    applyGeometry();
}

void TaskList::buildDescription()
{
    m_txtDescription = new DescriptionBox(this);
    m_txtDescription->setObjectName(QStringLiteral("txtDescription"));
    m_txtDescription->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont descriptionFont;
    descriptionFont.setFamilies({QStringLiteral("MS Sans Serif"), QApplication::font().family(),
                                 QStringLiteral("Sans Serif")});
    descriptionFont.setPointSizeF(9.75);
    descriptionFont.setWeight(QFont::Normal);
    m_txtDescription->setFont(descriptionFont);
}

void TaskList::buildPanel()
{
    m_pctContainer = new QFrame(this);
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
    connect(m_vscroll, &QScrollBar::valueChanged, this, &TaskList::vscrollChanged);
}

void TaskList::buildHeaders()
{
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
}

void TaskList::buildTemplates()
{
    m_lblTitle = {makeCell(QStringLiteral("lblTitle"))};
    m_lblFor = {makeCell(QStringLiteral("lblFor"))};
    m_lblDue = {makeCell(QStringLiteral("lblDue"))};
    for (ListCell *cell : {m_lblTitle[0], m_lblFor[0], m_lblDue[0]}) {
        cell->setText(QStringLiteral(" "));
        cell->hide();
    }
}

ListCell *TaskList::makeCell(const QString &name)
{
    auto *cell = new ListCell(m_lstContainer);
    cell->setObjectName(name);
    connect(cell, &ListCell::pressed, this, &TaskList::cellPressed);
    connect(cell, &ListCell::doubleClicked, this, &TaskList::cellDoubleClicked);
    cell->installEventFilter(this);
    return cell;
}

void TaskList::addEmptyListHint(const QString &text)
{
    // Under the headings, where the first row will be.
    new EmptyListHint(m_store, text, m_viewport, m_vscroll, Twips::toPixels(255 + 120));
}

void TaskList::showOrder()
{
    Module1::Column column = Module1::Column::Due;
    bool reversed = false;
    const bool ordered = Module1::decodeSortOrder(m_store.sortMode(), &column, &reversed);
    const HeaderButton::Order direction = reversed ? HeaderButton::Order::Descending : HeaderButton::Order::Ascending;
    const std::pair<HeaderButton *, Module1::Column> headers[] = {
        {m_cmdTitle, Module1::Column::Title}, {m_cmdFor, Module1::Column::For}, {m_cmdDue, Module1::Column::Due}};
    for (const auto &[button, own] : headers)
        button->setSortIndicator(ordered && own == column ? direction : HeaderButton::Order::None);
}

void TaskList::headerClicked(Module1::Column column)
{
    m_store.setSortMode(Module1::nextSortMode(m_store.sortMode(), column));
    Preferences::setListOrder(m_store.sortMode());
    showOrder();
    drawList();
}

void TaskList::focusList(Qt::FocusReason reason)
{
    m_pctContainer->setFocus(reason);
}

void TaskList::moveIntoList()
{
    m_pctContainer->setFocus(Qt::OtherFocusReason);
    if (m_selectedRow < 1 && rowCount() > 0) {
        highlight(1);
        bringIntoView(1);
    }
}

void TaskList::bringIntoView(int index)
{
    if (index < 1 || index > rowCount())
        return;
    m_vscroll->setValue(ListLayout::scrollValueShowing(m_geometry, index));
}

void TaskList::cellPressed(int row, Qt::MouseButton button, const QPoint &globalPos)
{
    if (row < 1)
        return;
    m_pctContainer->setFocus(Qt::MouseFocusReason);
    highlight(row);
    // Selected first, so the popup's commands act on the row under the mouse.
    if (button == Qt::RightButton)
        Q_EMIT popupRequested(globalPos);
}

void TaskList::cellDoubleClicked(int row)
{
    if (row < 1)
        return;
    highlight(row);
    Q_EMIT editRequested();
}

bool TaskList::listKeyPressed(const QKeyEvent *event)
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
        Q_EMIT editRequested();
        return true;
    case Qt::Key_Delete:
        Q_EMIT deleteRequested();
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

void TaskList::scrollByWheel(const QWheelEvent *event)
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

void TaskList::showListFocus(bool focused)
{
    QPalette p = m_pctContainer->palette();
    p.setColor(QPalette::WindowText, focused ? palette().color(QPalette::Highlight) : palette().color(QPalette::WindowText));
    m_pctContainer->setPalette(p);
}

void TaskList::vscrollChanged(int value)
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

void TaskList::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    formResize();
}

void TaskList::formResize()
{
    const double outerWidth = Twips::fromPixels(width()) + ListLayout::kOuterExtraWidth;
    const double outerHeight = Twips::fromPixels(height()) + ListLayout::kOuterExtraHeight;
    m_geometry = ListLayout::formResize(m_geometry, outerWidth, outerHeight, rowCount()).geometry;
    applyGeometry();
}

void TaskList::placeRow(int row)
{
    const double top = ListLayout::rowTop(m_geometry, row);
    const auto place = [top](ListCell *cell, const Twips::Rect &column) {
        Twips::place(cell, column.left, top, column.width, column.height);
    };
    place(m_lblFor[row], m_geometry.lblFor);
    place(m_lblTitle[row], m_geometry.lblTitle);
    place(m_lblDue[row], m_geometry.lblDue);
}

void TaskList::applyGeometry()
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

void TaskList::applyPanel()
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

bool TaskList::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel) {
        // The wheel anywhere over the rows scrolls them, as over the bar.
        // Caught on each cell too: a wheel event that is not the user's own
        // does not travel up to the panel.
        scrollByWheel(static_cast<QWheelEvent *>(event));
        return true;
    }
    if (watched == m_pctContainer) {
        if (event->type() == QEvent::KeyPress && listKeyPressed(static_cast<QKeyEvent *>(event)))
            return true;
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
            showListFocus(event->type() == QEvent::FocusIn);
    }
    return QWidget::eventFilter(watched, event);
}
