#include "tariffs/Settings.h"

#include "core/Strings.h"

#include <cmath>

namespace qv {

const TPropTable& TProcessItem::Table()
{
    using T = TProcessItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Str("Nome", &T::Nome, &T::SetNome)
                                    .Str("Path", &T::Path, &T::SetPath)
                                    .Str("WorkingDirectory", &T::WorkingDirectory, &T::SetWorkingDirectory)
                                    .Enum("RunKind", &T::RunKind, &T::SetRunKind, {"rkConnected", "rkManual", "rkStartUp"})
                                    .Enum("CloseKind", &T::CloseKind, &T::SetCloseKind,
                                          {"ckNone", "ckDisconnected", "ckExit"})
                                    .Str("CommandLine", &T::CommandLine, &T::SetCommandLine)
                                    .Int("CmdShow", &T::CmdShow, &T::SetCmdShow)
                                    .Build();
    return t;
}

const TPropTable& TProfileItem::Table()
{
    using T = TProfileItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Str("UserName", &T::UserName, &T::SetUserName)
                                    .Str("Password", &T::Password, &T::SetPassword)
                                    .Enum("Diritti", &T::Diritti, &T::SetDiritti, {"diAdmin", "diUser"})
                                    .Str("Descrizione", &T::Descrizione, &T::SetDescrizione)
                                    .Int("TimeOutConnection", &T::TimeOutConnection, &T::SetTimeOutConnection)
                                    .Bool("AttachMurphy", &T::AttachMurphy, &T::SetAttachMurphy)
                                    .Str("Signature", &T::Signature, &T::SetSignature)
                                    .Collection("Applications", &T::Applications)
                                    .Bool("SoundsEnabled", &T::SoundsEnabled, &T::SetSoundsEnabled)
                                    .Bool("Speaker", &T::Speaker, &T::SetSpeaker)
                                    .Bool("Preavviso", &T::Preavviso, &T::SetPreavviso)
                                    .Bool("Petulante", &T::Petulante, &T::SetPetulante)
                                    .Bool("AutoHide", &T::AutoHide, &T::SetAutoHide)
                                    .Bool("ForceHide", &T::ForceHide, &T::SetForceHide)
                                    .Bool("SoundTypeOn", &T::SoundTypeOn, &T::SetSoundTypeOn)
                                    .Int("LastGateway", &T::LastGateway, &T::SetLastGateway)
                                    .Bool("AutoDisconnect", &T::AutoDisconnect, &T::SetAutoDisconnect)
                                    .Bool("AskDisconnect", &T::AskDisconnect, &T::SetAskDisconnect)
                                    .Int("TimeWaitApplications", &T::TimeWaitApplications,
                                         &T::SetTimeWaitApplications)
                                    .Str("SkinName", &T::SkinName, &T::SetSkinName)
                                    .Str("RasStartEntry", &T::RasStartEntry, &T::SetRasStartEntry)
                                    .Int("TrayHintPause", &T::TrayHintPause, &T::SetTrayHintPause)
                                    .Bool("SanctiOff", &T::SanctiOff, &T::SetSanctiOff)
                                    .Build();
    return t;
}

void TProfileItem::SetSkinName(const std::string& value)
{
    if (FSkinName == value)
        return;
    FSkinName = value;
    Changed(true);
}

const TPropTable& TEntryItem::Table()
{
    using T = TEntryItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Str("Nome", &T::Nome, &T::SetNome)
                                    .Str("Descrizione", &T::Descrizione, &T::SetDescrizione)
                                    .Str("TaxName", &T::TaxName, &T::SetTaxName)
                                    .Bool("AutoDisconnect", &T::AutoDisconnect, &T::SetAutoDisconnect)
                                    .Int("TimeOutConnection", &T::TimeOutConnection, &T::SetTimeOutConnection)
                                    .Int("RetryTime", &T::RetryTime, &T::SetRetryTime)
                                    .Int("DialTime", &T::DialTime, &T::SetDialTime)
                                    .Bool("AskDisconnect", &T::AskDisconnect, &T::SetAskDisconnect)
                                    .Collection("Applications", &T::Applications)
                                    .Enum("Kind", &T::Kind, &T::SetKind, {"keRAS", "keManual", "keTAPI"})
                                    .Build();
    return t;
}

void TEntryItem::SetTaxName(const std::string& value)
{
    const std::string v = Trim(value);
    if (FTaxName == v)
        return;
    FTaxName = v;
    Changed(true);
}

int TEntryItems::IndexOfEntry(const std::string& name) const
{
    for (std::size_t i = 0; i < Count(); ++i)
        if ((*this)[i].Nome() == name)
            return static_cast<int>(i);
    return -1;
}

TEntryItem& TEntryItems::EntryFor(const std::string& name, TKindEntry kind)
{
    const int i = IndexOfEntry(name);
    if (i >= 0)
        return (*this)[static_cast<std::size_t>(i)];
    TEntryItem& e = Add();
    e.SetNome(name);
    e.SetKind(kind);
    return e;
}

void TEntryItems::SetEntryTax(const std::string& name, const std::string& taxDisplayName,
                              const std::function<bool(const std::string&)>& isRasEntry)
{
    if (Trim(name).empty())
        return;
    const TKindEntry kind = name == ManualStartName ? keManual : (isRasEntry && isRasEntry(name) ? keRAS : keTAPI);
    EntryFor(name, kind).SetTaxName(taxDisplayName);
}

std::vector<std::string> TEntryItems::RasEntriesWithTax(const std::string& taxDisplayName,
                                                        const std::function<bool(const std::string&)>& isRasEntry) const
{
    std::vector<std::string> names;
    for (const auto& e : *this)
        if (e->TaxName() == taxDisplayName && e->Kind() == keRAS && isRasEntry && isRasEntry(e->Nome()))
            names.push_back(e->Nome());
    return names;
}

const TPropTable& TGateWayCredentialItem::Table()
{
    using T = TGateWayCredentialItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Int("GateWayIndex", &T::GateWayIndex, &T::SetGateWayIndex)
                                    .Str("UserName", &T::UserName, &T::SetUserName)
                                    .Str("Password", &T::Password, &T::SetPassword)
                                    .Build();
    return t;
}

TSettings::TSettings(TServices& services) : TPersistentComponent(services, "TSettings")
{
    FLastAnnounce = VersionAnnouncement;
    FInternationalPrefix = "00";
}

TSettings::~TSettings()
{
    SaveIfModified();
}

const TPropTable& TSettings::Table()
{
    using T = TSettings;
    static const TPropTable t = [] {
        TPropTable table = TPropBuilder<T>(&TPersistentComponent::Table())
                               .Collection("Profiles", &T::Profiles)
                               .Collection("Entrys", &T::Entrys)
                               .Collection("GateWayCredentials", &T::GateWayCredentials)
                               .Bool("AutoTimeCheck", &T::AutoTimeCheck, &T::SetAutoTimeCheck)
                               .Bool("CheckAnnounce", &T::CheckAnnounce, &T::SetCheckAnnounce)
                               .Str("LastAnnounce", &T::LastAnnounce, &T::SetLastAnnounce)
                               .Bool("NoPrint", &T::NoPrint, &T::SetNoPrint)
                               .Date("Installation", &T::Installation, &T::SetInstallation)
                               .Str("InternationalPrefix", &T::InternationalPrefix, &T::SetInternationalPrefix)
                               .Bool("WinStart", &T::WinStart, &T::SetWinStart)
                               .Str("DeviceName", &T::DeviceName, &T::SetDeviceName)
                               .Bool("FullTapiMonitor", &T::FullTapiMonitor, &T::SetFullTapiMonitor)
                               .Str("TimeServer", &T::TimeServer, &T::SetTimeServer)
                               .Build();
        // An emptied prefix (warn about no number) must survive a restart: it is written even
        // when empty, as an empty string, which every reader of the format takes back as empty.
        for (TPropDef& p : table.Props)
            if (p.Name == "InternationalPrefix")
                p.WriteEmpty = true;
        return table;
    }();
    return t;
}

void TSettings::SetTimeServer(const std::string& value)
{
    const std::string v = Trim(value);
    if (FTimeServer == v)
        return;
    FTimeServer = v;
    SetModified(true);
}

TProfileItem& TSettings::AddProfile(const std::string& userName, const std::string& password, TDiritti diritti,
                                    const std::string& descrizione)
{
    TProfileItem& p = FProfiles.Add();
    p.SetUserName(userName);
    p.SetPassword(password);
    p.SetDiritti(diritti);
    p.SetDescrizione(descrizione);
    p.SetSoundsEnabled(true);
    p.SetTimeOutConnection(600);
    p.SetPreavviso(true);
    p.SetTimeWaitApplications(4);
    p.SetSkinName("<Predefinita>");
    p.SetSoundTypeOn(true);
    SetModified(true);
    return p;
}

TProfileItem* TSettings::FindProfile(const std::string& userName)
{
    for (auto& p : FProfiles)
        if (SameText(p->UserName(), userName))
            return p.get();
    return nullptr;
}

TProfileItem& TSettings::SelectProfile(const std::string& userName)
{
    if (TProfileItem* p = FindProfile(userName); p && !userName.empty())
        return *p;
    if (FProfiles.Count() == 0)
        AddProfile("Amministratore", "", diAdmin, "Descrizione (cambiare la pwd!)");
    return FProfiles[0];
}

void TSettings::AfterLoad()
{
    // Deliberately without OnLoaded.
    if (FInstallation == 0)
        SetInstallation(FServices.Clk.Now());
    if (FProfiles.Count() == 0)
        AddProfile("Amministratore", "", diAdmin, "Descrizione (cambiare la pwd!)");
}

bool IsInternationalNumber(const std::string& number, const std::string& prefix)
{
    return !prefix.empty() && number.rfind(prefix, 0) == 0;
}

} // namespace qv
