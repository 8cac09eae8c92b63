#pragma once
// Starting programs on Linux: an executable with posix_spawn (no shell) in its working folder with
// its parameters split as a desktop Exec line is; a .desktop file by its Exec line; any other file
// or an address through xdg-open. A relative path is the working folder's. A program runs in a
// process group of its own, and terminating signals the whole group (a launcher script's children
// too): SIGTERM, then SIGKILL after three seconds. A process is held by a pidfd, so a reused pid is
// never signalled; one let go while it runs is still collected when it ends.

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
    // Waits for the terminations still under way (SIGKILL included); runs by itself at exit, so a
    // program that ignores SIGTERM does not outlive the program that asked it to end.
    static void FinishTerminations();
};

// The text of an errno value met while starting a program.
std::string LaunchErrorText(int error);

} // namespace qv
