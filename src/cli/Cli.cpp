#include "cli/Cli.h"

#include "app/CalendarEditor.h"
#include "app/CommandHelp.h"
#include "app/DataClasses.h"
#include "app/DataModule.h"
#include "app/SettingsPages.h"
#include "cli/TariffJson.h"
#include "cli/TimeCommand.h"
#include "cli/PlansCommand.h"
#include "cli/SoundsCommand.h"
#include "core/DateTime.h"
#include "core/Functions.h"
#include "tariffs/TariffRules.h"
#include "cli/CliContext.h"
#include "cli/CliOptions.h"
#include "cli/StatsCommand.h"
#include "cli/PopupCommand.h"
#include "cli/SkinsCommand.h"
#include "cli/SmsCommand.h"
#include "core/Dump.h"
#include "core/LocalTime.h"
#include "core/Environment.h"
#include "core/Strings.h"
#include "core/Version.h"
#include "platform/linux/LinuxFileSystem.h"
#include "platform/linux/PppdDialUp.h"
#include "platform/sim/SimDialUp.h"
#include "platform/sim/SimModem.h"
#include "platform/sim/SimPopup.h"
#include "platform/linux/SmbPopupTransport.h"
#include "platform/linux/Modules.h"
#include "platform/linux/NetlinkLinks.h"
#include "platform/linux/SysNetCounters.h"
#include "app/PlanWatch.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include <cmath>
#include <cstdio>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

