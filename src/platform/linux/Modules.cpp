#include "platform/linux/Modules.h"

#include "core/Errors.h"
#include "core/Version.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

namespace qv::modules {

namespace {

std::mutex& ModulesMutex()
{
    static std::mutex m;
    return m;
}

std::map<std::string, void*>& Handles()
{
    static std::map<std::string, void*> handles;
    return handles;
}

std::string ExecutableFolder()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

// Where the module's file is: the folder named by the environment, beside the executable, or the
// installed folder relative to it (bin/ → lib/quorvanta/).
std::string ModuleFile(const std::string& name)
{
    const std::string file = "libqv-" + name + ".so";
    if (const char* dir = std::getenv("QUORVANTA_MODULE_DIR"); dir && *dir)
        return std::string(dir) + "/" + file;
    const std::string exeDir = ExecutableFolder();
    std::error_code ec;
    if (!exeDir.empty() && std::filesystem::exists(exeDir + "/" + file, ec))
        return exeDir + "/" + file;
    return exeDir + "/" QV_MODULE_RELATIVE_DIR "/" + file;
}

void* Open(const std::string& name)
{
    std::lock_guard lock(ModulesMutex());
    auto& handles = Handles();
    if (const auto it = handles.find(name); it != handles.end())
        return it->second;
    const std::string file = ModuleFile(name);
    // Loaded once and never unloaded: its objects and threads may live until the process ends.
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        throw EQvError("Impossibile caricare il modulo «" + name + "» di Quorvanta (" + file + "): " +
                       (why ? why : "errore sconosciuto"));
    }
    using TVersion = const char* (*)();
    const auto version = reinterpret_cast<TVersion>(::dlsym(handle, "qv_module_version"));
    if (!version || std::string(version()) != ProjectVersion) {
        ::dlclose(handle);
        throw EQvError("Il modulo «" + name + "» di Quorvanta (" + file + ") è di un'altra versione: reinstallare il programma.");
    }
    handles.emplace(name, handle);
    return handle;
}

template <class F> F Function(const std::string& name, const char* symbol)
{
    return reinterpret_cast<F>(Symbol(name, symbol));
}

// Stand-ins: each loads its module at its first real use.

class THttp : public IHttpTransport
{
public:
    std::shared_ptr<IHttpConnection> Connect(const std::string& host, int port, const std::string& user,
                                             const std::string& password, int& code, std::string& text) override
    {
        if (!FReal) {
            try {
                FReal.reset(Function<IHttpTransport* (*)()>("http", "qv_http_transport")());
            } catch (const EQvError& e) {
                code = -1;
                text = e.what();
                return nullptr;
            }
        }
        return FReal->Connect(host, port, user, password, code, text);
    }

private:
    std::unique_ptr<IHttpTransport> FReal;
};

class TSound : public ISoundOutput
{
public:
    explicit TSound(TimerService& timers) : FTimers(timers) {}
    void Play(std::shared_ptr<const std::string> wav, bool pauseFirst, std::function<void()> onError) override
    {
        if (Real())
            FReal->Play(std::move(wav), pauseFirst, std::move(onError));
        else if (onError)
            FTimers.Post(std::move(onError));
    }
    void Beep(int frequency, int milliseconds) override
    {
        if (Real())
            FReal->Beep(frequency, milliseconds);
    }
    std::string Check(const std::string& wav) override
    {
        // Without the decoder nothing could play it either.
        return Real() ? FReal->Check(wav) : "modulo dei suoni non disponibile";
    }

private:
    bool Real()
    {
        if (!FReal && !FFailed) {
            try {
                FReal.reset(Function<ISoundOutput* (*)(TimerService*)>("sound", "qv_sound_output")(&FTimers));
            } catch (const EQvError&) {
                FFailed = true; // no sound rather than a box at every sound
            }
        }
        return FReal != nullptr;
    }
    TimerService& FTimers;
    std::unique_ptr<ISoundOutput> FReal;
    bool FFailed = false;
};

class TModem : public ITapiService
{
public:
    explicit TModem(TimerService& timers) : FTimers(timers) {}
    TTapiResult Initialize(const std::string& appName, int& deviceCount) override
    {
        if (!FReal) {
            try {
                FReal.reset(Function<ITapiService* (*)(TimerService*)>("dbus", "qv_modem_lines")(&FTimers));
            } catch (const EQvError&) {
                deviceCount = 0;
                return {MMERR_NOSERVICE, "Initialize"};
            }
        }
        return FReal->Initialize(appName, deviceCount);
    }
    TTapiResult Shutdown() override { return FReal ? FReal->Shutdown() : TTapiResult{}; }
    TTapiResult DevCaps(int device, TLineCaps& caps) override
    {
        return FReal ? FReal->DevCaps(device, caps) : TTapiResult{MMERR_NOSERVICE, "DevCaps"};
    }
    TTapiResult Open(int device, TCallback callback, std::int64_t& line) override
    {
        return FReal ? FReal->Open(device, std::move(callback), line) : TTapiResult{MMERR_NOSERVICE, "Open"};
    }
    TTapiResult Close(std::int64_t line) override
    {
        return FReal ? FReal->Close(line) : TTapiResult{MMERR_NOSERVICE, "Close"};
    }
    TTapiResult CallInfo(std::int64_t call, TCallInfo& info) override
    {
        return FReal ? FReal->CallInfo(call, info) : TTapiResult{MMERR_NOSERVICE, "CallInfo"};
    }
    TTapiResult Deallocate(std::int64_t call) override
    {
        return FReal ? FReal->Deallocate(call) : TTapiResult{MMERR_NOSERVICE, "Deallocate"};
    }
    std::string ErrorText(std::int64_t code) override { return ModemErrorText(code); }

private:
    TimerService& FTimers;
    std::unique_ptr<ITapiService> FReal;
};

class TClock : public IClockSetter
{
public:
    std::string ShiftClock(std::int64_t microseconds) override
    {
        if (!FReal) {
            try {
                FReal.reset(Function<IClockSetter* (*)()>("dbus", "qv_clock_setter")());
            } catch (const EQvError& e) {
                return e.what();
            }
        }
        return FReal->ShiftClock(microseconds);
    }

private:
    std::unique_ptr<IClockSetter> FReal;
};

// NetworkManager's links, loaded when the watch starts; without the module there are none.
class TNmLinks : public ILinkWatcher
{
public:
    explicit TNmLinks(TimerService& timers) : FTimers(timers) {}
    void Start(TOnLinks onLinks) override
    {
        if (!FReal) {
            try {
                FReal.reset(Function<ILinkWatcher* (*)(TimerService*)>("dbus", "qv_link_watcher")(&FTimers));
            } catch (const EQvError&) {
                onLinks({});
                return;
            }
        }
        FReal->Start(std::move(onLinks));
    }
    void Stop() override
    {
        if (FReal)
            FReal->Stop();
    }
    bool Disconnect(const TNetLink& link) override { return FReal && FReal->Disconnect(link); }

private:
    TimerService& FTimers;
    std::unique_ptr<ILinkWatcher> FReal;
};

// The desktop keyring, loaded at its first use; without its module nothing is kept.
std::shared_ptr<TPppdDialUp::TKeyring> KeyringModule()
{
    auto k = std::make_shared<TPppdDialUp::TKeyring>();
    try {
        Function<void (*)(TPppdDialUp::TKeyring*)>("keyring", "qv_keyring")(k.get());
    } catch (const EQvError&) {
        return nullptr;
    }
    return k;
}

} // namespace

