#pragma once
// The log of every finished connection, kept in start order in "Connections.dat" and saved at once
// after each new connection; selections and totals by day, month, year and entry.

#include "core/Persistent.h"

#include <functional>

namespace qv {

// The largest cost one logged connection may have, in lire (a billion: over 500,000 euro); a larger
// or negative one is a typing error or a damaged import, never a connection.
inline constexpr double MaxConnectionCost = 1.0e9;

// How the live status hands over a finished connection.
struct TConnectionData
{
    double Start = 0;
    double End = 0;
    std::int32_t Pulses = 0;
    double Cost = 0;
    std::string Entry;
    std::string Ip;
    std::int32_t Speed = 0;
    std::uint32_t Sent = 0;
    std::uint32_t Received = 0;
};

// One logged connection. Its setters do not mark the log modified: the log's operations save.
class TDataUnitsItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    // The setters only set fields: a large log is read on two threads.
    static constexpr bool ReadInParts = true;

    double I() const { return FI; }
    void SetI(double v) { FI = v; }
    double F() const { return FF; }
    void SetF(double v) { FF = v; }
    std::int32_t S() const { return FS; }
    void SetS(std::int32_t v) { FS = v; }
    double L() const { return FL; }
    void SetL(double v) { FL = v; }
    // The euro value follows from the lire; a stored value is ignored.
    double E() const;
    void SetE(double) {}
    const std::string& N() const { return FN; }
    void SetN(const std::string& v) { FN = v; }
    const std::string& Z() const { return FZ; }
    void SetZ(const std::string& v) { FZ = v; }
    std::int32_t Y() const { return FY; }
    void SetY(std::int32_t v) { FY = v; }
    std::uint32_t T() const { return FT; }
    void SetT(std::uint32_t v) { FT = v; }
    std::uint32_t R() const { return FR; }
    void SetR(std::uint32_t v) { FR = v; }

    // A connection's real duration (a daylight-saving night counts the hour skipped or repeated);
    // an aggregate's is the sum of its connections'.
    double Duration() const;
    bool FAggregate = false;
    // Adds pulses, cost and duration (into F) of another item.
    void Accumulate(const TDataUnitsItem& item);
    void Assign(const TDataUnitsItem& other);

    double FI = 0, FF = 0, FL = 0;
    std::int32_t FS = 0, FY = 0;
    std::string FN, FZ;
    std::uint32_t FT = 0, FR = 0;
};
using TDataUnitsItems = TDataCollection<TDataUnitsItem>;

class TDataUnits : public TPersistentComponent
{
public:
    explicit TDataUnits(TServices& services);
    ~TDataUnits() override;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    std::unique_ptr<TPersistentComponent> NewEmpty() const override
    {
        return std::make_unique<TDataUnits>(FServices);
    }

    TDataUnitsItems& Units() { return FUnits; }
    const TDataUnitsItems& Units() const { return FUnits; }

    // Inserts in start order and saves the file at once.
    void AddConnection(const TConnectionData& data);
    TDataUnitsItem& InsertItem(const TDataUnitsItem& item);
    TDataUnitsItem& AddSimple(std::int32_t pulses, const std::string& entry, double cost, double end, double start);
    void DeleteItem(std::size_t index);
    // Deletes the given records of the log in one pass (marks the log modified).
    void DeleteItems(const std::vector<TDataUnitsItem*>& records);
    // Puts a record whose start changed back into start order.
    void Reorder(TDataUnitsItem& item);

    // Each fills items (emptied first) and tells whether the scan stopped before the end of the log.
    // counts, when given, receives the number of connections of each aggregate.
    bool SelectRange(TDataUnitsItems& items, double from, double to) const;
    bool SumByDay(TDataUnitsItems& items, double from, double to, std::vector<int>* counts = nullptr) const;
    bool SumByMonth(TDataUnitsItems& items, double from, double to, std::vector<int>* counts = nullptr) const;
    bool SumByYear(TDataUnitsItems& items, double from, double to, std::vector<int>* counts = nullptr) const;
    bool SumByEntry(TDataUnitsItems& items, double from, double to, std::vector<int>* counts = nullptr) const;

    // "Durata: ... - Spesa: ..." of today's connections, empty when none.
    std::string TodayText() const;

    // Writes items in the text format; reports success and failure with boxes.
    bool ExportText(const TDataUnitsItems& records, const std::string& fileName);
    // Reads a text file into the log; true when more lines were accepted than rejected. A line
    // with negative pulses, a cost outside 0…MaxConnectionCost or an end before its start is
    // rejected. allOrNothing (the command line): one rejected line refuses the whole file.
    bool ImportText(const std::string& fileName, bool allOrNothing = false);

    static const char* ExportHeader();

private:
    using TGroupKey = std::function<std::int64_t(const TDataUnitsItem&)>;
    bool SumBy(TDataUnitsItems& items, double from, double to, const TGroupKey& key, std::vector<int>* counts) const;
    TDataUnitsItems FUnits{this};
};

} // namespace qv
