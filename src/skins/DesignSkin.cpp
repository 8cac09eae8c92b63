#include "skins/DesignSkin.h"

#include "core/Strings.h"

namespace qv {

int TDesignSkinRules::Icon(TSkinItemEx& item)
{
    TSkinFileEx& f = item.SkinFileEx();
    if (f.Kind() == skForm)
        return 5;
    return f.Transparent() ? 2 : 4;
}

std::string TDesignSkinRules::TransparentHint(bool transparent)
{
    return transparent ? "Skin trasparente [potrebbe essere pesante per la scheda grafica di qualche sistema... "
                         "potrebbe!]"
                       : "Skin solida non grava sulle funzionalità grafiche del sistema";
}

bool TDesignSkinRules::Error(const std::string& text)
{
    ShowError(FServices.Prompter, text);
    return false;
}

TSkinItemEx* TDesignSkinRules::NewBitmapSkin(const std::string& name, const std::string& description,
                                             const std::string& bmp)
{
    if (Trim(name).empty()) {
        Error("Manca il nome della skin!");
        return nullptr;
    }
    TBitmap probe;
    std::string why;
    if (bmp.empty() || !ReadBmp(bmp, probe, why)) {
        Error("Il formato dell'immagine non è supportato!\r\rProva con una bitmap RGB");
        return nullptr;
    }
    try {
        return &FSkins.AddSkin(Trim(name), description, &bmp);
    } catch (const std::exception& e) {
        Error(e.what());
        return nullptr;
    }
}

TSkinItemEx* TDesignSkinRules::NewClassicSkin(const std::string& name, const std::string& description, int width,
                                              int height, std::int32_t color)
{
    if (Trim(name).empty()) {
        Error("Manca il nome della skin!");
        return nullptr;
    }
    try {
        TSkinItemEx& item = FSkins.AddSkin(Trim(name), description, nullptr);
        TSkinFileEx& f = item.SkinFileEx();
        f.SetHeightForm(height);
        f.SetWidthForm(width);
        f.SetColorForm(color);
        FSkins.SetModified(true);
        return &item;
    } catch (const std::exception& e) {
        Error(e.what());
        return nullptr;
    }
}

void TDesignSkinRules::AfterChange(TSkinItemEx& item)
{
    if (&item != FSkins.Current())
        return;
    if (SetProfileSkin)
        SetProfileSkin(item.Nome());
    FSkins.Reapply();
}

bool TDesignSkinRules::Modify(TSkinItemEx& item, const std::string& name, const std::string& description,
                              const std::string& bmp, int width, int height, std::int32_t color)
{
    const bool classic = item.SkinFileEx().Kind() == skForm;
    if (Trim(name).empty())
        return Error(classic ? "Manca il nome della skin!" : "Specificare il nome della skin!");
    if (!bmp.empty()) {
        TBitmap probe;
        std::string why;
        if (!ReadBmp(bmp, probe, why))
            return Error("Il formato dell'immagine non è supportato!\r\rProva con una bitmap RGB");
    }
    try {
        FSkins.ModifySkin(item, Trim(name), bmp.empty() ? nullptr : &bmp, description);
    } catch (const std::exception& e) {
        return Error(e.what());
    }
    if (classic && bmp.empty()) {
        TSkinFileEx& f = item.SkinFileEx();
        f.SetColorForm(color);
        f.SetWidthForm(width);
        f.SetHeightForm(height);
        FSkins.SetModified(true);
    }
    AfterChange(item);
    return true;
}

bool TDesignSkinRules::Delete(TSkinItemEx& item)
{
    TSkinItemsEx& list = FSkins.SkinsEx();
    if (list.Count() <= 1)
        return Error("Eh nooo! Una skin almeno deve esserci!");
    if (AskYesNo(FServices.Prompter, "Eliminare la skin " + item.Nome() + "?") != TModalResult::mrYes)
        return false;
    if (&item == FSkins.Current()) {
        TSkinItemEx& next = &list[0] == &item ? list[1] : list[0];
        try {
            FSkins.SelectSkin(next.Nome());
        } catch (const std::exception& e) {
            return Error(e.what());
        }
        if (SetProfileSkin)
            SetProfileSkin(next.Nome());
    }
    FSkins.DeleteSkin(item);
    return true;
}

bool TDesignSkinRules::Import(const std::string& file)
{
    try {
        FSkins.ImportSkins(file);
    } catch (const std::exception& e) {
        return Error(e.what());
    }
    return true;
}

bool TDesignSkinRules::Export(TSkinItemEx& item, const std::string& file)
{
    try {
        FServices.Files.WriteAtomic(file, FSkins.SkinFileBytes(item));
    } catch (const std::exception& e) {
        return Error("Impossibile esportare la skin " + item.Nome() + " in " + file + "\r" + e.what());
    }
    return true;
}

bool TDesignSkinRules::FactoryReset()
{
    if (AskYesNo(FServices.Prompter, "Ripristina le skin predefinite?") != TModalResult::mrYes)
        return false;
    const std::string path = FSkins.FilePath();
    FSkins.SetModified(false);
    FSkins.SetFileName("");
    FServices.Files.Remove(path);
    ShowInfo(FServices.Prompter,
             "Le skin predefinite saranno disponibili come d'incanto al prossimo riavvio di Quorvanta!");
    return true;
}

void TDesignSkinRules::ToggleTransparent(TSkinItemEx& item)
{
    if (item.SkinFileEx().Kind() != skBitmap)
        return;
    FSkins.SetTransparent(item, !item.SkinFileEx().Transparent());
    if (&item == FSkins.Current())
        FSkins.Reapply();
}

bool TDesignSkinRules::SaveSkin(TSkinItemEx& item, const std::vector<TFormControl>& controls)
{
    TSkinFileEx& f = item.SkinFileEx();
    const bool keep = f.Prepared() && &item == FSkins.Current();
    try {
        FSkins.StoreControls(item, controls);
        f.EncodeData();
        if (!keep)
            f.ReleaseData();
    } catch (const std::exception& e) {
        return Error(e.what());
    }
    FChanged = false;
    if (&item == FSkins.Current())
        FSkins.Reapply();
    return true;
}

bool TDesignSkinRules::CanClose(TSkinItemEx* item, const std::vector<TFormControl>& controls)
{
    if (!FChanged || !item)
        return true;
    switch (AskYesNoCancel(FServices.Prompter, "Salvare le modifiche?")) {
    case TModalResult::mrYes:
        return SaveSkin(*item, controls);
    case TModalResult::mrNo:
        FChanged = false;
        return true;
    default:
        return false;
    }
}

} // namespace qv
