#include "sms/Gateways.h"

#include "core/Errors.h"
#include "core/Strings.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace qv {

std::string EncodeSmsText(const std::string& text)
{
    std::string t = Utf8ToCp1252(text);
    static const std::vector<std::pair<std::string, std::string>> steps = {
        {"%", "%25"},    {"+", "%2B"},    {"=", "%3D"},    {" ", "+"},        {"?", "%3F"},   {";", "%3B"},
        {"&", "%26"},    {"\x80", "%80"}, {"$", "%24"},    {"/", "%2F"},      {"\\", "%5C"},  {"\"", "%22"},
        {"'", "%27"},    {"^", "%5E"},    {"\xB0", "%B0"}, {"\xE7", "%E7"},   {"@", "%40"},   {"\xA3", "%A3"},
        {"#", "%23"},    {"*", "%2A"},    {"\r\n", "%0D%0A"}, {"\r", "%0D"},
    };
    for (const auto& [from, to] : steps)
        t = ReplaceAll(t, from, to);
    return Cp1252ToUtf8(t);
}

std::string FillPlaceholders(const std::string& text, const std::vector<std::pair<std::string, std::string>>& values)
{
    std::string out;
    out.reserve(text.size() + 64);
    for (std::size_t i = 0; i < text.size();) {
        bool filled = false;
        if (text[i] == '<')
            for (const auto& [name, value] : values)
                if (text.compare(i, name.size(), name) == 0) {
                    out += value;
                    i += name.size();
                    filled = true;
                    break;
                }
        if (!filled)
            out += text[i++];
    }
    return out;
}

const TPropTable& TGateWayItem::Table()
{
    using T = TGateWayItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Str("Nome", &T::Nome, &T::SetNome)
                                    .Str("HostAddress", &T::HostAddress, &T::SetHostAddress)
                                    .Int("Port", &T::Port, &T::SetPort)
                                    .Str("Descrizione", &T::Descrizione, &T::SetDescrizione)
                                    .Int("MaxLength", &T::MaxLength, &T::SetMaxLength)
                                    .Str("CommandSend", &T::CommandSend, &T::SetCommandSend)
                                    .Str("CommandRegistration", &T::CommandRegistration, &T::SetCommandRegistration)
                                    .Str("SuccessSend", &T::SuccessSend, &T::SetSuccessSend)
                                    .Str("SuccessRegistration", &T::SuccessRegistration, &T::SetSuccessRegistration)
                                    .Enum("Kind", &T::Kind, &T::SetKind, {"gkSimple", "gkDouble", "gkLogin"})
                                    .Bool("Logged", &T::Logged, &T::SetLogged, false)
                                    .Str("RegistrationURL", &T::RegistrationURL, &T::SetRegistrationURL)
                                    .Str("ReferenceURL", &T::ReferenceURL, &T::SetReferenceURL)
                                    .Build();
    return t;
}

TGateWayData& TGateWayItem::Data() const
{
    return *static_cast<TGateWayData*>(FComponent);
}

THTMLControl& TGateWayItem::Control()
{
    if (!FHtml) {
        TGateWayData& d = Data();
        FHtml = std::make_shared<THTMLControl>(d.Services(), d.Http());
        // An answer for a message deleted meanwhile (or no longer being sent) is dropped.
        FHtml->OnResult = [this](const void* sender, const std::string& text) {
            if (TSmsMsgItem* m = Sending(sender))
                Guarded(*m, [&] { Answer(*m, text); });
        };
        FHtml->OnError = [this](const void* sender, const std::string& text) {
            if (TSmsMsgItem* m = Sending(sender))
                Guarded(*m, [&] { Failure(*m, text); });
        };
    }
    return *FHtml;
}

void TGateWayItem::SetHostAddress(const std::string& v)
{
    if (v == FHostAddress)
        return;
    FHostAddress = v;
    MarkChanged();
    if (FComponent)
        Control().SetHost(v);
}

void TGateWayItem::SetPort(std::int32_t v)
{
    if (v == FPort)
        return;
    FPort = v;
    MarkChanged();
    if (FComponent)
        Control().SetPort(v);
}

