#pragma once
// "stats tree", "stats chart" and "report details|chart": the statistics window's numbers and
// printed reports for scripts.

#include "cli/CliContext.h"

#include <ostream>
#include <string>
#include <vector>

namespace qv {

int StatsCommand(TCliContext& ctx, std::vector<std::string> args, std::ostream& out);
int ReportCommand(TCliContext& ctx, std::vector<std::string> args, std::ostream& out);
// "repricing --from --to": the period's connections priced under every tariff, cheapest first.
int RepricingCommand(TCliContext& ctx, std::vector<std::string> args, std::ostream& out);

} // namespace qv
