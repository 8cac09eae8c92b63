#pragma once
// Data plans: the metered links of today priced by volume. A plan belongs to one link (a
// NetworkManager connection by its UUID, or an interface name), renews every month from a day,
// every N days or daily, has an allowance and a price per cycle, and what happens beyond the
// allowance: a price per gigabyte, a price per started block, or a slower link at no charge.
// The kernel's byte counters of the link's interface are turned into deltas (surviving resets) and
// summed per plan and per day; the status of a cycle (used, remaining, projection, what may still be
// used each day, cost) and its two alerts (warning and limit, once per cycle each) come from them.

#include "core/Persistent.h"
#include "core/PropertyMacros.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qv {

enum class TPlanCounts
{
    Both,        // received and sent
    ReceivedOnly
};

enum class TPlanCycleKind
{
    Monthly,   // from CycleDay of each month (a missing day: the month's last)
    EveryDays, // every EveryDays days from CycleFrom
    Daily
};

enum class TPlanBeyond
{
    PerGigabyte, // BeyondPrice for each gigabyte (10^9 bytes) beyond, in proportion
    PerBlock,    // BeyondPrice for each started block of BlockBytes
    SpeedCap     // slower, no charge
};

struct TDataPlan
{
    std::string Name;
    std::string ConnectionUuid; // the link: a NetworkManager connection...
    std::string Interface;      // ...or an interface it does not manage
    TPlanCounts Counts = TPlanCounts::Both;
    TPlanCycleKind Cycle = TPlanCycleKind::Monthly;
    int CycleDay = 1;                      // Monthly: 1..31
    int EveryDays = 30;                    // EveryDays: the cycle's length
    double CycleFrom = 0;                  // EveryDays: a day a cycle starts
    std::optional<std::uint64_t> Allowance; // bytes; none: everything is priced beyond
    double PricePerCycle = 0;              // euro
    TPlanBeyond Beyond = TPlanBeyond::SpeedCap;
    double BeyondPrice = 0; // euro per gigabyte or per block
    std::uint64_t BlockBytes = 0;
    int WarningPercent = 80;
    bool Limit = false; // at 100 % the link is offered the disconnection
};

// A cycle: from Start's midnight up to End's (day numbers of local dates; End excluded).
struct TPlanCycle
{
    double Start = 0;
    double End = 0;
    double Days() const { return End - Start; }
    bool operator==(const TPlanCycle&) const = default;
};

TPlanCycle PlanCycleAt(const TDataPlan& plan, double moment);
// "mensile dal giorno 14", "ogni 28 giorni dal 1 dicembre 2026", "giornaliero".
std::string CycleText(const TDataPlan& plan);
// Volumes as operators write them, in decimal units: "50 GB", "1,5 GB", "500MB", "750 kB", or bytes
// alone; none when the text is not one.
std::optional<std::uint64_t> ParseVolume(std::string_view text);
// "12,34 GB", "850,00 MB", "0 B"; with one decimal, the strip's short form: "12,3 GB", "50 GB".
std::string VolumeText(std::uint64_t bytes, int decimals = 2);
// A link has at most one plan: the plan among `plans` (other than one of the same name) that
// already has the link of `plan`, if any.
const TDataPlan* PlanWithLinkOf(const std::vector<TDataPlan>& plans, const TDataPlan& plan);
// "€ 9,99".
std::string EuroText(double value);
// What happens beyond the allowance: "€ 0,50 per GB", "€ 1,00 ogni 100,00 MB iniziati",
// "velocità ridotta".
std::string BeyondText(const TDataPlan& plan);
// The bytes of a sample the plan counts.
std::uint64_t CountedBytes(const TDataPlan& plan, std::uint64_t received, std::uint64_t sent);
// The cost of a cycle in which `used` bytes were counted.
double PlanCycleCost(const TDataPlan& plan, std::uint64_t used);

// A kernel byte counter read again and again: the bytes since the last reading. The first reading
// is the baseline; a counter lower than the last one was reset (the interface went down and up,
// a reboot, a 32-bit counter wrapped) and counts from zero.
class TCounterDelta
{
public:
    std::uint64_t Take(std::uint64_t raw);
    void Forget() { FLast.reset(); }

private:
    std::optional<std::uint64_t> FLast;
};

// Bytes counted per plan and per day.
struct TDayVolume
{
    std::uint64_t Received = 0;
    std::uint64_t Sent = 0;
};
class TPlanUsage
{
public:
    void Add(const std::string& plan, double moment, std::uint64_t received, std::uint64_t sent);
    // What the plan counts between two days (day numbers, end excluded).
    std::uint64_t Used(const TDataPlan& plan, double fromDay, double toDay) const;
    const std::map<std::int64_t, TDayVolume>& Days(const std::string& plan) const;
    const std::map<std::string, std::map<std::int64_t, TDayVolume>>& All() const { return FDays; }
    // Every byte added so far (received and sent, every plan).
    std::uint64_t Total() const { return FTotal; }

    // The time the links were watched (the program running), per day in seconds: traffic outside it
    // was not counted.
    void AddWatched(double from, double to);
    void SetWatched(std::int64_t day, double seconds) { FWatched[day] = seconds; }
    const std::map<std::int64_t, double>& Watched() const { return FWatched; }
    // The days between two day numbers (end excluded, none after now) not watched whole.
    int GapDays(double fromDay, double toDay, double now) const;

private:
    std::uint64_t FTotal = 0;
    std::map<std::int64_t, double> FWatched;
    std::map<std::string, std::map<std::int64_t, TDayVolume>> FDays;
};

