// The settings window's rules: tariffs typed in the properties dialog, profiles, entries, the
// general switches, the calendar, and Cancel putting everything back.
#include "LiveFixture.h"
#include "app/CalendarEditor.h"
#include "app/SettingsPages.h"
#include "app/SettingsSession.h"
#include "sms/GatewayEditor.h"
#include "app/TariffChooser.h"
#include "app/TariffEditor.h"
#include "core/Shell.h"

using namespace qv;
using namespace qv::test;

namespace {

struct TSettingsFixture : TLiveFixture
{
    TTariffEditor Tariffs{Ctx.Services, *Data};
    TProfilesEditor Profiles{Ctx.Services, *Data};
    TEntriesEditor Entries{Ctx.Services, *Data};
    TCalendarEditor Calendar{Ctx.Services, *Data};
    std::string LastShown() const { return Ctx.Prompter.Shown.empty() ? "" : Ctx.Prompter.Shown.back().Text; }
    // A pulse-rated form over one reduced band all week.
    TTariffForm PulseForm()
    {
        TTariffForm f = Tariffs.NewForm(ttScatti);
        f.Gestore = "  Prova ";
        f.Nome = "Scatti ";
        f.Scatti[foRidotta] = "60";
        f.CostoFisso[foRidotta] = "127,5";
        f.ScattiAllaRisposta = "1";
        for (auto& list : f.Bands)
            list = {{0, EndOfDay, BandColor(foRidotta)}};
        return f;
    }
};

} // namespace

TEST_F(TSettingsFixture, TariffFieldsAreCheckedWithTheirLabels)
{
    struct TCase
    {
        std::function<void(TTariffForm&)> Break;
        std::string Text;
    };
    const std::vector<TCase> cases = {
        {[](TTariffForm& f) { f.Gestore = " "; }, "I seguenti campi sono obbligatori: \r- Gestore"},
        {[](TTariffForm& f) { f.Nome = ""; }, "I seguenti campi sono obbligatori: \r- Nome"},
        {[](TTariffForm& f) { f.Scatti[foRidotta] = "sei"; },
         "Il valore specificato per il campo «Durata dello scatto (secondi) - fascia ridotta» non è valido!"},
        {[](TTariffForm& f) { f.Scatti[foRidotta] = "0"; },
         "Il valore specificato per il campo «Durata dello scatto (secondi) - fascia ridotta» non è valido!"},
        {[](TTariffForm& f) { f.Scatti[foRidotta] = "-5"; },
         "Il valore specificato per il campo «Durata dello scatto (secondi) - fascia ridotta» non è valido!"},
        {[](TTariffForm& f) { f.CostoFisso[foRidotta] = "1.2.3"; },
         "Il valore specificato per il campo «Costo di uno scatto £ - fascia ridotta» non è valido!"},
        {[](TTariffForm& f) { f.ScattiAllaRisposta = "1,5"; },
         "Il valore specificato per il campo «Scatti alla risposta» non è valido!"},
        {[](TTariffForm& f) { f.BonusMese = "10,5"; },
         "Il valore specificato per il campo «Secondi gratuiti al mese» non è valido!"},
        {[](TTariffForm& f) { f.BonusDisponibile = "-1"; },
         "Il valore specificato per il campo «Secondi gratuiti disponibili» non è valido!"},
    };
    const std::size_t before = Data->Taxations.Taxs().Count();
    for (const TCase& c : cases) {
        TTariffForm f = PulseForm();
        c.Break(f);
        EXPECT_FALSE(Tariffs.Save(f, nullptr)) << c.Text;
        EXPECT_EQ(LastShown(), c.Text);
    }
    EXPECT_EQ(Data->Taxations.Taxs().Count(), before);
    // A band that no timetable uses is not read at all.
    TTariffForm f = PulseForm();
    f.Scatti[foPunta] = "xx";
    EXPECT_TRUE(Tariffs.Save(f, nullptr));
    EXPECT_EQ(Tariffs.Saved()->DisplayName(), "Prova - Scatti");
    EXPECT_EQ(Tariffs.Saved()->CostoFissoRidotta(), 127.5);
}

