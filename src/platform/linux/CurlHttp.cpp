#include "platform/linux/CurlHttp.h"

#include <curl/curl.h>
#include <mutex>

namespace qv {

namespace {

class TCurlConnection : public IHttpConnection
{
public:
    TCurlConnection(std::string host, int port, std::string user, std::string password, int timeoutMs,
                    std::size_t maxBody)
        : FHost(std::move(host)), FPort(port), FUser(std::move(user)), FPassword(std::move(password)),
          FTimeoutMs(timeoutMs), FMaxBody(maxBody)
    {
        FShare = curl_share_init();
        curl_share_setopt(FShare, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
        curl_share_setopt(FShare, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        curl_share_setopt(FShare, CURLSHOPT_USERDATA, this);
        curl_share_setopt(FShare, CURLSHOPT_LOCKFUNC, &Lock);
        curl_share_setopt(FShare, CURLSHOPT_UNLOCKFUNC, &Unlock);
    }
    ~TCurlConnection() override { curl_share_cleanup(FShare); }

    THttpResponse Perform(const THttpRequest& request, const std::atomic<bool>& abort) override
    {
        THttpResponse r;
        CURL* easy = curl_easy_init();
        if (!easy) {
            r.Code = CURLE_OUT_OF_MEMORY;
            r.ErrorText = curl_easy_strerror(CURLE_OUT_OF_MEMORY);
            return r;
        }
        const std::string path = request.Path.empty() || request.Path[0] != '/' ? "/" + request.Path : request.Path;
        const std::string url = "http://" + FHost + ":" + std::to_string(FPort) + path;
        TSink sink{&r.Body, FMaxBody, false};
        curl_slist* headers = nullptr;
        headers = curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
        // Always from the server, never from a cache on the way.
        headers = curl_slist_append(headers, "Cache-Control: no-cache");
        headers = curl_slist_append(headers, "Pragma: no-cache");
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_SHARE, FShare);
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(FTimeoutMs));
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Write);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Progress);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &abort);
        if (!request.Referrer.empty())
            curl_easy_setopt(easy, CURLOPT_REFERER, request.Referrer.c_str());
        if (!FUser.empty()) {
            curl_easy_setopt(easy, CURLOPT_USERNAME, FUser.c_str());
            curl_easy_setopt(easy, CURLOPT_PASSWORD, FPassword.c_str());
        }
        if (request.Method == "POST") {
            curl_easy_setopt(easy, CURLOPT_POST, 1L);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(request.Body.size()));
            curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, request.Body.c_str());
        } else {
            curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
        }
        const CURLcode rc = curl_easy_perform(easy);
        curl_slist_free_all(headers);
        curl_easy_cleanup(easy);
        if (rc == CURLE_OK) {
            r.Ok = true;
        } else {
            r.Code = static_cast<int>(rc);
            r.ErrorText = curl_easy_strerror(rc);
            r.ReadFailed = sink.Overflow;
        }
        return r;
    }

private:
    struct TSink
    {
        std::string* Body;
        std::size_t Max;
        bool Overflow;
    };
    static std::size_t Write(char* data, std::size_t size, std::size_t count, void* user)
    {
        auto* sink = static_cast<TSink*>(user);
        const std::size_t n = size * count;
        if (sink->Body->size() + n > sink->Max) {
            sink->Overflow = true;
            return 0; // cut off: the transfer fails
        }
        sink->Body->append(data, n);
        return n;
    }
    static int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        return static_cast<const std::atomic<bool>*>(user)->load() ? 1 : 0;
    }
    static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* user)
    {
        static_cast<TCurlConnection*>(user)->FLocks[data % 8].lock();
    }
    static void Unlock(CURL*, curl_lock_data data, void* user)
    {
        static_cast<TCurlConnection*>(user)->FLocks[data % 8].unlock();
    }

    std::string FHost;
    int FPort;
    std::string FUser, FPassword;
    int FTimeoutMs;
    std::size_t FMaxBody;
    CURLSH* FShare = nullptr;
    std::mutex FLocks[8];
};

} // namespace

TCurlHttpTransport::TCurlHttpTransport()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::shared_ptr<IHttpConnection> TCurlHttpTransport::Connect(const std::string& host, int port, const std::string& user,
                                                             const std::string& password, int& code, std::string& text)
{
    code = 0;
    text.clear();
    return std::make_shared<TCurlConnection>(host, port, user, password, TimeoutMs, MaxBody);
}

} // namespace qv
