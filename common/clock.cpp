// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock.h"

namespace Clock {

namespace {

std::function<QDateTime()> &source()
{
    static std::function<QDateTime()> replacement;
    return replacement;
}

} // namespace

QDateTime now()
{
    return source() ? source()() : QDateTime::currentDateTime();
}

QDate today()
{
    return now().date();
}

void setSource(std::function<QDateTime()> replacement)
{
    source() = std::move(replacement);
}

} // namespace Clock
