// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmtask.h"

#include "dialogkit.h"
#include "fakeseam.h"
#include "modal.h"
#include "module1.h"
#include "rules.h"
#include "storesandbox.h"
#include "testclock.h"
#include "twips.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QTableView>
#include <QTextCharFormat>
#include <QToolButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QTextBlock>
#include <QTextDocument>
#include <QWindow>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;
using namespace Module1;
using TestData::StoredTask;
using TestData::storeBytes;

namespace {

const QByteArray kRule = "val=3\r\nunt=d\r\nclr=255\r\nalr=on\r\nact=addalert\r\n\r\n";
const StoredTask kDentist{"Dentist", "Me", 7, 3, 2003, 9, 5, 0, "Bring|~card"};
const StoredTask kReport{"Report", "Boss", 1, 1, 2004, 17, 30, 15, ""};

} // namespace

class TestFrmTask : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void dialogIsAFixedModalDialogWithItsCaption();
    void controlsSitAtTheirRectangles_data();
    void controlsSitAtTheirRectangles();
    void labelsReadAndSitAsDesigned_data();
    void labelsReadAndSitAsDesigned();
    void tabOrderFollowsTheForm();
    void captionsFitTheirControls();

    void prepareFillsTheBoxesFromTheSlot();
    void prepareOutsideTheTableTouchesNothing_data();
    void prepareOutsideTheTableTouchesNothing();
    void newOnANeverUsedSlotStoresZerosAndNoMonth();
    void newAfterADeletionIsBlank();
    void numberBoxesReadTheLeadingNumber_data();
    void numberBoxesReadTheLeadingNumber();
    void everyKeystrokeIsWrittenIntoTheRecord();
    void pickingAMonthStoresItsNumber();
    void unshowableMonthIsKeptThroughOk_data();
    void unshowableMonthIsKeptThroughOk();
    void descriptionKeepsCrLfBreaks();
    void pastedBreaksNeverSplitASingleLineField();
    void repeatShowsWhatIsStored_data();
    void repeatShowsWhatIsStored();
    void repeatChoiceIsWrittenIntoTheRecord();
    void monthlyRepeatFollowsTheDueDay();
    void unreadableRepeatIsKeptUntilChanged();

    void calendarOpensOnTheBoxesDateWithTodayMarked();
    void clickingADayFillsTheDateBoxes();
    void keyboardReachesTheCalendarAndPicksADay();
    void dueLineShowsWhatOkSaves();

    void okSavesHidesThenReloadsAndAnnounces();
    void openingTheEditorChangesNoStoredText();
    void okWritesTheFileEvenWithoutChanges();
    void okShowsTheBackupNotice();
    void editChangeCancelRestoresTheStoredTitle();
    void newThenCancelKeepsTheCount();
    void escapeActsAsCancel();
    void closeButtonActsAsCancel();
    void enterInASingleLineBoxPressesNothing();
    void enterOnAFocusedButtonPressesIt_data();
    void enterOnAFocusedButtonPressesIt();
    void failedSaveKeepsTheDialogAndTheEdit();
    void refusedSaveOfAnUnreadableStoreKeepsTheDialog();
    void reloadPutsTheTableBackInListOrder_data();
    void reloadPutsTheTableBackInListOrder();

    void buttonsEndTheRealModalLoop_data();
    void buttonsEndTheRealModalLoop();

private:
    template<typename T>
    T *child(const char *name) const
    {
        T *w = dlg->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    QLineEdit *box(const char *name) const { return child<QLineEdit>(name); }
    // Opens the dialog on a slot the way the main window does.
    void openOn(int index)
    {
        dlg->prepare(index);
        seam->exec(dlg.get());
        QVERIFY(dlg->isVisible());
    }
    static void retype(QLineEdit *edit, const QString &text)
    {
        edit->selectAll();
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Backspace);
        else
            QTest::keyClicks(edit, text);
    }

    // The calendar's popup, opened by a click on its button.
    QCalendarWidget *openCalendar()
    {
        QTest::mouseClick(child<QToolButton>("cmdCalendar"), Qt::LeftButton);
        auto *calendar = dlg->findChild<QCalendarWidget *>(QStringLiteral("calendar"));
        if (calendar && !QTest::qWaitFor([calendar] { return calendar->isVisible(); }))
            return nullptr;
        return calendar;
    }

    std::unique_ptr<StoreSandbox> sandbox;
    std::unique_ptr<FakeSeam> seam;
    std::unique_ptr<FrmTask> dlg;
};

void TestFrmTask::initTestCase()
{
    DialogKit::applyProgramLook();
}

void TestFrmTask::init()
{
    sandbox = std::make_unique<StoreSandbox>();
    seam = std::make_unique<FakeSeam>();
    StoreSandbox::write(storeBytes({kDentist, kReport}, kRule));
    testStore().loadTasks();
    testStore().setSortMode(2);
    testStore().sortTasks();
    dlg = std::make_unique<FrmTask>(Context{testStore(), *seam});
}

void TestFrmTask::cleanup()
{
    dlg.reset();
    seam.reset();
    sandbox.reset();
}

