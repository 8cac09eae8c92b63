// Settings, profiles and dial-up entries.
#include "TestSupport.h"
#include "core/Dump.h"
#include "tariffs/Settings.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

TEST(Settings, NewFileHoldsTheAdministratorProfile)
{
    TTestContext ctx;
    {
        TSettings settings(ctx.Services);
        settings.SetFileName("Settings.dat");
    }
    TSettings settings(ctx.Services);
    settings.SetFileName("Settings.dat");
    EXPECT_EQ(settings.InternationalPrefix(), "00");
    EXPECT_EQ(settings.Installation(), ctx.Time.Now());
    ASSERT_EQ(settings.Profiles().Count(), 1u);
    const TProfileItem& p = settings.Profiles()[0];
    EXPECT_EQ(p.UserName(), "Amministratore");
    EXPECT_EQ(p.Password(), "");
    EXPECT_EQ(p.Diritti(), diAdmin);
    EXPECT_EQ(p.Descrizione(), "Descrizione (cambiare la pwd!)");
    EXPECT_TRUE(p.SoundsEnabled());
    EXPECT_TRUE(p.Preavviso());
    EXPECT_EQ(p.TimeOutConnection(), 600);
    EXPECT_EQ(p.TimeWaitApplications(), 4);
    EXPECT_TRUE(p.AskDisconnect());
    EXPECT_EQ(p.TrayHintPause(), 10000);
    EXPECT_EQ(p.SkinName(), "<Predefinita>");
    EXPECT_EQ(settings.FindProfile("AMMINISTRATORE"), &settings.Profiles()[0]);
    EXPECT_EQ(&settings.SelectProfile("nessuno"), &settings.Profiles()[0]);
}

TEST(Settings, EmptiedInternationalPrefixSurvivesARestart)
{
    TTestContext ctx;
    {
        TSettings settings(ctx.Services);
        settings.SetFileName("Settings.dat");
        settings.SetInternationalPrefix("");
    }
    TSettings settings(ctx.Services);
    settings.SetFileName("Settings.dat");
    EXPECT_EQ(settings.InternationalPrefix(), "");
    // Any other value is written as before.
    settings.SetInternationalPrefix("+");
    const TBytes bytes = settings.WriteToBytes();
    TSettings other(ctx.Services);
    other.ReadFromBytes(bytes);
    EXPECT_EQ(other.InternationalPrefix(), "+");
}

TEST(Settings, SettersTrimAndReadBackDefaults)
{
    TTestContext ctx;
    TSettings settings(ctx.Services);
    settings.SetTimeServer("  time.example.org \t");
    EXPECT_EQ(settings.TimeServer(), "time.example.org");
    TProfileItem& p = settings.AddProfile("Anna", "x", diUser, "");
    p.SetSkinName("");
    EXPECT_EQ(p.SkinName(), "<Predefinita>");
    TEntryItem& e = settings.Entrys().EntryFor("Tiscali", keRAS);
    e.SetTaxName("  Telecom - TAT Urbana ");
    EXPECT_EQ(e.TaxName(), "Telecom - TAT Urbana");
}

TEST(Settings, EntriesByExactNameAndTheirTariffs)
{
    TTestContext ctx;
    TSettings settings(ctx.Services);
    TEntryItems& entries = settings.Entrys();
    entries.EntryFor("Tiscali", keRAS);
    EXPECT_EQ(entries.IndexOfEntry("Tiscali"), 0);
    EXPECT_EQ(entries.IndexOfEntry("TISCALI"), -1);
    entries.EntryFor("TISCALI", keRAS);
    EXPECT_EQ(entries.Count(), 2u);
    const auto inPhoneBook = [](const std::string& n) { return n == "Tiscali" || n == "Libero"; };
    entries.SetEntryTax("   ", "Flat - Gratis", inPhoneBook);
    EXPECT_EQ(entries.Count(), 2u);
    entries.SetEntryTax("Libero", "Flat - Gratis", inPhoneBook);
    entries.SetEntryTax(ManualStartName, "Flat - Gratis", inPhoneBook);
    entries.SetEntryTax("0612345", "Flat - Gratis", inPhoneBook);
    EXPECT_EQ(entries[2].Kind(), keRAS);
    EXPECT_EQ(entries[3].Kind(), keManual);
    EXPECT_EQ(entries[4].Kind(), keTAPI);
    EXPECT_EQ(entries.RasEntriesWithTax("Flat - Gratis", inPhoneBook), std::vector<std::string>{"Libero"});
}

TEST(Settings, ProgramsAndCredentialsRoundTrip)
{
    TTestContext ctx;
    TSettings settings(ctx.Services);
    TProcessItem& prog = settings.Profiles().Add().Applications().Add();
    prog.SetNome("Posta");
    prog.SetPath("/usr/bin/thunderbird");
    prog.SetCloseKind(ckExit);
    TGateWayCredentialItem& cred = settings.GateWayCredentials().Add();
    cred.SetGateWayIndex(3);
    cred.SetPassword("segreta");
    TSettings back(ctx.Services);
    back.ReadFromBytes(settings.WriteToBytes());
    EXPECT_EQ(DumpObject(back, "TSettings"), DumpObject(settings, "TSettings"));
    EXPECT_EQ(back.Profiles()[0].Applications()[0].CloseKind(), ckExit);
    EXPECT_EQ(back.Profiles()[0].Applications()[0].CmdShow(), 6);
    EXPECT_EQ(back.GateWayCredentials()[0].Password(), "segreta");
}
