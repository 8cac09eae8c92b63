#pragma once
// Shared test helpers: a program context on virtual time and simulated adapters, temporary
// folders, golden-file reading and the dump comparison of the reference files.

#include "core/DateTime.h"
#include "core/Registry.h"
#include "core/ScriptedPrompter.h"
#include "core/Services.h"
#include "core/VirtualTime.h"
#include "platform/sim/SimSystem.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace qv::test {

struct TTestContext
{
    explicit TTestContext(double now = 45000.5) : Time(now)
    {
        Env.AppPath = "/data/";
        Env.AppVersion = "1.0.0.7";
        Env.AppBuild = 7;
    }
    VirtualTime Time;
    TScriptedPrompter Prompter;
    TSimFileSystem Files;
    TSimSystem System;
    TMemoryRegistry RegistryStore;
    TRegistry Registry{RegistryStore};
    TAppEnvironment Env;
    TServices Services{Time, Time, Prompter, Files, System, Registry, Env};
};

// A fresh folder under the system's temporary folder, removed at the end of the test.
class TTempDir
{
public:
    TTempDir()
    {
        std::random_device rd;
        Path = (std::filesystem::temp_directory_path() / ("qv-test-" + std::to_string(rd()) + std::to_string(rd())))
                   .string();
        std::filesystem::create_directories(Path);
    }
    ~TTempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(Path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(Path, ec);
    }
    std::string operator/(const std::string& name) const { return Path + "/" + name; }
    std::string Path;
};

// A moment as the day-fraction date-time the program uses.
inline double At(int y, int m, int d, int h = 0, int n = 0, int s = 0, int ms = 0)
{
    return EncodeDate(y, m, d) + EncodeTime(h, n, s, ms);
}

} // namespace qv::test

#include "platform/linux/LinuxFileSystem.h"

namespace qv::test {

// A program context on virtual time whose data files are real files in a temporary folder.
struct TDiskContext
{
    explicit TDiskContext(double now = 45000.5) : Time(now) { Env.AppPath = Dir.Path + "/"; }
    TTempDir Dir;
    VirtualTime Time;
    TScriptedPrompter Prompter;
    TLinuxFileSystem Files;
    TSimSystem System;
    TMemoryRegistry Store;
    TRegistry Registry{Store};
    TAppEnvironment Env;
    TServices Services{Time, Time, Prompter, Files, System, Registry, Env};
};

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

inline std::string DataFile(const std::string& name)
{
    return std::string(QV_TEST_DATA_DIR) + "/" + name;
}

// The comparison rule of the reference dumps: comment lines and "  # ..." tails are dropped.
inline std::string StripDump(const std::string& text)
{
    std::stringstream in(text);
    std::string line, out;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '#')
            continue;
        const auto c = line.find("  # ");
        if (c != std::string::npos)
            line.erase(c);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
            line.pop_back();
        out += line + "\n";
    }
    return out;
}

} // namespace qv::test
