// Skins: BMP files read and written, the window shape from the key colour, "Skin.dat" written and
// read back byte for byte with its nested data, the factory skins, names and imports, the version
// check, applying a skin to a window, choosing the skin at start, and the editor's rules.
#include "TestSupport.h"
#include "platform/sim/SimSystem.h"
#include "skins/DesignSkin.h"
#include "skins/FactorySkins.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

TBitmap Checker(int width, int height, TColorRef a, TColorRef b)
{
    TBitmap bmp = TBitmap::Make(width, height, a);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if ((x + y) % 2)
                bmp.Set(x, y, b);
    return bmp;
}

// An 8-bit bitmap of four colours.
std::string Paletted()
{
    TBitmap b = TBitmap::Make(5, 3, RGB(255, 0, 255));
    b.BitCount = 8;
    b.Set(1, 0, RGB(10, 20, 30));
    b.Set(2, 1, RGB(200, 100, 0));
    b.Set(4, 2, RGB(0, 0, 128));
    return WriteBmp(b);
}

struct TFakeForm : ISkinForm
{
    std::vector<TFormControl> Design = DefaultDesign();
    std::vector<TFormControl> Applied;
    int W = 100, H = 50, X = 0, Y = 0;
    const std::vector<TRunRect>* LastShape = nullptr;
    std::size_t ShapeRuns = 0;
    bool Classic = false;
    TColorRef Color = 0;
    std::vector<TFormControl> Controls() override { return Design; }
    void ApplyControl(const TFormControl& c) override { Applied.push_back(c); }
    void SetBitmapSkin(const TBitmap& b, const std::vector<TRunRect>* shape) override
    {
        Classic = false;
        W = b.Width;
        H = b.Height;
        LastShape = shape;
        ShapeRuns = shape ? shape->size() : 0;
    }
    void SetClassicSkin(int w, int h, TColorRef c) override
    {
        Classic = true;
        W = w;
        H = h;
        Color = c;
        LastShape = nullptr;
    }
    int Width() override { return W; }
    int Height() override { return H; }
    int Left() override { return X; }
    int Top() override { return Y; }
    bool OnDesktop(int l, int t, int w, int h) override { return l < 1920 && t < 1080 && l + w > 0 && t + h > 0; }
    void MoveTo(int l, int t) override
    {
        X = l;
        Y = t;
    }
};

struct TSkinsFixture : testing::Test
{
    TTestContext Ctx;
    std::unique_ptr<TDataSkins> Skins = std::make_unique<TDataSkins>(Ctx.Services);
    void Load()
    {
        Skins = std::make_unique<TDataSkins>(Ctx.Services);
        Skins->SetFileName("Skin.dat");
    }
    const std::string& LastText() const { return Ctx.Prompter.Shown.back().Text; }
};

} // namespace

TEST(Bitmaps, TwentyFourAndEightBitFilesRoundTrip)
{
    const TBitmap strip = FactoryStrip();
    const std::string bytes = WriteBmp(strip);
    TBitmap back;
    std::string error;
    ASSERT_TRUE(ReadBmp(bytes, back, error)) << error;
    EXPECT_EQ(back.BitCount, 24);
    EXPECT_EQ(back.Pixels, strip.Pixels);
    EXPECT_EQ(WriteBmp(back), bytes);

    const std::string eight = Paletted();
    ASSERT_TRUE(ReadBmp(eight, back, error)) << error;
    EXPECT_EQ(back.BitCount, 8);
    EXPECT_EQ(back.Palette.size(), 4u);
    EXPECT_EQ(back.At(2, 1), RGB(200, 100, 0));
    EXPECT_EQ(back.KeyColor(), RGB(255, 0, 255));
    EXPECT_EQ(WriteBmp(back), eight);
}

TEST(Bitmaps, DamagedFilesAreRefusedWithAReason)
{
    const std::string good = WriteBmp(TBitmap::Make(4, 4, RGB(1, 2, 3)));
    TBitmap out;
    std::string error;
    EXPECT_FALSE(ReadBmp(good.substr(0, good.size() - 3), out, error));
    EXPECT_EQ(error, "dati della bitmap troncati");
    std::string huge = good;
    huge[18] = '\x7F'; // a width of millions
    huge[21] = '\x7F';
    EXPECT_FALSE(ReadBmp(huge, out, error));
    std::string rle = good;
    rle[30] = 1;
    EXPECT_FALSE(ReadBmp(rle, out, error));
    EXPECT_EQ(error, "bitmap compressa");
    EXPECT_FALSE(ReadBmp("BM", out, error));
    EXPECT_FALSE(ReadBmp(std::string(60, 'x'), out, error));
}

