// The persistent-component mechanism: file creation, automatic save cadence, damaged files, the
// reading rules, and byte-exact round trips of the reference files.
#include "TestShapes.h"
#include "tariffs/Taxations.h"
#include "TestSupport.h"
#include "app/DataClasses.h"
#include "core/Dump.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

TBytes Bytes(const std::string& s)
{
    return TBytes(s.begin(), s.end());
}

std::string Str(const TBytes& b)
{
    return std::string(b.begin(), b.end());
}

} // namespace

TEST(Persistence, BlankFileNameDoesNothing)
{
    TTestContext ctx;
    TStandaloneStatus status(ctx.Services);
    status.SetFileName("   ");
    EXPECT_EQ(status.FileName(), "");
    EXPECT_TRUE(ctx.Files.Files.empty());
}

TEST(Persistence, MissingFileIsCreatedWithDefaultsAndReadBack)
{
    TTestContext ctx;
    TStandaloneStatus status(ctx.Services);
    status.SetDefaultTax("Telecom - TAT Urbana");
    status.SetModified(false);
    status.SetFileName(" Status.dat ");
    EXPECT_EQ(status.FileName(), "Status.dat");
    EXPECT_FALSE(status.FileExisted());
    ASSERT_TRUE(ctx.Files.Exists("/data/Status.dat"));
    EXPECT_EQ(ctx.Files.Writes, 1);
    // A fresh component writes only its four integers and the non-empty string.
    TStandaloneStatus again(ctx.Services);
    again.SetFileName("Status.dat");
    EXPECT_TRUE(again.FileExisted());
    EXPECT_EQ(again.DefaultTax(), "Telecom - TAT Urbana");
    EXPECT_FALSE(again.Modified());
}

TEST(Persistence, FreshComponentMatchesReferenceBytes)
{
    TTestContext ctx;
    TStandaloneStatus status(ctx.Services);
    EXPECT_EQ(Str(status.WriteToBytes()), ReadFile(DataFile("StatusDefaults.dat")));
}

TEST(Persistence, TwoChangesThreeSecondsApartGiveOneWriteTenSecondsAfterTheFirst)
{
    TTestContext ctx;
    TStandaloneStatus status(ctx.Services);
    status.SetFileName("Status.dat");
    const int before = ctx.Files.Writes;
    int changes = 0;
    status.OnChange = [&] { ++changes; };
    status.SetCallRate(1);
    ctx.Time.Advance(3000);
    status.SetCallRate(2);
    ctx.Time.Advance(6999);
    EXPECT_EQ(ctx.Files.Writes, before);
    ctx.Time.Advance(1);
    EXPECT_EQ(ctx.Files.Writes, before + 1);
    EXPECT_FALSE(status.Modified());
    EXPECT_EQ(changes, 1); // raised when becoming modified, not on every change
    ctx.Time.Advance(60000);
    EXPECT_EQ(ctx.Files.Writes, before + 1);
    TStandaloneStatus reread(ctx.Services);
    reread.SetFileName("Status.dat");
    EXPECT_EQ(reread.CallRate(), 2);
}

TEST(Persistence, SuppressChangeSilencesOnChangeButStillSaves)
{
    TTestContext ctx;
    TStandaloneStatus status(ctx.Services);
    status.SetFileName("Status.dat");
    int changes = 0;
    status.OnChange = [&] { ++changes; };
    status.SuppressChange = true;
    status.SetCallRate(5);
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(status.Modified());
}

TEST(Persistence, FailedSaveWarnsKeepsDataAndStopsAutomaticSaving)
{
    TTestContext ctx;
    TStandaloneStatus status(ctx.Services);
    status.SetFileName("Status.dat");
    ctx.Files.FailWritesWith = "Spazio su disco esaurito";
    status.SetCallRate(3);
    ctx.Time.Advance(10000);
    EXPECT_TRUE(status.SaveFailed());
    ASSERT_EQ(ctx.Prompter.Shown.size(), 1u);
    EXPECT_EQ(ctx.Prompter.Shown[0].Kind, TMsgKind::Warning);
    EXPECT_EQ(ctx.Prompter.Shown[0].Text, "Impossibile salvare il file: Status.dat\r\r[Spazio su disco esaurito]");
    EXPECT_EQ(status.CallRate(), 3);
    EXPECT_TRUE(status.Modified());
    // The saves of the exit (the component's own, then the destructor's) tell nothing new.
    status.Save();
    status.Save();
    EXPECT_EQ(ctx.Prompter.Shown.size(), 1u);
    // The disk is back, but the timer never writes again in this run; an explicit save does.
    ctx.Files.FailWritesWith.clear();
    const int writes = ctx.Files.Writes;
    ctx.Time.Advance(30000);
    EXPECT_EQ(ctx.Files.Writes, writes);
    status.Save();
    EXPECT_EQ(ctx.Files.Writes, writes + 1);
    EXPECT_FALSE(status.Modified());
}

