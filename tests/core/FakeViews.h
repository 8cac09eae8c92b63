#pragma once
// Fake views for the window controllers: they record what a window would show.

#include "app/MainController.h"
#include "detection/WaitRas.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>

namespace qv::test {

struct TFakeView : IMainView
{
    void SetLabel(TMainLabel label, const std::string& text) override { Labels[label] = text; }
    void SetPulseLabelVisible(bool visible) override { PulsesVisible = visible; }
    void SetProgress(int maximum, int position) override
    {
        ProgressMax = maximum;
        ProgressPos = position;
    }
    void SetProgressHint(const std::string& text) override { ProgressHint = text; }
    std::string ProgressHint;
    void SetTrayIcon(TFasciaOraria band) override { Icon = band; }
    void SetTrayHint(const std::string& text) override { TrayHint = text; }
    void SetPlanView(const TPlanView& view) override { Plan = view; }
    TPlanView Plan;
    void ShowBalloon(TBalloon balloon, const std::string&, const std::string& text, int) override
    {
        Balloons.emplace_back(balloon, text);
    }
    void SetWindowVisible(bool visible) override { Visible = visible; }
    void BringToFront() override {}
    void SetDisconnectButtonVisible(bool visible) override { DisconnectVisible = visible; }
    void SetShowHideCaption(const std::string&) override {}
    void OpenTariffChooser() override { ++Choosers; }
    void OpenInternationalWarning(TInternationalWarning& warning) override
    {
        Warnings.push_back(warning.ActivatedText());
        if (OnWarning)
            OnWarning(warning);
    }
    std::vector<std::string> Warnings;
    std::function<void(TInternationalWarning&)> OnWarning;
    std::vector<std::string> General() const
    {
        std::vector<std::string> out;
        for (const auto& [b, t] : Balloons)
            if (b == TBalloon::General)
                out.push_back(t);
        return out;
    }
    std::map<TMainLabel, std::string> Labels;
    bool PulsesVisible = false, Visible = true, DisconnectVisible = false;
    TFasciaOraria Icon = foNone;
    std::string TrayHint;
    int ProgressMax = 0, ProgressPos = 0, Choosers = 0;
    std::vector<std::pair<TBalloon, std::string>> Balloons;
};

// The dial window: every control's state, and scripted answers for the credentials box.
struct TFakeWaitRasView : IWaitRasView
{
    void ShowWindow() override
    {
        Visible = true;
        ++Shown;
    }
    void CloseWindow() override { Visible = false; }
    void SetCaption(const std::string& caption) override { Caption = caption; }
    void SetCancelCaption(const std::string& caption) override { CancelCaption = caption; }
    void SetAnimation(bool running) override { Animation = running; }
    void SetRetryVisible(bool visible) override { RetryVisible = visible; }
    void SetEntryListEnabled(bool enabled) override { EntriesEnabled = enabled; }
    void SetEntries(const std::vector<std::string>& entries, const std::string& selected) override
    {
        Entries = entries;
        Selected = selected;
    }
    void SetProgress(int position, int maximum) override
    {
        Progress = position;
        ProgressMax = maximum;
    }
    void SetStatusLine(const std::string& text) override
    {
        StatusLine = text;
        StatusLines.push_back(text);
    }
    void AddMemoLine(const std::string& text) override { Memo.push_back(text); }
    void ClearMemo() override { Memo.clear(); }
    void SetStateLabel(const std::string& text) override { StateLabel = text; }
    void SetTariffLabel(const std::string& text) override { TariffLabel = text; }
    void SetModeCheck(bool visible, bool checked, const std::string& hint) override
    {
        ModeVisible = visible;
        ModeChecked = checked;
        ModeHint = hint;
    }
    void WarningBeep() override { ++Beeps; }
    void BringToFront() override { ++Fronts; }
    // One scripted answer: the fields typed, or none for Cancel.
    struct TTyped
    {
        std::string User, Password;
        bool Save;
    };
    // The question open before the box is answered here (the user picks a tariff).
    std::function<void()> AnswerOpenQuestion;
    std::vector<std::string> Order;
    void WaitWhile(const std::function<bool()>& open) override
    {
        Order.push_back("wait");
        if (open() && AnswerOpenQuestion)
            AnswerOpenQuestion();
    }
    bool RunCredentialsBox(const TCredentialsRequest& request,
                           const std::function<bool(const std::string&, const std::string&, bool)>& ok) override
    {
        Order.push_back("credentials");
        Boxes.push_back(request);
        if (DuringBox)
            DuringBox();
        // OK is pressed with each typed answer until one is accepted; none left means Cancel.
        while (!Typed.empty()) {
            const std::optional<TTyped> t = Typed.front();
            Typed.pop_front();
            if (!t)
                return false;
            if (ok(t->User, t->Password, t->Save))
                return true;
        }
        return false;
    }

    bool Visible = false, Animation = false, RetryVisible = false, EntriesEnabled = true;
    bool ModeVisible = false, ModeChecked = false;
    int Shown = 0, Progress = 0, ProgressMax = 0, Beeps = 0, Fronts = 0;
    std::string Caption, CancelCaption, StateLabel, TariffLabel, ModeHint, Selected, StatusLine;
    std::vector<std::string> Entries, Memo, StatusLines;
    std::vector<TCredentialsRequest> Boxes;
    std::deque<std::optional<TTyped>> Typed;
    std::function<void()> DuringBox;
};

} // namespace qv::test
