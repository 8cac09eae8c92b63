#include "platform/sim/SimModem.h"

namespace qv {

TTapiResult TSimModem::Initialize(const std::string&, int& deviceCount)
{
    if (!Running)
        return {MMERR_NOSERVICE, "GetManagedObjects"};
    deviceCount = static_cast<int>(Lines.size());
    return {};
}

TTapiResult TSimModem::Shutdown()
{
    return {};
}

TTapiResult TSimModem::DevCaps(int device, TLineCaps& caps)
{
    if (device < 0 || static_cast<std::size_t>(device) >= Lines.size())
        return {MMERR_NOMODEM, "Get"};
    caps = Lines[static_cast<std::size_t>(device)];
    return {};
}

TTapiResult TSimModem::Open(int device, TCallback callback, std::int64_t& line)
{
    if (device < 0 || static_cast<std::size_t>(device) >= Lines.size())
        return {MMERR_NOMODEM, "Get"};
    FCallback = std::move(callback);
    FOpen = true;
    FDevice = device;
    line = 1;
    return {};
}

TTapiResult TSimModem::Close(std::int64_t)
{
    FOpen = false;
    FCallback = nullptr;
    return {};
}

TTapiResult TSimModem::CallInfo(std::int64_t call, TCallInfo& info)
{
    if (FailCallInfo != 0) {
        const std::int64_t code = FailCallInfo;
        FailCallInfo = 0;
        return {code, "GetCallInfo"};
    }
    const auto it = FCalls.find(call);
    if (it == FCalls.end())
        return {LINEERR_INVALCALLHANDLE, "GetCallInfo"};
    info = it->second;
    return {};
}

TTapiResult TSimModem::Deallocate(std::int64_t call)
{
    FCalls.erase(call);
    return {};
}

void TSimModem::State(std::int64_t state)
{
    if (FOpen && FCallback)
        FCallback(FDevice, LINE_CALLSTATE, FCall, state, 0, 0);
}

void TSimModem::Dial(const std::string& number)
{
    FCall = FNextCall++;
    TCallInfo& info = FCalls[FCall];
    info.AppName = "ModemManager";
    info.Number = number;
    info.LineDeviceID = FDevice;
    State(LINECALLSTATE_DIALING);
}

void TSimModem::Proceed()
{
    State(LINECALLSTATE_PROCEEDING);
}

void TSimModem::Connect(std::int32_t rate)
{
    if (FCall == 0 || !FCalls.count(FCall)) {
        // A call seen only as connected.
        FCall = FNextCall++;
        FCalls[FCall] = {"ModemManager", "", 0, "", "", FDevice};
    }
    FCalls[FCall].Rate = rate;
    State(LINECALLSTATE_CONNECTED);
}

void TSimModem::HangUp()
{
    State(LINECALLSTATE_DISCONNECTED);
    State(LINECALLSTATE_IDLE);
    FCall = 0;
}

void TSimModem::Vanish()
{
    // As the ModemManager lines do: a call in progress ends, the line stays open out of service.
    if (FCall != 0)
        HangUp();
    FGone = Lines;
    Lines.clear();
    if (FOpen && FCallback)
        FCallback(FDevice, LINE_LINEDEVSTATE, 0, LINEDEVSTATE_OUTOFSERVICE, 0, 0);
}

void TSimModem::Return()
{
    if (!FGone.empty())
        Lines = FGone;
    FGone.clear();
    if (FOpen && FCallback)
        FCallback(FDevice, LINE_LINEDEVSTATE, 0, LINEDEVSTATE_INSERVICE, 0, 0);
}

} // namespace qv
