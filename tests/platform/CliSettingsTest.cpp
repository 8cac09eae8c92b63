// Settings from the command line (holidays, profiles, an entry's tariff and times), and a tariff
// typed into the properties dialog priced as the same tariff imported from its exchange file.
#include "TestSupport.h"
#include "app/DataModule.h"
#include "app/TariffEditor.h"
#include "CliRun.h"
#include "cli/TariffJson.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace qv;
using namespace qv::test;

TEST(CliSettings, HolidaysAreListedSetAndUnset)
{
    TTempDir dir;
    const TRun list = Cli({"--data-dir", dir.Path, "holidays", "list"});
    ASSERT_EQ(list.Code, 0) << list.Err;
    EXPECT_NE(list.Out.find("26/12\t"), std::string::npos);
    EXPECT_NE(list.Out.find("01/01\tSS. Madre di Dio"), std::string::npos);
    EXPECT_NE(list.Out.find("\tLunedì dell'Angelo "), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path)); // listing writes nothing

    ASSERT_EQ(Cli({"--data-dir", dir.Path, "holidays", "unset", "26/12"}).Code, 0);
    ASSERT_EQ(Cli({"--data-dir", dir.Path, "holidays", "set", "02/06"}).Code, 0);
    const TRun after = Cli({"--data-dir", dir.Path, "holidays", "list"});
    EXPECT_EQ(after.Out.find("26/12\t"), std::string::npos);
    EXPECT_NE(after.Out.find("02/06\t"), std::string::npos);
    // The calendar file itself says so after a reload.
    TDiskContext ctx;
    ctx.Env.AppPath = dir.Path + "/";
    TAgenda agenda(ctx.Services);
    agenda.SetFileName("Calendar.dat");
    EXPECT_FALSE(agenda.IsHoliday(EncodeDate(2030, 12, 26)));
    EXPECT_TRUE(agenda.IsHoliday(EncodeDate(2030, 6, 2)));

    for (const char* bad : {"31/02", "1/13", "domani", "29-02"}) {
        const TRun r = Cli({"--data-dir", dir.Path, "holidays", "set", bad});
        EXPECT_EQ(r.Code, 1) << bad;
        EXPECT_NE(r.Err.find("Giorno non valido"), std::string::npos) << r.Err;
    }
    EXPECT_EQ(Cli({"--data-dir", dir.Path, "holidays", "set", "29/02"}).Code, 0);
}

TEST(CliSettings, ProfilesAreListed)
{
    TTempDir dir;
    const TRun r = Cli({"--data-dir", dir.Path, "profiles", "list"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, "Amministratore\tamministratore\tsenza password\tDescrizione (cambiare la pwd!)\n");
}

TEST(CliSettings, AnEntryGetsItsTariffAndTimesWithTheWindowsChecks)
{
    TTempDir dir;
    const auto run = [&dir](std::vector<std::string> extra) {
        std::vector<std::string> args = {"--data-dir", dir.Path, "--simulate", "entries", "set"};
        args.insert(args.end(), extra.begin(), extra.end());
        return Cli(args);
    };
    const TRun ok = run({"Provider Uno", "--tariff", "Wind - Urbana", "--limit", "1800", "--retry", "20"});
    ASSERT_EQ(ok.Code, 0) << ok.Err;
    EXPECT_EQ(ok.Out, "Provider Uno: tariffa Wind - Urbana, limite 1800 s, richiamata 20 s, selezione 5 s\n");
    const TRun dump = Cli({"dump", dir / "Settings.dat"});
    EXPECT_NE(dump.Out.find("Entrys[0].TaxName = \"Wind - Urbana\""), std::string::npos) << dump.Out;
    EXPECT_NE(dump.Out.find("Entrys[0].TimeOutConnection = 1800"), std::string::npos);
    EXPECT_NE(dump.Out.find("Entrys[0].AutoDisconnect = True"), std::string::npos);

    const std::string before = ReadFile(dir / "Settings.dat");
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"Provider Uno", "--tariff", "Wind - Urbana", "--retry", "1,5"}, "Controllare il campo Richiamata su occupato"},
        {{"Provider Uno", "--tariff", "Wind - Urbana", "--dial-time", "x"}, "Controllare il campo Tempo per la selezione"},
        {{"Provider Uno", "--tariff", "Wind - Urbana", "--limit", "90000"}, "Controllare il campo Durata della connessione"},
        {{"Provider Uno", "--tariff", "Nessuna - Tariffa"}, "La tariffa «Nessuna - Tariffa» non esiste!"},
        {{"Sconosciuta", "--tariff", "Wind - Urbana"}, "La connessione «Sconosciuta» non è nella rubrica"},
        {{"Provider Uno", "--limit", "60"}, "Manca l'opzione --tariff"},
    };
    for (const auto& [args, message] : bad) {
        const TRun r = run(args);
        EXPECT_EQ(r.Code, 1) << message;
        EXPECT_NE(r.Err.find(message), std::string::npos) << r.Err;
    }
    EXPECT_EQ(ReadFile(dir / "Settings.dat"), before);
    // --limit 0 switches the limit off.
    ASSERT_EQ(run({"Provider Uno", "--tariff", "Wind - Urbana", "--limit", "0"}).Code, 0);
    EXPECT_NE(Cli({"dump", dir / "Settings.dat"}).Out.find("Entrys[0].AutoDisconnect = False"), std::string::npos);
}

