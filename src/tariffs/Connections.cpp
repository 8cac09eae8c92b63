#include "tariffs/Connections.h"

#include "core/DateTime.h"
#include "core/LocalTime.h"
#include "core/Functions.h"
#include "core/Strings.h"

#include <algorithm>
#include <cmath>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <unordered_map>
#include <unordered_set>

namespace qv {

const TPropTable& TDataUnitsItem::Table()
{
    using T = TDataUnitsItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Date("I", &T::I, &T::SetI)
                                    .Key()
                                    .Date("F", &T::F, &T::SetF)
                                    .Int("S", &T::S, &T::SetS)
                                    .Float("L", &T::L, &T::SetL)
                                    .Float("E", &T::E, &T::SetE)
                                    .Str("N", &T::N, &T::SetN)
                                    .Str("Z", &T::Z, &T::SetZ)
                                    .Int("Y", &T::Y, &T::SetY)
                                    .UInt32("T", &T::T, &T::SetT)
                                    .UInt32("R", &T::R, &T::SetR)
                                    .Build();
    return t;
}

double TDataUnitsItem::E() const
{
    return LireToEuro(FL);
}

double TDataUnitsItem::Duration() const
{
    if (FAggregate || !(FF >= FI))
        return FF - FI;
    return SecondsToDuration(static_cast<double>(RealSecondsBetween(FI, FF)));
}

void TDataUnitsItem::Accumulate(const TDataUnitsItem& item)
{
    FS += item.FS;
    FL += item.FL;
    FF += item.Duration();
}

void TDataUnitsItem::Assign(const TDataUnitsItem& o)
{
    FI = o.FI;
    FF = o.FF;
    FS = o.FS;
    FL = o.FL;
    FN = o.FN;
    FZ = o.FZ;
    FY = o.FY;
    FT = o.FT;
    FR = o.FR;
}

TDataUnits::TDataUnits(TServices& services) : TPersistentComponent(services, "TDataUnits")
{
    SetAskOnLoadError(true);
}

TDataUnits::~TDataUnits()
{
    SaveIfModified();
}

const TPropTable& TDataUnits::Table()
{
    static const TPropTable t =
        TPropBuilder<TDataUnits>(&TPersistentComponent::Table())
            .Collection("Units", static_cast<TDataUnitsItems& (TDataUnits::*)()>(&TDataUnits::Units))
            .Build();
    return t;
}

TDataUnitsItem& TDataUnits::InsertItem(const TDataUnitsItem& item)
{
    // Before the first item that does not start earlier; appended when it starts last.
    std::size_t pos = FUnits.Count();
    if (pos > 0 && FUnits[pos - 1].I() > item.I()) {
        const auto it = std::lower_bound(FUnits.begin(), FUnits.end(), item.I(),
                                         [](const auto& u, double start) { return u->I() < start; });
        pos = static_cast<std::size_t>(it - FUnits.begin());
    }
    TDataUnitsItem& n = FUnits.Insert(pos);
    n.Assign(item);
    return n;
}

void TDataUnits::AddConnection(const TConnectionData& d)
{
    TDataUnitsItem item(nullptr);
    item.FI = d.Start;
    item.FF = d.End;
    item.FS = d.Pulses;
    item.FL = d.Cost;
    item.FN = d.Entry;
    item.FZ = d.Ip;
    item.FY = d.Speed;
    item.FT = d.Sent;
    item.FR = d.Received;
    InsertItem(item);
    Save();
}

TDataUnitsItem& TDataUnits::AddSimple(std::int32_t pulses, const std::string& entry, double cost, double end,
                                      double start)
{
    TDataUnitsItem item(nullptr);
    item.FS = pulses;
    item.FN = entry;
    item.FL = cost;
    item.FF = end;
    item.FI = start;
    return InsertItem(item);
}

void TDataUnits::DeleteItem(std::size_t index)
{
    FUnits.Delete(index);
}

void TDataUnits::DeleteItems(const std::vector<TDataUnitsItem*>& records)
{
    if (records.empty())
        return;
    std::unordered_set<const TDataUnitsItem*> gone(records.begin(), records.end());
    FUnits.RemoveIf([&gone](const TDataUnitsItem& u) { return gone.count(&u) != 0; });
}

void TDataUnits::Reorder(TDataUnitsItem& item)
{
    const std::size_t from = FUnits.IndexOf(&item);
    if (from >= FUnits.Count())
        return;
    // Before the first other record that does not start earlier.
    std::size_t to = 0;
    for (std::size_t i = 0; i < FUnits.Count(); ++i)
        if (i != from && FUnits[i].I() < item.I())
            ++to;
    FUnits.Move(from, to);
}

bool TDataUnits::SelectRange(TDataUnitsItems& items, double from, double to) const
{
    items.Clear();
    for (const auto& u : FUnits) {
        if (u->I() > to)
            return true;
        if (from == -1 || u->I() >= from)
            items.Add().Assign(*u);
    }
    return false;
}

bool TDataUnits::SumBy(TDataUnitsItems& items, double from, double to, const TGroupKey& key,
                       std::vector<int>* counts) const
{
    items.Clear();
    if (counts)
        counts->clear();
    std::size_t lastIndex = 0;
    std::unordered_map<std::int64_t, std::size_t> groups;
    std::int64_t lastKey = 0;
    TDataUnitsItem* last = nullptr;
    for (const auto& u : FUnits) {
        if (u->I() > to)
            return true;
        if (from != 0 && u->I() < from)
            continue;
        const std::int64_t k = key(*u);
        if (last && k == lastKey) {
            last->Accumulate(*u);
            if (counts)
                ++(*counts)[lastIndex];
            continue;
        }
        const auto found = groups.find(k);
        if (found != groups.end()) {
            lastIndex = found->second;
            last = &items[lastIndex];
        } else {
            lastIndex = items.Count();
            groups.emplace(k, lastIndex);
            if (counts)
                counts->push_back(0);
            last = &items.Add();
            last->Assign(*u);
            last->FF = u->FI; // the aggregate's duration starts at zero
            last->FAggregate = true;
            last->FS = 0;
            last->FL = 0;
        }
        lastKey = k;
        last->Accumulate(*u);
        if (counts)
            ++(*counts)[lastIndex];
    }
    return false;
}

bool TDataUnits::SumByDay(TDataUnitsItems& items, double from, double to, std::vector<int>* counts) const
{
    return SumBy(
        items, from, to, [](const TDataUnitsItem& u) { return DayNumber(u.I()); }, counts);
}

bool TDataUnits::SumByMonth(TDataUnitsItems& items, double from, double to, std::vector<int>* counts) const
{
    return SumBy(items, from, to, [](const TDataUnitsItem& u) {
        const TDateParts d = DecodeDate(static_cast<double>(DayNumber(u.I())));
        return static_cast<std::int64_t>(d.Year) * 12 + d.Month;
    }, counts);
}

bool TDataUnits::SumByYear(TDataUnitsItems& items, double from, double to, std::vector<int>* counts) const
{
    return SumBy(items, from, to,
                 [](const TDataUnitsItem& u) { return DecodeDate(static_cast<double>(DayNumber(u.I()))).Year; }, counts);
}

bool TDataUnits::SumByEntry(TDataUnitsItems& items, double from, double to, std::vector<int>* counts) const
{
    // Entry names compared ignoring letter case, numbered in order of first appearance.
    auto names = std::make_shared<std::unordered_map<std::string, std::int64_t>>();
    return SumBy(items, from, to, [names](const TDataUnitsItem& u) {
        const auto [it, added] = names->emplace(LowerCase(u.N()), static_cast<std::int64_t>(names->size()));
        return it->second;
    }, counts);
}

std::string TDataUnits::TodayText() const
{
    const std::int64_t today = DayNumber(FServices.Clk.Now());
    double duration = 0, cost = 0;
    bool any = false;
    for (const auto& u : FUnits) {
        if (DayNumber(u->I()) != today)
            continue;
        any = true;
        duration += u->Duration();
        cost += u->L();
    }
    if (!any)
        return {};
    return "Durata: " + FormatDurationLong(duration) + " - Spesa: " + FormatPattern("%3.0n", cost);
}

const char* TDataUnits::ExportHeader()
{
    return "Inizio\t\t\tFine\t\t\tScatti\tLire\tEuro\tConnessione";
}

namespace {

// Fixed notation with the given decimals and the Italian decimal comma ("1936,27"), as the log's
// text form has it.
std::string Fixed(double v, int decimals)
{
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return ReplaceAll(buf, ".", ",");
}

} // namespace

bool TDataUnits::ExportText(const TDataUnitsItems& records, const std::string& fileName)
{
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) {
        ShowError(FServices.Prompter, "Impossibile salvare il file " + fileName +
                                          "\r\rControllare che il supporto non sia a sola lettura o che non sia "
                                          "esaurito lo spazio su disco!");
        return false;
    }
    std::string text = std::string(ExportHeader()) + "\r\n";
    for (const auto& u : records) {
        text += FormatDateTime("dd/mm/yyyy hh:nn:ss", u->I()) + "\t" + FormatDateTime("dd/mm/yyyy hh:nn:ss", u->F()) +
                "\t" + std::to_string(u->S()) + "\t" + Fixed(u->L(), 2) + "\t" + Fixed(u->E(), 3) + "\t" + u->N() +
                "\r\n";
    }
    // The text file is read by older tools too: it keeps the code page of the data files.
    const std::string bytes = Utf8ToCp1252(text);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        ShowError(FServices.Prompter, "Impossibile esportare i dati di connessione: \r\rErrore di scrittura del file " +
                                          fileName);
        return false;
    }
    ShowInfo(FServices.Prompter, "I dati di connessione sono stati esportati con successo in " + fileName);
    return true;
}

