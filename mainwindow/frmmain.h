// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>

// The task list window. (Placeholder until the list is built.)
class FrmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit FrmMain(QWidget *parent = nullptr);

    // Form_Load: order by due date, reload the store, draw the list.
    void formLoad();
};
