#include "app/SettingsSession.h"

namespace qv {

TSettingsSession::TSettingsSession(TServices&, TDataModule& data) : FData(data)
{
    FSettings = FData.Settings.WriteToBytes();
    FTaxations = FData.Taxations.WriteToBytes();
    FAgenda = FData.Agenda.WriteToBytes();
    FWaves = FData.Waves.WriteToBytes();
    FTaxName = FData.Status.Tax() ? FData.Status.Tax()->DisplayName() : std::string();
}

bool TSettingsSession::Changed()
{
    return FData.Settings.WriteToBytes() != FSettings || FData.Taxations.WriteToBytes() != FTaxations ||
           FData.Agenda.WriteToBytes() != FAgenda || FData.Waves.WriteToBytes() != FWaves;
}

void TSettingsSession::Commit()
{
    for (TPersistentComponent* c : {static_cast<TPersistentComponent*>(&FData.Settings),
                                    static_cast<TPersistentComponent*>(&FData.Taxations),
                                    static_cast<TPersistentComponent*>(&FData.Agenda),
                                    static_cast<TPersistentComponent*>(&FData.Waves)})
        if (c->Modified())
            c->Save();
}

void TSettingsSession::Cancel()
{
    // Where the live status points, by name and position, before the objects are re-created.
    const std::string currentTax = FData.Status.Tax() ? FData.Status.Tax()->DisplayName() : std::string();
    std::size_t profileIndex = 0;
    TProfileItems& profiles = FData.Settings.Profiles();
    for (std::size_t i = 0; i < profiles.Count(); ++i)
        if (&profiles[i] == FData.Status.Profile())
            profileIndex = i;
    const std::string profileName = FData.Status.Profile() ? FData.Status.Profile()->UserName() : std::string();

    bool restored = false;
    const auto restore = [&restored](TPersistentComponent& c, const TBytes& image) {
        if (c.WriteToBytes() == image)
            return;
        c.ReadFromBytes(image);
        c.SetModified(true);
        restored = true;
    };
    restore(FData.Settings, FSettings);
    restore(FData.Taxations, FTaxations);
    restore(FData.Agenda, FAgenda);
    restore(FData.Waves, FWaves);
    if (restored) {
        TProfileItem* profile = FData.Settings.FindProfile(profileName);
        if (!profile && profiles.Count() > 0)
            profile = &profiles[std::min(profileIndex, profiles.Count() - 1)];
        TTaxItem* tax = FData.Taxations.FindTax(currentTax);
        if (!tax && FData.Taxations.Taxs().Count() > 0)
            tax = &FData.Taxations.Taxs()[0];
        FData.Status.Rebind(tax, profile);
    }
    if (TTaxItem* atOpening = FData.Taxations.FindTax(FTaxName); atOpening && atOpening != FData.Status.Tax())
        FData.Status.SetTax(atOpening);
    Commit();
}

} // namespace qv
