#pragma once
// The adapters built on large libraries — libcurl (web SMS), SDL2 (sounds), sdbus-c++ (ModemManager,
// NetworkManager, timedated) and libsecret (the desktop's keyring) — live in modules of their own,
// loaded when first used: a command that reads a data file, or a program that never plays a sound
// or sends an SMS, does not pay for loading those libraries and the dozens they bring.
//
// Each function here returns at once a stand-in that loads its module on first use. A module is
// looked for in $QUORVANTA_MODULE_DIR, then beside the executable (the build tree), then in the
// installed folder; a module of another build is refused. When a module cannot be loaded, the
// stand-in fails the way its adapter fails when its service is missing, with the reason in Italian.

#include "app/WaveSounds.h"
#include "core/Time.h"
#include "detection/NetLinks.h"
#include "detection/TapiControl.h"
#include "platform/linux/PppdDialUp.h"
#include "sms/HtmlControl.h"
#include "timesync/InternetTime.h"

#include <memory>
#include <string>

namespace qv::modules {

std::unique_ptr<IHttpTransport> HttpTransport();
std::unique_ptr<ISoundOutput> SoundOutput(TimerService& timers);
// ModemManager on the system bus, or on the bus named by QUORVANTA_MODEMMANAGER_BUS.
std::unique_ptr<ITapiService> ModemLines(TimerService& timers);
// NetworkManager's active connections on the system bus, or on the bus named by QUORVANTA_NM_BUS.
std::unique_ptr<ILinkWatcher> NetworkManagerLinks(TimerService& timers);
// timedated on the system bus, or on the bus named by QUORVANTA_TIMEDATED_BUS.
std::unique_ptr<IClockSetter> ClockSetter();
TPppdDialUp::TKeyring Keyring();
// NetworkManager's answer, else a default route (this one needs no module when the route tells).
bool InternetConnected();

// A symbol of a module, loading the module first; throws EQvError with the reason when it cannot be
// loaded. name: "http", "sound", "dbus" or "keyring".
void* Symbol(const std::string& name, const char* symbol);
// Whether the process has loaded the module (for tests: a command that does not need it does not).
bool Loaded(const std::string& name);

} // namespace qv::modules

// What a module exports (C names, so that dlsym finds them); each module also exports
// qv_module_version, the build it belongs to (QV_MODULE_VERSION, with core/Version.h included).
#define QV_MODULE_EXPORT extern "C" __attribute__((visibility("default")))
#define QV_MODULE_VERSION                                                                                        \
    QV_MODULE_EXPORT const char* qv_module_version()                                                             \
    {                                                                                                            \
        return qv::ProjectVersion;                                                                               \
    }