void TestFrmTask::dialogIsAFixedModalDialogWithItsCaption()
{
    QCOMPARE(dlg->objectName(), QStringLiteral("frmTask"));
    QCOMPARE(dlg->windowTitle(), QStringLiteral("New / Edit task"));
    QVERIFY(dlg->isModal());
    // One row taller for the repeat and one for the due line than the form
    // was, and wider by the calendar button beside the year.
    const QSize client(Twips::toPixels(3975 + 360), Twips::toPixels(3225 + 360 + 480));
    QCOMPARE(dlg->minimumSize(), client);
    QCOMPARE(dlg->maximumSize(), client);
    const Qt::WindowFlags flags = dlg->windowFlags();
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QCOMPARE(child<QPushButton>("Command1")->text(), QStringLiteral("&Ok"));
    QCOMPARE(child<QPushButton>("Command2")->text(), QStringLiteral("&Cancel"));
    QVERIFY(!child<QPushButton>("Command1")->autoDefault());
    QVERIFY(!child<QPushButton>("Command2")->autoDefault());
    const QStringList months = [this] {
        QStringList names;
        QComboBox *list = child<QComboBox>("lstMonth");
        for (int i = 0; i < list->count(); ++i)
            names << list->itemText(i);
        return names;
    }();
    QCOMPARE(months, (QStringList{u"January"_s, u"February"_s, u"March"_s, u"April"_s, u"May"_s, u"June"_s, u"July"_s, u"August"_s,
                                  u"September"_s, u"October"_s, u"November"_s, u"December"_s}));
    QVERIFY(!child<QComboBox>("lstMonth")->isEditable());
    for (const char *name : {"txtDay", "txtYear", "txtHour", "txtMinute", "txtSecond"})
        QCOMPARE(box(name)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QCOMPARE(child<QPlainTextEdit>("txtDescript")->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

void TestFrmTask::controlsSitAtTheirRectangles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("txtTitle") << "txtTitle" << QRect(840, 120, 3015, 285);
    QTest::newRow("txtFor") << "txtFor" << QRect(840, 480, 3015, 285);
    QTest::newRow("txtDay") << "txtDay" << QRect(840, 840, 375, 285);
    QTest::newRow("lstMonth") << "lstMonth" << QRect(1320, 840, 1815, 315);
    QTest::newRow("txtYear") << "txtYear" << QRect(3240, 840, 615, 285);
    QTest::newRow("txtHour") << "txtHour" << QRect(840, 1440, 375, 285);
    QTest::newRow("txtMinute") << "txtMinute" << QRect(1440, 1440, 375, 285);
    QTest::newRow("txtSecond") << "txtSecond" << QRect(2040, 1440, 375, 285);
    QTest::newRow("cmdCalendar") << "cmdCalendar" << QRect(3915, 840, 300, 285);
    QTest::newRow("lblDuePreview") << "lblDuePreview" << QRect(120, 1800, 4095, 420);
    QTest::newRow("txtDescript") << "txtDescript" << QRect(120, 2520, 3735, 735);
    QTest::newRow("lstRepeat") << "lstRepeat" << QRect(840, 3360, 1575, 315);
    QTest::newRow("txtRepeatCount") << "txtRepeatCount" << QRect(3240, 3360, 615, 285);
    QTest::newRow("Command1") << "Command1" << QRect(2880, 3720, 975, 255);
    QTest::newRow("Command2") << "Command2" << QRect(1800, 3720, 975, 255);
}

void TestFrmTask::controlsSitAtTheirRectangles()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    auto *w = dlg->findChild<QWidget *>(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(w->parentWidget(), dlg.get());
    QCOMPARE(w->geometry(), Twips::toPixels(Twips::Rect{double(twips.x()), double(twips.y()),
                                                        double(twips.width()), double(twips.height())}));
}

void TestFrmTask::labelsReadAndSitAsDesigned_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QPoint>("twips");
    QTest::newRow("Title") << "Title:" << QPoint(120, 120);
    QTest::newRow("For") << "For:" << QPoint(120, 480);
    QTest::newRow("Due") << "Due:" << QPoint(120, 840);
    QTest::newRow("yyyy") << "(yyyy)" << QPoint(3240, 1200);
    QTest::newRow("Time") << "Time:" << QPoint(120, 1440);
    QTest::newRow("Description") << "Description:" << QPoint(120, 2280);
}

void TestFrmTask::labelsReadAndSitAsDesigned()
{
    QFETCH(QString, text);
    QFETCH(QPoint, twips);
    const auto labels = dlg->findChildren<QLabel *>();
    QLabel *found = nullptr;
    for (QLabel *l : labels) {
        if (l->text() == text)
            found = l;
    }
    QVERIFY2(found, qPrintable(text));
    QCOMPARE(found->pos(), QPoint(Twips::toPixels(twips.x()), Twips::toPixels(twips.y())));
    if (text == QLatin1String("(yyyy)")) {
        // Centred under the year box.
        QCOMPARE(found->width(), Twips::toPixels(615));
        QVERIFY(found->alignment() & Qt::AlignHCenter);
    }
}

void TestFrmTask::tabOrderFollowsTheForm()
{
    // Repeating, so that the count box takes part (it is off for Never).
    TestData::editTask(0, [&](Module1::Task &edited) { edited.repeatText = QStringLiteral("1w"); });
    openOn(1);
    dlg->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    box("txtTitle")->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), box("txtTitle"));
    QStringList visited;
    for (int i = 0; i < 14; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, (QStringList{u"txtFor"_s, u"txtDay"_s, u"lstMonth"_s, u"txtYear"_s, u"cmdCalendar"_s, u"txtHour"_s,
                                   u"txtMinute"_s, u"txtSecond"_s, u"txtDescript"_s, u"lstRepeat"_s, u"txtRepeatCount"_s,
                                   u"Command1"_s, u"Command2"_s, u"txtTitle"_s}));
}

void TestFrmTask::captionsFitTheirControls()
{
    openOn(1);
    DialogKit::savePicture(dlg.get(), QStringLiteral("frmTask"));
    const QStringList clipped = DialogKit::clippedCaptions(dlg.get());
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1String(", "))));
    // The longest month name must fit the closed list as well.
    QComboBox *list = child<QComboBox>("lstMonth");
    QVERIFY(list->fontMetrics().horizontalAdvance(QStringLiteral("September")) < list->width() - 20);
    // The longest due line the boxes make here: a long month and weekday,
    // seconds, and past.
    const TestClock clock(QDateTime(QDate(2030, 1, 1), QTime(0, 0)));
    for (const auto &[name, text] : {std::pair{"txtDay", "29"}, {"txtYear", "2027"}, {"txtHour", "22"},
                                     {"txtMinute", "30"}, {"txtSecond", "15"}})
        retype(box(name), QString::fromLatin1(text));
    list->setCurrentIndex(8);
    QCOMPARE(child<QLabel>("lblDuePreview")->text(),
             QStringLiteral("Wednesday, September 29, 2027, 10:30:15 PM, in the past"));
    const QStringList clippedLong = DialogKit::clippedCaptions(dlg.get());
    QVERIFY2(clippedLong.isEmpty(), qPrintable(clippedLong.join(QLatin1String(", "))));
}

