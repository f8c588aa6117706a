// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar.h"
#include "diskfile.h"
#include "merge.h"
#include "module1.h"
#include "numbers.h"
#include "repeat.h"
#include "rules.h"
#include "starterrules.h"
#include "storelock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>
#include <QStringDecoder>

#include <cerrno>
#include <ctime>
#include <utility>
#include <vector>

namespace Module1 {

namespace {

// Built empty before main, at no cost, and first used after it (as is
// g_seen below): clazy's worry about global constructors does not apply.
LoadReport g_lastLoad; // clazy:exclude=non-pod-global-static

// Past this many lines the message box would only scroll; the rest is counted.
constexpr int kMaxListedProblems = 40;

constexpr QLatin1StringView kBackupSuffix(".bak");

// The bytes 0x80..0x9F of Windows-1252; the rest of the range is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QChar fromCp1252(unsigned char b)
{
    return (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(QLatin1Char(char(b)));
}

// Where each line ends, the way the reader splits them: CR LF, LF or a lone
// CR. Both encodings the reader knows keep these bytes as they are.
qsizetype lineEnd(const QByteArray &bytes, qsizetype pos)
{
    while (pos < bytes.size() && bytes[pos] != '\n' && bytes[pos] != '\r')
        ++pos;
    return pos;
}

// The text of the store file. A UTF-16 byte-order mark is honoured; without
// one the file is UTF-8, except that a line that is not valid UTF-8 was
// most likely written by an older Windows program and is read as
// Windows-1252. Line by line, so one stray byte changes only its own line;
// the numbers of those lines go to `fallbackLines`.
QString decodeStore(QByteArray bytes, std::vector<int> *fallbackLines)
{
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE).decode(QByteArrayView(bytes).sliced(2));
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE).decode(QByteArrayView(bytes).sliced(2));
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;

    text.clear();
    text.reserve(bytes.size());
    int lineNumber = 0;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        const qsizetype end = lineEnd(bytes, pos);
        ++lineNumber;
        const QByteArrayView line = QByteArrayView(bytes).sliced(pos, end - pos);
        QStringDecoder lineUtf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = lineUtf8.decode(line);
        if (!lineUtf8.hasError()) {
            text += decoded;
        } else {
            fallbackLines->push_back(lineNumber);
            for (const char c : line)
                text += fromCp1252(static_cast<unsigned char>(c));
        }
        // The line's end goes along as it was, so the reader counts alike.
        qsizetype next = end;
        if (next < bytes.size()) {
            if (bytes[next] == '\r' && next + 1 < bytes.size() && bytes[next + 1] == '\n')
                ++next;
            text += QLatin1String(bytes.constData() + end, next + 1 - end);
        }
        pos = next + 1;
    }
    return text;
}

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
        else if (key == u"day")
            taskNumber(m_task.day) = number16(key, value, line);
        else if (key == u"mon")
            taskNumber(m_task.month) = number16(key, value, line);
        else if (key == u"yea")
            taskNumber(m_task.year) = number16(key, value, line);
        else if (key == u"hou")
            taskNumber(m_task.hour) = number16(key, value, line);
        else if (key == u"min")
            taskNumber(m_task.minute) = number16(key, value, line);
        else if (key == u"sec")
            taskNumber(m_task.second) = number16(key, value, line);
        else if (key == u"val") {
            m_ruleOpen = true;
            m_rule.interval = number16(key, value, line);
        } else if (key == u"unt") {
            m_ruleOpen = true;
            m_rule.unit = value.toString();
        } else if (key == u"clr") {
            m_ruleOpen = true;
            bool clamped = false;
            m_rule.color = Numbers::readInt32(value, &clamped);
            if (clamped)
                problem(line, QStringLiteral("the colour is out of range and was kept as %1").arg(m_rule.color));
        } else if (key == u"alr") {
            m_ruleOpen = true;
            m_rule.popup = value == u"on";
        } else if (key == u"act") {
            if (value == u"addalert")
                appendRule(line);
            else
                appendTask(line);
        }
    }

    // Records beyond the tables' capacity are read all the same: they are
    // not shown, but every save writes them back (see putInTables).
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

