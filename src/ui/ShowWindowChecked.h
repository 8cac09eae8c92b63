#pragma once
// Every secondary window opens through here: one already open comes forward; a new one is made
// only while the system has resources to spare.

#include "core/Prompter.h"
#include "detection/Performance.h"

#include <QPointer>
#include <QWidget>

namespace qv {

// create makes the window (shown by the caller's wish, modeless); returns the window or none.
template <class TForm, class TCreate>
TForm* ShowWindowChecked(QPointer<TForm>& reference, const TSysResource9x& resources, IPrompter& prompter,
                         const std::string& systemName, TCreate create)
{
    if (reference) {
        reference->show();
        reference->raise();
        reference->activateWindow();
        return reference;
    }
    if (!resources.ResourcesAbove(10)) {
        ShowWarning(prompter, "Risorse di sistema in esaurimento - " + resources.ResourceText() +
                                  "\rAprire altre finestre potrebbe bloccare " + systemName + "!!!");
        return nullptr;
    }
    reference = create();
    reference->show();
    reference->raise();
    reference->activateWindow();
    return reference;
}

} // namespace qv
