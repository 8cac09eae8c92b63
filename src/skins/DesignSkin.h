#pragma once
// The skin editor's rules ("Skin Editor"): new bitmap and classic skins, modify, delete (never the
// last), import, factory reset, transparency, and saving the controls moved in the preview with the
// question when closing. The Qt window shows what these decide.

#include "core/Services.h"
#include "skins/Skins.h"

#include <functional>
#include <string>

namespace qv {

class TDesignSkinRules
{
public:
    TDesignSkinRules(TServices& services, TDataSkins& skins) : FServices(services), FSkins(skins) {}
    TServices& Services() { return FServices; }

    // The profile's skin name: read and stored through these (none: no profile).
    std::function<std::string()> ProfileSkin;
    std::function<void(const std::string&)> SetProfileSkin;

    // The list's icon: 2 transparent bitmap skin, 4 solid bitmap skin, 5 classic skin.
    static int Icon(TSkinItemEx& item);
    static std::string TransparentHint(bool transparent);
    // The classic skin's size as the dialog shows it, and whether a dragged size is taken.
    static std::string SizeText(int width, int height) { return "[" + std::to_string(width) + ", " + std::to_string(height) + "]"; }
    static bool SizeAccepted(int width, int height) { return width > 30 && width < 334 && height > 10 && height < 80; }
    static std::string ModifyCaption(const std::string& name) { return "Modifica i dati della skin " + name; }

    // Each returns the skin added or changed, none after the message.
    TSkinItemEx* NewBitmapSkin(const std::string& name, const std::string& description, const std::string& bmp);
    TSkinItemEx* NewClassicSkin(const std::string& name, const std::string& description, int width, int height,
                                std::int32_t color);
    // bmp: a new picture for a bitmap skin ("" keeps it); width, height, color: a classic skin's.
    bool Modify(TSkinItemEx& item, const std::string& name, const std::string& description, const std::string& bmp,
                int width = 0, int height = 0, std::int32_t color = 0);
    bool Delete(TSkinItemEx& item);
    bool Import(const std::string& file);
    // The skin alone in a skins file another installation imports; false after the message.
    bool Export(TSkinItemEx& item, const std::string& file);
    // Deletes "Skin.dat" after the question; the factory skins come at the next start.
    bool FactoryReset();
    void ToggleTransparent(TSkinItemEx& item);

    // The preview: a change enables "Salva la skin"; saving stores its controls into the skin.
    void PreviewChanged() { FChanged = true; }
    bool Changed() const { return FChanged; }
    bool SaveSkin(TSkinItemEx& item, const std::vector<TFormControl>& controls);
    // Closing: true when the editor may close (saved, discarded, or nothing to save).
    bool CanClose(TSkinItemEx* item, const std::vector<TFormControl>& controls);

private:
    bool Error(const std::string& text);
    void AfterChange(TSkinItemEx& item);
    TServices& FServices;
    TDataSkins& FSkins;
    bool FChanged = false;
};

} // namespace qv