void TGateWayItem::SetReferenceURL(const std::string& v)
{
    if (v == FReferenceURL)
        return;
    FReferenceURL = v;
    MarkChanged();
    if (FComponent)
        Control().ReferenceURL = v;
}

bool TGateWayItem::Logged() const
{
    if (Kind() == gkSimple || Trim(CommandRegistration()).empty())
        return true;
    return FLogged;
}

void TGateWayItem::SetLogged(bool v)
{
    if (v == FLogged)
        return;
    FLogged = v;
    MarkChanged();
}

int TGateWayItem::Position() const
{
    const auto& list = Data().GateWays();
    return static_cast<int>(list.IndexOf(this));
}

TSmsMsgItem* TGateWayItem::Sending(const void* sender)
{
    TSmsMsgItems& list = Data().Messages().SmsMsg();
    const auto* wanted = static_cast<const TSmsMsgItem*>(sender);
    const std::size_t at = list.IndexOf(wanted);
    if (at == list.Count() || list[at].K() != ssSending)
        return nullptr;
    return &list[at];
}

void TGateWayItem::Guarded(TSmsMsgItem& message, const std::function<void()>& step)
{
    // Whatever goes wrong with one message fails that message only.
    try {
        step();
    } catch (const std::exception& e) {
        Failed(message, e.what());
    }
}

std::string TGateWayItem::Invalid() const
{
    if (Trim(Nome()).empty())
        return "manca il nome";
    const THttpSite site = ParseSite(HostAddress(), Port());
    if (Trim(site.Host).empty())
        return "manca l'host";
    if (site.Scheme != "http" && site.Scheme != "https")
        return "l'host deve iniziare con http:// o https:// (o con il nome del sito)";
    if (Port() < 1 || Port() > 65535)
        return "la porta deve essere tra 1 e 65535";
    if (MaxLength() < 1)
        return "la lunghezza massima deve essere almeno 1";
    return {};
}

std::string TGateWayItem::FillLogin() const
{
    // The account goes into the form encoded as the text is: "&", "+", "%" and blanks arrive whole.
    return FillPlaceholders(CommandRegistration(),
                            {{"<UserName>", EncodeSmsText(UserName)}, {"<Password>", EncodeSmsText(Password)}});
}

std::string TGateWayItem::FillCommand(TSmsMsgItem& message) const
{
    std::string number = message.N(), i = message.I(), z = message.Z();
    SplitNumber(number, i, z);
    message.SetI(i);
    message.SetZ(z);
    // Each placeholder of the template is filled once: a "<Password>" typed in the text stays text.
    return FillPlaceholders(CommandSend(), {{"<PrefixInt>", i},
                                            {"<PrefixLoc>", z},
                                            {"<Number>", number},
                                            {"<Msg>", EncodeSmsText(message.T())},
                                            {"<UserName>", EncodeSmsText(UserName)},
                                            {"<Password>", EncodeSmsText(Password)}});
}

bool TGateWayItem::IsConfigured()
{
    Data().LoadCredentials(*this);
    return !Trim(CommandSend()).empty();
}

bool TGateWayItem::HasCredentials()
{
    Data().LoadCredentials(*this);
    switch (Kind()) {
    case gkSimple:
    case gkDouble:
        return true;
    case gkLogin:
        return !Trim(UserName).empty() && !Trim(Password).empty();
    }
    return false;
}

