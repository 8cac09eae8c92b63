#pragma once
// The settings page "Modem": which modem line is watched ("(Nessuno)" for none), and why no line is
// listed when there is none.

#include "app/DataModule.h"

#include <string>
#include <vector>

namespace qv {

class TModemSettings
{
public:
    explicit TModemSettings(TDataModule& module) : FModule(module) {}
    static constexpr const char* None = "(Nessuno)";
    // "(Nessuno)" and then the lines of the modem service.
    std::vector<std::string> Choices();
    // Why the service lists no line (empty when it lists some).
    std::string Reason();
    std::string Current() const;
    // Watches the chosen line (told in the general balloon), or stops watching for "(Nessuno)".
    void Apply(const std::string& choice);

private:
    TDataModule& FModule;
};

} // namespace qv
