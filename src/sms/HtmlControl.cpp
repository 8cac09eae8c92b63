#include "sms/HtmlControl.h"

#include "core/Errors.h"
#include "core/Strings.h"

#include <algorithm>

namespace qv {

THTMLControl::THTMLControl(TServices& services, IHttpTransport& transport) : FServices(services), FTransport(transport)
{
}

THTMLControl::~THTMLControl()
{
    *FAbort = true;
    for (auto& w : FWorkers)
        if (w.joinable())
            w.join();
}

void THTMLControl::SetHost(const std::string& value)
{
    if (value == FHost)
        return;
    FHost = value;
    CloseConnection();
}

void THTMLControl::SetPort(int value)
{
    if (value == FPort)
        return;
    FPort = value;
    CloseConnection();
}

void THTMLControl::CloseConnection()
{
    FConnection.reset();
}

void THTMLControl::Connect()
{
    if (Trim(FHost).empty())
        throw EQvError("Impossibile connettersi: nessun host specificato");
    CloseConnection();
    if (Port() < 0 || Port() > 65535)
        throw EQvError("Porta fuori intervallo: " + std::to_string(Port()));
    int code = 0;
    std::string text;
    FConnection = FTransport.Connect(FHost, Port(), User, Password, code, text);
    if (!FConnection)
        throw EQvError("Impossibile connettersi all'host: " + FHost + " fallita la InternetConnect: errore " +
                       std::to_string(code) + (text.empty() ? "" : " [" + text + "]"));
}

void THTMLControl::Prepare()
{
    if (!FConnection)
        Connect();
    if (OnStartRequest)
        OnStartRequest();
}

std::string THTMLControl::WithCrLf(const std::string& body)
{
    std::string out;
    out.reserve(body.size() + body.size() / 16 + 2);
    std::size_t i = 0;
    while (i < body.size()) {
        const std::size_t end = body.find_first_of("\r\n", i);
        if (end == std::string::npos) {
            out.append(body, i, std::string::npos);
            out += "\r\n";
            break;
        }
        out.append(body, i, end - i);
        out += "\r\n";
        i = end + (body[end] == '\r' && end + 1 < body.size() && body[end + 1] == '\n' ? 2 : 1);
    }
    return out;
}

void THTMLControl::PostRequest(const std::string& command, const void* sender)
{
    Prepare();
    THttpRequest r;
    r.Method = "POST";
    const auto q = command.find('?');
    r.Path = q == std::string::npos ? command : command.substr(0, q);
    r.Body = q == std::string::npos ? command : command.substr(q + 1);
    r.Referrer = ReferenceURL;
    Start(std::move(r), sender);
}

void THTMLControl::GetRequest(const std::string& path, const void* sender)
{
    try {
        Prepare();
        THttpRequest r;
        r.Method = "GET";
        r.Path = path;
        r.Referrer = ReferenceURL;
        Start(std::move(r), sender);
    } catch (const std::exception& e) {
        if (OnError)
            OnError(this, std::string("Fallita la GetRequest ") + e.what());
    }
}

void THTMLControl::Start(THttpRequest request, const void* sender)
{
    // A few connections per site at once: a long queue waits instead of opening one per message.
    if (FRunning >= MaxParallel) {
        FQueue.push_back({std::move(request), sender});
        return;
    }
    Run(std::move(request), sender);
}

void THTMLControl::Run(THttpRequest request, const void* sender)
{
    // Workers that ended are joined as new ones start.
    FWorkers.erase(std::remove_if(FWorkers.begin(), FWorkers.end(),
                                  [](std::thread& t) {
                                      return !t.joinable();
                                  }),
                   FWorkers.end());
    if (!FConnection) { // closed while the request waited its turn
        try {
            Connect();
        } catch (const std::exception& e) {
            if (OnError)
                OnError(sender, e.what());
            return;
        }
    }
    ++FRunning;
    auto connection = FConnection;
    auto abort = FAbort;
    FWorkers.emplace_back([this, connection, abort, request = std::move(request), sender] {
        const THttpResponse response = connection->Perform(request, *abort);
        bool ok = false;
        std::string text;
        if (!response.Ok) {
            text = "Richiesta HTTP a " + FHost + " fallita: " + response.ErrorText;
        } else if (response.Status >= 400) {
            // An error page is a failure whatever it says.
            text = "Il sito " + FHost + " ha risposto con l'errore HTTP " + std::to_string(response.Status);
        } else {
            ok = true;
            text = WithCrLf(response.Body);
        }
        if (*abort)
            return;
        FServices.Timers.Post([this, abort, ok, text = std::move(text), sender] {
            if (*abort)
                return;
            --FRunning;
            if (!FQueue.empty() && FRunning < MaxParallel) {
                TQueued next = std::move(FQueue.front());
                FQueue.pop_front();
                Run(std::move(next.Request), next.Sender);
            }
            const TNotifyHTML& event = ok ? OnResult : OnError;
            if (event)
                event(sender, text);
        });
    });
}

THttpSite ParseSite(const std::string& host, int port)
{
    THttpSite site;
    std::string rest = Trim(host);
    const auto scheme = rest.find("://");
    if (scheme != std::string::npos) {
        site.Scheme = LowerCase(rest.substr(0, scheme));
        rest = rest.substr(scheme + 3);
    }
    rest = rest.substr(0, rest.find_first_of("/?#"));
    site.Port = port > 0 ? port : 80;
    if (site.Scheme == "https" && site.Port == 80)
        site.Port = 443;
    std::string name = rest;
    if (!rest.empty() && rest.front() == '[') { // [IPv6]:port
        const auto close = rest.find(']');
        name = rest.substr(0, close == std::string::npos ? rest.size() : close + 1);
        if (close != std::string::npos && close + 1 < rest.size() && rest[close + 1] == ':')
            if (const auto p = ReadInteger(rest.substr(close + 2)); p && *p > 0 && *p < 65536)
                site.Port = *p;
    } else if (const auto colon = rest.rfind(':'); colon != std::string::npos && rest.find(':') == colon) {
        name = rest.substr(0, colon);
        if (const auto p = ReadInteger(rest.substr(colon + 1)); p && *p > 0 && *p < 65536)
            site.Port = *p;
    }
    site.Host = name;
    return site;
}

} // namespace qv