void TGateWayItem::Send(TSmsMsgItem& message)
{
    if (const std::string why = Invalid(); !why.empty()) {
        Failed(message, "Il GateWay " + Nome() + " non è valido: " + why);
        return;
    }
    if (Trim(message.T()).empty()) {
        Failed(message, "Il messaggio è vuoto");
        return;
    }
    message.SetE("");
    message.SetK(ssSending);
    message.Step = 0;
    // Recorded before the request goes out: a message found "in invio" at the next start was
    // perhaps delivered, and is never sent again by itself.
    Data().SaveMessages();
    THTMLControl& html = Control();
    html.SetHost(FHostAddress);
    html.SetPort(FPort);
    switch (Kind()) {
    case gkDouble:
        message.Step = 1;
        [[fallthrough]];
    case gkSimple:
        html.PostRequest(Utf8ToCp1252(FillCommand(message)), &message);
        return;
    case gkLogin:
        if (Logged()) {
            html.PostRequest(Utf8ToCp1252(FillCommand(message)), &message);
            return;
        }
        if (std::find(Waiting.begin(), Waiting.end(), &message) == Waiting.end())
            Waiting.push_back(&message);
        if (!LoginRunning) {
            LoginRunning = true;
            html.PostRequest(Utf8ToCp1252(FillLogin()), &message);
        }
        return;
    }
    Failed(message, "Tipo di GateWay non implementato!");
}

void TGateWayItem::Sent(TSmsMsgItem& message)
{
    message.SetK(ssSent);
    message.SetL(Data().Services().Clk.Now());
    message.SetS(message.S() + 1);
    Data().SaveMessages();
    Data().Notify(true, message);
}

void TGateWayItem::Failed(TSmsMsgItem& message, const std::string& text)
{
    message.SetE(text);
    message.SetK(ssError);
    Data().SaveMessages();
    Data().Notify(false, message);
}

void TGateWayItem::Answer(TSmsMsgItem& message, const std::string& text)
{
    message.SetResultHTTP(text);
    const auto found = [&text](const std::string& wanted) {
        return wanted.empty() || text.find(wanted) != std::string::npos;
    };
    if (Kind() == gkDouble) {
        if (message.Step == 1) {
            if (!found(SuccessSend())) {
                Failed(message, "Risposta http errata: stringa di invio con successo non trovata! [" + SuccessSend() + "]");
                return;
            }
            message.Step = 2;
            Control().ReferenceURL = DoubleStepReferrer;
            Control().PostRequest(Utf8ToCp1252(FillLogin()), &message);
            return;
        }
        if (found(SuccessRegistration()))
            Sent(message);
        else
            Failed(message,
                   "Risposta http errata: stringa di invio con successo non trovata! [" + SuccessRegistration() + "]");
        return;
    }
    if (Logged()) {
        if (found(SuccessSend()))
            Sent(message);
        else
            Failed(message, "Risposta http errata: stringa di invio con successo non trovata! [" + SuccessSend() + "]");
        return;
    }
    // The answer to the login: the messages still waiting (none deleted meanwhile) go, or fail.
    const std::vector<TSmsMsgItem*> waiting = TakeWaiting();
    if (found(SuccessRegistration())) {
        SetLogged(true);
        for (TSmsMsgItem* m : waiting)
            Guarded(*m, [&] { Control().PostRequest(Utf8ToCp1252(FillCommand(*m)), m); });
    } else {
        for (TSmsMsgItem* m : waiting)
            Failed(*m, "Risposta http errata: stringa di registrazione con successo non trovata! [" +
                           SuccessRegistration() + "]. \rControllare le credenziali specificate");
    }
}

std::vector<TSmsMsgItem*> TGateWayItem::TakeWaiting()
{
    LoginRunning = false;
    std::vector<TSmsMsgItem*> waiting;
    for (TSmsMsgItem* m : Waiting)
        if (TSmsMsgItem* still = Sending(m))
            waiting.push_back(still);
    Waiting.clear();
    return waiting;
}

void TGateWayItem::Failure(TSmsMsgItem& message, const std::string& text)
{
    // A login that fails at the network level fails every message waiting for it, at once.
    if (Kind() == gkLogin && LoginRunning && !Logged()) {
        for (TSmsMsgItem* m : TakeWaiting())
            Failed(*m, text);
        if (message.K() == ssSending)
            Failed(message, text);
        return;
    }
    Failed(message, text);
}

TGateWayData::TGateWayData(TServices& services, IHttpTransport& http, TSettings& settings, TSmsData& messages)
    : TPersistentComponent(services, "TGateWayData"), FHttp(http), FSettings(settings), FMessages(messages)
{
    FMessages.Dispatch = [this](TSmsMsgItem& m) { SendSms(m); };
}

