#pragma once
// An HTTP transport with no network: every connection fails, as with the cable out.

#include "sms/HtmlControl.h"

namespace qv::test {

struct TNoNetwork : IHttpTransport
{
    std::shared_ptr<IHttpConnection> Connect(const std::string&, int, const std::string&, const std::string&, int& code,
                                             std::string&) override
    {
        code = 7;
        return nullptr;
    }
};

} // namespace qv::test
