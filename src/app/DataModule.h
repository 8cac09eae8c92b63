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
#include "tariffs/Agenda.h"
#include "tariffs/Connections.h"
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
    explicit TDataModule(TServices& services, ISounds* sounds = nullptr, IRasApi* dialUp = nullptr,
                         ISoundOutput* output = nullptr);
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
    TSilentOutput SilentOutput;
    TWaveSounds Waves;
    // Budgets, idle rules and why connections ended ("Budget.dat").
    TBudgets Budgets;
    TMtxMatrixStatus MtxStatus;
    TRasControl RasMonitor;
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
    void ChangeState(TMtxStateMatrixStatus previous, TMtxEventMatrixStatus event);
    void AskHold();
    TServices& FServices;
    ISounds* FSounds;
    TNoDialUp FNoDialUp;
    std::unique_ptr<Timer> FTimerAskHold;
    TDataFiles FFiles;
};

} // namespace qv
