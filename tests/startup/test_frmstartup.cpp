// SPDX-License-Identifier: GPL-3.0-or-later
#include "storesandbox.h"
#include "appearance.h"
#include "frmmain.h"
#include "frmstartup.h"
#include "opening.h"
#include "program.h"
#include "fakeseam.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QRegularExpression>
#include <QTest>
#include <QTextFrame>
#include <QTextTable>
#include <QTextBlock>
#include <QFontDatabase>
#include <QTextBrowser>

#include <memory>

Q_DECLARE_METATYPE(Twips::Rect)

namespace Twips {
// Readable failures for rectangles in twips.
static char *toString(const Rect &r)
{
    return QTest::toString(QStringLiteral("(%1, %2, %3 x %4)").arg(r.left).arg(r.top).arg(r.width).arg(r.height));
}
} // namespace Twips

using TestData::dueIn;

class TestFrmStartup : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void controlsAndCaptions();
    void buttonsSitAtTheirTwipRectangles();
    void tabOrderIsExitThenShowAll();
    void windowRect_data();
    void windowRect();
    void browserRect_data();
    void browserRect();
    void windowIsTwoThirdsOfTheScreenCentred();
    void browserFillsTheWindowBelowTheButtons();
    void listedTaskShowsThePageFromItsFile();
    void endlessTitleStaysWholeOnThePageAndInTheFile();
    void aLongPageShowsItsStartAtOnceAndTheRestSoonAfter();
    void pageTextIsAtLeastTheDesktopsNormalSize();
    void nothingListedShowsNoWindow();
    void unwritablePageIsShownFromMemory();
    void showAllHidesTheAlertAndShowsTheTaskList();
    void exitEndsTheProgramWithStatusZero();
    void enterPressesTheFocusedButton();
    void loadProblemsAreShownOnceBeforeTheWindow();
    void loadProblemsAreShownEvenWhenNothingIsDue();
    void firstRunOpensTheTaskList();
    void existingStoreWithNothingDueOpensNothing();
    void showAllOptionSkipsTheAlert();
    void laterOpeningsFollowTheTablesAndTheFile();
    void aLinkToNowhereIsNoFirstRun();
    void screenshotRendersTheAlert();

private:
    static void writeStore(const QList<Module1::Task> &tasks, bool popupRule = true);

    std::unique_ptr<StoreSandbox> m_store;
    std::unique_ptr<RuntimeSandbox> m_runtime;
    std::unique_ptr<FakeSeam> m_seam;
    std::unique_ptr<FrmStartup> m_form;
};

void TestFrmStartup::initTestCase()
{
    Appearance::applyAppearance(*qApp);
}

void TestFrmStartup::init()
{
    m_store = std::make_unique<StoreSandbox>();
    m_runtime = std::make_unique<RuntimeSandbox>();
    m_seam = std::make_unique<FakeSeam>();
    m_form = std::make_unique<FrmStartup>(Context{testStore(), *m_seam});
}

void TestFrmStartup::cleanup()
{
    m_form.reset();
    m_seam.reset();
    m_runtime.reset();
    m_store.reset();
}

void TestFrmStartup::writeStore(const QList<Module1::Task> &tasks, bool popupRule)
{
    TestData::saveStore(tasks, {TestData::rule(7, 255, popupRule)});
}

void TestFrmStartup::controlsAndCaptions()
{
    QCOMPARE(m_form->objectName(), QStringLiteral("frmStartup"));
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Quorvi Alert!"));
    auto *exit = m_form->findChild<QPushButton *>(QStringLiteral("cmdExit"));
    auto *showAll = m_form->findChild<QPushButton *>(QStringLiteral("cmdShowAll"));
    auto *browser = m_form->findChild<QTextBrowser *>(QStringLiteral("WebBrowser1"));
    QVERIFY(exit && showAll && browser);
    QCOMPARE(exit->text(), QStringLiteral("&Exit"));
    QCOMPARE(showAll->text(), QStringLiteral("&Show all..."));
}

void TestFrmStartup::buttonsSitAtTheirTwipRectangles()
{
    // 0, 0, 1095, 255 and 1200, 0, 1335, 255 twips at 15 twips a pixel.
    QCOMPARE(m_form->findChild<QPushButton *>(QStringLiteral("cmdExit"))->geometry(), QRect(0, 0, 73, 17));
    QCOMPARE(m_form->findChild<QPushButton *>(QStringLiteral("cmdShowAll"))->geometry(), QRect(80, 0, 89, 17));
}

