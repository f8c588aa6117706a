// SPDX-License-Identifier: GPL-3.0-or-later
// The task list without its window: it draws, selects and narrows its rows
// by itself, and what belongs to the window (edit, delete, the popup menu,
// the Find bar's count) it only asks for.
#include "storesandbox.h"
#include "tasklist.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

class TestTaskList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_sandbox = std::make_unique<StoreSandbox>();
        // Slots b, c, a; due in the order a, b, c.
        TestData::setTables({TestData::task(u"b"_s, {}, 2030, 1, 2), TestData::task(u"c"_s, {}, 2030, 1, 3),
                             TestData::task(u"a"_s, {}, 2030, 1, 1)});
        testStore().setSortMode(Module1::ByDue);
        m_list = std::make_unique<TaskList>(testStore(), nullptr);
        m_list->resize(568, 330);
        m_list->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_list.get()));
        m_list->drawList();
    }

    void cleanup()
    {
        m_list.reset();
        m_sandbox.reset();
    }

    void keysAndClicksAskTheWindowAndChangeNothing()
    {
        TaskList &list = *m_list;
        QCOMPARE(list.rowCount(), 3);
        QSignalSpy edit(&list, &TaskList::editRequested);
        QSignalSpy remove(&list, &TaskList::deleteRequested);
        QSignalSpy popup(&list, &TaskList::popupRequested);
        auto *panel = list.findChild<QWidget *>(u"pctContainer"_s);
        panel->setFocus();
        QTest::keyClick(panel, Qt::Key_Down); // nothing selected yet: the first row
        QCOMPARE(list.selectedRow(), 1);
        QTest::keyClick(panel, Qt::Key_Delete);
        QCOMPARE(remove.count(), 1);
        QCOMPARE(testStore().taskCount(), 3);
        QTest::keyClick(panel, Qt::Key_Return);
        QCOMPARE(edit.count(), 1);

        // A right click selects its row before the menu is asked for.
        int selectedAtPopup = 0;
        connect(&list, &TaskList::popupRequested, this, [&] { selectedAtPopup = list.selectedRow(); });
        ListCell *second = list.lblTitle()[2];
        QTest::mouseClick(second, Qt::RightButton);
        QCOMPARE(popup.count(), 1);
        QCOMPARE(selectedAtPopup, 2);
        QCOMPARE(popup.first().first().toPoint(), second->mapToGlobal(second->rect().center()));
        QTest::mouseDClick(list.lblTitle()[3], Qt::LeftButton);
        QCOMPARE(edit.count(), 2);
        QCOMPARE(list.lblTitle()[list.selectedRow()]->text(), u"c"_s);
        QCOMPARE(testStore().taskCount(), 3);
    }

    void aTaskNamedBeforeARemovalIsSelectedAfterIt()
    {
        TaskList &list = *m_list;
        list.highlight(1);
        const Module1::TaskId below = testStore().tasks()[std::size_t(list.slotOfRow(2))].id;
        list.selectNext(below);
        TestData::removeTask(list.slotOfRow(1));
        list.drawList();
        QCOMPARE(list.rowCount(), 2);
        QCOMPARE(list.selectedTask(), below);
        QCOMPARE(list.selectedRow(), 1);
        QCOMPARE(list.lblTitle()[1]->text(), u"b"_s);
    }

    void narrowingTellsHowManyRowsAreLeft()
    {
        TaskList &list = *m_list;
        QSignalSpy shown(&list, &TaskList::rowsShown);
        list.setFilter(u"B"_s);
        QVERIFY(list.filtering());
        QCOMPARE(shown.count(), 1);
        QCOMPARE(shown.last().first().toInt(), 1);
        QCOMPARE(list.lblTitle()[1]->text(), u"b"_s);
        // The same text folded: nothing to redo.
        list.setFilter(u"b"_s);
        QCOMPARE(shown.count(), 1);
        list.setFilter(u"nothing like it"_s);
        QCOMPARE(shown.last().first().toInt(), 0);
        QCOMPARE(list.selectedRow(), 0);
        list.setFilter({});
        QVERIFY(!list.filtering());
        QCOMPARE(shown.last().first().toInt(), 3);
    }

private:
    std::unique_ptr<StoreSandbox> m_sandbox;
    std::unique_ptr<TaskList> m_list;
};

QTEST_MAIN(TestTaskList)
#include "test_tasklist.moc"
