#pragma once
// The per-user key-value store of the program: sections and names below "Software\QovWare\<AppName>\".
// The store behind it is an interface (an INI file in the program, memory in tests); the typed
// functions never raise: writers return false and readers return the default on any failure.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace qv {

class IRegistryStore
{
public:
    virtual ~IRegistryStore() = default;
    // section uses "\" between levels, as the program's paths do ("Settings\TfmMain\1024x768").
    virtual std::optional<std::string> Read(const std::string& section, const std::string& name) = 0;
    virtual bool Write(const std::string& section, const std::string& name, const std::string& value) = 0;
    virtual bool DeleteValue(const std::string& section, const std::string& name) = 0;
    // Removes a section and everything below it; an empty section removes the whole branch.
    virtual bool DeleteSection(const std::string& section) = 0;
};

class TMemoryRegistry : public IRegistryStore
{
public:
    std::optional<std::string> Read(const std::string& section, const std::string& name) override;
    bool Write(const std::string& section, const std::string& name, const std::string& value) override;
    bool DeleteValue(const std::string& section, const std::string& name) override;
    bool DeleteSection(const std::string& section) override;
    bool FailWrites = false; // lets a test see the writers' failure path
    std::map<std::string, std::string> Values; // "section\name" -> value
};

class TRegistry
{
public:
    explicit TRegistry(IRegistryStore& store) : FStore(store) {}

    bool RegWriteInteger(const std::string& section, const std::string& name, std::int64_t value);
    bool RegWriteBool(const std::string& section, const std::string& name, bool value);
    bool RegWriteString(const std::string& section, const std::string& name, const std::string& value);
    bool RegWriteFloat(const std::string& section, const std::string& name, double value);
    std::int64_t RegReadInteger(const std::string& section, const std::string& name, std::int64_t def);
    bool RegReadBool(const std::string& section, const std::string& name, bool def);
    std::string RegReadString(const std::string& section, const std::string& name, const std::string& def);
    double RegReadFloat(const std::string& section, const std::string& name, double def);
    bool RegDeleteSection(const std::string& section);

    IRegistryStore& Store() { return FStore; }

private:
    IRegistryStore& FStore;
};

} // namespace qv