void TestFrmTask::prepareFillsTheBoxesFromTheSlot()
{
    openOn(1);
    QCOMPARE(dlg->selected(), 1);
    QCOMPARE(box("txtTitle")->text(), QStringLiteral("Dentist"));
    QCOMPARE(box("txtFor")->text(), QStringLiteral("Me"));
    QCOMPARE(box("txtDay")->text(), QStringLiteral("7"));
    QCOMPARE(child<QComboBox>("lstMonth")->currentIndex(), 2);
    QCOMPARE(child<QComboBox>("lstMonth")->currentText(), QStringLiteral("March"));
    QCOMPARE(box("txtYear")->text(), QStringLiteral("2003"));
    QCOMPARE(box("txtHour")->text(), QStringLiteral("9"));
    QCOMPARE(box("txtMinute")->text(), QStringLiteral("5"));
    QCOMPARE(box("txtSecond")->text(), QStringLiteral("0"));
    QTextDocument *doc = child<QPlainTextEdit>("txtDescript")->document();
    QCOMPARE(doc->blockCount(), 2);
    QCOMPARE(doc->findBlockByNumber(1).text(), QStringLiteral("card"));
    // Filling wrote the same values back: the copy is as the record was.
    QCOMPARE(dlg->record().description, QStringLiteral("Bring\r\ncard"));
    QCOMPARE(testStore().storeText(), storeBytes({kDentist, kReport}, kRule));

    // A second prepare refills everything from the other slot.
    dlg->prepare(2);
    QCOMPARE(box("txtTitle")->text(), QStringLiteral("Report"));
    QCOMPARE(box("txtMinute")->text(), QStringLiteral("30"));
    QCOMPARE(child<QComboBox>("lstMonth")->currentText(), QStringLiteral("January"));
    QCOMPARE(child<QPlainTextEdit>("txtDescript")->toPlainText(), QString());
    QCOMPARE(testStore().storeText(), storeBytes({kDentist, kReport}, kRule));
}

void TestFrmTask::prepareOutsideTheTableTouchesNothing_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("zero") << 0;
    QTest::newRow("negative") << -1;
    QTest::newRow("one past the table") << kTaskSlots + 1;
    QTest::newRow("far past") << 32767;
}

void TestFrmTask::prepareOutsideTheTableTouchesNothing()
{
    QFETCH(int, index);
    openOn(1);
    const QByteArray before = testStore().storeText();
    const QString firstBefore = testStore().tasks()[0].title;
    dlg->prepare(index);
    QCOMPARE(dlg->selected(), 0);
    // Typing now must reach no slot: not the one shown before, not the last.
    QTest::keyClicks(box("txtTitle"), QStringLiteral("zz"));
    QTest::keyClicks(box("txtDay"), QStringLiteral("9"));
    child<QComboBox>("lstMonth")->setCurrentIndex(7);
    QCOMPARE(testStore().tasks()[0].title, firstBefore);
    QCOMPARE(testStore().tasks()[0].month, qint16(3));
    // Nor does Ok commit anything.
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    QCOMPARE(testStore().storeText(), before);
    QCOMPARE(testStore().taskCount(), 2);
}

void TestFrmTask::newOnANeverUsedSlotStoresZerosAndNoMonth()
{
    dlg->prepareNew(); // what New does
    seam->exec(dlg.get());
    QCOMPARE(dlg->selected(), 3);
    QCOMPARE(testStore().taskCount(), 2); // not in the store before Ok
    QCOMPARE(box("txtTitle")->text(), QString());
    for (const char *name : {"txtDay", "txtYear", "txtHour", "txtMinute", "txtSecond"})
        QCOMPARE(box(name)->text(), QStringLiteral("0"));
    QCOMPARE(child<QComboBox>("lstMonth")->currentIndex(), -1);
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    QVERIFY(!dlg->isVisible());
    // Written in table order, the new task last.
    QCOMPARE(StoreSandbox::read(), storeBytes({kDentist, kReport, StoredTask{}}, kRule));
    QCOMPARE(testStore().taskCount(), qint16(3));
    // Reloaded and back in due-date order, where year 0 comes first.
    QCOMPARE(testStore().tasks()[0].title, QString());
    QCOMPARE(testStore().tasks()[0].month, qint16(0));
    QCOMPARE(testStore().tasks()[1].title, QStringLiteral("Dentist"));
}

void TestFrmTask::newAfterADeletionIsBlank()
{
    // Nothing of a deleted task is left for New to show.
    QVERIFY(testStore().removeTask(testStore().tasks()[1].id).ok());
    dlg->prepareNew();
    seam->exec(dlg.get());
    QCOMPARE(box("txtTitle")->text(), QString());
    QCOMPARE(box("txtFor")->text(), QString());
    QCOMPARE(child<QComboBox>("lstMonth")->currentIndex(), -1);
    QCOMPARE(box("txtYear")->text(), QStringLiteral("0"));
}

void TestFrmTask::numberBoxesReadTheLeadingNumber_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored");
    const char *boxes[] = {"txtDay", "txtYear", "txtHour", "txtMinute", "txtSecond"};
    for (const char *name : boxes) {
        const QString n = QLatin1String(name);
        QTest::addRow("%s 12abc", name) << n << "12abc" << 12;
        QTest::addRow("%s 99999 clamped", name) << n << "99999" << 32767;
    }
    QTest::newRow("two and a half rounds down") << "txtDay" << "2.5" << 2;
    QTest::newRow("three and a half rounds up") << "txtDay" << "3.5" << 4;
    QTest::newRow("empty box") << "txtDay" << "" << 0;
    QTest::newRow("letters only") << "txtDay" << "abc" << 0;
    QTest::newRow("leading blanks") << "txtHour" << "  7" << 7;
    QTest::newRow("negative") << "txtMinute" << "-1" << -1;
    QTest::newRow("largest") << "txtYear" << "32767" << 32767;
    QTest::newRow("one past the largest") << "txtYear" << "32768" << 32767;
    QTest::newRow("smallest") << "txtSecond" << "-32768" << -32768;
    QTest::newRow("below the smallest") << "txtSecond" << "-99999" << -32768;
    QTest::newRow("huge") << "txtDay" << "1e30" << 32767;
}