TEST_F(TSettingsFixture, TimeRatedLabelsFollowTheLimitAndSecondRatesAreReadOnlyWithIt)
{
    EXPECT_EQ(TTariffEditor::FirstRateLabel(0), "1 minuto costa £");
    EXPECT_EQ(TTariffEditor::FirstRateLabel(15), "Fino a 15 min £");
    EXPECT_EQ(TTariffEditor::SecondRateLabel(15), "oltre 15 min £");
    TTariffForm f = TTariffEditor::FormOf(Tariff("Telecom - TAT Urbana"));
    f.Nome = "Copia";
    f.Tat2[foIntera] = "?";
    EXPECT_FALSE(Tariffs.Save(f, nullptr));
    EXPECT_EQ(LastShown(), "Il valore specificato per il campo «oltre 15 min £ - fascia intera» non è valido!");
    f.MinLimite = "dieci";
    EXPECT_FALSE(Tariffs.Save(f, nullptr));
    EXPECT_EQ(LastShown(), "Il valore specificato per il campo «Limite (minuti)» non è valido!");
    f.MinLimite = "0";
    EXPECT_TRUE(Tariffs.Save(f, nullptr));
    // Peak rates are not read: layout A has no peak band.
    f = TTariffEditor::FormOf(Tariff("Telecom - TAT Urbana"));
    f.Nome = "Copia 2";
    f.Tat1[foPunta] = "nulla";
    EXPECT_TRUE(Tariffs.Save(f, nullptr));
}

TEST_F(TSettingsFixture, DuplicateNamesAreRefusedOnAddAndOnSave)
{
    TTariffForm f = PulseForm();
    f.Gestore = "telecom ";
    f.Nome = " TAT URBANA";
    EXPECT_FALSE(Tariffs.Save(f, nullptr));
    EXPECT_EQ(LastShown(), "I dati non sono corretti: Impossibile aggiungere la tariffa Telecom - TAT Urbana\rE' già "
                           "presente una tariffa con questo nome!");
    TTariffForm g = TTariffEditor::FormOf(Tariff("Wind - Urbana"));
    g.Gestore = " Telecom";
    g.Nome = "TAT Urbana ";
    EXPECT_FALSE(Tariffs.Save(g, &Tariff("Wind - Urbana")));
    EXPECT_EQ(LastShown(),
              "Impossibile salvare i dati della tariffa!\r\rE' già presente una tariffa con il nome Telecom - TAT Urbana");
    EXPECT_NE(Data->Taxations.FindTax("Wind - Urbana"), nullptr);
}

TEST_F(TSettingsFixture, ARenamedTariffKeepsTheEntriesAndTheDefaultThatNamedIt)
{
    Data->Settings.Entrys().EntryFor("Provider", keRAS).SetTaxName("Wind - Urbana");
    Status().SetTax(&Tariff("Wind - Urbana"));
    TTariffForm f = TTariffEditor::FormOf(Tariff("Wind - Urbana"));
    f.Nome = "Urbana 2027";
    ASSERT_TRUE(Tariffs.Save(f, Data->Taxations.FindTax("Wind - Urbana")));
    EXPECT_EQ(Data->Settings.Entrys()[0].TaxName(), "Wind - Urbana 2027");
    EXPECT_EQ(Status().DefaultTax(), "Wind - Urbana 2027");
    EXPECT_EQ(Status().Tax()->DisplayName(), "Wind - Urbana 2027");
}