TEST(CliSettings, ATariffTypedInTheDialogPricesAsTheSameTariffImported)
{
    TDiskContext ctx(At(2026, 12, 9, 10));
    auto data = std::make_unique<TDataModule>(ctx.Services);
    data->LoadAll();
    TTariffEditor editor(ctx.Services, *data);
    TTariffForm f = editor.NewForm(ttTat);
    f.Gestore = "Casa";
    f.Nome = "Sera";
    f.MinLimite = "10";
    f.CostoFisso = {"150", "120", "100"}; // peak, full, reduced
    f.Tat1 = {"40", "20,5", "10"};
    f.Tat2 = {"30", "15", "5,25"};
    f.QuorvantaSeconds = 300;
    TTimeTableBar bar;
    bar.SetFrames({{0, EndOfDay, BandColor(foRidotta)}});
    bar.InsertFrame(EncodeTime(8, 0, 0, 0), EncodeTime(18, 30, 0, 0), BandColor(foPunta));
    bar.InsertFrame(EncodeTime(18, 30, 0, 0), EncodeTime(21, 0, 0, 0), BandColor(foIntera));
    f.Bands[0] = bar.Frames();
    f.Bands[1] = f.Bands[2] = {{0, EndOfDay, BandColor(foRidotta)}};
    ASSERT_TRUE(editor.Save(f, nullptr)) << ctx.Prompter.Shown.back().Text;
    data->Taxations.Save();

    TTaxations imported(ctx.Services);
    TariffsFromJson(R"({"tariffs": [{"Gestore": "Casa", "Nome": "Sera", "Tipo": "ttTat", "Compare": true,
      "ScattiAllaRisposta": 1, "ScattiRidotta": 400, "ScattiIntera": 220, "ScattiPunta": 170,
      "CostoFissoRidotta": 100, "CostoFissoIntera": 120, "CostoFissoPunta": 150,
      "TatRidotta1": 10, "TatRidotta2": 5.25, "TatIntera1": 20.5, "TatIntera2": 15, "TatPunta1": 40, "TatPunta2": 30,
      "MinLimite": 10, "Quorvanta": "00:05:00",
      "BandsFeriali": [{"Tipo": "foRidotta", "TimeBegin": "00:00:00", "TimeEnd": "08:00:00"},
                       {"Tipo": "foPunta", "TimeBegin": "08:00:00", "TimeEnd": "18:30:00"},
                       {"Tipo": "foIntera", "TimeBegin": "18:30:00", "TimeEnd": "21:00:00"},
                       {"Tipo": "foRidotta", "TimeBegin": "21:00:00", "TimeEnd": "23:59:59.999"}],
      "BandsSabato": [{"Tipo": "foRidotta", "TimeBegin": "00:00:00", "TimeEnd": "23:59:59.999"}],
      "BandsFestivi": [{"Tipo": "foRidotta", "TimeBegin": "00:00:00", "TimeEnd": "23:59:59.999"}]}]})",
                    imported.Taxs());
    TTaxItem& typed = *data->Taxations.FindTax("Casa - Sera");
    TTaxItem& fromFile = imported.Taxs()[0];
    const std::vector<std::pair<double, double>> spans = {
        {At(2026, 12, 9, 7, 50), At(2026, 12, 9, 8, 20)},   // reduced into peak
        {At(2026, 12, 9, 18, 0), At(2026, 12, 9, 21, 30)},  // peak, full, reduced, past the limit
        {At(2026, 12, 12, 12, 0), At(2026, 12, 12, 12, 7)}, // Saturday
        {At(2026, 12, 9, 23, 55), At(2026, 12, 10, 9, 1)},  // overnight
    };
    for (const auto& [from, to] : spans) {
        const auto a = typed.ComputeCost(from, to);
        const auto b = fromFile.ComputeCost(from, to);
        EXPECT_EQ(a.Cost, b.Cost) << FormatDateTime("dd/mm hh:nn", from);
        EXPECT_EQ(a.Pulses, b.Pulses);
        EXPECT_GT(a.Cost, 0);
    }
    // A restart reads the same tariff back, and saving it again gives the same bytes.
    const std::string file = ReadFile(ctx.Env.AppPath + "Taxations.dat");
    data.reset();
    TDataModule again(ctx.Services);
    again.LoadAll();
    const TBytes image = again.Taxations.WriteToBytes();
    EXPECT_EQ(std::string(image.begin(), image.end()), file);
    TTaxItem* reloaded = again.Taxations.FindTax("Casa - Sera");
    ASSERT_NE(reloaded, nullptr);
    EXPECT_EQ(reloaded->ComputeCost(spans[1].first, spans[1].second).Cost,
              fromFile.ComputeCost(spans[1].first, spans[1].second).Cost);
}
