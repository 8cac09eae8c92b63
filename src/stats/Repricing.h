#pragma once
// What a period would have cost: every connection of the period priced under every tariff, each
// tariff's monthly free seconds granted again at each calendar month and used up connection by
// connection as they would have been, the tariffs ranked by their total, with the saving against
// what was paid. The work runs on a worker thread over copies of the tariffs and the calendar, so
// the window stays responsive and the user's data is never touched from another thread.

#include "core/Services.h"
#include "tariffs/Agenda.h"
#include "tariffs/Connections.h"
#include "tariffs/Taxations.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace qv {

struct TRepricingSpan
{
    double Start = 0, End = 0, Paid = 0;
};

struct TRepricingRow
{
    std::string Tariff; // display name
    double Total = 0;
    std::int64_t Pulses = 0;
    double Saving = 0; // what was paid minus Total: above 0 the tariff would have cost less
};

struct TRepricingResult
{
    double Paid = 0;
    std::size_t Connections = 0;
    std::vector<TRepricingRow> Rows; // cheapest first
    bool Cancelled = false;
    std::string Error;
};

// The connections whose start lies in [from, to].
std::vector<TRepricingSpan> RepricingSpans(const TDataUnits& log, double from, double to);
// Prices the spans (in start order) under every tariff. progress(done, total) after each tariff;
// cancel, when set, stops between tariffs.
TRepricingResult Reprice(const std::vector<TRepricingSpan>& spans, TTaxations& taxes,
                         const std::function<void(std::size_t, std::size_t)>& progress = {},
                         const std::atomic<bool>* cancel = nullptr);
// One line per tariff: "Wind - Urbana  £ 12.345  (risparmio £ 1.234)".
std::string RepricingText(const TRepricingResult& result);

// A repricing on a worker thread. Built on the main thread (it copies the tariffs and the calendar
// there); progress and the result come back through the timer service's Post.
class TRepricingTask
{
public:
    TRepricingTask(TServices& services, const TTaxations& taxes, TAgenda& agenda, std::vector<TRepricingSpan> spans);
    // Waits for the worker (asking it to stop first).
    ~TRepricingTask();
    void Start();
    void Cancel() { FCancel = true; }
    bool Running() const { return FRunning; }

    // On the main thread: percentage and text, then the result.
    std::function<void(const std::string&, int)> OnProgress;
    std::function<void(const TRepricingResult&)> OnDone;

private:
    TServices& FServices;
    TAgenda FAgenda;
    TTaxations FTaxes;
    std::vector<TRepricingSpan> FSpans;
    std::atomic<bool> FCancel{false};
    // Cleared when the task goes, so reports posted by the worker afterwards are dropped.
    std::shared_ptr<std::atomic<bool>> FAlive = std::make_shared<std::atomic<bool>>(true);
    bool FRunning = false;
    std::thread FWorker;
};

} // namespace qv
