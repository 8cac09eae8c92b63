// The D-Bus module: ModemManager's lines, timedated's clock, NetworkManager's connectivity and links.
#include "core/Version.h"
#include "platform/linux/ModemManagerLines.h"
#include "platform/linux/Modules.h"
#include "platform/linux/NetState.h"
#include "platform/linux/NmLinks.h"
#include "platform/linux/TimedatedClock.h"

QV_MODULE_VERSION

QV_MODULE_EXPORT qv::ITapiService* qv_modem_lines(qv::TimerService* timers)
{
    return qv::MakeModemLines(*timers).release();
}

QV_MODULE_EXPORT qv::IClockSetter* qv_clock_setter()
{
    return qv::MakeClockSetter().release();
}

QV_MODULE_EXPORT int qv_internet_connected()
{
    return qv::InternetConnected() ? 1 : 0;
}

QV_MODULE_EXPORT qv::ILinkWatcher* qv_link_watcher(qv::TimerService* timers)
{
    return qv::MakeNetworkManagerLinks(*timers).release();
}
