#include "app/ProcessControl.h"

#include "core/Strings.h"

namespace qv {

TProcessControl::TProcessControl(TimerService& timers, IProcessLauncher& launcher) : FTimers(timers), FLauncher(launcher)
{
}

TProcessControl::~TProcessControl()
{
    FAlive.reset();
    for (TWorker& w : FWorkers)
        if (w.Thread.joinable())
            w.Thread.join();
}

void TProcessControl::Reap()
{
    for (auto it = FWorkers.begin(); it != FWorkers.end();) {
        if (*it->Done) {
            it->Thread.join();
            it = FWorkers.erase(it);
        } else {
            ++it;
        }
    }
}

int TProcessControl::Pending() const
{
    int n = 0;
    for (const TWorker& w : FWorkers)
        n += *w.Done ? 0 : 1;
    return n;
}

bool TProcessControl::IsRunning(const TProcessItem& item)
{
    return item.Process && item.Process->Running();
}

void TProcessControl::Launch(TProcessItem& item, TProcessItems& list)
{
    Reap();
    if (IsRunning(item))
        return; // never twice while the previous one runs
    const TStartRequest request{item.Path(), item.WorkingDirectory(), item.CommandLine(), item.CmdShow()};
    const std::weak_ptr<int> itemAlive = item.AliveToken;
    const std::weak_ptr<int> selfAlive = FAlive;
    const auto onError = list.OnError;
    TProcessItem* target = &item;
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread worker([this, request, itemAlive, selfAlive, onError, target, done] {
        IProcessLauncher::TResult result;
        try {
            result = FLauncher.Start(request);
        } catch (const std::exception& e) {
            result.Error = e.what();
        }
        FTimers.Post([this, result, itemAlive, selfAlive, onError, target] {
            if (!itemAlive.lock() || !selfAlive.lock())
                return; // the item, or the program, went meanwhile
            if (!result.Error.empty()) {
                if (onError)
                    onError(*target, "Impossibile lanciare l'applicazione " + target->Nome() + "!\r" + result.Error);
            } else {
                target->Process = result.Process;
            }
            if (target->OnRun)
                target->OnRun(*target);
            if (OnRestoreTopmost)
                OnRestoreTopmost();
        });
        *done = true;
    });
    FWorkers.push_back({std::move(worker), done});
}

void TProcessControl::RunAll(TProcessItems& list, TRunKind kind)
{
    for (auto& item : list)
        if (item->RunKind() == kind)
            Launch(*item, list);
}

int TProcessControl::CountKind(const TProcessItems& list, TRunKind kind)
{
    int n = 0;
    for (const auto& item : list)
        n += item->RunKind() == kind ? 1 : 0;
    return n;
}

void TProcessControl::CloseAll(TProcessItems& list, TCloseKind kind)
{
    for (auto& item : list)
        if (item->CloseKind() == kind && item->Process)
            CloseProgram(*item, list);
}

void TProcessControl::CloseProgram(TProcessItem& item, TProcessItems& list)
{
    if (!item.Process)
        return;
    const std::string why = item.Process->Terminate();
    if (!why.empty()) {
        if (list.OnError)
            list.OnError(item, "Impossibile terminare l'applicazione " + item.Nome() +
                                   "!\r\rFallita la TerminateProcess " + why);
        return;
    }
    item.Process.reset();
    if (item.OnClose)
        item.OnClose(item);
}

void TProcessControl::OpenWithShell(const std::string& path, std::int32_t showMode)
{
    if (FShellItems.Count() == 0)
        FShellItems.Add().SetNome("ShellExecRun");
    TProcessItem& item = FShellItems[0];
    item.SetCmdShow(showMode);
    item.SetPath(path);
    item.Process.reset(); // every call opens, even while an earlier document is open
    Launch(item, FShellItems);
}

std::string TProcessControl::ShowModeText(std::int32_t cmdShow)
{
    static const char* texts[] = {"Invisibile [HIDE]",
                                  "Attiva [SHOWNORMAL]",
                                  "Attiva ridotta a icona [SHOWMINIMIZED]",
                                  "Ingrandita [MAXIMIZE]",
                                  "Mostra nello stato più recente [SHOWNOACTIVATE]",
                                  "Attiva [SHOW]",
                                  "Ridotta a icona [MINIMIZE]",
                                  "Ridotta a icona [SHOWMINNOACTIVE]",
                                  "Mostra nello stato corrente [SHOWNA]",
                                  "Ripristina [RESTORE]",
                                  "Attiva impostazioni predefinite [SHOWDEFAULT]"};
    return cmdShow >= 0 && cmdShow <= 10 ? texts[cmdShow] : std::string();
}

const std::vector<std::pair<std::int32_t, std::string>>& TProcessControl::DialogShowModes()
{
    static const std::vector<std::pair<std::int32_t, std::string>> modes = {
        {0, "Invisibile"},         {3, "Ingrandita"}, {6, "Ridotta a icona"},
        {9, "Ripristina"},         {5, "Attiva"},     {10, "Attiva impostazioni predefinite"},
        {2, "Attiva ridotta a icona"}, {8, "Mostra nello stato corrente"}, {4, "Mostra nello stato più recente"}};
    return modes;
}

std::vector<std::pair<std::int32_t, std::string>> TProcessControl::DialogShowModesFor(std::int32_t stored)
{
    std::vector<std::pair<std::int32_t, std::string>> modes = DialogShowModes();
    for (const auto& m : modes)
        if (m.first == stored)
            return modes;
    const std::string text = ShowModeText(stored);
    modes.emplace_back(stored, text.empty() ? "Modo " + std::to_string(stored) : text);
    return modes;
}

} // namespace qv
