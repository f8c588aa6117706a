// SPDX-License-Identifier: GPL-3.0-or-later
#include "storegen.h"

#include "taskstore.h"

#include <QDir>
#include <QRandomGenerator>
#include <QStringList>

namespace StoreGen {

namespace {

const QStringList kVerbs = {
    QStringLiteral("Call"),    QStringLiteral("Email"),  QStringLiteral("Renew"),   QStringLiteral("Pay"),
    QStringLiteral("Book"),    QStringLiteral("Fix"),    QStringLiteral("Review"),  QStringLiteral("Send"),
    QStringLiteral("Order"),   QStringLiteral("Cancel"), QStringLiteral("Prepare"), QStringLiteral("Return"),
    QStringLiteral("Pick up"), QStringLiteral("Clean"),  QStringLiteral("Plan"),    QStringLiteral("Finish"),
};
const QStringList kThings = {
    QStringLiteral("the plumber"),       QStringLiteral("car insurance"),   QStringLiteral("library books"),
    QStringLiteral("dentist appointment"), QStringLiteral("quarterly report"), QStringLiteral("gas bill"),
    QStringLiteral("passport"),          QStringLiteral("birthday present"), QStringLiteral("gutters"),
    QStringLiteral("tax return"),        QStringLiteral("train tickets"),   QStringLiteral("R&D budget"),
    QStringLiteral("caf\u00e9 booking"), QStringLiteral("slides for Monday"), QStringLiteral("<draft> contract"),
    QStringLiteral("bike tyres"),        QStringLiteral("school forms"),    QStringLiteral("server backups"),
};
const QStringList kPeople = {
    QStringLiteral("Me"),    QStringLiteral("Home"),      QStringLiteral("Work"),   QStringLiteral("Anna"),
    QStringLiteral("Jos\u00e9"), QStringLiteral("Tom & Jerry"), QStringLiteral("Club"), QStringLiteral("Kids"),
    QStringLiteral("Landlord"), QStringLiteral("Bj\u00f6rk"), QStringLiteral("Team"),   QString(),
};
const QStringList kLines = {
    QStringLiteral("Number is on the fridge."),
    QStringLiteral("Ask about the discount for paying a year ahead."),
    QStringLiteral("Bring the receipt & the warranty card."),
    QStringLiteral("Check the <old> folder first."),
    QStringLiteral("Needs two signatures."),
    QStringLiteral("Deadline is firm; the office closes at 17:00."),
    QStringLiteral("R\u00e9sum\u00e9 attached to the last email."),
    QStringLiteral("Compare three offers before deciding."),
    QStringLiteral("Remember the parking permit."),
    QStringLiteral("Call back if nobody answers by noon."),
};
const QStringList kUnits = {QStringLiteral("d"), QStringLiteral("d"), QStringLiteral("d"),
                            QStringLiteral("ww"), QStringLiteral("m")};

QString pick(QRandomGenerator &rng, const QStringList &list)
{
    return list[int(rng.bounded(quint32(list.size())))];
}

} // namespace

void fill(Module1::TaskStore &store, const Options &options)
{
    QRandomGenerator rng(options.seed);
    Module1::Records records;

    const int taskCount = qBound(0, options.tasks, Module1::kTaskSlots);
    for (int i = 0; i < taskCount; ++i) {
        Module1::Task &t = records.tasks.emplace_back();
        t.title = pick(rng, kVerbs) + QLatin1Char(' ') + pick(rng, kThings);
        t.forWhom = pick(rng, kPeople);
        const int offset = int(rng.bounded(2 * options.spreadDays + 1)) - options.spreadDays;
        const QDate due = options.today.addDays(offset);
        t.year = qint16(due.year());
        t.month = qint16(due.month());
        t.day = qint16(due.day());
        t.hour = qint16(rng.bounded(24));
        t.minute = qint16(rng.bounded(12) * 5);
        t.second = 0;
        QStringList lines;
        const int lineCount = 1 + int(rng.bounded(4));
        for (int l = 0; l < lineCount; ++l)
            lines << pick(rng, kLines);
        t.description = lines.join(QStringLiteral("\r\n"));
        Module1::deriveFields(t);
    }

    // Wide listed rules first, then narrower ones, most of them listed, so
    // a large share of the tasks reaches the page in several colours.
    const int ruleCount = qBound(0, options.rules, Module1::kRuleSlots);
    for (int i = 0; i < ruleCount; ++i) {
        Module1::AlertRule &r = records.rules.emplace_back();
        const int days = 60 - (i * 60) / qMax(1, ruleCount);
        r.unit = i % 10 == 9 ? pick(rng, kUnits) : QStringLiteral("d");
        // The same span in the rule's own unit, so weeks and months do not
        // reach far beyond the day rules.
        const int perUnit = r.unit == u"ww" ? 7 : r.unit == u"m" ? 30 : 1;
        r.interval = qint16(days / perUnit);
        r.color = qint32(rng.bounded(0x1000000));
        r.popup = i % 4 != 3;
    }
    store.readRecords(std::move(records));
}

QString writeStore(const QString &folder, const Options &options)
{
    const QString previous = QDir::currentPath();
    if (!QDir::setCurrent(folder))
        return QStringLiteral("cannot enter %1").arg(folder);
    Module1::TaskStore store;
    fill(store, options);
    const Module1::SaveResult saved = store.saveTasks();
    QDir::setCurrent(previous);
    return saved.ok ? QString() : saved.message;
}

} // namespace StoreGen
