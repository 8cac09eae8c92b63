#include "app/SettingsSession.h"

#include <tuple>

namespace qv {

TSettingsSession::TSettingsSession(TServices&, TDataModule& data) : FData(data)
{
    FSettings = FData.Settings.WriteToBytes();
    FTaxations = FData.Taxations.WriteToBytes();
    FAgenda = FData.Agenda.WriteToBytes();
    FWaves = FData.Waves.WriteToBytes();
    FGateWays = FData.GateWays.WriteToBytes();
    FTaxName = FData.Status.Tax() ? FData.Status.Tax()->DisplayName() : std::string();
}

bool TSettingsSession::Changed()
{
    return FData.Settings.WriteToBytes() != FSettings || FData.Taxations.WriteToBytes() != FTaxations ||
           FData.Agenda.WriteToBytes() != FAgenda || FData.Waves.WriteToBytes() != FWaves ||
           FData.GateWays.WriteToBytes() != FGateWays;
}

void TSettingsSession::Commit()
{
    for (TPersistentComponent* c : {static_cast<TPersistentComponent*>(&FData.Settings),
                                    static_cast<TPersistentComponent*>(&FData.Taxations),
                                    static_cast<TPersistentComponent*>(&FData.Agenda),
                                    static_cast<TPersistentComponent*>(&FData.Waves),
                                    static_cast<TPersistentComponent*>(&FData.GateWays)})
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
    // Messages on their way hold their gateway's request: the gateways, and the accounts that go
    // with them, then stay as they are now.
    const bool gatewaysBack = !FData.SmsData.HasOutgoing();
    std::vector<std::tuple<std::int32_t, std::string, std::string>> accounts;
    for (const auto& c : FData.Settings.GateWayCredentials())
        accounts.emplace_back(c->GateWayIndex(), c->UserName(), c->Password());
    restore(FData.Settings, FSettings);
    if (gatewaysBack) {
        restore(FData.GateWays, FGateWays);
    } else {
        TGateWayCredentials& now = FData.Settings.GateWayCredentials();
        now.Clear();
        for (const auto& [index, user, password] : accounts) {
            TGateWayCredentialItem& c = now.Add();
            c.SetGateWayIndex(index);
            c.SetUserName(user);
            c.SetPassword(password);
        }
    }
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
