#pragma once
// Where the program lives: its data folder, its name, its version, and the user's folders that
// shortcuts, autostart and the menu entry go to. Filled once at start, read everywhere.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv {

struct TAppEnvironment
{
    std::string AppPath;   // data folder, with a trailing "/"
    std::string AppName = "Quorvanta";
    std::string ExePath;   // the running executable
    std::string AppVersion; // "1.0.0.<build>"
    std::int64_t AppBuild = -1;
    std::string HomeDir;
    std::string ConfigDir;  // $XDG_CONFIG_HOME or ~/.config
    std::string DataHome;   // $XDG_DATA_HOME or ~/.local/share
    std::string DesktopDir; // from the XDG user dirs, else ~/Desktop
    std::string BinDir;     // ~/.local/bin, where a per-user install puts the executable
};

// The integer after the last "." of a version text, or -1 when it is not a number.
std::int64_t BuildFromVersion(const std::string& version);

// The executable's file name without its extension (everything from the last "." is cut).
std::string AppNameFromExe(const std::string& exePath);

using TGetEnv = std::function<std::optional<std::string>(const std::string&)>;

// The data folder: --data-dir DIR, else $QUORVANTA_DATA_DIR, else the executable's folder when it
// holds a file named "portable", else $XDG_DATA_HOME/Quorvanta (~/.local/share/Quorvanta).
// dataDirArg is the value of --data-dir when given. The result has a trailing "/".
std::string ResolveDataFolder(const std::optional<std::string>& dataDirArg, const TGetEnv& getEnv,
                              const std::string& exePath, const std::function<bool(const std::string&)>& fileExists);

// Fills the folders of the environment from the process environment and the user-dirs file text
// (the content of $XDG_CONFIG_HOME/user-dirs.dirs, may be empty).
void ResolveUserFolders(TAppEnvironment& env, const TGetEnv& getEnv, const std::string& userDirsText);

// Takes "--data-dir DIR" / "--data-dir=DIR" out of args; returns DIR when present.
std::optional<std::string> TakeDataDirArg(std::vector<std::string>& args);

} // namespace qv
