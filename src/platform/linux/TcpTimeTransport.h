#pragma once
// The time check's network side on Linux: one worker thread owns a non-blocking TCP socket (IPv4 or
// IPv6, names resolved on the worker) and takes its commands from a queue; what happens is posted
// to the main thread.

#include "core/Time.h"
#include "timesync/InternetTime.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace qv {

class TTcpTimeTransport : public ITimeTransport
{
public:
    explicit TTcpTimeTransport(TimerService& timers);
    ~TTcpTimeTransport() override;
    void SetEvents(TEvents events) override;
    void Open(int check, const std::string& host, int port) override;
    void Close() override;
    // An answer of four bytes that is not followed by more, nor by the end, within this time is
    // taken as whole (a server that keeps the connection open).
    static constexpr int QuietMs = 250;

private:
    struct TCommand
    {
        enum TKind
        {
            Open,
            Close,
            Quit
        } Kind;
        int Check = 0;
        std::string Host;
        int Port = 0;
    };
    void Push(TCommand c);
    void Run();
    void Post(std::function<void(const TEvents&)> call);
    TimerService& FTimers;
    // Shared with posted calls: they check it is still there before reporting.
    const std::shared_ptr<TEvents> FEvents = std::make_shared<TEvents>();
    std::mutex FMutex;
    std::deque<TCommand> FCommands;
    int FWake[2] = {-1, -1};
    std::thread FThread;
};

} // namespace qv
