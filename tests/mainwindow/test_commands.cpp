// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's commands, driven through its menu actions with the
// dialogs answered by a script instead of a person.
#include "storesandbox.h"
#include "dialogkit.h"
#include "fakeseam.h"
#include "testclock.h"
#include "frmalerts.h"
#include "frmmain.h"
#include "frmtask.h"
#include "listkit.h"
#include "listcell.h"
#include "pausabletimer.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using namespace Module1;
using TestData::ruleBytes;
using TestData::storeBytes;
using TestData::StoredTask;
using ListKit::child;
using ListKit::shownTitles;

namespace {

// The kit's seam, which also records whether the main window's timer was
// off while each dialog was open.
class ScriptedSeam : public FakeSeam
{
public:
    int exec(QDialog *dialog) override
    {
        if (timer)
            timerOffWhileOpen.append(!timer->isEnabled());
        return FakeSeam::exec(dialog);
    }
    PausableTimer *timer = nullptr;
    QList<bool> timerOffWhileOpen;
};

// The title on the selected row, or nothing.
QString selectedTitle(const FrmMain &w)
{
    return w.selectedRow() >= 1 ? w.lblTitle()[w.selectedRow()]->text() : QString();
}

void trigger(const FrmMain &w, const char *action)
{
    QAction *found = w.findChild<QAction *>(QLatin1String(action));
    QVERIFY2(found && found->isEnabled(), action);
    found->trigger();
}

const StoredTask kReport{"Report", "Boss", 7, 3, 2030, 9, 5, 0, "one|~two"};
const StoredTask kDentist{"Dentist", "Me", 1, 1, 2029, 8, 0, 0, ""};
const StoredTask kTaxes{"Taxes", "Household", 30, 4, 2031, 12, 0, 0, "forms"};

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { DialogKit::applyProgramLook(); }
    void init();
    void cleanup();

    void menusReachTheirCommands();
    void newTaskStartsFromNow();
    void newTaskCancelKeepsTheCount();
    void newTaskIsBlankAfterADeleteOrACancel();
    void newTaskRefusesAFullList();
    void editFromTheMenuBarNeedsASelection();
    void editCancelRestoresAndRowsStillMatchSlots();
    void popupEditSwitchesTheTimerOff();
    void deleteMovesTheSelectionToTheNextTask();
    void deletingTheLastTaskClearsTheSelection();
    void deleteWithNothingSelectedStillSaves();
    void failedDeleteSaveIsReported();
    void rulesDialogRedrawsTheList();
    void dialogsAreCreatedOnceAndKept();
    void aboutAndExit();
    void keysOnTheListEditAndDelete();
    void doubleClickOpensTheEditor();
    void standardShortcutsReachTheirCommands();
    void markDoneHidesTheTaskAndShowDoneBringsItBack();
    void aRepeatingTaskMovesOnInsteadOfBeingDone();
    void aMessageShowsTheTitleAsTyped();
    void aReadOnlyStoreIsToldBeforeAnythingIsTyped();
    void exportAndImportAskForTheFile();
    void wholeRoad();
    void undoAndRedoEachCommand();
    void undoLeavesATaskChangedElsewhere();
    void theSelectionFollowsItsTask();

private:
    void start(const QByteArray &store);

    std::unique_ptr<StoreSandbox> m_box;
    std::unique_ptr<ScriptedSeam> m_seam;
    std::unique_ptr<FrmMain> m_window;
};

void TestCommands::init()
{
    m_box = std::make_unique<StoreSandbox>();
    m_seam = std::make_unique<ScriptedSeam>();
}

void TestCommands::cleanup()
{
    m_window.reset();
    m_seam.reset();
    m_box.reset();
}

void TestCommands::start(const QByteArray &store)
{
    if (!store.isNull())
        StoreSandbox::write(store);
    m_window = std::make_unique<FrmMain>(Context{testStore(), *m_seam});
    m_window->formLoad();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_seam->timer = m_window->timer1();
}

void TestCommands::menusReachTheirCommands()
{
    start(storeBytes({kReport}));
    m_window->findChild<QAction *>(QStringLiteral("menu_about"))->trigger();
    QCOMPARE(m_seam->messages.size(), 1);
    m_window->findChild<QAction *>(QStringLiteral("menu_exi"))->trigger();
    QCOMPARE(m_seam->endCodes.size(), 1);
    m_window->findChild<QAction *>(QStringLiteral("menu_manage"))->trigger();
    QCOMPARE(m_seam->execCount, 1);
    // Edit and Delete are the list's own Enter and Delete keys, not the window's.
    for (const char *name : {"menu_modify", "menu_modify2", "menu_delete", "menu_delete2"})
        QVERIFY2(m_window->findChild<QAction *>(QLatin1String(name))->shortcut().isEmpty(), name);
}

