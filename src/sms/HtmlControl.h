#pragma once
// HTTP requests against one host, each on a worker thread of its own, the whole response body handed
// back as text with CR LF line ends through OnResult (or the failure through OnError) on the main
// thread. The object given with a request comes back as the events' sender, so a response is matched
// to its request. The network side is an interface (libcurl on Linux, a fake in tests).

#include "core/Services.h"

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace qv {

struct THttpRequest
{
    std::string Method; // "POST" or "GET"
    std::string Path;   // the object path, query included for a GET
    std::string Body;
    std::string Referrer;
};

struct THttpResponse
{
    bool Ok = false;
    int Code = 0;             // the transport's own error code when not Ok
    std::string ErrorText;    // its text, in Italian
    bool ReadFailed = false;  // the body could not be taken in (too long, out of memory)
    long Status = 0;          // the HTTP status of the (last) answer
    std::string Body;
};

// A gateway's site as users write its host: "host", "http://host" or "https://host", each with an
// optional ":port" (and a path, ignored). The gateway's port is used when the host names none; for
// https the default 80 stands for 443.
struct THttpSite
{
    std::string Scheme = "http";
    std::string Host;
    int Port = 80;
    bool operator==(const THttpSite&) const = default;
};
THttpSite ParseSite(const std::string& host, int port);

// A connection to one host: Perform may run on several workers at once; abort, when set, ends a
// transfer in progress.
class IHttpConnection
{
public:
    virtual ~IHttpConnection() = default;
    virtual THttpResponse Perform(const THttpRequest& request, const std::atomic<bool>& abort) = 0;
};

class IHttpTransport
{
public:
    virtual ~IHttpTransport() = default;
    // Opens a connection to the host (on the main thread); none, with code and text, on failure.
    virtual std::shared_ptr<IHttpConnection> Connect(const std::string& host, int port, const std::string& user,
                                                     const std::string& password, int& code, std::string& text) = 0;
};

class THTMLControl
{
public:
    // sender: the object given with the request (or this control for failures before the request).
    using TNotifyHTML = std::function<void(const void* sender, const std::string& text)>;

    THTMLControl(TServices& services, IHttpTransport& transport);
    ~THTMLControl();

    int Port() const { return FPort == 0 ? 80 : FPort; }
    void SetPort(int value);
    const std::string& Host() const { return FHost; }
    void SetHost(const std::string& value);
    std::string User, Password, ReferenceURL;
    // Answering from a cache has no counterpart here: kept for the settings, it changes nothing.
    bool UseOfflineCache = false;
    std::int32_t Tag = 0;

    std::function<void()> OnStartRequest;
    TNotifyHTML OnError;
    TNotifyHTML OnResult;

    // A form POST: the command's text before its first "?" is the path, the rest the body (a command
    // without "?" is both). Raises when the host cannot be connected.
    void PostRequest(const std::string& command, const void* sender);
    // A GET of the whole path; never raises (failures before the request go to OnError).
    void GetRequest(const std::string& path, const void* sender);
    void Connect();
    void CloseConnection();
    bool Connected() const { return FConnection != nullptr; }

    // A response body as OnResult gives it: every line followed by CR LF.
    static std::string WithCrLf(const std::string& body);
    // At most this many requests of one control at once; the others wait their turn.
    static constexpr int MaxParallel = 4;

private:
    void Prepare();
    void Start(THttpRequest request, const void* sender);
    void Run(THttpRequest request, const void* sender);
    struct TQueued
    {
        THttpRequest Request;
        const void* Sender;
    };
    std::deque<TQueued> FQueue;
    int FRunning = 0;
    TServices& FServices;
    IHttpTransport& FTransport;
    std::string FHost;
    int FPort = 0;
    std::shared_ptr<IHttpConnection> FConnection;
    std::vector<std::thread> FWorkers;
    // Cleared when the control goes: no event after that, and transfers in progress end.
    std::shared_ptr<std::atomic<bool>> FAbort = std::make_shared<std::atomic<bool>>(false);
};

} // namespace qv
