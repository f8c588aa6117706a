// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmalerts.h"

#include "modal.h"
#include "module1.h"
#include "storesandbox.h"
#include "dialogkit.h"
#include "fakeseam.h"
#include "twips.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QWindow>

#include <memory>

using namespace Qt::StringLiterals;
using namespace Module1;
using TestData::ruleBytes;
using TestData::StoredTask;
using TestData::storeBytes;

namespace {

const StoredTask kTask{"Dentist", "Me", 7, 3, 2003, 9, 5, 0, ""};
const QByteArray kRed = ruleBytes(3, "d", 255, true);
const QByteArray kGreen = ruleBytes(7, "d", 65280, false);
const QByteArray kBlue = ruleBytes(14, "w", 16711680, true);

} // namespace

class TestFrmAlerts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void dialogIsAFixedModalDialogWithItsCaption();
    void controlsSitAtTheirRectangles_data();
    void controlsSitAtTheirRectangles();
    void sentenceLabelsSitInTheFrame_data();
    void sentenceLabelsSitInTheFrame();
    void tabOrderFollowsTheForm();
    void captionsFitTheirControls();
    void frameCaptionLeavesRoomForTheNumberRow();
    void sentenceLabelsFitWithALargerFont();

    void drawAlertShowsTheRuleAndChangesNothing_data();
    void drawAlertShowsTheRuleAndChangesNothing();
    void drawAlertOutsideTheTableDoesNothing_data();
    void drawAlertOutsideTheTableDoesNothing();
    void openingWithNoRulesShowsRuleOne();
    void backAndNextStopAtTheEnds();
    void deletingRuleTwoOfThreeShowsTheFormerThird();
    void deletingTheLastRuleShowsRuleOne();
    void deletingTheOnlyRuleKeepsIt();
    void newShowsAFreshRule();
    void newRefusesTheHundredAndSecondRule();
    void intervalReadsTheLeadingNumber_data();
    void intervalReadsTheLeadingNumber();
    void intervalSelectsAllOnFocus();
    void ruleNumberSwallowsTyping();
    void checkBoxSetsPopupOfTheRuleShown();
    void closedChooserKeepsTheColour();
    void chosenColourIsStoredInTheRuleShown();

    void okWritesTheStoreAndDoesNotReload();
    void enterPressesOk();
    void cancelThrowsTheCopyAway_data();
    void cancelThrowsTheCopyAway();
    void failedSaveKeepsTheDialogAndTheRules();

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
    QPushButton *button(const char *name) const { return child<QPushButton>(name); }
    QString shownNumber() const { return child<QLineEdit>("lblID")->text(); }
    QString shownInterval() const { return child<QLineEdit>("txtInterval")->text(); }
    QColor shownColour() const { return child<QFrame>("pctColor")->palette().color(QPalette::Window); }
    bool shownChecked() const { return child<QCheckBox>("chkAlert")->isChecked(); }
    void click(const char *name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    // Opens the dialog the way "Colors And Alerts" does.
    void open()
    {
        dlg->prepare();
        dlg->drawAlert(0);
        seam->exec(dlg.get());
        QVERIFY(dlg->isVisible());
    }

    std::unique_ptr<StoreSandbox> sandbox;
    std::unique_ptr<FakeSeam> seam;
    std::unique_ptr<FrmAlerts> dlg;
};

void TestFrmAlerts::initTestCase()
{
    DialogKit::applyProgramLook();
}

void TestFrmAlerts::init()
{
    sandbox = std::make_unique<StoreSandbox>();
    seam = std::make_unique<FakeSeam>();
    StoreSandbox::write(storeBytes({kTask}, kRed + kGreen + kBlue));
    testStore().loadTasks();
    testStore().setSortMode(2);
    testStore().sortTasks();
    dlg = std::make_unique<FrmAlerts>(Context{testStore(), *seam});
}

void TestFrmAlerts::cleanup()
{
    dlg.reset();
    seam.reset();
    sandbox.reset();
}

