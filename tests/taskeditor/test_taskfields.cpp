// SPDX-License-Identifier: GPL-3.0-or-later
#include "taskfields.h"

#include <QTest>

class TestTaskFields : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void monthNamesAreTheTwelveInCalendarOrder();
    void monthIndex_data();
    void monthIndex();
    void monthFromIndex_data();
    void monthFromIndex();
    void descriptionRoundTrip_data();
    void descriptionRoundTrip();
    void everyBreakFromTheEditorBecomesCrLf_data();
    void everyBreakFromTheEditorBecomesCrLf();
    void singleLineTurnsBreaksIntoBlanks_data();
    void singleLineTurnsBreaksIntoBlanks();
};

void TestTaskFields::monthNamesAreTheTwelveInCalendarOrder()
{
    const QStringList names = TaskFields::monthNames();
    QCOMPARE(names.size(), 12);
    QCOMPARE(names.first(), QStringLiteral("January"));
    QCOMPARE(names.at(4), QStringLiteral("May"));
    QCOMPARE(names.at(8), QStringLiteral("September"));
    QCOMPARE(names.last(), QStringLiteral("December"));
}

void TestTaskFields::monthIndex_data()
{
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("index");
    QTest::newRow("never used") << 0 << -1;
    QTest::newRow("January") << 1 << 0;
    QTest::newRow("June") << 6 << 5;
    QTest::newRow("December") << 12 << 11;
    QTest::newRow("thirteen") << 13 << -1;
    QTest::newRow("fourteen") << 14 << -1;
    QTest::newRow("negative") << -1 << -1;
    QTest::newRow("largest") << 32767 << -1;
    QTest::newRow("smallest") << -32768 << -1;
}

void TestTaskFields::monthIndex()
{
    QFETCH(int, month);
    QFETCH(int, index);
    QCOMPARE(TaskFields::monthIndex(qint16(month)), index);
}

void TestTaskFields::monthFromIndex_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("picked");
    QTest::addColumn<int>("month");
    QTest::newRow("nothing picked") << -1 << false << 0;
    QTest::newRow("January") << 0 << true << 1;
    QTest::newRow("December") << 11 << true << 12;
    QTest::newRow("past the list") << 12 << false << 0;
}

void TestTaskFields::monthFromIndex()
{
    QFETCH(int, index);
    QFETCH(bool, picked);
    QFETCH(int, month);
    qint16 stored = 99;
    QCOMPARE(TaskFields::monthFromIndex(index, &stored), picked);
    // Nothing picked must leave the stored month exactly as it was.
    QCOMPARE(int(stored), picked ? month : 99);
}

void TestTaskFields::descriptionRoundTrip_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("one line") << QStringLiteral("call Bob") << QStringLiteral("call Bob");
    QTest::newRow("two lines") << QStringLiteral("a\r\nb") << QStringLiteral("a\nb");
    QTest::newRow("empty line between") << QStringLiteral("a\r\n\r\nb") << QStringLiteral("a\n\nb");
    QTest::newRow("break at the end") << QStringLiteral("a\r\n") << QStringLiteral("a\n");
    QTest::newRow("pipe tilde stays text") << QStringLiteral("x|~y") << QStringLiteral("x|~y");
}

void TestTaskFields::descriptionRoundTrip()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QCOMPARE(TaskFields::descriptionForEditor(stored), shown);
    QCOMPARE(TaskFields::descriptionFromEditor(shown), stored);
}

void TestTaskFields::everyBreakFromTheEditorBecomesCrLf_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("stored");
    QTest::newRow("paragraph separator") << QStringLiteral("a\u2029b") << QStringLiteral("a\r\nb");
    QTest::newRow("line separator") << QStringLiteral("a\u2028b") << QStringLiteral("a\r\nb");
    QTest::newRow("lone CR") << QStringLiteral("a\rb") << QStringLiteral("a\r\nb");
    QTest::newRow("CR LF stays one break") << QStringLiteral("a\r\nb") << QStringLiteral("a\r\nb");
    QTest::newRow("LF CR is two breaks") << QStringLiteral("a\n\rb") << QStringLiteral("a\r\n\r\nb");
    QTest::newRow("non-breaking space kept") << QStringLiteral("a\u00A0b") << QStringLiteral("a\u00A0b");
}

void TestTaskFields::everyBreakFromTheEditorBecomesCrLf()
{
    QFETCH(QString, raw);
    QFETCH(QString, stored);
    QCOMPARE(TaskFields::descriptionFromEditor(raw), stored);
}

void TestTaskFields::singleLineTurnsBreaksIntoBlanks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");
    QTest::newRow("plain") << QStringLiteral("Tax return") << QStringLiteral("Tax return");
    QTest::newRow("LF") << QStringLiteral("a\nb") << QStringLiteral("a b");
    QTest::newRow("CR LF") << QStringLiteral("a\r\nb") << QStringLiteral("a  b");
    QTest::newRow("lone CR") << QStringLiteral("a\rb") << QStringLiteral("a b");
    // Only CR and LF end a line of the store file; other separators are kept
    // as stored, so opening the editor changes nothing by itself.
    QTest::newRow("paragraph separator") << QStringLiteral("a\u2029b") << QStringLiteral("a\u2029b");
    QTest::newRow("line separator") << QStringLiteral("a\u2028b") << QStringLiteral("a\u2028b");
}

void TestTaskFields::singleLineTurnsBreaksIntoBlanks()
{
    QFETCH(QString, text);
    QFETCH(QString, line);
    QCOMPARE(TaskFields::singleLine(text), line);
}

QTEST_APPLESS_MAIN(TestTaskFields)
#include "test_taskfields.moc"
