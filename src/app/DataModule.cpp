#include "app/DataModule.h"

#include "core/Strings.h"

namespace qv {

TDataModule::TDataModule(TServices& services, ISounds* sounds, IRasApi* dialUp, ISoundOutput* output)
    : Settings(services), Connections(services), Status(services, Settings, Connections), Taxations(services),
      Agenda(services), Waves(services, output ? *output : SilentOutput), Budgets(services), RasMonitor(services, dialUp ? *dialUp : FNoDialUp),
      Performance(services, dialUp ? *dialUp : FNoDialUp), FServices(services)
{
    Taxations.SetAgenda(&Agenda);
    Status.SetMatrix(&MtxStatus);
    Status.SetTaxations(&Taxations);
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

    FFiles.Add(Connections, "Connections.dat");
    FFiles.Add(Settings, "Settings.dat");
    FFiles.Add(Status, "Status.dat");
    FFiles.Add(Taxations, "Taxations.dat");
    FFiles.Add(Agenda, "Calendar.dat");
    FFiles.Add(Waves, "Waves.dat");
    FFiles.Add(Budgets, "Budget.dat");
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

} // namespace qv
