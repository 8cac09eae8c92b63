#pragma once
// A simulated popup transport for --simulate: every recipient gets the message after a moment,
// except "NESSUNO", whose name is not found.

#include "messenger/Messenger.h"

#include <chrono>
#include <thread>

namespace qv {

class TSimPopupTransport : public IPopupTransport
{
public:
    bool Available() override { return true; }
    std::int32_t Send(const std::string& recipient, const std::string&) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return recipient == "NESSUNO" ? 2273 : 0;
    }
};

} // namespace qv
