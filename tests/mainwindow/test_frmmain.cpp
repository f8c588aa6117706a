// SPDX-License-Identifier: GPL-3.0-or-later
#include "appearance.h"
#include "clock.h"
#include "frmmain.h"
#include "listkit.h"
#include "listcell.h"
#include "modal.h"
#include "pausabletimer.h"
#include "colors.h"
#include "fakeseam.h"
#include "headerbutton.h"
#include "preferences.h"
#include "storesandbox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QKeySequence>
#include <QTest>
#include <QToolTip>

#include <array>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr qint32 kGreen = Colors::rgb(0, 160, 0);
constexpr qint32 kRed = Colors::rgb(220, 0, 0);
constexpr qint32 kBlue = Colors::rgb(0, 0, 255);

QColor textColor(const QLabel *label)
{
    return label->palette().color(QPalette::WindowText);
}

// The cell as the panel paints it, with whatever shows through.
QImage painted(QLabel *label)
{
    return label->parentWidget()->grab(label->geometry()).toImage();
}

// Whether the cell, as painted, shows some text in about this colour.
bool paintsTextIn(QLabel *label, const QColor &colour)
{
    const QImage image = painted(label);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - colour.red()) + qAbs(c.green() - colour.green()) + qAbs(c.blue() - colour.blue()) < 60)
                return true;
        }
    }
    return false;
}

QColor paintedBackground(QLabel *label)
{
    // The far right end of a cell holds no text.
    const QImage image = painted(label);
    return image.pixelColor(image.width() - 1, image.height() / 2);
}

int colourDistance(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue());
}

// The help line's text as the whole window paints it, the way a screenshot
// takes it: pixels of the line's colour (laid over the list's background)
// in its place. Only under the For heading, where a task without a for-whom
// text leaves its row blank, so a row's own text is never counted.
int hintInkInWindow(QMainWindow &w, const QLabel *hint)
{
    const QImage shot = w.grab().toImage();
    const QWidget *forHeading = w.findChild<QWidget *>(QStringLiteral("cmdFor"));
    const int left = forHeading->mapTo(&w, QPoint(0, 0)).x();
    const QRect line(hint->mapTo(&w, QPoint(0, 0)), hint->size());
    const QRect area = line.intersected(QRect(left, line.top(), forHeading->width(), line.height()));
    const QColor ground = w.findChild<QWidget *>(QStringLiteral("lstContainer"))->palette().color(QPalette::Base);
    const QColor ink = hint->palette().color(hint->foregroundRole());
    const double a = ink.alphaF();
    const QColor shown = QColor::fromRgbF(float(ink.redF() * a + ground.redF() * (1 - a)),
                                          float(ink.greenF() * a + ground.greenF() * (1 - a)),
                                          float(ink.blueF() * a + ground.blueF() * (1 - a)));
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (colourDistance(c, shown) < 60 && colourDistance(c, ground) >= 60)
                ++count;
        }
    }
    return count;
}

bool isSelectedLook(const QLabel *label)
{
    return label->autoFillBackground() && label->palette().color(QPalette::Window) == QColor(0, 0, 100)
        && textColor(label) == Qt::white;
}


} // namespace