void TestFrmStartup::tabOrderIsExitThenShowAll()
{
    auto *exit = m_form->findChild<QPushButton *>(QStringLiteral("cmdExit"));
    auto *showAll = m_form->findChild<QPushButton *>(QStringLiteral("cmdShowAll"));
    QCOMPARE(exit->nextInFocusChain(), static_cast<QWidget *>(showAll));
    QCOMPARE(m_form->findChild<QTextBrowser *>(QStringLiteral("WebBrowser1"))->focusPolicy(), Qt::ClickFocus);
}

void TestFrmStartup::windowRect_data()
{
    QTest::addColumn<double>("screenWidth");
    QTest::addColumn<double>("screenHeight");
    QTest::addColumn<Twips::Rect>("expected");
    QTest::newRow("800x600") << 12000.0 << 9000.0 << Twips::Rect{2000, 1500, 8000, 6000};
    QTest::newRow("1920x1080") << 28800.0 << 16200.0 << Twips::Rect{4800, 2700, 19200, 10800};
    QTest::newRow("odd size") << 15.0 << 30.0 << Twips::Rect{2.5, 5, 10, 20};
}

void TestFrmStartup::windowRect()
{
    QFETCH(double, screenWidth);
    QFETCH(double, screenHeight);
    QFETCH(Twips::Rect, expected);
    QCOMPARE(StartupLayout::windowRect(screenWidth, screenHeight), expected);
}

void TestFrmStartup::browserRect_data()
{
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<Twips::Rect>("expected");
    QTest::newRow("normal") << 8000.0 << 6000.0 << Twips::Rect{0, 300, 8000, 5700};
    QTest::newRow("shorter than the buttons") << 3000.0 << 200.0 << Twips::Rect{0, 300, 3000, 0};
}

void TestFrmStartup::browserRect()
{
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(Twips::Rect, expected);
    const Twips::Rect r = StartupLayout::browserRect(width, height);
    QCOMPARE(r, expected);
    // Never over the buttons.
    QVERIFY(r.top >= StartupLayout::kExitRect.top + StartupLayout::kExitRect.height);
    QVERIFY(r.top >= StartupLayout::kShowAllRect.top + StartupLayout::kShowAllRect.height);
}

