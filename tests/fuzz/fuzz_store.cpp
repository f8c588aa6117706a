// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer entry: any bytes as a store file, and any text as a typed number.
#include "calendar.h"
#include "module1.h"
#include "numbers.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const Module1::LoadReport report = Module1::readStore(bytes);
    if (Module1::taskCount < 0 || Module1::taskCount > Module1::kTaskSlots
        || Module1::ruleCount < 0 || Module1::ruleCount > Module1::kRuleSlots)
        std::abort();
    for (int i = 0; i < Module1::taskCount; ++i) {
        if (Module1::tasks[i].sortKey.size() != 21)
            std::abort();
    }
    for (const qint16 mode : {qint16(0), qint16(2), qint16(11)}) {
        Module1::sortMode = mode;
        Module1::sortTasks();
    }
    // What was read must write out and read back to the same tables.
    const QByteArray written = Module1::storeText();
    const int tasksBefore = Module1::taskCount;
    const int rulesBefore = Module1::ruleCount;
    Module1::readStore(written);
    if (Module1::taskCount != tasksBefore || Module1::ruleCount != rulesBefore)
        std::abort();
    if (Module1::storeText() != written)
        std::abort();

    const QString text = QString::fromUtf8(bytes.left(256));
    Numbers::readInt16(text);
    Numbers::readInt32(text);
    const qint16 n = Numbers::readInt16(text.mid(1));
    Calendar::dateDiff16(text.left(4), QDate(2026, 12, 8), Calendar::makeDate(n, n / 3, n / 7));
    Q_UNUSED(report);
    return 0;
}
