// SPDX-License-Identifier: GPL-3.0-or-later
#include "listcell.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace {

// No cell is this many characters wide; measuring only this much keeps a
// title of a million characters from being shaped at every repaint.
constexpr qsizetype kLongestMeasured = 4000;
// Nor would a tooltip of more be read.
constexpr qsizetype kLongestTip = 2000;

const QChar kEllipsis(0x2026);

QString cut(const QString &text, qsizetype length)
{
    return text.size() > length ? text.left(length) + kEllipsis : text;
}

} // namespace

ListCell::ListCell(QWidget *parent) : QLabel(parent)
{
    // Plain text only: a task title such as "<b>" must show as typed.
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setAutoFillBackground(false);
    // Set outright: inherited from the panel they would be Base and Text,
    // and the colours given below would never show.
    setBackgroundRole(QPalette::Window);
    setForegroundRole(QPalette::WindowText);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
}

void ListCell::setLook(const Look &look)
{
    if (look == m_look)
        return;
    // Palette and font rather than a style sheet: a redraw sets thousands of
    // cells, and style sheets re-polish each one.
    if (look.color != m_look.color || look.opaque != m_look.opaque || look.background != m_look.background) {
        QPalette p = palette();
        p.setColor(QPalette::WindowText, Colors::toColor(look.color));
        if (look.opaque)
            p.setColor(QPalette::Window, Colors::toColor(look.background));
        setPalette(p);
        if (look.opaque != m_look.opaque)
            setAutoFillBackground(look.opaque);
    }
    if (look.bold != m_look.bold || look.struck != m_look.struck) {
        QFont f = font();
        f.setBold(look.bold);
        f.setStrikeOut(look.struck);
        setFont(f);
    }
    m_look = look;
}

QString ListCell::shownText() const
{
    return fontMetrics().elidedText(cut(text(), kLongestMeasured), Qt::ElideRight, contentsRect().width());
}

void ListCell::paintEvent(QPaintEvent *)
{
    // The background, when the row is selected, is filled before this.
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(), shownText(),
                          foregroundRole());
}

bool ListCell::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        if (shownText() != text()) {
            // Escaped, so that a title such as "<b>" shows as typed here too.
            QToolTip::showText(help->globalPos(), QStringLiteral("<p>%1</p>").arg(cut(text(), kLongestTip).toHtmlEscaped()),
                               this);
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QLabel::event(event);
}

void ListCell::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() == Qt::LeftButton)
        Q_EMIT doubleClicked(m_row);
}

void ListCell::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    Q_EMIT pressed(m_row, event->button(), event->globalPosition().toPoint());
}