void* Symbol(const std::string& name, const char* symbol)
{
    void* handle = Open(name);
    void* address = ::dlsym(handle, symbol);
    if (!address)
        throw EQvError("Il modulo «" + name + "» di Quorvanta non contiene " + symbol + ": reinstallare il programma.");
    return address;
}

bool Loaded(const std::string& name)
{
    std::lock_guard lock(ModulesMutex());
    return Handles().count(name) != 0;
}

std::unique_ptr<IHttpTransport> HttpTransport()
{
    return std::make_unique<THttp>();
}

std::unique_ptr<ISoundOutput> SoundOutput(TimerService& timers)
{
    return std::make_unique<TSound>(timers);
}

std::unique_ptr<ITapiService> ModemLines(TimerService& timers)
{
    return std::make_unique<TModem>(timers);
}

std::unique_ptr<ILinkWatcher> NetworkManagerLinks(TimerService& timers)
{
    return std::make_unique<TNmLinks>(timers);
}

std::unique_ptr<IClockSetter> ClockSetter()
{
    return std::make_unique<TClock>();
}

TPppdDialUp::TKeyring Keyring()
{
    // Shared by the three functions, loaded by whichever runs first.
    auto state = std::make_shared<std::pair<std::once_flag, std::shared_ptr<TPppdDialUp::TKeyring>>>();
    auto real = [state]() -> TPppdDialUp::TKeyring* {
        std::call_once(state->first, [&] { state->second = KeyringModule(); });
        return state->second.get();
    };
    TPppdDialUp::TKeyring k;
    k.Find = [real](const std::string& entry, const std::string& user) -> std::optional<std::string> {
        auto* r = real();
        return r && r->Find ? r->Find(entry, user) : std::nullopt;
    };
    k.Store = [real](const std::string& entry, const std::string& user, const std::string& password) {
        auto* r = real();
        return r && r->Store ? r->Store(entry, user, password) : false;
    };
    k.Forget = [real](const std::string& entry, const std::string& user) {
        auto* r = real();
        if (r && r->Forget)
            r->Forget(entry, user);
    };
    return k;
}

bool InternetConnected()
{
    try {
        return Function<int (*)()>("dbus", "qv_internet_connected")() != 0;
    } catch (const EQvError&) {
        return false;
    }
}

} // namespace qv::modules
