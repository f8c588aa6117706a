// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

// Title and for-whom text live on one line of the store file; a break pasted
// into them would cut the record in two, so CR and LF become blanks.
QString singleLine(const QString &text);

} // namespace TaskFields
