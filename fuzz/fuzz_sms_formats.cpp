// Feeds arbitrary text to one of the SMS imports, chosen when built (QV_SMS_FORMAT): 0 the gateway
// INI, 1 and 2 the two foreign gateway formats ("webgate.ini", "settings.cfg"), 3 the contact text.
// Any input is imported or skipped, never a crash; a gateway of "webgate.ini" always has a name and
// a host, and a contact's number is digits only.
#include "NoNetwork.h"
#include "TestSupport.h"
#include "core/Strings.h"
#include "sms/Gateways.h"

#include <cstdlib>
#include <unistd.h>

using namespace qv;
using namespace qv::test;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TTestContext ctx;
    static TNoNetwork net;
    static TSettings settings(ctx.Services);
    TSmsData sms(ctx.Services);
    TPhoneBookData book(ctx.Services, sms);
    TGateWayData gateways(ctx.Services, net, settings, sms);
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = Cp1252ToUtf8(bytes);
    switch (QV_SMS_FORMAT) {
    case 0:
        gateways.ImportIniText(text);
        break;
    case 1:
        gateways.ImportWebgateText(text);
        for (const auto& g : gateways.GateWays())
            if (g->Nome().empty() || g->HostAddress().empty())
                std::abort();
        break;
    case 2:
        gateways.ImportSettingsCfgText(text);
        break;
    default: {
        static const std::string path = "/tmp/qv-fuzz-contacts-" + std::to_string(::getpid()) + ".txt";
        WriteFile(path, bytes);
        book.ImportContacts(path, "");
        for (const auto& c : book.SmsNumbers())
            if (c->P().find_first_not_of("0123456789") != std::string::npos)
                std::abort();
        break;
    }
    }
    gateways.SetModified(false);
    book.SetModified(false);
    sms.SetModified(false);
    return 0;
}
