// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "storedialog.h"

class CalendarButton;
class QComboBox;
class QDate;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// "New / Edit task": edits a copy of one task. Every change in a box is
// written straight into the copy; Ok commits it through the store (saved,
// read back and drawn), Cancel throws it away.
class FrmTask : public StoreDialog
{
    Q_OBJECT
public:
    explicit FrmTask(const Context &context, QWidget *parent = nullptr);

    // Edits a copy of the task in slot index - 1 (index counts from 1). A
    // number outside the table leaves the dialog editing nothing.
    void prepare(int index);
    // Edits a new task, blank unless `start` says otherwise, which Ok adds
    // to the store.
    void prepareNew(const Module1::Task &start = {});

    // The slot number being edited (from 1; past the table for a new task);
    // -1 after Cancel, 0 when prepare refused.
    int selected() const { return m_selected; }
    // The copy being edited, and the task it was taken from (0 when new).
    const Module1::Task &record() const { return m_task; }
    Module1::TaskId editedId() const { return m_original.id; }
    const Module1::Task &original() const { return m_original; }

protected:
    void cancel() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void connectHandlers();
    Module1::Task *editing();
    void fill(const Module1::Task &t);

    void monthChosen(int index);
    void descriptionEdited();
    // The repeat choice into the record, as the user sets it; `dateMoved`
    // when the due date changed and a monthly or yearly task follows its day.
    void repeatChanged(bool dateMoved = false);
    void saveAndClose();
    // The line under the time row: the moment the boxes make, as Ok saves it.
    void showDuePreview();
    // A day picked in the calendar goes into the three date boxes.
    void dateChosen(QDate date);

    int m_selected = 0;
    Module1::Task m_task;     // the copy the boxes write into
    Module1::Task m_original; // as the store held it when the copy was taken
    // While prepare fills the boxes: a stored repetition is kept as it is,
    // even one the boxes cannot show.
    bool m_preparing = false;

    QLineEdit *txtTitle = nullptr;
    QLineEdit *txtFor = nullptr;
    QLineEdit *txtDay = nullptr;
    QComboBox *lstMonth = nullptr;
    QLineEdit *txtYear = nullptr;
    CalendarButton *cmdCalendar = nullptr;
    QLineEdit *txtHour = nullptr;
    QLineEdit *txtMinute = nullptr;
    QLineEdit *txtSecond = nullptr;
    QLabel *lblDuePreview = nullptr;
    QPlainTextEdit *txtDescript = nullptr;
    QComboBox *lstRepeat = nullptr;
    QLineEdit *txtRepeatCount = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
};