struct TPlanStatus
{
    TPlanCycle Cycle;
    std::uint64_t Used = 0;
    std::optional<std::uint64_t> Remaining; // none without an allowance
    double Percent = 0;                     // of the allowance
    std::uint64_t Projection = 0;           // at the cycle's end at the present pace
    std::optional<std::uint64_t> PerDayLeft; // what may still be used each day to last the cycle
    double Cost = 0;                        // so far
};
TPlanStatus PlanStatusAt(const TDataPlan& plan, const TPlanUsage& usage, double now);

// What a period's traffic (every plan's, each day's received and sent) would have cost under each
// plan: its cycles that meet the period, each charged whole for the traffic of its days in the
// period. Cheapest first.
struct TPlanComparison
{
    std::string Plan;
    int Cycles = 0;
    std::uint64_t Volume = 0; // as the plan counts it
    double Cost = 0;
};
std::vector<TPlanComparison> ComparePlans(const std::vector<TDataPlan>& plans, const TPlanUsage& usage, double fromDay,
                                          double toDay);
// "SIM Mobile: € 29,97 per 3 cicli (120,50 GB)", one per line.
std::string PlanComparisonText(const std::vector<TPlanComparison>& rows);

// The warning and the limit, each once per cycle of each plan.
enum class TPlanAlert
{
    None,
    Warning,
    Limit
};
class TPlanAlerts
{
public:
    TPlanAlert Check(const TDataPlan& plan, const TPlanStatus& status);

private:
    struct TState
    {
        double CycleStart = -1;
        bool Warned = false;
        bool Limited = false;
    };
    std::map<std::string, TState> FStates;
};

// The links' counters turned into the plans' usage: a sample of an interface (with the
// NetworkManager connection on it, if any) goes to the plan of that connection, else to the plan of
// that interface. A link that moves to another interface keeps its plan; each interface has its own
// counters.
class TPlanTracker
{
public:
    TPlanTracker(std::vector<TDataPlan>& plans, TPlanUsage& usage) : FPlans(plans), FUsage(usage) {}
    // The plan a link belongs to, if any.
    const TDataPlan* PlanOf(const std::string& interface, const std::string& connectionUuid) const;
    // A reading of an interface's counters at `now`; returns the plan it was counted for.
    const TDataPlan* Sample(const std::string& interface, const std::string& connectionUuid, std::uint64_t received,
                            std::uint64_t sent, double now);
    // The interface went away: its next reading is a new baseline.
    void Gone(const std::string& interface);

private:
    std::vector<TDataPlan>& FPlans;
    TPlanUsage& FUsage;
    std::map<std::string, std::pair<TCounterDelta, TCounterDelta>> FCounters;
};

// ---- "PianiDati.dat": the plans and their daily volumes, in the program's stream format ----

class TPlanItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_STRING_PROPERTY(Nome)
    QV_STRING_PROPERTY(Connessione) // NetworkManager's UUID
    QV_STRING_PROPERTY(Interfaccia)
    QV_PROPERTY(bool, SoloRicevuti, false)
    QV_PROPERTY(std::int32_t, Ciclo, 0) // TPlanCycleKind
    QV_PROPERTY(std::int32_t, GiornoCiclo, 1)
    QV_PROPERTY(std::int32_t, OgniGiorni, 30)
    QV_PROPERTY(double, InizioCiclo, 0)
    QV_PROPERTY(std::int64_t, Soglia, -1) // bytes; -1: no allowance
    QV_PROPERTY(double, Prezzo, 0)
    QV_PROPERTY(std::int32_t, Oltre, 2) // TPlanBeyond
    QV_PROPERTY(double, PrezzoOltre, 0)
    QV_PROPERTY(std::int64_t, Blocco, 0)
    QV_PROPERTY(std::int32_t, Avviso, 80)
    QV_PROPERTY(bool, Limite, false)

    TDataPlan Plan() const;
    void Assign(const TDataPlan& plan);
};
using TPlanItems = TDataCollection<TPlanItem>;

class TPlanDayItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_STRING_PROPERTY(Piano)
    QV_PROPERTY(double, Giorno, 0)
    QV_PROPERTY(std::int64_t, Ricevuti, 0)
    QV_PROPERTY(std::int64_t, Inviati, 0)
};
using TPlanDayItems = TDataCollection<TPlanDayItem>;

// The seconds of a day the links were watched.
class TPlanWatchedItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_PROPERTY(double, Giorno, 0)
    QV_PROPERTY(double, Secondi, 0)
};
using TPlanWatchedItems = TDataCollection<TPlanWatchedItem>;

class TDataPlans : public TPersistentComponent
{
public:
    explicit TDataPlans(TServices& services);
    ~TDataPlans() override;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    std::unique_ptr<TPersistentComponent> NewEmpty() const override { return std::make_unique<TDataPlans>(FServices); }
    TPlanItems& Plans() { return FPlans; }
    TPlanDayItems& Days() { return FDays; }
    TPlanWatchedItems& Watched() { return FWatched; }

    std::vector<TDataPlan> PlanList() const;
    // Adds a plan or replaces the one of the same name (letter case ignored).
    void StorePlan(const TDataPlan& plan);
    TPlanUsage Usage() const;
    // Writes the usage back, one item per plan and day.
    void StoreUsage(const TPlanUsage& usage);

private:
    TPlanItems FPlans{this};
    TPlanDayItems FDays{this};
    TPlanWatchedItems FWatched{this};
};

} // namespace qv
