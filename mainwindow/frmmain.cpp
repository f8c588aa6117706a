// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmmain.h"

#include "modal.h"
#include "module1.h"

FrmMain::FrmMain(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quorvi"));
}

void FrmMain::formLoad()
{
    Module1::sortMode = 2;
    Modal::reportLoadProblems(this, Module1::loadTasks());
}
