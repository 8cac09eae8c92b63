#include "stats/Repricing.h"

#include "core/DateTime.h"
#include "core/Functions.h"
#include "core/Strings.h"

#include <algorithm>

namespace qv {

std::vector<TRepricingSpan> RepricingSpans(const TDataUnits& log, double from, double to)
{
    std::vector<TRepricingSpan> spans;
    const auto& units = log.Units();
    auto it = std::lower_bound(units.begin(), units.end(), from,
                               [](const auto& u, double start) { return u->I() < start; });
    for (; it != units.end() && (*it)->I() <= to; ++it)
        if ((*it)->F() >= (*it)->I())
            spans.push_back({(*it)->I(), (*it)->F(), (*it)->L()});
    return spans;
}

TRepricingResult Reprice(const std::vector<TRepricingSpan>& spans, TTaxations& taxes,
                         const std::function<void(std::size_t, std::size_t)>& progress,
                         const std::atomic<bool>* cancel)
{
    TRepricingResult r;
    r.Connections = spans.size();
    for (const auto& s : spans)
        r.Paid += s.Paid;
    const std::size_t count = taxes.Taxs().Count();
    for (std::size_t i = 0; i < count; ++i) {
        if (cancel && *cancel) {
            r.Cancelled = true;
            break;
        }
        TTaxItem& tax = taxes.Taxs()[i];
        TRepricingRow row;
        row.Tariff = tax.DisplayName();
        std::int64_t month = -1;
        std::uint32_t allowance = 0;
        const auto monthOf = [](double d) {
            const TDateParts p = DecodeDate(d);
            return static_cast<std::int64_t>(p.Year) * 12 + p.Month;
        };
        for (const TRepricingSpan& s : spans) {
            // The monthly free seconds come back at each calendar month, as the program grants them;
            // a connection across the change gets the new month's from its first second.
            if (monthOf(s.Start) != month)
                allowance = tax.BonusMese() > 0 ? static_cast<std::uint32_t>(tax.BonusMese()) : 0;
            const TTaxItem::TPrice price = tax.ComputeCost(s.Start, s.End, false, {}, allowance);
            row.Total += price.Cost;
            row.Pulses += price.Pulses;
            allowance = price.FreeLeft;
            month = monthOf(s.End);
        }
        row.Saving = r.Paid - row.Total;
        r.Rows.push_back(std::move(row));
        if (progress)
            progress(i + 1, count);
    }
    std::stable_sort(r.Rows.begin(), r.Rows.end(),
                     [](const TRepricingRow& a, const TRepricingRow& b) { return a.Total < b.Total; });
    return r;
}

std::string RepricingText(const TRepricingResult& result)
{
    std::string text;
    for (const auto& row : result.Rows) {
        text += row.Tariff + "  £ " + Trim(FormatPattern("%3.0n", row.Total));
        if (row.Saving >= 1)
            text += "  (risparmio £ " + Trim(FormatPattern("%3.0n", row.Saving)) + ")";
        else if (row.Saving <= -1)
            text += "  (£ " + Trim(FormatPattern("%3.0n", -row.Saving)) + " in più)";
        text += "\n";
    }
    return text;
}

TRepricingTask::TRepricingTask(TServices& services, const TTaxations& taxes, TAgenda& agenda,
                               std::vector<TRepricingSpan> spans)
    : FServices(services), FAgenda(services), FTaxes(services), FSpans(std::move(spans))
{
    // The calendar and the tariffs copied here, on the main thread.
    TBytes bytes;
    agenda.WriteToBytes(bytes);
    FAgenda.ReadFromBytes(bytes);
    FTaxes.SetAgenda(&FAgenda);
    FTaxes.Taxs().Clear();
    for (const auto& t : taxes.Taxs())
        FTaxes.Taxs().Add().Assign(*t);
}

TRepricingTask::~TRepricingTask()
{
    *FAlive = false;
    FCancel = true;
    if (FWorker.joinable())
        FWorker.join();
}

void TRepricingTask::Start()
{
    if (FRunning)
        return;
    FRunning = true;
    FCancel = false;
    FWorker = std::thread([this, alive = FAlive] {
        TRepricingResult result;
        try {
            result = Reprice(FSpans, FTaxes, [this, alive](std::size_t done, std::size_t total) {
                const std::string text = "Calcolo del costo con " + FTaxes.Taxs()[done - 1].DisplayName();
                const int percent = static_cast<int>(done * 100 / std::max<std::size_t>(total, 1));
                FServices.Timers.Post([this, alive, text, percent] {
                    if (*alive && OnProgress)
                        OnProgress(text, percent);
                });
            }, &FCancel);
        } catch (const std::exception& e) {
            result.Error = e.what();
        }
        FServices.Timers.Post([this, alive, result = std::move(result)] {
            if (!*alive)
                return;
            FRunning = false;
            if (OnDone)
                OnDone(result);
        });
    });
}

} // namespace qv