QString replacePairs(const QString &text, QStringView from, QStringView to)
{
    // Scanning left to right and replacing the first remaining pair each time
    // is what QString::replace does for non-overlapping two-character pairs.
    QString result = text;
    result.replace(from.toString(), to.toString());
    return result;
}

// The records a store file held beyond the tables' capacity: not shown,
// and written back after the tables by every save, so that no save drops
// what the tables could not take.
Records g_beyondTables;

void putInTables(Records records)
{
    taskCount = 0;
    ruleCount = 0;
    g_beyondTables = Records{};
    for (Task &t : records.tasks) {
        if (taskCount < kTaskSlots)
            tasks[taskCount++] = std::move(t);
        else
            g_beyondTables.tasks.push_back(std::move(t));
    }
    for (AlertRule &r : records.rules) {
        if (ruleCount < kRuleSlots)
            rules[ruleCount++] = std::move(r);
        else
            g_beyondTables.rules.push_back(std::move(r));
    }
}

// Everything a save writes: the tables, then what did not fit in them.
Records recordsToSave()
{
    Records all = currentRecords();
    all.tasks.insert(all.tasks.end(), g_beyondTables.tasks.begin(), g_beyondTables.tasks.end());
    all.rules.insert(all.rules.end(), g_beyondTables.rules.begin(), g_beyondTables.rules.end());
    return all;
}

// Whether a load met something it could not take as it stood. Records beyond
// the tables' capacity are no such thing: they are kept.
bool damaged(const LoadReport &report)
{
    return report.problems.size() > (report.overCapacity ? 1 : 0);
}

// What Quorvi last read from or wrote to the store file, to tell its own
// writes from everybody else's, and the records in it: the base of a merge.
struct Seen {
    bool known = false; // nothing read or written since the start
    DiskFile::Look look; // Missing when there was no file
    // The bytes themselves, shared with whoever read or wrote them: a
    // comparison costs less than a hash would.
    QByteArray bytes;
    qint64 takenAt = 0; // wall-clock nanoseconds when `look` was taken
    Records records;
    // The last read could not take the file as it stood: before it is
    // replaced, it is kept as the backup.
    bool hadProblems = false;
};

Seen g_seen; // clazy:exclude=non-pod-global-static

// A file's times come from the same clock, in coarse steps. A look taken
// within this long of the file's last change may miss a change made in the
// same step, so then the bytes decide.
constexpr qint64 kCoarseClockNs = 2'000'000'000;