void TestFrmAlerts::dialogIsAFixedModalDialogWithItsCaption()
{
    QCOMPARE(dlg->objectName(), QStringLiteral("frmAlerts"));
    QCOMPARE(dlg->windowTitle(), QStringLiteral("Colors & Alerts"));
    QVERIFY(dlg->isModal());
    const QSize client(Twips::toPixels(3585), Twips::toPixels(2595));
    QCOMPARE(dlg->minimumSize(), client);
    QCOMPARE(dlg->maximumSize(), client);
    const Qt::WindowFlags flags = dlg->windowFlags();
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
    QCOMPARE(child<QGroupBox>("Frame1")->title(), QStringLiteral("Rule #") + QString(41, QLatin1Char(' ')));
    QCOMPARE(button("cmdBack")->text(), QStringLiteral("<"));
    QCOMPARE(button("cmdNext")->text(), QStringLiteral(">"));
    QCOMPARE(button("cmdNew")->text(), QStringLiteral("&New"));
    QCOMPARE(button("cmdSelect")->text(), QStringLiteral("&Select..."));
    QCOMPARE(button("cmdDelete")->text(), QStringLiteral("&Delete"));
    QCOMPARE(button("cmdOk")->text(), QStringLiteral("&Ok"));
    QCOMPARE(button("cmdCancel")->text(), QStringLiteral("&Cancel"));
    QVERIFY(button("cmdOk")->isDefault());
    QVERIFY(!button("cmdCancel")->isDefault());
    QCOMPARE(child<QCheckBox>("chkAlert")->text(), QString());
    QCOMPARE(child<QLineEdit>("txtInterval")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QLineEdit *id = child<QLineEdit>("lblID");
    QCOMPARE(id->palette().color(QPalette::Base), id->palette().color(QPalette::Button));
    QVERIFY(child<QFrame>("pctColor")->autoFillBackground());
}

void TestFrmAlerts::controlsSitAtTheirRectangles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("Frame1") << "Frame1" << "frmAlerts" << QRect(120, 120, 3375, 2055);
    QTest::newRow("cmdBack") << "cmdBack" << "frmAlerts" << QRect(840, 120, 375, 255);
    QTest::newRow("lblID") << "lblID" << "frmAlerts" << QRect(1200, 120, 495, 285);
    QTest::newRow("cmdNext") << "cmdNext" << "frmAlerts" << QRect(1680, 120, 375, 255);
    QTest::newRow("cmdNew") << "cmdNew" << "frmAlerts" << QRect(2040, 120, 495, 255);
    QTest::newRow("txtInterval") << "txtInterval" << "Frame1" << QRect(1560, 360, 615, 285);
    QTest::newRow("pctColor") << "pctColor" << "Frame1" << QRect(1560, 840, 615, 255);
    QTest::newRow("cmdSelect") << "cmdSelect" << "Frame1" << QRect(2280, 840, 855, 255);
    QTest::newRow("chkAlert") << "chkAlert" << "Frame1" << QRect(1920, 1320, 255, 255);
    QTest::newRow("cmdDelete") << "cmdDelete" << "Frame1" << QRect(2280, 1680, 855, 255);
    QTest::newRow("cmdOk") << "cmdOk" << "frmAlerts" << QRect(2760, 2280, 735, 255);
    QTest::newRow("cmdCancel") << "cmdCancel" << "frmAlerts" << QRect(1920, 2280, 735, 255);
}

void TestFrmAlerts::controlsSitAtTheirRectangles()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, twips);
    auto *w = dlg->findChild<QWidget *>(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(w->parentWidget()->objectName(), parent);
    QCOMPARE(w->geometry(), Twips::toPixels(Twips::Rect{double(twips.x()), double(twips.y()),
                                                        double(twips.width()), double(twips.height())}));
}

void TestFrmAlerts::sentenceLabelsSitInTheFrame_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QPoint>("twips");
    QTest::newRow("due in") << "If project is due in:" << QPoint(120, 360);
    QTest::newRow("days") << "days or less," << QPoint(2280, 360);
    QTest::newRow("colour") << "Change color to:" << QPoint(120, 840);
    QTest::newRow("popup") << "Popup at Startup?" << QPoint(120, 1320);
    QTest::newRow("yes") << "yes" << QPoint(2280, 1320);
}

void TestFrmAlerts::sentenceLabelsSitInTheFrame()
{
    QFETCH(QString, text);
    QFETCH(QPoint, twips);
    QLabel *found = nullptr;
    const auto labels = child<QGroupBox>("Frame1")->findChildren<QLabel *>();
    for (QLabel *l : labels) {
        if (l->text() == text)
            found = l;
    }
    QVERIFY2(found, qPrintable(text));
    QCOMPARE(found->pos(), QPoint(Twips::toPixels(twips.x()), Twips::toPixels(twips.y())));
}

