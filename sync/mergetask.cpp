// SPDX-License-Identifier: GPL-3.0-or-later
// The field-by-field merge of one task changed on both sides.
#include "syncengine.h"

#include "repeat.h"
#include "rules.h"
#include "taskcalendar.h"

namespace Sync {

namespace {

using Module1::Task;

// The fields a merge weighs one by one, each compared by what it means, so
// that a due moment written another way by the server is no change.
struct Field {
    bool (*same)(const Task &, const Task &);
    void (*copy)(const Task &, Task &);
};

bool sameDone(const Task &a, const Task &b)
{
    if (a.done != b.done)
        return false;
    return !a.done || Repeat::parseMoment(a.doneText) == Repeat::parseMoment(b.doneText);
}

bool sameRepeat(const Task &a, const Task &b)
{
    const auto ra = Repeat::parse(a.repeatText);
    const auto rb = Repeat::parse(b.repeatText);
    return ra || rb ? ra == rb : a.repeatText == b.repeatText;
}

const Field kFields[] = {
    {[](const Task &a, const Task &b) { return a.title == b.title; }, [](const Task &f, Task &t) { t.title = f.title; }},
    {[](const Task &a, const Task &b) { return a.forWhom == b.forWhom; },
     [](const Task &f, Task &t) { t.forWhom = f.forWhom; }},
    {[](const Task &a, const Task &b) { return Rules::dueMoment(a) == Rules::dueMoment(b); },
     [](const Task &f, Task &t) { Module1::copyDue(f, t); }},
    {[](const Task &a, const Task &b) { return a.description == b.description; },
     [](const Task &f, Task &t) { t.description = f.description; }},
    {sameDone, [](const Task &f, Task &t) { t.doneText = f.doneText; }},
    {sameRepeat, [](const Task &f, Task &t) { t.repeatText = f.repeatText; }},
};

} // namespace

Merged mergeTask(const Task &base, const Task &ours, const Task &theirsAsRead)
{
    Task theirs = theirsAsRead;
    TaskCalendar::keepSpelling(base, theirs);
    Merged out;
    out.task = ours;
    bool clash = false;
    for (const Field &field : kFields) {
        if (field.same(ours, base))
            field.copy(theirs, out.task);
        else if (!field.same(theirs, base) && !field.same(theirs, ours))
            clash = true;
    }
    Module1::deriveFields(out.task);
    if (clash) {
        out.copy = theirs;
        out.copy->uid.clear();
        Module1::deriveFields(*out.copy);
    }
    return out;
}

} // namespace Sync
