#include "app/DataModule.h"

#include "core/Errors.h"

#include "core/Strings.h"

namespace qv {

TDataModule::TDataModule(TServices& services, ISounds* sounds, IRasApi* dialUp, ISoundOutput* output,
                         ITapiService* modem, std::shared_ptr<IPopupTransport> popup, IHttpTransport* http)
    : Settings(services), Connections(services), Status(services, Settings, Connections), Taxations(services),
      Agenda(services), SmsData(services), PhoneBook(services, SmsData), Waves(services, output ? *output : SilentOutput),
      Budgets(services), Messenger(services, std::move(popup)), GateWays(services, http ? *http : FNoHttp, Settings, SmsData), Skins(services),
      Plans(services), RasMonitor(services, dialUp ? *dialUp : FNoDialUp),
      TapiMonitor(services, modem ? *modem : FNoModem),
      Performance(services, dialUp ? *dialUp : FNoDialUp), FServices(services)
{
    Taxations.SetAgenda(&Agenda);
    Status.SetMatrix(&MtxStatus);
    Status.SetTaxations(&Taxations);
    // Every counted connection logs in to the SMS gateways anew.
    Status.OnResetLogins = [this] { GateWays.ResetLogins(); };
    FSounds = sounds ? sounds : &Waves;
    Waves.Profile = [this] { return Status.Profile(); };
    Status.SetSounds(FSounds);

    MtxStatus.HasStartTick = [this] { return Status.StartTick() != 0; };
    MtxStatus.OnStartCounting = [this](void*) { Status.StartCounting(); };
    MtxStatus.OnStartPreCounting = [this](void*) { Status.StartPreCounting(true); };
    MtxStatus.OnStopCounting = [this](void*) { Status.StopCounting(); };
    MtxStatus.OnResponding = [this](void*) { Status.Responding(); };
    MtxStatus.OnChangeState = [this](TMtxStateMatrixStatus previous, TMtxEventMatrixStatus event) {
        ChangeState(previous, event);
    };
    FTimerAskHold = services.Timers.CreateTimer("TimerAskHold", 10);
    FTimerAskHold->SetEnabled(false);
    FTimerAskHold->OnTimer = [this] { AskHold(); };

    WireDialUp();
    WireTapi();

    FFiles.Add(Connections, "Connections.dat");
    FFiles.Add(Settings, "Settings.dat");
    FFiles.Add(Status, "Status.dat");
    FFiles.Add(Taxations, "Taxations.dat");
    FFiles.Add(GateWays, "GateWay.dat");
    FFiles.Add(SmsData, "SmsMsg.dat");
    FFiles.Add(PhoneBook, "PhoneBook.dat");
    FFiles.Add(Agenda, "Calendar.dat");
    FFiles.Add(Waves, "Waves.dat");
    FFiles.Add(Budgets, "Budget.dat");
    FFiles.Add(Messenger, "Popup.dat");
    FFiles.Add(Skins, "Skin.dat");
    FFiles.Add(Plans, "PianiDati.dat");
}

TDataModule::~TDataModule()
{
    Status.SetTax(nullptr);
    SaveAllModified();
}

void TDataModule::LoadAll()
{
    FFiles.LoadAll();
    SelectDefaultTax();
}

void TDataModule::SaveAllModified()
{
    FFiles.SaveAllModified();
}

void TDataModule::SelectDefaultTax()
{
    TTaxItem* tax = Taxations.FindTax(Status.DefaultTax());
    if (!tax && Taxations.Taxs().Count() > 0)
        tax = &Taxations.Taxs()[0];
    Status.SetTax(tax);
}

void TDataModule::StartMonitoring()
{
    RasMonitor.SetCheckBusy(true);
    Performance.SetEnabled(true);
}

void TDataModule::WireDialUp()
{
    using E = TMtxEventMatrixStatus;
    Status.DialUp.IsPhoneBookEntry = [this](const std::string& n) { return RasMonitor.IsRasEntry(n); };
    Status.DialUp.ActiveEntryName = [this] { return RasMonitor.ActiveEntryName(); };
    Status.DialUp.AddressOf = [this](const std::string& e) { return RasMonitor.ConnectionAddress(e); };
    Status.DialUp.PhoneNumberOf = [this](const std::string& e) { return RasMonitor.EntryPhoneNumber(e); };
    Status.DialUp.ActiveConnections = [this] { return RasMonitor.ConnectionCount(); };
    Status.ResourceText = [this] { return Resources.ResourceText(); };

    RasMonitor.OnRasOffLine = [this] { MtxStatus.SetEvent(&RasMonitor, E::RasIdle); };
    RasMonitor.OnRasDialing = [this] { MtxStatus.SetEvent(&RasMonitor, E::RasDialing); };
    RasMonitor.OnRasConnecting = [this] {
        Performance.SetActiveRAS(true);
        if (Trim(Status.EntryName()).empty())
            Status.SetEntryName(RasMonitor.ActiveEntryName());
        const std::string entry = Status.StoredEntryName();
        if (Trim(Status.DialingNumber()).empty() && RasMonitor.IsRasEntry(entry))
            Status.SetDialingNumber(RasMonitor.EntryPhoneNumber(entry));
        MtxStatus.SetEvent(&RasMonitor, E::RasConnecting);
    };
    RasMonitor.OnRasOnLine = [this] {
        MtxStatus.SetEvent(&RasMonitor, E::RasConnected);
        Status.UpdateConnectionInfo();
    };
    RasMonitor.OnRasLineBusy = [this] {
        MtxStatus.SetEvent(&RasMonitor, E::RasIdle);
        if (OnRedial)
            OnRedial();
    };
    RasMonitor.OnRasError = [this](int error, int lastState) {
        Status.LastRasError = error;
        Status.LastRasState = lastState;
        if (OnShowDialError)
            OnShowDialError(error, lastState);
        if (MtxStatus.State() == TMtxStateMatrixStatus::RasDialing)
            Status.DialFailed(error, lastState);
        else
            MtxStatus.SetEvent(&RasMonitor, E::RasError);
    };
    // A byte count of 0 is never written to the live status.
    Performance.OnChangeData = [this](std::uint32_t sent, std::uint32_t received) {
        if (sent > 0)
            Status.SetBytesTransmitted(sent);
        if (received > 0)
            Status.SetBytesReceived(received);
    };
    // The last bytes of the connection are read before counting stops.
    Status.OnStopByteCounters = [this] {
        Performance.RefreshAll();
        Performance.SetActiveRAS(false);
    };
}

void TDataModule::ChangeState(TMtxStateMatrixStatus, TMtxEventMatrixStatus)
{
    const TMtxStateMatrixStatus now = MtxStatus.State();
    if (OnStateShown)
        OnStateShown(now);
    if (now == TMtxStateMatrixStatus::Idle)
        Status.Reset();
    else if (now == TMtxStateMatrixStatus::Ask)
        FTimerAskHold->SetEnabled(true);
}

void TDataModule::AskHold()
{
    FTimerAskHold->SetEnabled(false);
    QuestionPending = true;
    const TModalResult answer =
        AskYesNo(FServices.Prompter, "La connessione non è riuscita!\r\rC'è stata risposta alla chiamata?");
    QuestionPending = false;
    MtxStatus.SetEvent(this, answer == TModalResult::mrYes ? TMtxEventMatrixStatus::Answered
                                                            : TMtxEventMatrixStatus::NoAnswered);
}

void TDataModule::ManualStart()
{
    if (Status.IsCounting())
        return;
    if (!Status.HasEntry())
        Status.SetEntryName(ManualStartMarker);
    MtxStatus.SetEvent(this, TMtxEventMatrixStatus::ManualStart);
}

void TDataModule::ManualStop()
{
    MtxStatus.SetEvent(this, TMtxEventMatrixStatus::ManualStop);
}

void TDataModule::WireTapi()
{
    using E = TMtxEventMatrixStatus;
    TapiMonitor.RaiseOnError = true;
    const auto device = [this] { return TapiMonitor.MonitoredName(); };
    TapiMonitor.OnDialing = [this, device](const TCallInfo& info) {
        if (Trim(Status.DialingNumber()).empty())
            Status.SetDialingNumber(info.Number);
        if (!Status.HasEntry() && !Trim(info.Number).empty())
            Status.SetEntryName(info.Number);
        if (OnGeneralMessage)
            OnGeneralMessage("Selezione del modem " + device() + " in corso...");
        MtxStatus.SetEvent(&TapiMonitor, E::TapiDialing);
    };
    TapiMonitor.OnConnected = [this](const TCallInfo& info) {
        if (Settings.FullTapiMonitor() || MtxStatus.State() == TMtxStateMatrixStatus::TapiDialing)
            MtxStatus.SetEvent(&TapiMonitor, E::TapiConnected);
        Status.SetAppName(info.AppName);
        if (Trim(Status.DialingNumber()).empty())
            Status.SetDialingNumber(info.Number);
        if (!Status.HasEntry() && !Trim(info.Number).empty())
            Status.SetEntryName(info.Number);
        if (info.Rate > 0)
            Status.SetCallRate(info.Rate);
    };
    TapiMonitor.OnDisconnected = [this](const TCallInfo&) { TapiCallEnded(true); };
    TapiMonitor.OnError = [this](const std::string&) { TapiCallEnded(false); };
    // The user's choice of modem stays: only the user changes it.
    TapiMonitor.OnLineClosed = [this](const std::string& name) {
        TapiCallEnded(false);
        if (OnGeneralMessage)
            OnGeneralMessage("Monitoraggio modem terminato\r[" + name + ": " + ModemErrorText(MMERR_NOMODEM) + "]");
    };
    TapiMonitor.OnLinePresence = [this](const std::string& name, bool present) {
        if (!present)
            TapiCallEnded(false);
        if (OnGeneralMessage)
            OnGeneralMessage(present ? "Il modem " + name + " è di nuovo presente: monitoraggio ripreso"
                                     : "Il modem " + name + " non è presente: il monitoraggio riprende quando torna");
    };
}

void TDataModule::TapiCallEnded(bool disconnected)
{
    using E = TMtxEventMatrixStatus;
    using S = TMtxStateMatrixStatus;
    // Detached while it runs, so a notification raised meanwhile is not handled twice.
    auto onDisconnected = std::move(TapiMonitor.OnDisconnected);
    auto onError = std::move(TapiMonitor.OnError);
    TapiMonitor.OnDisconnected = nullptr;
    TapiMonitor.OnError = nullptr;
    const S state = MtxStatus.State();
    const bool ended = state == S::TapiDialing || state == S::TapiStart;
    try {
        if (state == S::TapiDialing) {
            Status.TapiDroppedWhileDialing();
            MtxStatus.SetEvent(&TapiMonitor, Status.CostoLire() > 0 ? E::AskHold : E::TapiIdle);
        } else if (state == S::TapiStart) {
            MtxStatus.SetEvent(&TapiMonitor, E::TapiIdle);
        }
        if (disconnected && ended && OnGeneralMessage)
            OnGeneralMessage("Disconnessione del modem " + TapiMonitor.MonitoredName());
    } catch (...) {
        TapiMonitor.OnDisconnected = std::move(onDisconnected);
        TapiMonitor.OnError = std::move(onError);
        throw;
    }
    TapiMonitor.OnDisconnected = std::move(onDisconnected);
    TapiMonitor.OnError = std::move(onError);
}

bool TDataModule::StartTapiMonitor(bool fromSettings)
{
    if (Trim(Settings.DeviceName()).empty())
        Settings.SetDeviceName("(Nessuno)");
    const std::string wanted = Settings.DeviceName();
    try {
        if (TapiMonitor.Devices().empty())
            return false;
        const int index = TapiMonitor.FindDevice(wanted);
        if (index < 0) {
            if (wanted != "(Nessuno)")
                throw EQvError("Il modem non è presente");
            return false;
        }
        // The setting keeps the line's name as the service writes it.
        Settings.SetDeviceName(TapiMonitor.Devices()[static_cast<std::size_t>(index)].Name);
        TapiMonitor.StartMonitorDevice(index);
        if (fromSettings && OnGeneralMessage)
            OnGeneralMessage("Monitoraggio modem " + Settings.DeviceName() + " avviato");
        return true;
    } catch (const std::exception& e) {
        if (wanted == "(Nessuno)")
            return false;
        // ModemManager not (yet) running keeps the user's choice: it may start after the program.
        const bool noService = TapiMonitor.LastErrorCode() == MMERR_NOSERVICE && !TapiMonitor.Monitoring();
        if (OnGeneralMessage && (fromSettings || !noService))
            OnGeneralMessage("Impossibile monitorare il modem " + wanted + "\r[" + e.what() + "]");
        return false;
    }
}

void TDataModule::StopTapiMonitor()
{
    try {
        TapiMonitor.StopMonitor();
    } catch (const std::exception&) {
    }
    if (OnGeneralMessage)
        OnGeneralMessage("Monitoraggio modem terminato");
}

} // namespace qv