void TestFrmAlerts::tabOrderFollowsTheForm()
{
    open();
    dlg->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    button("cmdBack")->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), button("cmdBack"));
    QStringList visited;
    for (int i = 0; i < 10; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, (QStringList{u"cmdNext"_s, u"cmdNew"_s, u"txtInterval"_s, u"cmdSelect"_s, u"chkAlert"_s, u"cmdDelete"_s, u"cmdOk"_s,
                                   u"cmdCancel"_s, u"lblID"_s, u"cmdBack"_s}));
}

void TestFrmAlerts::captionsFitTheirControls()
{
    open();
    DialogKit::savePicture(dlg.get(), QStringLiteral("frmAlerts"));
    const QStringList clipped = DialogKit::clippedCaptions(dlg.get());
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1String(", "))));
}

void TestFrmAlerts::sentenceLabelsFitWithALargerFont()
{
    // A desktop with a larger font: the sentence labels narrow or wrap rather
    // than run under the boxes beside them.
    const QFont programFont = QApplication::font();
    QFont large = programFont;
    large.setPointSize(10);
    QApplication::setFont(large);
    FrmAlerts big(Context{testStore(), *seam});
    DialogKit::savePicture(&big, QStringLiteral("frmAlertsLargeFont"));
    QApplication::setFont(programFont);
    QStringList clippedLabels;
    const QStringList clipped = DialogKit::clippedCaptions(&big);
    for (const QString &line : clipped) {
        if (line.startsWith(QLatin1String("label:")))
            clippedLabels << line;
    }
    QVERIFY2(clippedLabels.isEmpty(), qPrintable(clippedLabels.join(QLatin1String(", "))));
    // No label reaches into the row below it.
    const auto labels = big.findChild<QGroupBox *>(QStringLiteral("Frame1"))->findChildren<QLabel *>();
    for (QLabel *label : labels) {
        const int below = label->y() < Twips::toPixels(840) ? Twips::toPixels(840) : Twips::toPixels(1320);
        if (label->y() < Twips::toPixels(1320))
            QVERIFY2(label->geometry().bottom() < below, qPrintable(label->text()));
    }
}

void TestFrmAlerts::frameCaptionLeavesRoomForTheNumberRow()
{
    open();
    auto *frame = child<QGroupBox>("Frame1");
    QStyleOptionGroupBox option;
    option.initFrom(frame);
    option.text = frame->title();
    option.textAlignment = frame->alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    option.lineWidth = 1;
    const QRect label = frame->style()
                            ->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame)
                            .translated(frame->pos());
    const int ruleEnd = label.left() + frame->fontMetrics().horizontalAdvance(QStringLiteral("Rule #"));
    // "Rule #" is readable left of "<" ...
    QVERIFY2(ruleEnd <= button("cmdBack")->x(), qPrintable(QStringLiteral("%1 > %2").arg(ruleEnd).arg(button("cmdBack")->x())));
    // ... and the blanks carry the caption under the whole row, so no border
    // line shows between the buttons.
    QVERIFY2(label.right() >= button("cmdNew")->geometry().right(),
             qPrintable(QStringLiteral("%1 < %2").arg(label.right()).arg(button("cmdNew")->geometry().right())));
}

void TestFrmAlerts::drawAlertShowsTheRuleAndChangesNothing_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("interval");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<bool>("checked");
    QTest::newRow("rule 1") << 0 << "3" << QColor(255, 0, 0) << true;
    QTest::newRow("rule 2") << 1 << "7" << QColor(0, 255, 0) << false;
    QTest::newRow("rule 3") << 2 << "14" << QColor(0, 0, 255) << true;
}

void TestFrmAlerts::drawAlertShowsTheRuleAndChangesNothing()
{
    QFETCH(int, slot);
    QFETCH(QString, interval);
    QFETCH(QColor, colour);
    QFETCH(bool, checked);
    const QByteArray before = testStore().storeText();
    dlg->prepare();
    // From a different rule each time, so every control really changes.
    dlg->drawAlert(slot == 1 ? 2 : 1);
    dlg->drawAlert(slot);
    QCOMPARE(shownNumber(), QString::number(slot + 1));
    QCOMPARE(shownInterval(), interval);
    QCOMPARE(shownColour(), colour);
    QCOMPARE(shownChecked(), checked);
    QCOMPARE(testStore().storeText(), before);
    QCOMPARE(int(dlg->rulesShown().size()), 3);
}

