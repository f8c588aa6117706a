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

namespace Module1 {
struct Task;
}

// "New / Edit task": edits one slot of Module1::tasks in place. Every change
// in a box is written straight into the record; Ok makes it permanent by
// rewriting the store, Cancel throws it away by reloading the store.
class FrmTask : public StoreDialog
{
    Q_OBJECT
public:
    explicit FrmTask(QWidget *parent = nullptr);

    // Edits slot index - 1 (index counts from 1, up to 1001). A number outside
    // that range leaves the tables alone and the dialog edits nothing.
    void prepare(int index);

    // The slot number being edited; -1 after Cancel, 0 when prepare refused.
    int selected() const { return m_selected; }

protected:
    void cancel() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void connectHandlers();
    Module1::Task *record() const;

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