void TestFrmStartup::windowIsTwoThirdsOfTheScreenCentred()
{
    writeStore({dueIn(QStringLiteral("Due"), 1)});
    QVERIFY(m_form->formLoad());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect g = m_form->geometry();
    QCOMPARE(g.width(), qRound(screen.width() / 1.5));
    QCOMPARE(g.height(), qRound(screen.height() / 1.5));
    QVERIFY(qAbs(g.center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(g.center().y() - screen.center().y()) <= 1);
}

void TestFrmStartup::browserFillsTheWindowBelowTheButtons()
{
    writeStore({dueIn(QStringLiteral("Due"), 1)});
    QVERIFY(m_form->formLoad());
    auto *browser = m_form->findChild<QTextBrowser *>(QStringLiteral("WebBrowser1"));
    QCOMPARE(browser->geometry(), QRect(0, 20, m_form->width(), m_form->height() - 20));
    m_form->show();
    m_form->resize(600, 300);
    QTRY_COMPARE(browser->geometry(), QRect(0, 20, 600, 280));
}

void TestFrmStartup::listedTaskShowsThePageFromItsFile()
{
    writeStore({dueIn(QStringLiteral("Pay <rent> & bills"), 0), dueIn(QStringLiteral("Not yet"), 30)});
    QVERIFY(m_form->formLoad());
    QCOMPARE(m_form->pagePath(), m_runtime->page());
    QVERIFY(m_form->pageProblem().isEmpty());
    QCOMPARE(QString::fromUtf8(StoreSandbox::read(m_runtime->page())), m_form->page().text);
    auto *browser = m_form->findChild<QTextBrowser *>(QStringLiteral("WebBrowser1"));
    QCOMPARE(browser->source(), QUrl::fromLocalFile(m_runtime->page()));
    const QString shown = browser->toPlainText();
    QVERIFY2(shown.contains(QStringLiteral("Title: Pay <rent> & bills")), qPrintable(shown));
    QVERIFY(shown.contains(QStringLiteral("TODAY!!!")));
    QVERIFY(!shown.contains(QStringLiteral("Not yet")));
}

void TestFrmStartup::endlessTitleStaysWholeOnThePageAndInTheFile()
{
    // One word of 400,000 characters, with a few others the page escapes.
    const QString title = QString(200000, u'x') + QStringLiteral("<&\u00e9>") + QString(200000, u'y');
    writeStore({dueIn(title, 0)});
    const QByteArray stored = StoreSandbox::read();
    QVERIFY(m_form->formLoad());
    QVERIFY(StoreSandbox::read(m_runtime->page()).contains(AlertPage::escapeHtml(title).toUtf8()));
    auto *browser = m_form->findChild<QTextBrowser *>(QStringLiteral("WebBrowser1"));
    // Shown whole: the break opportunities are invisible and hold no character.
    const QString shown = browser->toPlainText().remove(QChar(0x200B));
    QVERIFY(shown.contains(QStringLiteral("Title: ") + title));
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    // Nothing wrote the store back.
    QCOMPARE(StoreSandbox::read(), stored);
}

void TestFrmStartup::aLongPageShowsItsStartAtOnceAndTheRestSoonAfter()
{
    QList<Module1::Task> tasks;
    for (int i = 0; i < 500; ++i)
        tasks << dueIn(QStringLiteral("Task %1").arg(i, 3, 10, QLatin1Char('0')), i % 3);
    writeStore(tasks);
    QVERIFY(m_form->formLoad());
    auto *browser = m_form->findChild<QTextBrowser *>(QStringLiteral("WebBrowser1"));
    QCOMPARE(browser->source(), QUrl::fromLocalFile(m_runtime->page()));
    // The first tasks are there before anything else runs...
    const QString start = browser->toPlainText();
    QVERIFY(start.contains(QStringLiteral("Title: Task 000")));
    QVERIFY(!start.contains(QStringLiteral("Title: Task 499")));
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    // ...and every one of them follows, in the page's order, once each.
    const auto titlesIn = [](const QString &text, const QString &before) {
        QStringList titles;
        const QRegularExpression title(QRegularExpression::escape(before) + QStringLiteral("(Task \\d+)"));
        for (const QRegularExpressionMatch &m : title.globalMatch(text))
            titles << m.captured(1);
        return titles;
    };
    const QStringList inFile = titlesIn(m_form->page().text, QStringLiteral("</small> "));
    QCOMPARE(inFile.size(), 500);
    // The page is in due order, so the last to arrive is the file's last, not the highest number.
    QTRY_VERIFY(browser->toPlainText().contains(QStringLiteral("Title: ") + inFile.constLast()));
    const QString shown = browser->toPlainText();
    QCOMPARE(shown.count(QStringLiteral("Title: ")), 500);
    QCOMPARE(titlesIn(shown, QStringLiteral("Title: ")), inFile);
    // Each in its own coloured table, as the page has it.
    int tables = 0;
    for (QTextFrame *frame : browser->document()->rootFrame()->childFrames())
        tables += qobject_cast<QTextTable *>(frame) ? 1 : 0;
    QCOMPARE(tables, 500);

    // Shown again, the page starts afresh, with no slice of the old one.
    QVERIFY(m_form->alertAgain());
    QTRY_COMPARE(browser->toPlainText().count(QStringLiteral("Title: ")), 500);
}

void TestFrmStartup::pageTextIsAtLeastTheDesktopsNormalSize()
{
    writeStore({dueIn(QStringLiteral("Due"), 1)});
    QVERIFY(m_form->formLoad());
    const QFont normal = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    QVERIFY(normal.pointSizeF() > 0);
    auto *browser = m_form->findChild<QTextBrowser *>(QStringLiteral("WebBrowser1"));
    int fragments = 0;
    for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.text().trimmed().isEmpty())
                continue;
            ++fragments;
            const double size = fragment.charFormat().font().pointSizeF();
            QVERIFY2(size >= normal.pointSizeF() - 0.01,
                     qPrintable(QStringLiteral("%1 pt: %2").arg(size).arg(fragment.text())));
        }
    }
    QVERIFY(fragments >= 8); // heading, title, for, due, days left...
}

void TestFrmStartup::nothingListedShowsNoWindow()
{
    writeStore({dueIn(QStringLiteral("Due"), 0)}, false);
    QVERIFY(!m_form->formLoad());
    QVERIFY(!m_form->page().anyListed);
    QVERIFY(!m_form->isVisible());
    QVERIFY(m_seam->endCodes.isEmpty());
}

