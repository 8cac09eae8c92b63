#pragma once
// HTTP through libcurl: one easy handle per request on its worker, the connections of one host kept
// alive in a share of that host's connection, no caching, the form content type on every request.
// A body over MaxBody bytes is cut off and reported; a request over TimeoutMs fails.

#include "sms/HtmlControl.h"

#include <cstddef>

namespace qv {

class TCurlHttpTransport : public IHttpTransport
{
public:
    TCurlHttpTransport();
    int TimeoutMs = 60000;
    std::size_t MaxBody = 1u << 20;
    std::shared_ptr<IHttpConnection> Connect(const std::string& host, int port, const std::string& user,
                                             const std::string& password, int& code, std::string& text) override;
};

} // namespace qv
