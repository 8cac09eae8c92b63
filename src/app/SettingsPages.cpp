#include "app/SettingsPages.h"

#include "app/AnnounceCheck.h"
#include "core/Functions.h"
#include "core/Shell.h"
#include "core/Strings.h"
#include "detection/International.h"
#include "timesync/InternetTime.h"

#include <algorithm>

namespace qv {

std::optional<std::int32_t> ReadWholeField(IPrompter& prompter, const std::string& text, const std::string& label)
{
    const auto v = ReadInteger(text);
    if (!v)
        ShowError(prompter, "I dati non sono corretti \r\rControllare il campo " + label);
    return v;
}

// ---- general ----

TGeneralSettings::TForm TGeneralSettings::Form() const
{
    const TSettings& s = FData.Settings;
    TForm f{s.AutoTimeCheck(), s.CheckAnnounce(), s.InternationalPrefix(), s.WinStart(),
            s.TimeServer(),    s.FullTapiMonitor(), s.Installation()};
    f.AnnounceAddress =
        !Trim(FServices.Registry.RegReadString(TAnnounceCheck::Section, TAnnounceCheck::AddressValue, "")).empty();
    return f;
}

bool TGeneralSettings::Apply(const TForm& form)
{
    TSettings& s = FData.Settings;
    if (Trim(form.InternationalPrefix) != s.InternationalPrefix()) {
        TInternationalWarning rule(FServices, s, "");
        if (!rule.Accept(form.InternationalPrefix))
            return false;
    }
    if (form.WinStart != s.WinStart()) {
        try {
            SetAutoStart(FServices.Env, form.WinStart, "/winstart");
        } catch (const std::exception& e) {
            ShowError(FServices.Prompter, e.what());
            return false;
        }
        s.SetWinStart(form.WinStart);
    }
    s.SetAutoTimeCheck(form.AutoTimeCheck);
    s.SetCheckAnnounce(form.CheckAnnounce);
    // An automatic check needs a server: without one it takes the default.
    s.SetTimeServer(form.AutoTimeCheck && Trim(form.TimeServer).empty() ? std::string(TInternetTime::DefaultServer)
                                                                        : form.TimeServer);
    s.SetFullTapiMonitor(form.FullTapiMonitor);
    return true;
}

// ---- profiles ----

const std::vector<TTrayHintChoice>& TrayHintChoices()
{
    static const std::vector<TTrayHintChoice> choices = {
        {-1, "Nessun messaggio"},   {0, "Non mostrare il confronto"}, {2000, "Mostra per 2 secondi"},
        {5000, "Mostra per 5 secondi"}, {10000, "Mostra per 10 secondi"}, {15000, "Mostra per 15 secondi"},
        {20000, "Mostra per 20 secondi"}};
    return choices;
}

std::vector<std::string> TProfilesEditor::Names() const
{
    std::vector<std::string> names;
    for (const auto& p : FData.Settings.Profiles())
        names.push_back(p->UserName());
    return names;
}

std::size_t TProfilesEditor::Active() const
{
    const TProfileItems& list = FData.Settings.Profiles();
    for (std::size_t i = 0; i < list.Count(); ++i)
        if (&list[i] == FData.Status.Profile())
            return i;
    return 0;
}

bool TProfilesEditor::MayEdit(std::size_t index) const
{
    const TProfileItem* active = FData.Status.Profile();
    return !active || active->Diritti() != diUser || index == Active();
}

bool TProfilesEditor::CanChangeRights() const
{
    const TProfileItem* active = FData.Status.Profile();
    return !active || active->Diritti() == diAdmin;
}

bool TProfilesEditor::NeedsPassword(std::size_t index) const
{
    return !FData.Settings.Profiles()[index].Password().empty();
}

bool TProfilesEditor::Unlocked(std::size_t index) const
{
    return !NeedsPassword(index) || FUnlocked.count(&FData.Settings.Profiles()[index]) > 0;
}

bool TProfilesEditor::Unlock(std::size_t index, const std::string& password)
{
    TProfileItem& p = FData.Settings.Profiles()[index];
    if (p.Password() != password) {
        ShowError(FServices.Prompter, "Password errata!");
        return false;
    }
    FUnlocked.insert(&p);
    return true;
}

bool TProfilesEditor::Refuse(std::size_t index)
{
    if (!MayEdit(index)) {
        ShowWarning(FServices.Prompter, "Il profilo in uso non ha i diritti per modificare gli altri profili!");
        return true;
    }
    if (!Unlocked(index)) {
        ShowWarning(FServices.Prompter, "Per modificare il profilo «" + FData.Settings.Profiles()[index].UserName() +
                                            "» occorre la sua password!");
        return true;
    }
    return false;
}

TProfilesEditor::TForm TProfilesEditor::FormOf(std::size_t index) const
{
    const TProfileItem& p = FData.Settings.Profiles()[index];
    TForm f;
    f.UserName = p.UserName();
    f.Password = p.Password();
    f.Descrizione = p.Descrizione();
    f.Diritti = p.Diritti();
    f.TimeOutConnection = p.TimeOutConnection();
    f.AutoDisconnect = p.AutoDisconnect();
    f.AskDisconnect = p.AskDisconnect();
    f.SoundsEnabled = p.SoundsEnabled();
    f.Speaker = p.Speaker();
    f.Preavviso = p.Preavviso();
    f.Petulante = p.Petulante();
    f.AutoHide = p.AutoHide();
    f.ForceHide = p.ForceHide();
    f.SanctiOff = p.SanctiOff();
    f.AttachMurphy = p.AttachMurphy();
    f.TimeWaitApplications = std::to_string(p.TimeWaitApplications());
    f.RasStartEntry = p.RasStartEntry();
    f.TrayHintPause = p.TrayHintPause();
    f.Signature = p.Signature();
    return f;
}

bool TProfilesEditor::Apply(std::size_t index, const TForm& f)
{
    if (Refuse(index))
        return false;
    TProfileItem& p = FData.Settings.Profiles()[index];
    const std::string name = Trim(f.UserName);
    if (name.empty()) {
        ShowWarning(FServices.Prompter, std::string("I seguenti campi sono obbligatori: \r- ") + LabelUserName);
        return false;
    }
    // The command line picks a profile by its name ignoring letter case: two alike would be one.
    const TProfileItem* same = FData.Settings.FindProfile(name);
    if (same && same != &p) {
        ShowError(FServices.Prompter, "E' già presente un profilo con il nome " + name);
        return false;
    }
    const auto wait = ReadWholeField(FServices.Prompter, f.TimeWaitApplications, LabelTimeWait);
    if (!wait)
        return false;
    if (f.TimeOutConnection < 0 || f.TimeOutConnection >= 86400) {
        ShowError(FServices.Prompter, std::string("I dati non sono corretti \r\rControllare il campo ") + LabelDurata);
        return false;
    }
    const bool valid = std::any_of(TrayHintChoices().begin(), TrayHintChoices().end(),
                                   [&](const TTrayHintChoice& c) { return c.Value == f.TrayHintPause; });
    p.SetUserName(name);
    p.SetPassword(f.Password);
    p.SetDescrizione(f.Descrizione);
    // A user profile cannot raise its own rights.
    if (CanChangeRights())
        p.SetDiritti(f.Diritti);
    p.SetTimeOutConnection(f.TimeOutConnection);
    p.SetAutoDisconnect(f.AutoDisconnect);
    p.SetAskDisconnect(f.AskDisconnect);
    p.SetSoundsEnabled(f.SoundsEnabled);
    p.SetSpeaker(f.Speaker);
    p.SetPreavviso(f.Preavviso);
    p.SetPetulante(f.Petulante);
    p.SetAutoHide(f.AutoHide);
    p.SetForceHide(f.ForceHide);
    p.SetSanctiOff(f.SanctiOff);
    p.SetAttachMurphy(f.AttachMurphy);
    p.SetTimeWaitApplications(*wait);
    p.SetRasStartEntry(Trim(f.RasStartEntry));
    if (valid)
        p.SetTrayHintPause(f.TrayHintPause);
    p.SetSignature(f.Signature);
    // The password just set counts as given.
    FUnlocked.insert(&p);
    return true;
}

std::optional<std::size_t> TProfilesEditor::Add()
{
    const TProfileItem* active = FData.Status.Profile();
    if (active && active->Diritti() == diUser) {
        ShowWarning(FServices.Prompter, "Il profilo in uso non ha i diritti per modificare gli altri profili!");
        return std::nullopt;
    }
    std::string name = "Nuovo profilo";
    for (int n = 2; FData.Settings.FindProfile(name); ++n)
        name = "Nuovo profilo " + std::to_string(n);
    TProfileItem& p = FData.Settings.AddProfile(name, "", diAdmin, "");
    FUnlocked.insert(&p);
    return FData.Settings.Profiles().Count() - 1;
}

bool TProfilesEditor::Delete(std::size_t index)
{
    TProfileItems& list = FData.Settings.Profiles();
    if (index >= list.Count() || Refuse(index))
        return false;
    if (list.Count() == 1) {
        ShowWarning(FServices.Prompter, "Almeno un profilo ci deve essere!");
        return false;
    }
    if (&list[index] == FData.Status.Profile()) {
        ShowWarning(FServices.Prompter, "Il profilo «" + list[index].UserName() + "» è in uso e non può essere eliminato!");
        return false;
    }
    if (AskYesNo(FServices.Prompter, "Sei proprio sicuro di voler eliminare il profilo «" + list[index].UserName() + "»?") !=
        TModalResult::mrYes)
        return false;
    FUnlocked.erase(&list[index]);
    list.Delete(index);
    return true;
}

std::vector<std::string> TProfilesEditor::PhoneBook() const
{
    std::vector<std::string> entries;
    FData.RasMonitor.RasEntries(entries);
    return entries;
}

// ---- entries ----

std::vector<std::string> TEntriesEditor::Names() const
{
    std::vector<std::string> names;
    for (const auto& e : FData.Settings.Entrys())
        names.push_back(e->Nome());
    std::vector<std::string> book;
    FData.RasMonitor.RasEntries(book);
    for (const std::string& b : book)
        if (std::find(names.begin(), names.end(), b) == names.end())
            names.push_back(b);
    return names;
}

TEntryItem* TEntriesEditor::Item(const std::string& name, bool create)
{
    const int i = FData.Settings.Entrys().IndexOfEntry(name);
    if (i >= 0)
        return &FData.Settings.Entrys()[static_cast<std::size_t>(i)];
    return create && !Trim(name).empty() ? &FData.Settings.Entrys().EntryFor(name, keRAS) : nullptr;
}

// ---- sounds ----

std::vector<TWaveItem*> TSoundsEditor::Listed()
{
    std::vector<TWaveItem*> items;
    for (auto& w : FData.Waves.Waves())
        if (!w->Descrizione().empty())
            items.push_back(w.get());
    return items;
}

bool TSoundsEditor::ChangeFile(TWaveItem& item, const std::string& file)
{
    const std::string before = item.WaveFile().FileName();
    item.WaveFile().SetFileName(file);
    try {
        item.Reload();
    } catch (const std::exception& e) {
        item.WaveFile().SetFileName(before);
        ShowError(FServices.Prompter, e.what());
        return false;
    }
    Play(item);
    return true;
}

void TSoundsEditor::ToggleDisabled(TWaveItem& item)
{
    item.WaveFile().SetDisabled(!item.WaveFile().Disabled());
}

void TSoundsEditor::Play(TWaveItem& item)
{
    FData.Waves.PlayNamedSound(item.Nome(), true);
}

bool TSoundsEditor::AllEnabled() const
{
    const TProfileItem* p = FData.Status.Profile();
    return !p || p->SoundsEnabled();
}

void TSoundsEditor::SetAllEnabled(bool on)
{
    if (TProfileItem* p = FData.Status.Profile())
        p->SetSoundsEnabled(on);
}

bool TSoundsEditor::FactoryReset()
{
    if (AskYesNo(FServices.Prompter, "Ripristina i suoni predefiniti?") != TModalResult::mrYes)
        return false;
    if (!FData.Waves.FileName().empty())
        FServices.Files.Remove(FData.Waves.FilePath());
    FData.Waves.SetFileName("");
    FData.Waves.SetModified(false);
    ShowInfo(FServices.Prompter,
             "I suoni predefiniti saranno disponibili come d'incanto al prossimo riavvio di Quorvanta!");
    return true;
}

bool TEntriesEditor::HasRecord(const std::string& name) const
{
    return FData.Settings.Entrys().IndexOfEntry(name) >= 0;
}

TEntriesEditor::TForm TEntriesEditor::FormOf(const std::string& name) const
{
    const int i = FData.Settings.Entrys().IndexOfEntry(name);
    if (i < 0)
        return {};
    const TEntryItem& e = FData.Settings.Entrys()[static_cast<std::size_t>(i)];
    return {e.Descrizione(),
            e.TaxName(),
            e.AutoDisconnect(),
            e.TimeOutConnection(),
            std::to_string(e.RetryTime()),
            std::to_string(e.DialTime()),
            e.AskDisconnect()};
}

std::vector<std::string> TEntriesEditor::Tariffs() const
{
    std::vector<std::string> names;
    for (const auto& t : FData.Taxations.Taxs())
        names.push_back(t->DisplayName());
    return names;
}

bool TEntriesEditor::Apply(const std::string& name, const TForm& f)
{
    if (Trim(name).empty())
        return false;
    const auto retry = ReadWholeField(FServices.Prompter, f.RetryTime, LabelRetry);
    if (!retry)
        return false;
    const auto dial = ReadWholeField(FServices.Prompter, f.DialTime, LabelDialTime);
    if (!dial)
        return false;
    if (f.TimeOutConnection < 0 || f.TimeOutConnection >= 86400) {
        ShowError(FServices.Prompter, std::string("I dati non sono corretti \r\rControllare il campo ") + LabelDurata);
        return false;
    }
    const std::string tax = Trim(f.TaxName);
    if (!tax.empty() && !FData.Taxations.FindTax(tax)) {
        ShowError(FServices.Prompter, "La tariffa «" + tax + "» non esiste!");
        return false;
    }
    TEntryItems& entries = FData.Settings.Entrys();
    if (!HasRecord(name)) {
        const TForm fresh;
        const bool same = f.Descrizione == fresh.Descrizione && tax.empty() && f.AutoDisconnect == fresh.AutoDisconnect &&
                          f.TimeOutConnection == fresh.TimeOutConnection && *retry == 9 && *dial == 5 &&
                          f.AskDisconnect == fresh.AskDisconnect;
        if (same)
            return true;
    }
    TEntryItem& e = entries.EntryFor(name, keRAS);
    e.SetDescrizione(f.Descrizione);
    e.SetTaxName(tax);
    e.SetAutoDisconnect(f.AutoDisconnect);
    e.SetTimeOutConnection(f.TimeOutConnection);
    e.SetRetryTime(*retry);
    e.SetDialTime(*dial);
    e.SetAskDisconnect(f.AskDisconnect);
    return true;
}

} // namespace qv