void TestFrmStartup::unwritablePageIsShownFromMemory()
{
    StoreSandbox::write("a file where the folder should be", m_runtime->pageFolder());
    writeStore({dueIn(QStringLiteral("Still shown"), -2)});
    QVERIFY(m_form->formLoad());
    QVERIFY(!m_form->pageProblem().isEmpty());
    auto *browser = m_form->findChild<QTextBrowser *>(QStringLiteral("WebBrowser1"));
    QVERIFY(browser->source().isEmpty());
    const QString shown = browser->toPlainText();
    QVERIFY2(shown.contains(QStringLiteral("Still shown")), qPrintable(shown));
    QVERIFY(shown.contains(QStringLiteral("LATE!!!!")));
}

void TestFrmStartup::showAllHidesTheAlertAndShowsTheTaskList()
{
    writeStore({dueIn(QStringLiteral("Due"), 1)});
    QVERIFY(m_form->formLoad());
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QVERIFY(!m_form->existingMainWindow());

    const int loads = testStore().loadCount();
    QTest::mouseClick(m_form->findChild<QPushButton *>(QStringLiteral("cmdShowAll")), Qt::LeftButton);
    QTRY_VERIFY(!m_form->isVisible());
    FrmMain *frmMain = m_form->existingMainWindow();
    QVERIFY(frmMain);
    // The list shows what the alert window read: the file is not read again.
    QCOMPARE(loads, 1);
    QCOMPARE(testStore().loadCount(), 1);
    QCOMPARE(frmMain->rowCount(), 1);
    QCOMPARE(frmMain->objectName(), QStringLiteral("frmMain"));
    QTRY_VERIFY(frmMain->isVisible());
    QVERIFY(!frmMain->isModal());
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(m_seam->endCodes.isEmpty());
    // Changed elsewhere since: then, and only then, the list reads it again.
    frmMain->hide();
    TestData::saveStore({dueIn(QStringLiteral("Due"), 1), dueIn(QStringLiteral("Added elsewhere"), 2)}, {});
    frmMain->formLoad();
    QCOMPARE(testStore().loadCount(), 2);
    QCOMPARE(frmMain->rowCount(), 2);
    frmMain->show();

    // Created once: a second trip reuses the same window.
    frmMain->hide();
    m_form->show();
    m_form->cmdShowAll_Click();
    QCOMPARE(m_form->existingMainWindow(), frmMain);
    QVERIFY(frmMain->isVisible());
}

void TestFrmStartup::exitEndsTheProgramWithStatusZero()
{
    writeStore({dueIn(QStringLiteral("Due"), 1)});
    QVERIFY(m_form->formLoad());
    m_form->show();
    QTest::mouseClick(m_form->findChild<QPushButton *>(QStringLiteral("cmdExit")), Qt::LeftButton);
    QCOMPARE(m_seam->endCodes, QList<int>{0});
    QVERIFY(!m_form->existingMainWindow());
}

void TestFrmStartup::enterPressesTheFocusedButton()
{
    writeStore({dueIn(QStringLiteral("Due"), 1)});
    QVERIFY(m_form->formLoad());
    m_form->show();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    QTRY_COMPARE(QApplication::focusWidget(), m_form->findChild<QWidget *>(QStringLiteral("cmdExit")));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(m_seam->endCodes, QList<int>{0});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter); // Show all..., by the keypad's Enter
    QVERIFY(m_form->existingMainWindow() && m_form->existingMainWindow()->isVisible());
}

void TestFrmStartup::loadProblemsAreShownOnceBeforeTheWindow()
{
    writeStore({dueIn(QStringLiteral("Due"), 1)});
    QFile store(Module1::kStoreFileName);
    QVERIFY(store.open(QIODevice::Append));
    store.write("xy\r\n");
    store.close();

    QVERIFY(m_form->formLoad());
    QCOMPARE(m_seam->messages.size(), 1);
    QCOMPARE(m_seam->messages[0].kind, Modal::Kind::Warning);
    QVERIFY(!m_seam->messages[0].parentVisible);
    QVERIFY2(m_seam->messages[0].text.contains(QStringLiteral("tasks.txt line")),
             qPrintable(m_seam->messages[0].text));

    // The task list reloads the same store: the same problems are not repeated.
    m_form->cmdShowAll_Click();
    QCOMPARE(m_seam->messages.size(), 1);
}

void TestFrmStartup::loadProblemsAreShownEvenWhenNothingIsDue()
{
    StoreSandbox::write("ttl=Half a task\r\nday=99999999\r\nact=addtask\r\n");
    QVERIFY(!m_form->formLoad());
    QCOMPARE(m_seam->messages.size(), 1);
    QVERIFY(m_seam->messages[0].text.contains(QStringLiteral("out of range")));
}

