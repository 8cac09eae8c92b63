#pragma once
// The per-user install and uninstall routines: the executable under ~/.local/bin, a menu entry and a
// desktop shortcut as .desktop files, starting with the session switched off; uninstalling removes
// them, the per-user store and the data files with their "@error" twins.

#include "core/Services.h"

#include <functional>
#include <string>

namespace qv {

// Shows each step of the install (the install window shows them in its progress list).
using TInstallProgress = std::function<void(const std::string& step)>;

// Installs the running executable (env.ExePath) into targetFolder. Raises EQvError with the
// messages of the routine when the executable cannot be copied.
void InstallProgram(TServices& services, const std::string& targetFolder, const TInstallProgress& progress);

// Asks, then removes everything. Returns false when the user said no.
bool UninstallProgram(TServices& services);

} // namespace qv
