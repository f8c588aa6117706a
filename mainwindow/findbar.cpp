// SPDX-License-Identifier: GPL-3.0-or-later
#include "findbar.h"

#include <QBoxLayout>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QStyle>
#include <QToolButton>

FindBar::FindBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("findBar"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 2, 2);
    auto *label = new QLabel(QStringLiteral("F&ind:"), this);
    m_txtFind = new QLineEdit(this);
    m_txtFind->setObjectName(QStringLiteral("txtFind"));
    m_txtFind->setPlaceholderText(QStringLiteral("Title, for or description"));
    m_txtFind->installEventFilter(this);
    label->setBuddy(m_txtFind);
    m_lblFindCount = new QLabel(this);
    m_lblFindCount->setObjectName(QStringLiteral("lblFindCount"));
    auto *close = new QToolButton(this);
    close->setObjectName(QStringLiteral("cmdFindClose"));
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setAutoRaise(true);
    close->setToolTip(QStringLiteral("Show every task (Esc)"));
    row->addWidget(label);
    row->addWidget(m_txtFind, 1);
    row->addWidget(m_lblFindCount);
    row->addWidget(close);
    connect(m_txtFind, &QLineEdit::textChanged, this, &FindBar::textChanged);
    connect(close, &QToolButton::clicked, this, &FindBar::closeRequested);
}

void FindBar::showCount(int found, bool looking)
{
    if (!looking) {
        m_lblFindCount->clear();
        return;
    }
    m_lblFindCount->setText(found == 0   ? QStringLiteral("No match")
                            : found == 1 ? QStringLiteral("1 match")
                                         : QStringLiteral("%1 matches").arg(QLocale().toString(found)));
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_txtFind && event->type() == QEvent::KeyPress) {
        switch (static_cast<const QKeyEvent *>(event)->key()) {
        case Qt::Key_Escape: Q_EMIT closeRequested(); return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Down: Q_EMIT intoListRequested(); return true;
        default: break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
