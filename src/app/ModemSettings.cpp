#include "app/ModemSettings.h"

#include "core/Strings.h"

namespace qv {

std::vector<std::string> TModemSettings::Choices()
{
    std::vector<std::string> names{None};
    try {
        for (const TDevice& d : FModule.TapiMonitor.Devices())
            names.push_back(d.Name);
    } catch (const std::exception&) {
        // No service or no line: Reason() says why.
    }
    return names;
}

std::string TModemSettings::Reason()
{
    if (Choices().size() > 1)
        return {};
    const std::string why = FModule.TapiMonitor.LastError();
    return why.empty() ? "Nessun modem disponibile" : why;
}

std::string TModemSettings::Current() const
{
    const std::string name = Trim(FModule.Settings.DeviceName());
    return name.empty() ? None : name;
}

void TModemSettings::Apply(const std::string& choice)
{
    const bool watching = FModule.TapiMonitor.Monitoring();
    if (choice == Current() && (watching || choice == None))
        return;
    if (choice == None) {
        FModule.Settings.SetDeviceName(None);
        if (watching)
            FModule.StopTapiMonitor();
        return;
    }
    FModule.Settings.SetDeviceName(choice);
    FModule.StartTapiMonitor(true);
}

} // namespace qv