void TestFrmAlerts::drawAlertOutsideTheTableDoesNothing_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("negative") << -1;
    QTest::newRow("one past the table") << 101;
}

void TestFrmAlerts::drawAlertOutsideTheTableDoesNothing()
{
    QFETCH(int, index);
    open();
    dlg->drawAlert(index);
    QCOMPARE(shownNumber(), QStringLiteral("1"));
    QCOMPARE(shownInterval(), QStringLiteral("3"));
    QCOMPARE(int(dlg->rulesShown().size()), int(3));
}

void TestFrmAlerts::openingWithNoRulesShowsRuleOne()
{
    // A store without a rule.
    StoreSandbox::write(storeBytes({kTask}));
    testStore().loadTasks();
    QCOMPARE(testStore().ruleCount(), 0);
    open();
    QCOMPARE(int(dlg->rulesShown().size()), int(1));
    QCOMPARE(shownNumber(), QStringLiteral("1"));
    QCOMPARE(shownInterval(), QStringLiteral("0"));
    QCOMPARE(shownColour(), QColor(Qt::black));
    QVERIFY(!shownChecked());
    click("cmdNext");
    QCOMPARE(shownNumber(), QStringLiteral("1"));
    click("cmdOk");
    // A never-used slot has no unit.
    QCOMPARE(StoreSandbox::read(), storeBytes({kTask}, ruleBytes(0, "", 0, false)));
}

void TestFrmAlerts::backAndNextStopAtTheEnds()
{
    open();
    click("cmdBack");
    QCOMPARE(shownNumber(), QStringLiteral("1"));
    click("cmdNext");
    QCOMPARE(shownNumber(), QStringLiteral("2"));
    QCOMPARE(shownInterval(), QStringLiteral("7"));
    click("cmdNext");
    QCOMPARE(shownNumber(), QStringLiteral("3"));
    click("cmdNext");
    QCOMPARE(shownNumber(), QStringLiteral("3"));
    QCOMPARE(shownInterval(), QStringLiteral("14"));
    click("cmdBack");
    QCOMPARE(shownNumber(), QStringLiteral("2"));
    QCOMPARE(shownColour(), QColor(0, 255, 0));
    QCOMPARE(int(dlg->rulesShown().size()), int(3));
    QCOMPARE(testStore().storeText(), storeBytes({kTask}, kRed + kGreen + kBlue));
}

void TestFrmAlerts::deletingRuleTwoOfThreeShowsTheFormerThird()
{
    open();
    click("cmdNext");
    click("cmdDelete");
    QCOMPARE(int(dlg->rulesShown().size()), int(2));
    QCOMPARE(shownNumber(), QStringLiteral("2"));
    QCOMPARE(shownInterval(), QStringLiteral("14"));
    QCOMPARE(shownColour(), QColor(0, 0, 255));
    QVERIFY(shownChecked());
    click("cmdOk");
    QCOMPARE(StoreSandbox::read(), storeBytes({kTask}, kRed + kBlue));
}

void TestFrmAlerts::deletingTheLastRuleShowsRuleOne()
{
    open();
    click("cmdNext");
    click("cmdNext");
    click("cmdDelete");
    QCOMPARE(int(dlg->rulesShown().size()), int(2));
    QCOMPARE(shownNumber(), QStringLiteral("1"));
    QCOMPARE(shownInterval(), QStringLiteral("3"));
    // The store keeps all three until Ok.
    QCOMPARE(testStore().ruleCount(), 3);
}

void TestFrmAlerts::deletingTheOnlyRuleKeepsIt()
{
    StoreSandbox::write(storeBytes({kTask}, kGreen));
    testStore().loadTasks();
    open();
    click("cmdDelete");
    QCOMPARE(int(dlg->rulesShown().size()), int(1));
    QCOMPARE(shownNumber(), QStringLiteral("1"));
    QCOMPARE(shownInterval(), QStringLiteral("7"));
    QCOMPARE(shownColour(), QColor(0, 255, 0));
    click("cmdOk");
    QCOMPARE(StoreSandbox::read(), storeBytes({kTask}, kGreen));
}