void TestFrmTask::numberBoxesReadTheLeadingNumber()
{
    QFETCH(QString, name);
    QFETCH(QString, typed);
    QFETCH(int, stored);
    openOn(2);
    retype(box(qPrintable(name)), typed);
    QCOMPARE(box(qPrintable(name))->text(), typed);
    const Task &t = dlg->record();
    const QHash<QString, int> fields{{u"txtDay"_s, t.day},
                                     {u"txtYear"_s, t.year},
                                     {u"txtHour"_s, t.hour},
                                     {u"txtMinute"_s, t.minute},
                                     {u"txtSecond"_s, t.second}};
    QCOMPARE(fields.value(name), stored);
    // Only that field changed.
    QCOMPARE(t.title, QStringLiteral("Report"));
    QCOMPARE(t.month, qint16(1));
    // And the clamped value is what Ok writes.
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    const QByteArray key = QHash<QString, QByteArray>{{u"txtDay"_s, "day="},
                                                      {u"txtYear"_s, "yea="},
                                                      {u"txtHour"_s, "hou="},
                                                      {u"txtMinute"_s, "min="},
                                                      {u"txtSecond"_s, "sec="}}
                               .value(name);
    QVERIFY(StoreSandbox::read().contains(QByteArray("\r\n" + key + QByteArray::number(stored) + "\r\n")));
}

void TestFrmTask::everyKeystrokeIsWrittenIntoTheRecord()
{
    openOn(1);
    QLineEdit *title = box("txtTitle");
    title->end(false);
    QTest::keyClick(title, Qt::Key_S);
    QCOMPARE(dlg->record().title, QStringLiteral("Dentists"));
    QTest::keyClick(title, Qt::Key_Backspace);
    QCOMPARE(dlg->record().title, QStringLiteral("Dentist"));
    retype(box("txtFor"), QStringLiteral("Anna"));
    QCOMPARE(dlg->record().forWhom, QStringLiteral("Anna"));
    retype(box("txtDay"), QStringLiteral("1"));
    QCOMPARE(dlg->record().day, qint16(1));
    QTest::keyClick(box("txtDay"), Qt::Key_5);
    QCOMPARE(dlg->record().day, qint16(15));
    // The store is untouched until Ok.
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("Dentist"));
    QCOMPARE(testStore().tasks()[0].day, qint16(7));
    QCOMPARE(testStore().tasks()[1].title, QStringLiteral("Report"));
    QCOMPARE(testStore().tasks()[1].forWhom, QStringLiteral("Boss"));
}

void TestFrmTask::pickingAMonthStoresItsNumber()
{
    openOn(1);
    QComboBox *list = child<QComboBox>("lstMonth");
    list->setCurrentIndex(11);
    QCOMPARE(dlg->record().month, qint16(12));
    list->setCurrentIndex(0);
    QCOMPARE(dlg->record().month, qint16(1));
    // The keyboard picks as well.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->currentIndex(), 1);
    QCOMPARE(dlg->record().month, qint16(2));
}

void TestFrmTask::unshowableMonthIsKeptThroughOk_data()
{
    QTest::addColumn<int>("month");
    QTest::newRow("zero") << 0;
    QTest::newRow("thirteen") << 13;
    QTest::newRow("fourteen") << 14;
    QTest::newRow("negative") << -2;
}

void TestFrmTask::unshowableMonthIsKeptThroughOk()
{
    QFETCH(int, month);
    StoredTask odd = kReport;
    odd.month = month;
    StoreSandbox::write(storeBytes({odd}));
    testStore().loadTasks();
    // Show a real month first, so the list has a selection to give up.
    Task shown = testStore().tasks()[0];
    shown.month = 5;
    TestData::addTask(shown);
    dlg->prepare(2);
    QCOMPARE(child<QComboBox>("lstMonth")->currentIndex(), 4);
    TestData::removeTask(1);

    openOn(1);
    QCOMPARE(child<QComboBox>("lstMonth")->currentIndex(), -1);
    QCOMPARE(dlg->record().month, qint16(month));
    retype(box("txtTitle"), QStringLiteral("Renamed"));
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    odd.title = "Renamed";
    QCOMPARE(StoreSandbox::read(), storeBytes({odd}));
}

void TestFrmTask::descriptionKeepsCrLfBreaks()
{
    openOn(2);
    auto *text = child<QPlainTextEdit>("txtDescript");
    QTest::keyClicks(text, QStringLiteral("one"));
    QTest::keyClick(text, Qt::Key_Return);
    QTest::keyClicks(text, QStringLiteral("two"));
    QCOMPARE(dlg->record().description, QStringLiteral("one\r\ntwo"));
    // Enter in the description is a line break, not Ok.
    QVERIFY(dlg->isVisible());
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    StoredTask saved = kReport;
    saved.description = "one|~two";
    QCOMPARE(StoreSandbox::read(), storeBytes({kDentist, saved}, kRule));
    QCOMPARE(testStore().tasks()[1].description, QStringLiteral("one\r\ntwo"));
}

void TestFrmTask::pastedBreaksNeverSplitASingleLineField()
{
    openOn(1);
    box("txtTitle")->setText(QStringLiteral("two\nlines"));
    box("txtFor")->setText(QStringLiteral("a\r\nb"));
    QVERIFY(!dlg->record().title.contains(QLatin1Char('\n')));
    QVERIFY(!dlg->record().forWhom.contains(QLatin1Char('\n')));
    QVERIFY(!dlg->record().forWhom.contains(QLatin1Char('\r')));
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    // The store still reads back as the same two tasks.
    QCOMPARE(testStore().taskCount(), qint16(2));
    QCOMPARE(testStore().lastLoadReport().problems, QStringList());
}

