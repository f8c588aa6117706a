// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmtask.h"

#include "calendarbutton.h"
#include "clock.h"
#include "dueboxes.h"
#include "modal.h"
#include "numbers.h"
#include "repeat.h"
#include "rules.h"
#include "taskfields.h"
#include "twips.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <limits>

namespace {

// Labels are as tall as the boxes beside them, so their text sits on the
// same line as the text in the box.
constexpr double kRowHeight = 285;

QLabel *addLabel(QWidget *parent, const QString &text, double left, double top, double width,
                 Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(align);
    Twips::place(label, left, top, width, kRowHeight);
    return label;
}

QLineEdit *addBox(QWidget *parent, const char *name, double left, double top, double width, bool centred)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    // The default limit of 32767 characters would cut a longer stored title
    // as soon as the editor shows it, and Ok would save the cut text.
    box->setMaxLength(std::numeric_limits<int>::max());
    if (centred)
        box->setAlignment(Qt::AlignCenter);
    Twips::place(box, left, top, width, kRowHeight);
    return box;
}

// The line that says what the date and time boxes make sits below the time
// row, across the dialog; a long date in a wordy locale wraps onto a second
// line there. Everything from the description on moved down by that room.
constexpr double kPreviewTop = 1800;
constexpr double kPreviewHeight = 420;
constexpr double kBelowPreview = kPreviewHeight + 60;
// The calendar button follows the year box; the dialog is wider by it.
constexpr double kCalendarLeft = 3915;
constexpr double kCalendarWidth = 300;
constexpr double kDialogWidth = kCalendarLeft + kCalendarWidth + 120;

// The Repeat row sits where the buttons were; the dialog grew by one row
// below it, and nothing above it moved.
constexpr double kRepeatTop = 2880 + kBelowPreview;
constexpr double kButtonTop = kRepeatTop + 360;

QPushButton *addButton(QWidget *parent, const char *name, const QString &caption, double left)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    // Enter in a box must not press either button: without a default button
    // a dialog would otherwise promote the first one it finds.
    button->setAutoDefault(false);
    Twips::place(button, left, kButtonTop, 975, 255);
    return button;
}

} // namespace

FrmTask::FrmTask(const Context &context, QWidget *parent)
    : StoreDialog(context, parent, QStringLiteral("frmTask"), QStringLiteral("New / Edit task"), kDialogWidth,
                  kButtonTop + 345)
{
    buildControls();
    connectHandlers();
}