void TestCommands::newTaskStartsFromNow()
{
    // Twenty past three on 8 December: the next full hour is four o'clock.
    const TestClock clock(QDateTime(QDate(2026, 12, 8), QTime(15, 20, 42)));
    start(storeBytes({kReport}));
    m_seam->script = [](QDialog *d) {
        QCOMPARE(child<QLineEdit>(d, "txtTitle")->text(), QString());
        QCOMPARE(child<QLineEdit>(d, "txtDay")->text(), QStringLiteral("8"));
        QCOMPARE(child<QComboBox>(d, "lstMonth")->currentText(), QStringLiteral("December"));
        QCOMPARE(child<QLineEdit>(d, "txtYear")->text(), QStringLiteral("2026"));
        QCOMPARE(child<QLineEdit>(d, "txtHour")->text(), QStringLiteral("16"));
        QCOMPARE(child<QLineEdit>(d, "txtMinute")->text(), QStringLiteral("0"));
        QCOMPARE(d->findChild<QLabel *>(QStringLiteral("lblDuePreview"))->text(),
                 QStringLiteral("Tuesday, December 8, 2026, 4:00 PM"));
        QTest::mouseClick(child<QPushButton>(d, "Command1"), Qt::LeftButton);
    };
    m_window->findChild<QAction *>(QStringLiteral("menu_new"))->trigger();
    QCOMPARE(testStore().taskCount(), 2);
    QCOMPARE(StoreSandbox::read(), storeBytes({kReport, StoredTask{"", "", 8, 12, 2026, 16, 0, 0, ""}}));
    QCOMPARE(m_window->rowCount(), 2);
    QCOMPARE(m_seam->timerOffWhileOpen, QList<bool>{true});
    QVERIFY(m_window->timer1()->isEnabled());
}

void TestCommands::newTaskCancelKeepsTheCount()
{
    start(storeBytes({kReport, kDentist}));
    const QStringList before = shownTitles(*m_window);
    m_seam->script = [](QDialog *d) {
        child<QLineEdit>(d, "txtTitle")->setText(QStringLiteral("half typed"));
        child<QPushButton>(d, "Command2")->click();
    };
    m_window->findChild<QAction *>(QStringLiteral("menu_new"))->trigger();
    QCOMPARE(testStore().taskCount(), 2);
    QCOMPARE(shownTitles(*m_window), before);
    QCOMPARE(m_window->frmTask()->selected(), -1);
}

void TestCommands::newTaskIsBlankAfterADeleteOrACancel()
{
    const TestClock clock(QDateTime(QDate(2026, 12, 31), QTime(23, 5)));
    start(storeBytes({kReport, kDentist, kTaxes}));
    // Due order: Dentist, Report, Taxes. Deleting leaves a copy of Taxes in
    // the slot past the end, which New must not show or save again.
    m_window->highlight(1);
    m_window->deleteTask();
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Report"_s, u"Taxes"_s}));
    QStringList shown;
    m_seam->script = [&shown](QDialog *d) {
        for (const char *box : {"txtTitle", "txtFor", "txtDay", "txtYear", "txtHour", "txtMinute", "txtSecond"})
            shown << child<QLineEdit>(d, box)->text();
        shown << child<QPlainTextEdit>(d, "txtDescript")->toPlainText();
        shown << QString::number(child<QComboBox>(d, "lstMonth")->currentIndex());
        child<QLineEdit>(d, "txtTitle")->setText(QStringLiteral("typed, then cancelled"));
        child<QPushButton>(d, "Command2")->click();
    };
    // New Year's Day at midnight: the next full hour.
    const QStringList blank = {u""_s, u""_s, u"1"_s, u"2027"_s, u"0"_s, u"0"_s, u"0"_s, u""_s, u"0"_s};
    m_window->newTask();
    QCOMPARE(shown, blank);
    // A cancelled New leaves its text in the slot; the next New is blank again.
    shown.clear();
    m_window->newTask();
    QCOMPARE(shown, blank);
    // Ok on a blank New saves a blank task, not a former one.
    m_seam->script = [](QDialog *d) { child<QPushButton>(d, "Command1")->click(); };
    m_window->newTask();
    QCOMPARE(testStore().taskCount(), 3);
    QCOMPARE(StoreSandbox::read().count("ttl=Taxes"), 1);
}

void TestCommands::newTaskRefusesAFullList()
{
    QList<StoredTask> many;
    for (int i = 0; i < kTaskSlots; ++i)
        many.append(StoredTask{"T" + QByteArray::number(i), "", 1, 1, 2030, 0, 0, 0, ""});
    const QByteArray bytes = storeBytes(many);
    start(bytes);
    QCOMPARE(testStore().taskCount(), kTaskSlots);
    m_window->findChild<QAction *>(QStringLiteral("menu_new"))->trigger();
    QCOMPARE(m_seam->execCount, 0);
    QCOMPARE(testStore().taskCount(), kTaskSlots);
    QCOMPARE(m_seam->messages.size(), 1);
    QCOMPARE(m_seam->messages[0].text, QStringLiteral("The task list is full (10,000 tasks)."));
    QCOMPARE(StoreSandbox::read(), bytes);

    // One task fewer, and there is room for one more.
    many.removeLast();
    start(storeBytes(many));
    m_window->findChild<QAction *>(QStringLiteral("menu_new"))->trigger();
    QCOMPARE(m_seam->execCount, 1);
    QCOMPARE(m_seam->messages.size(), 1);
}

