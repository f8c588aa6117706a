// SPDX-License-Identifier: GPL-3.0-or-later
// A running Quorvi with its real windows: background mode's closing and
// exiting, reminders shown in the alert window where nothing else can show
// them, "Show" opening the list at the task, the new day, and what another
// start on the same folder asks for. Time comes from a test clock.
#include "appearance.h"
#include "calendar.h"
#include "fakeseam.h"
#include "frmmain.h"
#include "frmstartup.h"
#include "frmtask.h"
#include "listcell.h"
#include "privatebus.h"
#include "session.h"
#include "storesandbox.h"
#include "storeside.h"
#include "syncrunner.h"
#include "manualalarm.h"
#include "preferences.h"
#include "testclock.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

using TestData::task;

namespace {

QDateTime at(int d, int h, int mi = 0)
{
    return QDateTime(QDate(2030, 6, d), QTime(h, mi));
}

QString pageText(FrmStartup &startup)
{
    return startup.findChild<QTextBrowser *>(QStringLiteral("WebBrowser1"))->toPlainText();
}

QByteArray pageFile(const RuntimeSandbox &runtime)
{
    QFile file(runtime.page());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Closes every window the way a close button does while the program's loop
// runs, and returns how the loop ended: 0 when closing the last window
// ended the program, 42 when it kept running.
int closeAllInTheEventLoop(const QList<QWidget *> &windows)
{
    QTimer::singleShot(0, qApp, [windows] {
        for (QWidget *window : windows)
            window->close();
    });
    // Gone with this call, so that it cannot end a later test's wait.
    QTimer keptRunning;
    keptRunning.setSingleShot(true);
    QObject::connect(&keptRunning, &QTimer::timeout, qApp, [] { QCoreApplication::exit(42); });
    keptRunning.start(500);
    return QCoreApplication::exec();
}

} // namespace

class TestSession : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { Appearance::applyAppearance(*qApp); }

    void init()
    {
        m_store = std::make_unique<StoreSandbox>();
        m_runtime = std::make_unique<RuntimeSandbox>();
        m_seam = std::make_unique<FakeSeam>();
        m_bus = std::make_unique<PrivateBus>();
        QVERIFY2(m_bus->isRunning(), "dbus-daemon did not start");
        m_startup = std::make_unique<FrmStartup>(Context{m_store->store(), *m_seam});
        m_alarm = std::make_unique<ManualAlarm>();
    }

    void cleanup()
    {
        m_startup.reset();
        m_alarm.reset();
        m_bus.reset();
        m_seam.reset();
        m_runtime.reset();
        m_store.reset();
        QApplication::setQuitOnLastWindowClosed(true);
    }

    void backgroundCloseOnlyHides()
    {
        QVERIFY(loadATaskDueToday());
        Session session(*m_startup, true, *m_alarm, bus());
        session.start();
        Opening::bringUp(m_startup.get());
        FrmMain *list = m_startup->mainWindow();
        Opening::bringUp(list);
        QCOMPARE(closeAllInTheEventLoop({m_startup.get(), list}), 42);
        QVERIFY(!m_startup->isVisible());
        QVERIFY(!list->isVisible());
        QVERIFY(m_seam->endCodes.isEmpty());
        // Still there: the tray's "Show all..." brings the list back.
        session.tray()->menu()->actions().at(0)->trigger();
        QVERIFY(list->isVisible());

        // The closed alert window let its page go; shown again, it has one.
        QVERIFY(pageText(*m_startup).isEmpty());
        session.alertAgain();
        QVERIFY(m_startup->isVisible());
        QVERIFY(pageText(*m_startup).contains(QStringLiteral("TODAY!!!")));
    }

    void withoutBackgroundClosingTheLastWindowEnds()
    {
        QVERIFY(loadATaskDueToday());
        Session session(*m_startup, false, *m_alarm, bus());
        session.start();
        QVERIFY(!session.tray());
        Opening::bringUp(m_startup.get());
        QCOMPARE(closeAllInTheEventLoop({m_startup.get()}), 0);
        // The program ends here anyway; nothing is let go on the way.
        QVERIFY(pageText(*m_startup).contains(QStringLiteral("TODAY!!!")));
    }

