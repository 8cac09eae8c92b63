#pragma once
// The options of the command line's commands: "--name value" pairs and single flags.

#include "core/DateTime.h"
#include "core/LocalTime.h"
#include "core/Errors.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qv {

// "--name value" options after the command words.
class TOptions
{
public:
    TOptions(const std::vector<std::string>& args, std::size_t first)
    {
        for (std::size_t i = first; i < args.size(); i += 2) {
            if (args[i].rfind("--", 0) != 0 || i + 1 >= args.size())
                throw EQvError("Argomento non valido: " + args[i]);
            FValues[args[i].substr(2)] = args[i + 1];
        }
    }
    std::optional<std::string> Get(const std::string& name) const
    {
        const auto it = FValues.find(name);
        return it == FValues.end() ? std::nullopt : std::optional<std::string>(it->second);
    }
    std::string Required(const std::string& name) const
    {
        const auto v = Get(name);
        if (!v)
            throw EQvError("Manca l'opzione --" + name);
        return *v;
    }
    // A date-time of the system's time zone. A date alone is its first second, or for --to the whole
    // day (its last second); a time the clock skips on the night of daylight saving is refused.
    double Date(const std::string& name) const
    {
        const std::string text = Required(name);
        auto d = ParseDateTimeIso(text);
        if (!d)
            throw EQvError("Data non valida per --" + name + ": " + text + " (AAAA-MM-GG hh:mm:ss)");
        const bool dateOnly = text.find_first_of(": T") == std::string::npos;
        if (dateOnly && name == "to")
            *d += EncodeTime(23, 59, 59, 0);
        if (!LocalTimeExists(*d))
            throw EQvError("L'ora indicata per --" + name + " non esiste: " + text +
                           " (in quella notte l'orologio passa all'ora legale e salta un'ora)");
        return *d;
    }

private:
    std::map<std::string, std::string> FValues;
};

// Takes a flag ("--json") out of the arguments; true when it was there.
inline bool TakeFlag(std::vector<std::string>& args, const std::string& flag)
{
    const auto it = std::remove(args.begin(), args.end(), flag);
    const bool found = it != args.end();
    args.erase(it, args.end());
    return found;
}

inline bool TakeJsonFlag(std::vector<std::string>& args)
{
    return TakeFlag(args, "--json");
}

} // namespace qv
