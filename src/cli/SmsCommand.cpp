#include "cli/SmsCommand.h"

#include "app/DataModule.h"
#include "cli/CliOptions.h"
#include "core/Errors.h"
#include "core/Strings.h"

#include <fstream>
#include <iostream>

namespace qv {

namespace {

const char* StateText(TSmsStato s)
{
    switch (s) {
    case ssSent:
        return "inviato";
    case ssToSend:
        return "da inviare";
    case ssSending:
        return "in invio";
    case ssError:
        return "errore";
    case ssSuspended:
        return "sospeso";
    }
    return "";
}

std::string MessageLine(const TSmsMsgItem& m)
{
    std::string line = std::string(StateText(m.K())) + "  " + m.R() + " " + m.NumberDisplay() + "  «" + m.T() +
                       "»  " + m.DateText() + " " + m.TimeText() + "  [" + std::to_string(m.S()) + "]";
    if (!m.E().empty())
        line += "  " + ReplaceAll(m.E(), "\r", " ");
    return line;
}

int GatewayIndex(TGateWayData& g, const std::string& which)
{
    if (const auto n = ReadInteger(which); n && *n >= 0)
        return *n;
    for (std::size_t i = 0; i < g.GateWays().Count(); ++i)
        if (SameText(g.GateWays()[i].Nome(), which))
            return static_cast<int>(i);
    throw EQvError("Gateway sconosciuto: " + which);
}

// Runs the loop until no message of the list is being sent (70 s at most).
void WaitForAnswers(TCliContext& ctx, TSmsData& sms)
{
    const std::int64_t start = ctx.Clock.TickCount();
    ctx.Timers.Run([&] { return sms.CountSending() == 0 || ctx.Clock.TickCount() - start > 70000; });
}

// A whole number given on the command line, or an error naming the option.
int WholeOption(const TOptions& o, const std::string& name, int fallback)
{
    const auto text = o.Get(name);
    if (!text)
        return fallback;
    const auto n = ReadInteger(Trim(*text));
    if (!n || !IsNumeric(Trim(*text)))
        throw EQvError("Valore non valido per --" + name + ": " + *text);
    return *n;
}

// The password of --password, or of --password-file (a file, or "-" for the standard input): its
// first line, so that the password need not be on the command line.
std::string PasswordOption(const TOptions& o)
{
    const auto file = o.Get("password-file");
    if (!file)
        return o.Required("password");
    std::string line;
    if (*file == "-") {
        std::getline(std::cin, line);
    } else {
        std::ifstream in(*file);
        if (!in)
            throw EQvError("Impossibile leggere il file della password: " + *file);
        std::getline(in, line);
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

int Gateways(TCliContext& ctx, const std::vector<std::string>& args, std::ostream& out)
{
    const std::string what = args.size() > 2 ? args[2] : "";
    if (what == "list") {
        auto data = OpenData(ctx, TAccess::Read);
        int i = 0;
        for (const auto& g : data->GateWays.GateWays())
            out << i++ << "  " << g->Nome() << "  " << g->HostAddress() << ":" << g->Port() << "  max "
                << g->MaxLength() << (g->Kind() == gkLogin ? "  (con account)" : "") << "\n";
        return 0;
    }
    auto data = OpenData(ctx, TAccess::Write);
    TGateWayData& g = data->GateWays;
    if (what == "add") {
        const TOptions o(args, 3);
        const int port = WholeOption(o, "port", 80);
        const int max = WholeOption(o, "max", 160);
        TGateWayItem& item = g.Add(o.Required("name"));
        item.SetHostAddress(o.Required("host"));
        item.SetPort(port);
        item.SetCommandSend(o.Required("send"));
        item.SetSuccessSend(o.Get("success").value_or(""));
        item.SetMaxLength(max);
        item.SetReferenceURL(o.Get("referrer").value_or(""));
        if (const std::string why = item.Invalid(); !why.empty()) {
            g.DeleteGateWay(static_cast<std::size_t>(item.Position()));
            throw EQvError("I dati non sono corretti: " + why);
        }
        if (const auto login = o.Get("login")) {
            item.SetKind(gkLogin);
            item.SetCommandRegistration(*login);
            item.SetSuccessRegistration(o.Get("login-success").value_or(""));
            g.SetCredentials(item, o.Required("user"), PasswordOption(o));
        }
        out << "Aggiunto il gateway " << item.Nome() << " [" << item.Position() << "]\n";
        return 0;
    }
    if (args.size() != 4)
        return 2;
    if (what == "import-ini") {
        out << "Importati ben " << g.ImportIni(args[3]) << " gateway SMS!\n";
        for (const std::string& r : g.Refused)
            ShowWarning(ctx.Prompter, "Gateway non importato " + r);
        return 0;
    }
    if (what == "export-ini") {
        g.ExportIni(args[3]);
        out << "Gateway esportati in " << args[3] << "\n";
        return 0;
    }
    if (what == "import-foreign") {
        if (data->SmsData.HasOutgoing())
            throw EQvError("Per importare il file di gateway SMS non devono esserci SMS in uscita!");
        out << "Importati ben " << g.ImportForeign(args[3], false) << " gateway SMS!\n";
        for (const std::string& r : g.Refused)
            ShowWarning(ctx.Prompter, "Gateway non importato " + r);
        return 0;
    }
    return 2;
}

int Contacts(TCliContext& ctx, const std::vector<std::string>& args, std::ostream& out)
{
    const std::string what = args.size() > 2 ? args[2] : "";
    if (what == "list") {
        auto data = OpenData(ctx, TAccess::Read);
        for (const auto& c : data->PhoneBook.SmsNumbers())
            out << c->DisplayWithNumber() << "  +" << c->Q() << "  " << (c->B().empty() ? "Amichetti" : c->B()) << "\n";
        return 0;
    }
    auto data = OpenData(ctx, TAccess::Write);
    TPhoneBookData& book = data->PhoneBook;
    if (what == "add") {
        const TOptions o(args, 3);
        std::string number = Trim(o.Required("number"));
        // "+39..." as in send: the international form of the number.
        if (!number.empty() && number[0] == '+')
            number = number.substr(1);
        std::string q = Trim(o.Get("int").value_or("39")), r = Trim(o.Get("loc").value_or(""));
        // The international prefix as the contact window checks it.
        if (q.empty() || q.find_first_not_of("0123456789") != std::string::npos)
            throw EQvError("I dati non sono corretti!\r\rI numeri inseriti non sono numeri!!!");
        if (q[0] == '0')
            throw EQvError("Il prefisso internazionale deve essere inserito senza zero!\r\rEsempio: 39");
        SplitNumber(number, q, r);
        const std::string all = q + r + number;
        if (all.find_first_not_of("0123456789") != std::string::npos)
            throw EQvError("I dati non sono corretti!\r\rI numeri inseriti non sono numeri!!!");
        TSmsNumbersItem& c = book.AddContact(q, r, number, o.Get("name").value_or(""), o.Get("group").value_or(""),
                                             o.Get("description").value_or(""));
        out << "Aggiunto " << c.DisplayWithNumber() << "\n";
        return 0;
    }
    if (what == "import" && args.size() >= 4) {
        const TOptions o(args, 4);
        const int n = book.ImportContacts(args[3], o.Get("group").value_or(""));
        out << "Importati ben " << n << " amichetti dal file " << args[3] << "\n";
        return 0;
    }
    if (what == "export" && args.size() == 4) {
        book.ExportContacts(args[3]);
        out << "I contatti sono stati esportati con successo in " << args[3] << "\n";
        return 0;
    }
    return 2;
}

int Send(TCliContext& ctx, std::vector<std::string> args, std::ostream& out)
{
    const bool queue = TakeFlag(args, "--queue");
    const bool force = TakeFlag(args, "--force");
    const TOptions o(args, 2);
    auto data = OpenData(ctx, TAccess::Write);
    TGateWayData& g = data->GateWays;
    const int index = GatewayIndex(g, o.Required("gateway"));
    if (index >= static_cast<int>(g.GateWays().Count()))
        throw EQvError("L'indice GateWay " + std::to_string(index) + " non esiste!");
    TGateWayItem& gateway = g.GateWays()[static_cast<std::size_t>(index)];
    if (!g.CheckConfigured(gateway))
        return 1;
    if (!gateway.HasCredentials())
        throw EQvError("Il gateway " + gateway.Nome() + " richiede nome utente e password (sms gateways add --user)");
    const std::string text = o.Required("text");
    if (Trim(text).empty())
        throw EQvError("Se non è troppo disturbo compila il messaggino... magari!");
    const std::string to = Trim(o.Required("to"));
    TSmsNumbersItem* contact = data->PhoneBook.FindContact(to);
    if (!contact) {
        if (to.find_first_not_of("+0123456789") != std::string::npos)
            throw EQvError("Contatto sconosciuto: " + to);
        std::string number = to[0] == '+' ? to.substr(1) : to, q = "39", r;
        SplitNumber(number, q, r);
        contact = &data->PhoneBook.AddContact(q, r, number, "", "", "");
    }
    // Characters the gateway cannot carry are named before anything is sent.
    if (const std::string missing = NotInCp1252(text); !missing.empty() && !force)
        throw EQvError("Questi caratteri non possono essere inviati: «" + missing +
                       "» (arriverebbero come «?»); --force per inviare comunque");
    // The gateway's limit holds for the text, and a cut is told.
    const auto limit = static_cast<std::size_t>(std::max(0, gateway.MaxLength()));
    if (Utf8Length(text) > limit)
        ShowWarning(ctx.Prompter, "Il testo supera i " + std::to_string(limit) + " caratteri del gateway " +
                                      gateway.Nome() + ": è stato tagliato");
    TSmsMsgItem& m = data->SmsData.FindOrAddMessage(*contact, Utf8Left(text, limit));
    m.SetG(index);
    m.SetK(ssToSend);
    if (queue) {
        out << "In coda: " << MessageLine(m) << "\n";
        return 0;
    }
    g.SendSms(m);
    WaitForAnswers(ctx, data->SmsData);
    out << MessageLine(m) << "\n";
    return m.K() == ssSent ? 0 : 1;
}

} // namespace

int SmsCommand(TCliContext& ctx, std::vector<std::string> args, std::ostream& out)
{
    if (args.size() < 2)
        return 2;
    const std::string& what = args[1];
    if (what == "gateways")
        return Gateways(ctx, args, out);
    if (what == "contacts")
        return Contacts(ctx, args, out);
    if (what == "send")
        return Send(ctx, args, out);
    if (what == "messages" && args.size() == 2) {
        auto data = OpenData(ctx, TAccess::Read);
        for (const auto& m : data->SmsData.SmsMsg())
            out << MessageLine(*m) << "\n";
        return 0;
    }
    if (what == "queue") {
        const bool send = TakeFlag(args, "--send");
        auto data = OpenData(ctx, send ? TAccess::Write : TAccess::Read);
        out << "Messaggi da inviare: " << data->SmsData.CountToSend() << "\n";
        if (!send)
            return 0;
        data->SmsData.SendQueued();
        WaitForAnswers(ctx, data->SmsData);
        int failures = 0;
        for (const auto& m : data->SmsData.SmsMsg())
            if (m->K() == ssError)
                ++failures;
        for (const auto& m : data->SmsData.SmsMsg())
            out << MessageLine(*m) << "\n";
        return failures == 0 ? 0 : 1;
    }
    return 2;
}

} // namespace qv