void TestFrmAlerts::newShowsAFreshRule()
{
    open();
    click("cmdNew");
    QCOMPARE(int(dlg->rulesShown().size()), int(4));
    QCOMPARE(shownNumber(), QStringLiteral("4"));
    QCOMPARE(shownInterval(), QStringLiteral("0"));
    QCOMPARE(shownColour(), QColor(Qt::black));
    QVERIFY(!shownChecked());
    click("cmdBack");
    QCOMPARE(shownNumber(), QStringLiteral("3"));
    click("cmdOk");
    QCOMPARE(StoreSandbox::read(), storeBytes({kTask}, kRed + kGreen + kBlue + ruleBytes(0, "d", 0, false)));
}

void TestFrmAlerts::newRefusesTheHundredAndSecondRule()
{
    QByteArray many;
    for (int i = 0; i < kRuleSlots; ++i)
        many += ruleBytes(i, "d", i, false);
    StoreSandbox::write(storeBytes({kTask}, many));
    testStore().loadTasks();
    QCOMPARE(testStore().ruleCount(), kRuleSlots);
    open();
    click("cmdNext");
    const QByteArray before = testStore().storeText();
    click("cmdNew");
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(seam->messages[0].kind, Modal::Kind::Information);
    QCOMPARE(seam->messages[0].text, QStringLiteral("The rule list is full (101 rules)."));
    QCOMPARE(int(dlg->rulesShown().size()), int(kRuleSlots));
    QCOMPARE(shownNumber(), QStringLiteral("2"));
    QCOMPARE(testStore().storeText(), before);
    // The last rule can still be reached, and ">" stops there.
    for (int i = 0; i < kRuleSlots + 2; ++i)
        click("cmdNext");
    QCOMPARE(shownNumber(), QStringLiteral("101"));
    QCOMPARE(shownInterval(), QStringLiteral("100"));
}

void TestFrmAlerts::intervalReadsTheLeadingNumber_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored");
    QTest::newRow("7 days") << "7 days" << 7;
    QTest::newRow("two and a half") << "2.5" << 2;
    QTest::newRow("three and a half") << "3.5" << 4;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("words only") << "soon" << 0;
    QTest::newRow("negative") << "-5" << -5;
    QTest::newRow("too large") << "99999" << 32767;
    QTest::newRow("too small") << "-40000" << -32768;
}

void TestFrmAlerts::intervalReadsTheLeadingNumber()
{
    QFETCH(QString, typed);
    QFETCH(int, stored);
    open();
    click("cmdNext");
    QLineEdit *box = child<QLineEdit>("txtInterval");
    box->selectAll();
    if (typed.isEmpty())
        QTest::keyClick(box, Qt::Key_Backspace);
    else
        QTest::keyClicks(box, typed);
    QCOMPARE(box->text(), typed);
    QCOMPARE(int(dlg->rulesShown()[1].interval), stored);
    QCOMPARE(dlg->rulesShown()[0].interval, qint16(3));
    QCOMPARE(dlg->rulesShown()[2].interval, qint16(14));
}

void TestFrmAlerts::intervalSelectsAllOnFocus()
{
    open();
    dlg->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    QLineEdit *box = child<QLineEdit>("txtInterval");
    box->setText(QStringLiteral("123"));
    box->deselect();
    // By mouse: the click would put the cursor in; the text ends up selected.
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() / 2, box->height() / 2));
    QCOMPARE(QApplication::focusWidget(), box);
    QTRY_COMPARE(box->selectedText(), QStringLiteral("123"));
    // By Tab from the button before it.
    box->deselect();
    button("cmdNew")->setFocus();
    QTest::keyClick(button("cmdNew"), Qt::Key_Tab);
    QTRY_COMPARE(box->selectedText(), QStringLiteral("123"));
}

void TestFrmAlerts::ruleNumberSwallowsTyping()
{
    open();
    click("cmdNext");
    QLineEdit *id = child<QLineEdit>("lblID");
    QTest::keyClicks(id, QStringLiteral("9x"));
    QTest::keyClick(id, Qt::Key_Backspace);
    QTest::keyClick(id, Qt::Key_Delete);
    QCOMPARE(id->text(), QStringLiteral("2"));
    // The handlers still write into rule 2.
    QTest::keyClicks(child<QLineEdit>("txtInterval"), QStringLiteral("1"));
    QCOMPARE(dlg->rulesShown()[1].interval, qint16(71));
}

