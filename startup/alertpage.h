// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "module1.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QUrl>

#include <optional>
#include <span>

// The alert page: its text for the tasks the rules list, and where the page
// is written. Everything here works without a window.
namespace AlertPage {

struct Page {
    QString text;
    bool anyListed = false;
};

// "RRGGBB" in upper-case hex from red + 256 * green + 65536 * blue.
QString colorText(qint32 color);

// Task text made safe for the page: markup characters become entities, and
// everything outside ASCII becomes a numeric reference, so the page reads
// the same whatever encoding a viewer guesses.
QString escapeHtml(QStringView text);

// The same, with each line break shown as a line break on the page.
QString escapeDescription(QStringView text);

// The whole page, CR LF line ends: every task a popup rule lists, in table
// order.
Page drawListed(std::span<const Module1::Task> tasks, std::span<const Module1::AlertRule> rules, QDate today);

// The page as the window shows it. A run of more than `longest` characters
// with no place to break a line (a pasted hash, a title of one endless word)
// gets an invisible break opportunity, a zero-width space, every `longest`
// characters; every character stays. Without them the viewer's line layout
// takes time that grows with the square of the run: a 400,000-character
// title kept the alert window from appearing for many seconds. Markup and
// character references are never split.
QString withBreakOpportunities(QStringView html, int longest = 32);

// One reminder on the "Due now" page.
struct DueNowEntry {
    Module1::Task task;
    QDateTime putOffUntil; // invalid until it is put off
};

// The page cut before the task that follows the first `first` tasks, and
// then before every `perSlice` tasks more, so that a viewer can show the
// start at once and take in the rest a slice at a time. Joined, the slices
// are the page again; a page of `first` tasks or fewer is one slice.
QStringList slicesByTask(const QString &html, int first, int perSlice);

// A page of reminders that fell due, for a desktop where neither a
// notification service nor a tray icon can show them: each task in the
// colour its rules give it (black when none does), latest reminder first.
// Each offers what a notification does, to put it off ("In 10 minutes", as
// long as `remindAgainMinutes`, and "Tomorrow"), by links that name the
// entry's place in `entries`; one put off says until when instead.
Page drawDueNow(std::span<const DueNowEntry> entries, std::span<const Module1::AlertRule> rules, QDate today,
                int remindAgainMinutes);

// What a put-off link on the "Due now" page asks for; nothing for any other
// link, or one whose numbers cannot be read.
struct PutOffLink {
    qsizetype entry = -1;
    bool tomorrow = false;
    int minutes = 0;
};
std::optional<PutOffLink> readPutOffLink(const QUrl &link);

// Where the page goes. A Windows temporary folder "c:\windows\temp" wins when
// it exists; elsewhere a "quorvi" folder in the per-user runtime folder.
// Empty when there is no runtime folder to use.
QString choosePageLocation(bool windowsTempExists, const QString &runtimeFolder);

// The location for this machine.
QString pageLocation();

struct WriteResult {
    bool ok = true;
    QString reason; // why the page could not be written
};

// Writes the page atomically. The runtime subfolder is created owner-only and
// must be a real folder that belongs to us; a link planted at the page's name
// is replaced, never followed.
WriteResult writePage(const QString &path, const QString &text);

} // namespace AlertPage
