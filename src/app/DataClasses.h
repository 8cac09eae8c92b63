#pragma once
// The data-file classes by the class name their files carry in the header, so tools can open any
// data file.

#include "core/Persistent.h"

#include <memory>
#include <string>
#include <vector>

namespace qv {

std::unique_ptr<TPersistentComponent> CreateDataComponent(const std::string& className, TServices& services);
std::vector<std::string> DataClassNames();

} // namespace qv
