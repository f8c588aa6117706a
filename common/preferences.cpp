// SPDX-License-Identifier: GPL-3.0-or-later
#include "preferences.h"

#include "module1.h"

#include <algorithm>

namespace Preferences {

namespace {

constexpr QLatin1StringView kListOrderKey("list/order");
constexpr QLatin1StringView kRemindAgainKey("reminders/remindAgainMinutes");
constexpr int kDefaultRemindAgain = 10;

} // namespace

QSettings settings()
{
    return QSettings(QStringLiteral("quorvi"), QStringLiteral("quorvi"));
}

qint16 listOrder()
{
    bool read = false;
    const int kept = settings().value(kListOrderKey).toInt(&read);
    Module1::Column column = Module1::Column::Due;
    bool reversed = false;
    // A hand-edited or foreign value must not leave the list in no order.
    if (!read || kept != qint16(kept) || !Module1::decodeSortOrder(qint16(kept), &column, &reversed))
        return Module1::ByDue;
    return Module1::sortOrder(column, reversed);
}

void setListOrder(qint16 order)
{
    QSettings kept = settings();
    kept.setValue(kListOrderKey, int(order));
}

int remindAgainMinutes()
{
    const int kept = settings().value(kRemindAgainKey, kDefaultRemindAgain).toInt();
    const bool offered = std::find(kRemindAgainChoices.begin(), kRemindAgainChoices.end(), kept)
                         != kRemindAgainChoices.end();
    return offered ? kept : kDefaultRemindAgain;
}

void setRemindAgainMinutes(int minutes)
{
    QSettings kept = settings();
    kept.setValue(kRemindAgainKey, minutes);
}

QString durationText(int minutes)
{
    if (minutes % 60 == 0) {
        const int hours = minutes / 60;
        return hours == 1 ? QStringLiteral("1 hour") : QStringLiteral("%1 hours").arg(hours);
    }
    return minutes == 1 ? QStringLiteral("1 minute") : QStringLiteral("%1 minutes").arg(minutes);
}

QString remindAgainCaption(int minutes)
{
    return QStringLiteral("In %1").arg(durationText(minutes));
}

} // namespace Preferences
