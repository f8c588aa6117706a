// SPDX-License-Identifier: GPL-3.0-or-later
// Find: the bar above the list, what it matches, and the commands on the
// rows it leaves.
#include "dialogkit.h"
#include "fakeseam.h"
#include "findtext.h"
#include "frmmain.h"
#include "listkit.h"
#include "listcell.h"
#include "storesandbox.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QTest>

#include <memory>

using namespace Module1;
using TestData::storeBytes;
using TestData::StoredTask;

using namespace Qt::StringLiterals;
using ListKit::child;
using ListKit::shownTitles;

namespace {

// Due in this order, so the rows are these, top to bottom.
const StoredTask kCafe{"Café au lait", "Zoë", 1, 1, 2030, 9, 0, 0, "with Noël"};
const StoredTask kRent{"Pay rent", "Landlord", 2, 1, 2030, 9, 0, 0, "RÉSUMÉ attached|~second line"};
const StoredTask kCafeteria{"CAFETERIA plan", "Office", 3, 1, 2030, 9, 0, 0, ""};
const StoredTask kDentist{"Dentist", "Me", 4, 1, 2030, 9, 0, 0, "cafe nearby"};
const StoredTask kZoo{"Zoo trip", "zoe", 5, 1, 2030, 9, 0, 0, ""};

} // namespace

