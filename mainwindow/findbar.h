// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

// The bar Find opens above the task list: the text to look for, how many
// tasks hold it, and a button that closes it. Esc closes it as well; Enter
// and Down hand the keyboard to the list.
class FindBar : public QWidget
{
    Q_OBJECT
public:
    explicit FindBar(QWidget *parent = nullptr);

    QLineEdit *textBox() const { return m_txtFind; }
    // "No match", "1 match", "12 matches"; nothing while no text is looked for.
    void showCount(int found, bool looking);

Q_SIGNALS:
    void textChanged(const QString &text);
    void closeRequested();
    void intoListRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_txtFind = nullptr;
    QLabel *m_lblFindCount = nullptr;
};
