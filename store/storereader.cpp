// SPDX-License-Identifier: GPL-3.0-or-later
#include "storereader.h"

#include "numbers.h"
#include "repeat.h"
#include "rules.h"
#include "calendar.h"
#include "storedecode.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace Module1 {

namespace {

// Past this many lines the message box would only scroll; the rest is counted.
constexpr int kMaxListedProblems = 40;

// Whole-line trimming removes blanks only, as the file format always did.
QStringView trimBlanks(QStringView line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && line[begin] == u' ')
        ++begin;
    while (end > begin && line[end - 1] == u' ')
        --end;
    return line.mid(begin, end - begin);
}

class Reader
{
public:
    Reader(LoadReport &report, Records &out) : m_report(report), m_out(out) { }

    void read(const QByteArray &bytes)
    {
        std::vector<int> fallbackLines;
        const QString text = decodeStore(bytes, &fallbackLines);
        auto nextFallback = fallbackLines.cbegin();
        int lineNumber = 0;
        qsizetype pos = 0;
        const qsizetype size = text.size();
        while (pos < size) {
            // Lines end in CR LF, LF or a lone CR.
            qsizetype end = pos;
            while (end < size && text[end] != u'\n' && text[end] != u'\r')
                ++end;
            ++lineNumber;
            if (nextFallback != fallbackLines.cend() && *nextFallback == lineNumber) {
                problem(lineNumber, QStringLiteral("the line is not UTF-8 and was read as Windows-1252"));
                ++nextFallback;
            }
            handleLine(QStringView(text).mid(pos, end - pos), lineNumber);
            if (end < size && text[end] == u'\r' && end + 1 < size && text[end + 1] == u'\n')
                ++end;
            pos = end + 1;
        }
        if (m_hidden > 0) {
            m_report.problems << QStringLiteral("%1 more problems were not listed.").arg(m_hidden);
        }
        // A copy cut short, or a save interrupted by another program: the
        // values after the last act line belong to no record. Always listed.
        if (m_taskOpen)
            m_report.problems << QStringLiteral("%1 ends inside a task record; it was not loaded").arg(kStoreFileName);
        if (m_ruleOpen)
            m_report.problems << QStringLiteral("%1 ends inside a rule record; it was not loaded").arg(kStoreFileName);
        noteCapacity();
    }

private:
    // Said last, once, and not a damage: nothing of it is lost.
    void noteCapacity()
    {
        const int extraTasks = qMax(0, int(m_out.tasks.size()) - kTaskSlots);
        const int extraRules = qMax(0, int(m_out.rules.size()) - kRuleSlots);
        if (extraTasks == 0 && extraRules == 0)
            return;
        m_report.overCapacity = true;
        QStringList held;
        QStringList shown;
        if (extraTasks > 0) {
            held << QStringLiteral("%1 tasks").arg(m_out.tasks.size());
            shown << QStringLiteral("%1 tasks").arg(kTaskSlots);
        }
        if (extraRules > 0) {
            held << QStringLiteral("%1 rules").arg(m_out.rules.size());
            shown << QStringLiteral("%1 rules").arg(kRuleSlots);
        }
        m_report.problems << QStringLiteral("%1 holds %2; Quorvi shows the first %3 and keeps the rest in the "
                                            "file, unchanged")
                                 .arg(kStoreFileName, held.join(QStringLiteral(" and ")),
                                      shown.join(QStringLiteral(" and ")));
    }

    void problem(int line, const QString &reason)
    {
        if (m_report.problems.size() >= kMaxListedProblems) {
            ++m_hidden;
            return;
        }
        m_report.problems << QStringLiteral("%1 line %2: %3").arg(kStoreFileName).arg(line).arg(reason);
    }

    qint16 number16(QStringView key, QStringView value, int line)
    {
        bool clamped = false;
        const qint16 n = Numbers::readInt16(value, &clamped);
        if (clamped) {
            problem(line, QStringLiteral("the number for \"%1\" is out of range and was kept as %2")
                              .arg(key.toString())
                              .arg(n));
        }
        return n;
    }

    QString &taskText(QString &field)
    {
        m_taskOpen = true;
        return field;
    }

    qint16 &taskNumber(qint16 &field)
    {
        m_taskOpen = true;
        return field;
    }

    void handleLine(QStringView raw, int line)
    {
        const QStringView l = trimBlanks(raw);
        if (l.isEmpty() || l[0] == u';' || l[0] == u'[')
            return;
        if (l.size() < 4) {
            problem(line, QStringLiteral("the line is too short to hold a value and was skipped"));
            return;
        }
        const QStringView key = l.first(3);
        // The separator is one character; when it is outside the BMP it takes two
        // UTF-16 units, and the value must not start with half of it.
        const qsizetype valueStart = l[3].isHighSurrogate() && l.size() > 4 && l[4].isLowSurrogate() ? 5 : 4;
        const QStringView value = l.mid(valueStart);
        if (taskField(key, value, line) || ruleField(key, value, line))
            return;
        if (key == u"act") {
            if (value == u"addalert")
                appendRule(line);
            else
                appendTask(line);
        }
    }

