#include "core/Registry.h"

#include <charconv>
#include <cstring>

namespace qv {

namespace {
std::string Key(const std::string& section, const std::string& name)
{
    return section + "\\" + name;
}
} // namespace

std::optional<std::string> TMemoryRegistry::Read(const std::string& section, const std::string& name)
{
    const auto it = Values.find(Key(section, name));
    if (it == Values.end())
        return std::nullopt;
    return it->second;
}

bool TMemoryRegistry::Write(const std::string& section, const std::string& name, const std::string& value)
{
    if (FailWrites)
        return false;
    Values[Key(section, name)] = value;
    return true;
}

bool TMemoryRegistry::DeleteValue(const std::string& section, const std::string& name)
{
    return Values.erase(Key(section, name)) > 0;
}

bool TMemoryRegistry::DeleteSection(const std::string& section)
{
    const std::string prefix = section.empty() ? std::string() : section + "\\";
    for (auto it = Values.begin(); it != Values.end();) {
        if (it->first.compare(0, prefix.size(), prefix) == 0)
            it = Values.erase(it);
        else
            ++it;
    }
    return true;
}

bool TRegistry::RegWriteInteger(const std::string& section, const std::string& name, std::int64_t value)
{
    try {
        return FStore.Write(section, name, std::to_string(value));
    } catch (...) {
        return false;
    }
}

bool TRegistry::RegWriteBool(const std::string& section, const std::string& name, bool value)
{
    return RegWriteInteger(section, name, value ? 1 : 0);
}

bool TRegistry::RegWriteString(const std::string& section, const std::string& name, const std::string& value)
{
    try {
        return FStore.Write(section, name, value);
    } catch (...) {
        return false;
    }
}

bool TRegistry::RegWriteFloat(const std::string& section, const std::string& name, double value)
{
    // The eight raw bytes of the double, as hexadecimal text, so the value comes back exactly.
    unsigned char bytes[8];
    std::memcpy(bytes, &value, 8);
    static const char* hex = "0123456789ABCDEF";
    std::string text;
    for (unsigned char b : bytes) {
        text += hex[b >> 4];
        text += hex[b & 15];
    }
    return RegWriteString(section, name, text);
}

std::int64_t TRegistry::RegReadInteger(const std::string& section, const std::string& name, std::int64_t def)
{
    try {
        const auto v = FStore.Read(section, name);
        if (!v)
            return def;
        std::int64_t result = 0;
        const auto [p, ec] = std::from_chars(v->data(), v->data() + v->size(), result);
        if (ec != std::errc() || p != v->data() + v->size())
            return def;
        return result;
    } catch (...) {
        return def;
    }
}

bool TRegistry::RegReadBool(const std::string& section, const std::string& name, bool def)
{
    try {
        const auto v = FStore.Read(section, name);
        if (!v)
            return def;
        if (*v == "true")
            return true;
        return RegReadInteger(section, name, 0) != 0;
    } catch (...) {
        return false;
    }
}

std::string TRegistry::RegReadString(const std::string& section, const std::string& name, const std::string& def)
{
    try {
        return FStore.Read(section, name).value_or(def);
    } catch (...) {
        return def;
    }
}

double TRegistry::RegReadFloat(const std::string& section, const std::string& name, double def)
{
    const std::string text = RegReadString(section, name, "");
    if (text.size() != 16)
        return def;
    unsigned char bytes[8];
    for (std::size_t i = 0; i < 8; ++i) {
        unsigned value = 0;
        const auto [p, ec] = std::from_chars(text.data() + 2 * i, text.data() + 2 * i + 2, value, 16);
        if (ec != std::errc() || p != text.data() + 2 * i + 2)
            return def;
        bytes[i] = static_cast<unsigned char>(value);
    }
    double result = 0;
    std::memcpy(&result, bytes, 8);
    return result;
}

bool TRegistry::RegDeleteSection(const std::string& section)
{
    try {
        return FStore.DeleteSection(section);
    } catch (...) {
        return false;
    }
}

} // namespace qv