TEST_F(TSettingsFixture, TimetablesComeFromTheBars)
{
    TTariffForm f = PulseForm();
    TTimeTableBar bar;
    bar.SetFrames(f.Bands[0]);
    bar.InsertFrame(EncodeTime(8, 0, 0, 0), EncodeTime(18, 30, 0, 0), BandColor(foPunta));
    f.Bands[0] = bar.Frames();
    f.Scatti[foPunta] = "30";
    f.CostoFisso[foPunta] = "127";
    ASSERT_TRUE(Tariffs.Save(f, nullptr));
    const TBandItems& weekdays = Tariffs.Saved()->BandsFeriali();
    ASSERT_EQ(weekdays.Count(), 3u);
    EXPECT_EQ(weekdays[1].Tipo(), foPunta);
    EXPECT_EQ(weekdays[2].TimeEnd(), EndOfDay);
    EXPECT_EQ(Tariffs.Saved()->ScattiPunta(), 30);
    EXPECT_EQ(Tariffs.Saved()->BandAt(At(2026, 12, 9, 9)), foPunta);
    EXPECT_EQ(Tariffs.Saved()->BandAt(At(2026, 12, 12, 9)), foRidotta); // Saturday
    // A colour that is no band is refused and nothing is stored.
    f.Nome = "Altro";
    f.Bands[1] = {{0, EndOfDay, 0x123456}};
    EXPECT_FALSE(Tariffs.Save(f, nullptr));
    EXPECT_EQ(LastShown(), "Colore fascia inesistente");
    EXPECT_EQ(Data->Taxations.FindTax("Prova - Altro"), nullptr);
}

TEST_F(TSettingsFixture, FormulaUrbanaFillsThePresetOnTimeRatedTariffsOnly)
{
    TTariffForm f = Tariffs.NewForm(ttTat);
    TTariffEditor::ApplyFormulaUrbana(f);
    EXPECT_EQ(f.MinLimite, "6");
    EXPECT_EQ(f.Tat2[foRidotta], "10,44");
    TTariffForm g = Tariffs.NewForm(ttScatti);
    const TTariffForm before = g;
    TTariffEditor::ApplyFormulaUrbana(g);
    EXPECT_EQ(g.Tat2, before.Tat2);
}

TEST_F(TSettingsFixture, ProfileRules)
{
    const std::size_t admin = 0;
    TProfilesEditor::TForm f = Profiles.FormOf(admin);
    f.TimeWaitApplications = "4 s";
    EXPECT_FALSE(Profiles.Apply(admin, f));
    EXPECT_EQ(LastShown(), "I dati non sono corretti \r\rControllare il campo Attesa prima della connessione "
                           "(secondi)");
    f.TimeWaitApplications = "7";
    f.TimeOutConnection = 86400;
    EXPECT_FALSE(Profiles.Apply(admin, f));
    EXPECT_EQ(LastShown(), "I dati non sono corretti \r\rControllare il campo Durata della connessione");
    f.TimeOutConnection = 1800;
    f.TrayHintPause = -1;
    ASSERT_TRUE(Profiles.Apply(admin, f));
    EXPECT_EQ(Profile().TimeWaitApplications(), 7);
    EXPECT_EQ(Profile().TimeOutConnection(), 1800);
    EXPECT_EQ(Profile().TrayHintPause(), -1);
    // The last profile and the one in use stay.
    EXPECT_FALSE(Profiles.Delete(admin));
    EXPECT_EQ(LastShown(), "Almeno un profilo ci deve essere!");
    const auto added = Profiles.Add();
    ASSERT_TRUE(added);
    EXPECT_EQ(Profiles.Names()[*added], "Nuovo profilo");
    EXPECT_EQ(*Profiles.Add(), 2u);
    EXPECT_EQ(Profiles.Names()[2], "Nuovo profilo 2");
    EXPECT_FALSE(Profiles.Delete(admin));
    EXPECT_EQ(LastShown(), "Il profilo «Amministratore» è in uso e non può essere eliminato!");
    // Names are unique ignoring letter case.
    TProfilesEditor::TForm g = Profiles.FormOf(2);
    g.UserName = "AMMINISTRATORE";
    EXPECT_FALSE(Profiles.Apply(2, g));
    EXPECT_EQ(LastShown(), "E' già presente un profilo con il nome AMMINISTRATORE");
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_TRUE(Profiles.Delete(2));
    EXPECT_EQ(Profiles.Count(), 2u);
}

