#include "app/MatrixStatus.h"

#include "core/Errors.h"

namespace qv {

namespace {

using S = TMtxStateMatrixStatus;
using E = TMtxEventMatrixStatus;
using N = TMtxMatrixStatus::TNotification;
using TMatrix = std::array<std::array<TMtxMatrixStatus::TCell, EventCount>, StateCount>;

TMatrix BuildMatrix()
{
    TMatrix m{};
    // Every cell not listed keeps its state and raises nothing.
    for (int s = 0; s < StateCount; ++s)
        for (int e = 0; e < EventCount; ++e)
            m[static_cast<std::size_t>(s)][static_cast<std::size_t>(e)] = {N::None, static_cast<S>(s)};
    const auto set = [&m](S s, E e, N n, S next) {
        m[static_cast<std::size_t>(s)][static_cast<std::size_t>(e)] = {n, next};
    };
    set(S::Idle, E::RasDialing, N::StartPreCounting, S::RasDialing);
    set(S::Idle, E::RasConnecting, N::StartCounting, S::RasStart);
    set(S::Idle, E::RasConnected, N::StartCounting, S::RasConnected);
    set(S::Idle, E::ManualStart, N::StartCounting, S::ManualStart);
    set(S::Idle, E::AskHold, N::None, S::Ask);
    set(S::Idle, E::TapiDialing, N::StartPreCounting, S::TapiDialing);
    set(S::Idle, E::TapiConnected, N::StartCounting, S::TapiStart);

    set(S::RasDialing, E::RasIdle, N::None, S::Idle);
    set(S::RasDialing, E::RasConnecting, N::StartCounting, S::RasStart);
    set(S::RasDialing, E::RasConnected, N::StartCounting, S::RasConnected);
    set(S::RasDialing, E::RasError, N::ShowRasError, S::Idle);
    set(S::RasDialing, E::ManualStop, N::CancelRasConnection, S::Idle);
    set(S::RasDialing, E::AskHold, N::None, S::Ask);
    set(S::RasDialing, E::Answered, N::Responding, S::Idle);
    set(S::RasDialing, E::NoAnswered, N::ShowRasError, S::Idle);

    set(S::TapiDialing, E::RasConnecting, N::StartCounting, S::RasStart);
    set(S::TapiDialing, E::RasConnected, N::StartCounting, S::RasConnected);
    set(S::TapiDialing, E::ManualStart, N::StartCounting, S::ManualStart);
    set(S::TapiDialing, E::AskHold, N::None, S::Ask);
    set(S::TapiDialing, E::TapiConnected, N::StartCounting, S::TapiStart);
    set(S::TapiDialing, E::TapiIdle, N::None, S::Idle);

    set(S::ManualStart, E::RasConnecting, N::None, S::RasStart);
    set(S::ManualStart, E::RasConnected, N::None, S::RasConnected);
    set(S::ManualStart, E::TapiConnected, N::None, S::TapiStart);
    set(S::ManualStart, E::ManualStop, N::StopCounting, S::Idle);

    set(S::TapiStart, E::RasConnecting, N::None, S::RasStart);
    set(S::TapiStart, E::RasConnected, N::None, S::RasConnected);
    set(S::TapiStart, E::ManualStop, N::StopCounting, S::Idle);
    set(S::TapiStart, E::TapiIdle, N::StopCounting, S::Idle);

    set(S::RasStart, E::RasIdle, N::StopCounting, S::Idle);
    set(S::RasStart, E::RasConnected, N::None, S::RasConnected);
    set(S::RasStart, E::RasError, N::ShowRasError, S::RasStart);
    set(S::RasStart, E::ManualStop, N::CancelRasConnection, S::RasStart);

    set(S::Ask, E::Answered, N::Responding, S::Idle);
    set(S::Ask, E::NoAnswered, N::None, S::Idle);

    set(S::RasConnected, E::RasIdle, N::StopCounting, S::Idle);
    set(S::RasConnected, E::ManualStop, N::CancelRasConnection, S::RasConnected);
    return m;
}

const TMatrix& Matrix()
{
    static const TMatrix matrix = BuildMatrix();
    return matrix;
}

constexpr const char* StateNames[StateCount] = {"Idle",     "RasDialing", "TapiDialing", "ManualStart",
                                                "TapiStart", "RasStart",  "Ask",         "RasConnected"};
constexpr const char* StateDescriptions[StateCount] = {"Nessuna connessione attiva",
                                                       "Selezione del numero (pppd)",
                                                       "Selezione del modem in corso",
                                                       "Avvio manuale",
                                                       "Connessione del modem attiva",
                                                       "Tentativo di connessione (pppd)",
                                                       "Non so se il provider ha risposto",
                                                       "Connessione pppd attiva"};
constexpr const char* EventNames[EventCount] = {"RasIdle",    "RasDialing", "RasConnecting", "RasConnected", "RasError",
                                                "ManualStop", "ManualStart", "AskHold",      "Answered",     "NoAnswered",
                                                "TapiDialing", "TapiConnected", "TapiIdle"};

} // namespace

TMtxMatrixStatus::TMtxMatrixStatus() = default;

const char* TMtxMatrixStatus::StateName(TMtxStateMatrixStatus state)
{
    return StateNames[static_cast<std::size_t>(state)];
}

const char* TMtxMatrixStatus::StateDescription(TMtxStateMatrixStatus state)
{
    return StateDescriptions[static_cast<std::size_t>(state)];
}

const char* TMtxMatrixStatus::EventName(TMtxEventMatrixStatus event)
{
    return EventNames[static_cast<std::size_t>(event)];
}

const TMtxMatrixStatus::TCell& TMtxMatrixStatus::Cell(TMtxStateMatrixStatus state, TMtxEventMatrixStatus event)
{
    return Matrix()[static_cast<std::size_t>(state)][static_cast<std::size_t>(event)];
}

bool TMtxMatrixStatus::IsCounting() const
{
    return StartTick() && (FState == S::ManualStart || FState == S::TapiStart || FState == S::RasStart ||
                           FState == S::RasConnected);
}

bool TMtxMatrixStatus::IsDialing() const
{
    return StartTick() && (FState == S::TapiDialing || FState == S::RasDialing);
}

bool TMtxMatrixStatus::IsRasDialing() const
{
    return StartTick() && FState == S::RasDialing;
}

const TMtxMatrixStatus::TNotify* TMtxMatrixStatus::Listener(TNotification n) const
{
    switch (n) {
    case N::StartCounting:
        return &OnStartCounting;
    case N::StartPreCounting:
        return &OnStartPreCounting;
    case N::ShowRasError:
        return &OnShowRasError;
    case N::CancelRasConnection:
        return &OnCancelRasConnection;
    case N::StopCounting:
        return &OnStopCounting;
    case N::Responding:
        return &OnResponding;
    case N::None:
        break;
    }
    return nullptr;
}

void TMtxMatrixStatus::SetEvent(void* sender, TMtxEventMatrixStatus event)
{
    const char* step = "ESetEventException [1] ";
    const S previous = FState;
    bool doubleCall = false;
    try {
        step = "ESetEventException [2] ";
        if (EnableDebug && !FRunningEvent.empty()) {
            doubleCall = true;
            if (ShowMessage)
                ShowMessage(std::string("Attenzione: richiamata la SetEvent [") + StateName(previous) + "," +
                            EventName(event) + "] in una funzione!\rEvento " + FRunningEvent + " in esecuzione");
        }
        FRunningEvent = EventName(event);
        step = "ESetEventException [3] ";
        const TCell cell = Cell(FState, event);
        step = "ESetEventException [4] ";
        if (const TNotify* notify = Listener(cell.Notify); notify && *notify)
            (*notify)(sender);
        step = "ESetEventException [5] ";
        // A nested call may have moved the state meanwhile: compare with the state as it is now.
        if (cell.Next != FState) {
            FState = cell.Next;
            step = "ESetEventException [6] ";
            if (OnChangeState)
                OnChangeState(previous, event);
            step = "ESetEventException [7] ";
        }
    } catch (const std::exception& e) {
        FRunningEvent.clear();
        throw EQvError(std::string(step) + (doubleCall ? "DoubleCall" : "") + " Eccezione nella SetEvent [" +
                       StateName(previous) + "," + EventName(event) + "] di TMtxMatrixStatus" + e.what());
    }
    FRunningEvent.clear();
}

} // namespace qv
