#pragma once
// Modal questions and message boxes go through one prompter, so tests can script the answers.
// Every box uses the application title as caption.

#include <string>

namespace qv {

enum class TMsgKind
{
    Error,
    Warning,
    Info,
    Question
};
enum class TMsgButtons
{
    Ok,
    YesNo,
    YesNoCancel
};
enum class TModalResult
{
    mrNone,
    mrOk,
    mrCancel,
    mrYes,
    mrNo
};

class IPrompter
{
public:
    virtual ~IPrompter() = default;
    // text may hold "\r" line breaks, as the program's messages do.
    virtual TModalResult MessageBox(TMsgKind kind, TMsgButtons buttons, const std::string& text) = 0;
};

inline TModalResult ShowError(IPrompter& p, const std::string& text)
{
    return p.MessageBox(TMsgKind::Error, TMsgButtons::Ok, text);
}
inline TModalResult ShowWarning(IPrompter& p, const std::string& text)
{
    return p.MessageBox(TMsgKind::Warning, TMsgButtons::Ok, text);
}
inline TModalResult ShowInfo(IPrompter& p, const std::string& text)
{
    return p.MessageBox(TMsgKind::Info, TMsgButtons::Ok, text);
}
inline TModalResult AskYesNo(IPrompter& p, const std::string& text)
{
    return p.MessageBox(TMsgKind::Question, TMsgButtons::YesNo, text);
}
inline TModalResult AskYesNoCancel(IPrompter& p, const std::string& text)
{
    return p.MessageBox(TMsgKind::Question, TMsgButtons::YesNoCancel, text);
}

} // namespace qv
