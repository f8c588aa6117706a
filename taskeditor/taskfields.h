// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// How the task editor's boxes map onto a task record. No widgets here, so the
// rules can be checked without opening the dialog.
namespace TaskFields {

// "January" ... "December", always in English: the store keeps month numbers,
// and the names are part of the dialog, not of the user's locale.
QStringList monthNames();

// The month list's row for a stored month, or -1 (nothing selected) when the
// month cannot be shown; such a month is kept until the user picks one.
int monthIndex(qint16 month);

// The stored month for a picked row, or nothing when no row is picked.
bool monthFromIndex(int index, qint16 *month);

// Descriptions keep CR LF in memory; the multi-line box works with its own
// paragraph separators. These convert at that boundary, and every kind of
// break the box can hold comes back as CR LF, so the store file never sees a
// bare LF or CR that would split a record line.
QString descriptionForEditor(const QString &stored);
QString descriptionFromEditor(const QString &raw);

// The "Repeat" list: "Never", then "Every day", "Every week", "Every
// month" and "Every year".
QStringList repeatChoices();

// The list's row and the count box's number for a stored repetition: row 0
// (Never) and 1 for none, or one that cannot be read.
struct RepeatShown {
    int row = 0;
    int count = 1;
};
RepeatShown repeatShown(const QString &stored);

// The stored repetition for a row and a count box's text, for a task due on
// `due`: empty for Never; a count that is not a number from 1 counts as 1.
// A monthly or yearly task keeps the day of the month of `current` (what is
// stored now), when that is monthly or yearly too: a task on the 31st, due
// on the 28th in February, still belongs to the 31st. Otherwise it belongs
// to the day it is due on.
QString repeatStored(int row, QStringView countText, QDate due, const QString &current = {});

// Title and for-whom text live on one line of the store file; a break pasted
// into them would cut the record in two, so CR and LF become blanks.
QString singleLine(const QString &text);

} // namespace TaskFields