TEST_F(TSettingsFixture, APasswordUnlocksAProfileAndAUserProfileChangesOnlyItself)
{
    TProfileItem& other = Data->Settings.AddProfile("Ospite", "segreta", diUser, "");
    TProfilesEditor editor(Ctx.Services, *Data);
    EXPECT_TRUE(editor.NeedsPassword(1));
    TProfilesEditor::TForm f = editor.FormOf(1);
    f.Descrizione = "cambiata";
    EXPECT_FALSE(editor.Apply(1, f));
    EXPECT_EQ(LastShown(), "Per modificare il profilo «Ospite» occorre la sua password!");
    EXPECT_FALSE(editor.Unlock(1, "sbagliata"));
    EXPECT_EQ(LastShown(), "Password errata!");
    EXPECT_TRUE(editor.Unlock(1, "segreta"));
    EXPECT_TRUE(editor.Apply(1, f));
    EXPECT_EQ(other.Descrizione(), "cambiata");
    // Now the guest is in use: it may change itself but not raise its rights, and nobody else.
    Status().SetProfile(&other);
    TProfilesEditor user(Ctx.Services, *Data);
    EXPECT_FALSE(user.MayEdit(0));
    EXPECT_TRUE(user.MayEdit(1));
    TProfilesEditor::TForm a = user.FormOf(0);
    a.Descrizione = "no";
    EXPECT_FALSE(user.Apply(0, a));
    EXPECT_EQ(LastShown(), "Il profilo in uso non ha i diritti per modificare gli altri profili!");
    EXPECT_FALSE(user.Add());
    ASSERT_TRUE(user.Unlock(1, "segreta"));
    TProfilesEditor::TForm self = user.FormOf(1);
    self.Diritti = diAdmin;
    self.Signature = "Ciao";
    EXPECT_TRUE(user.Apply(1, self));
    EXPECT_EQ(other.Diritti(), diUser);
    EXPECT_EQ(other.Signature(), "Ciao");
}

TEST_F(TSettingsFixture, EntryRules)
{
    const std::string label = "I dati non sono corretti \r\rControllare il campo ";
    TEntriesEditor::TForm f = Entries.FormOf("Nuovo");
    EXPECT_EQ(f.RetryTime, "9");
    // Unchanged values of an entry without a record make no record.
    EXPECT_TRUE(Entries.Apply("Nuovo", f));
    EXPECT_FALSE(Entries.HasRecord("Nuovo"));
    f.RetryTime = "1,5";
    EXPECT_FALSE(Entries.Apply("Nuovo", f));
    EXPECT_EQ(LastShown(), label + "Richiamata su occupato");
    f.RetryTime = "30";
    f.DialTime = "";
    EXPECT_FALSE(Entries.Apply("Nuovo", f));
    EXPECT_EQ(LastShown(), label + "Tempo per la selezione");
    EXPECT_FALSE(Entries.HasRecord("Nuovo"));
    f.DialTime = " 12 ";
    f.TaxName = "Nessuna - Tariffa";
    EXPECT_FALSE(Entries.Apply("Nuovo", f));
    EXPECT_EQ(LastShown(), "La tariffa «Nessuna - Tariffa» non esiste!");
    f.TaxName = "Wind - Urbana ";
    ASSERT_TRUE(Entries.Apply("Nuovo", f));
    const TEntryItem& e = Data->Settings.Entrys()[static_cast<std::size_t>(Data->Settings.Entrys().IndexOfEntry("Nuovo"))];
    EXPECT_EQ(e.RetryTime(), 30);
    EXPECT_EQ(e.DialTime(), 12);
    EXPECT_EQ(e.TaxName(), "Wind - Urbana");
}

