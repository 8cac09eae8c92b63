#include "core/Environment.h"

#include "core/Strings.h"

#include <filesystem>

namespace qv {

std::int64_t BuildFromVersion(const std::string& version)
{
    const auto dot = version.rfind('.');
    const std::string tail = dot == std::string::npos ? version : version.substr(dot + 1);
    if (tail.empty() || tail.size() > 18 || tail.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::stoll(tail);
}

std::string AppNameFromExe(const std::string& exePath)
{
    std::string name = std::filesystem::path(exePath).filename().string();
    const auto dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

namespace {
std::string WithSlash(std::string dir)
{
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}
std::string NonEmpty(const TGetEnv& getEnv, const std::string& name)
{
    const auto v = getEnv(name);
    return v ? Trim(*v) : std::string();
}
} // namespace

std::string ResolveDataFolder(const std::optional<std::string>& dataDirArg, const TGetEnv& getEnv,
                              const std::string& exePath, const std::function<bool(const std::string&)>& fileExists)
{
    namespace fs = std::filesystem;
    if (dataDirArg && !Trim(*dataDirArg).empty())
        return WithSlash(fs::absolute(Trim(*dataDirArg)).lexically_normal().string());
    if (const std::string env = NonEmpty(getEnv, "QUORVANTA_DATA_DIR"); !env.empty())
        return WithSlash(fs::absolute(env).lexically_normal().string());
    if (!exePath.empty()) {
        const std::string exeDir = WithSlash(fs::path(exePath).parent_path().string());
        if (fileExists(exeDir + "portable"))
            return exeDir;
    }
    std::string dataHome = NonEmpty(getEnv, "XDG_DATA_HOME");
    if (dataHome.empty())
        dataHome = NonEmpty(getEnv, "HOME") + "/.local/share";
    return WithSlash(dataHome) + "Quorvanta/";
}

void ResolveUserFolders(TAppEnvironment& env, const TGetEnv& getEnv, const std::string& userDirsText)
{
    env.HomeDir = NonEmpty(getEnv, "HOME");
    env.ConfigDir = NonEmpty(getEnv, "XDG_CONFIG_HOME");
    if (env.ConfigDir.empty())
        env.ConfigDir = env.HomeDir + "/.config";
    env.DataHome = NonEmpty(getEnv, "XDG_DATA_HOME");
    if (env.DataHome.empty())
        env.DataHome = env.HomeDir + "/.local/share";
    env.BinDir = env.HomeDir + "/.local/bin";
    env.DesktopDir = env.HomeDir + "/Desktop";
    // user-dirs.dirs lines look like: XDG_DESKTOP_DIR="$HOME/Scrivania"
    for (const std::string& raw : Split(userDirsText, '\n')) {
        const std::string line = Trim(raw);
        if (line.rfind("XDG_DESKTOP_DIR=", 0) != 0)
            continue;
        std::string value = line.substr(16);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        value = ReplaceAll(value, "$HOME", env.HomeDir);
        if (!value.empty() && value.front() == '/')
            env.DesktopDir = value;
    }
}

std::optional<std::string> TakeDataDirArg(std::vector<std::string>& args)
{
    std::optional<std::string> result;
    for (std::size_t i = 0; i < args.size();) {
        if (args[i] == "--data-dir" && i + 1 < args.size()) {
            result = args[i + 1];
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i + 2));
        } else if (args[i].rfind("--data-dir=", 0) == 0) {
            result = args[i].substr(11);
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
    return result;
}

} // namespace qv
