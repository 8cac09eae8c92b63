#pragma once
// HTTP and HTTPS through libcurl: one easy handle per request on its worker, the connections and
// cookies of one site kept in a share of that site's connection (in memory, dropped with it), no
// caching, the form content type on every request. Certificates and host names are verified against
// the system's authorities; redirects are followed to the same site only. A body over MaxBody bytes
// is cut off and reported; a request over TimeoutMs fails. Failures are told in Italian.

#include "sms/HtmlControl.h"

#include <cstddef>

namespace qv {

class TCurlHttpTransport : public IHttpTransport
{
public:
    TCurlHttpTransport();
    int TimeoutMs = 60000;
    std::size_t MaxBody = 1u << 20;
    // A file of certificate authorities to trust instead of the system's (tests name their own).
    std::string CaFile;
    std::shared_ptr<IHttpConnection> Connect(const std::string& host, int port, const std::string& user,
                                             const std::string& password, int& code, std::string& text) override;
};

} // namespace qv
