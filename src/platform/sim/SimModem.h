#pragma once
// A simulated modem line for tests and --simulate ("Modem simulato 56K"): another program's calls
// on it are driven by the test (or the demo), and the line reports them as a real one would.

#include "detection/TapiControl.h"

#include <map>

namespace qv {

class TSimModem : public ITapiService
{
public:
    // The lines the service has; none: "Nessun modem disponibile".
    std::vector<TLineCaps> Lines{{"Modem simulato 56K", LINEMEDIAMODE_DATAMODEM}};
    // False: the service is not there (Initialize fails).
    bool Running = true;

    // Another program's call on the open line.
    void Dial(const std::string& number);
    void Proceed();
    void Connect(std::int32_t rate);
    void HangUp();
    // The modem goes away (its call ends, the line stays open out of service), and comes back.
    void Vanish();
    void Return();
    // The next call-information read fails with this code.
    std::int64_t FailCallInfo = 0;
    bool IsOpen() const { return FOpen; }

    TTapiResult Initialize(const std::string& appName, int& deviceCount) override;
    TTapiResult Shutdown() override;
    TTapiResult DevCaps(int device, TLineCaps& caps) override;
    TTapiResult Open(int device, TCallback callback, std::int64_t& line) override;
    TTapiResult Close(std::int64_t line) override;
    TTapiResult CallInfo(std::int64_t call, TCallInfo& info) override;
    TTapiResult Deallocate(std::int64_t call) override;
    std::string ErrorText(std::int64_t code) override { return ModemErrorText(code); }

private:
    void State(std::int64_t state);
    TCallback FCallback;
    bool FOpen = false;
    int FDevice = 0;
    std::int64_t FCall = 0;
    std::int64_t FNextCall = 100;
    std::map<std::int64_t, TCallInfo> FCalls;
    std::vector<TLineCaps> FGone;
};

} // namespace qv
