// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer entry: any bytes as a store file, and any text as a typed number.
#include "calendar.h"
#include "module1.h"
#include "taskstore.h"
#include "numbers.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // A store of its own per input: nothing carries over from the last one.
    Module1::TaskStore store;
    const Module1::LoadReport report = store.readStore(bytes);
    if (store.taskCount() > Module1::kTaskSlots || store.ruleCount() > Module1::kRuleSlots)
        std::abort();
    for (const Module1::Task &t : store.tasks()) {
        if (t.sortKey.size() != 21 || t.id == 0 || store.slotOf(t.id) != int(&t - store.tasks().data()))
            std::abort();
    }
    for (const qint16 mode : {qint16(0), qint16(2), qint16(11)}) {
        store.setSortMode(mode);
        store.sortTasks();
    }
    // What was read must write out and read back to the same tables.
    const QByteArray written = store.storeText();
    const int tasksBefore = store.taskCount();
    const int rulesBefore = store.ruleCount();
    store.readStore(written);
    if (store.taskCount() != tasksBefore || store.ruleCount() != rulesBefore)
        std::abort();
    if (store.storeText() != written)
        std::abort();

    const QString text = QString::fromUtf8(bytes.left(256));
    Numbers::readInt16(text);
    Numbers::readInt32(text);
    const qint16 n = Numbers::readInt16(text.mid(1));
    Calendar::dateDiff16(text.left(4), QDate(2026, 12, 8), Calendar::makeDate(n, n / 3, n / 7));
    Q_UNUSED(report);
    return 0;
}