void TestCommands::editFromTheMenuBarNeedsASelection()
{
    start(storeBytes({kReport}));
    m_window->findChild<QAction *>(QStringLiteral("menu_modify"))->trigger();
    QCOMPARE(m_seam->execCount, 0);
    m_window->highlight(1);
    m_seam->script = [](QDialog *d) { child<QPushButton>(d, "Command2")->click(); };
    m_window->findChild<QAction *>(QStringLiteral("menu_modify"))->trigger();
    QCOMPARE(m_seam->execCount, 1);
    // The menu bar's Edit leaves the timer alone.
    QCOMPARE(m_seam->timerOffWhileOpen, QList<bool>{false});
}

void TestCommands::editCancelRestoresAndRowsStillMatchSlots()
{
    start(storeBytes({kReport, kDentist, kTaxes}));
    // Order the list by title descending: Taxes, Report, Dentist. The file
    // stays in its own order, which Cancel's reload brings back.
    m_window->findChild<QPushButton *>(QStringLiteral("cmdTitle"))->click();
    m_window->findChild<QPushButton *>(QStringLiteral("cmdTitle"))->click();
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Taxes"_s, u"Report"_s, u"Dentist"_s}));
    m_window->highlight(1);
    m_seam->script = [](QDialog *d) {
        child<QLineEdit>(d, "txtTitle")->setText(QStringLiteral("Changed"));
        child<QPushButton>(d, "Command2")->click();
    };
    m_window->editSelectedTask();
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Taxes"_s, u"Report"_s, u"Dentist"_s}));
    for (int row = 1; row <= 3; ++row)
        QCOMPARE(m_window->lblTitle()[row]->text(), testStore().tasks()[row - 1].title);
    // Deleting the selected row removes the task the user sees there.
    QCOMPARE(m_window->selectedRow(), 1);
    m_window->deleteTask();
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Report"_s, u"Dentist"_s}));
}

void TestCommands::popupEditSwitchesTheTimerOff()
{
    start(storeBytes({kReport, kDentist}));
    m_window->highlight(2);
    QString shown;
    m_seam->script = [&shown](QDialog *d) {
        shown = child<QLineEdit>(d, "txtTitle")->text();
        child<QPushButton>(d, "Command2")->click();
    };
    m_window->findChild<QAction *>(QStringLiteral("menu_modify2"))->trigger();
    QCOMPARE(shown, QStringLiteral("Report"));
    QCOMPARE(m_seam->timerOffWhileOpen, QList<bool>{true});
    QVERIFY(m_window->timer1()->isEnabled());
}

void TestCommands::deleteMovesTheSelectionToTheNextTask()
{
    start(storeBytes({kReport, kDentist, kTaxes}));
    m_window->highlight(2); // Report
    m_window->findChild<QAction *>(QStringLiteral("menu_delete2"))->trigger();
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Dentist"_s, u"Taxes"_s}));
    QCOMPARE(m_window->selectedRow(), 2);
    QCOMPARE(m_window->findChild<QPlainTextEdit *>(QStringLiteral("txtDescription"))->toPlainText(),
             QStringLiteral("forms"));
    QCOMPARE(StoreSandbox::read(), storeBytes({kDentist, kTaxes}));
    QCOMPARE(testStore().taskCount(), 2);
}

void TestCommands::keysOnTheListEditAndDelete()
{
    start(storeBytes({kReport, kDentist, kTaxes}));
    QWidget *list = m_window->findChild<QWidget *>(QStringLiteral("pctContainer"));
    QString editing;
    m_seam->script = [&editing](QDialog *d) {
        editing = child<QLineEdit>(d, "txtTitle")->text();
        child<QPushButton>(d, "Command2")->click();
    };
    // Nothing selected: Enter opens nothing.
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(m_seam->execCount, 0);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down); // Report
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(m_seam->execCount, 1);
    QCOMPARE(editing, QStringLiteral("Report"));
    QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(m_seam->execCount, 2);
    // Delete removes the selected task, as Tasks > Delete does, and saves.
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Dentist"_s, u"Taxes"_s}));
    QCOMPARE(m_window->selectedRow(), 2);
    QCOMPARE(StoreSandbox::read(), storeBytes({kDentist, kTaxes}));
    // The description box's own Delete deletes nothing.
    QTest::keyClick(m_window->findChild<QPlainTextEdit *>(QStringLiteral("txtDescription")), Qt::Key_Delete);
    QCOMPARE(testStore().taskCount(), 2);
}

void TestCommands::doubleClickOpensTheEditor()
{
    start(storeBytes({kReport, kDentist, kTaxes}));
    QString editing;
    m_seam->script = [&editing](QDialog *d) {
        editing = child<QLineEdit>(d, "txtTitle")->text();
        child<QPushButton>(d, "Command2")->click();
    };
    QTest::mouseDClick(m_window->lblDue()[3], Qt::LeftButton);
    QCOMPARE(m_seam->execCount, 1);
    QCOMPARE(editing, QStringLiteral("Taxes"));
    QCOMPARE(m_window->selectedRow(), 3);
}