TEST(Persistence, TruncatedFileGoesToErrorAndStopsTheProgram)
{
    TTestContext ctx;
    TStandaloneStatus written(ctx.Services);
    written.SetNumScatti(12);
    written.SetEntryName("Tiscali");
    written.SetDefaultTax("Telecom - TAT Urbana");
    const std::string full = Str(written.WriteToBytes());
    written.SetModified(false);
    ctx.Files.Files["/data/Status.dat"] = Bytes(full.substr(0, full.size() / 2));
    ctx.Files.Files["/data/Status.dat@error"] = Bytes("older damaged file");
    TStandaloneStatus status(ctx.Services);
    EXPECT_THROW(status.SetFileName("Status.dat"), EHaltRequested);
    EXPECT_EQ(ctx.System.Halts.size(), 1u);
    EXPECT_FALSE(ctx.Files.Exists("/data/Status.dat"));
    EXPECT_EQ(Str(ctx.Files.Files["/data/Status.dat@error"]), full.substr(0, full.size() / 2));
    ASSERT_EQ(ctx.Prompter.Shown.size(), 1u);
    EXPECT_EQ(ctx.Prompter.Shown[0].Kind, TMsgKind::Info);
    EXPECT_EQ(ctx.Prompter.Shown[0].Text.rfind(
                  "Impossibile caricare i dati dal file: Status.dat il file sarà ricreato!\r[", 0),
              0u);
    EXPECT_EQ(status.FileName(), "");
    EXPECT_FALSE(status.Loading());
    // The next start finds no file and recreates it.
    TStandaloneStatus next(ctx.Services);
    next.SetFileName("Status.dat");
    EXPECT_TRUE(ctx.Files.Exists("/data/Status.dat"));
    EXPECT_EQ(next.NumScatti(), 0);
}

TEST(Persistence, AskOnLoadErrorYesSavesWhatWasRead)
{
    TTestContext ctx;
    // A log whose second item is cut short: the first one survives when the user says Yes.
    TDataUnits source(ctx.Services);
    source.Units().Add().SetN("Primo");
    source.Units().Add().SetN("Secondo");
    const TBytes bytes = source.WriteToBytes();
    ctx.Files.Files["/data/Connections.dat"] = TBytes(bytes.begin(), bytes.end() - 12);
    ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    TDataUnits units(ctx.Services);
    EXPECT_THROW(units.SetFileName("Connections.dat"), EHaltRequested);
    ASSERT_EQ(ctx.Prompter.Shown.size(), 1u);
    EXPECT_EQ(ctx.Prompter.Shown[0].Kind, TMsgKind::Question);
    EXPECT_NE(ctx.Prompter.Shown[0].Text.find("Provo a salvare il salvabile?"), std::string::npos);
    ASSERT_TRUE(ctx.Files.Exists("/data/Connections.dat"));
    TDataUnits saved(ctx.Services);
    saved.ReadFromBytes(ctx.Files.Files["/data/Connections.dat"]);
    // Only whole items: the second one, cut before its name, is not saved half-read.
    ASSERT_EQ(saved.Units().Count(), 1u);
    EXPECT_EQ(saved.Units()[0].N(), "Primo");
}

