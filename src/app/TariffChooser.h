#pragma once
// The rules of the tariff chooser: the tariffs by display name with what uses them, applying,
// deleting (never the last one) and restoring the defaults, with the program's questions.

#include "app/DataModule.h"

#include <string>
#include <vector>

namespace qv {

class TTariffChooser
{
public:
    TTariffChooser(TServices& services, TDataModule& data) : FServices(services), FData(data) {}

    struct TRow
    {
        std::string DisplayName;
        std::string Description;
        std::vector<std::string> Connections; // phone-book entries that use it
        bool Current;
    };
    std::vector<TRow> Rows() const;
    void Apply(std::size_t index);
    // Asks first; the last tariff cannot go. The first tariff is applied afterwards.
    bool Delete(std::size_t index);
    // Asks first; restores the 24 defaults and applies the first.
    bool RestoreDefaults();
    // What the choice is for, shown at the top of the window: the connection being counted (or
    // waiting for a tariff), else the counts to come.
    std::string Heading() const;
    // The text of the tariff's timetables, for hints.
    std::string BandsText(std::size_t index) const;

private:
    TServices& FServices;
    TDataModule& FData;
};

} // namespace qv