    void exitEndsTheProgram()
    {
        QVERIFY(loadATaskDueToday());
        Session session(*m_startup, true, *m_alarm, bus());
        session.start();
        // The alert window's Exit only closes it: the day's reminders, and
        // any "In 10 minutes", go on.
        Opening::bringUp(m_startup.get());
        auto *exit = m_startup->findChild<QPushButton *>(QStringLiteral("cmdExit"));
        QTest::mouseClick(exit, Qt::LeftButton);
        QVERIFY(!m_startup->isVisible());
        QVERIFY(m_seam->endCodes.isEmpty());

        const QList<QAction *> trayActions = session.tray()->menu()->actions();
        QCOMPARE(trayActions.at(1)->text(), QStringLiteral("&Exit"));
        trayActions.at(1)->trigger();
        QCOMPARE(m_seam->endCodes, QList<int>({0}));
        m_startup->mainWindow()->findChild<QAction *>(QStringLiteral("menu_exi"))->trigger();
        QCOMPARE(m_seam->endCodes, QList<int>({0, 0}));
    }

    void showOpensTheListAtTheTask()
    {
        QList<Module1::Task> tasks;
        for (int i = 0; i < 300; ++i)
            tasks << task(QStringLiteral("Task %1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("x"), 2030, 7, 1 + i % 28, i % 24);
        TestData::saveStore(tasks, {});
        Session session(*m_startup, false, *m_alarm, bus());
        FrmMain *list = m_startup->mainWindow();
        testStore().setSortMode(Module1::ByTitle);
        list->drawList();
        session.showTask(task(QStringLiteral("Task 250"), QStringLiteral("x"), 2030, 7, 1 + 250 % 28, 250 % 24));
        QVERIFY(list->isVisible());
        QCOMPARE(list->selectedRow(), 251);
        QCOMPARE(list->lblTitle()[251]->text(), QStringLiteral("Task 250"));
        // Scrolled so the row is in sight.
        QVERIFY(list->findChild<QScrollBar *>(QStringLiteral("vscroll"))->value() > 0);
        const QRect row = list->lblTitle()[251]->geometry().translated(list->lblTitle()[251]->parentWidget()->pos());
        QVERIFY(row.top() >= 0);
        QVERIFY(row.bottom() <= list->lblTitle()[251]->parentWidget()->parentWidget()->height());

        // A task that is gone opens the list and selects nothing new.
        session.showTask(task(QStringLiteral("Deleted"), {}, 2030, 1, 1));
        QCOMPARE(list->selectedRow(), 251);
    }

    void doneOnAReminderMarksTheTaskAndSaves()
    {
        Module1::Task rent = task(QStringLiteral("Rent"), QStringLiteral("Landlord"), 2030, 6, 1, 9);
        rent.repeatText = QStringLiteral("1m@1");
        TestData::saveStore({task(QStringLiteral("Once"), {}, 2030, 6, 15, 9), rent}, {});
        QVERIFY(!m_startup->formLoad());
        TestClock clock(QDateTime(QDate(2030, 6, 15), QTime(9, 30)));
        Session session(*m_startup, false, *m_alarm, bus());
        session.markTaskDone(announced(QStringLiteral("Once")));
        QVERIFY(StoreSandbox::read().contains("ttl=Once\r\nfor=\r\nday=15\r\nmon=6\r\nyea=2030\r\nhou=9\r\n"
                                             "min=0\r\nsec=0\r\ndes=\r\ndon=2030-06-15 09:30:00\r\nact=addtask"));
        // A repeating task moves on to its next occurrence instead.
        rent = announced(QStringLiteral("Rent"));
        session.markTaskDone(rent);
        QVERIFY(StoreSandbox::read().contains("ttl=Rent\r\nfor=Landlord\r\nday=1\r\nmon=7\r\nyea=2030\r\n"));
        QVERIFY(m_seam->messages.isEmpty());

        // An editor open on it edits a copy: the click is acted on at once,
        // and the editor's Cancel changes nothing of it.
        FrmMain *list = m_startup->mainWindow();
        list->frmTask()->prepare(1);
        list->frmTask()->open();
        QTRY_VERIFY(QApplication::activeModalWidget());
        const Module1::Task july = announced(QStringLiteral("Rent"));
        session.markTaskDone(july);
        QVERIFY(StoreSandbox::read().contains("ttl=Rent\r\nfor=Landlord\r\nday=1\r\nmon=8\r\nyea=2030\r\n"));
        list->frmTask()->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
        QVERIFY(StoreSandbox::read().contains("ttl=Rent\r\nfor=Landlord\r\nday=1\r\nmon=8\r\nyea=2030\r\n"));

        // A second Done on the same notification, or on the June one, finds
        // no task as it was announced: nothing moves on twice.
        session.markTaskDone(july);
        session.markTaskDone(rent);
        QVERIFY(StoreSandbox::read().contains("ttl=Rent\r\nfor=Landlord\r\nday=1\r\nmon=8\r\nyea=2030\r\n"));
    }

    void aReminderDoneReachesItsTaskAfterASortAndAReload()
    {
        QList<Module1::Task> tasks;
        for (const char *title : {"Delta", "Alpha", "Charlie", "Bravo"})
            tasks << task(QString::fromLatin1(title), {}, 2030, 6, 20 + int(tasks.size()), 9);
        TestData::saveStore(tasks, {});
        TestClock clock(QDateTime(QDate(2030, 6, 15), QTime(9, 30)));
        Session session(*m_startup, false, *m_alarm, bus());
        FrmMain *list = m_startup->mainWindow();
        Opening::bringUp(list);
        const Module1::Task charlie = announced(QStringLiteral("Charlie"));
        // The list re-sorted, and read again after another program changed
        // another task.
        QTest::mouseClick(list->findChild<QPushButton *>(QStringLiteral("cmdTitle")), Qt::LeftButton);
        QByteArray bytes = StoreSandbox::read();
        bytes.replace("ttl=Delta", "ttl=Delta (changed elsewhere)");
        StoreSandbox::write(bytes);
        QTRY_COMPARE(list->lblTitle()[4]->text(), QStringLiteral("Delta (changed elsewhere)"));
        QCOMPARE(testStore().slotOf(charlie.id), 2);
        session.markTaskDone(charlie);
        QVERIFY(testStore().find(charlie.id)->done);
        QVERIFY(StoreSandbox::read().contains("ttl=Charlie\r\nfor=\r\nday=22\r\nmon=6\r\nyea=2030\r\nhou=9\r\n"
                                             "min=0\r\nsec=0\r\ndes=\r\ndon=2030-06-15 09:30:00\r\n"));
    }

    void theNewDayComesAtOnceWithAnEditorOpen()
    {
        TestData::saveStore({task(QStringLiteral("Early"), {}, 2030, 6, 16, 9), task(QStringLiteral("Late"), {}, 2030, 6, 20, 9)},
                            {TestData::rule(1, 255, true)});
        TestClock clock(QDateTime(QDate(2030, 6, 15), QTime(23, 59)));
        Session session(*m_startup, true, *m_alarm, bus());
        FrmMain *list = m_startup->mainWindow();
        Opening::bringUp(list);
        // New Task, left open over midnight (the fake seam does not block).
        list->findChild<QAction *>(QStringLiteral("menu_new"))->trigger();
        QTRY_VERIFY(QApplication::activeModalWidget());
        clock.set(QDateTime(QDate(2030, 6, 16), QTime(0, 0, 1)));
        session.newDay(QDate(2030, 6, 16));
        // The editor holds a copy: the day is greeted at once, the alert
        // comes up with Early due today, and the new task is not in the
        // store until Ok.
        QVERIFY(m_startup->isVisible());
        QVERIFY(pageText(*m_startup).contains(QStringLiteral("Early")));
        QVERIFY(list->lblTitle()[1]->font().bold());
        QCOMPARE(testStore().taskCount(), 2);
        auto *title = list->frmTask()->findChild<QLineEdit *>(QStringLiteral("txtTitle"));
        title->setText(QStringLiteral("Brand new"));
        list->frmTask()->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
        const QByteArray stored = StoreSandbox::read();
        QVERIFY(stored.contains("ttl=Early\r\nfor=\r\nday=16\r\nmon=6\r\nyea=2030"));
        QVERIFY(stored.contains("ttl=Late\r\nfor=\r\nday=20\r\nmon=6\r\nyea=2030"));
        QVERIFY(stored.contains("ttl=Brand new\r\n"));
        QCOMPARE(testStore().taskCount(), 3);
    }

    void doneFromElsewhereKeepsTheSelectedTask()
    {
        QList<Module1::Task> tasks;
        for (const char *title : {"A", "B", "C", "D"})
            tasks << task(QString::fromLatin1(title), {}, 2030, 6, 20 + int(tasks.size()), 9);
        TestData::saveStore(tasks, {});
        TestClock clock(QDateTime(QDate(2030, 6, 15), QTime(9, 30)));
        Session session(*m_startup, false, *m_alarm, bus());
        FrmMain *list = m_startup->mainWindow();
        list->highlight(3); // C
        session.markTaskDone(announced(QStringLiteral("A"))); // from its notification
        QCOMPARE(list->lblTitle()[list->selectedRow()]->text(), QStringLiteral("C"));
        QCOMPARE(list->selectedRow(), 2);
    }

    void remindersWithNowhereElseToGoComeUpInTheAlertWindow()
    {
        // A private bus without a notification service, and no tray.
        TestClock clock(at(15, 8));
        TestData::saveStore({task(QStringLiteral("Feed the cat"), QStringLiteral("Tom"), 2030, 6, 15, 9),
                             task(QStringLiteral("Walk the dog"), {}, 2030, 6, 15, 9, 30)},
                            {});
        QVERIFY(!m_startup->formLoad(clock.now().date()));
        Session session(*m_startup, false, *m_alarm, bus());
        session.start();
        clock.advanceTo(at(15, 9), *m_alarm);
        QTRY_VERIFY(m_startup->isVisible());
        QVERIFY(pageText(*m_startup).contains(QStringLiteral("Due now")));
        QVERIFY(pageText(*m_startup).contains(QStringLiteral("Feed the cat")));
        QVERIFY(pageText(*m_startup).contains(QStringLiteral("For: Tom")));
        // They gather while the window is up, latest first.
        clock.advanceTo(at(15, 9, 30), *m_alarm);
        QTRY_VERIFY(pageText(*m_startup).contains(QStringLiteral("Walk the dog")));
        QVERIFY(pageText(*m_startup).indexOf(QStringLiteral("Walk the dog"))
                < pageText(*m_startup).indexOf(QStringLiteral("Feed the cat")));
        // The start's page on disk is left alone.
        QVERIFY(!pageFile(*m_runtime).contains("Feed the cat"));
    }

    void theDueNowPageOffersThePutOffs()
    {
        TestClock clock(at(15, 8));
        TestData::saveStore({task(QStringLiteral("Feed the cat"), {}, 2030, 6, 15, 9)}, {});
        Preferences::setRemindAgainMinutes(30);
        QVERIFY(!m_startup->formLoad(clock.now().date()));
        Session session(*m_startup, false, *m_alarm, bus());
        session.start();
        clock.advanceTo(at(15, 9), *m_alarm);
        QTRY_VERIFY(m_startup->isVisible());
        auto *page = m_startup->findChild<QTextBrowser *>(QStringLiteral("WebBrowser1"));
        QVERIFY(pageText(*m_startup).contains(QStringLiteral("In 30 minutes")));
        QVERIFY(pageText(*m_startup).contains(QStringLiteral("Tomorrow")));

        // From the keyboard: the first link is the latest reminder's.
        const auto followLink = [page](int tabs) {
            page->setFocus();
            for (int i = 0; i < tabs; ++i)
                QTest::keyClick(page, Qt::Key_Tab);
            QTest::keyClick(page, Qt::Key_Return);
        };
        followLink(1);
        QTRY_COMPARE(session.scheduler().snoozed().size(), 1);
        QCOMPARE(session.scheduler().snoozed().at(0).at, at(15, 9, 30));
        // The page says until when instead of offering it again.
        QVERIFY(!pageText(*m_startup).contains(QStringLiteral("In 30 minutes")));
        QVERIFY(pageText(*m_startup).contains(Calendar::dueText(at(15, 9, 30))));
        followLink(1);
        QCOMPARE(session.scheduler().snoozed().size(), 1);

        clock.advanceTo(at(15, 9, 30), *m_alarm);
        QTRY_COMPARE(pageText(*m_startup).count(QStringLiteral("Feed the cat")), 2);
        QCOMPARE(pageText(*m_startup).count(QStringLiteral("In 30 minutes")), 1);
        // Tomorrow on the one that came back: the same time the next day.
        followLink(2);
        QTRY_COMPARE(session.scheduler().snoozed().size(), 1);
        QCOMPARE(session.scheduler().snoozed().at(0).at, at(16, 9, 30));
        QVERIFY(!pageText(*m_startup).contains(QStringLiteral("Tomorrow")));
    }

    void theNewDayRecoloursAndAlertsAgainInTheBackground()
    {
        TestClock clock(at(15, 23));
        TestData::saveStore({task(QStringLiteral("Launch"), {}, 2030, 6, 16, 12)},
                            {TestData::rule(0, 255, true)});
        QVERIFY(!m_startup->formLoad(clock.now().date())); // not due today yet
        Session session(*m_startup, true, *m_alarm, bus());
        session.start();
        session.showAll();
        FrmMain *list = m_startup->mainWindow();
        QVERIFY(!list->lblTitle()[1]->font().bold());
        QVERIFY(!pageFile(*m_runtime).contains("Launch"));

        clock.advanceTo(at(16, 0, 1), *m_alarm);
        // Bold and in the rule's colour: due today.
        QVERIFY(list->lblTitle()[1]->font().bold());
        QCOMPARE(list->lblTitle()[1]->look().color, 255);
        // As at login: the page written again, the alert window up.
        QVERIFY(m_startup->isVisible());
        QVERIFY(pageFile(*m_runtime).contains("Launch"));
        QVERIFY(pageFile(*m_runtime).contains("TODAY!!!"));
        QVERIFY(pageText(*m_startup).contains(QStringLiteral("TODAY!!!")));
    }

    void theNewDayOutsideTheBackgroundOnlyRecolours()
    {
        TestClock clock(at(15, 23));
        TestData::saveStore({task(QStringLiteral("Launch"), {}, 2030, 6, 16, 12)},
                            {TestData::rule(0, 255, true)});
        Session session(*m_startup, false, *m_alarm, bus());
        FrmMain *list = m_startup->mainWindow();
        Opening::bringUp(list);
        session.start();
        clock.advanceTo(at(16, 0, 1), *m_alarm);
        QVERIFY(list->lblTitle()[1]->font().bold());
        QVERIFY(!m_startup->isVisible());
    }

    void anotherStartAsksForTheAlertAgain()
    {
        TestClock clock(at(15, 10));
        Session session(*m_startup, true, *m_alarm, bus());
        // No store yet: as at a first start, the list opens.
        session.alertAgain();
        QVERIFY(m_startup->mainWindow()->isVisible());
        m_startup->mainWindow()->hide();

        // Nothing due: nothing opens.
        TestData::saveStore({task(QStringLiteral("Later"), {}, 2030, 9, 1)}, {TestData::rule(3, 255, true)});
        testStore().reloadInListOrder();
        session.alertAgain();
        QVERIFY(!m_startup->isVisible());
        QVERIFY(!m_startup->mainWindow()->isVisible());

        // Listed: the alert window, in due order whatever order the list is in,
        // from the tables as they are (an unsaved edit included).
        TestData::addTask(task(QStringLiteral("Zebra"), {}, 2030, 6, 15, 9));
        TestData::addTask(task(QStringLiteral("Aardvark"), {}, 2030, 6, 16, 9));
        testStore().setSortMode(Module1::ByTitleReversed);
        testStore().sortTasks();
        session.alertAgain();
        QVERIFY(m_startup->isVisible());
        const QString page = pageText(*m_startup);
        QVERIFY(page.indexOf(QStringLiteral("Zebra")) >= 0);
        QVERIFY(page.indexOf(QStringLiteral("Zebra")) < page.indexOf(QStringLiteral("Aardvark")));
        QVERIFY(!page.contains(QStringLiteral("Later")));
        QCOMPARE(testStore().taskCount(), 3);
    }

    void theSessionSyncsThroughTheRunnerItIsHanded()
    {
        // Nothing answers for secrets on this bus: the password is asked
        // for, through the seam, saying why.
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus->address().toUtf8());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_store->file(QStringLiteral("config"))));
        QString error;
        QVERIFY(Sync::saveAccount(Sync::StoreSide::storeFolder(),
                                  {QUrl(QStringLiteral("http://127.0.0.1:9/alice/tasks/")), QStringLiteral("alice")}, &error));
        Sync::Runner runner;
        m_startup = std::make_unique<FrmStartup>(Context{m_store->store(), *m_seam, &runner});
        QVERIFY(loadATaskDueToday());
        FrmMain *list = m_startup->mainWindow();
        QString asked;
        m_seam->script = [&asked](QDialog *dialog) {
            if (auto *input = qobject_cast<QInputDialog *>(dialog))
                asked = input->labelText();
        };
        QSignalSpy finished(&runner, &Sync::Runner::finished);
        {
            Session session(*m_startup, false, *m_alarm, bus());
            session.start();
            QTRY_COMPARE(finished.size(), 1);
            QVERIFY2(m_seam->execCount == 1, qPrintable(runner.lastResult()));
            QVERIFY2(asked.contains(QStringLiteral("secret store")), qPrintable(asked));
            // Declined: the pass fails, is told once, and the list's sync
            // entries say so.
            QCOMPARE(m_seam->notices.size(), 1);
            QVERIFY(m_seam->notices.first().text.contains(QStringLiteral("no password for alice")));
            auto *syncNow = list->findChild<QAction *>(QStringLiteral("menu_syncnow"));
            QVERIFY(syncNow);
            QVERIFY2(syncNow->toolTip().contains(QStringLiteral("no password for alice")), qPrintable(syncNow->toolTip()));
            // Asked once a session: Sync Now, and every pass after, fail
            // without asking again, and without telling again.
            syncNow->trigger();
            QCOMPARE(finished.size(), 2);
            QCOMPARE(m_seam->execCount, 1);
            QCOMPARE(m_seam->notices.size(), 1);
        }
        // Gone with the session, the runner no longer reaches its windows
        // nor asks through them.
        runner.syncNow();
        QCOMPARE(finished.size(), 2);
        QCOMPARE(m_seam->execCount, 1);
        m_startup.reset();
        qunsetenv("XDG_CONFIG_HOME");
    }

private:
    // The task as a reminder announces it: a copy of the store's record.
    static Module1::Task announced(const QString &title)
    {
        for (const Module1::Task &t : testStore().tasks()) {
            if (t.title == title)
                return t;
        }
        qFatal("no task %s", qPrintable(title));
    }

    // One task, listed at the start: loaded as a start loads it.
    bool loadATaskDueToday()
    {
        TestData::saveStore({TestData::dueIn(QStringLiteral("Due"), 0)}, {TestData::rule(3, 255, true)});
        return m_startup->formLoad();
    }

    QDBusConnection bus() { return m_bus->connect(QStringLiteral("quorvi")); }

    std::unique_ptr<StoreSandbox> m_store;
    std::unique_ptr<RuntimeSandbox> m_runtime;
    std::unique_ptr<FakeSeam> m_seam;
    std::unique_ptr<PrivateBus> m_bus;
    std::unique_ptr<FrmStartup> m_startup;
    std::unique_ptr<ManualAlarm> m_alarm;
};

QTEST_MAIN(TestSession)
#include "test_session.moc"