TEST(Bitmaps, TheKeyColourCutsHolesWhereverItAppears)
{
    TBitmap b = TBitmap::Make(6, 3, RGB(0, 0, 255));
    const TColorRef key = RGB(255, 0, 255);
    b.Set(0, 2, key); // bottom-left: the key
    b.Set(1, 2, key);
    b.Set(3, 0, key); // a hole inside the picture
    b.Set(4, 0, key);
    const std::vector<TRunRect> runs = KeyRuns(b);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].Left, 3);
    EXPECT_EQ(runs[0].Right, 5);
    EXPECT_EQ(runs[0].Top, 0);
    EXPECT_EQ(runs[1].Left, 0);
    EXPECT_EQ(runs[1].Right, 2);
    EXPECT_EQ(runs[1].Bottom, 3);
    // What is not cut is the rest of each row.
    std::size_t opaque = 0;
    for (const TRunRect& r : OpaqueRuns(b))
        opaque += static_cast<std::size_t>(r.Right - r.Left);
    EXPECT_EQ(opaque, 6u * 3u - 4u);

    // A checkerboard of 100 × 100 has 5000 runs: every one is cut.
    const TBitmap board = Checker(100, 100, RGB(0, 0, 0), RGB(255, 255, 255));
    const auto all = KeyRuns(board);
    EXPECT_EQ(all.size(), 5000u);
    EXPECT_EQ(OpaqueRuns(board).size(), 5000u);
}

TEST_F(TSkinsFixture, WithoutAFileTheTwoFactorySkinsAreMade)
{
    Load();
    ASSERT_EQ(Skins->SkinsEx().Count(), 2u);
    TSkinItemEx& def = Skins->SkinsEx()[0];
    EXPECT_EQ(def.Nome(), "<Predefinita>");
    EXPECT_EQ(def.Descrizione(), "Qov Skin\xC2\xA9 indovina chi \xC3\xA8... ;)");
    TSkinFileEx& f = def.SkinFileEx();
    EXPECT_EQ(f.Kind(), skBitmap);
    EXPECT_TRUE(f.Transparent());
    EXPECT_EQ(f.Bitmap().Width, 221);
    EXPECT_EQ(f.Bitmap().Height, 16);
    EXPECT_EQ(f.Bitmap().BitCount, 24);
    EXPECT_EQ(f.TransparentColor(), static_cast<std::int32_t>(StripKey));
    ASSERT_NE(f.FindControl("btStart"), nullptr);
    EXPECT_FALSE(f.FindControl("BTSTART")->Glyph().empty());
    const int spesa = f.FindControl("lbSpesa")->Left();

    TSkinFileEx& old = Skins->SkinsEx()[1].SkinFileEx();
    EXPECT_EQ(Skins->SkinsEx()[1].Nome(), "Skin old style");
    EXPECT_EQ(old.Kind(), skForm);
    EXPECT_EQ(old.ColorForm(), clNavy);
    EXPECT_EQ(old.WidthForm(), 199);
    EXPECT_EQ(old.HeightForm(), 14);
    EXPECT_EQ(old.FindControl("lbTempoTrascorso")->Left(), 1);
    EXPECT_EQ(old.FindControl("lbSpesa")->Left(), spesa - 23);
    EXPECT_TRUE(Ctx.Files.Exists(Ctx.Env.AppPath + "Skin.dat"));
}

TEST_F(TSkinsFixture, SkinDatReadsBackByteForByteWithBothKindsOfBitmap)
{
    Load();
    const std::string eight = Paletted();
    const std::string strip = WriteBmp(FactoryStrip());
    Skins->AddSkin("Otto bit", "256 colori", &eight);
    Skins->AddSkin("Ventiquattro", "", &strip);
    Skins->Save();
    const TBytes bytes = Ctx.Files.ReadAll(Ctx.Env.AppPath + "Skin.dat");
    TDataSkins again(Ctx.Services);
    again.ReadFromBytes(bytes);
    again.AfterLoad();
    EXPECT_EQ(again.WriteToBytes(), bytes);
    ASSERT_EQ(again.SkinsEx().Count(), 4u);
    EXPECT_EQ(again.FindSkin("otto bit")->SkinFileEx().Picture(), eight);
    EXPECT_EQ(again.FindSkin("Ventiquattro")->SkinFileEx().Picture(), strip);
    const TControlItem* label = again.FindSkin("Otto bit")->SkinFileEx().FindControl("lbSpesa");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->Font().Name(), "DejaVu Sans Mono");
    EXPECT_EQ(label->Font().Style(), fsBold);
    // Colours and character sets by name in the nested stream.
    TSkinFileEx& f = again.FindSkin("Otto bit")->SkinFileEx();
    EXPECT_NE(f.Data().find("DEFAULT_CHARSET"), std::string::npos);
    EXPECT_NE(f.Data().find("fsBold"), std::string::npos);
}

