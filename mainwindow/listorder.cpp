// SPDX-License-Identifier: GPL-3.0-or-later
// What the task list says of how to begin, and the reminder preference in
// its Options menu.
#include "frmmain.h"

#include "preferences.h"
#include "tasklist.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

void FrmMain::addEmptyListHint()
{
    const QAction *newTask = findChild<QAction *>(QStringLiteral("menu_new"));
    const QString key = newTask ? newTask->shortcut().toString(QKeySequence::NativeText) : QString();
    const QString text = key.isEmpty() ? QStringLiteral("No tasks yet: Tasks > New Task")
                                       : QStringLiteral("No tasks yet: Tasks > New Task, or %1").arg(key);
    m_list->addEmptyListHint(text);
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
