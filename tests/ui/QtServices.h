#pragma once
// The program's services for a window under test: the system clock and Qt timers, scripted answers,
// the real file system on a temporary data folder, a simulated system, settings in memory.
#include "core/Registry.h"
#include "core/ScriptedPrompter.h"
#include "core/Services.h"
#include "platform/linux/LinuxFileSystem.h"
#include "platform/linux/LinuxSystem.h"
#include "platform/sim/SimSystem.h"
#include "ui/QtTime.h"

#include <QString>

namespace qv::test {

struct TQtServices
{
    explicit TQtServices(const QString& folder) { env.AppPath = folder.toStdString() + "/"; }
    TSystemClock clock;
    TQtTimerService timers;
    TScriptedPrompter prompter;
    TLinuxFileSystem files;
    TSimSystem system;
    TMemoryRegistry store;
    TRegistry registry{store};
    TAppEnvironment env;
    TServices services{clock, timers, prompter, files, system, registry, env};
};

} // namespace qv::test