TGateWayData::~TGateWayData()
{
    FMessages.Dispatch = nullptr;
    SaveIfModified();
}

const TPropTable& TGateWayData::Table()
{
    using T = TGateWayData;
    static const TPropTable t = TPropBuilder<T>(&TPersistentComponent::Table()).Collection("GateWays", &T::GateWays).Build();
    return t;
}

void TGateWayData::AfterLoad()
{
    if (FGateWays.Count() == 0) {
        FGateWays.Clear();
        SetModified(true);
    }
}

TGateWayItem& TGateWayData::Add(const std::string& name)
{
    TGateWayItem& g = FGateWays.Add();
    g.SetNome(name);
    return g;
}

void TGateWayData::DeleteGateWay(std::size_t index)
{
    if (index >= FGateWays.Count())
        return;
    // Accounts follow their gateway's position: the deleted one's goes, the later ones move up.
    const int position = static_cast<int>(index);
    TGateWayCredentials& credentials = FSettings.GateWayCredentials();
    credentials.RemoveIf([position](const TGateWayCredentialItem& c) { return c.GateWayIndex() == position; });
    for (auto& c : credentials)
        if (c->GateWayIndex() > position)
            c->SetGateWayIndex(c->GateWayIndex() - 1);
    FGateWays.Delete(index);
}

void TGateWayData::ClearGateWays()
{
    FGateWays.Clear();
    FSettings.GateWayCredentials().Clear();
}

void TGateWayData::Notify(bool success, TSmsMsgItem& message)
{
    if (FMessages.OnSendResult)
        FMessages.OnSendResult(success, message);
}

void TGateWayData::SaveMessages()
{
    FMessages.SetModified(true);
    FMessages.Save();
}

void TGateWayData::ResetLogins()
{
    // A new dialogue: a new session (its cookies go with the old connection), nobody waiting.
    for (auto& g : FGateWays)
        if (g->Kind() == gkLogin) {
            g->SetLogged(false);
            g->LoginRunning = false;
            g->Waiting.clear();
            if (g->Html())
                g->Html()->CloseConnection();
            LoadCredentials(*g);
        }
}

void TGateWayData::SendSms(TSmsMsgItem& message)
{
    if (message.G() < 0 || static_cast<std::size_t>(message.G()) >= FGateWays.Count()) {
        message.SetK(ssError);
        message.SetE("L'indice GateWay " + std::to_string(message.G()) + " non esiste!");
        Notify(false, message);
        return;
    }
    TGateWayItem& g = FGateWays[static_cast<std::size_t>(message.G())];
    LoadCredentials(g);
    // A gateway that cannot be used fails this message only; the queue goes on.
    try {
        g.Send(message);
    } catch (const std::exception& e) {
        message.SetE(e.what());
        message.SetK(ssError);
        SaveMessages();
        Notify(false, message);
    }
}

bool TGateWayData::CheckConfigured(TGateWayItem& gateway)
{
    if (gateway.IsConfigured())
        return true;
    ShowError(FServices.Prompter, "Il GateWay " + gateway.Nome() +
                                      " non è configurato!\r\rControllare che sia stato specificato un comando GET per "
                                      "l'invio!");
    return false;
}

bool TGateWayData::LoadCredentials(TGateWayItem& gateway)
{
    const int position = gateway.Position();
    for (const auto& c : FSettings.GateWayCredentials())
        if (c->GateWayIndex() == position) {
            gateway.UserName = c->UserName();
            gateway.Password = c->Password();
            return true;
        }
    return false;
}

void TGateWayData::SetCredentials(TGateWayItem& gateway, const std::string& user, const std::string& password)
{
    gateway.UserName = user;
    gateway.Password = password;
    const int position = gateway.Position();
    for (auto& c : FSettings.GateWayCredentials())
        if (c->GateWayIndex() == position) {
            c->SetUserName(user);
            c->SetPassword(password);
            return;
        }
    TGateWayCredentialItem& c = FSettings.GateWayCredentials().Add();
    c.SetGateWayIndex(position);
    c.SetUserName(user);
    c.SetPassword(password);
}