TEST_F(TSkinsFixture, DamagedDataGivesTheTextAndNeverCrashes)
{
    Load();
    TSkinFileEx& f = Skins->SkinsEx()[0].SkinFileEx();
    f.ReleaseData();
    const std::string good = f.Data();
    for (std::size_t cut : {std::size_t{2}, std::size_t{9}, good.size() / 2, good.size() - 1}) {
        std::string bad = good.substr(0, cut);
        f.SetData(bad);
        try {
            f.PrepareData();
            FAIL() << "read a cut Data of " << cut << " bytes";
        } catch (const EQvError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Impossibile caricare i dati nel TSkinFileEx\r\r[", 0), 0u);
        }
    }
    // Bytes changed inside: read or refused, never a crash.
    for (std::size_t i = 4; i < good.size(); i += 7) {
        std::string bad = good;
        bad[i] = static_cast<char>(bad[i] ^ 0x5A);
        f.SetData(bad);
        try {
            f.PrepareData();
            (void)f.Controls();
        } catch (const EQvError&) {
        }
        f.ReleaseData();
    }
}

TEST_F(TSkinsFixture, NamesDifferingInCaseAreRefusedWhenAddingAndAcceptedWhenRenaming)
{
    Load();
    Skins->AddSkin("Pippo", "", nullptr);
    try {
        Skins->AddSkin("pippo", "", nullptr);
        FAIL();
    } catch (const EQvError& e) {
        EXPECT_STREQ(e.what(), "Impossibile aggiungere la skin: pippo\r\rE' già presente una skin con questo nome!");
    }
    TSkinItemEx& other = Skins->AddSkin("Pluto", "", nullptr);
    EXPECT_NO_THROW(Skins->ModifySkin(other, "PIPPO", nullptr, "rinominata"));
    EXPECT_EQ(other.Nome(), "PIPPO");
    try {
        Skins->ModifySkin(other, "Pippo", nullptr, "");
        FAIL();
    } catch (const EQvError& e) {
        EXPECT_STREQ(e.what(), "Impossibile modificare la skin Pippo è già presente!");
    }
    // A bitmap skin cannot lose its picture.
    TSkinItemEx& bitmap = Skins->SkinsEx()[0];
    bitmap.SkinFileEx().SetPicture("");
    EXPECT_THROW(Skins->ModifySkin(bitmap, "<Predefinita>", nullptr, ""), EQvError);
}

TEST_F(TSkinsFixture, AnExportedSkinIsImportedWholeElsewhere)
{
    Load();
    TSkinItemEx& classic = Skins->SkinsEx()[1];
    TDesignSkinRules rules(Ctx.Services, *Skins);
    ASSERT_TRUE(rules.Export(classic, "/tmp/una.dat"));
    TDataSkins other(Ctx.Services);
    other.ForImport = true;
    other.ImportSkins("/tmp/una.dat");
    ASSERT_EQ(other.SkinsEx().Count(), 1u);
    EXPECT_EQ(other.SkinsEx()[0].Nome(), classic.Nome());
    EXPECT_EQ(other.SkinsEx()[0].Descrizione(), classic.Descrizione());
    EXPECT_EQ(other.SkinsEx()[0].SkinFileEx().WidthForm(), classic.SkinFileEx().WidthForm());
    EXPECT_EQ(other.SkinsEx()[0].SkinFileEx().Controls().Count(), classic.SkinFileEx().Controls().Count());
    // A bitmap skin keeps its picture.
    TSkinItemEx& bitmap = Skins->SkinsEx()[0];
    ASSERT_TRUE(rules.Export(bitmap, "/tmp/bitmap.dat"));
    other.ImportSkins("/tmp/bitmap.dat");
    ASSERT_EQ(other.SkinsEx().Count(), 2u);
    EXPECT_EQ(other.SkinsEx()[1].SkinFileEx().Picture(), bitmap.SkinFileEx().Picture());
}

TEST_F(TSkinsFixture, ImportedSkinsTakeFreeNamesAndAnotherVersionIsRefused)
{
    Load();
    Skins->Save();
    const std::string ours = Ctx.Env.AppPath + "Skin.dat";
    Ctx.Files.WriteAtomic("/tmp/altre.dat", Ctx.Files.ReadAll(ours));
    Skins->ImportSkins("/tmp/altre.dat");
    Skins->ImportSkins("/tmp/altre.dat");
    ASSERT_EQ(Skins->SkinsEx().Count(), 6u);
    EXPECT_EQ(Skins->SkinsEx()[2].Nome(), "<Predefinita>1");
    EXPECT_EQ(Skins->SkinsEx()[3].Nome(), "Skin old style1");
    EXPECT_EQ(Skins->SkinsEx()[5].Nome(), "Skin old style2");
    EXPECT_EQ(Skins->SkinsEx()[3].SkinFileEx().WidthForm(), 199);
    EXPECT_EQ(Skins->SkinsEx()[2].SkinFileEx().Picture(), Skins->SkinsEx()[0].SkinFileEx().Picture());

    try {
        Skins->ImportSkins("/tmp/nessuno.dat");
        FAIL();
    } catch (const EQvError& e) {
        EXPECT_STREQ(e.what(), "Il file /tmp/nessuno.dat non esiste!");
    }
    // A file of another version: refused, nothing stops, the file stays where it is.
    TDataSkins old(Ctx.Services);
    old.SetVersion(2);
    old.AddSkin("Vecchia", "", nullptr);
    const TBytes image = old.WriteToBytes();
    Ctx.Files.WriteAtomic("/tmp/vecchie.dat", image);
    Skins->ImportSkins("/tmp/vecchie.dat");
    ASSERT_FALSE(Ctx.Prompter.Shown.empty());
    EXPECT_EQ(LastText(), "Il file /tmp/vecchie.dat non contiene skin valide!");
    EXPECT_EQ(Skins->SkinsEx().Count(), 6u);
    EXPECT_TRUE(Ctx.Files.Exists("/tmp/vecchie.dat"));
    EXPECT_TRUE(Ctx.System.Halts.empty());
}

TEST_F(TSkinsFixture, SkinDatOfAnotherVersionIsMovedAsideAndStopsTheProgram)
{
    TDataSkins old(Ctx.Services);
    old.SetVersion(2);
    const std::string path = Ctx.Env.AppPath + "Skin.dat";
    Ctx.Files.WriteAtomic(path, old.WriteToBytes());
    Ctx.Files.WriteAtomic(path + "@error", TBytes{1, 2, 3});
    EXPECT_THROW(Load(), EHaltRequested);
    EXPECT_EQ(Ctx.Prompter.Shown.back().Text, "La versione del file " + path +
                                                   " non coincide!\rRiavviare l'applicazione e il file verrà "
                                                   "ricreato correttamente.");
    EXPECT_FALSE(Ctx.Files.Exists(path));
    EXPECT_EQ(Ctx.Files.ReadAll(path + "@error"), old.WriteToBytes());
}

TEST_F(TSkinsFixture, OldFormatSkinsAreConverted)
{
    TDataSkins old(Ctx.Services);
    TSkinItem& item = old.Skins().Add();
    item.SetNome("Antica");
    item.SetDescrizione("dal passato");
    item.SkinFile().SetKind(skBitmap);
    item.SkinFile().SetPictureData(EncodePicture(Paletted()));
    item.SkinFile().SetTopForm(40);
    item.SkinFile().SetTransparent(true);
    TControlItem& c = item.SkinFile().Controls().Add();
    c.SetName("lbSpesa");
    c.SetLeft(77);
    Ctx.Files.WriteAtomic(Ctx.Env.AppPath + "Skin.dat", old.WriteToBytes());
    Load();
    EXPECT_EQ(Skins->Skins().Count(), 0u);
    ASSERT_EQ(Skins->SkinsEx().Count(), 1u); // not empty: no factory skins
    TSkinFileEx& f = Skins->SkinsEx()[0].SkinFileEx();
    EXPECT_EQ(Skins->SkinsEx()[0].Nome(), "Antica");
    EXPECT_EQ(f.TopForm(), 40);
    EXPECT_TRUE(f.Transparent());
    EXPECT_EQ(f.Picture(), Paletted());
    // Position by position over the captured list: the first captured control took the old one's data.
    EXPECT_EQ(f.Controls()[0].Name(), "lbSpesa");
    EXPECT_EQ(f.Controls()[0].Left(), 77);
}

TEST_F(TSkinsFixture, ASkinShapesTheWindowPlacesItsControlsAndRemembersWhereItWas)
{
    Load();
    TFakeForm form;
    Skins->SetForm(&form);
    TSkinFileEx& f = Skins->SkinsEx()[0].SkinFileEx();
    f.SetLeftForm(5000); // off the desktop
    f.SetTopForm(300);
    Skins->SetModified(false);
    Skins->SelectSkin("<predefinita>");
    EXPECT_EQ(form.W, 221);
    EXPECT_GT(form.ShapeRuns, 0u);
    EXPECT_EQ(form.X, 0);
    EXPECT_EQ(form.Y, 0);
    EXPECT_EQ(f.LeftForm(), 0);
    EXPECT_TRUE(Skins->Modified());
    EXPECT_EQ(form.Applied.size(), DefaultDesign().size());

    form.X = 300;
    form.Y = 20;
    Skins->RememberPosition();
    EXPECT_EQ(f.LeftForm(), 300);
    form.Applied.clear();
    Skins->SelectSkin("Skin old style");
    EXPECT_TRUE(form.Classic);
    EXPECT_EQ(form.W, 199);
    EXPECT_EQ(form.Color, static_cast<TColorRef>(clNavy));
    EXPECT_FALSE(f.Prepared()); // only the current skin stays decoded
    EXPECT_EQ(form.Applied[0].Left, 1);
    try {
        Skins->SelectSkin("Nessuna");
        FAIL();
    } catch (const EQvError& e) {
        EXPECT_STREQ(e.what(), "Impossibile trovare la skin: Nessuna");
    }
}

TEST_F(TSkinsFixture, AFailingSkinFallsBackToTheFirstOrDeletesTheOnlyOne)
{
    Load();
    TSkinChoice choice{"Sparita", "<Predefinita>"};
    EXPECT_EQ(ChooseSkin(*Skins, choice), "Impossibile caricare la skin Sparita\rCarico la prima disponibile...");
    EXPECT_EQ(choice.TariffSkin, "<Predefinita>");
    EXPECT_EQ(Skins->Current()->Nome(), "<Predefinita>");
    TSkinChoice profile{"", "Altra"};
    ChooseSkin(*Skins, profile);
    EXPECT_EQ(profile.ProfileSkin, "<Predefinita>");

    Skins->DeleteSkin(Skins->SkinsEx()[1]);
    Skins->SkinsEx()[0].SkinFileEx().ReleaseData();
    Skins->SkinsEx()[0].SkinFileEx().SetData("guasto");
    Skins->Save();
    Load();
    TSkinChoice only{"", "<Predefinita>"};
    try {
        ChooseSkin(*Skins, only);
        FAIL();
    } catch (const EQvError& e) {
        EXPECT_STREQ(e.what(), "L'unica skin disponibile è corrotta!\rIl file skin.dat verrà ricreato al prossimo "
                               "riavvio di Quorvanta");
    }
    EXPECT_FALSE(Ctx.Files.Exists(Ctx.Env.AppPath + "Skin.dat"));
}

// ---- the editor ----

TEST_F(TSkinsFixture, TheEditorKeepsOneSkinAndMovesTheProfileOffADeletedOne)
{
    Load();
    std::string profile = "<Predefinita>";
    TDesignSkinRules rules(Ctx.Services, *Skins);
    rules.SetProfileSkin = [&profile](const std::string& s) { profile = s; };
    TFakeForm form;
    Skins->SetForm(&form);
    Skins->SelectSkin("<Predefinita>");
    EXPECT_EQ(TDesignSkinRules::Icon(Skins->SkinsEx()[0]), 2);
    EXPECT_EQ(TDesignSkinRules::Icon(Skins->SkinsEx()[1]), 5);

    EXPECT_FALSE(rules.Delete(Skins->SkinsEx()[0])); // answered No
    EXPECT_EQ(LastText(), "Eliminare la skin <Predefinita>?");
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_TRUE(rules.Delete(Skins->SkinsEx()[0]));
    EXPECT_EQ(profile, "Skin old style");
    EXPECT_EQ(Skins->Current()->Nome(), "Skin old style");
    EXPECT_TRUE(form.Classic);
    EXPECT_FALSE(rules.Delete(Skins->SkinsEx()[0]));
    EXPECT_EQ(LastText(), "Eh nooo! Una skin almeno deve esserci!");
    EXPECT_EQ(Skins->SkinsEx().Count(), 1u);
}

TEST_F(TSkinsFixture, TheEditorChecksNamesAndPicturesAndTogglesTransparency)
{
    Load();
    TDesignSkinRules rules(Ctx.Services, *Skins);
    EXPECT_EQ(rules.NewBitmapSkin(" ", "", Paletted()), nullptr);
    EXPECT_EQ(LastText(), "Manca il nome della skin!");
    EXPECT_EQ(rules.NewBitmapSkin("Foto", "", "GIF89a"), nullptr);
    EXPECT_EQ(LastText(), "Il formato dell'immagine non è supportato!\r\rProva con una bitmap RGB");
    TSkinItemEx* foto = rules.NewBitmapSkin("Foto", "", Paletted());
    ASSERT_NE(foto, nullptr);
    EXPECT_EQ(TDesignSkinRules::Icon(*foto), 4);
    rules.ToggleTransparent(*foto);
    EXPECT_EQ(TDesignSkinRules::Icon(*foto), 2);
    EXPECT_EQ(TDesignSkinRules::TransparentHint(true).substr(0, 16), "Skin trasparente");

    EXPECT_TRUE(TDesignSkinRules::SizeAccepted(199, 14));
    EXPECT_FALSE(TDesignSkinRules::SizeAccepted(30, 14));
    EXPECT_FALSE(TDesignSkinRules::SizeAccepted(200, 80));
    EXPECT_EQ(TDesignSkinRules::SizeText(199, 14), "[199, 14]");
    TSkinItemEx* blu = rules.NewClassicSkin("Blu", "", 250, 20, 0xFF0000);
    ASSERT_NE(blu, nullptr);
    EXPECT_EQ(blu->SkinFileEx().WidthForm(), 250);
    EXPECT_FALSE(rules.Modify(*blu, "", "", ""));
    EXPECT_EQ(LastText(), "Manca il nome della skin!");
    EXPECT_FALSE(rules.Modify(*foto, "", "", ""));
    EXPECT_EQ(LastText(), "Specificare il nome della skin!");
    EXPECT_TRUE(rules.Modify(*blu, "Blu scuro", "", "", 300, 30, clNavy));
    EXPECT_EQ(blu->SkinFileEx().WidthForm(), 300);
    EXPECT_EQ(blu->SkinFileEx().ColorForm(), clNavy);
}

TEST_F(TSkinsFixture, MovedControlsAreSavedOrDiscardedWhenTheEditorCloses)
{
    Load();
    TDesignSkinRules rules(Ctx.Services, *Skins);
    TSkinItemEx& skin = Skins->SkinsEx()[0];
    std::vector<TFormControl> preview = DefaultDesign();
    preview[0].Left = 60;
    EXPECT_TRUE(rules.CanClose(&skin, preview)); // nothing changed
    rules.PreviewChanged();
    Ctx.Prompter.SetNextAnswer(TModalResult::mrCancel);
    EXPECT_FALSE(rules.CanClose(&skin, preview));
    EXPECT_EQ(LastText(), "Salvare le modifiche?");
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_TRUE(rules.CanClose(&skin, preview));
    EXPECT_EQ(skin.SkinFileEx().FindControl(preview[0].Name)->Left(), 60);
    EXPECT_FALSE(rules.Changed());

    // Factory reset: the file goes and nothing writes it again.
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    EXPECT_TRUE(rules.FactoryReset());
    EXPECT_EQ(LastText(), "Le skin predefinite saranno disponibili come d'incanto al prossimo riavvio di Quorvanta!");
    Skins->SetModified(true);
    Skins.reset();
    EXPECT_FALSE(Ctx.Files.Exists(Ctx.Env.AppPath + "Skin.dat"));
}

TEST_F(TSkinsFixture, TheStoredFactoryFileReadsBackAsItIs)
{
    const std::string image = ReadFile(DataFile("Skin.dat"));
    const TBytes bytes(image.begin(), image.end());
    TDataSkins skins(Ctx.Services);
    skins.ReadFromBytes(bytes);
    skins.AfterLoad();
    EXPECT_EQ(skins.WriteToBytes(), bytes);
    ASSERT_EQ(skins.SkinsEx().Count(), 2u);
    // What the program draws today is what the file holds.
    EXPECT_EQ(skins.SkinsEx()[0].SkinFileEx().Picture(), WriteBmp(FactoryStrip()));
}
