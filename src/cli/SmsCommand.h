#pragma once
// "sms": gateways, contacts, sending and the queue from the command line; a send waits for the
// gateway's answer.

#include "cli/CliContext.h"

#include <ostream>
#include <string>
#include <vector>

namespace qv {

int SmsCommand(TCliContext& ctx, std::vector<std::string> args, std::ostream& out);

} // namespace qv