void TestCommands::standardShortcutsReachTheirCommands()
{
    start(storeBytes({kReport}));
    m_seam->script = [](QDialog *d) { child<QPushButton>(d, "Command2")->click(); };
    QTest::keySequence(m_window.get(), QKeySequence(Qt::CTRL | Qt::Key_N));
    QCOMPARE(m_seam->execCount, 1);
    QVERIFY(m_window->frmTask()->windowTitle() == QStringLiteral("New / Edit task"));
    QTest::keyClick(m_window.get(), Qt::Key_F1);
    QCOMPARE(m_seam->messages.size(), 1);
    QCOMPARE(m_seam->messages[0].title, QStringLiteral("About Quorvi"));
    QTest::keySequence(m_window.get(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    QCOMPARE(m_seam->endCodes, QList<int>{0});
}

void TestCommands::markDoneHidesTheTaskAndShowDoneBringsItBack()
{
    const TestClock clock(QDateTime(QDate(2028, 1, 2), QTime(10, 30)));
    start(storeBytes({kReport, kDentist, kTaxes}));
    QAction *done = m_window->findChild<QAction *>(QStringLiteral("menu_done"));
    QAction *done2 = m_window->findChild<QAction *>(QStringLiteral("menu_done2"));
    QAction *showDone = m_window->findChild<QAction *>(QStringLiteral("menu_showdone"));
    QVERIFY(!showDone->isChecked());
    m_window->highlight(2); // Report
    QCOMPARE(done->text(), QStringLiteral("&Mark Done"));
    done2->trigger();
    // Hidden, and its row goes to the task that followed, as after a deletion.
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Dentist"_s, u"Taxes"_s}));
    QCOMPARE(m_window->selectedRow(), 2);
    QVERIFY(StoreSandbox::read().contains("des=one|~two\r\ndon=2028-01-02 10:30:00\r\nact=addtask"));

    // Shown at the end, grey and struck through, never bold.
    showDone->trigger();
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Dentist"_s, u"Taxes"_s, u"Report"_s}));
    for (ListCell *cell : {m_window->lblTitle()[3], m_window->lblFor()[3], m_window->lblDue()[3]}) {
        QVERIFY(cell->font().strikeOut());
        QVERIFY(!cell->font().bold());
        QCOMPARE(cell->palette().color(QPalette::WindowText), QColor(128, 128, 128));
    }
    QVERIFY(!m_window->lblTitle()[1]->font().strikeOut());
    // Kept for the next start.
    m_window.reset();
    start(QByteArray());
    QVERIFY(m_window->showsDoneTasks());
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Dentist"_s, u"Taxes"_s, u"Report"_s}));

    // Not done again: back in its place, still selected.
    m_window->highlight(3);
    done = m_window->findChild<QAction *>(QStringLiteral("menu_done"));
    QCOMPARE(done->text(), QStringLiteral("&Mark Not Done"));
    QCOMPARE(m_window->findChild<QAction *>(QStringLiteral("menu_done2"))->text(), QStringLiteral("&Mark Not Done"));
    done->trigger();
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Dentist"_s, u"Report"_s, u"Taxes"_s}));
    QCOMPARE(m_window->selectedRow(), 2);
    QCOMPARE(StoreSandbox::read(), storeBytes({kDentist, kReport, kTaxes}));

    // Done again, and hidden again when the option is unticked.
    done->trigger();
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Dentist"_s, u"Taxes"_s, u"Report"_s}));
    QCOMPARE(m_window->selectedRow(), 3); // followed to the end
    m_window->findChild<QAction *>(QStringLiteral("menu_showdone"))->trigger();
    QVERIFY(!m_window->showsDoneTasks());
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Dentist"_s, u"Taxes"_s}));
}

void TestCommands::aRepeatingTaskMovesOnInsteadOfBeingDone()
{
    const TestClock clock(QDateTime(QDate(2030, 5, 10), QTime(12, 0)));
    // Monthly on the 31st, due 31 January and long overdue.
    QByteArray bytes = storeBytes({{"Rent", "Landlord", 31, 1, 2030, 9, 0, 0, ""}, kReport});
    bytes.replace("des=\r\nact=addtask", "des=\r\nrep=1m@31\r\nact=addtask");
    start(bytes);
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Rent"_s, u"Report"_s}));
    m_window->highlight(1);
    m_window->findChild<QAction *>(QStringLiteral("menu_done"))->trigger();
    // Still listed, due on the last day of the next future month, after
    // Report now, and still selected.
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Report"_s, u"Rent"_s}));
    QCOMPARE(m_window->selectedRow(), 2);
    QVERIFY(StoreSandbox::read().contains("ttl=Rent\r\nfor=Landlord\r\nday=31\r\nmon=5\r\nyea=2030\r\n"));
    QVERIFY(StoreSandbox::read().contains("rep=1m@31\r\n"));
    QVERIFY(!StoreSandbox::read().contains("don="));
}

void TestCommands::aMessageShowsTheTitleAsTyped()
{
    // Yearly, in the last year a task can hold: the message that there is
    // no next date names the task.
    const QByteArray title = "<font size=7 color=red>X</font> <a href=\"https://example.org/\">Click</a>";
    QByteArray bytes = storeBytes({{title, "Me", 1, 1, 32767, 9, 0, 0, ""}});
    start(bytes.replace("des=\r\nact=addtask", "des=\r\nrep=1y@1\r\nact=addtask"));
    m_window->highlight(1);
    const DialogKit::ShownMessage seen = DialogKit::readRealMessageBox(
        [this] { m_window->findChild<QAction *>(QStringLiteral("menu_done"))->trigger(); }, m_seam.get());
    QVERIFY2(seen.text.contains(QString::fromUtf8(title)), qPrintable(seen.text));
    QCOMPARE(seen.format, Qt::PlainText);
}

void TestCommands::aReadOnlyStoreIsToldBeforeAnythingIsTyped()
{
    StoreSandbox::write(storeBytes({kReport, kDentist}));
    const auto writable = [](bool yes) {
        QVERIFY(QFile::setPermissions(kStoreFileName, QFile::ReadOwner | (yes ? QFile::WriteOwner : QFile::Permissions())));
    };
    writable(false);
    start(QByteArray());
    QVERIFY2(m_window->windowTitle().contains(QStringLiteral("read-only")), qPrintable(m_window->windowTitle()));
    // The editor says so as it opens; a failed Ok keeps what was typed, and
    // once the file is writable the same Ok saves it.
    QString caption;
    m_seam->script = [&](QDialog *d) {
        caption = d->windowTitle();
        child<QLineEdit>(d, "txtTitle")->setText(QStringLiteral("Dentist typed"));
        child<QPushButton>(d, "Command1")->click();
        QVERIFY(d->isVisible());
        writable(true);
        child<QPushButton>(d, "Command1")->click();
    };
    m_window->highlight(1);
    m_window->findChild<QAction *>(QStringLiteral("menu_modify"))->trigger();
    QVERIFY2(caption.contains(QStringLiteral("read-only")), qPrintable(caption));
    QCOMPARE(m_seam->messages.size(), 1);
    QVERIFY(StoreSandbox::read().contains("ttl=Dentist typed\r\n"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Quorvi"));
}

void TestCommands::deletingTheLastTaskClearsTheSelection()
{
    start(storeBytes({kReport, kDentist}));
    m_window->highlight(2);
    QCOMPARE(m_window->findChild<QPlainTextEdit *>(QStringLiteral("txtDescription"))->toPlainText(),
             QStringLiteral("one\ntwo"));
    m_window->findChild<QAction *>(QStringLiteral("menu_delete"))->trigger();
    QCOMPARE(shownTitles(*m_window), QStringList{u"Dentist"_s});
    QCOMPARE(m_window->selectedRow(), 0);
    // The deleted task's description does not linger under the list.
    QCOMPARE(m_window->findChild<QPlainTextEdit *>(QStringLiteral("txtDescription"))->toPlainText(), QString());
    QVERIFY(m_window->timer1()->isEnabled());
}

void TestCommands::deleteWithNothingSelectedStillSaves()
{
    // The file on disk is in title order; the save writes the table's due order.
    start(storeBytes({kTaxes, kReport, kDentist}));
    m_window->findChild<QAction *>(QStringLiteral("menu_delete"))->trigger();
    QCOMPARE(testStore().taskCount(), 3);
    QCOMPARE(StoreSandbox::read(), storeBytes({kDentist, kReport, kTaxes}));
    QVERIFY(m_seam->messages.isEmpty());
}

void TestCommands::failedDeleteSaveIsReported()
{
    start(storeBytes({kReport, kDentist}));
    const QByteArray before = StoreSandbox::read();
    m_window->highlight(1);
    {
        FileSizeLimit full(64);
        m_window->deleteTask();
    }
    QCOMPARE(m_seam->messages.size(), 1);
    QVERIFY2(m_seam->messages[0].text.startsWith(QStringLiteral("Could not save tasks.txt: ")),
             qPrintable(m_seam->messages[0].text));
    QCOMPARE(StoreSandbox::read(), before);
    // The deletion stays in memory; the next save writes it.
    QCOMPARE(testStore().taskCount(), 1);
    m_window->setSelectedRow(0);
    m_window->deleteTask();
    QCOMPARE(StoreSandbox::read(), storeBytes({kReport}));
}

void TestCommands::rulesDialogRedrawsTheList()
{
    start(storeBytes({kReport}, ruleBytes(32767, "d", 255, false)));
    QCOMPARE(m_window->lblTitle()[1]->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    m_seam->colorToChoose = QColor(0, 0, 255);
    m_seam->script = [](QDialog *d) {
        child<QPushButton>(d, "cmdSelect")->click();
        child<QPushButton>(d, "cmdOk")->click();
    };
    m_window->findChild<QAction *>(QStringLiteral("menu_manage"))->trigger();
    QCOMPARE(m_seam->timerOffWhileOpen, QList<bool>{true});
    QCOMPARE(m_window->lblTitle()[1]->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QCOMPARE(StoreSandbox::read(), storeBytes({kReport}, ruleBytes(32767, "d", 255 << 16, false)));
}

void TestCommands::dialogsAreCreatedOnceAndKept()
{
    start(storeBytes({kReport}));
    FrmTask *editor = m_window->frmTask();
    FrmAlerts *rules = m_window->frmAlerts();
    m_seam->script = [](QDialog *d) {
        if (auto *cancel = d->findChild<QPushButton *>(QStringLiteral("Command2")))
            cancel->click();
        else
            child<QPushButton>(d, "cmdCancel")->click();
    };
    m_window->newTask();
    m_window->manageRules();
    QCOMPARE(m_window->frmTask(), editor);
    QCOMPARE(m_window->frmAlerts(), rules);
    QVERIFY(editor->isHidden());
    QVERIFY(rules->isHidden());
    QCOMPARE(editor->parentWidget(), m_window.get());
}

void TestCommands::aboutAndExit()
{
    start(storeBytes({}));
    m_window->showAbout();
    QCOMPARE(m_seam->messages.size(), 1);
    QCOMPARE(m_seam->messages[0].title, QStringLiteral("About Quorvi"));
    const QStringList lines = m_seam->messages[0].text.split(QLatin1Char('\n'));
    QVERIFY(lines[0].startsWith(QStringLiteral("Quorvi ")));
    QVERIFY(lines[0].endsWith(QStringLiteral(QUORVI_VERSION)));
    QVERIFY(lines.last().startsWith(QStringLiteral("Special thanks to: ")));
    // Where to reach the authors: the address the README and the package give.
    QVERIFY2(lines[lines.size() - 2].contains(QStringLiteral("<" QUORVI_CONTACT ">")), qPrintable(lines.join(u'|')));
    QVERIFY(QStringLiteral(QUORVI_CONTACT).contains(u'@'));
    QCOMPARE(m_seam->endCodes.size(), 0);
    m_window->exitProgram();
    QCOMPARE(m_seam->endCodes.size(), 1);
}

void TestCommands::exportAndImportAskForTheFile()
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_box->file(QStringLiteral("data"))));
    start(storeBytes({kReport, kDentist}));
    // Closed without a file: nothing happens.
    m_window->findChild<QAction *>(QStringLiteral("menu_export"))->trigger();
    QCOMPARE(m_seam->fileChoosers.size(), 1);
    QCOMPARE(m_seam->fileChoosers[0].use, Modal::FileUse::Save);
    QVERIFY(m_seam->fileChoosers[0].filter.contains(QStringLiteral("*.ics")));
    QVERIFY(m_seam->messages.isEmpty());

    // A name without an ending gets .ics.
    m_seam->fileToChoose = m_box->file(QStringLiteral("tasks"));
    m_window->findChild<QAction *>(QStringLiteral("menu_export"))->trigger();
    QCOMPARE(m_seam->messages.size(), 1);
    QCOMPARE(m_seam->messages[0].kind, Modal::Kind::Information);
    QFile exported(m_box->file(QStringLiteral("tasks.ics")));
    QVERIFY(exported.open(QIODevice::ReadOnly));
    QByteArray text = exported.readAll();
    QCOMPARE(text.count("BEGIN:VTODO"), 2);

    // Deleted here, then brought back from the file; the list shows it.
    m_window->highlight(1);
    m_window->findChild<QAction *>(QStringLiteral("menu_delete"))->trigger();
    QCOMPARE(shownTitles(*m_window), QStringList{QStringLiteral("Report")});
    m_seam->fileToChoose = m_box->file(QStringLiteral("tasks.ics"));
    m_window->findChild<QAction *>(QStringLiteral("menu_import"))->trigger();
    QCOMPARE(m_seam->fileChoosers.last().use, Modal::FileUse::Open);
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Dentist"_s, u"Report"_s}));
    QVERIFY2(m_seam->messages.last().text.contains(QStringLiteral("1 added, 0 updated, 1 already up to date")),
             qPrintable(m_seam->messages.last().text));
    QVERIFY(StoreSandbox::read().contains("ttl=Dentist"));
    QVERIFY(m_seam->timerOffWhileOpen.isEmpty()); // no dialog of ours was opened

    // Not a calendar: a warning, and nothing changes.
    const QByteArray before = StoreSandbox::read();
    m_seam->fileToChoose = m_box->file(kStoreFileName);
    m_window->findChild<QAction *>(QStringLiteral("menu_import"))->trigger();
    QCOMPARE(m_seam->messages.last().kind, Modal::Kind::Warning);
    QCOMPARE(StoreSandbox::read(), before);
    QCOMPARE(m_window->rowCount(), 2);
    qunsetenv("XDG_DATA_HOME");
}

void TestCommands::wholeRoad()
{
    // Start with a store, open the list, create a task, edit it, delete
    // another, change a rule's colour; the file is checked after each step.
    const QByteArray rule = ruleBytes(30, "d", 65280, true);
    start(storeBytes({kReport, kDentist}, rule));
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Dentist"_s, u"Report"_s}));

    m_seam->script = [](QDialog *d) {
        child<QLineEdit>(d, "txtTitle")->setText(QStringLiteral("Garden"));
        child<QLineEdit>(d, "txtFor")->setText(QStringLiteral("Aunt May"));
        child<QLineEdit>(d, "txtDay")->setText(QStringLiteral("15"));
        child<QComboBox>(d, "lstMonth")->setCurrentIndex(5);
        child<QLineEdit>(d, "txtYear")->setText(QStringLiteral("2029"));
        child<QLineEdit>(d, "txtHour")->setText(QStringLiteral("10"));
        child<QLineEdit>(d, "txtMinute")->setText(QStringLiteral("30"));
        child<QLineEdit>(d, "txtSecond")->setText(QStringLiteral("0"));
        child<QPlainTextEdit>(d, "txtDescript")->setPlainText(QStringLiteral("seeds\nwater"));
        child<QPushButton>(d, "Command1")->click();
    };
    m_window->newTask();
    // The table was put in due order at load, and is saved in that order.
    const StoredTask garden{"Garden", "Aunt May", 15, 6, 2029, 10, 30, 0, "seeds|~water"};
    QCOMPARE(StoreSandbox::read(), storeBytes({kDentist, kReport, garden}, rule));
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Dentist"_s, u"Garden"_s, u"Report"_s}));

    m_window->highlight(2);
    m_seam->script = [](QDialog *d) {
        child<QLineEdit>(d, "txtTitle")->setText(QStringLiteral("Garden party"));
        child<QLineEdit>(d, "txtDay")->setText(QStringLiteral("16abc"));
        child<QPushButton>(d, "Command1")->click();
    };
    m_window->editSelectedTask();
    // Ok saved the table in the list's order, then reloaded it.
    const StoredTask party{"Garden party", "Aunt May", 16, 6, 2029, 10, 30, 0, "seeds|~water"};
    QCOMPARE(StoreSandbox::read(), storeBytes({kDentist, party, kReport}, rule));
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Dentist"_s, u"Garden party"_s, u"Report"_s}));

    m_window->highlight(1);
    m_window->deleteTask();
    QCOMPARE(StoreSandbox::read(), storeBytes({party, kReport}, rule));
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Garden party"_s, u"Report"_s}));

    m_seam->colorToChoose = QColor(255, 0, 0);
    m_seam->script = [](QDialog *d) {
        child<QPushButton>(d, "cmdSelect")->click();
        child<QPushButton>(d, "cmdOk")->click();
    };
    m_window->manageRules();
    QCOMPARE(StoreSandbox::read(), storeBytes({party, kReport}, ruleBytes(30, "d", 255, true)));
    QVERIFY(m_seam->messages.isEmpty());
}

void TestCommands::undoAndRedoEachCommand()
{
    start(storeBytes({kReport, kDentist, kTaxes}));
    // The records the file holds, whatever their order: a task brought
    // back is saved where the list's order puts it.
    const auto saved = [] {
        QList<QByteArray> records = StoreSandbox::read().split('\n');
        std::sort(records.begin(), records.end());
        return records;
    };
    const auto stored = saved();
    const auto stepBoth = [this, &saved](const QList<QByteArray> &done, const QList<QByteArray> &undone) {
        QCOMPARE(saved(), done);
        trigger(*m_window, "menu_undo");
        QCOMPARE(saved(), undone);
        trigger(*m_window, "menu_redo");
        QCOMPARE(saved(), done);
    };
    // Delete, from the list's own key; Ctrl+Z brings the task back, selected.
    m_window->highlight(1); // Dentist
    QTest::keyClick(m_window->findChild<QWidget *>(u"pctContainer"_s), Qt::Key_Delete);
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Report"_s, u"Taxes"_s}));
    QCOMPARE(m_window->findChild<QAction *>(u"menu_undo"_s)->text(), u"&Undo Delete"_s);
    QCOMPARE(m_window->findChild<QAction *>(u"menu_undo"_s)->shortcut(), QKeySequence(QKeySequence::Undo));
    QCOMPARE(m_window->findChild<QAction *>(u"menu_redo"_s)->shortcut(), QKeySequence(QKeySequence::Redo));
    const auto deleted = saved();
    trigger(*m_window, "menu_undo");
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Dentist"_s, u"Report"_s, u"Taxes"_s}));
    QCOMPARE(selectedTitle(*m_window), u"Dentist"_s);
    QCOMPARE(saved(), stored);
    trigger(*m_window, "menu_redo");
    QCOMPARE(saved(), deleted);
    trigger(*m_window, "menu_undo");

    // Mark Done, then Edit's Ok, then New's Ok, each saved both ways.
    m_window->highlight(2); // Report
    const auto beforeDone = saved();
    trigger(*m_window, "menu_done");
    stepBoth(saved(), beforeDone);

    const auto beforeEdit = saved();
    m_seam->script = [](QDialog *d) {
        child<QLineEdit>(d, "txtTitle")->setText(u"Renamed"_s);
        child<QPushButton>(d, "Command1")->click();
    };
    m_window->highlight(1);
    trigger(*m_window, "menu_modify");
    QVERIFY(StoreSandbox::read().contains("ttl=Renamed"));
    stepBoth(saved(), beforeEdit);

    const auto beforeNew = saved();
    m_seam->script = [](QDialog *d) {
        child<QLineEdit>(d, "txtTitle")->setText(u"Rent"_s);
        child<QPushButton>(d, "Command1")->click();
    };
    trigger(*m_window, "menu_new");
    QVERIFY(StoreSandbox::read().contains("ttl=Rent"));
    stepBoth(saved(), beforeNew);
    QCOMPARE(selectedTitle(*m_window), u"Rent"_s);

    // The rules' Ok.
    const auto beforeRules = saved();
    m_seam->script = [](QDialog *d) {
        child<QLineEdit>(d, "txtInterval")->setText(u"9"_s);
        child<QPushButton>(d, "cmdOk")->click();
    };
    trigger(*m_window, "menu_manage");
    QVERIFY(StoreSandbox::read().contains("val=9"));
    stepBoth(saved(), beforeRules);

    // As many steps as the session holds: back to the start, in order.
    while (m_window->history()->canUndo())
        trigger(*m_window, "menu_undo");
    QCOMPARE(saved(), stored);
    QVERIFY(m_seam->messages.isEmpty());
}

void TestCommands::undoLeavesATaskChangedElsewhere()
{
    start(storeBytes({kReport, kDentist}));
    m_window->highlight(1); // Dentist
    trigger(*m_window, "menu_done");
    // Another program renames it meanwhile; the list follows.
    QByteArray theirs = StoreSandbox::read();
    theirs.replace("ttl=Dentist", "ttl=Dentist at nine");
    StoreSandbox::write(theirs);
    QVERIFY(testStore().storeChangedElsewhere());
    m_window->followStoreFile();
    trigger(*m_window, "menu_undo");
    QCOMPARE(m_seam->messages.size(), 1);
    QVERIFY(m_seam->messages[0].text.contains(u"changed elsewhere"_s));
    // Nothing changed, and the step is gone.
    QCOMPARE(StoreSandbox::read(), theirs);
    QVERIFY(!m_window->history()->canUndo());
}

void TestCommands::theSelectionFollowsItsTask()
{
    const StoredTask water{"Water plants", "Home", 1, 6, 2030, 9, 0, 0, ""};
    const StoredTask backup{"Backup laptop", "Me", 2, 6, 2030, 9, 0, 0, ""};
    start(storeBytes({water, backup}));
    m_window->highlight(1);
    QCOMPARE(selectedTitle(*m_window), u"Water plants"_s);
    // New's Ok: the new task, due first, is selected.
    m_seam->script = [](QDialog *d) {
        child<QLineEdit>(d, "txtTitle")->setText(u"Rent"_s);
        child<QLineEdit>(d, "txtYear")->setText(u"2029"_s);
        child<QPushButton>(d, "Command1")->click();
    };
    trigger(*m_window, "menu_new");
    QCOMPARE(shownTitles(*m_window).first(), u"Rent"_s);
    QCOMPARE(selectedTitle(*m_window), u"Rent"_s);
    // A sort and an edit that moves it keep it selected.
    m_window->highlight(2); // Water plants
    QTest::mouseClick(m_window->findChild<QPushButton *>(u"cmdTitle"_s), Qt::LeftButton);
    QCOMPARE(selectedTitle(*m_window), u"Water plants"_s);
    m_seam->script = [](QDialog *d) {
        child<QLineEdit>(d, "txtTitle")->setText(u"All plants"_s);
        child<QPushButton>(d, "Command1")->click();
    };
    trigger(*m_window, "menu_modify");
    QCOMPARE(shownTitles(*m_window).first(), u"All plants"_s);
    QCOMPARE(selectedTitle(*m_window), u"All plants"_s);
    // Delete selects the row below, as before.
    QTest::keyClick(m_window->findChild<QWidget *>(u"pctContainer"_s), Qt::Key_Delete);
    QCOMPARE(selectedTitle(*m_window), u"Backup laptop"_s);
    // Undo brings the task back, selected; Redo deletes it and nothing is
    // left selected where it was the last row.
    QCOMPARE(shownTitles(*m_window), (QStringList{u"Backup laptop"_s, u"Rent"_s}));
    m_window->highlight(2); // Rent, the last row
    QTest::keyClick(m_window->findChild<QWidget *>(u"pctContainer"_s), Qt::Key_Delete);
    QCOMPARE(m_window->selectedRow(), 0);
    trigger(*m_window, "menu_undo");
    QCOMPARE(selectedTitle(*m_window), u"Rent"_s);
}

QTEST_MAIN(TestCommands)
#include "test_commands.moc"
