#include "app/DataModule.h"

namespace qv {

TDataModule::TDataModule(TServices& services, ISounds* sounds)
    : Settings(services), Connections(services), Status(services, Settings, Connections), Taxations(services),
      Agenda(services), FServices(services)
{
    Taxations.SetAgenda(&Agenda);
    Status.SetMatrix(&MtxStatus);
    Status.SetTaxations(&Taxations);
    Status.SetSounds(sounds ? sounds : &FNoSounds);

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

    FFiles.Add(Connections, "Connections.dat");
    FFiles.Add(Settings, "Settings.dat");
    FFiles.Add(Status, "Status.dat");
    FFiles.Add(Taxations, "Taxations.dat");
    FFiles.Add(Agenda, "Calendar.dat");
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