class TestFrmMain : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // As the program sets itself up.
        Appearance::applyAppearance(*qApp);
    }

    void init()
    {
        m_sandbox = std::make_unique<StoreSandbox>();
        m_seam = std::make_unique<FakeSeam>();
        m_window = std::make_unique<FrmMain>(Context{testStore(), *m_seam});
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup()
    {
        m_window.reset();
        m_seam.reset();
        m_sandbox.reset();
    }

    void controlsAndCaptions()
    {
        FrmMain &w = *m_window;
        QCOMPARE(w.objectName(), QStringLiteral("frmMain"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Quorvi"));
        QCOMPARE(w.findChild<QPushButton *>(u"cmdTitle"_s)->text(), QStringLiteral("Title"));
        QCOMPARE(w.findChild<QPushButton *>(u"cmdFor"_s)->text(), QStringLiteral("For"));
        QCOMPARE(w.findChild<QPushButton *>(u"cmdDue"_s)->text(), QStringLiteral("Due"));
        QWidget *pct = w.findChild<QWidget *>(u"pctContainer"_s);
        QWidget *lst = w.findChild<QWidget *>(u"lstContainer"_s);
        QVERIFY(pct && lst && w.findChild<QScrollBar *>(u"vscroll"_s) && w.findChild<QPlainTextEdit *>(u"txtDescription"_s));
        QVERIFY(pct->isAncestorOf(lst));
        QVERIFY(pct->isAncestorOf(w.findChild<QScrollBar *>(u"vscroll"_s)));
        QVERIFY(lst->isAncestorOf(w.findChild<QPushButton *>(u"cmdFor"_s)));
        QCOMPARE(w.findChild<PausableTimer *>(u"Timer1"_s), w.timer1());
        // The templates: one blank, never shown.
        for (const QLabel *t : {w.lblTitle()[0], w.lblFor()[0], w.lblDue()[0]}) {
            QCOMPARE(t->text(), QStringLiteral(" "));
            QVERIFY(!t->isVisible());
            QVERIFY(!t->autoFillBackground());
        }
        QCOMPARE(w.lblTitle()[0]->objectName(), QStringLiteral("lblTitle"));
        QCOMPARE(w.lblFor()[0]->objectName(), QStringLiteral("lblFor"));
        QCOMPARE(w.lblDue()[0]->objectName(), QStringLiteral("lblDue"));
        const QFont f = w.findChild<QPlainTextEdit *>(u"txtDescription"_s)->font();
        QCOMPARE(f.families().value(0), QStringLiteral("MS Sans Serif"));
        QCOMPARE(f.pointSizeF(), 9.75);
        QVERIFY(!f.bold());
    }

    void menuTree()
    {
        FrmMain &w = *m_window;
        struct Entry {
            const char *name;
            const char *caption;
            const char *under;
        };
        const Entry entries[] = {
            {"menu_new", "&New Task...", "Menu_Tasks"},   {"menu_modify", "&Edit...", "Menu_Tasks"},
            {"menu_delete", "&Delete", "Menu_Tasks"},     {"menu_exi", "&Exit", "Menu_Tasks"},
            {"menu_manage", "&Colors And Alerts", "menu_options"}, {"menu_about", "&About", "menu_help"},
            {"menu_modify2", "&Edit...", "menu_short"},   {"menu_delete2", "&Delete", "menu_short"},
            {"menu_done", "&Mark Done", "Menu_Tasks"},    {"menu_done2", "&Mark Done", "menu_short"},
            {"menu_showdone", "Show &Done Tasks", "menu_options"},
            {"menu_export", "E&xport...", "Menu_Tasks"},  {"menu_import", "&Import...", "Menu_Tasks"},
            {"menu_syncnow", "S&ync Now", "Menu_Tasks"},  {"menu_syncaccount", "&Sync Account...", "menu_options"},
            {"menu_find", "&Find...", "Menu_Tasks"},
        };
        // The desktop's standard keys where one fits; none for the rest, and
        // none for Delete, which the list's own Delete key does when it has
        // the keyboard (a window-wide Delete would also fire in the
        // description box).
        const QHash<QString, QKeySequence> keys = {
            {QStringLiteral("menu_new"), QKeySequence(Qt::CTRL | Qt::Key_N)},
            {QStringLiteral("menu_exi"), QKeySequence(Qt::CTRL | Qt::Key_Q)},
            {QStringLiteral("menu_about"), QKeySequence(Qt::Key_F1)},
            {QStringLiteral("menu_find"), QKeySequence(Qt::CTRL | Qt::Key_F)},
        };
        for (const Entry &e : entries) {
            QAction *a = w.findChild<QAction *>(QString::fromLatin1(e.name));
            QVERIFY2(a, e.name);
            QCOMPARE(a->text(), QString::fromUtf8(e.caption));
            QCOMPARE(a->shortcut(), keys.value(QString::fromLatin1(e.name)));
            QMenu *menu = w.findChild<QMenu *>(QString::fromLatin1(e.under));
            QVERIFY2(menu && menu->actions().contains(a), e.name);
        }
        QMenu *tasks = w.findChild<QMenu *>(u"Menu_Tasks"_s);
        QAction *sep = w.findChild<QAction *>(u"menu_sep"_s);
        QVERIFY(sep && sep->isSeparator());
        QCOMPARE(tasks->actions().indexOf(sep), 12);
        QCOMPARE(tasks->actions().size(), 14);
        // Undo and Redo after the commands they take back.
        QCOMPARE(tasks->actions().indexOf(w.findChild<QAction *>(u"menu_undo"_s)), 4);
        QCOMPARE(tasks->actions().indexOf(w.findChild<QAction *>(u"menu_redo"_s)), 5);
        // Find, and Export, Import and Sync Now, sit apart from the commands on one task.
        QAction *find = w.findChild<QAction *>(u"menu_sep_find"_s);
        QVERIFY(find && find->isSeparator());
        QCOMPARE(tasks->actions().indexOf(find), 6);
        QAction *files = w.findChild<QAction *>(u"menu_sep_files"_s);
        QVERIFY(files && files->isSeparator());
        QCOMPARE(tasks->actions().indexOf(files), 8);

        QStringList bar;
        for (QAction *a : w.menuBar()->actions())
            bar << a->text();
        QCOMPARE(bar, QStringList({u"&Tasks"_s, u"&Options"_s, u"&Help"_s}));
        QMenu *popup = w.findChild<QMenu *>(u"menu_short"_s);
        QCOMPARE(popup->title(), QStringLiteral("&submenu"));
        QVERIFY(!w.menuBar()->actions().contains(popup->menuAction()));
        QCOMPARE(w.shortMenu(), popup);
    }

    void emptyStoreShowsOnlyTheHeader()
    {
        FrmMain &w = *m_window;
        w.formLoad();
        QCOMPARE(testStore().sortMode(), qint16(2));
        QCOMPARE(w.rowCount(), 0);
        QCOMPARE(w.lblFor().size(), 1);
        QCOMPARE(w.lblTitle().size(), 1);
        QCOMPARE(w.lblDue().size(), 1);
        QVERIFY(w.findChild<QPushButton *>(u"cmdDue"_s)->isVisible());
        const ListLayout::Geometry &g = w.layoutGeometry();
        QCOMPARE(g.lstContainer.height, 2 * 255.0 + g.pctContainer.height);
        QCOMPARE(w.findChild<QScrollBar *>(u"vscroll"_s)->maximum(), 0);
        QCOMPARE(w.selectedRow(), 0);
        QVERIFY(m_seam->messages.isEmpty());
    }

    void aLongListHasCellsOnlyWhereItIsSeen()
    {
        FrmMain &w = *m_window;
        addColourRules();
        fillStore(10000);
        testStore().setSortMode(2);
        w.drawList();
        QCOMPARE(w.rowCount(), 10000);
        QCOMPARE(w.lblFor().size(), 10001);
        QCOMPARE(w.lblTitle().size(), 10001);
        QCOMPARE(w.lblDue().size(), 10001);
        // Ordered by due date.
        for (int i = 1; i < 10000; ++i)
            QVERIFY(testStore().tasks()[i - 1].sortKey <= testStore().tasks()[i].sortKey);
        const ListLayout::Geometry &g = w.layoutGeometry();
        QCOMPARE(g.lstContainer.height, 10002 * 255.0 + g.pctContainer.height);
        auto *bar = w.findChild<QScrollBar *>(u"vscroll"_s);
        QCOMPARE(bar->maximum(), int((10002 * 255.0 - g.pctContainer.height) / 15));

        // At the top, in the middle (by the thumb) and at the end (a page
        // at a time from just before it).
        checkRowsInView(w);
        bar->setSliderPosition(bar->maximum() / 2);
        checkRowsInView(w);
        bar->setValue(bar->maximum() - 3 * bar->pageStep());
        for (int i = 0; i < 4; ++i)
            bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(bar->value(), bar->maximum());
        checkRowsInView(w);
        QVERIFY(w.builtRows().contains(10000));
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        checkRowsInView(w);
    }

    void selectionKeysAndWheelAlongALongList()
    {
        FrmMain &w = *m_window;
        addColourRules();
        fillStore(10000);
        w.drawList();
        auto *bar = w.findChild<QScrollBar *>(u"vscroll"_s);
        QWidget *list = w.findChild<QWidget *>(u"pctContainer"_s);
        QTRY_COMPARE(QApplication::focusWidget(), list);
        auto *description = w.findChild<QPlainTextEdit *>(u"txtDescription"_s);
        for (int row : {3, 5000, 9998}) {
            w.bringIntoView(row);
            checkRowsInView(w);
            QTest::mouseClick(w.lblTitle()[row], Qt::LeftButton);
            QCOMPARE(w.selectedRow(), row);
            QCOMPARE(description->toPlainText(), testStore().tasks()[row - 1].description);
            QCOMPARE(countSelectedCells(), 3);
            QTest::keyClick(list, Qt::Key_Down);
            QCOMPARE(w.selectedRow(), row + 1);
            QVERIFY(isSelectedLook(w.lblDue()[row + 1]));
            QVERIFY(!isSelectedLook(w.lblDue()[row]));
            QTest::keyClick(list, Qt::Key_PageDown);
            const int paged = row + 1 + ListLayout::rowsPerPage(w.layoutGeometry());
            QCOMPARE(w.selectedRow(), qMin(paged, 10000));
            checkRowsInView(w);
            QVERIFY(isSelectedLook(w.lblFor()[w.selectedRow()]));

            // The wheel takes the selected row out of view and back: it is
            // still marked, on whichever cells it has now.
            const int value = bar->value();
            const QPointF pos(4, 4);
            QLabel *cell = w.lblTitle()[w.selectedRow()];
            QWheelEvent down(pos, cell->mapToGlobal(pos), QPoint(), QPoint(0, -1200), Qt::NoButton, Qt::NoModifier,
                             Qt::NoScrollPhase, false);
            QApplication::sendEvent(cell, &down);
            if (w.selectedRow() < 9980) {
                QCOMPARE(bar->value(), value + 30 * 17);
                QVERIFY(!w.builtRows().contains(w.selectedRow()));
                QCOMPARE(countSelectedCells(), 0);
            }
            checkRowsInView(w);
            bar->setValue(value);
            checkRowsInView(w);
            QCOMPARE(countSelectedCells(), 3);
            QVERIFY(isSelectedLook(w.lblTitle()[w.selectedRow()]));
        }
        QTest::keyClick(list, Qt::Key_Home);
        QCOMPARE(w.selectedRow(), 1);
        QCOMPARE(bar->value(), 0);
        checkRowsInView(w);
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(w.selectedRow(), 10000);
        const QWidget *panel = w.findChild<QWidget *>(u"lstContainer"_s);
        QVERIFY(panel->parentWidget()->rect().contains(w.lblTitle()[10000]->geometry().translated(panel->pos())));
        checkRowsInView(w);
        QCOMPARE(w.lblTitle()[10000]->text(), testStore().tasks()[9999].title);
    }

    void redrawWithFewerTasksDropsTheRest()
    {
        FrmMain &w = *m_window;
        fillStore(30);
        w.drawList();
        const Module1::Records all = testStore().records();
        TestData::keepFirst(all, 4);
        w.drawList();
        QCOMPARE(w.rowCount(), 4);
        QCOMPARE(countVisibleCells(), 12);
        w.cleanList();
        QCOMPARE(w.rowCount(), 0);
        QCOMPARE(w.lblDue().size(), 1);
        QCOMPARE(countVisibleCells(), 0);
        TestData::keepFirst(all, 30);
        w.drawList();
        QCOMPARE(w.rowCount(), 30);
        checkRowsInView(w);
    }

    void changesAnnouncedByTheStoreAreRedrawn()
    {
        // No dialog tells the window anything: the store's signal does.
        FrmMain &w = *m_window;
        fillStore(3);
        testStore().setSortMode(Module1::ByDue);
        Q_EMIT testStore().changed();
        QCOMPARE(w.rowCount(), 3);
        w.highlight(3);
        TestData::editTask(2, [&](Module1::Task &edited) { edited.title = QStringLiteral("Renamed elsewhere"); });
        Q_EMIT testStore().changed();
        QCOMPARE(w.lblTitle()[3]->text(), QStringLiteral("Renamed elsewhere"));
        QCOMPARE(w.selectedRow(), 3);
        QVERIFY(testStore().removeTask(testStore().tasks()[2].id).ok());
        QCOMPARE(w.rowCount(), 2);
        QCOMPARE(w.selectedRow(), 0); // its row is gone
    }

    void aRolledOverTimeIsListedOnTheDayItFalls()
    {
        FrmMain &w = *m_window;
        TestData::addTask(TestData::task(QStringLiteral("hour 24"), {}, 2026, 12, 8, 24, 0));
        TestData::addTask(TestData::task(QStringLiteral("before noon"), {}, 2026, 12, 8, 11, 49));
        testStore().setSortMode(Module1::ByDue);
        w.drawList();
        QCOMPARE(ListKit::shownTitles(w), QStringList({u"before noon"_s, u"hour 24"_s}));
        QCOMPARE(w.lblDue()[2]->text(), TestData::task({}, {}, 2026, 12, 9, 0, 0).dueText);
    }

    void rowsTakeTheirRuleColour()
    {
        FrmMain &w = *m_window;
        addColourRules();
        TestData::addTask(TestData::dueIn(QStringLiteral("five"), 5));
        TestData::addTask(TestData::dueIn(QStringLiteral("two"), 2));
        TestData::addTask(TestData::dueIn(QStringLiteral("today"), 0));
        TestData::addTask(TestData::dueIn(QStringLiteral("late"), -3));
        TestData::addTask(TestData::dueIn(QStringLiteral("far"), 10));
        TestData::addTask(TestData::dueIn(QStringLiteral("tomorrow"), 1));
        testStore().setSortMode(0);
        w.drawList();
        QCOMPARE(ListKit::shownTitles(w), QStringList({u"far"_s, u"five"_s, u"late"_s, u"today"_s, u"tomorrow"_s, u"two"_s}));
        const QList<QColor> colours = {Qt::black, Colors::toColor(kGreen), Colors::toColor(kBlue),
                                       Colors::toColor(kBlue), Colors::toColor(kRed), Colors::toColor(kRed)};
        const QList<bool> bold = {false, false, true, true, false, false};
        for (int i = 1; i <= 6; ++i) {
            for (const QLabel *cell : {w.lblTitle()[i], w.lblFor()[i], w.lblDue()[i]}) {
                QCOMPARE(textColor(cell), colours[i - 1]);
                QCOMPARE(cell->font().bold(), bold[i - 1]);
                QVERIFY(!cell->autoFillBackground());
            }
        }
    }

    void rowsColourByTheClocksDay()
    {
        // The list asks the program's clock for today, so a list left open
        // overnight colours by the new day once it is redrawn.
        FrmMain &w = *m_window;
        addColourRules();
        TestData::addTask(TestData::task(QStringLiteral("launch"), {}, 2031, 5, 10, 9));
        const auto restore = qScopeGuard([] { Clock::setSource({}); });
        Clock::setSource([] { return QDateTime(QDate(2031, 5, 7), QTime(23, 0)); });
        w.drawList();
        QCOMPARE(textColor(w.lblTitle()[1]), Colors::toColor(kGreen)); // three days left
        QVERIFY(!w.lblTitle()[1]->font().bold());
        Clock::setSource([] { return QDateTime(QDate(2031, 5, 10), QTime(0, 0)); });
        w.drawList();
        QCOMPARE(textColor(w.lblTitle()[1]), Colors::toColor(kBlue)); // due today
        QVERIFY(w.lblTitle()[1]->font().bold());
    }

    void noRulesMeansBlackAndNormal()
    {
        FrmMain &w = *m_window;
        addColourRules();
        TestData::addTask(TestData::dueIn(QStringLiteral("late"), -3));
        w.drawList();
        QVERIFY(w.lblFor()[1]->font().bold());
        TestData::editRules([](std::vector<Module1::AlertRule> &r) { r.clear(); });
        w.drawList();
        QCOMPARE(textColor(w.lblFor()[1]), QColor(Qt::black));
        QVERIFY(!w.lblFor()[1]->font().bold());
        QVERIFY(!w.lblDue()[1]->font().bold());
    }

    void clickingSelectsAndReselects()
    {
        FrmMain &w = *m_window;
        addColourRules();
        for (int i = 0; i < 8; ++i)
            TestData::addTask(TestData::dueIn(QStringLiteral("t%1").arg(i), i - 1, QStringLiteral("f%1").arg(i)));
        TestData::editTask(2, [&](Module1::Task &edited) { edited.description = QStringLiteral("third\r\nline two"); });
        TestData::editTask(4, [&](Module1::Task &edited) { edited.description = QStringLiteral("fifth"); });
        w.drawList();
        const QColor row3Colour = textColor(w.lblTitle()[3]);
        QCOMPARE(row3Colour, Colors::toColor(kRed)); // due in 1 day

        QTest::mouseClick(w.lblTitle()[3], Qt::LeftButton);
        QCOMPARE(w.selectedRow(), 3);
        for (const QLabel *cell : {w.lblTitle()[3], w.lblFor()[3], w.lblDue()[3]})
            QVERIFY(isSelectedLook(cell));
        auto *description = w.findChild<QPlainTextEdit *>(u"txtDescription"_s);
        QCOMPARE(description->toPlainText(), QStringLiteral("third\nline two"));
        // As painted, not only as set.
        QCOMPARE(paintedBackground(w.lblFor()[3]), QColor(0, 0, 100));
        QVERIFY(paintsTextIn(w.lblFor()[3], Qt::white));
        QCOMPARE(paintedBackground(w.lblFor()[4]), w.lblFor()[4]->parentWidget()->palette().color(QPalette::Base));
        QVERIFY(paintsTextIn(w.lblFor()[4], Colors::toColor(kRed)));

        QTest::mouseClick(w.lblDue()[5], Qt::LeftButton);
        QCOMPARE(w.selectedRow(), 5);
        for (const QLabel *cell : {w.lblTitle()[3], w.lblFor()[3], w.lblDue()[3]}) {
            QVERIFY(!cell->autoFillBackground());
            QCOMPARE(textColor(cell), row3Colour);
        }
        QVERIFY(paintsTextIn(w.lblTitle()[3], row3Colour));
        QVERIFY(!paintsTextIn(w.lblTitle()[3], Qt::black));
        QCOMPARE(paintedBackground(w.lblTitle()[3]), w.lblFor()[4]->parentWidget()->palette().color(QPalette::Base));
        for (const QLabel *cell : {w.lblTitle()[5], w.lblFor()[5], w.lblDue()[5]})
            QVERIFY(isSelectedLook(cell));
        QCOMPARE(description->toPlainText(), QStringLiteral("fifth"));
        QCOMPARE(countSelectedCells(), 3);
    }

    void anyButtonSelectsAndOnlyTheRightOnePopsUp_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("popup");
        QTest::newRow("left") << Qt::LeftButton << false;
        QTest::newRow("middle") << Qt::MiddleButton << false;
        QTest::newRow("right") << Qt::RightButton << true;
    }

    void anyButtonSelectsAndOnlyTheRightOnePopsUp()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, popup);
        FrmMain &w = *m_window;
        fillStore(6);
        w.drawList();
        QMenu *menu = w.findChild<QMenu *>(u"menu_short"_s);
        // The menu must find the row already selected when it opens.
        int selectedWhenShown = -1;
        connect(menu, &QMenu::aboutToShow, this, [&] { selectedWhenShown = w.selectedRow(); });
        QTest::mousePress(w.lblFor()[4], button, {}, QPoint(5, 5));
        QCOMPARE(w.selectedRow(), 4);
        QVERIFY(isSelectedLook(w.lblFor()[4]));
        QCOMPARE(menu->isVisible(), popup);
        QCOMPARE(selectedWhenShown, popup ? 4 : -1);
        if (popup) {
            // Shown at the mouse, without blocking the caller.
            const QPoint at = w.lblFor()[4]->mapToGlobal(QPoint(5, 5));
            QVERIFY((menu->geometry().topLeft() - at).manhattanLength() <= 2);
            menu->hide();
        }
        QTest::mouseRelease(w.lblFor()[4], button, {}, QPoint(5, 5));
    }

    void clicksOutsideTheRowsKeepTheSelection()
    {
        FrmMain &w = *m_window;
        fillStore(3);
        w.drawList();
        w.highlight(2);
        QWidget *lst = w.findChild<QWidget *>(u"lstContainer"_s);
        // Empty panel below the last row.
        QTest::mouseClick(lst, Qt::LeftButton, {}, QPoint(5, w.lblFor()[3]->geometry().bottom() + 20));
        QCOMPARE(w.selectedRow(), 2);
        QTest::mouseClick(w.findChild<QScrollBar *>(u"vscroll"_s), Qt::LeftButton);
        QCOMPARE(w.selectedRow(), 2);
    }

    void highlightIgnoresRowsThatDoNotExist()
    {
        FrmMain &w = *m_window;
        fillStore(3);
        w.drawList();
        w.highlight(2);
        w.highlight(0);
        w.highlight(4);
        w.highlight(-1);
        QCOMPARE(w.selectedRow(), 2);
        QCOMPARE(countSelectedCells(), 3);
    }

    void selectedLateTaskStaysBold()
    {
        FrmMain &w = *m_window;
        addColourRules();
        TestData::addTask(TestData::dueIn(QStringLiteral("late"), -2));
        TestData::addTask(TestData::dueIn(QStringLiteral("later"), 4));
        w.drawList();
        w.highlight(1);
        QVERIFY(isSelectedLook(w.lblTitle()[1]));
        QVERIFY(w.lblTitle()[1]->font().bold());
        w.highlight(2);
        QVERIFY(isSelectedLook(w.lblTitle()[2]));
        QVERIFY(!w.lblTitle()[2]->font().bold());
        QVERIFY(w.lblTitle()[1]->font().bold());
        QCOMPARE(textColor(w.lblTitle()[1]), Colors::toColor(kBlue));
    }

    void headerButtonsOrderAndReverse()
    {
        FrmMain &w = *m_window;
        TestData::addTask(TestData::task(QStringLiteral("banana"), QStringLiteral("Zed"), 2030, 1, 2));
        TestData::addTask(TestData::task(QStringLiteral("Apple"), QStringLiteral("amy"), 2030, 1, 3));
        TestData::addTask(TestData::task(QStringLiteral("cherry"), QStringLiteral("Bob"), 2030, 1, 1));
        w.formLoad(); // no file: an empty store
        QCOMPARE(w.rowCount(), 0);
        TestData::addTask(TestData::task(QStringLiteral("banana"), QStringLiteral("Zed"), 2030, 1, 2));
        TestData::addTask(TestData::task(QStringLiteral("Apple"), QStringLiteral("amy"), 2030, 1, 3));
        TestData::addTask(TestData::task(QStringLiteral("cherry"), QStringLiteral("Bob"), 2030, 1, 1));
        w.drawList();
        QCOMPARE(ListKit::shownTitles(w), QStringList({u"cherry"_s, u"banana"_s, u"Apple"_s}));

        auto click = [&](const char *name) { QTest::mouseClick(w.findChild<QPushButton *>(QString::fromLatin1(name)), Qt::LeftButton); };
        click("cmdTitle");
        QCOMPARE(testStore().sortMode(), qint16(0));
        QCOMPARE(ListKit::shownTitles(w), QStringList({u"Apple"_s, u"banana"_s, u"cherry"_s}));
        click("cmdTitle");
        QCOMPARE(testStore().sortMode(), qint16(10));
        QCOMPARE(ListKit::shownTitles(w), QStringList({u"cherry"_s, u"banana"_s, u"Apple"_s}));
        click("cmdTitle");
        QCOMPARE(testStore().sortMode(), qint16(0));
        click("cmdFor");
        QCOMPARE(testStore().sortMode(), qint16(1));
        QCOMPARE(ListKit::shownTitles(w), QStringList({u"Apple"_s, u"cherry"_s, u"banana"_s}));
        click("cmdDue");
        QCOMPARE(testStore().sortMode(), qint16(2));
        click("cmdDue");
        QCOMPARE(testStore().sortMode(), qint16(12));
        QCOMPARE(ListKit::shownTitles(w), QStringList({u"Apple"_s, u"banana"_s, u"cherry"_s}));
        QCOMPARE(w.rowCount(), 3);
    }

    void theHeadingShowsTheOrderAndARestartKeepsIt()
    {
        using Order = HeaderButton::Order;
        FrmMain &w = *m_window;
        w.formLoad();
        TestData::addTask(TestData::task(QStringLiteral("b"), QStringLiteral("y"), 2030, 1, 2));
        TestData::addTask(TestData::task(QStringLiteral("a"), QStringLiteral("z"), 2030, 1, 3));
        w.drawList();
        auto *title = w.findChild<HeaderButton *>(QStringLiteral("cmdTitle"));
        auto *forWhom = w.findChild<HeaderButton *>(QStringLiteral("cmdFor"));
        auto *due = w.findChild<HeaderButton *>(QStringLiteral("cmdDue"));
        QVERIFY(title && forWhom && due);
        const auto shown = [&] {
            return QList<Order>{title->sortIndicator(), forWhom->sortIndicator(), due->sortIndicator()};
        };
        QCOMPARE(shown(), (QList<Order>{Order::None, Order::None, Order::Ascending}));
        const QImage plain = title->grab().toImage();

        QTest::mouseClick(title, Qt::LeftButton);
        QCOMPARE(shown(), (QList<Order>{Order::Ascending, Order::None, Order::None}));
        const QImage ascending = title->grab().toImage();
        QVERIFY(ascending != plain);
        QTest::mouseClick(title, Qt::LeftButton);
        QCOMPARE(shown(), (QList<Order>{Order::Descending, Order::None, Order::None}));
        QVERIFY(title->grab().toImage() != ascending);
        QVERIFY(title->grab().toImage() != plain);
        // Another column keeps the direction.
        QTest::mouseClick(forWhom, Qt::LeftButton);
        QCOMPARE(shown(), (QList<Order>{Order::None, Order::Descending, Order::None}));
        QCOMPARE(ListKit::shownTitles(w), QStringList({u"a"_s, u"b"_s}));
        // The captions stay the columns' names.
        QCOMPARE(forWhom->text(), QStringLiteral("For"));

        // The next start, which began by ordering by due date for its alert.
        QVERIFY(testStore().saveTasks().ok);
        m_window.reset();
        testStore().setSortMode(Module1::ByDue);
        m_window = std::make_unique<FrmMain>(Context{testStore(), *m_seam});
        m_window->formLoad();
        QCOMPARE(testStore().sortMode(), qint16(Module1::ByForReversed));
        QCOMPARE(m_window->findChild<HeaderButton *>(QStringLiteral("cmdFor"))->sortIndicator(), Order::Descending);
        QCOMPARE(m_window->findChild<HeaderButton *>(QStringLiteral("cmdDue"))->sortIndicator(), Order::None);
        QCOMPARE(ListKit::shownTitles(*m_window), QStringList({u"a"_s, u"b"_s}));
    }

    void aKeptOrderThatNamesNoneFallsBackToDue_data()
    {
        QTest::addColumn<QVariant>("kept");
        QTest::newRow("no column") << QVariant(7);
        QTest::newRow("beyond the columns") << QVariant(13);
        QTest::newRow("negative") << QVariant(-1);
        QTest::newRow("too large for the order") << QVariant(70000 + 10);
        QTest::newRow("words") << QVariant(QStringLiteral("by title"));
    }

    void aKeptOrderThatNamesNoneFallsBackToDue()
    {
        QFETCH(QVariant, kept);
        Preferences::settings().setValue(QStringLiteral("list/order"), kept);
        m_window->formLoad();
        QCOMPARE(testStore().sortMode(), qint16(Module1::ByDue));
        QCOMPARE(m_window->findChild<HeaderButton *>(QStringLiteral("cmdDue"))->sortIndicator(),
                 HeaderButton::Order::Ascending);
    }

    void anEmptyListSaysHowToBegin()
    {
        FrmMain &w = *m_window;
        w.formLoad(); // no file yet
        auto *hint = w.findChild<QLabel *>(QStringLiteral("lblEmptyList"));
        QVERIFY(hint);
        QVERIFY(hint->isVisible());
        QCOMPARE(hint->text(), QStringLiteral("No tasks yet: Tasks > New Task, or Ctrl+N"));
        // Under the headings, inside the list's area, and on one line.
        const QWidget *area = w.findChild<QWidget *>(QStringLiteral("pctContainer"));
        const QRect inArea(hint->mapTo(area, QPoint(0, 0)), hint->size());
        QVERIFY(area->rect().contains(inArea));
        QVERIFY(inArea.top() >= w.findChild<QPushButton *>(QStringLiteral("cmdDue"))->height());
        QVERIFY(hint->fontMetrics().horizontalAdvance(hint->text()) <= hint->width());

        const Module1::Commit first = testStore().commitTask(0, TestData::task(QStringLiteral("first"), {}, 2030, 1, 1));
        QVERIFY(first.ok());
        QVERIFY(!hint->isVisible());
        // A done task hidden from the list is still a task.
        QVERIFY(testStore().markDone(first.id, QDateTime(QDate(2030, 1, 1), QTime(10, 0))).ok());
        QCOMPARE(w.rowCount(), 0);
        QVERIFY(!hint->isVisible());
        QVERIFY(testStore().removeTask(first.id).ok());
        QVERIFY(hint->isVisible());
    }

    void theEmptyListsHelpLineIsPaintedOverTheList()
    {
        FrmMain &w = *m_window;
        w.formLoad();
        const auto *hint = ListKit::child<QLabel>(&w, "lblEmptyList");
        QTRY_VERIFY(hint->isVisible());
        QVERIFY(hintInkInWindow(w, hint) > 20);
        // The line reads from the list's left edge to its scroll bar, not over it.
        const QWidget *bar = ListKit::child<QWidget>(&w, "vscroll");
        QVERIFY(hint->geometry().right() < bar->geometry().left());

        const Module1::Commit first = testStore().commitTask(0, TestData::task(QStringLiteral("first"), {}, 2030, 1, 1));
        QVERIFY(first.ok());
        QCOMPARE(hintInkInWindow(w, hint), 0);
        QVERIFY(testStore().removeTask(first.id).ok());
        QVERIFY(hintInkInWindow(w, hint) > 20);
    }

    void theHelpLineFitsANarrowWindowAndALargeFont()
    {
        FrmMain &w = *m_window;
        w.formLoad();
        auto *hint = ListKit::child<QLabel>(&w, "lblEmptyList");
        QFont large = w.font();
        large.setPointSize(16); // the line no longer fits the narrowest list on one line
        w.setFont(large);
        w.resize(w.minimumSize());
        QTRY_COMPARE(w.size(), w.minimumSize());
        QTRY_VERIFY(hint->fontMetrics().horizontalAdvance(hint->text()) > hint->width());
        // Broken between words, every word whole, every line in the label.
        QVERIFY(hint->minimumSizeHint().width() <= hint->width());
        QVERIFY(hint->heightForWidth(hint->width()) <= hint->height());
        QVERIFY(hintInkInWindow(w, hint) > 20);
    }

    void findThatMatchesNothingLeavesTheHelpLineAway()
    {
        FrmMain &w = *m_window;
        QVERIFY(testStore().commitTask(0, TestData::task(QStringLiteral("first"), {}, 2030, 1, 1)).ok());
        w.formLoad();
        const auto *hint = ListKit::child<QLabel>(&w, "lblEmptyList");
        w.openFind();
        w.setFindText(QStringLiteral("nothing like it"));
        QCOMPARE(w.rowCount(), 0);
        // The list is not empty, only narrowed: the Find bar says so.
        QCOMPARE(ListKit::child<QLabel>(&w, "lblFindCount")->text(), QStringLiteral("No match"));
        QVERIFY(!hint->isVisible());
        QCOMPARE(hintInkInWindow(w, hint), 0);
        w.closeFind();
        QCOMPARE(w.rowCount(), 1);
        QVERIFY(!hint->isVisible());
    }

    void remindAgainIsChosenInTheOptionsMenu()
    {
        FrmMain &w = *m_window;
        auto *menu = w.findChild<QMenu *>(QStringLiteral("menu_remindagain"));
        QVERIFY(menu);
        QCOMPARE(menu->title(), QStringLiteral("Remind Again &After"));
        QVERIFY(w.findChild<QMenu *>(QStringLiteral("menu_options"))->actions().contains(menu->menuAction()));
        QStringList captions;
        for (const QAction *a : menu->actions())
            captions << a->text() + (a->isChecked() ? QStringLiteral(" *") : QString());
        QCOMPARE(captions, QStringList({u"5 minutes"_s, u"10 minutes *"_s, u"30 minutes"_s, u"1 hour"_s, u"4 hours"_s}));

        menu->actions().at(3)->trigger();
        QCOMPARE(Preferences::remindAgainMinutes(), 60);
        QVERIFY(!menu->actions().at(1)->isChecked());
        // Kept for the next start.
        m_window = std::make_unique<FrmMain>(Context{testStore(), *m_seam});
        menu = m_window->findChild<QMenu *>(QStringLiteral("menu_remindagain"));
        QVERIFY(menu->actions().at(3)->isChecked());
        QVERIFY(!menu->actions().at(1)->isChecked());
    }

    void selectionFollowsItsTaskAfterReordering()
    {
        // Not the row number: that would leave Delete on a task the user
        // never chose.
        FrmMain &w = *m_window;
        fillStore(10);
        testStore().setSortMode(2);
        w.drawList();
        w.highlight(4);
        const QString before = w.lblTitle()[4]->text();
        QTest::mouseClick(w.findChild<QPushButton *>(u"cmdDue"_s), Qt::LeftButton); // latest first
        QCOMPARE(w.selectedRow(), 7);
        QCOMPARE(w.lblTitle()[7]->text(), before);
        QVERIFY(isSelectedLook(w.lblTitle()[7]));
        QCOMPARE(countSelectedCells(), 3);
        QCOMPARE(w.findChild<QPlainTextEdit *>(u"txtDescription"_s)->toPlainText(),
                 testStore().tasks()[6].description);
    }

    void selectionClearedWhenItsRowIsGone()
    {
        FrmMain &w = *m_window;
        fillStore(6);
        w.drawList();
        w.highlight(6);
        const Module1::Records all = testStore().records();
        TestData::keepFirst(all, 5); // the last task went elsewhere
        w.drawList();
        QCOMPARE(w.selectedRow(), 0);
        QCOMPARE(countSelectedCells(), 0);
        // A row within range survives.
        w.highlight(5);
        w.drawList();
        QCOMPARE(w.selectedRow(), 5);
        w.cleanList();
        QCOMPARE(w.selectedRow(), 0);
    }

    void scrollingMovesThePanel()
    {
        FrmMain &w = *m_window;
        fillStore(1001);
        w.drawList();
        auto *bar = w.findChild<QScrollBar *>(u"vscroll"_s);
        QWidget *lst = w.findChild<QWidget *>(u"lstContainer"_s);
        bar->setValue(100);
        QCOMPARE(w.layoutGeometry().lstContainer.top, -1500.0);
        QCOMPARE(lst->y(), -100);
        // The far end of a full list, beyond a 16-bit product.
        bar->setValue(bar->maximum());
        QCOMPARE(w.layoutGeometry().lstContainer.top, -15.0 * bar->maximum());
        QCOMPARE(lst->y(), -bar->maximum());
        QVERIFY(lst->y() < -2185);
        // The last row is in view at the end.
        const QWidget *viewport = lst->parentWidget();
        const QRect last = w.lblFor()[1001]->geometry().translated(lst->pos());
        QVERIFY2(viewport->rect().contains(last), qPrintable(QStringLiteral("%1 %2").arg(last.bottom()).arg(viewport->height())));
    }

    void scrollStepsSuitALongList()
    {
        FrmMain &w = *m_window;
        fillStore(200);
        w.drawList();
        auto *bar = w.findChild<QScrollBar *>(u"vscroll"_s);
        QCOMPARE(bar->singleStep(), 17); // one row
        QCOMPARE(bar->pageStep(), int(w.layoutGeometry().pctContainer.height / 15));
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(bar->value(), 17);
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(bar->value(), 17 + bar->pageStep());
        bar->setValue(0);

        // One notch of the wheel over a row: three rows down.
        QLabel *cell = w.lblTitle()[2];
        const QPointF pos(4, 4);
        QWheelEvent notch(pos, cell->mapToGlobal(pos), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(cell, &notch);
        QCOMPARE(bar->value(), 3 * 17);
        QCOMPARE(w.findChild<QWidget *>(u"lstContainer"_s)->y(), -51);
        // Over the header and over the panel's empty part alike.
        QApplication::sendEvent(w.findChild<QPushButton *>(u"cmdFor"_s), &notch);
        QCOMPARE(bar->value(), 6 * 17);
        QApplication::sendEvent(w.findChild<QWidget *>(u"lstContainer"_s), &notch);
        QCOMPARE(bar->value(), 9 * 17);
    }

    void resizingLaysTheWindowOut()
    {
        FrmMain &w = *m_window;
        fillStore(40);
        w.drawList();
        w.resize(700, 500);
        QWidget *client = w.centralWidget();
        QTRY_COMPARE(client->size().width(), 700);
        const ListLayout::Geometry &g = w.layoutGeometry();
        QCOMPARE(g.pctContainer.width, 15.0 * client->width());
        auto *description = w.findChild<QPlainTextEdit *>(u"txtDescription"_s);
        // The description box fills the rest of the client area.
        QCOMPARE(description->geometry().bottom() + 1, client->height());
        QCOMPARE(description->width(), client->width());
        QCOMPARE(w.findChild<QWidget *>(u"pctContainer"_s)->geometry(), Twips::toPixels(g.pctContainer));
        QCOMPARE(w.findChild<QPushButton *>(u"cmdDue"_s)->geometry(), Twips::toPixels(g.cmdDue));
        // Every row follows the columns.
        for (int i : {w.builtRows().first, w.builtRows().last}) {
            QCOMPARE(w.lblFor()[i]->x(), Twips::toPixels(g.cmdFor.left));
            QCOMPARE(w.lblFor()[i]->width(), Twips::toPixels(g.cmdFor.width));
            QCOMPARE(w.lblDue()[i]->x(), Twips::toPixels(g.cmdDue.left));
            QCOMPARE(w.lblTitle()[i]->width(), Twips::toPixels(g.cmdTitle.width));
        }
        // The bar sits at the panel's right edge, fully inside the viewport.
        auto *bar = w.findChild<QScrollBar *>(u"vscroll"_s);
        const QWidget *viewport = bar->parentWidget();
        QVERIFY(viewport->rect().contains(bar->geometry()));
        QVERIFY(bar->geometry().right() >= viewport->width() - 3);
        QCOMPARE(bar->maximum(), g.scrollMax);
    }

    void growingWhileScrolledToTheEndPullsBack()
    {
        FrmMain &w = *m_window;
        fillStore(60);
        w.drawList();
        auto *bar = w.findChild<QScrollBar *>(u"vscroll"_s);
        bar->setValue(bar->maximum());
        const int before = bar->maximum();
        w.resize(w.width(), w.height() + 200);
        QTRY_VERIFY(bar->maximum() < before);
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(w.findChild<QWidget *>(u"lstContainer"_s)->y(), -bar->maximum());
    }

    void aListThatShrinksAtOnceGoesBackToTheTop()
    {
        // Scrolled to the end of 40 rows, then 3 in one redraw: by a change
        // made elsewhere, then by hiding 37 done tasks.
        FrmMain &w = *m_window;
        auto *bar = w.findChild<QScrollBar *>(u"vscroll"_s);
        QWidget *panel = w.findChild<QWidget *>(u"lstContainer"_s);
        fillStore(40);
        w.drawList();
        bar->setValue(bar->maximum());
        const Module1::Records all = testStore().records();
        TestData::keepFirst(all, 3);
        Q_EMIT testStore().changed();
        QCOMPARE(bar->maximum(), 0);
        QCOMPARE(panel->y(), 0); // the heading and the rows in view

        TestData::keepFirst(all, 40);
        for (int i = 3; i < 40; ++i) {
            TestData::editTask(i, [&](Module1::Task &edited) { edited.doneText = QStringLiteral("2030-01-01 00:00:00"); });
        }
        w.setShowDoneTasks(true);
        bar->setValue(bar->maximum());
        QVERIFY(panel->y() < -100);
        w.findChild<QAction *>(u"menu_showdone"_s)->trigger();
        QCOMPARE(w.rowCount(), 3);
        QCOMPARE(bar->maximum(), 0);
        QCOMPARE(panel->y(), 0);
    }

    void tinyWindowKeepsTheHeadingAndThreeRows()
    {
        // Shrinking below what makes sense stops at a size that still shows
        // the heading and three rows (a minimised window is laid out by the
        // same steps, each skipped on its own; the layout's tests cover that).
        FrmMain &w = *m_window;
        fillStore(10);
        w.drawList();
        w.resize(60, 40);
        QWidget *client = w.centralWidget();
        QTRY_COMPARE(client->size(), client->minimumSize());
        QVERIFY(client->height() > 40 && client->width() > 60);
        const QWidget *viewport = w.findChild<QWidget *>(u"lstContainer"_s)->parentWidget();
        const QWidget *panel = w.findChild<QWidget *>(u"lstContainer"_s);
        for (QWidget *shown : {static_cast<QWidget *>(w.findChild<QPushButton *>(u"cmdDue"_s)),
                               static_cast<QWidget *>(w.lblTitle()[3]), static_cast<QWidget *>(w.lblDue()[3])}) {
            const QRect inViewport = shown->geometry().translated(panel->pos());
            QVERIFY2(viewport->rect().contains(inViewport), qPrintable(shown->objectName()));
        }
        // The description box is still below the list, whole.
        auto *description = w.findChild<QPlainTextEdit *>(u"txtDescription"_s);
        QCOMPARE(description->geometry().bottom() + 1, client->height());
        QVERIFY(description->y() >= w.findChild<QWidget *>(u"pctContainer"_s)->geometry().bottom());
    }

    void keysMoveTheSelectionAndKeepItInView()
    {
        FrmMain &w = *m_window;
        fillStore(200);
        w.drawList();
        QWidget *list = w.findChild<QWidget *>(u"pctContainer"_s);
        // The list has the keyboard from the start.
        QTRY_COMPARE(QApplication::focusWidget(), list);
        const auto rowInView = [&](int row) {
        const QWidget *panel = w.findChild<QWidget *>(u"lstContainer"_s);
            const QRect cell = w.lblTitle()[row]->geometry().translated(panel->pos());
            return panel->parentWidget()->rect().contains(cell);
        };
        QTest::keyClick(list, Qt::Key_Down); // nothing selected yet: the first row
        QCOMPARE(w.selectedRow(), 1);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(w.selectedRow(), 2);
        QCOMPARE(w.findChild<QPlainTextEdit *>(u"txtDescription"_s)->toPlainText(), testStore().tasks()[1].description);
        QTest::keyClick(list, Qt::Key_Up);
        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(w.selectedRow(), 1);
        const int page = ListLayout::rowsPerPage(w.layoutGeometry());
        QVERIFY(page >= 5);
        QTest::keyClick(list, Qt::Key_PageDown);
        QCOMPARE(w.selectedRow(), 1 + page);
        QVERIFY(rowInView(1 + page));
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(w.selectedRow(), 200);
        QVERIFY(rowInView(200));
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(w.selectedRow(), 200);
        QTest::keyClick(list, Qt::Key_PageUp);
        QCOMPARE(w.selectedRow(), 200 - page);
        QVERIFY(rowInView(200 - page));
        QTest::keyClick(list, Qt::Key_Home);
        QCOMPARE(w.selectedRow(), 1);
        QVERIFY(rowInView(1));
        QCOMPARE(w.findChild<QScrollBar *>(u"vscroll"_s)->value(), 0);
    }

    void tabAndClicksReachTheList()
    {
        FrmMain &w = *m_window;
        fillStore(5);
        w.drawList();
        auto *description = w.findChild<QPlainTextEdit *>(u"txtDescription"_s);
        QWidget *list = w.findChild<QWidget *>(u"pctContainer"_s);
        description->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(description));
        QTest::keyClick(description, Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), list);
        description->setFocus();
        QTest::mouseClick(w.lblFor()[3], Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), list);
        QCOMPARE(w.selectedRow(), 3);
        // The border shows where the keyboard is.
        QCOMPARE(list->palette().color(QPalette::WindowText), w.palette().color(QPalette::Highlight));
    }

    void wheelMovesThreeRowsWhateverIsHeld_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::newRow("nothing") << int(Qt::NoModifier);
        QTest::newRow("Shift") << int(Qt::ShiftModifier);
        QTest::newRow("Ctrl") << int(Qt::ControlModifier);
    }

    void wheelMovesThreeRowsWhateverIsHeld()
    {
        QFETCH(int, modifiers);
        FrmMain &w = *m_window;
        fillStore(200);
        w.drawList();
        auto *bar = w.findChild<QScrollBar *>(u"vscroll"_s);
        for (QWidget *over : {static_cast<QWidget *>(w.lblTitle()[2]), static_cast<QWidget *>(bar)}) {
            bar->setValue(0);
            const QPointF pos(4, 4);
            QWheelEvent notch(pos, over->mapToGlobal(pos), QPoint(), QPoint(0, -120), Qt::NoButton,
                              Qt::KeyboardModifiers(modifiers), Qt::NoScrollPhase, false);
            QApplication::sendEvent(over, &notch);
            QCOMPARE(bar->value(), 3 * bar->singleStep());
            // A fine wheel adds up to the same three rows.
            for (int i = 0; i < 8; ++i) {
                QWheelEvent fine(pos, over->mapToGlobal(pos), QPoint(), QPoint(0, 15), Qt::NoButton,
                                 Qt::KeyboardModifiers(modifiers), Qt::NoScrollPhase, false);
                QApplication::sendEvent(over, &fine);
            }
            QCOMPARE(bar->value(), 0);
        }
    }

    void longTextEndsInAnEllipsisAndShowsWholeInATooltip()
    {
        FrmMain &w = *m_window;
        const QString title = QStringLiteral("A title much too long for its column, ") + QString(300, u'w');
        TestData::addTask(TestData::dueIn(title, 3, QStringLiteral("Me")));
        TestData::addTask(TestData::dueIn(QStringLiteral("Short"), 4, QStringLiteral("Me")));
        w.drawList();
        ListCell *cell = w.lblTitle()[1];
        QCOMPARE(cell->text(), title);
        const QString shown = cell->shownText();
        QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(shown));
        QVERIFY(cell->fontMetrics().horizontalAdvance(shown) <= cell->contentsRect().width());
        QVERIFY(title.startsWith(shown.chopped(1)));
        QCOMPARE(w.lblTitle()[2]->shownText(), QStringLiteral("Short"));
        // Hovering shows the whole text, markup characters as typed.
        // Nothing to add over a text that fits.
        QHelpEvent fits(QEvent::ToolTip, QPoint(4, 4), w.lblTitle()[2]->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(w.lblTitle()[2], &fits);
        QVERIFY(!QToolTip::isVisible());
        QHelpEvent help(QEvent::ToolTip, QPoint(4, 4), cell->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(cell, &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QVERIFY2(QToolTip::text().contains(title), qPrintable(QToolTip::text().left(80)));
        QToolTip::hideText();
    }

    void descriptionCannotBeEdited()
    {
        FrmMain &w = *m_window;
        fillStore(3);
        TestData::editTask(1, [&](Module1::Task &edited) { edited.description = QStringLiteral("keep\r\nme"); });
        w.drawList();
        w.highlight(2);
        auto *box = w.findChild<QPlainTextEdit *>(u"txtDescription"_s);
        const QString shown = box->toPlainText();
        QCOMPARE(shown, QStringLiteral("keep\nme"));
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("typed"));
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_Return);
        QApplication::clipboard()->setText(QStringLiteral("pasted"));
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Delete);
        QCOMPARE(box->toPlainText(), shown);
        // Whatever the context menu offers leaves the text alone.
        std::unique_ptr<QMenu> menu(box->createStandardContextMenu());
        for (QAction *a : menu->actions()) {
            if (a->isEnabled() && !a->isSeparator())
                a->trigger();
        }
        QCOMPARE(box->toPlainText(), shown);
        // Nor does text dropped on it or composed by an input method.
        QMimeData mime;
        mime.setText(QStringLiteral("dropped"));
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(box->viewport(), &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(box->viewport(), &drop);
        QCOMPARE(box->toPlainText(), shown);
        QInputMethodEvent composed;
        composed.setCommitString(QStringLiteral("composed"));
        QApplication::sendEvent(box, &composed);
        QCOMPARE(box->toPlainText(), shown);
        QCOMPARE(testStore().tasks()[1].description, QStringLiteral("keep\r\nme"));
    }

    void timerWithoutIntervalNeverTicks()
    {
        FrmMain &w = *m_window;
        PausableTimer *timer = w.timer1();
        QCOMPARE(timer->interval(), 0);
        QSignalSpy ticks(timer, &PausableTimer::timeout);
        timer->setEnabled(false);
        timer->setEnabled(true);
        QVERIFY(timer->isEnabled());
        QVERIFY(!timer->isTicking());
        // A zero-interval Qt timer would fire on every one of these passes.
        fillStore(2);
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCOMPARE(ticks.count(), 0);
        QCOMPARE(w.rowCount(), 0); // no redraw happened
    }

    void timerWithAnIntervalRedraws()
    {
        FrmMain &w = *m_window;
        PausableTimer *timer = w.timer1();
        fillStore(4);
        timer->setInterval(10);
        QVERIFY(timer->isTicking());
        QTRY_COMPARE(w.rowCount(), 4);
        timer->setEnabled(false);
        QVERIFY(!timer->isTicking());
        timer->setEnabled(true);
        QVERIFY(timer->isTicking());
        timer->setInterval(0);
        QVERIFY(!timer->isTicking());
    }

    void loadProblemsAreShownOnce()
    {
        FrmMain &w = *m_window;
        StoreSandbox::write("; Quorvi\r\n[Tasks]\r\nttl=A\r\nab\r\nact=addtask\r\n\r\n");
        w.formLoad();
        QCOMPARE(w.rowCount(), 1);
        QCOMPARE(m_seam->messages.size(), 1);
        w.formLoad();
        QCOMPARE(m_seam->messages.size(), 1);
    }

    void rowNumbersPastTheListSelectNothing()
    {
        FrmMain &w = *m_window;
        addColourRules();
        fillStore(1001);
        TestData::editTask(1000, [&](Module1::Task &edited) { edited = TestData::dueIn(QStringLiteral("late"), -5); });
        w.drawList();
        for (int row : {1002, 0, -1})
            w.highlight(row); // no task behind it: nothing to select
        QCOMPARE(w.selectedRow(), 0);
        QCOMPARE(w.slotOfRow(1002), -1);
        w.highlight(1001);
        QCOMPARE(w.selectedRow(), 1001);
    }

    void captionsFitTheirControls()
    {
        FrmMain &w = *m_window;
        TestData::addTask(TestData::task(QStringLiteral("Gypsy jig"), QStringLiteral("Quy"), 2030, 12, 28, 23, 59, 59));
        addColourRules();
        w.drawList();
        for (const char *name : {"cmdTitle", "cmdFor", "cmdDue"}) {
            const QPushButton *b = w.findChild<QPushButton *>(QString::fromLatin1(name));
            QVERIFY2(b->fontMetrics().height() <= b->height() - 2, name);
            QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) < b->width() - 4, name);
        }
        for (const QLabel *cell : {w.lblTitle()[1], w.lblFor()[1], w.lblDue()[1]}) {
            QVERIFY(cell->fontMetrics().height() <= cell->height());
        }
        // The due cell holds a whole date and time at the window's opening width.
        QVERIFY(w.lblDue()[1]->fontMetrics().horizontalAdvance(w.lblDue()[1]->text()) <= w.lblDue()[1]->width());
    }

