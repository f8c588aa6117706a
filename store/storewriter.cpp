// SPDX-License-Identifier: GPL-3.0-or-later
// The store file as Quorvi writes it.
#include "module1.h"

namespace Module1 {

namespace {

QString replacePairs(const QString &text, QStringView from, QStringView to)
{
    // Scanning left to right and replacing the first remaining pair each time
    // is what QString::replace does for non-overlapping two-character pairs.
    QString result = text;
    result.replace(from.toString(), to.toString());
    return result;
}

} // namespace

QString encodeBreaks(const QString &text)
{
    return replacePairs(text, u"\r\n", u"|~");
}

QString decodeBreaks(const QString &text)
{
    return replacePairs(text, u"|~", u"\r\n");
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

} // namespace Module1