void TestFrmTask::calendarOpensOnTheBoxesDateWithTodayMarked()
{
    const TestClock clock(QDateTime(QDate(2026, 12, 8), QTime(15, 20)));
    openOn(1);
    // Day 31 of February is shown where it rolls over to.
    retype(box("txtDay"), QStringLiteral("31"));
    child<QComboBox>("lstMonth")->setCurrentIndex(1);
    QCalendarWidget *calendar = openCalendar();
    QVERIFY(calendar);
    QCOMPARE(calendar->selectedDate(), QDate(2003, 3, 3));
    QCOMPARE(calendar->monthShown(), 3);
    QCOMPARE(calendar->yearShown(), 2003);
    QCOMPARE(calendar->firstDayOfWeek(), QLocale().firstDayOfWeek());
    QCOMPARE(calendar->dateTextFormat(QDate(2026, 12, 8)).fontWeight(), int(QFont::Bold));
    QVERIFY(calendar->dateTextFormat(QDate(2026, 12, 9)).fontWeight() != QFont::Bold);
    calendar->parentWidget()->hide();

    // The mark of today follows the clock to the next opening.
    const TestClock later(QDateTime(QDate(2027, 3, 1), QTime(9, 0)));
    retype(box("txtYear"), QStringLiteral("2027"));
    calendar = openCalendar();
    QCOMPARE(calendar->selectedDate(), QDate(2027, 3, 3));
    QVERIFY(calendar->dateTextFormat(QDate(2026, 12, 8)).fontWeight() != QFont::Bold);
    QCOMPARE(calendar->dateTextFormat(QDate(2027, 3, 1)).fontWeight(), int(QFont::Bold));
    // Opening changed nothing typed.
    QCOMPARE(box("txtDay")->text(), QStringLiteral("31"));
    QCOMPARE(dlg->record().month, qint16(2));
    // The README's picture of the editor with its calendar open.
    DialogKit::savePicture(dlg.get(), QStringLiteral("frmTask-calendar"), calendar->window());
}

void TestFrmTask::clickingADayFillsTheDateBoxes()
{
    openOn(2); // 1 January 2004
    QCalendarWidget *calendar = openCalendar();
    QVERIFY(calendar);
    auto *view = calendar->findChild<QTableView *>();
    QVERIFY(view);
    // The 20th appears once in any month's grid.
    QModelIndex twentieth;
    for (int row = 0; row < view->model()->rowCount() && !twentieth.isValid(); ++row) {
        for (int column = 0; column < view->model()->columnCount(); ++column) {
            const QModelIndex cell = view->model()->index(row, column);
            if (cell.data().toString() == QStringLiteral("20"))
                twentieth = cell;
        }
    }
    QVERIFY(twentieth.isValid());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(twentieth).center());
    QTRY_VERIFY(!calendar->isVisible());
    QCOMPARE(box("txtDay")->text(), QStringLiteral("20"));
    QCOMPARE(child<QComboBox>("lstMonth")->currentText(), QStringLiteral("January"));
    QCOMPARE(box("txtYear")->text(), QStringLiteral("2004"));
    QCOMPARE(dlg->record().day, qint16(20));
    // The time is left as it was, and Ok saves the chosen day.
    QCOMPARE(dlg->record().hour, qint16(17));
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    QVERIFY(StoreSandbox::read().contains("day=20\r\nmon=1\r\nyea=2004\r\nhou=17\r\n"));
}

