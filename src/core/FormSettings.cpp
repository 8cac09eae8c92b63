#include "core/FormSettings.h"

#include "core/Errors.h"

namespace qv {

TFormSettings::TFormSettings(TRegistry& registry, IRememberedForm& form) : FRegistry(registry), FForm(form)
{
    if (form.Position() != TFormPosition::poDesigned)
        throw EQvError("Fallita la RememberSettings: La proprietà Position deve essere poDesigned!");
    FSection = "Settings\\" + form.FormName() + "\\" + std::to_string(form.ScreenWidth()) + "x" +
               std::to_string(form.ScreenHeight());
    FTop = static_cast<int>(registry.RegReadInteger(FSection, "Top", 20));
    FLeft = static_cast<int>(registry.RegReadInteger(FSection, "Left", 20));
    FWidth = form.Width();
    FHeight = form.Height();
    if (Resizable()) {
        FWidth = static_cast<int>(registry.RegReadInteger(FSection, "Width", form.Width()));
        FHeight = static_cast<int>(registry.RegReadInteger(FSection, "Height", form.Height()));
    }
    FCheck = static_cast<int>(registry.RegReadInteger(FSection, "Check", FTop + FHeight));
    form.SetBounds(FLeft, FTop, FWidth, FHeight);
}

TFormSettings::~TFormSettings()
{
    Store();
}

bool TFormSettings::Resizable() const
{
    const TFormBorderStyle b = FForm.BorderStyle();
    return b == TFormBorderStyle::bsSizeable || b == TFormBorderStyle::bsToolWindow ||
           b == TFormBorderStyle::bsSizeToolWin;
}

void TFormSettings::Store()
{
    if (FStored)
        return;
    FStored = true;
    if (FForm.Top() != FTop)
        FRegistry.RegWriteInteger(FSection, "Top", FForm.Top());
    if (FForm.Left() != FLeft)
        FRegistry.RegWriteInteger(FSection, "Left", FForm.Left());
    if (FForm.Width() != FWidth)
        FRegistry.RegWriteInteger(FSection, "Width", FForm.Width());
    if (FForm.Height() != FHeight)
        FRegistry.RegWriteInteger(FSection, "Height", FForm.Height());
    if (Resizable() && FForm.Top() + FForm.Height() != FCheck)
        FRegistry.RegWriteInteger(FSection, "Check", FForm.Top() + FForm.Height());
}

} // namespace qv
