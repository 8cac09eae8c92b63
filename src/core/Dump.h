#pragma once
// The text dump of a persistent object: one "path = value" line per published property, in stream
// order, including properties at their creation value. Used by the command-line tool and the tests.

#include "core/Properties.h"

#include <string>

namespace qv {

std::string DumpObject(TPersistent& root, const std::string& className);
// A double as the dump shows it: its 64 bits as 16 upper-case hex digits.
std::string DoubleHex(double value);
// Windows-1252 bytes in double quotes, escaping what is not printable ASCII, '"', '#', '\'.
std::string QuoteBytes(const std::string& cp1252);

} // namespace qv
