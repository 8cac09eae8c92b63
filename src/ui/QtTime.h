#pragma once
// Timers and posting on the Qt event loop: QTimer for each program timer, queued calls on the GUI
// thread for work handed over by worker threads.

#include "core/Time.h"

#include <QObject>

namespace qv {

class TQtTimerService : public QObject, public TimerService
{
    Q_OBJECT
public:
    explicit TQtTimerService(QObject* parent = nullptr);
    std::unique_ptr<Timer> CreateTimer(const std::string& name, std::uint32_t intervalMs = 1000) override;
    void Post(std::function<void()> fn) override;
    void WaitMilliseconds(std::uint32_t ms) override;
};

} // namespace qv
