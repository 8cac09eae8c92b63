#pragma once
// Watches the dial-up connections: polls their state every second and reports changes, dials an
// entry itself with progress notifications, hangs up, and answers questions about entries.

#include "core/Services.h"
#include "detection/RasApi.h"

#include <functional>
#include <memory>

namespace qv {

// The number an entry dials: its local number, or, when the entry uses country and area codes,
// area code + local number in Italy (39) and "00" + country code + area code + local number abroad.
std::string PhoneNumberOfEntry(const TRasEntryProperties& properties);

class TRasControl
{
public:
    TRasControl(TServices& services, IRasApi& api);

    // The poll timer's enabled state.
    bool CheckBusy() const { return FTimer->Enabled(); }
    void SetCheckBusy(bool on) { FTimer->SetEnabled(on); }
    Timer& PollTimer() { return *FTimer; }

    // 0 off line, 1 dialling, 2 connecting, 3 on line, 4 undetermined.
    int RasLineState();
    bool IsRasOnline() { return RasLineState() == 3; }
    bool IsRasConnecting() { return RasLineState() == 2; }
    bool IsRasBusy();
    void RasEntries(std::vector<std::string>& list);
    bool IsRasEntry(const std::string& name);
    std::string ActiveEntryName();
    std::string EntryPhoneNumber(const std::string& entry);
    std::string ConnectionAddress(const std::string& entry);
    TRasCredentials GetEntryCredentials(const std::string& entry);
    int SetEntryCredentials(const std::string& entry, const std::string& user, const std::string& password,
                             bool clearPassword);
    std::string RasErrorText(int code);
    // The service itself, for a worker that reads the phone book (Entries and EntryProperties are
    // safe to call from another thread).
    IRasApi& Api() { return FApi; }

    void Dial(const std::string& entry, const std::string& user, const std::string& password);
    void HangUpAll();
    int ConnectionCount() const { return FConnectionCount; }
    bool HasConnections();
    void CheckConnection();

    std::string LastRasAPI;
    std::string RasControlProcedure;
    int LastDialStep() const { return FLastStep; }
    int LastError() const { return FLastError; }
    const std::string& DialEntry() const { return FEntry; }

    std::function<void(int error, int lastState)> OnRasError;
    std::function<void()> OnRasOffLine;
    std::function<void()> OnRasOnLine;
    std::function<void()> OnRasConnecting;
    std::function<void()> OnRasDialing;
    std::function<void()> OnRasDeviceConnected;
    std::function<void()> OnRasConnectDevice;
    std::function<void()> OnRasLineBusy;
    std::function<void()> OnWrongPassword;
    std::function<void()> OnRasDisconnecting;
    std::function<void(const std::string&)> OnRasEvent;
    std::function<void(const std::string& entry, const std::string& user, const std::string& password,
                       const std::string& phoneNumber)>
        OnRasStartConnecting;
    std::function<void()> OnRasChangeConnectionsNumber;

    static const char* DialStepText(int step);

private:
    void Raise(const char* procedure, const std::function<void()>& notify);
    void DialProgress(int state, int error);
    void DialError(int code);
    void HangUp(std::int64_t handle);
    TServices& FServices;
    IRasApi& FApi;
    std::unique_ptr<Timer> FTimer;
    bool FPolling = false;
    int FLastClass = 0;
    int FConnectionCount = 0;
    int FToldCount = 0;
    std::string FEntry, FUser, FPassword, FPhoneNumber;
    std::int64_t FHandle = 0;
    int FLastStep = 0;
    int FLastError = 0;
};

} // namespace qv