void TestFrmTask::keyboardReachesTheCalendarAndPicksADay()
{
    openOn(1); // 7 March 2003
    dlg->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    box("txtYear")->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), box("txtYear"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), child<QToolButton>("cmdCalendar"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    auto *calendar = dlg->findChild<QCalendarWidget *>(QStringLiteral("calendar"));
    QVERIFY(calendar);
    QTRY_VERIFY(calendar->isVisible());
    QTRY_VERIFY(calendar->isAncestorOf(QApplication::focusWidget()));
    // A week on and a day back: 13 March, across nothing typed.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    QCOMPARE(box("txtDay")->text(), QStringLiteral("7"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_VERIFY(!calendar->isVisible());
    QCOMPARE(box("txtDay")->text(), QStringLiteral("13"));
    QCOMPARE(child<QComboBox>("lstMonth")->currentText(), QStringLiteral("March"));
    QCOMPARE(dlg->record().day, qint16(13));
    // The keyboard is back on the button, and the dialog still open.
    QTRY_COMPARE(QApplication::focusWidget(), child<QToolButton>("cmdCalendar"));
    QVERIFY(dlg->isVisible());
    // Enter on the button opens it too; Esc closes it, not the dialog, and
    // changes nothing.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_VERIFY(calendar->isVisible());
    QCOMPARE(calendar->selectedDate(), QDate(2003, 3, 13));
    QTRY_VERIFY(calendar->isAncestorOf(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_VERIFY(!calendar->isVisible());
    QVERIFY(dlg->isVisible());
    QCOMPARE(dlg->selected(), 1);
    QCOMPARE(dlg->record().day, qint16(13));
}

void TestFrmTask::dueLineShowsWhatOkSaves()
{
    const TestClock clock(QDateTime(QDate(2026, 12, 8), QTime(15, 20)));
    openOn(2); // 1 January 2004, 17:30:15
    auto *line = child<QLabel>("lblDuePreview");
    QCOMPARE(line->text(), QStringLiteral("Thursday, January 1, 2004, 5:30:15 PM, in the past"));
    // Hour 25 carries a day; the box keeps what was typed.
    retype(box("txtHour"), QStringLiteral("25"));
    QCOMPARE(line->text(), QStringLiteral("Friday, January 2, 2004, 1:30:15 AM, in the past"));
    QCOMPARE(box("txtHour")->text(), QStringLiteral("25"));
    retype(box("txtYear"), QStringLiteral("2027"));
    retype(box("txtSecond"), QStringLiteral("0"));
    QCOMPARE(line->text(), QStringLiteral("Saturday, January 2, 2027, 1:30 AM"));
    child<QComboBox>("lstMonth")->setCurrentIndex(1);
    QCOMPARE(line->text(), QStringLiteral("Tuesday, February 2, 2027, 1:30 AM"));
    // The list shows the moment the line promised.
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    QCOMPARE(StoreSandbox::read().count("hou=25\r\n"), 1);
    const auto live = testStore().tasks();
    const auto report = std::find_if(live.begin(), live.end(),
                                     [](const Task &t) { return t.title == QStringLiteral("Report"); });
    QVERIFY(report != live.end());
    QCOMPARE(Rules::dueMoment(*report), QDateTime(QDate(2027, 2, 2), QTime(1, 30)));
}

void TestFrmTask::okSavesHidesThenReloadsAndAnnounces()
{
    openOn(1);
    QSignalSpy reloaded(&testStore(), &Module1::TaskStore::changed);
    bool hiddenWhenSignalled = false;
    // A listener that ends with this test: the notifier outlives it.
    QObject listener;
    connect(&testStore(), &Module1::TaskStore::changed, &listener, [&] { hiddenWhenSignalled = !dlg->isVisible(); });
    retype(box("txtDay"), QStringLiteral("8"));
    QCOMPARE(dlg->record().sortKey, QStringLiteral("2003-03 - 07 09:05:00")); // not rebuilt while typing
    QCOMPARE(testStore().tasks()[0].day, qint16(7));                           // nor the store touched
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    QCOMPARE(reloaded.count(), 1);
    QVERIFY(hiddenWhenSignalled);
    QCOMPARE(dlg->result(), int(QDialog::Accepted));
    QCOMPARE(dlg->selected(), 1);
    StoredTask changed = kDentist;
    changed.day = 8;
    QCOMPARE(StoreSandbox::read(), storeBytes({changed, kReport}, kRule));
    // The reload rebuilt the derived fields.
    QCOMPARE(testStore().tasks()[0].sortKey, QStringLiteral("2003-03 - 08 09:05:00"));
    QCOMPARE(testStore().taskCount(), qint16(2));
    QCOMPARE(testStore().ruleCount(), qint16(1));
    QVERIFY(seam->messages.isEmpty());
}

void TestFrmTask::openingTheEditorChangesNoStoredText()
{
    // Longer than a line edit holds by default, and with separators that do
    // not end a line of the file: showing them must not alter them.
    const QString longTitle = QString(40000, QLatin1Char('t')) + QStringLiteral("\u2028end");
    TestData::editTask(0, [&](Module1::Task &edited) { edited.title = longTitle; });
    TestData::editTask(0, [&](Module1::Task &edited) { edited.forWhom = QStringLiteral("a\u2029b"); });
    const QByteArray before = testStore().storeText();
    openOn(1);
    QCOMPARE(dlg->record().title, longTitle);
    QCOMPARE(testStore().storeText(), before);
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    QCOMPARE(StoreSandbox::read(), before);
}

void TestFrmTask::okWritesTheFileEvenWithoutChanges()
{
    // A file in another layout: Ok rewrites it in the writer's own.
    StoreSandbox::write("ttl=Dentist\nfor=Me\nday=7\nmon=3\nyea=2003\nhou=9\nmin=5\nsec=0\ndes=Bring|~card\nact=x\n");
    testStore().loadTasks();
    openOn(1);
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    QCOMPARE(StoreSandbox::read(), storeBytes({kDentist}));
}

void TestFrmTask::okShowsTheBackupNotice()
{
    // A line the reader could not take: the first save keeps the original.
    const QByteArray damaged = storeBytes({kDentist}) + "ab\r\n";
    StoreSandbox::write(damaged);
    QCOMPARE(testStore().loadTasks().problems.size(), 1);
    openOn(1);
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    QVERIFY(!dlg->isVisible());
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(seam->messages[0].kind, Modal::Kind::Information);
    QVERIFY2(seam->messages[0].text.contains(QStringLiteral("tasks.txt.bak")), qPrintable(seam->messages[0].text));
    QCOMPARE(StoreSandbox::read(QStringLiteral("tasks.txt.bak")), damaged);
}

void TestFrmTask::editChangeCancelRestoresTheStoredTitle()
{
    openOn(1);
    QSignalSpy reloaded(&testStore(), &Module1::TaskStore::changed);
    retype(box("txtTitle"), QStringLiteral("Changed"));
    child<QComboBox>("lstMonth")->setCurrentIndex(6);
    QCOMPARE(dlg->record().title, QStringLiteral("Changed"));
    const int loads = testStore().loadCount();
    QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);
    QVERIFY(!dlg->isVisible());
    QCOMPARE(dlg->selected(), -1);
    QCOMPARE(dlg->result(), int(QDialog::Rejected));
    QCOMPARE(reloaded.count(), 0); // nothing to read again: the store was never touched
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("Dentist"));
    QCOMPARE(testStore().tasks()[0].month, qint16(3));
    QCOMPARE(testStore().loadCount(), loads);
    QCOMPARE(StoreSandbox::read(), storeBytes({kDentist, kReport}, kRule));
}

void TestFrmTask::newThenCancelKeepsTheCount()
{
    dlg->prepareNew();
    seam->exec(dlg.get());
    retype(box("txtTitle"), QStringLiteral("Draft"));
    QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);
    QCOMPARE(testStore().taskCount(), qint16(2));
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("Dentist"));
    QCOMPARE(testStore().tasks()[1].title, QStringLiteral("Report"));
    QCOMPARE(StoreSandbox::read(), storeBytes({kDentist, kReport}, kRule));
}