namespace qv {

std::string ReadTextFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw EQvError("Impossibile aprire il file: " + path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TModalResult TStreamPrompter::MessageBox(TMsgKind kind, TMsgButtons buttons, const std::string& text)
{
    static const char* const prefix[] = {"Errore: ", "Attenzione: ", "", "Domanda: "};
    (kind == TMsgKind::Info ? FOut : FErr) << prefix[static_cast<int>(kind)] << ReplaceAll(text, "\r", "\n") << "\n";
    return buttons == TMsgButtons::Ok ? TModalResult::mrOk : TModalResult::mrNo;
}

TCliContext::TCliContext(std::ostream& out, std::ostream& err, const std::string& dataDir, bool simulate)
    : Simulate(simulate), Prompter(out, err), FServices{Clock, Timers, Prompter, Files, System, Registry, Env}
{
    Env.AppPath = dataDir;
    Env.AppVersion = ProjectVersion;
    Env.AppBuild = BuildFromVersion(Env.AppVersion);
}

void TCliContext::LockData()
{
    if (FLock)
        return;
    auto lock = std::make_unique<TLinuxSingleInstance>(Timers, TLinuxSingleInstance::DefaultFolder());
    lock->Holder = "quorvanta-cli " + Command;
    // Another command's change takes a moment: it is waited for, the program is not.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!lock->Lock()) {
        const std::string holder = lock->HolderText();
        const bool byTool = holder.rfind("quorvanta-cli ", 0) == 0;
        if ((!byTool && !holder.empty()) || std::chrono::steady_clock::now() >= deadline) {
            if (!byTool)
                throw EQvError("Quorvanta è in esecuzione: chiudi il programma prima di modificare i dati o di "
                               "seguire le connessioni con quorvanta-cli.");
            // "quorvanta-cli COMMAND... PID": the pid is the last word.
            const std::string rest = holder.substr(14);
            const auto blank = rest.rfind(' ');
            const std::string command = blank == std::string::npos ? rest : rest.substr(0, blank);
            const std::string pid = blank == std::string::npos ? std::string("?") : rest.substr(blank + 1);
            throw EQvError("Un altro comando di quorvanta-cli («" + command + "», processo " + pid +
                           ") sta modificando i dati: riprova quando è terminato.");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    FLock = std::move(lock);
}

IHttpTransport& TCliContext::Http()
{
    if (!FHttp)
        FHttp = modules::HttpTransport();
    return *FHttp;
}

std::shared_ptr<IPopupTransport> TCliContext::Popup()
{
    if (!FPopup) {
        if (Simulate)
            FPopup = std::make_shared<TSimPopupTransport>();
        else
            FPopup = std::make_shared<TSmbPopupTransport>();
    }
    return FPopup;
}

ITapiService& TCliContext::Modem()
{
    if (!FModem) {
        if (Simulate)
            FModem = std::make_unique<TSimModem>();
        else
            FModem = modules::ModemLines(Timers);
    }
    return *FModem;
}

IRasApi& TCliContext::DialUp()
{
    if (!FDialUp) {
        if (Simulate) {
            auto sim = std::make_unique<TSimDialUp>(Clock, Timers);
            sim->AddDemoEntries();
            FDialUp = std::move(sim);
        } else {
            auto pppd = std::make_unique<TPppdDialUp>(Timers);
            pppd->Keyring = modules::Keyring();
            FDialUp = std::move(pppd);
        }
    }
    return *FDialUp;
}

namespace {

// Set by SIGINT, SIGTERM and SIGHUP while the monitor runs.
std::atomic<bool> StopRequested{false};
extern "C" void OnStopSignal(int)
{
    StopRequested = true;
}


// This executable's path, so that a "portable" marker beside it holds for the tool too.
std::string OwnExecutable()
{
    std::error_code ec;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

} // namespace

std::unique_ptr<TDataModule> OpenData(TCliContext& ctx, TAccess access, bool withDialUp, bool withPopup)
{
    if (access == TAccess::Write) {
        ctx.LockData();
        EnsurePrivateFolder(ctx.Env.AppPath);
    }
    ctx.Files.ReadOnly = access == TAccess::Read;
    auto data = std::make_unique<TDataModule>(ctx.Services(), nullptr, withDialUp ? &ctx.DialUp() : nullptr, nullptr,
                                              withDialUp ? &ctx.Modem() : nullptr,
                                              withDialUp || withPopup ? ctx.Popup() : nullptr, &ctx.Http());
    data->Status.RecoverOnLoad = false;
    // A damaged log is never answered "No" by the tool: a command that writes rescues it as "Sì"
    // would, one that reads uses what can be read.
    data->Connections.RescuePolicy = access == TAccess::Write ? TRescuePolicy::rpRescue : TRescuePolicy::rpReadOnly;
    data->LoadAll();
    return data;
}

namespace {

// A connection left in "Status.dat" by a program that stopped while counting, as one line.
std::string PendingText(const TStatus& s)
{
    return "«" + s.EntryName() + "» di " + FormatDateTime("dddd d mmmm yyyy", s.StartTime()) + " delle " +
           FormatDateTime("h:nn", s.StartTime()) + " [Durata: " + FormatDurationLong(s.Time()) +
           " spesa: " + std::to_string(static_cast<long long>(std::trunc(s.CostoLire()))) + " lire]";
}

// A command that starts a count would write over a connection a crash left unsaved: the user
// decides about it first.
void RequireNoPendingConnection(const TStatus& s)
{
    if (s.HasPendingConnection())
        throw EQvError("C'è una connessione non salvata: " + PendingText(s) +
                       "\rDecidi prima che cosa farne con «quorvanta-cli recover --keep» (aggiungerla al registro) "
                       "o «quorvanta-cli recover --discard» (ignorarla).");
}

int RecoverCommand(TCliContext& ctx, const std::vector<std::string>& args, std::ostream& out)
{
    if (args.size() != 2 || (args[1] != "--keep" && args[1] != "--discard"))
        return 2;
    auto data = OpenData(ctx, TAccess::Write);
    TStatus& s = data->Status;
    if (!s.HasPendingConnection()) {
        out << "Nessuna connessione da recuperare.\n";
        return 0;
    }
    const std::string text = PendingText(s);
    if (args[1] == "--keep")
        s.AppendToLog();
    s.Reset();
    out << (args[1] == "--keep" ? "Connessione aggiunta al registro: " : "Connessione ignorata: ") << text << "\n";
    return data->Connections.SaveFailed() || s.SaveFailed() ? 1 : 0;
}

int TariffsCommand(TCliContext& ctx, const std::vector<std::string>& args, std::ostream& out)
{
    if (args.size() < 2)
        return 2;
    const std::string& sub = args[1];
    auto data = OpenData(ctx, sub == "import" ? TAccess::Write : TAccess::Read);
    if (sub == "list" && args.size() == 2) {
        for (const auto& t : data->Taxations.Taxs())
            out << t->DisplayName() << "\n";
        return 0;
    }
    if (sub == "export" && args.size() == 3) {
        const std::string text = TariffsToJson(data->Taxations.Taxs());
        ctx.Files.Real().WriteAtomic(args[2], TBytes(text.begin(), text.end()));
        out << "Esportate " << data->Taxations.Taxs().Count() << " tariffe in " << args[2] << "\n";
        return 0;
    }
    if (sub == "import" && args.size() == 3) {
        TTaxations scratch(ctx.Services());
        TariffsFromJson(ReadTextFile(args[2]), scratch.Taxs());
        scratch.SetModified(false);
        ImportTariffs(data->Taxations, scratch.Taxs());
        data->Taxations.Save();
        out << "Importate " << scratch.Taxs().Count() << " tariffe da " << args[2] << "\n";
        return 0;
    }
    return 2;
}

// A finite number, with a point or the Italian comma; what refuses it says what it was for.
double ParseNumber(const std::string& text, const std::string& what = "Importo non valido: ")
{
    try {
        std::size_t used = 0;
        const double v = std::stod(ReplaceAll(text, ",", "."), &used);
        if (used != text.size() || !std::isfinite(v))
            throw std::invalid_argument(text);
        return v;
    } catch (const std::exception&) {
        throw EQvError(what + text);
    }
}

// A number of seconds as milliseconds, at most a year: a longer wait is a typing error.
std::int64_t ParseSeconds(const std::string& text)
{
    const double v = ParseNumber(text, "Durata non valida: ");
    if (v < 0 || v > 366.0 * 86400)
        throw EQvError("Durata non valida: " + text);
    return static_cast<std::int64_t>(v * 1000);
}

// The shortest text that reads back as the same double.
std::string RoundTrip(double v)
{
    char buf[64];
    for (int digits = 15; digits <= 17; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, v);
        if (std::strtod(buf, nullptr) == v)
            break;
    }
    return buf;
}

int PriceCommand(TCliContext& ctx, std::vector<std::string> args, std::ostream& out)
{
    const bool json = TakeJsonFlag(args);
    const TOptions o(args, 1);
    auto data = OpenData(ctx, TAccess::Read);
    const std::string name = o.Required("tariff");
    TTaxItem* tax = data->Taxations.FindTax(name);
    if (!tax)
        throw EQvError("Tariffa inesistente: " + name);
    const double from = o.Date("from");
    const double to = o.Date("to");
    const TTaxItem::TPrice price = tax->ComputeCost(from, to);
    if (!std::isfinite(price.Cost))
        throw EQvError("Il costo della tariffa " + tax->DisplayName() + " non è un numero finito: controllane i prezzi");
    if (json) {
        out << "{\"cost\": " << RoundTrip(price.Cost) << ", \"pulses\": " << price.Pulses << "}\n";
    } else {
        out << tax->DisplayName() << "\n"
            << "Durata: " << FormatDurationLong(SecondsToDuration(static_cast<double>(RealSecondsBetween(from, to))))
            << "\n"
            << "Costo: " << FormatNumber(price.Cost, 3) << " lire (" << FormatNumber(LireToEuro(price.Cost), 3)
            << " euro)\n"
            << "Scatti: " << price.Pulses << "\n";
    }
    return 0;
}

int CompareCommand(TCliContext& ctx, std::vector<std::string> args, std::ostream& out)
{
    const bool json = TakeJsonFlag(args);
    const TOptions o(args, 1);
    auto data = OpenData(ctx, TAccess::Read);
    const double cost = ParseNumber(o.Required("cost"));
    const double from = o.Date("from");
    const double to = o.Date("to");
    if (to < from)
        throw EQvError("L'intervallo di tempo non è corretto!");
    const std::string text = data->Taxations.CompareTaxes(from, to, cost);
    if (json) {
        // The text as the program shows it (lines ended by CR), and its lines.
        nlohmann::ordered_json result;
        result["text"] = text;
        result["lines"] = nlohmann::json::array();
        for (const std::string& line : Split(Trim(text), '\r'))
            if (!line.empty())
                result["lines"].push_back(line);
        out << result.dump() << "\n";
        return 0;
    }
    out << (text.empty() ? std::string("Nessuna tariffa sarebbe costata meno.\n") : ReplaceAll(text, "\r", "\n"));
    return 0;
}

int StatusCommand(TCliContext& ctx, std::ostream& out)
{
    auto data = OpenData(ctx, TAccess::Read);
    TStatus& s = data->Status;
    out << ReplaceAll(s.StatusText(), "\r", "\n") << "\n\n"
        << "Valori di Status.dat:\n"
        << "  Scatti: " << s.NumScatti() << "\n"
        << "  Spesa: " << FormatNumber(std::trunc(s.CostoLire())) << " lire\n"
        << "  Durata: " << FormatDurationLong(s.Time()) << "\n"
        << "  Inizio: " << (s.StartTime() == 0 ? std::string("-") : FormatDateTime("dd/mm/yyyy hh:nn:ss", s.StartTime()))
        << "\n"
        << "  Connessione: " << s.EntryName() << "\n"
        << "  Numero: " << s.DialingNumber() << "\n"
        << "  Indirizzo IP: " << s.DinamicIP() << "\n"
        << "  Tariffa: " << s.DefaultTax() << "\n"
        << "  Byte trasmessi: " << s.BytesTransmitted() << "\n"
        << "  Byte ricevuti: " << s.BytesReceived() << "\n";
    if (s.HasPendingConnection())
        out << "\nConnessione non salvata: " << PendingText(s) << "\n"
            << "Usa «quorvanta-cli recover --keep» per aggiungerla al registro o «--discard» per ignorarla.\n";
    return 0;
}

int EntriesCommand(TCliContext& ctx, std::ostream& out)
{
    auto data = OpenData(ctx, TAccess::Read, true);
    std::vector<std::string> names;
    data->RasMonitor.RasEntries(names);
    for (const std::string& n : names)
        out << n << "\t" << data->RasMonitor.EntryPhoneNumber(n) << "\n";
    return 0;
}

std::string ClockText(std::int32_t seconds)
{
    const bool negative = seconds < 0;
    const std::int64_t s = negative ? -static_cast<std::int64_t>(seconds) : seconds;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%02lld:%02lld:%02lld", negative ? "-" : "", static_cast<long long>(s / 3600),
                  static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
    return buf;
}

// Dials an entry with its saved credentials.
void StartDial(TDataModule& data, const std::string& entry, std::ostream& out)
{
    if (!data.RasMonitor.IsRasEntry(entry))
        throw EQvError("La connessione «" + entry + "» non è nella rubrica");
    const TRasCredentials c = data.RasMonitor.GetEntryCredentials(entry);
    out << "Composizione di " << entry << "...\n";
    // The live status knows the entry first, so its dial time is not charged.
    data.Status.SetEntryName(entry);
    data.MtxStatus.SetEvent(&data, TMtxEventMatrixStatus::RasDialing);
    data.RasMonitor.Dial(entry, c.User, c.Password);
}

// The modem lines, the watched one marked; or why there is none.
int ModemsCommand(TCliContext& ctx, std::ostream& out)
{
    auto data = OpenData(ctx, TAccess::Read, true);
    TTapiControl& t = data->TapiMonitor;
    std::vector<TDevice> devices;
    try {
        devices = t.Devices();
    } catch (const std::exception&) {
    }
    if (devices.empty()) {
        out << "Nessun modem: " << (t.LastError().empty() ? "Nessun modem disponibile" : t.LastError())
            << "\n";
        return 0;
    }
    for (const TDevice& d : devices)
        out << (SameText(d.Name, data->Settings.DeviceName()) ? "* " : "  ") << d.Name << "\n";
    return 0;
}

int MonitorCommand(TCliContext& ctx, const std::vector<std::string>& args, std::ostream& out)
{
    const TOptions o(args, 1);
    auto data = OpenData(ctx, TAccess::Write, true);
    TDataModule& d = *data;
    RequireNoPendingConnection(d.Status);
    d.Status.SetProfile(&d.Settings.SelectProfile(""));
    d.OnStateShown = [&out, &ctx](TMtxStateMatrixStatus s) {
        out << FormatDateTime("hh:nn:ss", ctx.Clock.Now()) << " [" << TMtxMatrixStatus::StateDescription(s) << "]\n"
            << std::flush;
    };
    d.RasMonitor.OnRasEvent = [&out](const std::string& e) { out << "  " << e << "\n" << std::flush; };
    d.OnShowDialError = [&](int error, int) {
        out << "Errore: " << d.RasMonitor.RasErrorText(error) << " (" << error << ")\n" << std::flush;
    };
    d.Status.OnTaxNeeded = [&] {
        out << "Nessuna tariffa associata a «" << d.Status.EntryName() << "»: uso "
            << (d.Status.Tax() ? d.Status.Tax()->DisplayName() : std::string("nessuna tariffa")) << "\n";
    };
    d.Status.OnSecond = [&] {
        TStatus& s = d.Status;
        if (!s.IsCounting() && !s.IsDialing())
            return;
        out << ClockText(s.Elapsed()) << "  scatti " << s.NumScatti() << "  £ "
            << FormatNumber(std::trunc(s.CostoLire())) << "  € " << FormatNumber(LireToEuro(s.CostoLire()), 2)
            << "  prossimo scatto " << ClockText(static_cast<std::int32_t>(s.Remaining())) << "\n"
            << std::flush;
    };
    d.Status.OnConnectionSaved = [&out](const TConnectionData& c) {
        out << "Connessione registrata: " << c.Entry << ", " << FormatDurationLong(c.End - c.Start) << ", £ "
            << FormatNumber(std::trunc(c.Cost)) << "\n";
    };
    d.OnGeneralMessage = [&out](const std::string& m) { out << ReplaceAll(m, "\r", " ") << "\n" << std::flush; };
    // The data plans of the links that are up: their volume when it changes (at most every ten
    // seconds), their warnings and limits. The counters' tree may be another one for tests.
    const char* sysNet = std::getenv("QUORVANTA_SYS_CLASS_NET");
    TSysNetCounters counters(sysNet ? sysNet : "/sys/class/net");
    const auto links = MakeLinkWatcher(ctx.Timers);
    TPlanWatch plans(ctx.Services(), d.Plans, counters, *links);
    std::string shown;
    std::int64_t shownAt = 0;
    plans.OnBalloon = [&out](const std::string& m) { out << m << "\n" << std::flush; };
    plans.OnHangUp = [&d](TEndReason) { d.RasMonitor.HangUpAll(); };
    const auto showPlan = [&](bool always) {
        const TPlanView& v = plans.View();
        const std::string line = v.Level == TPlanLevel::None ? std::string() : v.TrayLine + " (" + v.Strip + ")";
        const std::int64_t now = ctx.Clock.TickCount();
        if (line == shown || (!always && !line.empty() && !shown.empty() && now - shownAt < 10000))
            return;
        shown = line;
        shownAt = now;
        if (!line.empty())
            out << "Dati " << line << "\n" << std::flush;
    };
    plans.OnViewChange = [&] { showPlan(false); };
    plans.Start();
    showPlan(true);
    d.StartMonitoring();
    // The modem named in the settings is followed too.
    if (d.StartTapiMonitor(false))
        out << "Monitoraggio modem " << d.Settings.DeviceName() << "\n" << std::flush;
    if (const auto entry = o.Get("dial"))
        StartDial(d, *entry, out);
    const std::int64_t start = ctx.Clock.TickCount();
    const std::int64_t limitMs = o.Get("for") ? ParseSeconds(*o.Get("for")) : std::int64_t{-1};
    StopRequested = false;
    // A closed terminal (SIGHUP) ends the count as Ctrl+C and a logout do.
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        std::signal(sig, OnStopSignal);
    ctx.Timers.Run([&] { return StopRequested || (limitMs >= 0 && ctx.Clock.TickCount() - start >= limitMs); });
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        std::signal(sig, SIG_DFL);
    // Stopping keeps a running count, as closing the program does; a dial not yet answered is dropped.
    d.Status.EndOfRun();
    plans.Stop();
    showPlan(true);
    return 0;
}

int DialCommand(TCliContext& ctx, const std::string& entry, std::ostream& out)
{
    auto data = OpenData(ctx, TAccess::Write, true);
    TDataModule& d = *data;
    RequireNoPendingConnection(d.Status);
    d.RasMonitor.OnRasEvent = [&out](const std::string& e) { out << "  " << e << "\n" << std::flush; };
    int error = 0;
    d.RasMonitor.OnRasError = [&](int code, int) { error = code; };
    StartDial(d, entry, out);
    const std::int64_t start = ctx.Clock.TickCount();
    ctx.Timers.Run([&] {
        return error != 0 || d.RasMonitor.IsRasOnline() || ctx.Clock.TickCount() - start > 120000;
    });
    // The tool ends here and the line stays up: its count belongs to whoever follows the line (the
    // program or "monitor", which count it from when they see it), so nothing is left in
    // "Status.dat" to be taken later for a connection lost in a crash.
    const bool online = d.RasMonitor.IsRasOnline();
    d.Status.Reset();
    if (error != 0) {
        out << "Errore: " << d.RasMonitor.RasErrorText(error) << " (" << error << ")\n";
        return 1;
    }
    out << (online ? "Connesso. Il costo è contato da Quorvanta o da «quorvanta-cli monitor» mentre sono avviati.\n"
                   : "Nessuna risposta.\n");
    return online ? 0 : 1;
}

int HangUpCommand(TCliContext& ctx, std::ostream& out)
{
    auto data = OpenData(ctx, TAccess::Read, true);
    data->RasMonitor.HangUpAll();
    out << "Connessioni chiuse.\n";
    return 0;
}

std::string GroupLabel(const std::string& by, const TDataUnitsItem& item)
{
    if (by == "day")
        return FormatDateTime("dd/mm/yyyy", item.I());
    if (by == "month")
        return FormatDateTime("mmmm yyyy", item.I());
    if (by == "year")
        return FormatDateTime("yyyy", item.I());
    return item.N().empty() ? std::string("(senza nome)") : item.N();
}

int LogCommand(TCliContext& ctx, const std::vector<std::string>& args, std::ostream& out)
{
    if (args.size() < 2)
        return 2;
    const std::string& sub = args[1];
    auto data = OpenData(ctx, sub == "import" || sub == "add" ? TAccess::Write : TAccess::Read);
    TDataUnits& log = data->Connections;
    if (sub == "export" && args.size() == 3)
        return log.ExportText(log.Units(), args[2]) ? 0 : 1;
    if (sub == "import" && args.size() == 3)
        return log.ImportText(args[2], true) ? 0 : 1;
    if (sub == "add") {
        const TOptions o(args, 2);
        TConnectionData c;
        c.Start = o.Date("from");
        c.End = o.Date("to");
        if (c.End < c.Start)
            throw EQvError("La fine della connessione precede l'inizio");
        const std::string pulses = o.Get("pulses").value_or("0");
        const auto count = ReadInteger(pulses);
        if (!count || *count < 0)
            throw EQvError("Numero di scatti non valido: " + pulses + " (da 0 a 2.147.483.647)");
        c.Pulses = *count;
        c.Cost = ParseNumber(o.Get("cost").value_or("0"), "Costo non valido: ");
        if (c.Cost < 0 || c.Cost > MaxConnectionCost)
            throw EQvError("Costo non valido: " + o.Get("cost").value_or("0") + " (da 0 a " +
                           FormatNumber(MaxConnectionCost) + " lire)");
        c.Entry = o.Get("entry").value_or("");
        log.AddConnection(c);
        return log.SaveFailed() ? 1 : 0;
    }
    if (sub == "summary") {
        const TOptions o(args, 2);
        const std::string by = o.Required("by");
        const double from = o.Get("from") ? o.Date("from") : 0;
        const double to = o.Get("to") ? o.Date("to") : 1.0e9;
        TDataUnitsItems items(nullptr);
        std::vector<int> counts;
        if (by == "day")
            log.SumByDay(items, from, to, &counts);
        else if (by == "month")
            log.SumByMonth(items, from, to, &counts);
        else if (by == "year")
            log.SumByYear(items, from, to, &counts);
        else if (by == "entry")
            log.SumByEntry(items, from, to, &counts);
        else
            throw EQvError("Raggruppamento sconosciuto: " + by + " (day, month, year, entry)");
        for (std::size_t i = 0; i < items.Count(); ++i) {
            const TDataUnitsItem& g = items[i];
            out << GroupLabel(by, g) << "\t" << counts[i] << "\t" << g.S() << "\t"
                << FormatDurationShort(g.Duration(), false) << "\t" << FormatNumber(std::trunc(g.L())) << "\t"
                << FormatNumber(g.E(), 2) << "\n";
        }
        return 0;
    }
    return 2;
}

// "GG/MM" of a day of the calendar (29/02 included).
std::pair<int, int> ParseDayMonth(const std::string& text)
{
    const auto parts = Split(text, '/');
    const auto d = parts.size() == 2 ? ReadInteger(parts[0]) : std::nullopt;
    const auto m = parts.size() == 2 ? ReadInteger(parts[1]) : std::nullopt;
    if (!d || !m || !TryEncodeDate(1996, *m, *d))
        throw EQvError("Giorno non valido: " + text + " (GG/MM)");
    return {*d, *m};
}

int HolidaysCommand(TCliContext& ctx, const std::vector<std::string>& args, std::ostream& out)
{
    if (args.size() == 2 && args[1] == "list") {
        auto data = OpenData(ctx, TAccess::Read);
        for (const auto& d : data->Agenda.Giorni())
            if (d->IsFesta())
                out << FormatDateTime("dd/mm", EncodeDate(1996, d->Mese(), d->Giorno())) << "\t" << d->Santi() << "\n";
        const TDateParts today = DecodeDate(ctx.Clock.Now());
        const TDateParts easter = EasterMonday(today.Year);
        out << FormatDateTime("dd/mm", EncodeDate(today.Year, easter.Month, easter.Day)) << "\tLunedì dell'Angelo " << today.Year
            << "\n";
        return 0;
    }
    if (args.size() == 3 && (args[1] == "set" || args[1] == "unset")) {
        const auto [day, month] = ParseDayMonth(args[2]);
        auto data = OpenData(ctx, TAccess::Write);
        TCalendarEditor calendar(ctx.Services(), *data);
        TCalendarEditor::TDay value = calendar.DayOf(day, month);
        value.Festa = args[1] == "set";
        if (!calendar.ApplyDay(day, month, value))
            return 1;
        data->Agenda.Save();
        out << args[2] << (value.Festa ? " è festivo\n" : " non è festivo\n");
        return data->Agenda.SaveFailed() ? 1 : 0;
    }
    return 2;
}

int ProfilesCommand(TCliContext& ctx, std::ostream& out)
{
    auto data = OpenData(ctx, TAccess::Read);
    for (const auto& p : data->Settings.Profiles())
        out << p->UserName() << "\t" << (p->Diritti() == diAdmin ? "amministratore" : "utente") << "\t"
            << (p->Password().empty() ? "senza password" : "con password") << "\t" << p->Descrizione() << "\n";
    return 0;
}

int EntrySetCommand(TCliContext& ctx, const std::vector<std::string>& args, std::ostream& out)
{
    const std::string& name = args[2];
    const TOptions o(args, 3);
    auto data = OpenData(ctx, TAccess::Write, true);
    TEntriesEditor entries(ctx.Services(), *data);
    if (!entries.HasRecord(name) && !data->RasMonitor.IsRasEntry(name))
        throw EQvError("La connessione «" + name + "» non è nella rubrica");
    TEntriesEditor::TForm form = entries.FormOf(name);
    form.TaxName = o.Required("tariff");
    if (const auto limit = o.Get("limit")) {
        const auto seconds = ReadWholeField(ctx.Prompter, *limit, TEntriesEditor::LabelDurata);
        if (!seconds)
            return 1;
        form.AutoDisconnect = *seconds > 0;
        if (*seconds > 0)
            form.TimeOutConnection = *seconds;
    }
    if (const auto retry = o.Get("retry"))
        form.RetryTime = *retry;
    if (const auto dial = o.Get("dial-time"))
        form.DialTime = *dial;
    if (!entries.Apply(name, form))
        return 1;
    data->Settings.Save();
    const TEntriesEditor::TForm now = entries.FormOf(name);
    out << name << ": tariffa " << now.TaxName << ", limite "
        << (now.AutoDisconnect ? std::to_string(now.TimeOutConnection) + " s" : std::string("nessuno"))
        << ", richiamata " << now.RetryTime << " s, selezione " << now.DialTime << " s\n";
    return data->Settings.SaveFailed() ? 1 : 0;
}

// Reads a data file into a component of the class its header names. With salvage given, a damaged
// file is read as far as it can be and the damage is told there.
std::unique_ptr<TPersistentComponent> OpenDataFile(TCliContext& ctx, const std::string& path, TBytes& bytes,
                                                   TSalvageReport* salvage = nullptr)
{
    bytes = ctx.Files.ReadAll(path);
    const std::string className = PeekClassName(bytes);
    auto component = CreateDataComponent(className, ctx.Services());
    if (!component)
        throw EQvError("Classe di dati sconosciuta: " + className);
    if (salvage)
        *salvage = component->ReadFromBytesSalvaging(bytes);
    else
        component->ReadFromBytes(bytes);
    return component;
}

} // namespace

int RunCli(std::vector<std::string> args, std::ostream& out, std::ostream& err)
{
    const auto dataDirArg = TakeDataDirArg(args);
    const auto simulateArg = std::find(args.begin(), args.end(), "--simulate");
    const bool simulate = simulateArg != args.end();
    if (simulate)
        args.erase(simulateArg);
    if (args.empty()) {
        err << CliUsageText();
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        out << CliUsageText();
        return 0;
    }
    if (args[0] == "--version")
        args[0] = "version";
    const std::string dataDir = ResolveDataFolder(
        dataDirArg,
        [](const std::string& name) -> std::optional<std::string> {
            const char* v = std::getenv(name.c_str());
            return v ? std::optional<std::string>(v) : std::nullopt;
        },
        OwnExecutable(), [](const std::string& path) { return std::filesystem::exists(path); });
    TCliContext ctx(out, err, dataDir, simulate);
    const std::string& command = args[0];
    ctx.Command = command + (args.size() > 1 && args[1].rfind("--", 0) != 0 ? " " + args[1] : std::string());
    try {
        if (command == "dump" && args.size() == 2) {
            TBytes bytes;
            TSalvageReport salvage;
            auto component = OpenDataFile(ctx, args[1], bytes, &salvage);
            out << DumpObject(*component, component->ClassName());
            if (auto* skins = dynamic_cast<TDataSkins*>(component.get()))
                out << DumpSkinData(*skins);
            if (!salvage.Damaged())
                return 0;
            // What was understood is above; where it stopped understanding is said after it.
            for (const std::string& line : salvage.Lines()) {
                out << "# danneggiato: " << line << "\n";
                err << "Danneggiato: " << line << "\n";
            }
            return 1;
        }
        if (command == "resave" && args.size() == 3) {
            // The memory of the file read holds the file written: no second large buffer.
            TBytes buffer;
            auto component = OpenDataFile(ctx, args[1], buffer);
            component->WriteToBytes(buffer);
            // The objects read are taken apart on a second thread while the file is written and
            // flushed to disk: a log of 100,000 connections takes milliseconds to free.
            std::jthread end([c = std::move(component)]() mutable { c.reset(); });
            ctx.Files.Real().WriteAtomic(args[2], buffer);
            return 0;
        }
        if (command == "tariffs" || command == "log") {
            const int rc = command == "tariffs" ? TariffsCommand(ctx, args, out) : LogCommand(ctx, args, out);
            if (rc != 2)
                return rc;
        }
        if (command == "price")
            return PriceCommand(ctx, args, out);
        if (command == "compare")
            return CompareCommand(ctx, args, out);
        if (command == "recover") {
            const int rc = RecoverCommand(ctx, args, out);
            if (rc != 2)
                return rc;
        }
        if (command == "status" && args.size() == 1)
            return StatusCommand(ctx, out);
        if (command == "entries" && args.size() == 1)
            return EntriesCommand(ctx, out);
        if (command == "entries" && args.size() >= 3 && args[1] == "set")
            return EntrySetCommand(ctx, args, out);
        if (command == "profiles" && args.size() == 2 && args[1] == "list")
            return ProfilesCommand(ctx, out);
        if (command == "sounds" || command == "programs") {
            const int rc = command == "sounds" ? SoundsCommand(ctx, args, out) : ProgramsCommand(ctx, args, out, err);
            if (rc != 2)
                return rc;
        }
        if (command == "time") {
            const int rc = TimeCommand(ctx, args, out);
            if (rc != 2)
                return rc;
        }
        if (command == "holidays") {
            const int rc = HolidaysCommand(ctx, args, out);
            if (rc != 2)
                return rc;
        }
        if (command == "repricing")
            return RepricingCommand(ctx, args, out);
        if (command == "stats" || command == "report") {
            const int rc = command == "stats" ? StatsCommand(ctx, args, out) : ReportCommand(ctx, args, out);
            if (rc != 2)
                return rc;
        }
        if (command == "sms") {
            const int rc = SmsCommand(ctx, args, out);
            if (rc != 2)
                return rc;
        }
        if (command == "plans") {
            const int rc = PlansCommand(ctx, args, out);
            if (rc != 2)
                return rc;
        }
        if (command == "usage")
            return UsageCommand(ctx, args, out);
        if (command == "skins") {
            const int rc = SkinsCommand(ctx, args, out);
            if (rc != 2)
                return rc;
        }
        if (command == "popup") {
            const int rc = PopupCommand(ctx, args, out);
            if (rc != 2)
                return rc;
        }
        if (command == "modems" && args.size() == 1)
            return ModemsCommand(ctx, out);
        if (command == "monitor")
            return MonitorCommand(ctx, args, out);
        if (command == "dial" && args.size() == 2)
            return DialCommand(ctx, args[1], out);
        if (command == "hangup" && args.size() == 1)
            return HangUpCommand(ctx, out);
        if (command == "version") {
            out << "Quorvanta " << ctx.Env.AppVersion << "\n";
            return 0;
        }
    } catch (const std::exception& e) {
        err << "Errore: " << ReplaceAll(e.what(), "\r", "\n") << "\n";
        return 1;
    }
    err << CliUsageText();
    return 2;
}

} // namespace qv
