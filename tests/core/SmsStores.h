#pragma once
// The SMS stores of a test: settings, messages, phone book and gateways, with no network.
#include "NoNetwork.h"
#include "TestSupport.h"
#include "sms/Gateways.h"

namespace qv::test {

struct TSmsStores
{
    TTestContext Ctx;
    TNoNetwork Net;
    TSettings Settings{Ctx.Services};
    TSmsData Sms{Ctx.Services};
    TPhoneBookData Book{Ctx.Services, Sms};
    TGateWayData Gateways{Ctx.Services, Net, Settings, Sms};
};

} // namespace qv::test
