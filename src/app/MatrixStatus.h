#pragma once
// The connection state machine: every signal about a connection becomes one of thirteen events,
// and a fixed transition matrix decides which notification to raise and which state follows.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace qv {

enum class TMtxStateMatrixStatus : std::uint8_t
{
    Idle,
    RasDialing,
    TapiDialing,
    ManualStart,
    TapiStart,
    RasStart,
    Ask,
    RasConnected
};
inline constexpr int StateCount = 8;

enum class TMtxEventMatrixStatus : std::uint8_t
{
    RasIdle,
    RasDialing,
    RasConnecting,
    RasConnected,
    RasError,
    ManualStop,
    ManualStart,
    AskHold,
    Answered,
    NoAnswered,
    TapiDialing,
    TapiConnected,
    TapiIdle
};
inline constexpr int EventCount = 13;

class TMtxMatrixStatus
{
public:
    using TNotify = std::function<void(void* sender)>;
    using TChangeState = std::function<void(TMtxStateMatrixStatus AState, TMtxEventMatrixStatus AnEvent)>;

    enum class TNotification : std::uint8_t
    {
        None,
        StartCounting,
        StartPreCounting,
        ShowRasError,
        CancelRasConnection,
        StopCounting,
        Responding
    };
    struct TCell
    {
        TNotification Notify;
        TMtxStateMatrixStatus Next;
    };

    TMtxMatrixStatus();

    // Feeds one event; sender is passed to the notification the cell raises.
    void SetEvent(void* sender, TMtxEventMatrixStatus event);
    TMtxStateMatrixStatus State() const { return FState; }

    static const char* StateName(TMtxStateMatrixStatus state);
    static const char* StateDescription(TMtxStateMatrixStatus state);
    static const char* EventName(TMtxEventMatrixStatus event);
    static const TCell& Cell(TMtxStateMatrixStatus state, TMtxEventMatrixStatus event);

    // Whether the live status has recorded a start tick; all three predicates need one.
    std::function<bool()> HasStartTick;
    bool IsCounting() const;
    bool IsDialing() const;
    bool IsRasDialing() const;

    bool EnableDebug = false;
    // Shows the double-call report when EnableDebug is on.
    std::function<void(const std::string&)> ShowMessage;

    TNotify OnStartCounting;
    TNotify OnStartPreCounting;
    TNotify OnShowRasError;
    TNotify OnCancelRasConnection;
    TNotify OnStopCounting;
    TNotify OnResponding;
    TChangeState OnChangeState;

private:
    // The listener a cell's notification names (none for a cell without one).
    const TNotify* Listener(TNotification n) const;
    bool StartTick() const { return HasStartTick && HasStartTick(); }
    TMtxStateMatrixStatus FState = TMtxStateMatrixStatus::Idle;
    std::string FRunningEvent;
};

} // namespace qv
