// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ruleops.h"
#include "storedialog.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLineEdit;
class QPushButton;

// "Colors & Alerts": edits a copy of the store's rules, one rule at a time.
// Ok commits the copy through the store; Cancel throws it away.
class FrmAlerts : public StoreDialog
{
    Q_OBJECT
public:
    explicit FrmAlerts(const Context &context, QWidget *parent = nullptr);

    // Takes a fresh copy of the store's rules, as each opening does.
    void prepare();
    // Shows the rule in slot `index` (0-based) of the copy; the dialog always
    // holds at least one rule, so an empty table gets rule 1 here.
    void drawAlert(int index);

    // The copy being edited.
    const RuleOps::Rules &rulesShown() const { return m_rules; }

protected:
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

    RuleOps::Rules m_rules;    // the copy the controls write into
    RuleOps::Rules m_original; // as the store held them when it was taken

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
