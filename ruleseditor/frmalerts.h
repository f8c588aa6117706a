// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "storedialog.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLineEdit;
class QPushButton;

// "Colors & Alerts": shows one rule of Module1::rules at a time and edits it
// in place. Ok rewrites the store; Cancel reloads it, dropping every change.
class FrmAlerts : public StoreDialog
{
    Q_OBJECT
public:
    explicit FrmAlerts(QWidget *parent = nullptr);

    // Shows the rule in slot `index` (0-based, up to 100); the dialog always
    // holds at least one rule, so an empty table gets rule 1 here.
    void drawAlert(int index);

protected:
    void cancel() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void connectHandlers();
    // The slot of the rule shown, read back from lblID as every handler does.
    int currentSlot() const;
    int currentNumber() const;
    void showSwatch(qint32 color);

    void showPreviousRule();
    void showNextRule();
    void addRule();
    void deleteShownRule();
    void chooseRuleColor();
    void setRulePopup(bool checked);
    void txtInterval_Change(const QString &text);
    void saveAndClose();

    QGroupBox *Frame1 = nullptr;
    QPushButton *cmdBack = nullptr;
    QLineEdit *lblID = nullptr;
    QPushButton *cmdNext = nullptr;
    QPushButton *cmdNew = nullptr;
    QLineEdit *txtInterval = nullptr;
    QFrame *pctColor = nullptr;
    QPushButton *cmdSelect = nullptr;
    QCheckBox *chkAlert = nullptr;
    QPushButton *cmdDelete = nullptr;
    QPushButton *cmdOk = nullptr;
    QPushButton *cmdCancel = nullptr;
};