qint64 wallClockNs()
{
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

qint64 toNs(const struct timespec &t)
{
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

void remember(const DiskFile::Look &look, const QByteArray &bytes, Records records, const LoadReport *report)
{
    g_seen.known = true;
    g_seen.look = look;
    g_seen.bytes = bytes;
    g_seen.takenAt = wallClockNs();
    g_seen.records = std::move(records);
    g_seen.hadProblems = report && damaged(*report);
}

void forget()
{
    g_seen = Seen{};
}

// The store file compared with what Quorvi last saw of it.
struct Glance {
    enum State { Unknown, Same, Changed, Vanished, Unusable };
    State state = Unknown;
    DiskFile::Look look; // the file now
    QByteArray bytes;    // when Changed
    QString reason;      // when Unusable
};

Glance glance()
{
    Glance g;
    if (!g_seen.known)
        return g;
    g.look = DiskFile::look(kStoreFileName);
    if (g.look.kind == DiskFile::Look::Failed) {
        g.state = Glance::Unusable;
        g.reason = DiskFile::reason(g.look.error);
        return g;
    }
    if (g.look.kind == DiskFile::Look::Other) {
        g.state = Glance::Unusable;
        g.reason = QStringLiteral("it is not a regular file");
        return g;
    }
    const bool wasThere = g_seen.look.exists();
    if (g.look.kind == DiskFile::Look::Missing) {
        g.state = wasThere ? Glance::Vanished : Glance::Same;
        return g;
    }
    if (wasThere && g.look.sameAs(g_seen.look) && g_seen.takenAt - toNs(g_seen.look.changed) > kCoarseClockNs) {
        g.state = Glance::Same;
        return g;
    }
    DiskFile::Read read = DiskFile::readWhole(kStoreFileName);
    if (!read.ok) {
        g.state = Glance::Unusable;
        g.reason = DiskFile::reason(read.error);
        return g;
    }
    g.look = read.look;
    if (wasThere && read.bytes == g_seen.bytes) {
        // The same bytes (touched, or copied back by a sync tool): only the
        // look is new, and the next glance can trust it.
        g_seen.look = read.look;
        g_seen.takenAt = wallClockNs();
        g.state = Glance::Same;
        return g;
    }
    g.state = Glance::Changed;
    g.bytes = std::move(read.bytes);
    return g;
}

QString backupName()
{
    return kStoreFileName + kBackupSuffix;
}

QString saveFailure(const QString &reason)
{
    return QStringLiteral("Could not save %1: %2").arg(kStoreFileName, reason);
}

QString countOf(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QString mergeNotice(int tasksTwice, int rulesTwice)
{
    QString text = QStringLiteral("%1 was changed elsewhere; your change was merged with it").arg(kStoreFileName);
    QStringList twice;
    if (tasksTwice > 0)
        twice << countOf(tasksTwice, "task", "tasks");
    if (rulesTwice > 0)
        twice << countOf(rulesTwice, "rule", "rules");
    if (!twice.isEmpty()) {
        text += QStringLiteral(", and both versions of %1 were kept: delete the one you do not want")
                    .arg(twice.join(QStringLiteral(" and ")));
    }
    return text + QLatin1Char('.');
}


// How long a save waits for another Quorvi's save to finish (a full store
// takes a few milliseconds) before it gives up and keeps the change.
constexpr int kSaveLockWaitMs = 2000;
// How long a load waits for one. A file replaced by a rename is read whole
// without the lock; only a file rewritten in place (one with other hard
// links) could be met half written, so a load goes ahead after this.
constexpr int kLoadLockWaitMs = 500;
// How long, and how many times, a save puts its file in place again after
// finding that another program's file had taken the place since the look.
constexpr qint64 kRoundsNs = 2'000'000'000;
constexpr int kMaxRounds = 200;

// The lock guards the folder holding the file a save replaces.
QString lockFolder()
{
    return QFileInfo(DiskFile::realTarget(kStoreFileName)).absolutePath();
}

// The folders whose leftovers this process has cleared.
QStringList g_clearedFolders;

// The first time the lock is held on a folder, whatever a save killed half
// way left there goes; the backup's temporary file lives in the working
// folder, which differs from the file's when tasks.txt is a link.
void removeOwnLeftovers(const StoreLock &lock)
{
    if (!lock.held())
        return;
    for (const QString &folder : {lockFolder(), QDir::currentPath()}) {
        if (g_clearedFolders.contains(folder))
            continue;
        g_clearedFolders << folder;
        DiskFile::removeLeftovers(folder);
    }
}

QString lockedMessage(const StoreLock &lock)
{
    const QString holder = lock.holder();
    return QStringLiteral("Could not save %1: another program%2 has been writing it for more than %3 seconds. "
                          "Your change is kept; try again when it is done.")
        .arg(kStoreFileName, holder.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(holder))
        .arg(kSaveLockWaitMs / 1000);
}

QString keepsReplacing()
{
    return QStringLiteral("another program keeps replacing it. Your change is kept; try again.");
}

QString backupMessage()
{
    return QStringLiteral("Some of %1 could not be read as it stood; the file as it was was kept as %2.")
        .arg(kStoreFileName, backupName());
}

void napAfterRound(int round)
{
    const int longest = 1 << qMin(round, 5); // 2 ms, growing to 32
    QThread::usleep(QRandomGenerator::global()->bounded(500, longest * 1000));
}

// Ends a save whose earlier round is in place (`inPlace`, holding `records`
// as `bytes`) while the file it swapped out is not in it: that one is kept
// whole as the backup, and the tables become what is in place.
void settle(DiskFile::Placed &inPlace, Records records, const QByteArray &bytes, SaveResult &result)
{
    const DiskFile::Written kept = DiskFile::keepDisplaced(inPlace, backupName());
    result.message = QStringLiteral("Another program kept replacing %1 while Quorvi saved it; your change is "
                                    "saved, and the last version the other program wrote %2.")
                         .arg(kStoreFileName,
                              kept.ok ? QStringLiteral("was kept as %1").arg(backupName())
                                      : QStringLiteral("could not be kept: %1").arg(DiskFile::reason(kept.error)));
    putInTables(records);
    result.merged = true;
    result.notice = mergeNotice(result.tasksKeptTwice, result.rulesKeptTwice);
    remember(inPlace.look, bytes, std::move(records), nullptr);
    announceChange();
}

// What a save expects to find in place when its file goes in: the file its
// merge started from. Anything else arrived since, and is merged in.
struct Expected {
    bool check = false; // false: nothing was read, the file is simply replaced
    bool exists = false;
    QByteArray bytes;
    DiskFile::Look look;
    Records records; // the base for merging what is found instead
};

// What a save found in place of the file it expected; `found` is false when
// that was the expected one, or nothing that needs merging.
struct Found {
    bool found = false;
    bool unusable = false;
    QString reason;
    QByteArray bytes;
    DiskFile::Look look;
};

Found compareDisplaced(const Expected &expected, const DiskFile::Placed &placed)
{
    Found f;
    // A file that vanished is written anew, as before every save.
    if (!expected.check || !placed.checked || !placed.displacedExists)
        return f;
    if (!placed.displaced.ok) {
        f.found = true;
        f.unusable = true;
        f.reason = placed.displaced.error == EINVAL ? QStringLiteral("it is not a regular file")
                                                    : DiskFile::reason(placed.displaced.error);
        return f;
    }
    if (expected.exists && placed.displaced.bytes == expected.bytes)
        return f;
    f.found = true;
    f.bytes = placed.displaced.bytes;
    f.look = placed.displaced.look;
    return f;
}
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

QString encodeBreaks(const QString &text)
{
    return replacePairs(text, u"\r\n", u"|~");
}

QString decodeBreaks(const QString &text)
{
    return replacePairs(text, u"|~", u"\r\n");
}

LoadReport parseStore(const QByteArray &bytes, Records &out)
{
    LoadReport report;
    out.tasks.reserve(std::size_t(kTaskSlots));
    Reader(report, out).read(bytes);
    return report;
}

LoadReport readStore(const QByteArray &bytes)
{
    Records records;
    LoadReport report = parseStore(bytes, records);
    putInTables(std::move(records));
    return report;
}

LoadReport loadTasks()
{
    taskCount = 0;
    ruleCount = 0;
    g_beyondTables = Records{};
    LoadReport report;
    // No save can be half way through the file while it is read.
    const StoreLock lock(lockFolder(), StoreLock::Kind::Shared, kLoadLockWaitMs);
    removeOwnLeftovers(lock);

    const QFileInfo info(kStoreFileName);
    if (!info.exists() && !info.isSymLink()) {
        report.fileMissing = true;
        remember(DiskFile::Look{}, {}, {}, nullptr);
    } else if (info.isDir()) {
        report.unreadable = true;
        report.unreadableReason = QStringLiteral("it is a folder, not a file");
    } else if (!info.isFile()) {
        // A pipe would block the start for ever and a device could be endless.
        report.unreadable = true;
        report.unreadableReason = QStringLiteral("it is not a regular file");
    } else {
        const DiskFile::Read read = DiskFile::readWhole(kStoreFileName);
        if (!read.ok) {
            report.unreadable = true;
            report.unreadableReason = DiskFile::reason(read.error);
        } else {
            Records records;
            report = parseStore(read.bytes, records);
            remember(read.look, read.bytes, records, &report);
            putInTables(std::move(records));
        }
    }
    if (report.unreadable) {
        forget();
        report.problems.prepend(QStringLiteral("%1 could not be read: %2").arg(kStoreFileName, report.unreadableReason));
    }
    g_lastLoad = report;
    return report;
}

const LoadReport &lastLoadReport()
{
    return g_lastLoad;
}

QString describeProblems(const LoadReport &report)
{
    return report.problems.join(QLatin1Char('\n'));
}

QByteArray storeText(std::span<const Task> taskList, std::span<const AlertRule> ruleList)
{
    // Built straight into UTF-8: a full store is rewritten after every change.
    QByteArray out;
    out.reserve(256 + qsizetype(taskList.size()) * 200 + qsizetype(ruleList.size()) * 64);
    const auto line = [&out](const char *key, const QString &value) {
        out += key;
        out += value.toUtf8();
        out += "\r\n";
    };
    const auto number = [&out](const char *key, qint64 value) {
        out += key;
        out += QByteArray::number(value);
        out += "\r\n";
    };
    out += "; Quorvi\r\n; ----------\r\n; Tasks and settings\r\n; DO NOT MODIFY THIS FILE\r\n\r\n"
           "[Tasks]\r\n\r\n";
    for (const Task &t : taskList) {
        line("ttl=", t.title);
        line("for=", t.forWhom);
        number("day=", t.day);
        number("mon=", t.month);
        number("yea=", t.year);
        number("hou=", t.hour);
        number("min=", t.minute);
        number("sec=", t.second);
        line("des=", encodeBreaks(t.description));
        if (!t.doneText.isEmpty())
            line("don=", t.doneText);
        if (!t.repeatText.isEmpty())
            line("rep=", t.repeatText);
        if (!t.uid.isEmpty())
            line("uid=", t.uid);
        out += "act=addtask\r\n\r\n";
    }
    out += "[Alerts]\r\n\r\n";
    for (const AlertRule &r : ruleList) {
        number("val=", r.interval);
        line("unt=", r.unit);
        number("clr=", r.color);
        out += r.popup ? "alr=on\r\n" : "alr=off\r\n";
        out += "act=addalert\r\n\r\n";
    }
    out += "\r\n";
    return out;
}

QByteArray storeText()
{
    if (g_beyondTables.tasks.empty() && g_beyondTables.rules.empty())
        return storeText(liveTasks(), liveRules());
    const Records all = recordsToSave();
    return storeText(all.tasks, all.rules);
}

bool storeChangedElsewhere()
{
    return glance().state == Glance::Changed;
}

bool storeReadOnly()
{
    const DiskFile::Look file = DiskFile::look(kStoreFileName);
    return file.exists() && DiskFile::isReadOnly(kStoreFileName, file);
}

SaveResult saveTasks()
{
    SaveResult result;
    const auto fail = [&result](const QString &message) {
        result.ok = false;
        result.message = message;
        return result;
    };
    if (g_lastLoad.unreadable) {
        return fail(QStringLiteral("%1 could not be read, so it will not be overwritten: %2")
                        .arg(kStoreFileName, g_lastLoad.unreadableReason));
    }

    // From the look at the file until the new one is in place, no other
    // Quorvi saves: its look would miss this save, and this one its.
    const StoreLock lock(lockFolder(), StoreLock::Kind::Exclusive, kSaveLockWaitMs);
    if (lock.busy())
        return fail(lockedMessage(lock));
    removeOwnLeftovers(lock);

    Glance now = glance();
    if (now.state == Glance::Unknown)
        now.look = DiskFile::look(kStoreFileName);
    if (now.state == Glance::Unusable)
        return fail(saveFailure(now.reason));
    if (now.look.kind == DiskFile::Look::Failed)
        return fail(saveFailure(DiskFile::reason(now.look.error)));
    if (now.look.kind == DiskFile::Look::Other)
        return fail(saveFailure(QStringLiteral("it is not a regular file")));
    const bool exists = now.look.exists();
    if (exists && DiskFile::isReadOnly(kStoreFileName, now.look))
        return fail(QStringLiteral("%1 is read-only, so your change could not be saved.").arg(kStoreFileName));

    Records written = recordsToSave();
    // A first run: the load found no file, and none has come since.
    bool starterRules = g_seen.known && !g_seen.look.exists() && !exists
                        && StarterRules::giveToNewStore(written.rules);
    bool replacedHadProblems = g_seen.hadProblems;
    Expected expected;
    // A store never read has nothing to compare with: the tables replace
    // whatever is there, as they always did.
    expected.check = g_seen.known;
    expected.exists = g_seen.look.exists();
    expected.bytes = g_seen.bytes;
    expected.look = now.look;
    expected.records = g_seen.records;
    if (now.state == Glance::Vanished)
        expected.exists = false;
    bool merged = false;
    const auto mergeIn = [&](const Records &theirs) {
        // Somebody else wrote the file since Quorvi last saw it: their
        // changes and ours both go in.
        MergeOutcome merge = mergeRecords(expected.records, written, theirs);
        sortTaskList(merge.merged.tasks, sortMode);
        result.tasksKeptTwice += merge.tasksKeptTwice;
        result.rulesKeptTwice += merge.rulesKeptTwice;
        written = std::move(merge.merged);
        merged = true;
    };
    if (now.state == Glance::Changed) {
        Records theirs;
        const LoadReport theirReport = parseStore(now.bytes, theirs);
        mergeIn(theirs);
        replacedHadProblems = damaged(theirReport);
        expected.exists = true;
        expected.bytes = now.bytes;
        expected.look = now.look;
        expected.records = std::move(theirs);
    }

    // The file as it is now is kept before anything replaces it when it
    // holds what the reader could not take.
    const auto keepBackup = [&](const QByteArray &bytes, const DiskFile::Look &look) {
        const DiskFile::Written backup = DiskFile::replace(backupName(), bytes, &look);
        if (!backup.ok) {
            return QStringLiteral("Could not save %1: keeping the file as it was as %2 failed: %3")
                .arg(kStoreFileName, backupName(), DiskFile::reason(backup.error));
        }
        result.message = backupMessage();
        return QString();
    };
    if (exists && replacedHadProblems) {
        if (now.state != Glance::Changed) {
            DiskFile::Read read = DiskFile::readWhole(kStoreFileName);
            if (!read.ok)
                return fail(saveFailure(DiskFile::reason(read.error)));
            now.bytes = std::move(read.bytes);
        }
        if (const QString failure = keepBackup(now.bytes, now.look); !failure.isEmpty())
            return fail(failure);
    }

    // Another program may put its own file in place between the look and the
    // rename (sync tools and editors take no lock). The new file is swapped
    // with whatever is there, and what comes out is compared with what was
    // merged: anything else is merged in and the save goes round again.
    const DiskFile::Look keep = now.look;
    bool linked = exists && now.look.links > 1;
    // The file an earlier round put in place, whose swapped-out file is
    // merged into `written` but not yet in any file in place.
    DiskFile::Placed pending;
    Records pendingRecords;
    QByteArray pendingBytes;
    QElapsedTimer started;
    started.start();
    QByteArray bytes;
    DiskFile::Look savedLook;
    for (int round = 1;; ++round) {
        bytes = storeText(written.tasks, written.rules);
        Found found;
        DiskFile::Placed placed;
        const bool lastRound = round >= kMaxRounds || started.nsecsElapsed() > kRoundsNs;
        if (linked) {
            // Rewritten in place, so the other names see it; a file another
            // program renamed there meanwhile is read and merged instead,
            // and nothing is written until the file is the one expected.
            const DiskFile::Written saved = DiskFile::overwrite(kStoreFileName, bytes, expected.look);
            if (saved.notExpected) {
                if (lastRound)
                    return fail(saveFailure(keepsReplacing()));
                DiskFile::Read read = DiskFile::readWhole(kStoreFileName);
                if (!read.ok)
                    return fail(saveFailure(DiskFile::reason(read.error)));
                found.found = expected.check && (!expected.exists || read.bytes != expected.bytes);
                found.bytes = std::move(read.bytes);
                found.look = read.look;
                if (!found.found) {
                    // Touched, not changed (or never read): written as it is.
                    expected.look = found.look;
                    linked = found.look.links > 1;
                    continue;
                }
            } else if (!saved.ok) {
                return fail(saveFailure(DiskFile::reason(saved.error)));
            } else {
                savedLook = saved.look;
            }
        } else {
            placed = DiskFile::place(kStoreFileName, bytes, exists ? &keep : nullptr);
            if (!placed.ok) {
                if (pending.displacedName.isEmpty())
                    return fail(saveFailure(DiskFile::reason(placed.error)));
                // An earlier round's file is in place, with the change; what
                // it swapped out is kept whole beside it.
                settle(pending, pendingRecords, pendingBytes, result);
                return result;
            }
            savedLook = placed.look;
            found = compareDisplaced(expected, placed);
            // What the last round swapped out is in the file now in place.
            DiskFile::dropDisplaced(pending);
        }
        if (!found.found) {
            DiskFile::dropDisplaced(placed);
            break;
        }
        if (found.unusable) {
            // Not a store file (a folder, a link): it goes back where it was.
            DiskFile::putBack(placed, backupName());
            return fail(saveFailure(found.reason));
        }
        if (lastRound) {
            // Another program keeps replacing the file: this round's file,
            // which holds the change, stays, and the last one it wrote is
            // kept whole beside it.
            settle(placed, written, bytes, result);
            return result;
        }
        Records theirs;
        const LoadReport theirReport = parseStore(found.bytes, theirs);
        if (damaged(theirReport)) {
            if (const QString failure = keepBackup(found.bytes, found.look); !failure.isEmpty()) {
                DiskFile::putBack(placed, backupName());
                return fail(failure);
            }
        }
        if (std::exchange(starterRules, false)) {
            // Another program created the file first: an existing store
            // keeps the rules it has.
            written.rules.clear();
        }
        const Records ours = written;
        // A program that takes no lock may have written its file from an
        // older version than the one it replaced: what its file lacks is
        // not taken for deleted, so nothing that reached the file is lost
        // (a deletion made in these few milliseconds comes back instead).
        expected.records = commonRecords(expected.records, theirs);
        mergeIn(theirs);
        if (linked) {
            // Nothing was written: the file found is the one to replace.
            expected.look = found.look;
            expected.bytes = found.bytes;
            expected.records = std::move(theirs);
            linked = found.look.links > 1;
        } else {
            // This round's file is in place now; the next swap must find it.
            expected.look = placed.look;
            expected.bytes = bytes;
            expected.records = ours;
            pending = std::move(placed);
            pendingRecords = ours;
            pendingBytes = bytes;
        }
        expected.exists = true;
        expected.check = true;
        // A writer that also checks and tries again would meet this one in
        // step every time: a pause of a few milliseconds, at random, parts them.
        napAfterRound(round);
    }

    if (merged) {
        putInTables(written);
        result.merged = true;
        result.notice = mergeNotice(result.tasksKeptTwice, result.rulesKeptTwice);
    }
    remember(savedLook, bytes, std::move(written), nullptr);
    if (result.merged)
        announceChange();
    return result;
}

void resetStore()
{
    tasks.fill(Task{});
    rules.fill(AlertRule{});
    taskCount = 0;
    ruleCount = 0;
    sortMode = 0;
    g_lastLoad = LoadReport{};
    g_beyondTables = Records{};
    g_clearedFolders.clear();
    forget();
}

} // namespace Module1