class TestFind : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { DialogKit::applyProgramLook(); }
    void init()
    {
        m_box = std::make_unique<StoreSandbox>();
        m_seam = std::make_unique<FakeSeam>();
    }
    void cleanup()
    {
        m_window.reset();
        m_seam.reset();
        m_box.reset();
    }

    void foldingDropsCaseAndAccents_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("folded");
        QTest::newRow("plain") << QStringLiteral("Pay RENT") << QStringLiteral("pay rent");
        QTest::newRow("acute") << QStringLiteral("Café") << QStringLiteral("cafe");
        QTest::newRow("capital with accent") << QStringLiteral("ÉCOLE") << QStringLiteral("ecole");
        QTest::newRow("ring and umlaut") << QStringLiteral("Ångström Zoë") << QStringLiteral("angstrom zoe");
        QTest::newRow("already decomposed") << QStringLiteral("Cafe\u0301") << QStringLiteral("cafe");
        QTest::newRow("ligature") << QStringLiteral("\uFB01le") << QStringLiteral("file");
        QTest::newRow("not a letter with a mark") << QStringLiteral("ß ø") << QStringLiteral("ß ø");
        QTest::newRow("greek") << QStringLiteral("ΆΛΦΑ") << QStringLiteral("αλφα");
    }

    void foldingDropsCaseAndAccents()
    {
        QFETCH(QString, text);
        QFETCH(QString, folded);
        QCOMPARE(FindText::fold(text), folded);
    }

    void theBarIsHiddenUntilAsked()
    {
        start();
        QVERIFY(!m_window->findShown());
        const QRect listBefore = child<QWidget>(m_window.get(), "pctContainer")->geometry();
        QTest::keySequence(m_window.get(), QKeySequence::Find);
        QVERIFY(m_window->findShown());
        QTRY_COMPARE(QApplication::focusWidget(), m_window->findBox());
        // The list makes room below the bar rather than hiding under it.
        const QWidget *bar = child<QWidget>(m_window.get(), "findBar");
        const QWidget *list = child<QWidget>(m_window.get(), "pctContainer");
        QTRY_VERIFY(list->mapTo(m_window.get(), QPoint(0, 0)).y() >= bar->mapTo(m_window.get(), QPoint(0, bar->height())).y());
        QVERIFY(list->height() < listBefore.height());
        // The menu entry opens it too.
        m_window->closeFind();
        QVERIFY(!m_window->findShown());
        QTRY_COMPARE(list->geometry(), listBefore);
        child<QAction>(m_window.get(), "menu_find")->trigger();
        QVERIFY(m_window->findShown());
    }

    void typingNarrowsTheList_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("count");
        QTest::newRow("accents in the task") << QStringLiteral("cafe")
                                             << QStringList{u"Café au lait"_s, u"CAFETERIA plan"_s, u"Dentist"_s}
                                             << QStringLiteral("3 matches");
        QTest::newRow("accents typed") << QStringLiteral("CAFÉ")
                                       << QStringList{u"Café au lait"_s, u"CAFETERIA plan"_s, u"Dentist"_s}
                                       << QStringLiteral("3 matches");
        QTest::newRow("for whom") << QStringLiteral("ZOE") << QStringList{u"Café au lait"_s, u"Zoo trip"_s}
                                  << QStringLiteral("2 matches");
        QTest::newRow("description") << QStringLiteral("resume") << QStringList{u"Pay rent"_s} << QStringLiteral("1 match");
        QTest::newRow("second line") << QStringLiteral("second") << QStringList{u"Pay rent"_s} << QStringLiteral("1 match");
        QTest::newRow("not across fields") << QStringLiteral("laitzoe") << QStringList{} << QStringLiteral("No match");
        QTest::newRow("nothing") << QStringLiteral("xyz") << QStringList{} << QStringLiteral("No match");
    }

    void typingNarrowsTheList()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, titles);
        QFETCH(QString, count);
        start();
        m_window->openFind();
        QTest::keyClicks(m_window->findBox(), typed);
        QCOMPARE(shownTitles(*m_window), titles);
        QCOMPARE(child<QLabel>(m_window.get(), "lblFindCount")->text(), count);
        QCOMPARE(m_window->selectedRow(), 0);
        // Esc shows every task again.
        QTest::keyClick(m_window->findBox(), Qt::Key_Escape);
        QVERIFY(!m_window->findShown());
        QCOMPARE(m_window->rowCount(), 5);
        QCOMPARE(m_window->findBox()->text(), QString());
    }

    void keysAndSelectionWorkOnTheRowsFound()
    {
        start();
        m_window->openFind();
        QTest::keyClicks(m_window->findBox(), QStringLiteral("cafe"));
        // Down goes into the list, at its first row.
        QTest::keyClick(m_window->findBox(), Qt::Key_Down);
        QWidget *list = child<QWidget>(m_window.get(), "pctContainer");
        QTRY_COMPARE(QApplication::focusWidget(), list);
        QCOMPARE(m_window->selectedRow(), 1);
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(m_window->selectedRow(), 3);
        QCOMPARE(m_window->lblTitle()[3]->text(), QStringLiteral("Dentist"));
        QCOMPARE(child<QPlainTextEdit>(m_window.get(), "txtDescription")->toPlainText(), QStringLiteral("cafe nearby"));
        QTest::keyClick(list, Qt::Key_Down); // the last row found
        QCOMPARE(m_window->selectedRow(), 3);
        QTest::mouseClick(m_window->lblFor()[2], Qt::LeftButton);
        QCOMPARE(m_window->selectedRow(), 2);

        // Typing more keeps the selected task when it is still found...
        m_window->findBox()->setFocus();
        QTest::keyClicks(m_window->findBox(), QStringLiteral("t"));
        QCOMPARE(shownTitles(*m_window), QStringList{u"CAFETERIA plan"_s});
        QCOMPARE(m_window->selectedRow(), 1);
        // ...and the bar's close button shows every task with it still selected.
        QTest::mouseClick(child<QToolButton>(m_window.get(), "cmdFindClose"), Qt::LeftButton);
        QCOMPARE(m_window->rowCount(), 5);
        QCOMPARE(m_window->selectedRow(), 3);
        QVERIFY(m_window->lblTitle()[3]->look().opaque);
        // Enter in the bar goes to the list too.
        m_window->openFind();
        QTest::keyClicks(m_window->findBox(), QStringLiteral("zoe"));
        QCOMPARE(m_window->selectedRow(), 0);
        QTest::keyClick(m_window->findBox(), Qt::Key_Return);
        QTRY_COMPARE(QApplication::focusWidget(), list);
        QCOMPARE(m_window->selectedRow(), 1);
        QCOMPARE(m_seam->execCount, 0); // it only moved; Edit is Enter in the list
    }

    void editDeleteAndMarkDoneActOnTheTaskFound()
    {
        start();
        m_window->setFindText(QStringLiteral("cafe"));
        // Row 3 of those found is the fourth task.
        m_window->highlight(3);
        m_seam->script = [](QDialog *d) {
            QCOMPARE(child<QLineEdit>(d, "txtTitle")->text(), QStringLiteral("Dentist"));
            child<QLineEdit>(d, "txtTitle")->setText(QStringLiteral("Dentist, then café"));
            child<QPushButton>(d, "Command1")->click();
        };
        child<QAction>(m_window.get(), "menu_modify")->trigger();
        QCOMPARE(m_seam->execCount, 1);
        QVERIFY(StoreSandbox::read().contains("ttl=Dentist, then caf\xC3\xA9\r\n"));
        QCOMPARE(shownTitles(*m_window), (QStringList{u"Café au lait"_s, u"CAFETERIA plan"_s, u"Dentist, then café"_s}));
        QCOMPARE(m_window->selectedRow(), 3);

        // An edit that no longer matches leaves the rows found.
        m_seam->script = [](QDialog *d) {
            child<QLineEdit>(d, "txtTitle")->setText(QStringLiteral("Cafeteria budget"));
            child<QPushButton>(d, "Command1")->click();
        };
        m_window->highlight(2);
        child<QAction>(m_window.get(), "menu_modify")->trigger();
        QCOMPARE(shownTitles(*m_window), (QStringList{u"Café au lait"_s, u"Cafeteria budget"_s, u"Dentist, then café"_s}));

        m_window->highlight(1);
        m_window->deleteTask();
        QVERIFY(!StoreSandbox::read().contains("ttl=Caf\xC3\xA9 au lait"));
        QCOMPARE(testStore().taskCount(), 4);
        QCOMPARE(shownTitles(*m_window), (QStringList{u"Cafeteria budget"_s, u"Dentist, then café"_s}));
        QCOMPARE(child<QLabel>(m_window.get(), "lblFindCount")->text(), QStringLiteral("2 matches"));
        // The selection stays on the row, now the next task found.
        QCOMPARE(m_window->selectedRow(), 1);

        m_window->highlight(2);
        m_window->markDone();
        QVERIFY(StoreSandbox::read().contains("ttl=Dentist, then caf\xC3\xA9\r\n"));
        QCOMPARE(shownTitles(*m_window), QStringList{u"Cafeteria budget"_s});
        m_window->setShowDoneTasks(true);
        QCOMPARE(shownTitles(*m_window), (QStringList{u"Cafeteria budget"_s, u"Dentist, then café"_s}));
        QVERIFY(m_window->lblTitle()[2]->font().strikeOut());
        // Every other task is still there, untouched.
        m_window->closeFind();
        QCOMPARE(shownTitles(*m_window), (QStringList{u"Pay rent"_s, u"Cafeteria budget"_s, u"Zoo trip"_s, u"Dentist, then café"_s}));
    }

    void aChangeElsewhereUpdatesWhatIsFound()
    {
        start();
        m_window->openFind();
        QTest::keyClicks(m_window->findBox(), QStringLiteral("zoe"));
        m_window->highlight(2);
        QCOMPARE(m_window->lblTitle()[2]->text(), QStringLiteral("Zoo trip"));
        // Another program adds a task for Zoé and renames the café.
        const StoredTask added{"Gift", "ZOÉ", 1, 12, 2029, 9, 0, 0, ""};
        const StoredTask renamed{"Tea", "Zoë", 1, 1, 2030, 9, 0, 0, "with Noël"};
        StoreSandbox::write(storeBytes({renamed, kRent, kCafeteria, kDentist, kZoo, added}));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->follows(), 1, 10000);
        QCOMPARE(shownTitles(*m_window), (QStringList{u"Gift"_s, u"Tea"_s, u"Zoo trip"_s}));
        QCOMPARE(child<QLabel>(m_window.get(), "lblFindCount")->text(), QStringLiteral("3 matches"));
        // The same task stays selected, one row lower.
        QCOMPARE(m_window->selectedRow(), 3);
        QVERIFY(m_window->findShown());
    }

    void aLongListFoundStartsAtItsTop()
    {
        QList<StoredTask> many;
        for (int i = 0; i < 300; ++i)
            many.append(StoredTask{i % 3 ? "Other" : "Caf\xC3\xA9", "", 1 + i % 28, 1 + i / 28, 2030, 9, 0, 0, ""});
        StoreSandbox::write(storeBytes(many));
        m_window = std::make_unique<FrmMain>(Context{testStore(), *m_seam});
        m_window->formLoad();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        auto *bar = child<QScrollBar>(m_window.get(), "vscroll");
        bar->setValue(bar->maximum());
        m_window->setFindText(QStringLiteral("cafe"));
        QCOMPARE(m_window->rowCount(), 100);
        QCOMPARE(bar->value(), 0);
        QVERIFY(m_window->builtRows().contains(1));
        // A selected task found stays in view.
        bar->setValue(bar->maximum());
        const int last = m_window->builtRows().last;
        m_window->highlight(last);
        m_window->setFindText(QStringLiteral("caf"));
        QCOMPARE(m_window->selectedRow(), last);
        QVERIFY(m_window->builtRows().contains(last));
        QVERIFY(bar->value() > 0);
    }

    void aReminderShownOutsideTheFoundRowsShowsEveryTask()
    {
        start();
        m_window->setFindText(QStringLiteral("rent"));
        QCOMPARE(m_window->rowCount(), 1);
        // The Dentist is slot 3, left out by Find.
        m_window->showSlot(3);
        QVERIFY(!m_window->findShown());
        QCOMPARE(m_window->rowCount(), 5);
        QCOMPARE(m_window->selectedRow(), 4);
    }

private:
    void start()
    {
        StoreSandbox::write(storeBytes({kZoo, kCafeteria, kRent, kDentist, kCafe}));
        m_window = std::make_unique<FrmMain>(Context{testStore(), *m_seam});
        m_window->formLoad();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QCOMPARE(shownTitles(*m_window), (QStringList{u"Café au lait"_s, u"Pay rent"_s, u"CAFETERIA plan"_s, u"Dentist"_s, u"Zoo trip"_s}));
    }

    std::unique_ptr<StoreSandbox> m_box;
    std::unique_ptr<FakeSeam> m_seam;
    std::unique_ptr<FrmMain> m_window;
};

QTEST_MAIN(TestFind)
#include "test_find.moc"
