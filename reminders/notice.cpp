// SPDX-License-Identifier: GPL-3.0-or-later
#include "notice.h"

#include "preferences.h"
#include "rules.h"

namespace Notice {

Text textFor(const Module1::Task &t)
{
    Text text;
    text.summary = t.title.trimmed().isEmpty() ? QStringLiteral("(a task without a title)") : t.title;
    const QString due = Rules::dueText(t);
    if (!t.forWhom.trimmed().isEmpty())
        text.body = QStringLiteral("For: %1\n").arg(t.forWhom);
    text.body += QStringLiteral("Due: %1").arg(due);
    return text;
}

QStringList actions(int remindAgainMinutes)
{
    return {kDefaultAction,  QStringLiteral("Show"),
            kShowAction,     QStringLiteral("Show"),
            kSnoozeAction,   Preferences::remindAgainCaption(remindAgainMinutes),
            kTomorrowAction, QStringLiteral("Tomorrow"),
            kDoneAction,     QStringLiteral("Done")};
}

QDateTime putOffUntil(bool tomorrow, int minutes, const QDateTime &now)
{
    return tomorrow ? now.addDays(1) : now.addSecs(qint64(minutes) * 60);
}

std::optional<int> rowOf(const Module1::Task &task, std::span<const Module1::Task> tasks)
{
    if (task.id != 0) {
        for (std::size_t i = 0; i < tasks.size(); ++i) {
            if (tasks[i].id == task.id)
                return int(i) + 1;
        }
    }
    const QDateTime moment = Rules::dueMoment(task);
    std::optional<int> sameName;
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        const Module1::Task &t = tasks[i];
        if (t.title != task.title || t.forWhom != task.forWhom)
            continue;
        if (Rules::dueMoment(t) == moment)
            return int(i) + 1;
        if (!sameName)
            sameName = int(i) + 1;
    }
    return sameName;
}

} // namespace Notice
