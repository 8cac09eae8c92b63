#pragma once
// No dial-up service at all: every call fails with code 1, so nothing is ever reported.

#include "detection/RasApi.h"

namespace qv {

class TNoDialUp : public IRasApi
{
public:
    int Entries(std::vector<std::string>&) override { return 1; }
    int Connections(std::vector<TRasConnection>&) override { return 1; }
    int ConnectStatus(std::int64_t, int&) override { return 1; }
    int EntryProperties(const std::string&, TRasEntryProperties&) override { return 1; }
    int ProjectionAddress(std::int64_t, std::string&) override { return 1; }
    int GetCredentials(const std::string&, TRasCredentials&) override { return 1; }
    int SetCredentials(const std::string&, const std::string&, const std::string&, bool) override { return 1; }
    int Dial(const std::string&, const std::string&, const std::string&, std::function<void(int, int)>,
             std::int64_t&) override
    {
        return 1;
    }
    int HangUp(std::int64_t) override { return 1; }
    std::string ErrorText(int) override { return {}; }
    std::optional<TByteCounts> ByteCounts(std::int64_t) override { return std::nullopt; }
};

} // namespace qv