void TestFrmAlerts::checkBoxSetsPopupOfTheRuleShown()
{
    open();
    click("cmdNext");
    QCheckBox *box = child<QCheckBox>("chkAlert");
    QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
    QVERIFY(box->isChecked());
    QCOMPARE(dlg->rulesShown()[1].popup, true);
    QTest::keyClick(box, Qt::Key_Space);
    QCOMPARE(dlg->rulesShown()[1].popup, false);
    QCOMPARE(dlg->rulesShown()[0].popup, true);
    QCOMPARE(dlg->rulesShown()[2].popup, true);
}

void TestFrmAlerts::closedChooserKeepsTheColour()
{
    open();
    click("cmdNext");
    seam->colorToChoose.reset();
    click("cmdSelect");
    QCOMPARE(seam->chooserOpenedWith, QList<QColor>{QColor(0, 255, 0)});
    QCOMPARE(dlg->rulesShown()[1].color, 65280);
    QCOMPARE(shownColour(), QColor(0, 255, 0));
}

void TestFrmAlerts::chosenColourIsStoredInTheRuleShown()
{
    open();
    click("cmdNext");
    click("cmdNext");
    seam->colorToChoose = QColor(1, 2, 3);
    click("cmdSelect");
    QCOMPARE(seam->chooserOpenedWith, QList<QColor>{QColor(0, 0, 255)});
    QCOMPARE(dlg->rulesShown()[2].color, 1 + 256 * 2 + 65536 * 3);
    QCOMPARE(shownColour(), QColor(1, 2, 3));
    QCOMPARE(dlg->rulesShown()[1].color, 65280);
    // The next opening of the chooser starts from the colour just chosen.
    seam->colorToChoose.reset();
    click("cmdSelect");
    QCOMPARE(seam->chooserOpenedWith.last(), QColor(1, 2, 3));
    QCOMPARE(dlg->rulesShown()[2].color, 1 + 256 * 2 + 65536 * 3);
}

void TestFrmAlerts::okWritesTheStoreAndDoesNotReload()
{
    // A store with a line the reader complains about: a reload would forget it.
    QByteArray bytes = storeBytes({kTask}, kRed + kGreen + kBlue);
    bytes.insert(bytes.indexOf("[Alerts]"), "ab\r\n");
    StoreSandbox::write(bytes);
    QCOMPARE(testStore().loadTasks().problems.size(), 1);
    open();
    QSignalSpy changed(&testStore(), &Module1::TaskStore::changed);
    bool hiddenWhenSignalled = false;
    // A listener that ends with this test: the notifier outlives it.
    QObject listener;
    connect(&testStore(), &Module1::TaskStore::changed, &listener, [&] { hiddenWhenSignalled = !dlg->isVisible(); });
    child<QLineEdit>("txtInterval")->setText(QStringLiteral("5"));
    click("cmdNext");
    seam->colorToChoose = QColor(0x10, 0x20, 0x30);
    click("cmdSelect");
    click("cmdNext");
    QTest::mouseClick(child<QCheckBox>("chkAlert"), Qt::LeftButton, {}, QPoint(5, 5));
    click("cmdOk");
    QVERIFY(!dlg->isVisible());
    QCOMPARE(dlg->result(), int(QDialog::Accepted));
    // Announced once; not reloaded, or the problem below would be forgotten.
    QCOMPARE(changed.count(), 1);
    QVERIFY(hiddenWhenSignalled);
    QCOMPARE(StoreSandbox::read(), storeBytes({kTask}, ruleBytes(5, "d", 255, true)
                                                          + ruleBytes(7, "d", 0x10 + 256 * 0x20 + 65536 * 0x30, false)
                                                          + ruleBytes(14, "w", 16711680, false)));
    QCOMPARE(testStore().lastLoadReport().problems.size(), 1);
    // The file the reader complained about is kept before it is replaced,
    // and the user is told where.
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(seam->messages[0].kind, Modal::Kind::Information);
    QVERIFY2(seam->messages[0].text.contains(QStringLiteral("tasks.txt.bak")), qPrintable(seam->messages[0].text));
    QCOMPARE(StoreSandbox::read(QStringLiteral("tasks.txt.bak")), bytes);
}

void TestFrmAlerts::enterPressesOk()
{
    open();
    QSignalSpy changed(&testStore(), &Module1::TaskStore::changed);
    QLineEdit *box = child<QLineEdit>("txtInterval");
    box->setText(QStringLiteral("9"));
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(!dlg->isVisible());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(StoreSandbox::read(), storeBytes({kTask}, ruleBytes(9, "d", 255, true) + kGreen + kBlue));
}

