#pragma once
// Files, folders, shortcuts and starting with the session, in the freedesktop manner: a shortcut is
// a .desktop file, starting with the session is an XDG autostart entry.

#include "core/Environment.h"

#include <string>
#include <vector>

namespace qv {

struct TServices;

// Names of the files matching any of the masks separated by ";" ("*.dat;/tmp/x/*.txt"); a mask
// without a folder looks in the current one. Wildcards: "*" and "?".
std::vector<std::string> ListFiles(const std::string& masks);
bool MatchesMask(const std::string& name, const std::string& mask);
// Makes the file writable and deletes it; false when it could not be deleted.
bool ForceDeleteFile(const std::string& name);

std::string DesktopFolder(const TAppEnvironment& env);
std::string StartupFolder(const TAppEnvironment& env);   // ~/.config/autostart
std::string FavoritesFolder(const TAppEnvironment& env); // ~/.local/share/applications (the menu)
std::string ProgramFilesFolder(const TAppEnvironment& env); // ~/.local/bin

struct TShortcut
{
    std::string Name;
    std::string Target;
    std::string WorkingFolder;
    std::string Description;
    std::string Arguments;
    int ShowCmd = 1;
};

// Writes folder + "/" + name + ".desktop"; raises EQvError on failure.
void CreateShortcut(const std::string& target, const std::string& arguments, const std::string& name,
                    const std::string& folder, const std::string& description = "",
                    const std::string& workingFolder = "");
// Reads a .desktop file; raises "Fallita la ReadShortcut" style errors when it is not one.
TShortcut ReadShortcut(const std::string& file);
// The Exec= line of a target and its arguments, each quoted the way desktop entries require.
std::string DesktopExecLine(const std::string& target, const std::string& arguments);
std::vector<std::string> SplitExecLine(const std::string& exec);

// Writes or removes ~/.config/autostart/Quorvanta.desktop (Exec = the executable and arguments).
void SetAutoStart(const TAppEnvironment& env, bool on, const std::string& arguments);
std::string AutoStartFile(const TAppEnvironment& env);

// Asks the system to power off; a failure is shown as "Impossibile chiudere " + system + "\r[" + reason + "]".
void ShutdownWindows(TServices& services, bool force);

// The common controls the program needs are always present with the toolkit it is built with.
bool CheckCommonControls();

} // namespace qv