namespace {

struct TIniSection
{
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Entries; // in file order; value after the first "="
    std::vector<std::string> Lines;                            // whole entry lines, in file order
    std::string Get(const std::string& key, const std::string& def = {}) const
    {
        for (const auto& [k, v] : Entries)
            if (SameText(k, key))
                return v;
        return def;
    }
};

std::vector<TIniSection> ParseIni(const std::string& text)
{
    std::vector<TIniSection> sections;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::string t = Trim(line);
        if (t.empty() || t[0] == ';')
            continue;
        if (t.front() == '[' && t.back() == ']') {
            sections.push_back({t.substr(1, t.size() - 2), {}, {}});
            continue;
        }
        if (sections.empty())
            continue;
        const auto eq = t.find('=');
        sections.back().Lines.push_back(t);
        if (eq != std::string::npos)
            sections.back().Entries.emplace_back(Trim(t.substr(0, eq)), t.substr(eq + 1));
    }
    return sections;
}

std::string ReadFileText(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw EQvError("Impossibile aprire il file " + file);
    std::stringstream ss;
    ss << in.rdbuf();
    return Cp1252ToUtf8(ss.str());
}

int IntOr(const std::string& text, int def)
{
    const auto v = ReadInteger(text);
    return v ? *v : def;
}

} // namespace

int TGateWayData::ImportIniText(const std::string& text)
{
    Refused.clear();
    int count = 0;
    for (const TIniSection& s : ParseIni(text)) {
        TGateWayItem& g = Add(s.Name);
        g.SetKind(gkSimple);
        g.SetDescrizione(s.Get("Descrizione"));
        g.SetPort(IntOr(s.Get("Port"), 80));
        g.SetMaxLength(IntOr(s.Get("MaxLength"), 160));
        g.SetHostAddress(s.Get("HostAddress"));
        g.SetCommandSend(s.Get("CommandSend"));
        g.SetSuccessSend(s.Get("SuccessSend"));
        g.SetReferenceURL(s.Get("ReferenceURL"));
        if (KeepImported(g))
            ++count;
    }
    if (count)
        SetModified(true);
    return count;
}

bool TGateWayData::KeepImported(TGateWayItem& gateway)
{
    const std::string why = gateway.Invalid();
    if (why.empty())
        return true;
    Refused.push_back("«" + gateway.Nome() + "»: " + why);
    FGateWays.Delete(FGateWays.IndexOf(&gateway));
    return false;
}

int TGateWayData::ImportIni(const std::string& file)
{
    try {
        return ImportIniText(ReadFileText(file));
    } catch (const std::exception& e) {
        throw EQvError(std::string("Importazione fallita: ") + e.what());
    }
}

