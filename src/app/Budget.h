#pragma once
// What the user may spend and when a quiet line is hung up, kept in "Budget.dat" beside the other
// data files (never inside them): a monthly budget per profile with its billing cycle and alerts,
// the idle rule per entry, and why each connection ended.

#include "app/Sounds.h"
#include "core/Persistent.h"
#include "core/PropertyMacros.h"
#include "tariffs/Connections.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

namespace qv {

class TStatus;
class TProfileItem;

// Why a connection ended.
enum TEndReason : std::int32_t
{
    erDropped = 0,  // the line dropped, or another program hung up
    erUser = 1,     // the user hung up through the program
    erLimit = 2,    // the duration limit
    erSchedule = 3, // the scheduled time
    erBudget = 4,   // the budget ran out
    erIdle = 5,     // the line stayed quiet
    erDataPlan = 6, // a data plan's allowance ran out
};
const char* EndReasonText(TEndReason reason);

class TBudgetItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_STRING_PROPERTY(Profilo)
    QV_PROPERTY(double, Importo, 0)          // lire per cycle; 0: no budget
    QV_PROPERTY(std::int32_t, GiornoInizio, 1) // the cycle's first day of the month, 1..28
    QV_PROPERTY(bool, Riaggancia, false)      // hang up at 100 % after the question
    QV_PROPERTY(double, CicloAvvisi, 0)       // the cycle the alerts below belong to
    QV_PROPERTY(std::int32_t, Avvisi, 0)      // alerts given: 1 at 80 %, 2 at 90 %, 4 at 100 %
};
using TBudgetItems = TDataCollection<TBudgetItem>;

class TIdleItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_STRING_PROPERTY(Connessione)
    QV_PROPERTY(bool, Attivo, false)
    QV_PROPERTY(std::int32_t, Byte, 1024)  // fewer bytes than this ...
    QV_PROPERTY(std::int32_t, Minuti, 10)  // ... in this many minutes: the line is idle
};
using TIdleItems = TDataCollection<TIdleItem>;

class TEndItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_PROPERTY(double, Inizio, 0)
    QV_PROPERTY(std::int32_t, Motivo, erDropped)
};
using TEndItems = TDataCollection<TEndItem>;

class TBudgets : public TPersistentComponent
{
public:
    explicit TBudgets(TServices& services);
    ~TBudgets() override;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    std::unique_ptr<TPersistentComponent> NewEmpty() const override { return std::make_unique<TBudgets>(FServices); }

    TBudgetItems& Budgets() { return FBudgets; }
    TIdleItems& Idles() { return FIdles; }
    TEndItems& Ends() { return FEnds; }

    // Ignoring letter case; none when the profile or entry has no record.
    TBudgetItem* FindBudget(const std::string& profile);
    TBudgetItem& BudgetFor(const std::string& profile);
    TIdleItem* FindIdle(const std::string& entry);
    TIdleItem& IdleFor(const std::string& entry);
    // Why the connection that started at that moment ended; none when not recorded.
    std::optional<TEndReason> EndOf(double start) const;
    void AddEnd(double start, TEndReason reason);

private:
    TBudgetItems FBudgets{this};
    // The end reasons by start (milliseconds), rebuilt when the list changed size.
    mutable std::unordered_map<std::int64_t, TEndReason> FEndIndex;
    mutable std::size_t FEndIndexed = 0;
    TIdleItems FIdles{this};
    TEndItems FEnds{this};
};

// ---- the billing cycle ----
struct TBudgetCycle
{
    double Start = 0; // midnight of the cycle's first day
    double End = 0;   // midnight of the next cycle's first day
};
// The cycle holding now, for a first day 1..28 (values outside are taken as 1 or 28).
TBudgetCycle BudgetCycle(double now, int firstDay);

struct TBudgetState
{
    TBudgetCycle Cycle;
    double Spent = 0;      // the cycle's logged connections, plus the running count
    double Projection = 0; // Spent at the average daily rate over the whole cycle
    double Percent = 0;    // Spent of the budget
};
TBudgetState ComputeBudget(const TDataUnits& log, const TBudgetItem& budget, double now, double running);
// "Budget: £ 45.000 di £ 60.000 (75%), previsti £ 58.500"
std::string BudgetText(const TBudgetState& state, const TBudgetItem& budget);

// ---- the idle rule ----
// Byte totals of a connection sampled over time (a steady clock, in days): idle when, over the last window, fewer bytes moved
// than the limit (only once the connection is older than the window).
class TIdleMeter
{
public:
    void Reset();
    void Sample(double now, std::uint64_t totalBytes);
    bool Idle(double now, std::int64_t minBytes, int minutes) const;

private:
    std::deque<std::pair<double, std::uint64_t>> FSamples;
};

// The program's side: every second while a connection is counted, the budget's alerts and the idle
// rule; at the end of a connection, why it ended.
class TBudgetWatch
{
public:
    TBudgetWatch(TServices& services, TBudgets& budgets, TDataUnits& log, TStatus& status, ISounds& sounds);
    ~TBudgetWatch();

    // The one-second check (also run right after a connection was logged, for the alerts).
    void Check();
    // The reason the program is about to hang up for; the next logged connection takes it.
    void SetReason(TEndReason reason) { FReason = reason; }
    void ConnectionSaved(const TConnectionData& record);

    // The budget of the profile in use, when it has one.
    TBudgetItem* Budget() const;
    std::string StatusText() const;

    // A balloon for the user.
    std::function<void(const std::string&)> OnBalloon;
    // Hangs up as the automatic disconnection does, for that reason (the question, when asked, came
    // before).
    std::function<void(TEndReason)> OnHangUp;
    // Set while a question is open, so the timers do not pile up questions.
    std::function<void(bool)> SetQuestionPending;
    // The tray hint changed (the budget line).
    std::function<void()> OnTextChange;

private:
    void CheckBudget(double now);
    void CheckIdle();
    TServices& FServices;
    TBudgets& FBudgets;
    TDataUnits& FLog;
    TStatus& FStatus;
    ISounds& FSounds;
    std::unique_ptr<Timer> FTimer;
    TIdleMeter FIdle;
    double FCountStart = 0;
    TEndReason FReason = erDropped;
    bool FAsking = false;
    double FOfferedFor = 0; // the start of the connection last offered the budget's hang-up
    std::string FLastText;
};

} // namespace qv
