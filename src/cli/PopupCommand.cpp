#include "cli/PopupCommand.h"

#include "app/DataModule.h"
#include "cli/CliOptions.h"
#include "core/DateTime.h"
#include "core/Strings.h"
#include "messenger/PopupRules.h"

namespace qv {

namespace {

const char* StateText(TMsgStato s)
{
    switch (s) {
    case msSent:
        return "inviato";
    case msToSend:
        return "da inviare";
    case msSending:
        return "in invio";
    case msError:
        return "errore";
    case msTemplate:
        return "ogni giorno";
    }
    return "";
}

int Send(TCliContext& ctx, const TOptions& o, bool force, std::ostream& out)
{
    auto data = OpenData(ctx, TAccess::Write, false, true);
    TMessenger& m = data->Messenger;
    if (!m.IsActive()) {
        out << "smbclient non è installato: installa il pacchetto smbclient\n";
        return 1;
    }
    m.OnAddSignature = [&data](std::string& s) {
        s += PopupSignature(&data->Settings.SelectProfile(""), data->Agenda);
    };
    const std::string to = Trim(o.Required("to"));
    const std::string text = o.Required("text");
    const bool group = to == "*" || m.FindGroup(to) != nullptr;
    TPopupRules rules(ctx.Services(), m);
    rules.AcceptUnsendable = force;
    if (const auto daily = o.Get("daily")) {
        const auto time = ParseTimeOfDay(*daily + ":00");
        if (!time)
            throw EQvError("Orario non valido per --daily: " + *daily + " (HH:MM)");
        if (!rules.Schedule(to, group, text, ctx.Clock.Now(), *time, true))
            return 1;
        out << "Ogni giorno alle " << *daily << ", il prossimo il "
            << TPopupRules::NextSendText(rules.NextSend(ctx.Clock.Now(), *time, true)) << "\n";
        return 0;
    }
    if (o.Get("at")) {
        const double at = o.Date("at");
        if (!rules.Schedule(to, group, text, at, at, false))
            return 1;
        out << "Programmato per il " << TPopupRules::NextSendText(at) << "\n";
        return 0;
    }
    const std::size_t first = m.Msgs().Count();
    if (!rules.SendNow(to, group, text))
        return 1;
    // The new messages: sent by the once-a-second check, each on its worker.
    const auto pending = [&m, first] {
        for (std::size_t i = first; i < m.Msgs().Count(); ++i)
            if (m.Msgs()[i].Stato() == msToSend || m.Msgs()[i].Stato() == msSending)
                return true;
        return false;
    };
    const std::int64_t start = ctx.Clock.TickCount();
    ctx.Timers.Run([&] { return !pending() || ctx.Clock.TickCount() - start > 40000; });
    int failures = 0;
    for (std::size_t i = first; i < m.Msgs().Count(); ++i) {
        const TMsgItem& item = m.Msgs()[i];
        if (item.Stato() == msSent) {
            out << "Inviato a " << item.Dest() << "\n";
        } else {
            ++failures;
            out << "Impossibile inviare il messaggio a " << item.Dest() << ": " << PopupErrorText(item.ErrorCode())
                << "\n";
        }
    }
    return failures == 0 ? 0 : 1;
}

} // namespace

int PopupCommand(TCliContext& ctx, std::vector<std::string> args, std::ostream& out)
{
    if (args.size() < 2)
        return 2;
    const std::string& what = args[1];
    if (what == "send") {
        const bool force = TakeFlag(args, "--force");
        return Send(ctx, TOptions(args, 2), force, out);
    }
    if (args.size() != 2)
        return 2;
    auto data = OpenData(ctx, TAccess::Read);
    TMessenger& m = data->Messenger;
    if (what == "users") {
        for (const auto& u : m.Users())
            out << u->N() << (u->D().empty() ? "" : " - " + u->D()) << "\n";
        return 0;
    }
    if (what == "groups") {
        for (const auto& g : m.Groups()) {
            out << g->N() << ":";
            for (const auto& u : g->U())
                out << " " << u->N();
            out << "\n";
        }
        return 0;
    }
    if (what == "messages") {
        for (const auto& msg : m.Msgs()) {
            out << FormatDateTime("dd/mm/yyyy hh:nn:ss", msg->DataInvio()) << "  " << StateText(msg->Stato()) << "  "
                << msg->Dest() << "  «" << ReplaceAll(ReplaceAll(msg->Msg(), "\r", ""), "\n", " ") << "»";
            if (msg->Stato() == msError)
                out << "  " << PopupErrorText(msg->ErrorCode());
            out << "\n";
        }
        return 0;
    }
    return 2;
}

} // namespace qv
