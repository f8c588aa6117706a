// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QString>
#include <QtGlobal>

namespace Module1 {
class TaskStore;
}

// A full, realistic store for benchmarks: titles and for-whom texts drawn
// from everyday errands, descriptions of one to four lines (some with
// accents and markup characters), due dates spread around today, and rules
// of which most are listed at start. The same seed gives the same store.
namespace StoreGen {

struct Options {
    int tasks = 1001;
    int rules = 101;
    QDate today = QDate::currentDate();
    int spreadDays = 120;     // due dates fall within today +- this many days
    quint32 seed = 20240510;
};

// Fills the tables of `store` (replacing what was there) without saving.
void fill(Module1::TaskStore &store, const Options &options = {});

// Fills the tables and saves them as tasks.txt in `folder` (the working
// folder is restored afterwards). Returns the save's message on failure.
QString writeStore(const QString &folder, const Options &options = {});

} // namespace StoreGen