    // A task's field; false when the key names none.
    bool taskField(QStringView key, QStringView value, int line)
    {
        if (key == u"ttl")
            taskText(m_task.title) = value.toString();
        else if (key == u"for")
            taskText(m_task.forWhom) = value.toString();
        else if (key == u"des")
            taskText(m_task.description) = value.toString();
        else if (key == u"don") {
            taskText(m_task.doneText) = value.toString();
            if (!Repeat::parseMoment(value))
                problem(line, QStringLiteral("\"%1\" is not a moment such as 2027-03-07 09:05:00; "
                                             "the task counts as not done").arg(value.toString()));
        } else if (key == u"rep") {
            taskText(m_task.repeatText) = value.toString();
            if (!Repeat::parse(value))
                problem(line, QStringLiteral("\"%1\" is not a repetition such as 1w or 1m@31; "
                                             "the task does not repeat").arg(value.toString()));
        } else if (key == u"uid")
            taskText(m_task.uid) = value.toString();
        else
            return dueField(key, value, line);
        return true;
    }

    bool dueField(QStringView key, QStringView value, int line)
    {
        static constexpr struct {
            QStringView key;
            qint16 Task::*field;
        } kDueKeys[] = {
            {u"day", &Task::day},   {u"mon", &Task::month},  {u"yea", &Task::year},
            {u"hou", &Task::hour},  {u"min", &Task::minute}, {u"sec", &Task::second},
        };
        const auto *due = std::ranges::find_if(kDueKeys, [key](const auto &d) { return key == d.key; });
        if (due == std::end(kDueKeys))
            return false;
        taskNumber(m_task.*due->field) = number16(key, value, line);
        return true;
    }

    // A rule's field; false when the key names none.
    bool ruleField(QStringView key, QStringView value, int line)
    {
        if (key == u"val") {
            m_rule.interval = number16(key, value, line);
        } else if (key == u"unt") {
            m_rule.unit = value.toString();
        } else if (key == u"clr") {
            bool clamped = false;
            m_rule.color = Numbers::readInt32(value, &clamped);
            if (clamped)
                problem(line, QStringLiteral("the colour is out of range and was kept as %1").arg(m_rule.color));
        } else if (key == u"alr") {
            m_rule.popup = value == u"on";
        } else {
            return false;
        }
        m_ruleOpen = true;
        return true;
    }

    // Records beyond the tables' capacity are read all the same: they are
    // not shown, but every save writes them back (see TaskStore::putInTables).
    void appendRule(int)
    {
        m_ruleOpen = false;
        m_out.rules.push_back(m_rule);
    }

    void appendTask(int line)
    {
        m_taskOpen = false;
        Task &t = m_out.tasks.emplace_back();
        copyDue(m_task, t);
        t.description = decodeBreaks(m_task.description);
        t.forWhom = m_task.forWhom;
        t.title = m_task.title;
        // Unlike every other key, these belong to their own record only: a
        // task without them is not done, does not repeat and has no identity
        // of its own (another task's would make the two one).
        t.doneText = std::exchange(m_task.doneText, QString());
        t.repeatText = std::exchange(m_task.repeatText, QString());
        t.uid = std::exchange(m_task.uid, QString());
        deriveFields(t);
        if (!partsFitKey(t)) {
            problem(line, QStringLiteral("the due date of \"%1\" has a part outside its usual range; "
                                         "it is ordered by the moment it rolls over to")
                              .arg(t.title));
        }
    }

    static bool partsFitKey(const Task &t)
    {
        auto fits2 = [](qint16 v) { return v >= 0 && v <= 99; };
        return t.year >= 0 && t.year <= 9999 && fits2(t.month) && fits2(t.day) && fits2(t.hour)
               && fits2(t.minute) && fits2(t.second);
    }

    LoadReport &m_report;
    Records &m_out;
    Task m_task;
    AlertRule m_rule;
    int m_hidden = 0;
    // A field of the kind was read since that kind's last act line.
    bool m_taskOpen = false;
    bool m_ruleOpen = false;
};

} // namespace

void deriveFields(Task &t)
{
    // Shown and ordered by the moment the reminder comes, which an hour of
    // 24 or more carries to a later day; the file keeps the parts as typed.
    const QDateTime moment = Rules::dueMoment(t);
    t.dueText = Calendar::dueText(moment);
    t.sortKey = Calendar::sortKey(moment);
    t.done = !t.doneText.isEmpty() && Repeat::parseMoment(t.doneText).has_value();
}

LoadReport parseStore(const QByteArray &bytes, Records &out)
{
    LoadReport report;
    out.tasks.reserve(std::size_t(kTaskSlots));
    Reader(report, out).read(bytes);
    return report;
}

bool damaged(const LoadReport &report)
{
    return report.problems.size() > (report.overCapacity ? 1 : 0);
}

QString describeProblems(const LoadReport &report)
{
    return report.problems.join(QLatin1Char('\n'));
}

} // namespace Module1
