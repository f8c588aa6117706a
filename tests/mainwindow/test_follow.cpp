// SPDX-License-Identifier: GPL-3.0-or-later
// The task list follows tasks.txt while it shows: what another program
// writes appears within moments, the selected task stays selected, and
// Quorvi's own saves are not taken for somebody else's.
#include "storesandbox.h"
#include "dialogkit.h"
#include "fakeseam.h"
#include "frmmain.h"
#include "listkit.h"
#include "listcell.h"
#include "storepeer.h"
#include "storewatcher.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;
using namespace Module1;
using TestData::storeBytes;
using TestData::StoredTask;
using ListKit::shownTitles;

namespace {

// The window follows within two seconds; the waits allow more on a busy
// machine, and end as soon as it happened.
constexpr int kWaitMs = 10000;

const StoredTask kAlpha{"Alpha", "Me", 1, 3, 2030, 9, 0, 0, "first"};
const StoredTask kBravo{"Bravo", "Me", 2, 3, 2030, 9, 0, 0, "second"};
const StoredTask kCharlie{"Charlie", "Me", 3, 3, 2030, 9, 0, 0, "third"};
const StoredTask kEarly{"Early bird", "Me", 1, 1, 2030, 9, 0, 0, "new and first"};

QString shownDescription(const FrmMain &w)
{
    return w.findChild<QPlainTextEdit *>(QStringLiteral("txtDescription"))->toPlainText();
}

} // namespace

class TestFollow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { DialogKit::applyProgramLook(); }
    void init();
    void cleanup();

    void followsAFileWrittenInPlace();
    void followsAFileReplacedByRename();
    void aTaskThatIsGoneLeavesNoSelection();
    void ownSavesAreNotFollowed();
    void aChangeIsFollowedWithTheEditorOpenAndKeptAfterOk();
    void problemsInTheNewFileAreTold();

private:
    void start(const QByteArray &store);

    std::unique_ptr<StoreSandbox> m_box;
    std::unique_ptr<FakeSeam> m_seam;
    std::unique_ptr<FrmMain> m_window;
};

void TestFollow::init()
{
    m_box = std::make_unique<StoreSandbox>();
    m_seam = std::make_unique<FakeSeam>();
}

void TestFollow::cleanup()
{
    m_window.reset();
    m_seam.reset();
    m_box.reset();
}

void TestFollow::start(const QByteArray &store)
{
    StoreSandbox::write(store);
    m_window = std::make_unique<FrmMain>(Context{testStore(), *m_seam});
    m_window->formLoad();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QVERIFY(testStore().following());
}

void TestFollow::followsAFileWrittenInPlace()
{
    start(storeBytes({kAlpha, kBravo, kCharlie}));
    m_window->highlight(2);
    QCOMPARE(shownDescription(*m_window), QStringLiteral("second"));

    // A script appends to the file, or an editor writes it in place: a task
    // due earlier than all comes, and Bravo moves one row down.
    StoreSandbox::write(storeBytes({kAlpha, kBravo, kCharlie, kEarly}));
    QTRY_COMPARE_WITH_TIMEOUT(m_window->follows(), 1, kWaitMs);
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Early bird"_s, u"Alpha"_s, u"Bravo"_s, u"Charlie"_s}));
    QCOMPARE(testStore().taskCount(), 4);
    QCOMPARE(m_window->selectedRow(), 3);
    QCOMPARE(m_window->lblTitle()[3]->look().background, ListCell::kSelectedBackground);
    QCOMPARE(shownDescription(*m_window), QStringLiteral("second"));
    QVERIFY(m_seam->messages.isEmpty());
}

void TestFollow::followsAFileReplacedByRename()
{
    start(storeBytes({kAlpha, kBravo, kCharlie}));
    m_window->highlight(3);
    for (int round = 1; round <= 2; ++round) {
        // As editors and sync tools save: a new file renamed over the old.
        const StoredTask renamed{"Charlie " + QByteArray::number(round), "Me", 3, 3, 2030, 9, 0, 0, "third"};
        StoreSandbox::write(storeBytes({kEarly, kAlpha, kBravo, renamed}), QStringLiteral("tasks.txt.new"));
        QCOMPARE(std::rename("tasks.txt.new", "tasks.txt"), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->follows(), round, kWaitMs);
        QCOMPARE(shownTitles(*m_window), (QStringList{u"Early bird"_s, u"Alpha"_s, u"Bravo"_s, u"Charlie "_s + QString::number(round)}));
        if (round == 1) {
            // Alpha is still there, one row lower.
            m_window->highlight(1);
            QCOMPARE(shownDescription(*m_window), QStringLiteral("new and first"));
            m_window->highlight(2);
        } else {
            QCOMPARE(m_window->selectedRow(), 2);
            QCOMPARE(shownDescription(*m_window), QStringLiteral("first"));
        }
    }
}