TEST(Persistence, DamagedFileIsMovedAsideWithoutLosingAnyCopy)
{
    TTestContext ctx;
    const TBytes damaged = Bytes(std::string("TPF0\x0ATDataUnits\x00\x05Units\x0E\x01", 22));
    ctx.Files.Files["/data/Connections.dat"] = damaged;
    ctx.Files.Files["/data/Connections.dat@error"] = Bytes("earlier rescue");
    ctx.Files.Files["/data/Connections.dat@error1"] = Bytes("older rescue");
    {
        TDataUnits units(ctx.Services);
        EXPECT_THROW(units.SetFileName("Connections.dat"), EHaltRequested);
    }
    EXPECT_EQ(ctx.Files.Text("/data/Connections.dat@error"), Str(damaged));
    EXPECT_EQ(ctx.Files.Text("/data/Connections.dat@error1"), "older rescue");
    EXPECT_EQ(ctx.Files.Text("/data/Connections.dat@error2"), "earlier rescue");

    // A file that cannot be moved aside is never written over, whatever the answer.
    TTestContext locked;
    locked.Files.Files["/data/Connections.dat"] = damaged;
    locked.Files.FailRenames = true;
    locked.Prompter.SetNextAnswer(TModalResult::mrYes);
    {
        TDataUnits units(locked.Services);
        units.SetAskOnLoadError(true);
        EXPECT_THROW(units.SetFileName("Connections.dat"), EHaltRequested);
    }
    EXPECT_EQ(locked.Files.Files["/data/Connections.dat"], damaged);
    EXPECT_EQ(locked.Files.Writes, 0);
    ASSERT_EQ(locked.Prompter.Shown.size(), 1u);
    EXPECT_NE(locked.Prompter.Shown[0].Text.find("non sarà modificato"), std::string::npos);
}

TEST(Persistence, FileThatCannotBeMadeWritableIsReadWithAWarning)
{
    TTestContext ctx;
    TStandaloneStatus source(ctx.Services);
    source.SetDefaultTax("Telecom - TAT Urbana");
    ctx.Files.Files["/data/Status.dat"] = source.WriteToBytes();
    ctx.Files.FailMakeWritableWith = "Operazione non permessa";
    TStandaloneStatus status(ctx.Services);
    status.SetFileName("Status.dat");
    EXPECT_TRUE(ctx.System.Halts.empty());
    EXPECT_EQ(status.FileName(), "Status.dat");
    EXPECT_EQ(status.DefaultTax(), "Telecom - TAT Urbana");
    ASSERT_EQ(ctx.Prompter.Shown.size(), 1u);
    EXPECT_EQ(ctx.Prompter.Shown[0].Text,
              "Impossibile rendere scrivibile il file: Status.dat\r\r[Operazione non permessa]");
}

TEST(Persistence, ManyEmptyItemsAreBoundedByTheFileSize)
{
    // 100,000 empty items in 200 kB would cost a hundred times that in memory.
    TBytes bytes;
    TStreamWriter w(bytes);
    w.WriteSignature();
    w.WriteShortString("TDataUnits");
    w.WriteShortString("");
    w.WriteShortString("Units");
    w.WriteTag(TValueTag::vaCollection);
    for (int i = 0; i < 100000; ++i) {
        w.WriteTag(TValueTag::vaList);
        w.WriteTag(TValueTag::vaNull);
    }
    for (int i = 0; i < 3; ++i)
        w.WriteByte(0);
    w.Finish();
    TTestContext ctx;
    TDataUnits units(ctx.Services);
    try {
        units.ReadFromBytes(bytes);
        FAIL() << "read " << units.Units().Count() << " items";
    } catch (const EReadError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Troppi elementi", 0), 0u) << e.what();
    }
    EXPECT_LT(units.Units().Count(), 20000u);
}

TEST(Persistence, UnopenableFileWarnsAndKeepsDefaults)
{
    TTestContext ctx;
    ctx.Files.Files["/data/Status.dat"] = Bytes("whatever");
    ctx.Files.Unreadable["/data/Status.dat"] = true;
    TStandaloneStatus status(ctx.Services);
    int loaded = 0;
    status.OnLoaded = [&] { ++loaded; };
    status.SetFileName("Status.dat");
    EXPECT_TRUE(ctx.System.Halts.empty());
    ASSERT_EQ(ctx.Prompter.Shown.size(), 1u);
    EXPECT_EQ(ctx.Prompter.Shown[0].Text, "Impossibile aprire il file: Status.dat\r\r[Accesso negato]");
    EXPECT_EQ(loaded, 1);
}

