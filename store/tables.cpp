// SPDX-License-Identifier: GPL-3.0-or-later
#include "module1.h"

#include "calendar.h"
#include "repeat.h"
#include "rules.h"

namespace Module1 {

Marked markTaskDone(Task &t, const QDateTime &now)
{
    Marked marked = Marked::Done;
    if (t.done) {
        t.doneText.clear();
        marked = Marked::NotDone;
    } else if (const std::optional<Repeat::Rule> rule = Repeat::parse(t.repeatText)) {
        const std::optional<QDate> next =
            Repeat::nextDueDate(Rules::dueDate(t), Calendar::carriedDays(t.hour, t.minute, t.second),
                                Calendar::makeTime(t.hour, t.minute, t.second), *rule, now);
        if (!next)
            return Marked::Unchanged;
        t.year = qint16(next->year());
        t.month = qint16(next->month());
        t.day = qint16(next->day());
        marked = Marked::MovedOn;
    } else {
        t.doneText = Repeat::formatMoment(now);
    }
    deriveFields(t);
    return marked;
}

} // namespace Module1