void FrmTask::buildControls()
{
    // Labels first: a label created later would be drawn over its box.
    addLabel(this, QStringLiteral("Title:"), 120, 120, 705);
    addLabel(this, QStringLiteral("For:"), 120, 480, 705);
    addLabel(this, QStringLiteral("Due:"), 120, 840, 705);
    addLabel(this, QStringLiteral("(yyyy)"), 3240, 1200, 615, Qt::AlignHCenter | Qt::AlignTop);
    addLabel(this, QStringLiteral("Time:"), 120, 1440, 705);
    addLabel(this, QStringLiteral(":"), 1200, 1440, 255, Qt::AlignCenter);
    addLabel(this, QStringLiteral(":"), 1800, 1440, 255, Qt::AlignCenter);
    addLabel(this, QStringLiteral("Description:"), 120, 1800 + kBelowPreview, 1500);
    addLabel(this, QStringLiteral("Repeat:"), 120, kRepeatTop, 705);
    addLabel(this, QStringLiteral("Count:"), 2520, kRepeatTop, 660, Qt::AlignRight | Qt::AlignVCenter);

    txtTitle = addBox(this, "txtTitle", 840, 120, 3015, false);
    txtFor = addBox(this, "txtFor", 840, 480, 3015, false);
    txtDay = addBox(this, "txtDay", 840, 840, 375, true);

    lstMonth = new QComboBox(this);
    lstMonth->setObjectName(QStringLiteral("lstMonth"));
    lstMonth->addItems(TaskFields::monthNames());
    lstMonth->setCurrentIndex(-1);
    Twips::place(lstMonth, 1320, 840, 1815, 315);

    txtYear = addBox(this, "txtYear", 3240, 840, 615, true);
    cmdCalendar = new CalendarButton(this);
    Twips::place(cmdCalendar, kCalendarLeft, 840, kCalendarWidth, kRowHeight);
    txtHour = addBox(this, "txtHour", 840, 1440, 375, true);
    txtMinute = addBox(this, "txtMinute", 1440, 1440, 375, true);
    txtSecond = addBox(this, "txtSecond", 2040, 1440, 375, true);

    txtDescript = new QPlainTextEdit(this);
    txtDescript->setObjectName(QStringLiteral("txtDescript"));
    txtDescript->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves on to the buttons, as in every other box of the dialog.
    txtDescript->setTabChangesFocus(true);
    Twips::place(txtDescript, 120, 2040 + kBelowPreview, 3735, 735);

    lblDuePreview = new QLabel(this);
    lblDuePreview->setObjectName(QStringLiteral("lblDuePreview"));
    lblDuePreview->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDuePreview->setWordWrap(true);
    Twips::place(lblDuePreview, 120, kPreviewTop, kDialogWidth - 240, kPreviewHeight);

    lstRepeat = new QComboBox(this);
    lstRepeat->setObjectName(QStringLiteral("lstRepeat"));
    lstRepeat->addItems(TaskFields::repeatChoices());
    Twips::place(lstRepeat, 840, kRepeatTop, 1575, 315);
    txtRepeatCount = addBox(this, "txtRepeatCount", 3240, kRepeatTop, 615, true);
    txtRepeatCount->setToolTip(QStringLiteral("How many days, weeks, months or years apart: 2 is every other one"));

    Command1 = addButton(this, "Command1", QStringLiteral("&Ok"), 2880);
    Command2 = addButton(this, "Command2", QStringLiteral("&Cancel"), 1800);
    Command1->installEventFilter(this);
    Command2->installEventFilter(this);

    QWidget *order[] = {txtTitle,  txtFor,    txtDay,      lstMonth,  txtYear,        cmdCalendar, txtHour,
                        txtMinute, txtSecond, txtDescript, lstRepeat, txtRepeatCount, Command1,    Command2};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void FrmTask::connectHandlers()
{
    const auto text = [this](QLineEdit *box, QString Module1::Task::*field) {
        connect(box, &QLineEdit::textChanged, this, [this, field](const QString &value) {
            if (Module1::Task *t = editing())
                t->*field = TaskFields::singleLine(value);
        });
    };
    const auto number = [this](QLineEdit *box, qint16 Module1::Task::*field) {
        connect(box, &QLineEdit::textChanged, this, [this, field](const QString &value) {
            if (Module1::Task *t = editing())
                t->*field = Numbers::readInt16(value);
        });
    };
    text(txtTitle, &Module1::Task::title);
    text(txtFor, &Module1::Task::forWhom);
    number(txtDay, &Module1::Task::day);
    number(txtYear, &Module1::Task::year);
    // A monthly or yearly task belongs to its day of the month.
    for (QLineEdit *date : {txtDay, txtYear})
        connect(date, &QLineEdit::textChanged, this, [this] { repeatChanged(true); });
    connect(lstRepeat, &QComboBox::currentIndexChanged, this, [this] { repeatChanged(); });
    connect(txtRepeatCount, &QLineEdit::textChanged, this, [this] { repeatChanged(); });
    number(txtHour, &Module1::Task::hour);
    number(txtMinute, &Module1::Task::minute);
    number(txtSecond, &Module1::Task::second);
    connect(lstMonth, &QComboBox::currentIndexChanged, this, &FrmTask::monthChosen);
    connect(lstMonth, &QComboBox::currentIndexChanged, this, [this] { repeatChanged(true); });
    connect(txtDescript, &QPlainTextEdit::textChanged, this, &FrmTask::descriptionEdited);
    // After the handlers above, so the record already holds what was typed.
    for (QLineEdit *part : {txtDay, txtYear, txtHour, txtMinute, txtSecond})
        connect(part, &QLineEdit::textChanged, this, &FrmTask::showDuePreview);
    connect(lstMonth, &QComboBox::currentIndexChanged, this, &FrmTask::showDuePreview);
    connect(cmdCalendar, &CalendarButton::opening, this, [this] {
        if (const Module1::Task *t = editing())
            cmdCalendar->openOn(Rules::dueDate(*t), Clock::today());
    });
    connect(cmdCalendar, &CalendarButton::chosen, this, &FrmTask::dateChosen);
    connect(Command1, &QPushButton::clicked, this, &FrmTask::saveAndClose);
    connect(Command2, &QPushButton::clicked, this, &FrmTask::cancel);
}

Module1::Task *FrmTask::editing()
{
    return m_selected >= 1 ? &m_task : nullptr;
}

void FrmTask::prepare(int index)
{
    if (index < 1 || index > store().taskCount()) {
        // No task to edit: whatever is typed now goes nowhere.
        m_selected = 0;
        return;
    }
    m_original = store().tasks()[std::size_t(index - 1)];
    m_selected = index;
    fill(m_original);
}

void FrmTask::prepareNew(const Module1::Task &start)
{
    m_original = Module1::Task{};
    m_selected = store().taskCount() + 1;
    fill(start);
}

void FrmTask::fill(const Module1::Task &t)
{
    // The copy first: filling the boxes fires their change handlers, which
    // write into it.
    m_task = t;
    m_preparing = true;
    txtTitle->setText(t.title);
    txtFor->setText(t.forWhom);
    txtDay->setText(QString::number(t.day));
    txtYear->setText(QString::number(t.year));
    txtDescript->setPlainText(TaskFields::descriptionForEditor(t.description));
    txtMinute->setText(QString::number(t.minute));
    txtHour->setText(QString::number(t.hour));
    txtSecond->setText(QString::number(t.second));
    lstMonth->setCurrentIndex(TaskFields::monthIndex(t.month));
    const TaskFields::RepeatShown repeat = TaskFields::repeatShown(t.repeatText);
    lstRepeat->setCurrentIndex(repeat.row);
    txtRepeatCount->setText(QString::number(repeat.count));
    txtRepeatCount->setEnabled(repeat.row > 0);
    m_preparing = false;
    showDuePreview();
    txtTitle->setFocus();
}

void FrmTask::repeatChanged(bool dateMoved)
{
    Module1::Task *t = editing();
    if (m_preparing || !t)
        return;
    const int row = lstRepeat->currentIndex();
    txtRepeatCount->setEnabled(row > 0);
    if (dateMoved) {
        // Only a monthly or yearly task takes the new day as its own; any
        // other repetition, or one the list could not show, stays as stored.
        const std::optional<Repeat::Rule> rule = Repeat::parse(t->repeatText);
        if (!rule || !Repeat::byMonths(rule->unit))
            return;
        t->repeatText = TaskFields::repeatStored(row, txtRepeatCount->text(), Rules::dueDate(*t));
        return;
    }
    t->repeatText = TaskFields::repeatStored(row, txtRepeatCount->text(), Rules::dueDate(*t), t->repeatText);
}

void FrmTask::showDuePreview()
{
    // Filling the boxes one by one would show it for each; fill() shows it once.
    if (m_preparing)
        return;
    const Module1::Task *t = editing();
    lblDuePreview->setText(t ? DuePreview::text(*t, Clock::now(), locale()) : QString());
}

void FrmTask::dateChosen(QDate date)
{
    // Through the boxes, so every handler sees the new date as if typed.
    txtDay->setText(QString::number(date.day()));
    lstMonth->setCurrentIndex(date.month() - 1);
    txtYear->setText(QString::number(date.year()));
}

void FrmTask::monthChosen(int index)
{
    Module1::Task *t = editing();
    qint16 month = 0;
    // No row picked (a stored month the list cannot show): the month is kept.
    if (t && TaskFields::monthFromIndex(index, &month))
        t->month = month;
}

void FrmTask::descriptionEdited()
{
    if (Module1::Task *t = editing())
        t->description = TaskFields::descriptionFromEditor(txtDescript->document()->toRawText());
}

bool FrmTask::eventFilter(QObject *watched, QEvent *event)
{
    // Neither button is a default one (Enter in a box must press nothing),
    // so Enter on a focused button is pressed here, as Space is by Qt.
    if ((watched == Command1 || watched == Command2) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            static_cast<QPushButton *>(watched)->click();
            return true;
        }
    }
    return StoreDialog::eventFilter(watched, event);
}

void FrmTask::saveAndClose()
{
    if (m_selected < 1) {
        // Nothing to commit: prepare refused its number.
        settle();
        return;
    }
    // The copy stays, and the dialog open, when the save fails.
    closeAfter(store().commitTask(m_original.id, m_task, m_original.id != 0 ? &m_original : nullptr,
                                  [this] { settle(); }));
}

void FrmTask::cancel()
{
    m_selected = -1;
    StoreDialog::cancel();
}