void TestFrmAlerts::cancelThrowsTheCopyAway_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel button") << "button";
    QTest::newRow("Esc") << "escape";
    QTest::newRow("close button") << "close";
}

void TestFrmAlerts::cancelThrowsTheCopyAway()
{
    QFETCH(QString, how);
    const StoredTask later{"apple", "", 1, 1, 2009, 0, 0, 0, ""};
    StoreSandbox::write(storeBytes({later, kTask}, kRed + kGreen + kBlue));
    testStore().loadTasks();
    testStore().sortTasks(); // by due date: Dentist first
    const QByteArray file = StoreSandbox::read();
    const int loads = testStore().loadCount();
    open();
    QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
    QSignalSpy changed(&testStore(), &Module1::TaskStore::changed);
    child<QLineEdit>("txtInterval")->setText(QStringLiteral("55"));
    click("cmdNew");
    if (how == QLatin1String("button")) {
        click("cmdCancel");
    } else if (how == QLatin1String("escape")) {
        QTest::keyClick(child<QLineEdit>("txtInterval"), Qt::Key_Escape);
    } else {
        QCloseEvent close;
        QCoreApplication::sendEvent(dlg->windowHandle(), &close);
    }
    QVERIFY(!dlg->isVisible());
    QCOMPARE(dlg->result(), int(QDialog::Rejected));
    // Nothing to announce or read again: the store was never touched.
    QCOMPARE(changed.count(), 0);
    QCOMPARE(testStore().loadCount(), loads);
    QCOMPARE(testStore().ruleCount(), 3);
    QCOMPARE(testStore().rules()[0].interval, qint16(3));
    QCOMPARE(StoreSandbox::read(), file);
    QCOMPARE(testStore().tasks()[0].title, QStringLiteral("Dentist"));
    QCOMPARE(testStore().tasks()[1].title, QStringLiteral("apple"));
    // The next opening starts from the store's rules again.
    open();
    QCOMPARE(shownInterval(), QStringLiteral("3"));
    QCOMPARE(int(dlg->rulesShown().size()), 3);
}

void TestFrmAlerts::failedSaveKeepsTheDialogAndTheRules()
{
    StoredTask big = kTask;
    big.description = QByteArray(4096, 'x');
    StoreSandbox::write(storeBytes({big}, kRed + kGreen + kBlue));
    testStore().loadTasks();
    const QByteArray before = StoreSandbox::read();
    open();
    QSignalSpy changed(&testStore(), &Module1::TaskStore::changed);
    child<QLineEdit>("txtInterval")->setText(QStringLiteral("30"));
    {
        FileSizeLimit full(1024);
        click("cmdOk");
    }
    QVERIFY(dlg->isVisible());
    QCOMPARE(changed.count(), 0);
    QCOMPARE(seam->messages.size(), 1);
    QCOMPARE(seam->messages[0].kind, Modal::Kind::Warning);
    QVERIFY2(seam->messages[0].text.startsWith(QStringLiteral("Could not save tasks.txt: ")),
             qPrintable(seam->messages[0].text));
    QCOMPARE(dlg->rulesShown()[0].interval, qint16(30));
    QCOMPARE(testStore().rules()[0].interval, qint16(3)); // the store as it was
    QCOMPARE(StoreSandbox::read(), before);

    click("cmdOk");
    QVERIFY(!dlg->isVisible());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(StoreSandbox::read(), storeBytes({big}, ruleBytes(30, "d", 255, true) + kGreen + kBlue));
}

void TestFrmAlerts::buttonsEndTheRealModalLoop_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("result");
    QTest::newRow("Ok") << "cmdOk" << int(QDialog::Accepted);
    QTest::newRow("Cancel") << "cmdCancel" << int(QDialog::Rejected);
}

void TestFrmAlerts::buttonsEndTheRealModalLoop()
{
    QFETCH(QString, button);
    QFETCH(int, result);
    // The program's own seam runs QDialog::exec; hiding must end that loop.
    dlg->drawAlert(0);
    const int returned = DialogKit::pressInRealModalLoop(dlg.get(), child<QPushButton>(qPrintable(button)), seam.get());
    QCOMPARE(returned, result);
    QVERIFY(!dlg->isVisible());
}

QTEST_MAIN(TestFrmAlerts)
#include "test_frmalerts.moc"