void TestFrmStartup::firstRunOpensTheTaskList()
{
    QVERIFY(!QFileInfo::exists(Module1::kStoreFileName));
    QWidget *window = Opening::windowFor(*m_form, Opening::Cause::Start);
    QVERIFY(window);
    QCOMPARE(window->objectName(), QStringLiteral("frmMain"));
    QCOMPARE(window, static_cast<QWidget *>(m_form->existingMainWindow()));
    QVERIFY(m_seam->messages.isEmpty());
}

void TestFrmStartup::existingStoreWithNothingDueOpensNothing()
{
    writeStore({dueIn(QStringLiteral("Far away"), 300)});
    QVERIFY(!Opening::windowFor(*m_form, Opening::Cause::Start));
    QVERIFY(!m_form->existingMainWindow());
    // The (empty) page was still written, as every start does.
    QVERIFY(QFileInfo(m_runtime->page()).isFile());
}

void TestFrmStartup::showAllOptionSkipsTheAlert()
{
    writeStore({dueIn(QStringLiteral("Due"), 0)});
    QWidget *window = Opening::windowFor(*m_form, Opening::Cause::ShowAll);
    QVERIFY(window);
    QCOMPARE(window->objectName(), QStringLiteral("frmMain"));
    QVERIFY(!QFileInfo::exists(m_runtime->page()));
}

void TestFrmStartup::laterOpeningsFollowTheTablesAndTheFile()
{
    // No store: another start opens the list, as a first start does, but
    // a new day opens nothing, day after day.
    QCOMPARE(Opening::windowFor(*m_form, Opening::Cause::NewDay), nullptr);
    QVERIFY(!m_form->existingMainWindow());
    QWidget *window = Opening::windowFor(*m_form, Opening::Cause::AlertAgain);
    QCOMPARE(window, static_cast<QWidget *>(m_form->existingMainWindow()));

    // Something listed: both bring the alert window; the list asked for
    // later takes its place.
    writeStore({dueIn(QStringLiteral("Due"), 0)});
    testStore().reloadInListOrder();
    QCOMPARE(Opening::windowFor(*m_form, Opening::Cause::NewDay), static_cast<QWidget *>(m_form.get()));
    QCOMPARE(Opening::windowFor(*m_form, Opening::Cause::AlertAgain), static_cast<QWidget *>(m_form.get()));
    Opening::bringUp(m_form.get());
    QVERIFY(m_form->isVisible());
    QCOMPARE(Opening::windowFor(*m_form, Opening::Cause::ShowAll), window);
    QVERIFY(!m_form->isVisible());
}

void TestFrmStartup::aLinkToNowhereIsNoFirstRun()
{
    // The store is there but cannot be read: the start says so and does not
    // offer an empty list to type over it, and later openings agree.
    QVERIFY(QFile::link(m_store->file(QStringLiteral("gone.txt")), Module1::kStoreFileName));
    QVERIFY(!Opening::storeMissing());
    QCOMPARE(Opening::windowFor(*m_form, Opening::Cause::Start), nullptr);
    QCOMPARE(Opening::windowFor(*m_form, Opening::Cause::AlertAgain), nullptr);
    QVERIFY(!m_form->existingMainWindow());
    QCOMPARE(m_seam->messages.size(), 1);
}

void TestFrmStartup::screenshotRendersTheAlert()
{
    writeStore({dueIn(QStringLiteral("Due"), 0)});
    QWidget *window = Opening::windowFor(*m_form, Opening::Cause::Start);
    QCOMPARE(window, static_cast<QWidget *>(m_form.get()));
    const QString file = m_store->file(QStringLiteral("shot.png"));
    QString reason;
    QVERIFY2(Program::saveScreenshot(window, file, &reason), qPrintable(reason));
    const QImage image(file);
    QCOMPARE(image.size(), m_form->size());
    // The rule's red box is on the picture, so the page itself was rendered.
    bool red = false;
    for (int y = 20; y < image.height() && !red; ++y) {
        for (int x = 0; x < image.width() && !red; ++x)
            red = image.pixelColor(x, y) == QColor(255, 0, 0);
    }
    QVERIFY(red);

    QVERIFY(!Program::saveScreenshot(window, m_store->file(QStringLiteral("no/such/folder/x.png")), &reason));
    QVERIFY(!reason.isEmpty());
}

QTEST_MAIN(TestFrmStartup)
#include "test_frmstartup.moc"