void TestFollow::aTaskThatIsGoneLeavesNoSelection()
{
    start(storeBytes({kAlpha, kBravo, kCharlie}));
    m_window->highlight(2);
    StoreSandbox::write(storeBytes({kAlpha, kCharlie}));
    QTRY_COMPARE_WITH_TIMEOUT(m_window->follows(), 1, kWaitMs);
    // Not the row that Charlie moved into: a Delete now must not hit it.
    QCOMPARE(m_window->selectedRow(), 0);
    QCOMPARE(shownDescription(*m_window), QString());
    QCOMPARE(m_window->lblTitle()[2]->look().background, 0);
}

void TestFollow::ownSavesAreNotFollowed()
{
    start(storeBytes({kAlpha, kBravo, kCharlie}));
    StoreWatcher *watcher = &testStore().watcher();
    for (int round = 0; round < 2; ++round) {
        const int looks = watcher->looks();
        m_window->highlight(1);
        m_window->deleteTask();
        // The system reported the save and the file was looked at ...
        QTRY_VERIFY_WITH_TIMEOUT(watcher->looks() > looks, kWaitMs);
        // ... and known for what Quorvi wrote itself.
        QCOMPARE(m_window->follows(), 0);
    }
    QCOMPARE(shownTitles(*m_window), QStringList{u"Charlie"_s});
}

void TestFollow::aChangeIsFollowedWithTheEditorOpenAndKeptAfterOk()
{
    start(storeBytes({kAlpha, kBravo, kCharlie}));
    m_window->highlight(2);
    StorePeer peer;
    QVERIFY(peer.started());
    bool followed = false;
    m_seam->script = [&](QDialog *d) {
        d->findChild<QLineEdit *>(QStringLiteral("txtTitle"))->setText(QStringLiteral("Bravo, edited"));
        // Meanwhile another Quorvi adds a task and saves, by rename.
        QCOMPARE(peer.ask(QStringLiteral("load")), QStringLiteral("loaded 3"));
        QCOMPARE(peer.ask(QStringLiteral("add From outside")), QStringLiteral("added"));
        QCOMPARE(peer.ask(QStringLiteral("save")), QStringLiteral("saved"));
        // Read at once, the dialog open: it edits a copy, which stays.
        QTRY_COMPARE_WITH_TIMEOUT(m_window->follows(), 1, kWaitMs);
        QCOMPARE(testStore().taskCount(), 4);
        QCOMPARE(shownTitles(*m_window), (QStringList{u"Alpha"_s, u"Bravo"_s, u"Charlie"_s, u"From outside"_s}));
        QCOMPARE(m_window->selectedRow(), 2);
        QCOMPARE(d->findChild<QLineEdit *>(QStringLiteral("txtTitle"))->text(), QStringLiteral("Bravo, edited"));
        followed = true;
        d->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    };
    // Edit from the menu bar leaves Timer1 on; the dialog is modal all the same.
    m_window->editSelectedTask();
    QVERIFY(followed);

    const QByteArray file = StoreSandbox::read();
    QVERIFY(file.contains("ttl=Bravo, edited\r\n"));
    QVERIFY(file.contains("ttl=From outside\r\n"));
    QVERIFY(!file.contains("ttl=Bravo\r\n"));
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Alpha"_s, u"Bravo, edited"_s, u"Charlie"_s, u"From outside"_s}));
    // The store had followed the change already: nothing to merge or tell.
    QVERIFY(m_seam->messages.isEmpty());
    QVERIFY(m_seam->notices.isEmpty());
    QCOMPARE(m_window->follows(), 1);
    QCOMPARE(peer.ask(QStringLiteral("load")), QStringLiteral("loaded 4"));
}

void TestFollow::problemsInTheNewFileAreTold()
{
    start(storeBytes({kAlpha}));
    StoreSandbox::write(storeBytes({kAlpha, kBravo}) + "ttl=Half");
    QTRY_COMPARE_WITH_TIMEOUT(m_window->follows(), 1, kWaitMs);
    QCOMPARE(m_window->rowCount(), 2);
    QCOMPARE(m_seam->messages.size(), 1);
    QVERIFY2(m_seam->messages[0].text.contains(QStringLiteral("tasks.txt ends inside a task record")),
             qPrintable(m_seam->messages[0].text));
}

QTEST_MAIN(TestFollow)
#include "test_follow.moc"
