#pragma once
// The looks of the main window ("Skin.dat"): each skin is a bitmap that becomes the window's
// background and, with transparency, its shape, or a plain coloured rectangle (the classic skin);
// each also keeps where every label and image button of the window sits, with its font and image,
// and where the window was on the screen. The window itself is behind ISkinForm.

#include "core/Persistent.h"
#include "core/PropertyMacros.h"
#include "skins/Bitmap.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv {

enum TSkinKind : std::int32_t
{
    skBitmap = 0,
    skForm = 1,
};

constexpr std::int32_t clNone = 0x1FFFFFFF;
constexpr std::int32_t clNavy = 0x800000;
constexpr std::int32_t clWindowText = static_cast<std::int32_t>(0xFF000008u);
constexpr std::int32_t DEFAULT_CHARSET = 1;
enum TFontStyle : std::int32_t
{
    fsBold = 1,
    fsItalic = 2,
    fsUnderline = 4,
    fsStrikeOut = 8,
};
// The identifiers streams use for colours and character sets.
const std::vector<std::pair<std::string, std::int64_t>>& ColorIdents();
const std::vector<std::pair<std::string, std::int64_t>>& CharsetIdents();

// The font of a control, as the streams keep it: Height negative in pixels (-11 is 8 points).
class TSkinFont : public TPersistent
{
public:
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    std::int32_t Charset() const { return FCharset; }
    void SetCharset(std::int32_t v) { FCharset = v; }
    std::int32_t Color() const { return FColor; }
    void SetColor(std::int32_t v) { FColor = v; }
    std::int32_t Height() const { return FHeight; }
    void SetHeight(std::int32_t v) { FHeight = v; }
    const std::string& Name() const { return FName; }
    void SetName(const std::string& v) { FName = v; }
    std::int32_t Style() const { return FStyle; }
    void SetStyle(std::int32_t v) { FStyle = v; }
    bool operator==(const TSkinFont& o) const
    {
        return FCharset == o.FCharset && FColor == o.FColor && FHeight == o.FHeight && FName == o.FName &&
               FStyle == o.FStyle;
    }

private:
    std::int32_t FCharset = DEFAULT_CHARSET;
    std::int32_t FColor = clWindowText;
    std::int32_t FHeight = -11;
    std::string FName = "MS Sans Serif";
    std::int32_t FStyle = 0;
};

// A picture in a stream: the graphic's class name as a short string, then for "TBitmap" a 32-bit
// byte count and a BMP file image. Empty for no picture.
std::string EncodePicture(const std::string& bmp);
// The BMP file image of a picture (empty for none); raises EQvError when it is damaged.
std::string DecodePicture(const std::string& data);

// One named control of the main window in a skin.
class TControlItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_STRING_PROPERTY(Name)
    QV_PROPERTY(std::int32_t, Top, 0)
    QV_PROPERTY(std::int32_t, Left, 0)
    TSkinFont& Font() { return FFont; }
    const TSkinFont& Font() const { return FFont; }
    // The button's image as a stream picture (empty for a label).
    QV_STRING_PROPERTY(GlyphData)
    std::string Glyph() const { return DecodePicture(FGlyphData); }
    void SetGlyph(const std::string& bmp) { SetGlyphData(EncodePicture(bmp)); }
    void CopyFrom(const TControlItem& o);

private:
    TSkinFont FFont;
};
using TControlItems = TDataCollection<TControlItem>;

// What "Data" holds: the skin's picture and its controls, as a stream of its own.
class TSkinComponent : public TPersistent
{
public:
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    void MarkChanged() {}
    QV_STRING_PROPERTY(PictureData)
    TControlItems& Controls() { return FControls; }
    const TControlItems& Controls() const { return FControls; }

private:
    TControlItems FControls{nullptr};
};

// What a skin is besides its picture and controls, in both formats: kind, transparency, where the
// window was, and a classic skin's colour and size. A change marks the owning file modified.
class TSkinFields : public TPersistent
{
public:
    explicit TSkinFields(TPersistentComponent* owner) : FOwner(owner) {}
    QV_PROPERTY(TSkinKind, Kind, skBitmap)
    QV_PROPERTY(std::int32_t, TransparentColor, clNone)
    QV_PROPERTY(std::int32_t, Tolerance, 0)
    QV_PROPERTY(bool, Transparent, false)
    QV_PROPERTY(std::int32_t, TopForm, 0)
    QV_PROPERTY(std::int32_t, LeftForm, 0)
    QV_PROPERTY(std::int32_t, ColorForm, clNavy)
    QV_PROPERTY(std::int32_t, WidthForm, 450)
    QV_PROPERTY(std::int32_t, HeightForm, 200)
    void MarkChanged();

protected:
    TPersistentComponent* FOwner;
};

class TSkinFileEx : public TSkinFields
{
public:
    using TSkinFields::TSkinFields;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_STRING_PROPERTY(Data)

    // The decoded form, present while the skin is in use or edited.
    bool Prepared() const { return FDecoded != nullptr; }
    // Raises "Impossibile caricare i dati nel TSkinFileEx\r\r[…]" when "Data" is damaged.
    void PrepareData();
    // Raises "Impossibile salvare i dati nel TSkinFileEx\r\r[…]".
    void EncodeData();
    void ReleaseData();
    // The decoded picture (BMP file image; empty for a classic skin) and its pixels.
    const std::string& Picture();
    void SetPicture(const std::string& bmp);
    const TBitmap& Bitmap();
    TControlItems& Controls();
    TControlItem* FindControl(const std::string& name);

private:
    std::unique_ptr<TSkinComponent> FDecoded;
    std::string FPicture;
    std::optional<TBitmap> FBitmap;
};

