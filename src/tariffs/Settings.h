#pragma once
// The program-wide settings: user profiles, dial-up entries, SMS gateway credentials and a few
// switches. Kept in "Settings.dat".

#include "core/Persistent.h"
#include "core/PropertyMacros.h"

#include <functional>
#include <memory>

namespace qv {

enum TDiritti
{
    diAdmin,
    diUser
};
enum TKindEntry
{
    keRAS,
    keManual,
    keTAPI
};
enum TRunKind
{
    rkConnected,
    rkManual,
    rkStartUp
};
enum TCloseKind
{
    ckNone,
    ckDisconnected,
    ckExit
};

// The name under which a count started by hand is logged and remembered as an entry.
inline constexpr const char* ManualStartName = "Avvio manuale";

class IProcess;

// A program run at connect, by hand or at start, and possibly closed at disconnect or exit.
class TProcessItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    // The process of the last start (none before the first, or after it was terminated).
    std::shared_ptr<IProcess> Process;
    // Lives as long as the item: a start that reports after the item was deleted finds it gone.
    std::shared_ptr<int> AliveToken = std::make_shared<int>(0);
    std::function<void(TProcessItem&)> OnRun;
    std::function<void(TProcessItem&)> OnClose;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_STRING_PROPERTY(Nome)
    QV_STRING_PROPERTY(Path)
    QV_STRING_PROPERTY(WorkingDirectory)
    QV_PROPERTY(TRunKind, RunKind, rkConnected)
    QV_PROPERTY(TCloseKind, CloseKind, ckNone)
    QV_STRING_PROPERTY(CommandLine)
    QV_PROPERTY(std::int32_t, CmdShow, 6)
};
class TProcessItems : public TDataCollection<TProcessItem>
{
public:
    using TDataCollection<TProcessItem>::TDataCollection;
    // A program that could not be started or terminated (item, text); set by the list's owner.
    std::function<void(TProcessItem&, const std::string&)> OnError;
};

class TProfileItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_STRING_PROPERTY(UserName)
    QV_STRING_PROPERTY(Password)
    QV_PROPERTY(TDiritti, Diritti, diAdmin)
    QV_STRING_PROPERTY(Descrizione)
    QV_PROPERTY(std::int32_t, TimeOutConnection, 3600)
    QV_PROPERTY(bool, AttachMurphy, false)
    QV_STRING_PROPERTY(Signature)
    TProcessItems& Applications() { return FApplications; }
    QV_PROPERTY(bool, SoundsEnabled, false)
    QV_PROPERTY(bool, Speaker, false)
    QV_PROPERTY(bool, Preavviso, false)
    QV_PROPERTY(bool, Petulante, false)
    QV_PROPERTY(bool, AutoHide, false)
    QV_PROPERTY(bool, ForceHide, false)
    QV_PROPERTY(bool, SoundTypeOn, false)
    QV_PROPERTY(std::int32_t, LastGateway, 0)
    QV_PROPERTY(bool, AutoDisconnect, false)
    QV_PROPERTY(bool, AskDisconnect, true)
    QV_PROPERTY(std::int32_t, TimeWaitApplications, 0)
    // Reads back as "<Predefinita>" when empty.
    std::string SkinName() const { return FSkinName.empty() ? "<Predefinita>" : FSkinName; }
    void SetSkinName(const std::string& value);
    std::string FSkinName;
    QV_STRING_PROPERTY(RasStartEntry)
    QV_PROPERTY(std::int32_t, TrayHintPause, 10000)
    QV_PROPERTY(bool, SanctiOff, false)

private:
    TProcessItems FApplications{FComponent};
};
using TProfileItems = TDataCollection<TProfileItem>;

class TEntryItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_STRING_PROPERTY(Nome)
    QV_STRING_PROPERTY(Descrizione)
    const std::string& TaxName() const { return FTaxName; }
    void SetTaxName(const std::string& value); // trimmed
    std::string FTaxName;
    QV_PROPERTY(bool, AutoDisconnect, false)
    QV_PROPERTY(std::int32_t, TimeOutConnection, 3600)
    QV_PROPERTY(std::int32_t, RetryTime, 9)
    QV_PROPERTY(std::int32_t, DialTime, 5)
    QV_PROPERTY(bool, AskDisconnect, true)
    TProcessItems& Applications() { return FApplications; }
    QV_PROPERTY(TKindEntry, Kind, keRAS)

private:
    TProcessItems FApplications{FComponent};
};

class TEntryItems : public TDataCollection<TEntryItem>
{
public:
    using TDataCollection<TEntryItem>::TDataCollection;
    // Exact name (letter case counts), or -1.
    int IndexOfEntry(const std::string& name) const;
    // The entry of that name, appended with that kind when missing.
    TEntryItem& EntryFor(const std::string& name, TKindEntry kind);
    // isRasEntry: whether a name is in the dial-up phone book.
    void SetEntryTax(const std::string& name, const std::string& taxDisplayName,
                     const std::function<bool(const std::string&)>& isRasEntry);
    std::vector<std::string> RasEntriesWithTax(const std::string& taxDisplayName,
                                               const std::function<bool(const std::string&)>& isRasEntry) const;
};

class TGateWayCredentialItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_PROPERTY(std::int32_t, GateWayIndex, 0)
    QV_STRING_PROPERTY(UserName)
    QV_STRING_PROPERTY(Password)
};
using TGateWayCredentials = TDataCollection<TGateWayCredentialItem>;

class TSettings : public TPersistentComponent
{
public:
    explicit TSettings(TServices& services);
    ~TSettings() override;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    std::unique_ptr<TPersistentComponent> NewEmpty() const override
    {
        return std::make_unique<TSettings>(FServices);
    }

    TProfileItems& Profiles() { return FProfiles; }
    TEntryItems& Entrys() { return FEntrys; }
    TGateWayCredentials& GateWayCredentials() { return FGateWayCredentials; }
    QV_PROPERTY(bool, AutoTimeCheck, false)
    QV_PROPERTY(bool, CheckAnnounce, false)
    QV_STRING_PROPERTY(LastAnnounce)
    QV_PROPERTY(bool, NoPrint, false)
    QV_PROPERTY(double, Installation, 0)
    QV_STRING_PROPERTY(InternationalPrefix)
    QV_PROPERTY(bool, WinStart, false)
    QV_STRING_PROPERTY(DeviceName)
    QV_PROPERTY(bool, FullTapiMonitor, false)
    const std::string& TimeServer() const { return FTimeServer; }
    void SetTimeServer(const std::string& value); // trimmed
    std::string FTimeServer;

    TProfileItem& AddProfile(const std::string& userName, const std::string& password, TDiritti diritti,
                             const std::string& descrizione);
    // Ignoring letter case; none when missing.
    TProfileItem* FindProfile(const std::string& userName);
    // The profile a command line names, else the first one.
    TProfileItem& SelectProfile(const std::string& userName);
    void AfterLoad() override;

private:
    TProfileItems FProfiles{this};
    TEntryItems FEntrys{this};
    TGateWayCredentials FGateWayCredentials{this};
};

// The announcement text this version ships with.
inline constexpr const char* VersionAnnouncement = "Quorvanta 1.0: controlla quanto costa la tua connessione.";

// True when number begins with prefix (the international prefix); an empty prefix makes no number
// international.
bool IsInternationalNumber(const std::string& number, const std::string& prefix);

} // namespace qv
