#include "cli/TimeCommand.h"

#include "core/DateTime.h"
#include "core/Errors.h"
#include "core/Functions.h"
#include "platform/linux/TcpTimeTransport.h"
#include "platform/linux/Modules.h"
#include "tariffs/Settings.h"

#include <cmath>
#include <cstdlib>

namespace qv {

int TimeCommand(TCliContext& ctx, const std::vector<std::string>& args, std::ostream& out)
{
    if (args.size() < 2 || args[1] != "check")
        return 2;
    std::string server;
    bool set = false, force = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--set")
            set = true;
        else if (args[i] == "--force")
            force = true;
        else if (args[i] == "--server" && i + 1 < args.size())
            server = args[++i];
        else
            throw EQvError("Argomento non valido: " + args[i]);
    }
    if (server.empty()) {
        // The program's setting, read without writing anything.
        ctx.Files.ReadOnly = true;
        TSettings settings(ctx.Services());
        settings.SetFileName("Settings.dat");
        server = settings.TimeServer().empty() ? TInternetTime::DefaultServer : settings.TimeServer();
    }
    TTcpTimeTransport transport(ctx.Timers);
    TInternetTime client(ctx.Services(), transport);
    client.SetTimeOut(20000);
    bool done = false;
    std::string error;
    client.OnReceiveTime = [&](double, double) { done = true; };
    client.OnTimeError = [&](const std::string& e) {
        error = e;
        done = true;
    };
    client.Host = server;
    out << "Time server: " << server << "\n";
    client.StartCheck();
    ctx.Timers.Run([&] { return done; });
    if (!error.empty())
        throw EQvError(error);
    const double delta = client.DeltaTime();
    const double localOffset = ctx.Clock.Now() - ctx.Clock.UtcNow();
    const double serverLocal = ctx.Clock.UtcNow() + delta + localOffset;
    const bool exact = std::abs(delta) <= ExactClockBound();
    out << "Ora del time server: " << FormatDateTime("dddd d mmmm yyyy hh:nn:ss", serverLocal) << "\n";
    if (exact)
        out << "Il computer segna già l'ora esatta!\n";
    else
        out << "Differenza: " << (delta >= 0 ? "+" : "-") << FormatDurationLong(std::abs(delta)) << " ("
            << (delta >= 0 ? "il computer è indietro" : "il computer è avanti") << ")\n";
    out << "Ritardo della risposta: " << std::llround(client.DelayTime() * 86400000.0) << " ms\n";
    if (!set || exact)
        return 0;
    // The answer is not authenticated: a large move is made only when asked for twice.
    if (std::abs(delta) > MaxSilentCorrection && !force)
        throw EQvError("La differenza supera " + FormatDurationLong(MaxSilentCorrection) +
                       ": l'orario non è stato modificato.\rSe l'ora del time server è giusta, ripetere con --set --force");
    const auto setter = modules::ClockSetter();
    const std::string why = setter->ShiftClock(std::llround(delta * 86400.0 * 1e6));
    if (!why.empty())
        throw EQvError(ClockRefusalText(why));
    out << "Aggiornata l'ora di sistema: " << FormatDateTime("dddd d mmmm yyyy h:nn", ctx.Clock.Now())
        << "\nCorrezione effettuata: " << (delta >= 0 ? "+" : "-") << FormatDurationLong(std::abs(delta)) << "\n";
    return 0;
}

} // namespace qv