TEST_F(TSettingsFixture, GeneralSwitches)
{
    Ctx.Env.ConfigDir = "/nonexistent-qv-config";
    TGeneralSettings general(Ctx.Services, *Data);
    TGeneralSettings::TForm f = general.Form();
    EXPECT_EQ(f.InternationalPrefix, "00");
    // The check for new versions is offered only with an address to check.
    EXPECT_FALSE(f.AnnounceAddress);
    Ctx.Registry.RegWriteString("Options", "IndirizzoNovita", "news.example.org/quorvanta");
    EXPECT_TRUE(general.Form().AnnounceAddress);
    f.InternationalPrefix = "+39";
    EXPECT_FALSE(general.Apply(f));
    EXPECT_EQ(LastShown(), "Il prefisso inserito non è valido");
    f.InternationalPrefix = " 001 ";
    f.TimeServer = "  time.example.org ";
    f.AutoTimeCheck = true;
    EXPECT_TRUE(general.Apply(f));
    EXPECT_EQ(Data->Settings.InternationalPrefix(), "001");
    EXPECT_EQ(Data->Settings.TimeServer(), "time.example.org");
    EXPECT_TRUE(Data->Settings.AutoTimeCheck());
    f.TimeServer = " ";
    EXPECT_TRUE(general.Apply(f));
    EXPECT_EQ(Data->Settings.TimeServer(), "time.nist.gov"); // an automatic check needs a server
    // Starting with the session writes the autostart entry, and switching it off removes it.
    TTempDir config;
    Ctx.Env.ConfigDir = config.Path;
    Ctx.Env.ExePath = "/opt/quorvanta 100%/quorvanta";
    f.WinStart = true;
    ASSERT_TRUE(general.Apply(f));
    EXPECT_TRUE(Data->Settings.WinStart());
    const std::string entry = ReadFile(AutoStartFile(Ctx.Env));
    EXPECT_NE(entry.find("Exec=\"/opt/quorvanta 100%%/quorvanta\" /winstart\n"), std::string::npos) << entry;
    f.WinStart = false;
    ASSERT_TRUE(general.Apply(f));
    EXPECT_FALSE(std::filesystem::exists(AutoStartFile(Ctx.Env)));
}

TEST_F(TSettingsFixture, CalendarDaysAndTheMonthGrid)
{
    // December 2026: the 25th and 26th red, Saturdays and Sundays bold.
    const auto cells = Calendar.Month(2026, 12);
    ASSERT_EQ(cells.size(), 31u);
    EXPECT_TRUE(cells[24].Red);
    EXPECT_TRUE(cells[25].Red && cells[25].Bold); // Saturday 26
    EXPECT_FALSE(cells[8].Red || cells[8].Bold);  // Wednesday 9
    EXPECT_TRUE(Calendar.Month(2027, 3)[28].Red); // Easter Monday 29 March 2027
    // Saints of 65 characters are refused.
    TCalendarEditor::TDay day = Calendar.DayOf(26, 12);
    EXPECT_TRUE(day.Festa);
    const std::string saints = day.Santi;
    day.Santi = std::string(64, 'a') + "à";
    EXPECT_FALSE(Calendar.ApplyDay(26, 12, day));
    EXPECT_EQ(LastShown(), "Il campo Santi non può superare i 64 caratteri!");
    day.Santi = std::string(63, 'a') + "à";
    day.Festa = false;
    EXPECT_TRUE(Calendar.ApplyDay(26, 12, day));
    day.Santi = saints;
    EXPECT_TRUE(Calendar.ApplyDay(26, 12, day));
    EXPECT_FALSE(Data->Agenda.IsHoliday(EncodeDate(2031, 12, 26)));
    // The search goes round the year and ignores letter case.
    const auto found = Calendar.FindSaint("s. silvestro", 1, 1);
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, std::make_pair(31, 12));
    EXPECT_FALSE(Calendar.FindSaint("nessun santo con questo nome", 1, 1));
    // Unmarked 26 December survives a restart and the reset puts it back.
    Data->SaveAllModified();
    Start();
    TCalendarEditor again(Ctx.Services, *Data);
    EXPECT_FALSE(Data->Agenda.IsHoliday(EncodeDate(2027, 12, 26)));
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_TRUE(again.Reset());
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "Ripristina le impostazioni predefinite per le festività?");
    EXPECT_TRUE(Data->Agenda.IsHoliday(EncodeDate(2027, 12, 26)));
}

