// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The task list as the tests read it: the titles its rows show, and the
// controls of a window found by name.

#include "frmmain.h"
#include "listcell.h"

#include <QStringList>
#include <QWidget>

namespace ListKit {

// Top to bottom; every row must have its cells (the list is short enough to
// be in view).
inline QStringList shownTitles(const FrmMain &w)
{
    QStringList out;
    for (int row = 1; row <= w.rowCount(); ++row)
        out << w.lblTitle()[row]->text();
    return out;
}

template<typename T>
T *child(QWidget *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

} // namespace ListKit
