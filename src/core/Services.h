#pragma once
// The program context: every service a core object needs, injected once through its constructor.

#include "core/Environment.h"
#include "core/FileSystem.h"
#include "core/Prompter.h"
#include "core/Registry.h"
#include "core/System.h"
#include "core/Time.h"

namespace qv {

struct TServices
{
    Clock& Clk;
    TimerService& Timers;
    IPrompter& Prompter;
    IFileSystem& Files;
    ISystem& System;
    TRegistry& Registry;
    TAppEnvironment& Env;
};

} // namespace qv
