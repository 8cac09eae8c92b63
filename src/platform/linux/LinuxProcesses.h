#pragma once
// Starting programs on Linux: an executable with posix_spawn (no shell) in its working folder with
// its parameters split as a desktop Exec line is; a .desktop file by its Exec line; any other file
// or an address through xdg-open. A process is held by a pidfd, so a reused pid is never signalled;
// terminating sends SIGTERM, then SIGKILL after three seconds.

#include "app/ProcessControl.h"

namespace qv {

class TLinuxProcessLauncher : public IProcessLauncher
{
public:
    TResult Start(const TStartRequest& request) override;
    // The program that opens documents and addresses.
    std::string Opener = "xdg-open";
    // Seconds between SIGTERM and SIGKILL.
    int KillAfterMs = 3000;
};

// The text of an errno value met while starting a program.
std::string LaunchErrorText(int error);

} // namespace qv