private:
    // Appended to the tables at once: a task at a time would copy them each time.
    static void fillStore(int count)
    {
        QList<Module1::Task> tasks(testStore().tasks().begin(), testStore().tasks().end());
        for (int i = 0; i < count; ++i) {
            Module1::Task t = TestData::dueIn(QStringLiteral("Task %1").arg(count - i, 4, 10, QLatin1Char('0')),
                                              (i * 37) % 400 - 100, QStringLiteral("For %1").arg(i % 17));
            t.description = QStringLiteral("Description %1").arg(i);
            tasks << t;
        }
        TestData::setTables(tasks, {testStore().rules().begin(), testStore().rules().end()});
    }

    static void addColourRules()
    {
        TestData::addRule(7, kGreen, false);
        TestData::addRule(0, kBlue, true);
        TestData::addRule(2, kRed, false);
    }

    // The rows the viewport shows have cells with their task's texts and
    // look, in their place; no cell shows for a row far from the view.
    void checkRowsInView(const FrmMain &w) const
    {
        const QWidget *panel = w.findChild<QWidget *>(u"lstContainer"_s);
        const QWidget *viewport = panel->parentWidget();
        const ListLayout::RowSpan built = w.builtRows();
        QVERIFY(built.first <= built.last);
        // The span reaches past both edges of what is seen, where there are rows.
        const auto seen = [&](int row) {
            return viewport->rect().intersects(w.lblFor()[row]->geometry().translated(panel->pos()));
        };
        QVERIFY(built.first == 1 || !seen(built.first));
        QVERIFY(built.last == w.rowCount() || !seen(built.last));
        QVERIFY(built.last - built.first < 60);
        QCOMPARE(countVisibleCells(), 3 * (built.last - built.first + 1));
        const QDate today = Clock::today();
        for (int row = built.first; row <= built.last; ++row) {
            const Module1::Task &t = testStore().tasks()[std::size_t(w.slotOfRow(row))];
            const std::array<const ListCell *, 3> cells = {w.lblTitle()[row], w.lblFor()[row], w.lblDue()[row]};
            QCOMPARE(cells[0]->text(), t.title);
            QCOMPARE(cells[1]->text(), t.forWhom);
            QCOMPARE(cells[2]->text(), t.dueText);
            QCOMPARE(cells[0]->objectName(), QStringLiteral("lblTitle"));
            QCOMPARE(cells[1]->objectName(), QStringLiteral("lblFor"));
            QCOMPARE(cells[2]->objectName(), QStringLiteral("lblDue"));
            for (const ListCell *cell : cells) {
                QCOMPARE(cell->row(), row);
                QVERIFY(cell->isVisible());
                // Stacked one row apart under the header buttons.
                QCOMPARE(cell->y(), Twips::toPixels(255.0 * row));
                QCOMPARE(cell->height(), 17);
                if (row != w.selectedRow()) {
                    QCOMPARE(cell->look().color, Rules::choose(t, testStore().rules(), today).color);
                    QCOMPARE(cell->font().bold(), Rules::choose(t, testStore().rules(), today).dueOrLate);
                }
            }
        }
        for (int row : {built.first - 1, built.last + 1, built.first - 40, built.last + 40}) {
            if (row >= 1 && row <= w.rowCount())
                QVERIFY(!w.lblTitle()[row] && !w.lblFor()[row] && !w.lblDue()[row]);
        }
    }

    int countVisibleCells() const
    {
        int n = 0;
        for (const ListCell *cell : m_window->findChildren<ListCell *>()) {
            if (cell->isVisible())
                ++n;
        }
        return n;
    }

    int countSelectedCells() const
    {
        int n = 0;
        for (const ListCell *cell : m_window->findChildren<ListCell *>()) {
            if (cell->isVisible() && isSelectedLook(cell))
                ++n;
        }
        return n;
    }

    std::unique_ptr<StoreSandbox> m_sandbox;
    std::unique_ptr<FakeSeam> m_seam;
    std::unique_ptr<FrmMain> m_window;
};

QTEST_MAIN(TestFrmMain)
#include "test_frmmain.moc"
