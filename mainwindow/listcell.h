// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "colors.h"

#include <QLabel>

// One cell of a task row. It knows its row number and reports any mouse
// press on it, and it remembers the look it was last given so a redraw or a
// new selection only touches the cells whose look really changes. Text too
// wide for it ends in an ellipsis and is shown whole in a tooltip.
class ListCell : public QLabel
{
    Q_OBJECT
public:
    struct Look {
        qint32 color = 0;          // text colour, red in the low byte
        bool bold = false;
        bool opaque = false;       // background filled (the selected row)
        qint32 background = 0;
        bool struck = false;       // a line through the text (a done task)
        friend bool operator==(const Look &, const Look &) = default;
    };

    // The selected row: white on dark blue.
    static constexpr qint32 kSelectedBackground = Colors::rgb(0, 0, 100);
    static constexpr qint32 kSelectedText = Colors::rgb(255, 255, 255);
    // A done task: grey, struck through.
    static constexpr qint32 kDoneText = Colors::rgb(128, 128, 128);

    explicit ListCell(QWidget *parent = nullptr);

    int row() const { return m_row; }
    void setRow(int row) { m_row = row; }

    const Look &look() const { return m_look; }
    void setLook(const Look &look);

    // The text as the cell draws it: cut with an ellipsis when it is wider
    // than the cell, so it never runs into the next column.
    QString shownText() const;

Q_SIGNALS:
    void pressed(int row, Qt::MouseButton button, const QPoint &globalPos);
    void doubleClicked(int row);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    int m_row = 0;
    Look m_look;
};
