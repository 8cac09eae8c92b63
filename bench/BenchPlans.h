#pragma once
// A year of daily volumes of ten plans, as "PianiDati.dat" holds them: the data of the plans'
// benchmarks.
#include "core/DateTime.h"
#include "tariffs/DataPlans.h"

namespace qv::test {

inline TBytes YearOfTenPlans(TServices& services)
{
    TDataPlans file(services);
    TPlanUsage usage;
    const double first = EncodeDate(2026, 1, 1);
    for (int p = 0; p < 10; ++p) {
        TDataPlan plan;
        plan.Name = "Piano " + std::to_string(p);
        plan.Interface = "wwan" + std::to_string(p);
        plan.CycleDay = 1 + p * 3;
        plan.Allowance = 50000000000ull;
        plan.PricePerCycle = 9.99;
        plan.Beyond = TPlanBeyond::PerBlock;
        plan.BlockBytes = 500000000;
        plan.BeyondPrice = 0.5;
        file.StorePlan(plan);
        for (int d = 0; d < 365; ++d)
            usage.Add(plan.Name, first + d, 1000000000ull + static_cast<std::uint64_t>(d) * 7919, 50000000);
    }
    file.StoreUsage(usage);
    file.SetModified(false);
    return file.WriteToBytes();
}

} // namespace qv::test