void TestFrmTask::escapeActsAsCancel()
{
    openOn(1);
    QSignalSpy reloaded(&testStore(), &Module1::TaskStore::changed);
    retype(box("txtTitle"), QStringLiteral("Changed"));
    QTest::keyClick(box("txtTitle"), Qt::Key_Escape);
    QVERIFY(!dlg->isVisible());
    QCOMPARE(dlg->selected(), -1);
    QCOMPARE(reloaded.count(), 0); // nothing to read again: the store was never touched
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("Dentist"));
}

void TestFrmTask::closeButtonActsAsCancel()
{
    openOn(1);
    QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
    QSignalSpy reloaded(&testStore(), &Module1::TaskStore::changed);
    retype(box("txtTitle"), QStringLiteral("Changed"));
    // What the window system sends when its close button is pressed.
    QCloseEvent close;
    QCoreApplication::sendEvent(dlg->windowHandle(), &close);
    QVERIFY(!dlg->isVisible());
    QCOMPARE(dlg->selected(), -1);
    QCOMPARE(reloaded.count(), 0); // nothing to read again: the store was never touched
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("Dentist"));
    // The half-edited title must not reach the file with the next save.
    QVERIFY(testStore().saveTasks().ok);
    QCOMPARE(StoreSandbox::read(), storeBytes({kDentist, kReport}, kRule));

    // Closed through the program rather than the window system: the same.
    openOn(2);
    retype(box("txtTitle"), QStringLiteral("Changed too"));
    QVERIFY(dlg->close());
    QCOMPARE(reloaded.count(), 0);
    QCOMPARE(testStore().tasks()[1].title, QStringLiteral("Report"));
}

void TestFrmTask::enterInASingleLineBoxPressesNothing()
{
    openOn(1);
    QSignalSpy reloaded(&testStore(), &Module1::TaskStore::changed);
    for (const char *name : {"txtTitle", "txtFor", "txtDay", "txtYear", "txtSecond"}) {
        retype(box(name), QStringLiteral("5"));
        QTest::keyClick(box(name), Qt::Key_Return);
        QTest::keyClick(box(name), Qt::Key_Enter, Qt::KeypadModifier);
    }
    QVERIFY(dlg->isVisible());
    QCOMPARE(reloaded.count(), 0);
    QCOMPARE(dlg->selected(), 1);
    QCOMPARE(dlg->record().title, QStringLiteral("5"));
    QCOMPARE(StoreSandbox::read(), storeBytes({kDentist, kReport}, kRule));
}

void TestFrmTask::repeatShowsWhatIsStored_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("count");
    QTest::newRow("none") << "" << "Never" << "1";
    QTest::newRow("every other week") << "2w" << "Every week" << "2";
    QTest::newRow("monthly on the 31st") << "1m@31" << "Every month" << "1";
    QTest::newRow("every 3 years") << "3y@7" << "Every year" << "3";
    QTest::newRow("daily") << "1d" << "Every day" << "1";
    QTest::newRow("one it cannot read") << "often" << "Never" << "1";
}

void TestFrmTask::repeatShowsWhatIsStored()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(QString, count);
    TestData::editTask(0, [&](Module1::Task &edited) { edited.repeatText = stored; });
    openOn(1);
    QCOMPARE(child<QComboBox>("lstRepeat")->currentText(), shown);
    QCOMPARE(box("txtRepeatCount")->text(), count);
    QCOMPARE(box("txtRepeatCount")->isEnabled(), shown != QLatin1String("Never"));
    // Showing it changes nothing.
    QCOMPARE(dlg->record().repeatText, stored);
    QCOMPARE(testStore().tasks()[0].repeatText, stored);
}

void TestFrmTask::repeatChoiceIsWrittenIntoTheRecord()
{
    openOn(1);
    QComboBox *repeat = child<QComboBox>("lstRepeat");
    repeat->setCurrentIndex(2); // Every week
    QCOMPARE(dlg->record().repeatText, QStringLiteral("1w"));
    QVERIFY(box("txtRepeatCount")->isEnabled());
    retype(box("txtRepeatCount"), QStringLiteral("2"));
    QCOMPARE(dlg->record().repeatText, QStringLiteral("2w"));
    retype(box("txtRepeatCount"), QStringLiteral("0"));
    QCOMPARE(dlg->record().repeatText, QStringLiteral("1w")); // at least one apart
    retype(box("txtRepeatCount"), QStringLiteral("3"));
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    QVERIFY(StoreSandbox::read().contains("des=Bring|~card\r\nrep=3w\r\nact=addtask"));
    openOn(1);
    child<QComboBox>("lstRepeat")->setCurrentIndex(0);
    QVERIFY(dlg->record().repeatText.isEmpty());
    QVERIFY(!box("txtRepeatCount")->isEnabled());
}

void TestFrmTask::monthlyRepeatFollowsTheDueDay()
{
    // Dentist is due on 7 March 2003.
    openOn(1);
    child<QComboBox>("lstRepeat")->setCurrentIndex(3); // Every month
    QCOMPARE(dlg->record().repeatText, QStringLiteral("1m@7"));
    retype(box("txtDay"), QStringLiteral("31"));
    QCOMPARE(dlg->record().repeatText, QStringLiteral("1m@31"));
    // A day that rolls over belongs to the day it rolls to (31 April is 1 May).
    child<QComboBox>("lstMonth")->setCurrentIndex(3);
    QCOMPARE(dlg->record().repeatText, QStringLiteral("1m@1"));
    // Only a new date moves the day: a task on the 31st that fell on the
    // 28th keeps the 31st when its count changes.
    TestData::editTask(0, [&](Module1::Task &edited) { edited.repeatText = QStringLiteral("1m@31"); });
    TestData::editTask(0, [&](Module1::Task &edited) { edited.day = 28; });
    TestData::editTask(0, [&](Module1::Task &edited) { edited.month = 2; });
    openOn(1);
    retype(box("txtRepeatCount"), QStringLiteral("2"));
    QCOMPARE(dlg->record().repeatText, QStringLiteral("2m@31"));
    child<QComboBox>("lstRepeat")->setCurrentIndex(4); // Every year
    QCOMPARE(dlg->record().repeatText, QStringLiteral("2y@31"));
    // A weekly task has no day to follow.
    child<QComboBox>("lstRepeat")->setCurrentIndex(2);
    retype(box("txtDay"), QStringLiteral("9"));
    QCOMPARE(dlg->record().repeatText, QStringLiteral("2w"));
}

