// SPDX-License-Identifier: GPL-3.0-or-later
// The real alarm against the real clock, with waits of a fraction of a
// second: it rings at the wall-clock moment it was set for, not before, and
// only for the last moment set.
#include "alarm.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using Reminders::WallAlarm;

class TestAlarm : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void followsTheWallClockOnLinux()
    {
#ifdef Q_OS_LINUX
        WallAlarm alarm;
        QVERIFY(alarm.followsWallClock());
#else
        QSKIP("the real-time timer is Linux's");
#endif
    }

    void ringsAtTheMomentAndNotBefore()
    {
        WallAlarm alarm;
        QSignalSpy rang(&alarm, &WallAlarm::rang);
        const QDateTime moment = QDateTime::currentDateTime().addMSecs(300);
        alarm.wakeAt(moment);
        QVERIFY(rang.wait(5000));
        QVERIFY(QDateTime::currentDateTime() >= moment);
        QCOMPARE(rang.count(), 1);
        // Once only: no tick follows.
        QTest::qWait(200);
        QCOMPARE(rang.count(), 1);
    }

    void aPastMomentRingsAtOnce()
    {
        WallAlarm alarm;
        QSignalSpy rang(&alarm, &WallAlarm::rang);
        QElapsedTimer elapsed;
        elapsed.start();
        alarm.wakeAt(QDateTime::currentDateTime().addDays(-3));
        QVERIFY(rang.wait(5000));
        QVERIFY(elapsed.elapsed() < 4000);
        alarm.wakeAt(QDateTime::fromMSecsSinceEpoch(0)); // the epoch itself, not "disarmed"
        QVERIFY(rang.wait(5000));
    }

    void theLastMomentSetWins()
    {
        WallAlarm alarm;
        QSignalSpy rang(&alarm, &WallAlarm::rang);
        alarm.wakeAt(QDateTime::currentDateTime().addMSecs(100));
        const QDateTime later = QDateTime::currentDateTime().addMSecs(600);
        alarm.wakeAt(later);
        QVERIFY(rang.wait(5000));
        QVERIFY(QDateTime::currentDateTime() >= later);

        // An invalid moment sets none.
        alarm.wakeAt(QDateTime::currentDateTime().addMSecs(100));
        alarm.wakeAt(QDateTime());
        QVERIFY(!rang.wait(500));
        QCOMPARE(rang.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestAlarm)
#include "test_alarm.moc"