bool TDataUnits::ImportText(const std::string& fileName, bool allOrNothing)
{
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        ShowError(FServices.Prompter, "Non è stato possibile importare ben 0 connessioni su 0!\r\r[Impossibile aprire " +
                                          fileName + "]");
        return false;
    }
    int accepted = 0, rejected = 0;
    std::string raw;
    struct TRow
    {
        std::int32_t Pulses;
        std::string Entry;
        double Lire, End, Start;
    };
    std::vector<TRow> rows;
    bool first = true;
    while (std::getline(in, raw)) {
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        if (first && raw.rfind("\xEF\xBB\xBF", 0) == 0)
            raw.erase(0, 3); // a byte-order mark written by an editor
        first = false;
        const std::string line = Cp1252ToUtf8(raw);
        if (line == ExportHeader())
            continue;
        if (Trim(line).empty())
            continue;
        const std::vector<std::string> f = Split(line, '\t');
        std::optional<double> start, end, lire;
        std::optional<std::int32_t> pulses;
        if (f.size() >= 4) {
            start = ParseDateTimeIt(f[0]);
            end = ParseDateTimeIt(f[1]);
            pulses = ReadInteger(f[2]);
            lire = ReadNumber(f[3]);
        }
        if (!start || !end || !pulses || !lire || *end < *start || *pulses < 0 || !std::isfinite(*lire) ||
            *lire < 0 || *lire > MaxConnectionCost) {
            ++rejected;
            continue;
        }
        // With a euro column the entry is the rest after it; without, the fifth field is the entry.
        std::string entry;
        if (f.size() >= 5) {
            if (ReadNumber(f[4])) {
                // The entry is everything after the fifth tab, tabs included.
                std::size_t pos = std::string::npos, from = 0;
                for (int k = 0; k < 5; ++k) {
                    pos = line.find('\t', from);
                    if (pos == std::string::npos)
                        break;
                    from = pos + 1;
                }
                entry = pos == std::string::npos ? std::string() : line.substr(pos + 1);
            } else {
                entry = f[4];
            }
        }
        rows.push_back({*pulses, entry, *lire, *end, *start});
        ++accepted;
    }
    if (rejected == 0)
        ShowInfo(FServices.Prompter, "Importate ben " + std::to_string(accepted) + " connessioni!");
    else
        ShowError(FServices.Prompter, "Non è stato possibile importare ben " + std::to_string(rejected) +
                                          " connessioni su " + std::to_string(accepted) + "!");
    // All or nothing: a file where as many lines fail as succeed is probably not a log, and none
    // of it may reach "Connections.dat".
    if (accepted <= rejected || (allOrNothing && rejected > 0))
        return false;
    for (const TRow& r : rows)
        AddSimple(r.Pulses, r.Entry, r.Lire, r.End, r.Start);
    Save();
    return true;
}

} // namespace qv
