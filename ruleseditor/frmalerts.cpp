// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmalerts.h"

#include "colors.h"

#include "numbers.h"
#include "ruleops.h"
#include "twips.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

QPushButton *addButton(QWidget *parent, const char *name, const QString &caption, double left, double top,
                       double width)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    Twips::place(button, left, top, width, 255);
    return button;
}

// The sentence labels were measured for a narrower font than most desktops
// use; a caption that would run under the box beside it is set a little
// narrower instead (a condensed face where the font has one). Past a point
// that would be hard to read, so it wraps onto a second line instead, which
// the rows have room for.
void fitCaption(QLabel *label)
{
    constexpr int kNarrowestStretch = 85;
    const QRect room = label->contentsRect();
    const auto fits = [&](const QFont &font) {
        const QRect need = QFontMetrics(font).boundingRect(room, int(label->alignment()), label->text());
        return need.width() <= room.width();
    };
    if (fits(label->font()))
        return;
    // Hinting makes widths jump about between stretches, so each is tried.
    for (int stretch = 99; stretch >= kNarrowestStretch; --stretch) {
        QFont narrow = label->font();
        narrow.setStretch(stretch);
        if (fits(narrow)) {
            label->setFont(narrow);
            return;
        }
    }
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->resize(label->width(), label->heightForWidth(label->width()));
}

QLabel *addLabel(QWidget *parent, const QString &text, double left, double top, double width, double height = 285)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Twips::place(label, left, top, width, height);
    fitCaption(label);
    return label;
}

} // namespace

FrmAlerts::FrmAlerts(const Context &context, QWidget *parent)
    : StoreDialog(context, parent, QStringLiteral("frmAlerts"), QStringLiteral("Colors & Alerts"), 3585, 2595)
{
    buildControls();
    connectHandlers();
}

