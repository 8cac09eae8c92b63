#include "ui/QtTime.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QTimer>

namespace qv {

namespace {

class TQtTimer : public Timer
{
public:
    TQtTimer(std::string name, std::uint32_t interval) : FName(std::move(name))
    {
        FTimer.setInterval(static_cast<int>(interval));
        FTimer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            if (OnTimer)
                OnTimer();
        });
    }
    void SetInterval(std::uint32_t ms) override
    {
        if (static_cast<int>(ms) == FTimer.interval())
            return;
        FTimer.setInterval(static_cast<int>(ms));
        if (FTimer.isActive())
            FTimer.start(); // restarts the countdown, as changing a window timer does
    }
    std::uint32_t Interval() const override { return static_cast<std::uint32_t>(FTimer.interval()); }
    void SetEnabled(bool enabled) override
    {
        if (enabled == FTimer.isActive())
            return;
        if (enabled && FTimer.interval() > 0)
            FTimer.start();
        else
            FTimer.stop();
    }
    bool Enabled() const override { return FTimer.isActive(); }
    const std::string& Name() const override { return FName; }

private:
    std::string FName;
    QTimer FTimer;
};

} // namespace

TQtTimerService::TQtTimerService(QObject* parent) : QObject(parent) {}

std::unique_ptr<Timer> TQtTimerService::CreateTimer(const std::string& name, std::uint32_t intervalMs)
{
    return std::make_unique<TQtTimer>(name, intervalMs);
}

void TQtTimerService::Post(std::function<void()> fn)
{
    QMetaObject::invokeMethod(this, [f = std::move(fn)] { f(); }, Qt::QueuedConnection);
}

void TQtTimerService::WaitMilliseconds(std::uint32_t ms)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < static_cast<qint64>(ms))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace qv
