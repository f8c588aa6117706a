// SPDX-License-Identifier: GPL-3.0-or-later
#include "listcell.h"

#include <QMouseEvent>

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
    if (look.bold != m_look.bold) {
        QFont f = font();
        f.setBold(look.bold);
        setFont(f);
    }
    m_look = look;
}

void ListCell::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    Q_EMIT pressed(m_row, event->button(), event->globalPosition().toPoint());
}
