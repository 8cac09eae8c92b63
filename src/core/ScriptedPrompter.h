#pragma once
// A prompter for tests and unattended runs: records every box and answers from a queue
// (Ok for information boxes, the queued answer or the default for questions).

#include "core/Prompter.h"

#include <deque>
#include <vector>

namespace qv {

class TScriptedPrompter : public IPrompter
{
public:
    struct TShown
    {
        TMsgKind Kind;
        TMsgButtons Buttons;
        std::string Text;
    };

    void SetNextAnswer(TModalResult answer) { FAnswers.push_back(answer); }
    void SetDefaultAnswer(TModalResult answer) { FDefault = answer; }

    TModalResult MessageBox(TMsgKind kind, TMsgButtons buttons, const std::string& text) override
    {
        Shown.push_back({kind, buttons, text});
        if (buttons == TMsgButtons::Ok)
            return TModalResult::mrOk;
        if (FAnswers.empty())
            return FDefault;
        const TModalResult a = FAnswers.front();
        FAnswers.pop_front();
        return a;
    }

    std::vector<TShown> Shown;

private:
    std::deque<TModalResult> FAnswers;
    TModalResult FDefault = TModalResult::mrNo;
};

} // namespace qv
