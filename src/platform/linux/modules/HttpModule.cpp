// The web-SMS module: HTTP through libcurl.
#include "core/Version.h"
#include "platform/linux/CurlHttp.h"
#include "platform/linux/Modules.h"

QV_MODULE_VERSION

QV_MODULE_EXPORT qv::IHttpTransport* qv_http_transport()
{
    return new qv::TCurlHttpTransport();
}
