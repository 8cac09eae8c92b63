#include "skins/Skins.h"

#include "core/Dump.h"
#include "core/Errors.h"
#include "core/Strings.h"
#include "skins/FactorySkins.h"

#include <algorithm>
#include <sstream>

namespace qv {

const std::vector<std::pair<std::string, std::int64_t>>& ColorIdents()
{
    static const std::vector<std::pair<std::string, std::int64_t>> idents = {
        {"clBlack", 0x000000},   {"clMaroon", 0x000080},  {"clGreen", 0x008000},      {"clOlive", 0x008080},
        {"clNavy", 0x800000},    {"clPurple", 0x800080},  {"clTeal", 0x808000},       {"clGray", 0x808080},
        {"clSilver", 0xC0C0C0},  {"clRed", 0x0000FF},     {"clLime", 0x00FF00},       {"clYellow", 0x00FFFF},
        {"clBlue", 0xFF0000},    {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},       {"clWhite", 0xFFFFFF},
        {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xF0CAA6}, {"clCream", 0xF0FBFF},   {"clMedGray", 0xA4A0A0},
        {"clNone", 0x1FFFFFFF},  {"clDefault", 0x20000000},
        // The system colours: 0xFF000000 + the colour index, as signed 32-bit values.
        {"clScrollBar", -16777216},          {"clBackground", -16777215},   {"clActiveCaption", -16777214},
        {"clInactiveCaption", -16777213},    {"clMenu", -16777212},         {"clWindow", -16777211},
        {"clWindowFrame", -16777210},        {"clMenuText", -16777209},     {"clWindowText", -16777208},
        {"clCaptionText", -16777207},        {"clActiveBorder", -16777206}, {"clInactiveBorder", -16777205},
        {"clAppWorkSpace", -16777204},       {"clHighlight", -16777203},    {"clHighlightText", -16777202},
        {"clBtnFace", -16777201},            {"clBtnShadow", -16777200},    {"clGrayText", -16777199},
        {"clBtnText", -16777198},            {"clInactiveCaptionText", -16777197}, {"clBtnHighlight", -16777196},
        {"cl3DDkShadow", -16777195},         {"cl3DLight", -16777194},      {"clInfoText", -16777193},
        {"clInfoBk", -16777192},
    };
    return idents;
}

const std::vector<std::pair<std::string, std::int64_t>>& CharsetIdents()
{
    static const std::vector<std::pair<std::string, std::int64_t>> idents = {
        {"ANSI_CHARSET", 0},        {"DEFAULT_CHARSET", 1},     {"SYMBOL_CHARSET", 2},
        {"MAC_CHARSET", 77},        {"SHIFTJIS_CHARSET", 128},  {"HANGEUL_CHARSET", 129},
        {"JOHAB_CHARSET", 130},     {"GB2312_CHARSET", 134},    {"CHINESEBIG5_CHARSET", 136},
        {"GREEK_CHARSET", 161},     {"TURKISH_CHARSET", 162},   {"VIETNAMESE_CHARSET", 163},
        {"HEBREW_CHARSET", 177},    {"ARABIC_CHARSET", 178},    {"BALTIC_CHARSET", 186},
        {"RUSSIAN_CHARSET", 204},   {"THAI_CHARSET", 222},      {"EASTEUROPE_CHARSET", 238},
        {"OEM_CHARSET", 255},
    };
    return idents;
}

const TPropTable& TSkinFont::Table()
{
    using T = TSkinFont;
    static const TPropTable t = TPropBuilder<T>()
                                    .Ident("Charset", &T::Charset, &T::SetCharset, CharsetIdents())
                                    .Ident("Color", &T::Color, &T::SetColor, ColorIdents())
                                    .Int("Height", &T::Height, &T::SetHeight)
                                    .Str("Name", &T::Name, &T::SetName)
                                    .Set("Style", &T::Style, &T::SetStyle, {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"})
                                    .Build();
    return t;
}

// ---- pictures ----

std::string EncodePicture(const std::string& bmp)
{
    if (bmp.empty())
        return {};
    std::string out;
    out += static_cast<char>(7);
    out += "TBitmap";
    const auto n = static_cast<std::uint32_t>(bmp.size());
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((n >> (8 * i)) & 255);
    return out + bmp;
}

std::string DecodePicture(const std::string& data)
{
    if (data.empty())
        return {};
    const auto nameLength = static_cast<unsigned char>(data[0]);
    if (data.size() < 1u + nameLength)
        throw EQvError("immagine troncata");
    const std::string className = data.substr(1, nameLength);
    if (className != "TBitmap")
        throw EQvError("formato dell'immagine sconosciuto: " + className);
    std::size_t at = 1u + nameLength;
    if (data.size() < at + 4)
        throw EQvError("immagine troncata");
    std::uint32_t n = 0;
    for (int i = 3; i >= 0; --i)
        n = (n << 8) | static_cast<unsigned char>(data[at + static_cast<std::size_t>(i)]);
    at += 4;
    if (data.size() - at < n)
        throw EQvError("immagine troncata");
    return data.substr(at, n);
}

// ---- controls ----

const TPropTable& TControlItem::Table()
{
    using T = TControlItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Str("Name", &T::Name, &T::SetName)
                                    .Int("Top", &T::Top, &T::SetTop)
                                    .Int("Left", &T::Left, &T::SetLeft)
                                    .Object("Font", static_cast<TSkinFont& (T::*)()>(&T::Font), TSkinFont::Table())
                                    .Binary("Glyph.Data", &T::GlyphData, &T::SetGlyphData)
                                    .Build();
    return t;
}

void TControlItem::CopyFrom(const TControlItem& o)
{
    SetName(o.Name());
    SetTop(o.Top());
    SetLeft(o.Left());
    FFont = o.FFont;
    SetGlyphData(o.GlyphData());
}

const TPropTable& TSkinComponent::Table()
{
    using T = TSkinComponent;
    static const TPropTable t = TPropBuilder<T>()
                                    .Binary("Picture.Data", &T::PictureData, &T::SetPictureData)
                                    .Collection("Controls", static_cast<TControlItems& (T::*)()>(&T::Controls))
                                    .Build();
    return t;
}

// ---- a skin ----

const TPropTable& TSkinFileEx::Table()
{
    using T = TSkinFileEx;
    static const TPropTable t = TPropBuilder<T>()
                                    .Enum("Kind", &T::Kind, &T::SetKind, {"skBitmap", "skForm"})
                                    .Ident("TransparentColor", &T::TransparentColor, &T::SetTransparentColor,
                                           ColorIdents(), clNone)
                                    .Ident("Tolerance", &T::Tolerance, &T::SetTolerance, ColorIdents(), 0)
                                    .Bool("Transparent", &T::Transparent, &T::SetTransparent)
                                    .Int("TopForm", &T::TopForm, &T::SetTopForm, 0)
                                    .Int("LeftForm", &T::LeftForm, &T::SetLeftForm, 0)
                                    .Ident("ColorForm", &T::ColorForm, &T::SetColorForm, ColorIdents())
                                    .Int("WidthForm", &T::WidthForm, &T::SetWidthForm)
                                    .Int("HeightForm", &T::HeightForm, &T::SetHeightForm)
                                    .Binary("Data", &T::Data, &T::SetData)
                                    .Build();
    return t;
}

void TSkinFields::MarkChanged()
{
    if (FOwner && !FOwner->Loading())
        FOwner->SetModified(true);
}

void TSkinFileEx::PrepareData()
{
    if (FDecoded)
        return;
    auto decoded = std::make_unique<TSkinComponent>();
    std::string picture;
    try {
        if (!FData.empty()) {
            // A 32-bit byte count, then the component stream.
            if (FData.size() < 4)
                throw EQvError("dati troncati");
            std::uint32_t n = 0;
            for (int i = 3; i >= 0; --i)
                n = (n << 8) | static_cast<unsigned char>(FData[static_cast<std::size_t>(i)]);
            if (FData.size() - 4 < n)
                throw EQvError("dati troncati");
            const TBytes bytes(FData.begin() + 4, FData.begin() + 4 + n);
            TStreamReader r(bytes);
            ReadComponentStream(r, *decoded);
            picture = DecodePicture(decoded->PictureData());
        }
    } catch (const std::exception& e) {
        throw EQvError("Impossibile caricare i dati nel TSkinFileEx\r\r[" + std::string(e.what()) + "]");
    }
    FDecoded = std::move(decoded);
    FPicture = std::move(picture);
    FBitmap.reset();
}

void TSkinFileEx::EncodeData()
{
    try {
        PrepareData();
        FDecoded->SetPictureData(EncodePicture(FPicture));
        TBytes bytes;
        TStreamWriter w(bytes);
        WriteComponentStream(w, *FDecoded, "TSkinComponent");
        w.Finish();
        std::string data;
        const auto n = static_cast<std::uint32_t>(bytes.size());
        for (int i = 0; i < 4; ++i)
            data += static_cast<char>((n >> (8 * i)) & 255);
        data.append(bytes.begin(), bytes.end());
        SetData(data);
    } catch (const std::exception& e) {
        throw EQvError("Impossibile salvare i dati nel TSkinFileEx\r\r[" + std::string(e.what()) + "]");
    }
}

void TSkinFileEx::ReleaseData()
{
    FDecoded.reset();
    FPicture.clear();
    FBitmap.reset();
}

const std::string& TSkinFileEx::Picture()
{
    PrepareData();
    return FPicture;
}

void TSkinFileEx::SetPicture(const std::string& bmp)
{
    PrepareData();
    FPicture = bmp;
    FBitmap.reset();
}

const TBitmap& TSkinFileEx::Bitmap()
{
    PrepareData();
    if (!FBitmap) {
        TBitmap b;
        std::string error;
        if (!FPicture.empty() && !ReadBmp(FPicture, b, error))
            throw EQvError("Impossibile caricare i dati nel TSkinFileEx\r\r[" + error + "]");
        FBitmap = std::move(b);
    }
    return *FBitmap;
}

TControlItems& TSkinFileEx::Controls()
{
    PrepareData();
    return FDecoded->Controls();
}

TControlItem* TSkinFileEx::FindControl(const std::string& name)
{
    for (auto& c : Controls())
        if (SameText(c->Name(), name))
            return c.get();
    return nullptr;
}

const TPropTable& TSkinItemEx::Table()
{
    using T = TSkinItemEx;
    static const TPropTable t = TPropBuilder<T>()
                                    .Str("Nome", &T::Nome, &T::SetNome)
                                    .Str("Descrizione", &T::Descrizione, &T::SetDescrizione)
                                    .Object("SkinFileEx", &T::SkinFileEx, TSkinFileEx::Table())
                                    .Build();
    return t;
}

const TPropTable& TSkinFile::Table()
{
    using T = TSkinFile;
    static const TPropTable t = TPropBuilder<T>()
                                    .Enum("Kind", &T::Kind, &T::SetKind, {"skBitmap", "skForm"})
                                    .Ident("TransparentColor", &T::TransparentColor, &T::SetTransparentColor,
                                           ColorIdents(), clNone)
                                    .Ident("Tolerance", &T::Tolerance, &T::SetTolerance, ColorIdents(), 0)
                                    .Binary("Picture.Data", &T::PictureData, &T::SetPictureData)
                                    .Bool("Transparent", &T::Transparent, &T::SetTransparent)
                                    .Int("TopForm", &T::TopForm, &T::SetTopForm, 0)
                                    .Int("LeftForm", &T::LeftForm, &T::SetLeftForm, 0)
                                    .Ident("ColorForm", &T::ColorForm, &T::SetColorForm, ColorIdents())
                                    .Int("WidthForm", &T::WidthForm, &T::SetWidthForm)
                                    .Int("HeightForm", &T::HeightForm, &T::SetHeightForm)
                                    .Collection("Controls", &T::Controls)
                                    .Build();
    return t;
}

const TPropTable& TSkinItem::Table()
{
    using T = TSkinItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Str("Nome", &T::Nome, &T::SetNome)
                                    .Str("Descrizione", &T::Descrizione, &T::SetDescrizione)
                                    .Object("SkinFile", &T::SkinFile, TSkinFile::Table())
                                    .Build();
    return t;
}

// ---- the collection ----

TDataSkins::TDataSkins(TServices& services) : TPersistentComponent(services, "TDataSkins")
{
    SetVersion(1);
    SetModified(false);
}

TDataSkins::~TDataSkins()
{
    SaveIfModified();
}

const TPropTable& TDataSkins::Table()
{
    using T = TDataSkins;
    static const TPropTable t = TPropBuilder<T>(&TPersistentComponent::Table())
                                    .Collection("Skins", &T::Skins)
                                    .Collection("SkinsEx", &T::SkinsEx)
                                    .Build();
    return t;
}

void TDataSkins::AfterLoad()
{
    FCurrent = nullptr;
    if (Version() != 1) {
        if (ForImport)
            throw EQvError("La versione del file non coincide!");
        const std::string path = FilePath();
        ShowError(FServices.Prompter, "La versione del file " + path +
                                          " non coincide!\rRiavviare l'applicazione e il file verrà ricreato "
                                          "correttamente.");
        FServices.Files.Remove(path + "@error");
        FServices.Files.Rename(path, path + "@error");
        SetFileName(""); // nothing more is written over it
        FServices.System.Halt(1);
        return;
    }
    if (FSkins.Count() > 0) {
        // The old format becomes the current one.
        for (auto& old : FSkins) {
            TSkinFile& f = old->SkinFile();
            AddCopy(old->Nome(), old->Descrizione(), f, DecodePicture(f.PictureData()), f.Controls(), true);
        }
        FSkins.Clear();
        SetModified(true);
    }
    if (FSkinsEx.Count() == 0) {
        if (OnEmptySkin)
            OnEmptySkin();
        else if (!ForImport)
            CreateFactorySkins();
    }
}

TSkinItemEx* TDataSkins::FindSkin(const std::string& name)
{
    for (auto& s : FSkinsEx)
        if (SameText(s->Nome(), name))
            return s.get();
    return nullptr;
}

void TDataSkins::SelectSkin(const std::string& name)
{
    TSkinItemEx* item = FindSkin(name);
    if (!item)
        throw EQvError("Impossibile trovare la skin: " + name);
    if (item == FCurrent)
        return;
    if (FCurrent)
        FCurrent->SkinFileEx().ReleaseData();
    FCurrent = nullptr;
    item->SkinFileEx().PrepareData();
    FCurrent = item;
    Reapply();
}

void TDataSkins::Reapply()
{
    if (!FCurrent)
        return;
    TSkinFileEx& f = FCurrent->SkinFileEx();
    if (FForm) {
        if (f.Kind() == skBitmap) {
            const TBitmap& bmp = f.Bitmap();
            std::vector<TRunRect> shape;
            if (f.Transparent())
                shape = KeyRuns(bmp);
            FForm->SetBitmapSkin(bmp, f.Transparent() ? &shape : nullptr);
        } else {
            FForm->SetClassicSkin(f.WidthForm(), f.HeightForm(), static_cast<TColorRef>(f.ColorForm()));
        }
        ApplyControls(*FCurrent);
        if (!FForm->OnDesktop(f.LeftForm(), f.TopForm(), FForm->Width(), FForm->Height())) {
            f.SetTopForm(0);
            f.SetLeftForm(0);
            SetModified(true);
        }
        FForm->MoveTo(f.LeftForm(), f.TopForm());
    }
    if (OnSkinChange)
        OnSkinChange(*FCurrent);
}

TSkinItemEx& TDataSkins::AddSkin(const std::string& name, const std::string& description, const std::string* picture)
{
    const std::string prefix = "Impossibile aggiungere la skin: " + name + "\r\r";
    if (FindSkin(name))
        throw EQvError(prefix + "E' già presente una skin con questo nome!");
    TSkinItemEx& item = FSkinsEx.Add();
    try {
        item.SetNome(name);
        item.SetDescrizione(description);
        TSkinFileEx& f = item.SkinFileEx();
        f.PrepareData();
        if (picture && !picture->empty()) {
            f.SetKind(skBitmap);
            f.SetPicture(*picture);
            const TBitmap& bmp = f.Bitmap();
            // A bitmap read from a file is not transparent until the user says so.
            f.SetTransparentColor(static_cast<std::int32_t>(bmp.KeyColor()));
            f.SetTransparent(false);
        } else {
            f.SetKind(skForm);
            f.SetColorForm(clNavy);
            f.SetWidthForm(450);
            f.SetHeightForm(200);
        }
        CaptureControls(item);
        f.EncodeData();
        f.ReleaseData();
    } catch (const std::exception& e) {
        FSkinsEx.RemoveIf([&item](const TSkinItemEx& s) { return &s == &item; });
        throw EQvError(prefix + e.what());
    }
    SetModified(true);
    return item;
}

void TDataSkins::ModifySkin(TSkinItemEx& item, const std::string& name, const std::string* picture,
                            const std::string& description)
{
    for (auto& s : FSkinsEx)
        if (s.get() != &item && s->Nome() == name)
            throw EQvError("Impossibile modificare la skin " + name + " è già presente!");
    try {
        TSkinFileEx& f = item.SkinFileEx();
        const bool wasPrepared = f.Prepared();
        if (picture && !picture->empty()) {
            f.SetPicture(*picture); // read first: a picture that cannot be read changes nothing
            const TBitmap& bmp = f.Bitmap();
            f.SetKind(skBitmap);
            f.SetTransparentColor(static_cast<std::int32_t>(bmp.KeyColor()));
            f.SetTransparent(false);
            f.EncodeData();
        } else if (f.Kind() == skBitmap && f.Picture().empty()) {
            throw EQvError("Impossibile salvare la skin: non ha un'immagine associata!");
        }
        if (!wasPrepared && &item != FCurrent)
            f.ReleaseData();
        item.SetNome(name);
        item.SetDescrizione(description);
    } catch (const std::exception& e) {
        item.SkinFileEx().ReleaseData();
        if (&item == FCurrent)
            item.SkinFileEx().PrepareData();
        throw EQvError("Impossibile modificare la skin: " + name + "\r\r" + e.what());
    }
    SetModified(true);
}

void TDataSkins::DeleteSkin(TSkinItemEx& item)
{
    if (&item == FCurrent)
        FCurrent = nullptr;
    FSkinsEx.RemoveIf([&item](const TSkinItemEx& s) { return &s == &item; });
    SetModified(true);
}

std::string TDataSkins::FreeName(const std::string& name)
{
    if (!FindSkin(name))
        return name;
    for (int n = 1;; ++n)
        if (!FindSkin(name + std::to_string(n)))
            return name + std::to_string(n);
}

TSkinItemEx& TDataSkins::AddCopy(const std::string& name, const std::string& description, const TSkinFields& from,
                                 const std::string& picture, const TControlItems& controls, bool position)
{
    const bool bitmap = from.Kind() == skBitmap;
    TSkinItemEx& item = AddSkin(FreeName(name), description, bitmap ? &picture : nullptr);
    TSkinFileEx& f = item.SkinFileEx();
    f.PrepareData();
    if (position) {
        f.SetTopForm(from.TopForm());
        f.SetLeftForm(from.LeftForm());
    }
    f.SetKind(from.Kind());
    f.SetTransparent(from.Transparent());
    f.SetWidthForm(from.WidthForm());
    f.SetHeightForm(from.HeightForm());
    f.SetColorForm(from.ColorForm());
    // Position by position over the captured list; the rest appended.
    TControlItems& mine = f.Controls();
    for (std::size_t i = 0; i < controls.Count(); ++i) {
        TControlItem& c = i < mine.Count() ? mine[i] : mine.Add();
        c.CopyFrom(controls[i]);
    }
    f.EncodeData();
    f.ReleaseData();
    return item;
}

TBytes TDataSkins::SkinFileBytes(TSkinItemEx& item)
{
    TDataSkins one(FServices);
    one.ForImport = true;
    TSkinFileEx& f = item.SkinFileEx();
    const bool prepared = f.Prepared();
    one.AddCopy(item.Nome(), item.Descrizione(), f, f.Picture(), f.Controls(), false);
    if (!prepared && &item != FCurrent)
        f.ReleaseData();
    return one.WriteToBytes();
}

void TDataSkins::ImportSkins(const std::string& fileName)
{
    if (!FServices.Files.Exists(fileName))
        throw EQvError("Il file " + fileName + " non esiste!");
    TDataSkins other(FServices);
    other.ForImport = true;
    other.OnEmptySkin = [] {};
    try {
        other.ReadFromBytes(FServices.Files.ReadAll(fileName));
        other.AfterLoad();
    } catch (const std::exception&) {
        ShowError(FServices.Prompter, "Il file " + fileName + " non contiene skin valide!");
        if (other.Version() != 1)
            return; // another version: nothing of it is taken
    }
    try {
        // Imported skins start at (0, 0).
        for (auto& old : other.Skins()) {
            TSkinFile& f = old->SkinFile();
            AddCopy(old->Nome(), old->Descrizione(), f, DecodePicture(f.PictureData()), f.Controls(), false);
        }
        for (auto& skin : other.SkinsEx()) {
            TSkinFileEx& f = skin->SkinFileEx();
            AddCopy(skin->Nome(), skin->Descrizione(), f, f.Picture(), f.Controls(), false);
            f.ReleaseData();
        }
    } catch (const std::exception& e) {
        SetModified(true);
        throw EQvError("Attenzione il file " + fileName + " non è stato importato correttamente!\r" + e.what());
    }
    SetModified(true);
}

void TDataSkins::CaptureControls(TSkinItemEx& item)
{
    StoreControls(item, FForm ? FForm->Controls() : DefaultDesign());
}

void TDataSkins::StoreControls(TSkinItemEx& item, const std::vector<TFormControl>& controls)
{
    TSkinFileEx& f = item.SkinFileEx();
    for (const TFormControl& c : controls) {
        if (c.Name.empty())
            continue;
        TControlItem* ci = f.FindControl(c.Name);
        if (!ci)
            ci = &f.Controls().Add();
        ci->SetName(c.Name);
        ci->SetTop(c.Top);
        ci->SetLeft(c.Left);
        ci->Font() = c.Font;
        if (c.Button)
            ci->SetGlyph(c.Glyph);
    }
    SetModified(true);
}

void TDataSkins::ApplyControls(TSkinItemEx& item)
{
    if (!FForm)
        return;
    TSkinFileEx& f = item.SkinFileEx();
    for (TFormControl c : FForm->Controls()) {
        const TControlItem* ci = f.FindControl(c.Name);
        if (!ci)
            continue;
        c.Font = ci->Font();
        if (c.Button) {
            const std::string glyph = ci->Glyph();
            if (!glyph.empty())
                c.Glyph = glyph;
        }
        c.Top = ci->Top();
        c.Left = ci->Left();
        FForm->ApplyControl(c);
    }
}

void TDataSkins::RememberPosition()
{
    if (!FCurrent || !FForm)
        return;
    TSkinFileEx& f = FCurrent->SkinFileEx();
    if (f.TopForm() == FForm->Top() && f.LeftForm() == FForm->Left())
        return;
    f.SetTopForm(FForm->Top());
    f.SetLeftForm(FForm->Left());
    SetModified(true);
}

void TDataSkins::SetTransparent(TSkinItemEx& item, bool value)
{
    item.SkinFileEx().SetTransparent(value);
    SetModified(true);
}

void TDataSkins::CreateFactorySkins()
{
    const std::string strip = WriteBmp(FactoryStrip());
    TSkinItemEx& predefinita = AddSkin("<Predefinita>", "Qov Skin\xC2\xA9 indovina chi \xC3\xA8... ;)", &strip);
    SetTransparent(predefinita, true);
    // A little off the corner, clear of a panel at the top edge.
    predefinita.SkinFileEx().SetLeftForm(20);
    predefinita.SkinFileEx().SetTopForm(20);
    TSkinItemEx& old = AddSkin("Skin old style", "Per i nostalgici... ;)", nullptr);
    TSkinFileEx& f = old.SkinFileEx();
    f.SetColorForm(clNavy);
    f.SetHeightForm(14);
    f.SetWidthForm(199);
    f.SetLeftForm(20);
    f.SetTopForm(20);
    for (auto& c : f.Controls())
        c->SetLeft(SameText(c->Name(), "lbTempoTrascorso") ? 1 : c->Left() - 23);
    f.EncodeData();
    f.ReleaseData();
}

std::string DumpSkinData(TDataSkins& skins)
{
    std::string out;
    for (std::size_t i = 0; i < skins.SkinsEx().Count(); ++i) {
        TSkinFileEx& f = skins.SkinsEx()[i].SkinFileEx();
        const std::string prefix = "SkinsEx[" + std::to_string(i) + "].SkinFileEx.Data.";
        if (f.Data().empty())
            continue;
        const bool wasPrepared = f.Prepared();
        try {
            f.PrepareData();
            TSkinComponent copy;
            copy.SetPictureData(EncodePicture(f.Picture()));
            for (const auto& c : f.Controls())
                copy.Controls().Add().CopyFrom(*c);
            std::istringstream lines(DumpObject(copy, "TSkinComponent"));
            std::string line;
            while (std::getline(lines, line))
                if (!line.empty() && line[0] != '#')
                    out += prefix + line + "\n";
        } catch (const std::exception& e) {
            out += prefix + "Errore = " + ReplaceAll(e.what(), "\r", " ") + "\n";
        }
        if (!wasPrepared)
            f.ReleaseData();
    }
    return out;
}

std::string ChooseSkin(TDataSkins& skins, TSkinChoice& choice)
{
    const bool fromTariff = !Trim(choice.TariffSkin).empty();
    const std::string name = fromTariff ? choice.TariffSkin : choice.ProfileSkin;
    try {
        skins.SelectSkin(name);
        return {};
    } catch (const std::exception&) {
        if (skins.SkinsEx().Count() <= 1) {
            skins.SetModified(false);
            const std::string path = skins.FilePath();
            skins.SetFileName("");
            skins.Services().Files.Remove(path);
            throw EQvError("L'unica skin disponibile è corrotta!\rIl file skin.dat verrà ricreato al prossimo riavvio "
                           "di Quorvanta");
        }
    }
    const std::string first = skins.SkinsEx()[0].Nome();
    if (fromTariff && name != choice.ProfileSkin)
        choice.TariffSkin = first;
    else
        choice.ProfileSkin = first;
    skins.SelectSkin(first);
    return "Impossibile caricare la skin " + name + "\rCarico la prima disponibile...";
}

} // namespace qv