TEST_F(TSettingsFixture, CancelPutsBackWhatTheWindowOpenedWith)
{
    Status().SetTax(&Tariff("Wind - Urbana"));
    const TBytes settings = Data->Settings.WriteToBytes();
    const TBytes taxes = Data->Taxations.WriteToBytes();
    const TBytes agenda = Data->Agenda.WriteToBytes();
    TSettingsSession session(Ctx.Services, *Data);
    EXPECT_FALSE(session.Changed());
    TProfilesEditor::TForm p = Profiles.FormOf(0);
    p.UserName = "Io";
    ASSERT_TRUE(Profiles.Apply(0, p));
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    TTariffChooser chooser(Ctx.Services, *Data);
    ASSERT_TRUE(chooser.Delete(static_cast<std::size_t>(Data->Taxations.IndexOfTax("Wind", "Urbana"))));
    TCalendarEditor::TDay d = Calendar.DayOf(1, 5);
    d.Festa = false;
    ASSERT_TRUE(Calendar.ApplyDay(1, 5, d));
    EXPECT_TRUE(session.Changed());
    session.Cancel();
    EXPECT_EQ(Data->Settings.WriteToBytes(), settings);
    EXPECT_EQ(Data->Taxations.WriteToBytes(), taxes);
    EXPECT_EQ(Data->Agenda.WriteToBytes(), agenda);
    // The live status points at the restored objects.
    EXPECT_EQ(Status().Profile(), &Data->Settings.Profiles()[0]);
    EXPECT_EQ(Status().Tax(), Data->Taxations.FindTax("Wind - Urbana"));
    EXPECT_TRUE(Data->Agenda.IsHoliday(EncodeDate(2027, 5, 1)));
    EXPECT_FALSE(Data->Settings.Modified());
}

TEST_F(TSettingsFixture, CancelPutsBackTheGatewaysWithTheirAccountsUnlessMessagesAreOnTheirWay)
{
    TGateWayItem& first = Data->GateWays.Add("Uno");
    Data->GateWays.SetCredentials(first, "mario", "pw");
    const TBytes gateways = Data->GateWays.WriteToBytes();
    const TBytes settings = Data->Settings.WriteToBytes();
    {
        TSettingsSession session(Ctx.Services, *Data);
        TGatewayEditor editor(Ctx.Services, Data->GateWays);
        Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
        ASSERT_TRUE(editor.FactoryReset());
        EXPECT_TRUE(session.Changed());
        session.Cancel();
        EXPECT_EQ(Data->GateWays.WriteToBytes(), gateways);
        EXPECT_EQ(Data->Settings.WriteToBytes(), settings);
    }
    // A message on its way keeps the list and the accounts as they are now.
    TSmsNumbersItem& c = Data->PhoneBook.AddContact("39", "338", "1111111", "anna", "", "");
    Data->SmsData.FindOrAddMessage(c, "x").SetK(ssSending);
    TSettingsSession session(Ctx.Services, *Data);
    TGatewayEditor editor(Ctx.Services, Data->GateWays);
    TGatewayEditor::TForm f = editor.FormOf(0);
    f.HostAddress = "sms.example.org";
    f.CommandSend = "/s?t=<Msg>";
    f.Account = true;
    f.UserName = "luigi";
    f.Password = "nuova";
    ASSERT_TRUE(editor.Save(0, f));
    session.Cancel();
    TGateWayItem& g = Data->GateWays.GateWays()[0];
    EXPECT_EQ(g.Kind(), gkLogin);
    ASSERT_TRUE(Data->GateWays.LoadCredentials(g));
    EXPECT_EQ(g.UserName, "luigi");
}