TEST(Persistence, CheckVersionOnNewFileReturnsTrueAndStoresIt)
{
    TTestContext ctx;
    TStandaloneStatus status(ctx.Services);
    status.SetFileName("Status.dat");
    const int writes = ctx.Files.Writes;
    EXPECT_TRUE(status.CheckVersion(1));
    EXPECT_EQ(status.Version(), 1);
    EXPECT_EQ(ctx.Files.Writes, writes + 1);
    EXPECT_TRUE(status.CheckVersion(1));
    EXPECT_EQ(ctx.Files.Writes, writes + 1);
    // An existing file of another version answers false once, then true.
    TStandaloneStatus reopened(ctx.Services);
    reopened.SetFileName("Status.dat");
    EXPECT_FALSE(reopened.CheckVersion(2));
    EXPECT_TRUE(reopened.CheckVersion(2));
}

TEST(Persistence, ImportFromFileReportsDamage)
{
    TTestContext ctx;
    ctx.Files.Files["/tmp/other.dat"] = Bytes(std::string("TPF0\x07TStatus\x00\x09NumScatti\x02", 24));
    TStandaloneStatus status(ctx.Services);
    try {
        status.ImportFromFile("/tmp/other.dat");
        FAIL() << "no exception";
    } catch (const EQvError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Impossibile importare i dati dal file: /tmp/other.dat\r\r[", 0), 0u);
    }
    TStandaloneStatus other(ctx.Services);
    other.SetNumScatti(42);
    ctx.Files.Files["/tmp/good.dat"] = other.WriteToBytes();
    status.ImportFromFile("/tmp/good.dat");
    EXPECT_EQ(status.NumScatti(), 42);
    EXPECT_TRUE(status.Modified());

    // A file damaged after some whole items leaves none of them behind.
    TDataUnits log(ctx.Services);
    log.Units().Add().SetN("Mia");
    TDataUnits foreign(ctx.Services);
    for (const char* n : {"Altra", "Terza", "Quarta"})
        foreign.Units().Add().SetN(n);
    const TBytes full = foreign.WriteToBytes();
    ctx.Files.Files["/tmp/log.dat"] = TBytes(full.begin(), full.end() - 5);
    EXPECT_THROW(log.ImportFromFile("/tmp/log.dat"), EQvError);
    ASSERT_EQ(log.Units().Count(), 1u);
    EXPECT_EQ(log.Units()[0].N(), "Mia");
}

TEST(Persistence, DestructorSavesModifiedComponent)
{
    TTestContext ctx;
    {
        TStandaloneStatus status(ctx.Services);
        status.SetFileName("Status.dat");
        status.SetEntryName("Libero");
    }
    TStandaloneStatus reread(ctx.Services);
    reread.SetFileName("Status.dat");
    EXPECT_EQ(reread.EntryName(), "Libero");
}

TEST(Persistence, CollectionChangesMarkTheOwner)
{
    TTestContext ctx;
    TTaxations taxes(ctx.Services);
    taxes.SetModified(false);
    auto& tax = taxes.Taxs().Add();
    EXPECT_TRUE(taxes.Modified());
    taxes.SetModified(false);
    tax.BandsSabato()[0].SetTipo(foPunta); // a nested item reports to the same owner
    EXPECT_TRUE(taxes.Modified());
    taxes.SetModified(false);
    taxes.Taxs().Delete(0);
    EXPECT_TRUE(taxes.Modified());
}

TEST(Persistence, StoredEmptyCollectionKeepsItsItemsOthersAreReplaced)
{
    TTestContext ctx;
    TTaxations source(ctx.Services);
    auto& t = source.Taxs().Add();
    t.BandsFeriali().Clear();
    t.BandsFestivi().Add().SetTipo(foIntera);
    TTaxations target(ctx.Services);
    target.ReadFromBytes(source.WriteToBytes());
    ASSERT_EQ(target.Taxs().Count(), 1u);
    EXPECT_EQ(target.Taxs()[0].BandsFeriali().Count(), 1u); // empty in the file: the default band stays
    EXPECT_EQ(target.Taxs()[0].BandsFestivi().Count(), 2u);
    EXPECT_EQ(target.Taxs()[0].BandsFestivi()[1].Tipo(), foIntera);
    // Written back untouched, it is stored empty again; once its kept band changes, the band is written.
    EXPECT_EQ(target.WriteToBytes(), source.WriteToBytes());
    target.Taxs()[0].BandsFeriali()[0].SetTipo(foPunta);
    TTaxations third(ctx.Services);
    third.ReadFromBytes(target.WriteToBytes());
    EXPECT_EQ(third.Taxs()[0].BandsFeriali()[0].Tipo(), foPunta);
    EXPECT_FALSE(third.Taxs()[0].BandsFeriali().StoredEmpty);
}

TEST(Persistence, ReadingRulesRefuseForeignContent)
{
    TTestContext ctx;
    struct TCase
    {
        std::string Bytes;
        std::string Reason;
    };
    const std::string head = std::string("TPF0\x07TStatus\x00", 13);
    const std::vector<TCase> cases = {
        {"XPF0", "Formato del file non valido"},
        {head + std::string("\x07Unknown\x02\x01\x00\x00", 12), "Proprietà sconosciuta: Unknown"},
        {head + std::string("\x09NumScatti\x06\x01x\x00\x00", 15), "Valore non valido per la proprietà NumScatti"},
        {head + std::string("\x09" "EntryName\x02\x01\x00\x00", 14), "Valore non valido per la proprietà EntryName"},
        {head + std::string("\x09NumScatti\x13\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00", 21),
         "Valore non valido per la proprietà NumScatti"},
        {head + std::string("\x09" "EntryName\x0C\xFF\xFF\xFF\x7F", 15), "Fine del file inattesa"},
        {head + std::string("\x09" "EntryName\x12\xFF\xFF\xFF\x7F", 15), "Fine del file inattesa"},
        {head + std::string("\x09NumScatti\x02\x05\x00\x01", 14), "Componenti annidati non previsti"},
    };
    for (const TCase& c : cases) {
        TStandaloneStatus status(ctx.Services);
        try {
            status.ReadFromBytes(Bytes(c.Bytes));
            ADD_FAILURE() << "accepted: " << c.Reason;
        } catch (const EReadError& e) {
            EXPECT_NE(std::string(e.what()).find(c.Reason), std::string::npos) << e.what();
        }
    }
}

TEST(Persistence, NumbersOfAnyWidthAndKindAreAccepted)
{
    TTestContext ctx;
    const std::string head = std::string("TPF0\x07TStatus\x00", 13);
    // NumScatti as a 64-bit integer that fits; CostoLire as single, currency, date and an integer.
    const std::string single = std::string("\x09" "CostoLire\x0F\x00\x00\xC0\x3F", 15);       // 1.5f
    const std::string currency = std::string("\x09" "StartTime\x10\x50\xC3\x00\x00\x00\x00\x00\x00", 19); // 5.0
    const std::string date = std::string("\x04Time\x11\x00\x00\x00\x00\x00\x00\xF0\x3F", 14);         // 1.0
    const std::string asInt = std::string("\x08" "CallRate\x13\x07\x00\x00\x00\x00\x00\x00\x00", 18);
    const std::string body = std::string("\x09NumScatti\x13\xFE\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 19) + single +
                             currency + date + asInt + std::string("\x00\x00", 2);
    TStandaloneStatus status(ctx.Services);
    status.ReadFromBytes(Bytes(head + body));
    EXPECT_EQ(status.NumScatti(), -2);
    EXPECT_EQ(status.CostoLire(), 1.5);
    EXPECT_EQ(status.StartTime(), 5.0);
    EXPECT_EQ(status.Time(), 1.0);
    EXPECT_EQ(status.CallRate(), 7);
}

TEST(Persistence, LongStringsAndTagChoice)
{
    TTestContext ctx;
    TStandaloneStatus status(ctx.Services);
    const std::string s255(255, 'a');
    std::string s300;
    for (int i = 0; i < 100; ++i)
        s300 += "è€x"; // three characters, one byte each on disk
    status.SetEntryName(s255);
    status.SetAppName(s300);
    const TBytes bytes = status.WriteToBytes();
    const std::string raw = Str(bytes);
    const auto entry = raw.find("EntryName");
    ASSERT_NE(entry, std::string::npos);
    EXPECT_EQ(static_cast<unsigned char>(raw[entry + 9]), 6u);
    EXPECT_EQ(static_cast<unsigned char>(raw[entry + 10]), 255u);
    const auto app = raw.find("AppName");
    EXPECT_EQ(static_cast<unsigned char>(raw[app + 7]), 12u);
    EXPECT_EQ(raw.substr(app + 8, 4), std::string("\x2C\x01\x00\x00", 4)); // 300
    EXPECT_EQ(raw.substr(app + 12, 3), "\xE8\x80x");
    TStandaloneStatus back(ctx.Services);
    back.ReadFromBytes(bytes);
    EXPECT_EQ(back.EntryName(), s255);
    EXPECT_EQ(back.AppName(), s300);
}

TEST(Persistence, NestedObjectsStringListsAndBinaryData)
{
    TTestContext ctx;
    TShapeMisc misc(ctx.Services);
    misc.Font().SetName("Verdana");
    misc.Font().SetSize(-11);
    misc.SetSanctiDays({"SS. Madre di Dio", "", "S. Basilio è"});
    misc.SetData(std::string("\x00\x01\xFF", 3));
    misc.SetBig(-5000000000LL);
    const TBytes bytes = misc.WriteToBytes();
    const std::string raw = Str(bytes);
    EXPECT_NE(raw.find("\x09" "Font.Name"), std::string::npos);
    EXPECT_NE(raw.find("\x12SanctiDays.Strings\x01"), std::string::npos);
    TShapeMisc back(ctx.Services);
    back.ReadFromBytes(bytes);
    EXPECT_EQ(back.Font().Name(), "Verdana");
    EXPECT_EQ(back.Font().Size(), -11);
    EXPECT_EQ(back.SanctiDays(), misc.SanctiDays());
    EXPECT_EQ(back.Data(), misc.Data());
    EXPECT_EQ(back.Big(), -5000000000LL);
    EXPECT_EQ(DumpObject(back, "TShapeMisc"), "# class TShapeMisc\n"
                                              "Tag = 0\n"
                                              "Version = 0\n"
                                              "AskOnLoadError = False\n"
                                              "Font.Name = \"Verdana\"\n"
                                              "Font.Size = -11\n"
                                              "SanctiDays.Count = 3\n"
                                              "SanctiDays[0] = \"SS. Madre di Dio\"\n"
                                              "SanctiDays[1] = \"\"\n"
                                              "SanctiDays[2] = \"S. Basilio \\xE8\"\n"
                                              "Data.Size = 3\n"
                                              "Data = 0001FF\n"
                                              "Big = -5000000000\n");
    // Empty lists and empty data are not written at all.
    TShapeMisc fresh(ctx.Services);
    EXPECT_EQ(Str(fresh.WriteToBytes()).find("SanctiDays"), std::string::npos);
    EXPECT_NE(DumpObject(fresh, "TShapeMisc").find("Data.Size = 0\nData = \n"), std::string::npos);
}

// The reference files: reading gives the expected dump, writing the values back gives the same bytes.
struct TGolden
{
    const char* File;
    std::function<std::unique_ptr<TPersistentComponent>(TServices&)> Make;
};

class GoldenFiles : public testing::TestWithParam<TGolden>
{
};

TEST_P(GoldenFiles, DumpAndBytesRoundTrip)
{
    TTestContext ctx;
    const std::string name = GetParam().File;
    const std::string bytes = ReadFile(DataFile(name + ".dat"));
    ASSERT_FALSE(bytes.empty());
    auto component = GetParam().Make(ctx.Services);
    EXPECT_EQ(PeekClassName(Bytes(bytes)), component->ClassName());
    component->ReadFromBytes(Bytes(bytes));
    EXPECT_EQ(StripDump(DumpObject(*component, component->ClassName())),
              StripDump(ReadFile(DataFile(name + ".expected.txt"))));
    EXPECT_EQ(Str(component->WriteToBytes()), bytes);
}


// The program's own classes, chosen by the header as the tools do.
INSTANTIATE_TEST_SUITE_P(
    Program, GoldenFiles,
    testing::Values(TGolden{"Status", [](TServices& s) { return CreateDataComponent("TStatus", s); }},
                    TGolden{"StatusDefaults", [](TServices& s) { return CreateDataComponent("TStatus", s); }},
                    TGolden{"Taxations", [](TServices& s) { return CreateDataComponent("TTaxations", s); }},
                    TGolden{"Connections", [](TServices& s) { return CreateDataComponent("TDataUnits", s); }}),
    [](const testing::TestParamInfo<TGolden>& p) { return std::string(p.param.File); });
