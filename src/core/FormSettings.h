#pragma once
// Remembered window geometry: per window and per screen resolution, in the section
// "Settings\<form name>\<width>x<height>" of the per-user store.

#include "core/Registry.h"

#include <string>

namespace qv {

enum class TFormPosition
{
    poDesigned,
    poDefault,
    poScreenCenter,
    poOther
};
enum class TFormBorderStyle
{
    bsNone,
    bsSingle,
    bsSizeable,
    bsDialog,
    bsToolWindow,
    bsSizeToolWin
};

// A window as the remembered geometry sees it.
class IRememberedForm
{
public:
    virtual ~IRememberedForm() = default;
    virtual std::string FormName() const = 0;
    virtual TFormPosition Position() const = 0;
    virtual TFormBorderStyle BorderStyle() const = 0;
    virtual int Top() const = 0;
    virtual int Left() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetBounds(int left, int top, int width, int height) = 0;
    virtual int ScreenWidth() const = 0;
    virtual int ScreenHeight() const = 0;
};

class TFormSettings
{
public:
    // Reads and applies the remembered geometry; a form not at its designed position is refused
    // with "Fallita la RememberSettings: La proprietà Position deve essere poDesigned!".
    TFormSettings(TRegistry& registry, IRememberedForm& form);
    // Writes back what changed since it was read.
    ~TFormSettings();
    TFormSettings(const TFormSettings&) = delete;
    TFormSettings& operator=(const TFormSettings&) = delete;
    void Store();
    const std::string& Section() const { return FSection; }

private:
    bool Resizable() const;
    TRegistry& FRegistry;
    IRememberedForm& FForm;
    std::string FSection;
    int FTop = 0, FLeft = 0, FWidth = 0, FHeight = 0, FCheck = 0;
    bool FStored = false;
};

} // namespace qv
