#pragma once
// One opening of the settings window: what the settings, the tariffs and the calendar held when it
// opened (and the sounds and the SMS gateways), so that Cancel can put it back; closing with OK lets every changed component save.

#include "app/DataModule.h"

namespace qv {

class TSettingsSession
{
public:
    TSettingsSession(TServices& services, TDataModule& data);
    // Every changed component saves now.
    void Commit();
    // The three components read back what they held at the opening, the tariff applied then is
    // applied again, and each changed one saves.
    void Cancel();
    // Whether anything differs from the opening.
    bool Changed();

private:
    TDataModule& FData;
    TBytes FSettings, FTaxations, FAgenda, FWaves, FGateWays;
    std::string FTaxName;
};

} // namespace qv
