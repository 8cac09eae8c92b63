// Pricing of spans of time by a tariff, and the comparison of tariffs for a connection.
#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/Functions.h"
#include "core/LocalTime.h"
#include "core/Strings.h"
#include "tariffs/Taxations.h"

#include <cmath>

namespace qv {

TTaxItem::TPrice TTaxItem::ConnectionCharge(double start, std::optional<std::uint32_t> freeSeconds) const
{
    if (freeSeconds.value_or(FBonusDisponibile) != 0)
        return {};
    const TFasciaOraria band = BandAt(start);
    if (band != foPunta && band != foIntera && band != foRidotta)
        throw EQvError("Fascia oraria non valida!");
    const double price = PulsePrice(band);
    if (FTipo == ttTat)
        return {price, 0};
    return {FScattiAllaRisposta * price, FScattiAllaRisposta};
}

double TTaxItem::TatCost(TFasciaOraria band, std::int64_t before, std::int64_t len) const
{
    if (len == 0)
        return 0;
    double r1 = FTatRidotta1, r2 = FTatRidotta2;
    if (band == foPunta) {
        r1 = FTatPunta1;
        r2 = FTatPunta2;
    } else if (band == foIntera) {
        r1 = FTatIntera1;
        r2 = FTatIntera2;
    }
    const std::int64_t limit = static_cast<std::int64_t>(FMinLimite) * 60;
    if (FMinLimite > 0 && before + len > limit) {
        const std::int64_t g = before < limit ? limit - before : 0;
        return static_cast<double>(g) * r1 / 60 + static_cast<double>(len - g) * r2 / 60;
    }
    return static_cast<double>(len) * r1 / 60;
}

TTaxItem::TPrice TTaxItem::PieceCost(double from, double to, TFasciaOraria band, double start0,
                                     std::int64_t freeEnd)
{
    // Real seconds: the hour a spring night skips is not charged, the hour an autumn night repeats is.
    std::int64_t before = from > start0 ? std::max<std::int64_t>(RealSecondsBetween(start0, from), 0) : 0;
    std::int64_t len = std::max<std::int64_t>(RealSecondsBetween(from, to), 0);
    const std::int64_t free = freeEnd;
    if (before < free) {
        len = len > free - before ? len - (free - before) : 0;
        before = free;
    }
    if (FTipo == ttTat)
        return {TatCost(band, before, len), 0};
    if (len <= 0)
        return {};
    const std::int64_t total = len + FPulseCarry;
    const double length = PulseLength(band);
    if (!(length > 0)) {
        // A band without a pulse length charges nothing, and its seconds are not carried into the
        // next band: carrying them would charge a free night at the morning's price.
        FPulseCarry = 0;
        return {};
    }
    const auto pulses = static_cast<std::int64_t>(std::trunc(static_cast<double>(total) / length));
    FPulseCarry = static_cast<std::int32_t>(std::trunc(static_cast<double>(total) - static_cast<double>(pulses) * length));
    return {static_cast<double>(pulses) * PulsePrice(band), static_cast<std::int32_t>(pulses)};
}

TTaxItem::TPrice TTaxItem::DayCost(double from, double to, double start0, std::int64_t freeEnd,
                                   bool processMessages, const TProgress& progress, TPrice total)
{
    if (DayNumber(from) != DayNumber(to))
        throw EQvError("L'intervallo di tempo non è corretto: il giorno di inizio è diverso da quello di fine!");
    const TBandItems& list = BandsFor(from);
    const TBandItem* band = &FindBandIn(list, from);
    const TBandItem* last = &FindBandIn(list, to);
    const auto add = [&](TPrice piece) {
        total.Cost += piece.Cost;
        total.Pulses += piece.Pulses;
        const TTaxations* owner = Owner();
        if ((progress || processMessages) && owner && owner->ProcessMessages)
            owner->ProcessMessages();
        if (progress)
            progress(total.Cost, total.Pulses);
    };
    const double day = static_cast<double>(DayNumber(from));
    while (band != last) {
        const double pieceEnd = day + band->TimeEnd();
        add(PieceCost(from, pieceEnd, band->Tipo(), start0, freeEnd));
        from = pieceEnd;
        // The next band by list position: the timetable is kept in time order.
        std::size_t i = 0;
        while (i < list.Count() && &list[i] != band)
            ++i;
        if (i + 1 >= list.Count())
            break;
        band = &list[i + 1];
    }
    add(PieceCost(from, to, band->Tipo(), start0, freeEnd));
    return total;
}

TTaxItem::TPrice TTaxItem::ComputeCost(double start, double end, bool processMessages, const TProgress& progress,
                                       std::optional<std::uint32_t> freeSeconds)
{
    start = CutToSeconds(start);
    end = CutToSeconds(end);
    // An end that reads earlier than its start is one only in the hour an autumn night repeats.
    if (start > end && RealSecondsBetween(start, end) < 0)
        throw EQvError("L'intervallo di tempo non è corretto!");
    const std::uint32_t free = freeSeconds.value_or(FBonusDisponibile);
    TPrice total = ConnectionCharge(start, free);
    if (start > end) {
        FPulseCarry = 0;
        const TPrice piece = PieceCost(start, end, BandAt(start), start, free);
        total.Cost += piece.Cost;
        total.Pulses += piece.Pulses;
        if (FTipo == ttTat)
            total.Pulses = 0;
        const std::int64_t length = RealSecondsBetween(start, end);
        total.FreeLeft = free > length ? static_cast<std::uint32_t>(free - length) : 0;
        return total;
    }
    FPulseCarry = 0;
    const double start0 = start;
    std::int64_t freeEnd = free;
    const auto monthOf = [](double d) {
        const TDateParts p = DecodeDate(d);
        return static_cast<std::int64_t>(p.Year) * 12 + p.Month;
    };
    std::int64_t month = monthOf(start);
    while (DayNumber(start) != DayNumber(end)) {
        const double day = static_cast<double>(DayNumber(start));
        total = DayCost(start, day + EndOfDay, start0, freeEnd, processMessages, progress, total);
        start = day + 1;
        if (FBonusMese > 0 && monthOf(start) != month) {
            // A new month: its allowance is free from its first second.
            month = monthOf(start);
            freeEnd = RealSecondsBetween(start0, start) + FBonusMese;
        }
    }
    total = DayCost(start, end, start0, freeEnd, processMessages, progress, total);
    if (FTipo == ttTat)
        total.Pulses = 0;
    const std::int64_t length = std::max<std::int64_t>(RealSecondsBetween(start0, end), 0);
    total.FreeLeft = freeEnd > length ? static_cast<std::uint32_t>(std::min<std::int64_t>(freeEnd - length, UINT32_MAX)) : 0;
    return total;
}

std::string TTaxations::CompareTaxes(double start, double end, double cost,
                                     const std::function<void(const std::string&, int)>& progress,
                                     const std::function<bool()>& stop)
{
    std::string text;
    double best = 0;
    const std::size_t count = FTaxs.Count();
    for (std::size_t i = 0; i < count; ++i) {
        if (stop && stop())
            break;
        TTaxItem& t = FTaxs[i];
        if (t.Tipo() != ttTat || !t.Compare())
            continue;
        if (progress)
            progress("Calcolo del costo di " + t.Nome(),
                     static_cast<int>(std::trunc(static_cast<double>(i) / static_cast<double>(count) * 100)));
        const double price = t.ComputeCost(start, end, true).Cost;
        const double saving = std::trunc(cost - price);
        if (saving <= 0)
            continue;
        const std::string line = "risparmiavi " + FormatPattern("%3.0n", saving) + " £irette con " + t.DisplayName() + "\r";
        if (saving > best) {
            best = saving;
            text = Trim(line + text) + "\r";
        } else {
            text += line;
        }
    }
    return text;
}

} // namespace qv
