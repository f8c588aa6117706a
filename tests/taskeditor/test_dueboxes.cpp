// SPDX-License-Identifier: GPL-3.0-or-later
#include "dueboxes.h"

#include "storesandbox.h"

#include <QTest>

using Module1::Task;

Q_DECLARE_METATYPE(Module1::Task)

namespace {

Task typed(int year, int month, int day, int hour, int minute = 0, int second = 0)
{
    return TestData::task({}, {}, year, month, day, hour, minute, second);
}

const QDateTime kNow(QDate(2026, 12, 8), QTime(15, 20));

} // namespace

class TestDueBoxes : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void previewSaysTheMomentOkSaves_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<Task>("task");
        QTest::addColumn<QString>("shown");
        QTest::newRow("hour 25 carries a day")
            << "en_GB" << typed(2026, 12, 8, 25) << "Wednesday, 9 December 2026, 01:00";
        QTest::newRow("day 31 of February, seconds shown")
            << "en_US" << typed(2027, 2, 31, 9, 30, 15) << "Wednesday, March 3, 2027, 9:30:15 AM";
        QTest::newRow("minute -1 goes back a year")
            << "en_GB" << typed(2027, 1, 1, 0, -1) << "Thursday, 31 December 2026, 23:59";
        QTest::newRow("earlier today is past")
            << "en_GB" << typed(2026, 12, 8, 15) << "Tuesday, 8 December 2026, 15:00, in the past";
        QTest::newRow("this very minute is not past")
            << "en_GB" << typed(2026, 12, 8, 15, 20) << "Tuesday, 8 December 2026, 15:20";
        QTest::newRow("a year typed short")
            << "de_DE" << typed(26, 3, 3, 0) << "Dienstag, 3. März 0026, 00:00, in the past";
        QTest::newRow("far ahead")
            << "de_DE" << typed(30000, 3, 1, 9) << "Mittwoch, 1. März 30000, 09:00";
        QTest::newRow("second 90 carries a minute")
            << "de_DE" << typed(2026, 12, 24, 18, 0, 90) << "Donnerstag, 24. Dezember 2026, 18:01:30";
    }

    void previewSaysTheMomentOkSaves()
    {
        QFETCH(QString, locale);
        QFETCH(Task, task);
        QFETCH(QString, shown);
        const Task before = task;
        QCOMPARE(DuePreview::text(task, kNow, QLocale(locale)), shown);
        // Nothing typed is corrected on the way.
        QCOMPARE(task.hour, before.hour);
        QCOMPARE(task.day, before.day);
    }

    void newTaskStartsAtTheNextFullHour_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<int>("hour");
        QTest::newRow("afternoon") << kNow << QDate(2026, 12, 8) << 16;
        QTest::newRow("on the hour") << QDateTime(QDate(2026, 12, 8), QTime(14, 0)) << QDate(2026, 12, 8) << 15;
        QTest::newRow("before midnight of the year's last day")
            << QDateTime(QDate(2026, 12, 31), QTime(23, 30)) << QDate(2027, 1, 1) << 0;
        QTest::newRow("just after midnight") << QDateTime(QDate(2028, 2, 29), QTime(0, 0, 1)) << QDate(2028, 2, 29) << 1;
    }

    void newTaskStartsAtTheNextFullHour()
    {
        QFETCH(QDateTime, now);
        QFETCH(QDate, date);
        QFETCH(int, hour);
        const Task t = TaskFields::blankTaskAt(now);
        QCOMPARE(QDate(t.year, t.month, t.day), date);
        QCOMPARE(int(t.hour), hour);
        QCOMPARE(int(t.minute), 0);
        QCOMPARE(int(t.second), 0);
        QVERIFY(t.title.isEmpty() && t.forWhom.isEmpty() && t.description.isEmpty());
        QVERIFY(t.repeatText.isEmpty() && t.doneText.isEmpty() && t.uid.isEmpty());
        // Ok on the untouched form saves a moment still to come.
        QVERIFY(DuePreview::text(t, now, QLocale(QStringLiteral("en_GB"))).indexOf(QStringLiteral("past")) < 0);
    }
};

QTEST_GUILESS_MAIN(TestDueBoxes)
#include "test_dueboxes.moc"
