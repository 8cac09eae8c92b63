#pragma once
// The long-lived data objects of the program and the handlers that tie the connection state machine
// to the live status. Files are loaded in the fixed order (the log first, so the live status can
// store a connection a crash left unsaved).

#include "app/Budget.h"
#include "app/MatrixStatus.h"
#include "app/Sounds.h"
#include "app/WaveSounds.h"
#include "app/Startup.h"
#include "detection/NoDialUp.h"
#include "detection/Performance.h"
#include "detection/RasControl.h"
#include "detection/TapiControl.h"
#include "messenger/Messenger.h"
#include "skins/Skins.h"
#include "sms/Gateways.h"
#include "sms/SmsData.h"
#include "tariffs/Agenda.h"
#include "tariffs/Connections.h"
#include "tariffs/DataPlans.h"
#include "tariffs/Settings.h"
#include "tariffs/Status.h"
#include "tariffs/Taxations.h"

namespace qv {

class TDataModule
{
public:
    // sounds: what plays the named sounds (none: the sounds of "Waves.dat"); dialUp: the dial-up
    // service (none: no connection is ever seen); output: where those sounds are heard (none:
    // nowhere).
    // modem: the modem line service (none: no modem is ever seen).
    // popup: how popup messages are delivered (none: the messenger is off); http: the web SMS
    // gateways' HTTP (none: every request fails).
    explicit TDataModule(TServices& services, ISounds* sounds = nullptr, IRasApi* dialUp = nullptr,
                         ISoundOutput* output = nullptr, ITapiService* modem = nullptr,
                         std::shared_ptr<IPopupTransport> popup = nullptr, IHttpTransport* http = nullptr);
    ~TDataModule();
    // Loads every data file (creating the missing ones) and applies the remembered tariff.
    void LoadAll();
    void SaveAllModified();
    // The tariff named by the live status's DefaultTax, else the first one.
    void SelectDefaultTax();

    ISounds& Sounds() { return *FSounds; }

    // The program's manual start and stop (the state machine's side of them).
    void ManualStart();
    void ManualStop();

    TSettings Settings;
    TDataUnits Connections;
    TStatus Status;
    TTaxations Taxations;
    TAgenda Agenda;
    // SMS: the messages, the phone book, the web gateways.
    TSmsData SmsData;
    TPhoneBookData PhoneBook;
    TSilentOutput SilentOutput;
    TWaveSounds Waves;
    // Budgets, idle rules and why connections ended ("Budget.dat").
    TBudgets Budgets;
    // Popup messages to the local network ("Popup.dat").
    TMessenger Messenger;
    TGateWayData GateWays;
    // The looks of the main window ("Skin.dat").
    TDataSkins Skins;
    // Data plans and the volume of their links ("PianiDati.dat").
    TDataPlans Plans;
    TMtxMatrixStatus MtxStatus;
    TRasControl RasMonitor;
    TTapiControl TapiMonitor;
    // Starts watching the modem named by DeviceName (false: not watched, DeviceName is "(Nessuno)").
    // fromSettings: the settings asked for it, so the start is told.
    bool StartTapiMonitor(bool fromSettings);
    void StopTapiMonitor();
    // A message for the general balloon (the main window shows it).
    std::function<void(const std::string&)> OnGeneralMessage;
    TPerformance Performance;
    TSysResource9x Resources;
    // Switches the dial-up poll and the byte counters on (the main window's first activation).
    void StartMonitoring();

    // A busy line: the redial of the dial window.
    std::function<void()> OnRedial;
    // A dial error, for the dial window's log.
    std::function<void(int error, int lastState)> OnShowDialError;

    // Set while a modal question is open, so timers do not pile up more questions.
    bool QuestionPending = false;
    // Shows the new state in the dial window when one is open.
    std::function<void(TMtxStateMatrixStatus)> OnStateShown;

private:
    void WireDialUp();
    void WireTapi();
    void TapiCallEnded(bool disconnected);
    void ChangeState(TMtxStateMatrixStatus previous, TMtxEventMatrixStatus event);
    void AskHold();
    TServices& FServices;
    ISounds* FSounds;
    TNoDialUp FNoDialUp;
    // No HTTP: every connection fails.
    class TNoHttp : public IHttpTransport
    {
    public:
        std::shared_ptr<IHttpConnection> Connect(const std::string& host, int, const std::string&, const std::string&,
                                                 int& code, std::string& text) override
        {
            code = 7;
            text = "Nessun accesso alla rete per " + host;
            return nullptr;
        }
    } FNoHttp;
    // No modem service: no lines.
    class TNoModem : public ITapiService
    {
    public:
        TTapiResult Initialize(const std::string&, int& count) override
        {
            count = 0;
            return {};
        }
        TTapiResult Shutdown() override { return {}; }
        TTapiResult DevCaps(int, TLineCaps&) override { return {MMERR_NOMODEM, "Get"}; }
        TTapiResult Open(int, TCallback, std::int64_t&) override { return {MMERR_NOMODEM, "Get"}; }
        TTapiResult Close(std::int64_t) override { return {}; }
        TTapiResult CallInfo(std::int64_t, TCallInfo&) override { return {LINEERR_INVALCALLHANDLE, "Get"}; }
        TTapiResult Deallocate(std::int64_t) override { return {}; }
        std::string ErrorText(std::int64_t code) override { return ModemErrorText(code); }
    } FNoModem;
    std::unique_ptr<Timer> FTimerAskHold;
    TDataFiles FFiles;
};

} // namespace qv
