#pragma once
// Simulated operating system and file system for tests and demos: records power-off and clock
// requests and halts by throwing, keeps files in memory with injectable failures.

#include "core/Errors.h"
#include "core/FileSystem.h"
#include "core/System.h"

#include <map>
#include <vector>

namespace qv {

class TSimSystem : public ISystem
{
public:
    std::string OsName() override { return Name; }
    TOsVersion OsVersion() override { return Version; }
    std::string ComponentVersion(const std::string& component) override
    {
        const auto it = Components.find(component);
        return it == Components.end() ? "???" : it->second;
    }
    std::string PowerOff(bool force) override
    {
        PowerOffRequests.push_back(force);
        return PowerOffError;
    }
    bool SetSystemClock(double utc) override
    {
        ClockRequests.push_back(utc);
        return ClockResult;
    }
    // Does not end the test process: records the request and unwinds the caller.
    void Halt(int exitCode) override
    {
        Halts.push_back(exitCode);
        throw EHaltRequested(exitCode);
    }

    std::string Name = "Debian GNU/Linux";
    TOsVersion Version{6, 1, "0-sim", "Linux"};
    std::map<std::string, std::string> Components{{"pppd", "pppd version 2.4.9"}, {"libcurl", "libcurl 7.88.1"}};
    std::string PowerOffError;
    bool ClockResult = true;
    std::vector<bool> PowerOffRequests;
    std::vector<double> ClockRequests;
    std::vector<int> Halts;
};

class TSimFileSystem : public IFileSystem
{
public:
    bool Exists(const std::string& path) override { return Files.count(path) > 0; }
    TBytes ReadAll(const std::string& path) override
    {
        const auto it = Files.find(path);
        if (it == Files.end())
            throw EQvError("File non trovato");
        if (Unreadable.count(path))
            throw EQvError("Accesso negato");
        return it->second;
    }
    void WriteAtomic(const std::string& path, const TBytes& data) override
    {
        ++Writes;
        if (!FailWritesWith.empty())
            throw EQvError(FailWritesWith);
        Files[path] = data;
        ReadOnly.erase(path);
    }
    void WriteText(const std::string& path, const std::string& text) override
    {
        if (!FailWritesWith.empty())
            throw EQvError(FailWritesWith);
        Files[path] = TBytes(text.begin(), text.end());
    }
    void MakeWritable(const std::string& path) override
    {
        if (!Files.count(path))
            throw EQvError("File non trovato");
        if (!FailMakeWritableWith.empty())
            throw EQvError(FailMakeWritableWith);
        ReadOnly.erase(path);
    }
    bool Remove(const std::string& path) override { return Files.erase(path) > 0; }
    bool Rename(const std::string& from, const std::string& to) override
    {
        const auto it = Files.find(from);
        if (it == Files.end() || FailRenames)
            return false;
        Files[to] = it->second;
        Files.erase(from);
        return true;
    }
    std::string Text(const std::string& path) const
    {
        const auto it = Files.find(path);
        return it == Files.end() ? std::string() : std::string(it->second.begin(), it->second.end());
    }

    std::map<std::string, TBytes> Files;
    std::map<std::string, bool> ReadOnly;
    std::map<std::string, bool> Unreadable;
    std::string FailWritesWith;
    std::string FailMakeWritableWith;
    bool FailRenames = false;
    int Writes = 0;
};

} // namespace qv