void TestFrmTask::unreadableRepeatIsKeptUntilChanged()
{
    TestData::editTask(0, [&](Module1::Task &edited) { edited.repeatText = QStringLiteral("often"); });
    QVERIFY(testStore().saveTasks().ok);
    openOn(1);
    retype(box("txtTitle"), QStringLiteral("Dentist, again"));
    retype(box("txtDay"), QStringLiteral("8"));
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    QVERIFY(StoreSandbox::read().contains("rep=often\r\n"));
    // Choosing a repetition replaces it.
    openOn(1); // still the first by due date
    child<QComboBox>("lstRepeat")->setCurrentIndex(1);
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    QVERIFY(!StoreSandbox::read().contains("rep=often"));
    QVERIFY(StoreSandbox::read().contains("rep=1d\r\n"));
}

void TestFrmTask::enterOnAFocusedButtonPressesIt_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::newRow("Return on Ok") << "Command1" << int(Qt::Key_Return) << int(QDialog::Accepted);
    QTest::newRow("keypad Enter on Ok") << "Command1" << int(Qt::Key_Enter) << int(QDialog::Accepted);
    QTest::newRow("Return on Cancel") << "Command2" << int(Qt::Key_Return) << int(QDialog::Rejected);
}

void TestFrmTask::enterOnAFocusedButtonPressesIt()
{
    QFETCH(QString, button);
    QFETCH(int, key);
    QFETCH(int, result);
    openOn(1);
    retype(box("txtTitle"), QStringLiteral("Typed"));
    QPushButton *pressed = child<QPushButton>(qPrintable(button));
    pressed->setFocus();
    QTest::keyClick(pressed, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QVERIFY(!dlg->isVisible());
    QCOMPARE(dlg->result(), result);
    QCOMPARE(testStore().tasks()[0].title, result == QDialog::Accepted ? QStringLiteral("Typed") : QStringLiteral("Dentist"));
}

void TestFrmTask::failedSaveKeepsTheDialogAndTheEdit()
{
    StoredTask big = kDentist;
    big.description = QByteArray(4096, 'x');
    StoreSandbox::write(storeBytes({big, kReport}, kRule));
    testStore().loadTasks();
    const QByteArray before = StoreSandbox::read();
    openOn(1);
    QSignalSpy reloaded(&testStore(), &Module1::TaskStore::changed);
    retype(box("txtTitle"), QStringLiteral("Kept"));
    {
        FileSizeLimit full(1024);
        QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    }
    QVERIFY(dlg->isVisible());
    QCOMPARE(reloaded.count(), 0);
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(seam->messages[0].kind, Modal::Kind::Warning);
    QVERIFY2(seam->messages[0].text.startsWith(QStringLiteral("Could not save tasks.txt: ")),
             qPrintable(seam->messages[0].text));
    QCOMPARE(dlg->record().title, QStringLiteral("Kept"));
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("Dentist")); // the store as it was
    QCOMPARE(StoreSandbox::read(), before);

    // Room again: Ok now saves what was typed before the failure.
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    QVERIFY(!dlg->isVisible());
    QCOMPARE(reloaded.count(), 1);
    big.title = "Kept";
    QCOMPARE(StoreSandbox::read(), storeBytes({big, kReport}, kRule));
}

void TestFrmTask::refusedSaveOfAnUnreadableStoreKeepsTheDialog()
{
    QFile::remove(kStoreFileName);
    QVERIFY(QDir().mkdir(kStoreFileName));
    QVERIFY(testStore().loadTasks().unreadable);
    dlg->prepareNew();
    seam->exec(dlg.get());
    retype(box("txtTitle"), QStringLiteral("Typed"));
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    QVERIFY(dlg->isVisible());
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(seam->messages[0].kind, Modal::Kind::Warning);
    QCOMPARE(dlg->record().title, QStringLiteral("Typed"));
    QCOMPARE(testStore().taskCount(), 0);
    QVERIFY(QFileInfo(kStoreFileName).isDir());
}

void TestFrmTask::reloadPutsTheTableBackInListOrder_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("Ok") << true;
    QTest::newRow("Cancel") << false;
}

void TestFrmTask::reloadPutsTheTableBackInListOrder()
{
    QFETCH(bool, ok);
    // In the file by due date; on screen by title.
    const StoredTask zebra{"Zebra", "", 1, 1, 2001, 0, 0, 0, ""};
    const StoredTask apple{"apple", "", 1, 1, 2002, 0, 0, 0, ""};
    StoreSandbox::write(storeBytes({zebra, apple}));
    testStore().loadTasks();
    testStore().setSortMode(0);
    testStore().sortTasks();
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("apple"));
    openOn(1);
    QTest::mouseClick(child<QPushButton>(ok ? "Command1" : "Command2"), Qt::LeftButton);
    QVERIFY(!dlg->isVisible());
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("apple"));
    QCOMPARE(testStore().tasks()[1].title, QStringLiteral("Zebra"));
}

void TestFrmTask::buttonsEndTheRealModalLoop_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("result");
    QTest::newRow("Ok") << "Command1" << int(QDialog::Accepted);
    QTest::newRow("Cancel") << "Command2" << int(QDialog::Rejected);
}

void TestFrmTask::buttonsEndTheRealModalLoop()
{
    QFETCH(QString, button);
    QFETCH(int, result);
    // The program's own seam runs QDialog::exec; hiding must end that loop.
    dlg->prepare(1);
    const int returned = DialogKit::pressInRealModalLoop(dlg.get(), child<QPushButton>(qPrintable(button)), seam.get());
    QCOMPARE(returned, result);
    QVERIFY(!dlg->isVisible());
}

QTEST_MAIN(TestFrmTask)
#include "test_frmtask.moc"
