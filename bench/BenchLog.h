#pragma once
// A connection log for the benchmarks: a few connections a day with varied names, lengths and
// costs, over as many years as the count needs.

#include "tariffs/Connections.h"

#include <string>

namespace qv::test {

inline void FillLog(TDataUnits& log, int n)
{
    static const char* entries[] = {"Tiscali", "Libero", "TIN.IT", "Wind", "tiscali", "Jumpy", "Infinito"};
    log.Units().Reserve(static_cast<std::size_t>(n));
    double start = 36526.0; // 1 January 2000
    for (int i = 0; i < n; ++i) {
        start += 0.11 + (i % 13) * 0.01; // a few connections a day, over years
        TDataUnitsItem& u = log.Units().Add();
        u.SetI(start);
        u.SetF(start + (60 + i % 3600) / 86400.0);
        u.SetS(1 + i % 40);
        u.SetL(127.5 * (1 + i % 40));
        u.SetN(entries[i % 7]);
        u.SetZ("151.24.3." + std::to_string(i % 250));
        u.SetY(56000);
        u.SetT(static_cast<std::uint32_t>(i) * 977u);
        u.SetR(static_cast<std::uint32_t>(i) * 3331u);
    }
}

} // namespace qv::test
