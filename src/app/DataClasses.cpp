#include "app/DataClasses.h"

#include "app/Budget.h"
#include "app/WaveSounds.h"
#include "messenger/Messenger.h"
#include "skins/Skins.h"
#include "sms/SmsData.h"
#include "tariffs/Agenda.h"
#include "tariffs/Connections.h"
#include "tariffs/DataPlans.h"
#include "tariffs/Settings.h"
#include "tariffs/Status.h"
#include "tariffs/Taxations.h"

#include <functional>
#include <map>

namespace qv {

namespace {

// A phone book read on its own (tools): with a message store of its own.
class TStandalonePhoneBook : public TPhoneBookData
{
public:
    explicit TStandalonePhoneBook(TServices& s) : TPhoneBookData(s, FOwnMessages), FOwnMessages(s) {}

private:
    // Built after the base, which only keeps a reference to it until it is used.
    TSmsData FOwnMessages;
};

using TCreator = std::function<std::unique_ptr<TPersistentComponent>(TServices&)>;

const std::map<std::string, TCreator>& Creators()
{
    static const std::map<std::string, TCreator> creators = {
        {"TSettings", [](TServices& s) { return std::make_unique<TSettings>(s); }},
        {"TTaxations", [](TServices& s) { return std::make_unique<TTaxations>(s); }},
        {"TDataUnits", [](TServices& s) { return std::make_unique<TDataUnits>(s); }},
        {"TAgenda", [](TServices& s) { return std::make_unique<TAgenda>(s); }},
        {"TStatus", [](TServices& s) { return std::make_unique<TStandaloneStatus>(s); }},
        {"TBudgets", [](TServices& s) { return std::make_unique<TBudgets>(s); }},
        {"TDataPlans", [](TServices& s) { return std::make_unique<TDataPlans>(s); }},
        {"TMessenger", [](TServices& s) { return std::make_unique<TMessenger>(s, nullptr); }},
        {"TSmsData", [](TServices& s) { return std::make_unique<TSmsData>(s); }},
        {"TDataSkins", [](TServices& s) { return std::make_unique<TDataSkins>(s); }},
        {"TPhoneBookData", [](TServices& s) { return std::make_unique<TStandalonePhoneBook>(s); }},
        {"TWaveSounds",
         [](TServices& s) {
             static TSilentOutput silent;
             return std::make_unique<TWaveSounds>(s, silent);
         }},
    };
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
