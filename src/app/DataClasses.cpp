#include "app/DataClasses.h"

#include <functional>
#include <map>

namespace qv {

namespace {

using TCreator = std::function<std::unique_ptr<TPersistentComponent>(TServices&)>;

const std::map<std::string, TCreator>& Creators()
{
    static const std::map<std::string, TCreator> creators = {};
    return creators;
}

} // namespace

std::unique_ptr<TPersistentComponent> CreateDataComponent(const std::string& className, TServices& services)
{
    const auto it = Creators().find(className);
    return it == Creators().end() ? nullptr : it->second(services);
}

std::vector<std::string> DataClassNames()
{
    std::vector<std::string> names;
    for (const auto& [name, creator] : Creators())
        names.push_back(name);
    return names;
}

} // namespace qv
