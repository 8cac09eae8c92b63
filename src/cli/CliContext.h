#pragma once
// The services of a command-line run: the real clock and files, timers that only fire when the
// tool asks, and boxes written to the error stream (questions answered No). A command that only
// reads sees the files through a view that writes nothing; a command that writes holds the
// program's single-instance lock first.

#include "core/Prompter.h"
#include "core/Registry.h"
#include "core/Services.h"
#include "detection/RasApi.h"
#include "detection/TapiControl.h"
#include "messenger/Messenger.h"
#include "sms/HtmlControl.h"
#include "platform/linux/LinuxFileSystem.h"
#include "platform/linux/LinuxSingleInstance.h"
#include "platform/linux/LinuxSystem.h"
#include "platform/linux/LoopTimers.h"

#include <map>
#include <memory>

#include <ostream>

namespace qv {

class TStreamPrompter : public IPrompter
{
public:
    TStreamPrompter(std::ostream& out, std::ostream& err) : FOut(out), FErr(err) {}
    TModalResult MessageBox(TMsgKind kind, TMsgButtons buttons, const std::string& text) override;

private:
    std::ostream& FOut;
    std::ostream& FErr;
};

// The real files, or, for a command that only reads, the same files with every change dropped.
class TCliFiles : public IFileSystem
{
public:
    bool ReadOnly = false;
    bool Exists(const std::string& path) override { return FFiles.Exists(path); }
    // A file the read-only view "wrote" (the defaults of a missing data file) reads back from memory,
    // so a missing file is read as the program would create it, without a warning.
    TBytes ReadAll(const std::string& path) override
    {
        const auto kept = FKept.find(path);
        return kept != FKept.end() ? kept->second : FFiles.ReadAll(path);
    }
    void WriteAtomic(const std::string& path, const TBytes& data) override
    {
        if (!ReadOnly)
            FFiles.WriteAtomic(path, data);
        else
            FKept[path] = data;
    }
    void WriteText(const std::string& path, const std::string& text) override
    {
        if (!ReadOnly)
            FFiles.WriteText(path, text);
    }
    void MakeWritable(const std::string& path) override
    {
        if (!ReadOnly)
            FFiles.MakeWritable(path);
    }
    bool Remove(const std::string& path) override { return !ReadOnly && FFiles.Remove(path); }
    bool Rename(const std::string& from, const std::string& to) override
    {
        return !ReadOnly && FFiles.Rename(from, to);
    }

    // For the files a command is asked to write (exports), never data files of the folder.
    TLinuxFileSystem& Real() { return FFiles; }

private:
    TLinuxFileSystem FFiles;
    std::map<std::string, TBytes> FKept;
};

class TCliContext
{
public:
    TCliContext(std::ostream& out, std::ostream& err, const std::string& dataDir, bool simulate);
    TServices& Services() { return FServices; }
    // pppd, or the simulated service with its demo phone book.
    IRasApi& DialUp();
    // ModemManager, or the simulated modem.
    ITapiService& Modem();
    // Samba's smbclient, or the simulated transport.
    std::shared_ptr<IPopupTransport> Popup();
    // HTTP through libcurl.
    IHttpTransport& Http();
    bool Simulate;
    // Takes the program's lock; raises the Italian refusal while the program runs. Another command
    // that writes is waited for a few seconds first.
    void LockData();
    // The command being run ("log add"), as the lock file tells it to others.
    std::string Command;

    TSystemClock Clock;
    TLoopTimers Timers{Clock};
    TStreamPrompter Prompter;
    TCliFiles Files;
    TLinuxSystem System;
    TMemoryRegistry RegistryStore;
    TRegistry Registry{RegistryStore};
    TAppEnvironment Env;

private:
    TServices FServices;
    std::unique_ptr<IRasApi> FDialUp;
    std::unique_ptr<ITapiService> FModem;
    std::shared_ptr<IPopupTransport> FPopup;
    std::unique_ptr<IHttpTransport> FHttp;
    std::unique_ptr<TLinuxSingleInstance> FLock;
};

class TDataModule;

enum class TAccess
{
    Read,  // nothing is written, not even a missing file
    Write, // the program's lock is held; missing files are created as the program does
};

// Opens the data folder. A connection that a crash left in "Status.dat" stays there in both cases:
// only the program's question or "recover" decides about it.
// withDialUp: pppd (or the simulation) and the modem; withPopup: the popup messages' transport.
// A whole file as text; a file that cannot be opened is an error naming it.
std::string ReadTextFile(const std::string& path);
std::unique_ptr<TDataModule> OpenData(TCliContext& ctx, TAccess access, bool withDialUp = false, bool withPopup = false);

} // namespace qv