class TSkinItemEx : public TDataCollectionItem
{
public:
    explicit TSkinItemEx(TPersistentComponent* component) : TDataCollectionItem(component), FSkinFileEx(component) {}
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_STRING_PROPERTY(Nome)
    QV_STRING_PROPERTY(Descrizione)
    TSkinFileEx& SkinFileEx() { return FSkinFileEx; }

private:
    TSkinFileEx FSkinFileEx;
};
using TSkinItemsEx = TDataCollection<TSkinItemEx>;

// The old format, only read to be converted.
class TSkinFile : public TSkinFields
{
public:
    TSkinFile() : TSkinFields(nullptr) {}
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_STRING_PROPERTY(PictureData)
    TControlItems& Controls() { return FControls; }

private:
    TControlItems FControls{nullptr};
};

class TSkinItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_STRING_PROPERTY(Nome)
    QV_STRING_PROPERTY(Descrizione)
    TSkinFile& SkinFile() { return FSkinFile; }

private:
    TSkinFile FSkinFile;
};
using TSkinItems = TDataCollection<TSkinItem>;

// A label or image button of the skinned window as the skin sees it.
struct TFormControl
{
    std::string Name;
    int Top = 0;
    int Left = 0;
    TSkinFont Font;
    bool Button = false;
    std::string Glyph; // BMP file image of a button's image
};

// The skinned window.
class ISkinForm
{
public:
    virtual ~ISkinForm() = default;
    // Its named labels and image buttons as they are now.
    virtual std::vector<TFormControl> Controls() = 0;
    // Font; for a button its image, sized to the image plus 2; a label right-aligned; position.
    virtual void ApplyControl(const TFormControl& control) = 0;
    // A bitmap skin: the window takes the bitmap's size; shape: the key runs to cut out, none for
    // a rectangular window.
    virtual void SetBitmapSkin(const TBitmap& bitmap, const std::vector<TRunRect>* shape) = 0;
    virtual void SetClassicSkin(int width, int height, TColorRef color) = 0;
    virtual int Width() = 0;
    virtual int Height() = 0;
    virtual int Left() = 0;
    virtual int Top() = 0;
    // Whether a rectangle meets the desktop.
    virtual bool OnDesktop(int left, int top, int width, int height) = 0;
    virtual void MoveTo(int left, int top) = 0;
};

class TDataSkins : public TPersistentComponent
{
public:
    explicit TDataSkins(TServices& services);
    ~TDataSkins() override;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    std::unique_ptr<TPersistentComponent> NewEmpty() const override { return std::make_unique<TDataSkins>(FServices); }
    void AfterLoad() override;

    TSkinItems& Skins() { return FSkins; }
    TSkinItemsEx& SkinsEx() { return FSkinsEx; }
    TServices& Services() { return FServices; }

    // The window skinned (none: the skins are only data, as for the command-line tool).
    void SetForm(ISkinForm* form) { FForm = form; }
    TSkinItemEx* Current() const { return FCurrent; }

    TSkinItemEx* FindSkin(const std::string& name);
    void SelectSkin(const std::string& name);
    // Applies the current skin again (after it changed).
    void Reapply();
    TSkinItemEx& AddSkin(const std::string& name, const std::string& description, const std::string* picture);
    void ModifySkin(TSkinItemEx& item, const std::string& name, const std::string* picture,
                    const std::string& description);
    void DeleteSkin(TSkinItemEx& item);
    void ImportSkins(const std::string& fileName);
    // A skins file holding this one skin alone (what ImportSkins reads).
    TBytes SkinFileBytes(TSkinItemEx& item);
    void CaptureControls(TSkinItemEx& item);
    // Stores these controls into the skin (what CaptureControls does with the window's).
    void StoreControls(TSkinItemEx& item, const std::vector<TFormControl>& controls);
    void ApplyControls(TSkinItemEx& item);
    // The window was moved by the user.
    void RememberPosition();
    void SetTransparent(TSkinItemEx& item, bool value);
    // The two factory skins (what OnEmptySkin does by default).
    void CreateFactorySkins();

    // Raised after a skin was applied.
    std::function<void(TSkinItemEx&)> OnSkinChange;
    // Raised when the loaded file has no skin (by default: the factory skins).
    std::function<void()> OnEmptySkin;
    // Set for a file read to be imported: a file of another version is refused, nothing stops.
    bool ForImport = false;

private:
    std::string FreeName(const std::string& name);
    // A skin of another file (or of the old format) added under a free name: kind, transparency,
    // size, colour, picture and controls (position by position); with position, where it was too.
    TSkinItemEx& AddCopy(const std::string& name, const std::string& description, const TSkinFields& from,
                         const std::string& picture, const TControlItems& controls, bool position);
    TSkinItems FSkins{this};
    TSkinItemsEx FSkinsEx{this};
    ISkinForm* FForm = nullptr;
    TSkinItemEx* FCurrent = nullptr;
};

// The text dump of every skin's "Data", decoded: one "SkinsEx[i].SkinFileEx.Data." line per
// property of its picture and controls (a damaged one says why).
std::string DumpSkinData(TDataSkins& skins);

// Choosing the skin at start and after a tariff change: the tariff's skin when it names one, else
// the profile's. On failure with more skins the first is taken (balloon, the failing name replaced
// where it came from); with only one, "Skin.dat" is deleted and the error raised.
struct TSkinChoice
{
    std::string TariffSkin;  // "" when the tariff names none
    std::string ProfileSkin;
};
// Returns the balloon text ("" when the wanted skin was taken); sets tariffSkin or profileSkin to
// the first skin's name when that one replaced a failing one.
std::string ChooseSkin(TDataSkins& skins, TSkinChoice& choice);

} // namespace qv
