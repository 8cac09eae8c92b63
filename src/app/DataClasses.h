#pragma once
// The data-file classes by the class name their files carry in the header, so tools can open any
// data file.

#include "core/Persistent.h"
#include "tariffs/Connections.h"
#include "tariffs/Settings.h"
#include "tariffs/Status.h"

#include <memory>
#include <string>
#include <vector>

namespace qv {

// A live status read on its own (tools, tests): with settings and a log of its own.
class TStandaloneStatus : public TStatus
{
public:
    explicit TStandaloneStatus(TServices& s) : TStatus(s, FOwnSettings, FOwnLog), FOwnSettings(s), FOwnLog(s) {}

private:
    // Built after the base, which only keeps references to them until they are used.
    TSettings FOwnSettings;
    TDataUnits FOwnLog;
};

std::unique_ptr<TPersistentComponent> CreateDataComponent(const std::string& className, TServices& services);
std::vector<std::string> DataClassNames();

} // namespace qv
