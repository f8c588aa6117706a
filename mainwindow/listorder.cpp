// SPDX-License-Identifier: GPL-3.0-or-later
// What the task list shows of its order and of how to begin, and the
// reminder preference in its Options menu.
#include "frmmain.h"

#include "emptylisthint.h"
#include "headerbutton.h"
#include "module1.h"
#include "preferences.h"
#include "twips.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QScrollBar>

void FrmMain::showOrder()
{
    Module1::Column column = Module1::Column::Due;
    bool reversed = false;
    const bool ordered = Module1::decodeSortOrder(store().sortMode(), &column, &reversed);
    const HeaderButton::Order direction = reversed ? HeaderButton::Order::Descending : HeaderButton::Order::Ascending;
    const std::pair<HeaderButton *, Module1::Column> headers[] = {
        {m_cmdTitle, Module1::Column::Title}, {m_cmdFor, Module1::Column::For}, {m_cmdDue, Module1::Column::Due}};
    for (const auto &[button, own] : headers)
        button->setSortIndicator(ordered && own == column ? direction : HeaderButton::Order::None);
}

void FrmMain::addEmptyListHint()
{
    const QAction *newTask = findChild<QAction *>(QStringLiteral("menu_new"));
    const QString key = newTask ? newTask->shortcut().toString(QKeySequence::NativeText) : QString();
    const QString text = key.isEmpty() ? QStringLiteral("No tasks yet: Tasks > New Task")
                                       : QStringLiteral("No tasks yet: Tasks > New Task, or %1").arg(key);
    // Under the headings, where the first row will be.
    new EmptyListHint(store(), text, m_viewport, m_vscroll, Twips::toPixels(255 + 120));
}

void FrmMain::buildRemindAgainMenu(QMenu *options)
{
    QMenu *menu = options->addMenu(QStringLiteral("Remind Again &After"));
    menu->setObjectName(QStringLiteral("menu_remindagain"));
    auto *group = new QActionGroup(menu);
    const int chosen = Preferences::remindAgainMinutes();
    for (const int minutes : Preferences::kRemindAgainChoices) {
        QAction *choice = menu->addAction(Preferences::durationText(minutes));
        choice->setObjectName(QStringLiteral("menu_remind%1").arg(minutes));
        choice->setCheckable(true);
        choice->setChecked(minutes == chosen);
        group->addAction(choice);
        connect(choice, &QAction::triggered, this, [minutes] { Preferences::setRemindAgainMinutes(minutes); });
    }
}