void TGateWayData::ExportIni(const std::string& file)
{
    std::string text;
    for (const auto& g : FGateWays) {
        text += "[" + g->Nome() + "]\r\n";
        text += "Descrizione=" + g->Descrizione() + "\r\n";
        text += "Port=" + std::to_string(g->Port()) + "\r\n";
        text += "MaxLength=" + std::to_string(g->MaxLength()) + "\r\n";
        text += "HostAddress=" + g->HostAddress() + "\r\n";
        text += "CommandSend=" + g->CommandSend() + "\r\n";
        text += "SuccessSend=" + g->SuccessSend() + "\r\n";
        text += "ReferenceURL=" + g->ReferenceURL() + "\r\n";
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    const std::string bytes = Utf8ToCp1252(text);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw EQvError("Esportazione fallita: impossibile scrivere il file " + file);
}

int TGateWayData::ImportWebgateText(const std::string& text)
{
    Refused.clear();
    int count = 0;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // Inside "*<<" … ">>*" a "*" is data, not a field end.
        const auto open = line.find("*<<");
        const auto close = open == std::string::npos ? std::string::npos : line.find(">>*", open + 3);
        if (open != std::string::npos && close != std::string::npos)
            for (std::size_t i = open + 3; i < close; ++i)
                if (line[i] == '*')
                    line[i] = '$';
        std::vector<std::string> fields;
        std::size_t from = 0, star;
        while ((star = line.find('*', from)) != std::string::npos) {
            fields.push_back(line.substr(from, star - from));
            from = star + 1;
        }
        if (fields.size() < 10)
            continue;
        const std::string name = Trim(fields[0]);
        std::string referrer;
        if (const auto r = fields[1].find("Referer: "); r != std::string::npos) {
            referrer = fields[1].substr(r + 9);
            if (const auto end = referrer.find("\xC3\x97"); end != std::string::npos) // "×"
                referrer = referrer.substr(0, end);
        }
        std::string site = fields[2];
        if (const auto slashes = site.find("//"); slashes != std::string::npos)
            site = site.substr(slashes + 2);
        const auto hostEnd = site.find_first_of("/:");
        const std::string host = site.substr(0, hostEnd);
        std::string path;
        if (const auto slash = site.find('/'); slash != std::string::npos)
            path = site.substr(slash + 1);
        std::string vars = fields[5];
        for (const auto& [from2, to] : std::vector<std::pair<std::string, std::string>>{
                 {"%i", "<PrefixInt>"}, {"%p", "<PrefixLoc>"}, {"%n", "<Number>"}, {"%b", "<Msg>"}, {"%m", "me"}})
            vars = ReplaceAll(vars, from2, to);
        const int maxLength = Trim(fields[9]) == "?" ? 999 : IntOr(fields[9], 0);
        if (name.empty() || host.empty() || maxLength <= 0)
            continue;
        TGateWayItem& g = Add(name);
        g.SetReferenceURL(referrer);
        g.SetHostAddress(host);
        g.SetPort(IntOr(fields[3], 80));
        g.SetCommandSend(path + "?" + vars);
        g.SetSuccessSend(fields[6]);
        g.SetDescrizione(fields[8]);
        g.SetMaxLength(maxLength);
        if (KeepImported(g))
            ++count;
    }
    if (count)
        SetModified(true);
    return count;
}

int TGateWayData::ImportSettingsCfgText(const std::string& text)
{
    Refused.clear();
    int count = 0;
    for (const TIniSection& s : ParseIni(text)) {
        std::string mode = s.Get("#mode");
        for (char& c : mode)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (Trim(mode) != "HTTPPOST")
            continue;
        std::string command = s.Get("#page");
        bool first = true;
        for (const std::string& entry : s.Lines) {
            if (!entry.empty() && entry[0] == '#')
                continue;
            command += (first ? "?" : "&") + entry;
            first = false;
        }
        for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
                 {"<intpref>", "<PrefixInt>"}, {"<oppref>", "<PrefixLoc>"}, {"<number>", "<Number>"},
                 {"<text>", "<Msg>"}, {"<sender>", "me"}})
            command = ReplaceAll(command, from, to);
        TGateWayItem& g = Add(s.Name);
        g.SetDescrizione("By Zantor");
        g.SetPort(IntOr(s.Get("#port"), 80));
        g.SetHostAddress(s.Get("#address"));
        g.SetCommandSend(command);
        g.SetMaxLength(IntOr(s.Get("#chars"), 999));
        g.SetSuccessSend(s.Get("#okstring"));
        g.SetReferenceURL(s.Get("#reference"));
        if (KeepImported(g))
            ++count;
    }
    if (count)
        SetModified(true);
    return count;
}

int TGateWayData::ImportForeign(const std::string& file, bool clear)
{
    std::string name = file.substr(file.find_last_of('/') + 1);
    name = LowerCase(name);
    if (name != "webgate.ini" && name != "settings.cfg")
        return 0;
    // Read first: a file that cannot be read leaves the list as it was.
    const std::string text = ReadFileText(file);
    if (clear)
        ClearGateWays();
    return name == "webgate.ini" ? ImportWebgateText(text) : ImportSettingsCfgText(text);
}

} // namespace qv
