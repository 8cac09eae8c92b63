// The skins from the command line: a read-only list writes nothing, an import names its skins
// apart, the dump decodes each skin's nested data, and a damaged one is reported, not a crash.
#include "CliRun.h"
#include "TestSupport.h"
#include "skins/Skins.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

TEST(CliSkins, ListExportImportAndTheDecodedDump)
{
    TTempDir dir;
    const TRun list = Cli({"--data-dir", dir.Path, "skins", "list"});
    EXPECT_EQ(list.Code, 0) << list.Err;
    EXPECT_EQ(list.Out, "* <Predefinita>\tbitmap 221x16 24 bit trasparente\tQov Skin© indovina chi è... ;)\n"
                        "  Skin old style\tclassica 199x14 #000080\tPer i nostalgici... ;)\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "Skin.dat"));

    TTempDir other;
    EXPECT_EQ(Cli({"--data-dir", other.Path, "skins", "export", other / "mie.dat"}).Code, 0);
    const TRun import = Cli({"--data-dir", dir.Path, "skins", "import", other / "mie.dat"});
    EXPECT_EQ(import.Code, 0) << import.Err;
    EXPECT_EQ(import.Out, "Importate 2 skin da " + (other / "mie.dat") + "\n");
    const TRun again = Cli({"--data-dir", dir.Path, "skins", "list"});
    EXPECT_NE(again.Out.find("  <Predefinita>1\tbitmap 221x16"), std::string::npos) << again.Out;
    EXPECT_NE(again.Out.find("  Skin old style1\tclassica"), std::string::npos);

    const TRun dump = Cli({"--data-dir", dir.Path, "dump", dir / "Skin.dat"});
    EXPECT_EQ(dump.Code, 0) << dump.Err;
    EXPECT_NE(dump.Out.find("SkinsEx[1].SkinFileEx.Data.Controls[0].Left = 1\n"), std::string::npos);
    EXPECT_NE(dump.Out.find("SkinsEx[0].SkinFileEx.Data.Controls[0].Font.Charset = DEFAULT_CHARSET\n"),
              std::string::npos);
    EXPECT_NE(dump.Out.find("SkinsEx[0].SkinFileEx.Data.Controls[0].Font.Style = [fsBold]\n"), std::string::npos);
    EXPECT_NE(dump.Out.find("SkinsEx[0].SkinFileEx.Data.Picture.Data.Size = 10"), std::string::npos);

    // A damaged "Data": the dump says so for that skin.
    TTestContext ctx;
    TDataSkins skins(ctx.Services);
    skins.CreateFactorySkins();
    skins.SkinsEx()[1].SkinFileEx().SetData(std::string("\x05\0\0\0TPF0", 8));
    const TBytes image = skins.WriteToBytes();
    WriteFile(dir / "rotte.dat", std::string(image.begin(), image.end()));
    const TRun broken = Cli({"--data-dir", dir.Path, "dump", dir / "rotte.dat"});
    EXPECT_EQ(broken.Code, 0) << broken.Err;
    EXPECT_NE(broken.Out.find("SkinsEx[1].SkinFileEx.Data.Errore = Impossibile caricare i dati nel TSkinFileEx"),
              std::string::npos)
        << broken.Out;
    EXPECT_EQ(Cli({"--data-dir", dir.Path, "skins", "import", dir / "nessuno.dat"}).Code, 1);
}
