#pragma once
// The services of a command-line run: the real clock and files, timers that only fire when the
// tool asks, and boxes written to the error stream (questions answered No).

#include "core/Prompter.h"
#include "core/Registry.h"
#include "core/Services.h"
#include "core/VirtualTime.h"
#include "platform/linux/LinuxFileSystem.h"
#include "platform/linux/LinuxSystem.h"

#include <ostream>

namespace qv {

class TStreamPrompter : public IPrompter
{
public:
    TStreamPrompter(std::ostream& out, std::ostream& err) : FOut(out), FErr(err) {}
    TModalResult MessageBox(TMsgKind kind, TMsgButtons buttons, const std::string& text) override;

private:
    std::ostream& FOut;
    std::ostream& FErr;
};

class TCliContext
{
public:
    TCliContext(std::ostream& out, std::ostream& err, const std::string& dataDir);
    TServices& Services() { return FServices; }

    TSystemClock Clock;
    VirtualTime Timers;
    TStreamPrompter Prompter;
    TLinuxFileSystem Files;
    TLinuxSystem System;
    TMemoryRegistry RegistryStore;
    TRegistry Registry{RegistryStore};
    TAppEnvironment Env;

private:
    TServices FServices;
};

} // namespace qv
