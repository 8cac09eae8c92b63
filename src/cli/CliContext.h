#pragma once
// The services of a command-line run: the real clock and files, timers that only fire when the
// tool asks, and boxes written to the error stream (questions answered No).

#include "core/Prompter.h"
#include "core/Registry.h"
#include "core/Services.h"
#include "detection/RasApi.h"
#include "platform/linux/LinuxFileSystem.h"
#include "platform/linux/LinuxSystem.h"
#include "platform/linux/LoopTimers.h"

#include <memory>

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
    TCliContext(std::ostream& out, std::ostream& err, const std::string& dataDir, bool simulate);
    TServices& Services() { return FServices; }
    // pppd, or the simulated service with its demo phone book.
    IRasApi& DialUp();
    bool Simulate;

    TSystemClock Clock;
    TLoopTimers Timers{Clock};
    TStreamPrompter Prompter;
    TLinuxFileSystem Files;
    TLinuxSystem System;
    TMemoryRegistry RegistryStore;
    TRegistry Registry{RegistryStore};
    TAppEnvironment Env;

private:
    TServices FServices;
    std::unique_ptr<IRasApi> FDialUp;
};

} // namespace qv
