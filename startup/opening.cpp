// SPDX-License-Identifier: GPL-3.0-or-later
#include "opening.h"

#include "frmmain.h"
#include "frmstartup.h"
#include "module1.h"

#include <QFileInfo>

namespace Opening {

Window choose(bool showAll, bool storeMissing, bool anyListed)
{
    if (showAll)
        return Window::MainWindow;
    if (anyListed)
        return Window::Alert;
    if (storeMissing)
        return Window::MainWindow;
    return Window::Nothing;
}

bool storeMissing()
{
    // A link to nowhere is a store that cannot be read, not a first run.
    const QFileInfo info(Module1::kStoreFileName);
    return !info.exists() && !info.isSymLink();
}

QWidget *windowFor(FrmStartup &startup, Cause cause, QDate today)
{
    bool listed = false;
    switch (cause) {
    case Cause::ShowAll:
        // Asked for later, the list takes the alert window's place.
        startup.hide();
        return startup.mainWindow();
    case Cause::Start:
        listed = startup.formLoad(today);
        break;
    case Cause::AlertAgain:
    case Cause::NewDay:
        listed = startup.alertAgain(today);
        break;
    }
    switch (choose(false, cause != Cause::NewDay && storeMissing(), listed)) {
    case Window::Alert:
        return &startup;
    case Window::MainWindow:
        return startup.mainWindow();
    case Window::Nothing:
        break;
    }
    return nullptr;
}

void bringUp(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace Opening