void FrmAlerts::buildControls()
{
    // The caption's trailing blanks keep the frame's border from running
    // behind the number row, which sits on the frame's top edge.
    Frame1 = new QGroupBox(QStringLiteral("Rule #") + QString(41, QLatin1Char(' ')), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Twips::place(Frame1, 120, 120, 3375, 2055);

    addLabel(Frame1, QStringLiteral("If project is due in:"), 120, 360, 1440);
    txtInterval = new QLineEdit(Frame1);
    txtInterval->setObjectName(QStringLiteral("txtInterval"));
    txtInterval->setAlignment(Qt::AlignCenter);
    Twips::place(txtInterval, 1560, 360, 615, 285);
    addLabel(Frame1, QStringLiteral("days or less,"), 2280, 360, 1080);

    addLabel(Frame1, QStringLiteral("Change color to:"), 120, 840, 1440, 255);
    pctColor = new QFrame(Frame1);
    pctColor->setObjectName(QStringLiteral("pctColor"));
    pctColor->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pctColor->setAutoFillBackground(true);
    Twips::place(pctColor, 1560, 840, 615, 255);
    cmdSelect = addButton(Frame1, "cmdSelect", QStringLiteral("&Select..."), 2280, 840, 855);

    addLabel(Frame1, QStringLiteral("Popup at Startup?"), 120, 1320, 1800, 255);
    chkAlert = new QCheckBox(Frame1);
    chkAlert->setObjectName(QStringLiteral("chkAlert"));
    Twips::place(chkAlert, 1920, 1320, 255, 255);
    addLabel(Frame1, QStringLiteral("yes"), 2280, 1320, 600, 255);

    cmdDelete = addButton(Frame1, "cmdDelete", QStringLiteral("&Delete"), 2280, 1680, 855);

    // The number row belongs to the window, not the frame, and is created
    // after it so it is drawn over the frame's top edge.
    cmdBack = addButton(this, "cmdBack", QStringLiteral("<"), 840, 120, 375);
    lblID = new QLineEdit(this);
    lblID->setObjectName(QStringLiteral("lblID"));
    // Shows the rule number only: every typed character is swallowed.
    lblID->setReadOnly(true);
    lblID->setAlignment(Qt::AlignCenter);
    QPalette idPalette = lblID->palette();
    idPalette.setColor(QPalette::Base, idPalette.color(QPalette::Button));
    lblID->setPalette(idPalette);
    Twips::place(lblID, 1200, 120, 495, 285);
    cmdNext = addButton(this, "cmdNext", QStringLiteral(">"), 1680, 120, 375);
    cmdNew = addButton(this, "cmdNew", QStringLiteral("&New"), 2040, 120, 495);

    cmdOk = addButton(this, "cmdOk", QStringLiteral("&Ok"), 2760, 2280, 735);
    cmdOk->setDefault(true);
    cmdCancel = addButton(this, "cmdCancel", QStringLiteral("&Cancel"), 1920, 2280, 735);

    txtInterval->installEventFilter(this);

    QWidget *order[] = {cmdBack, cmdNext, cmdNew, txtInterval, cmdSelect, chkAlert,
                        cmdDelete, cmdOk, cmdCancel, lblID};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void FrmAlerts::connectHandlers()
{
    connect(cmdBack, &QPushButton::clicked, this, &FrmAlerts::showPreviousRule);
    connect(cmdNext, &QPushButton::clicked, this, &FrmAlerts::showNextRule);
    connect(cmdNew, &QPushButton::clicked, this, &FrmAlerts::addRule);
    connect(cmdDelete, &QPushButton::clicked, this, &FrmAlerts::deleteShownRule);
    connect(cmdSelect, &QPushButton::clicked, this, &FrmAlerts::chooseRuleColor);
    connect(chkAlert, &QCheckBox::toggled, this, &FrmAlerts::setRulePopup);
    connect(txtInterval, &QLineEdit::textChanged, this, &FrmAlerts::txtInterval_Change);
    connect(cmdOk, &QPushButton::clicked, this, &FrmAlerts::saveAndClose);
    connect(cmdCancel, &QPushButton::clicked, this, &FrmAlerts::cancel);
}

int FrmAlerts::currentSlot() const
{
    return RuleOps::slotFromNumberText(lblID->text());
}

int FrmAlerts::currentNumber() const
{
    return Numbers::readInt16(lblID->text());
}

void FrmAlerts::showSwatch(qint32 color)
{
    QPalette p = pctColor->palette();
    p.setColor(QPalette::Window, Colors::toColor(color));
    pctColor->setPalette(p);
}

void FrmAlerts::prepare()
{
    m_rules.assign(store().rules().begin(), store().rules().end());
    m_original = m_rules;
}

void FrmAlerts::drawAlert(int index)
{
    if (index < 0 || index >= Module1::kRuleSlots)
        return;
    if (m_rules.empty())
        m_rules.emplace_back();
    if (index >= int(m_rules.size()))
        return;
    const Module1::AlertRule rule = m_rules[std::size_t(index)];
    // The number first: the check box and the interval box write back into
    // whichever rule lblID names as soon as they change.
    lblID->setText(QString::number(index + 1));
    showSwatch(rule.color);
    chkAlert->setChecked(rule.popup);
    txtInterval->setText(QString::number(rule.interval));
}

void FrmAlerts::showPreviousRule()
{
    const int target = RuleOps::backTarget(currentNumber());
    if (target >= 0)
        drawAlert(target);
}

void FrmAlerts::showNextRule()
{
    const int target = RuleOps::nextTarget(currentNumber(), int(m_rules.size()));
    if (target >= 0)
        drawAlert(target);
}

void FrmAlerts::addRule()
{
    const int slot = RuleOps::appendRule(m_rules);
    if (slot < 0) {
        seam().information(this, Modal::kMessageTitle,
                           QStringLiteral("The rule list is full (%1 rules).").arg(Module1::kRuleSlots));
        return;
    }
    drawAlert(slot);
}

void FrmAlerts::deleteShownRule()
{
    drawAlert(RuleOps::deleteRule(m_rules, currentSlot()));
}

void FrmAlerts::chooseRuleColor()
{
    const int slot = currentSlot();
    if (slot < 0 || slot >= int(m_rules.size()))
        return;
    const std::optional<QColor> chosen =
        seam().chooseColor(this, Colors::toColor(m_rules[std::size_t(slot)].color));
    // Closing the chooser without a choice keeps the rule's colour.
    if (!chosen)
        return;
    const qint32 color = Colors::fromColor(*chosen);
    showSwatch(color);
    m_rules[std::size_t(slot)].color = color;
}

void FrmAlerts::setRulePopup(bool checked)
{
    const int slot = currentSlot();
    if (slot >= 0 && slot < int(m_rules.size()))
        m_rules[std::size_t(slot)].popup = checked;
}

void FrmAlerts::txtInterval_Change(const QString &text)
{
    const int slot = currentSlot();
    if (slot >= 0 && slot < int(m_rules.size()))
        m_rules[std::size_t(slot)].interval = Numbers::readInt16(text);
}

void FrmAlerts::saveAndClose()
{
    // The copy stays as edited and the dialog open when the save fails.
    // Saved as they stand, not read back: the new colours are announced.
    closeAfter(store().commitRules(m_rules, &m_original, [this] { settle(); }));
}

bool FrmAlerts::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtInterval && event->type() == QEvent::FocusIn) {
        // Deferred: a mouse press that brings the focus would otherwise place
        // the cursor right after the selection is made.
        QTimer::singleShot(0, txtInterval, &QLineEdit::selectAll);
    }
    return QDialog::eventFilter(watched, event);
}
