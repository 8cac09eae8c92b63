#include "app/Budget.h"

#include "core/DateTime.h"
#include "core/Functions.h"
#include "core/Strings.h"
#include "tariffs/Settings.h"
#include "tariffs/Status.h"

#include <algorithm>
#include <cmath>

namespace qv {

const char* EndReasonText(TEndReason reason)
{
    switch (reason) {
    case erUser:
        return "utente";
    case erLimit:
        return "limite di durata";
    case erSchedule:
        return "orario programmato";
    case erBudget:
        return "budget esaurito";
    case erIdle:
        return "linea inattiva";
    case erDataPlan:
        return "soglia del piano dati";
    case erDropped:
        break;
    }
    return "linea caduta";
}

const TPropTable& TBudgetItem::Table()
{
    using T = TBudgetItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Str("Profilo", &T::Profilo, &T::SetProfilo)
                                    .Float("Importo", &T::Importo, &T::SetImporto)
                                    .Int("GiornoInizio", &T::GiornoInizio, &T::SetGiornoInizio, 1)
                                    .Bool("Riaggancia", &T::Riaggancia, &T::SetRiaggancia, false)
                                    .Date("CicloAvvisi", &T::CicloAvvisi, &T::SetCicloAvvisi)
                                    .Int("Avvisi", &T::Avvisi, &T::SetAvvisi, 0)
                                    .Build();
    return t;
}

const TPropTable& TIdleItem::Table()
{
    using T = TIdleItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Str("Connessione", &T::Connessione, &T::SetConnessione)
                                    .Bool("Attivo", &T::Attivo, &T::SetAttivo, false)
                                    .Int("Byte", &T::Byte, &T::SetByte, 1024)
                                    .Int("Minuti", &T::Minuti, &T::SetMinuti, 10)
                                    .Build();
    return t;
}

const TPropTable& TEndItem::Table()
{
    using T = TEndItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Date("Inizio", &T::Inizio, &T::SetInizio)
                                    .Int("Motivo", &T::Motivo, &T::SetMotivo, 0)
                                    .Build();
    return t;
}

TBudgets::TBudgets(TServices& services) : TPersistentComponent(services, "TBudgets") {}

TBudgets::~TBudgets()
{
    SaveIfModified();
}

const TPropTable& TBudgets::Table()
{
    using T = TBudgets;
    static const TPropTable t = TPropBuilder<T>(&TPersistentComponent::Table())
                                    .Collection("Budgets", &T::Budgets)
                                    .Collection("Idles", &T::Idles)
                                    .Collection("Ends", &T::Ends)
                                    .Build();
    return t;
}

TBudgetItem* TBudgets::FindBudget(const std::string& profile)
{
    for (auto& b : FBudgets)
        if (SameText(b->Profilo(), profile))
            return b.get();
    return nullptr;
}

TBudgetItem& TBudgets::BudgetFor(const std::string& profile)
{
    if (TBudgetItem* b = FindBudget(profile))
        return *b;
    TBudgetItem& b = FBudgets.Add();
    b.SetProfilo(profile);
    return b;
}

TIdleItem* TBudgets::FindIdle(const std::string& entry)
{
    for (auto& i : FIdles)
        if (SameText(i->Connessione(), entry))
            return i.get();
    return nullptr;
}

TIdleItem& TBudgets::IdleFor(const std::string& entry)
{
    if (TIdleItem* i = FindIdle(entry))
        return *i;
    TIdleItem& i = FIdles.Add();
    i.SetConnessione(entry);
    return i;
}

std::optional<TEndReason> TBudgets::EndOf(double start) const
{
    // Keyed by the start time to the millisecond; a later record of the same start wins.
    if (FEndIndexed != FEnds.Count()) {
        FEndIndex.clear();
        for (const auto& e : FEnds)
            FEndIndex[std::llround(e->Inizio() * MSecsPerDay)] = static_cast<TEndReason>(e->Motivo());
        FEndIndexed = FEnds.Count();
    }
    const auto it = FEndIndex.find(std::llround(start * MSecsPerDay));
    if (it == FEndIndex.end())
        return std::nullopt;
    return it->second;
}

void TBudgets::AddEnd(double start, TEndReason reason)
{
    TEndItem& e = FEnds.Add();
    e.SetInizio(start);
    e.SetMotivo(reason);
}

TBudgetCycle BudgetCycle(double now, int firstDay)
{
    const int day = std::clamp(firstDay, 1, 28);
    const TDateParts d = DecodeDate(now);
    int y = d.Year, m = d.Month;
    if (d.Day < day && --m == 0) {
        m = 12;
        --y;
    }
    TBudgetCycle c;
    c.Start = EncodeDate(y, m, day);
    c.End = m == 12 ? EncodeDate(y + 1, 1, day) : EncodeDate(y, m + 1, day);
    return c;
}

TBudgetState ComputeBudget(const TDataUnits& log, const TBudgetItem& budget, double now, double running)
{
    TBudgetState s;
    s.Cycle = BudgetCycle(now, budget.GiornoInizio());
    const auto& units = log.Units();
    auto it = std::lower_bound(units.begin(), units.end(), s.Cycle.Start,
                               [](const auto& u, double start) { return u->I() < start; });
    for (; it != units.end() && (*it)->I() < s.Cycle.End && (*it)->I() <= now; ++it)
        s.Spent += (*it)->L();
    s.Spent += running;
    // The average cost of a day so far, over the whole cycle; the first day counts as a whole day.
    const double days = std::max(1.0, now - s.Cycle.Start);
    s.Projection = s.Spent / days * (s.Cycle.End - s.Cycle.Start);
    s.Percent = budget.Importo() > 0 ? s.Spent / budget.Importo() * 100.0 : 0;
    return s;
}

std::string BudgetText(const TBudgetState& state, const TBudgetItem& budget)
{
    return "Budget: £ " + Trim(FormatPattern("%3.0n", state.Spent)) + " di £ " +
           Trim(FormatPattern("%3.0n", budget.Importo())) + " (" +
           std::to_string(static_cast<long long>(std::floor(state.Percent))) + "%), previsti £ " +
           Trim(FormatPattern("%3.0n", state.Projection));
}

void TIdleMeter::Reset()
{
    FSamples.clear();
}

void TIdleMeter::Sample(double now, std::uint64_t totalBytes)
{
    FSamples.emplace_back(now, totalBytes);
    // Nothing older than a day is ever needed (the longest window is below that).
    while (FSamples.size() > 2 && now - FSamples[1].first > 1.0)
        FSamples.pop_front();
}

bool TIdleMeter::Idle(double now, std::int64_t minBytes, int minutes) const
{
    if (FSamples.empty() || minutes <= 0)
        return false;
    const double window = minutes / 1440.0;
    // Quiet only once the samples reach back a whole window.
    if (now - FSamples.front().first + OneSecond / 2 < window)
        return false;
    // The last sample at or before the window's start.
    std::uint64_t before = FSamples.front().second;
    for (const auto& [t, bytes] : FSamples) {
        if (t > now - window + OneSecond / 2)
            break;
        before = bytes;
    }
    const std::uint64_t moved = FSamples.back().second >= before ? FSamples.back().second - before : 0;
    return static_cast<std::int64_t>(moved) < minBytes;
}

TBudgetWatch::TBudgetWatch(TServices& services, TBudgets& budgets, TDataUnits& log, TStatus& status, ISounds& sounds)
    : FServices(services), FBudgets(budgets), FLog(log), FStatus(status), FSounds(sounds)
{
    FTimer = services.Timers.CreateTimer("TimerBudget", 1000);
    FTimer->OnTimer = [this] { Check(); };
    FTimer->SetEnabled(true);
}

TBudgetWatch::~TBudgetWatch()
{
    FTimer->OnTimer = nullptr;
}

TBudgetItem* TBudgetWatch::Budget() const
{
    TProfileItem* p = FStatus.Profile();
    if (!p)
        return nullptr;
    TBudgetItem* b = FBudgets.FindBudget(p->UserName());
    return b && b->Importo() > 0 ? b : nullptr;
}

std::string TBudgetWatch::StatusText() const
{
    TBudgetItem* b = Budget();
    if (!b)
        return {};
    const double now = FServices.Clk.Now();
    return BudgetText(ComputeBudget(FLog, *b, now, FStatus.IsCounting() ? FStatus.CostoLire() : 0), *b);
}

void TBudgetWatch::Check()
{
    if (FAsking)
        return;
    const double now = FServices.Clk.Now();
    CheckBudget(now);
    CheckIdle();
    const std::string text = StatusText();
    if (text != FLastText) {
        FLastText = text;
        if (OnTextChange)
            OnTextChange();
    }
}

void TBudgetWatch::CheckBudget(double now)
{
    TBudgetItem* b = Budget();
    if (!b)
        return;
    const TBudgetState s = ComputeBudget(FLog, *b, now, FStatus.IsCounting() ? FStatus.CostoLire() : 0);
    if (b->CicloAvvisi() != s.Cycle.Start) {
        b->SetCicloAvvisi(s.Cycle.Start);
        b->SetAvvisi(0);
    }
    // Only the highest threshold reached is told; the lower ones count as told with it.
    static constexpr std::pair<double, int> thresholds[] = {{100, 4}, {90, 2}, {80, 1}};
    int reached = 0;
    double level = 0;
    for (const auto& [percent, bit] : thresholds)
        if (s.Percent >= percent) {
            reached = bit;
            level = percent;
            break;
        }
    if (reached != 0 && !(b->Avvisi() & reached)) {
        // The alerts: once per cycle each.
        b->SetAvvisi(b->Avvisi() | reached | (reached - 1));
        const std::string spent = Trim(FormatPattern("%3.0n", s.Spent));
        const std::string budget = Trim(FormatPattern("%3.0n", b->Importo()));
        if (level < 100) {
            if (OnBalloon)
                OnBalloon("Attenzione: hai speso il " + std::to_string(static_cast<int>(level)) +
                          "% del budget mensile (£ " + spent + " di £ " + budget + ")");
        } else {
            if (OnBalloon)
                OnBalloon("Budget mensile esaurito: spese £ " + spent + " su £ " + budget + "!");
            if (!FStatus.Profile() || FStatus.Profile()->SoundsEnabled())
                FSounds.PlayNamedSound("MsgError", false);
        }
    }
    // The hang-up: offered once to every connection counted while the budget is spent, even when
    // the alert came earlier in the cycle (with no count running, or for an earlier connection).
    if (level < 100 || !b->Riaggancia() || !FStatus.IsCounting() || FOfferedFor == FStatus.StartTime())
        return;
    FOfferedFor = FStatus.StartTime();
    FAsking = true;
    if (SetQuestionPending)
        SetQuestionPending(true);
    const bool yes = AskYesNo(FServices.Prompter, "Budget mensile esaurito!!!\r\rInterrompi la connessione?") ==
                     TModalResult::mrYes;
    if (SetQuestionPending)
        SetQuestionPending(false);
    FAsking = false;
    if (yes && FStatus.IsCounting() && OnHangUp)
        OnHangUp(erBudget);
}

void TBudgetWatch::CheckIdle()
{
    if (!FStatus.IsCounting()) {
        FCountStart = 0;
        return;
    }
    if (FStatus.StartTime() != FCountStart) {
        FCountStart = FStatus.StartTime();
        FIdle.Reset();
    }
    const TEntryItem* entry = FStatus.Entry();
    TIdleItem* rule = entry ? FBudgets.FindIdle(entry->Nome()) : nullptr;
    if (!rule || !rule->Attivo())
        return;
    // Measured on the tick count: a clock set forward or back is no time without traffic.
    const double steady = static_cast<double>(FServices.Clk.TickCount()) / 86400000.0;
    FIdle.Sample(steady, static_cast<std::uint64_t>(FStatus.BytesTransmitted()) + FStatus.BytesReceived());
    if (!FIdle.Idle(steady, rule->Byte(), rule->Minuti()))
        return;
    const std::string what = "meno di " + std::to_string(rule->Byte()) + " byte in " + std::to_string(rule->Minuti()) +
                             (rule->Minuti() == 1 ? " minuto" : " minuti");
    if (OnBalloon)
        OnBalloon("Connessione inattiva: " + what + "!");
    bool yes = true;
    if (entry->AskDisconnect()) {
        FAsking = true;
        if (SetQuestionPending)
            SetQuestionPending(true);
        yes = AskYesNo(FServices.Prompter, "Connessione inattiva (" + what + ")!!!\r\rInterrompi la connessione?") ==
              TModalResult::mrYes;
        if (SetQuestionPending)
            SetQuestionPending(false);
        FAsking = false;
    }
    // A No waits for another quiet window before asking again.
    FIdle.Reset();
    if (yes && FStatus.IsCounting() && OnHangUp)
        OnHangUp(erIdle);
}

void TBudgetWatch::ConnectionSaved(const TConnectionData& record)
{
    FBudgets.AddEnd(record.Start, FReason);
    FReason = erDropped;
    FIdle.Reset();
    Check();
}

} // namespace qv
