#include "platform/linux/CurlHttp.h"

#include <curl/curl.h>
#include <mutex>

namespace qv {

namespace {

// The parts of an absolute URL that decide whether it is the same site.
THttpSite SiteOfUrl(const char* url)
{
    THttpSite site;
    CURLU* h = curl_url();
    if (curl_url_set(h, CURLUPART_URL, url, 0) == CURLUE_OK) {
        char* part = nullptr;
        if (curl_url_get(h, CURLUPART_SCHEME, &part, 0) == CURLUE_OK) {
            site.Scheme = part;
            curl_free(part);
        }
        if (curl_url_get(h, CURLUPART_HOST, &part, 0) == CURLUE_OK) {
            site.Host = part;
            curl_free(part);
        }
        if (curl_url_get(h, CURLUPART_PORT, &part, CURLU_DEFAULT_PORT) == CURLUE_OK) {
            site.Port = std::atoi(part);
            curl_free(part);
        }
    }
    curl_url_cleanup(h);
    return site;
}

class TCurlConnection : public IHttpConnection
{
public:
    TCurlConnection(THttpSite site, std::string user, std::string password, const TCurlHttpTransport& options)
        : FSite(std::move(site)), FUser(std::move(user)), FPassword(std::move(password)),
          FTimeoutMs(options.TimeoutMs), FMaxBody(options.MaxBody), FCaFile(options.CaFile)
    {
        // One share per gateway: its connections, names and cookies (the session of a login),
        // in memory only and dropped with the connection.
        FShare = curl_share_init();
        curl_share_setopt(FShare, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
        curl_share_setopt(FShare, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        curl_share_setopt(FShare, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        curl_share_setopt(FShare, CURLSHOPT_USERDATA, this);
        curl_share_setopt(FShare, CURLSHOPT_LOCKFUNC, &Lock);
        curl_share_setopt(FShare, CURLSHOPT_UNLOCKFUNC, &Unlock);
    }
    ~TCurlConnection() override { curl_share_cleanup(FShare); }

    THttpResponse Perform(const THttpRequest& request, const std::atomic<bool>& abort) override
    {
        const std::string path = request.Path.empty() || request.Path[0] != '/' ? "/" + request.Path : request.Path;
        std::string url = FSite.Scheme + "://" + FSite.Host + ":" + std::to_string(FSite.Port) + path;
        std::string method = request.Method;
        std::string body = request.Body;
        // Redirects are followed by hand, to the same site only, at most a few times.
        for (int hop = 0;; ++hop) {
            std::string location;
            THttpResponse r = PerformOne(url, method, body, request.Referrer, abort, location);
            const bool redirect = r.Ok && (r.Status == 301 || r.Status == 302 || r.Status == 303 ||
                                           r.Status == 307 || r.Status == 308) && !location.empty();
            if (!redirect)
                return r;
            if (!(SiteOfUrl(location.c_str()) == FSite)) {
                r.Ok = false;
                r.Code = CURLE_TOO_MANY_REDIRECTS;
                r.ErrorText = "il sito rimanda a un altro indirizzo (" + location + "), che non è seguito";
                return r;
            }
            if (hop == 5) {
                r.Ok = false;
                r.Code = CURLE_TOO_MANY_REDIRECTS;
                r.ErrorText = "troppi reindirizzamenti";
                return r;
            }
            url = location;
            // A form answered with a redirect leads to its result page: fetched with GET, as a
            // browser does (307 and 308 ask for the same request again).
            if (r.Status != 307 && r.Status != 308) {
                method = "GET";
                body.clear();
            }
        }
    }

private:
    THttpResponse PerformOne(const std::string& url, const std::string& method, const std::string& body,
                             const std::string& referrer, const std::atomic<bool>& abort, std::string& location)
    {
        THttpResponse r;
        CURL* easy = curl_easy_init();
        if (!easy) {
            r.Code = CURLE_OUT_OF_MEMORY;
            r.ErrorText = "memoria insufficiente";
            return r;
        }
        TSink sink{&r.Body, FMaxBody, false};
        curl_slist* headers = nullptr;
        headers = curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
        // Always from the server, never from a cache on the way.
        headers = curl_slist_append(headers, "Cache-Control: no-cache");
        headers = curl_slist_append(headers, "Pragma: no-cache");
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_SHARE, FShare);
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, ""); // the cookie engine on, nothing read from disk
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(FTimeoutMs));
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Write);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Progress);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &abort);
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        // Certificates and host names are always verified; tests may name their own authority.
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!FCaFile.empty())
            curl_easy_setopt(easy, CURLOPT_CAINFO, FCaFile.c_str());
        if (!referrer.empty())
            curl_easy_setopt(easy, CURLOPT_REFERER, referrer.c_str());
        if (!FUser.empty()) {
            curl_easy_setopt(easy, CURLOPT_USERNAME, FUser.c_str());
            curl_easy_setopt(easy, CURLOPT_PASSWORD, FPassword.c_str());
        }
        if (method == "POST") {
            curl_easy_setopt(easy, CURLOPT_POST, 1L);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
            curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, body.c_str());
        } else {
            curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
        }
        const CURLcode rc = curl_easy_perform(easy);
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &r.Status);
        char* redirect = nullptr;
        if (curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &redirect) == CURLE_OK && redirect)
            location = redirect;
        curl_slist_free_all(headers);
        curl_easy_cleanup(easy);
        if (rc == CURLE_OK) {
            r.Ok = true;
        } else {
            r.Code = static_cast<int>(rc);
            r.ReadFailed = sink.Overflow;
            r.ErrorText = ErrorText(rc, sink.Overflow);
        }
        return r;
    }

    // libcurl's failures as a user reads them.
    std::string ErrorText(CURLcode rc, bool overflow) const
    {
        if (overflow)
            return "la risposta del sito è troppo grande (oltre " + std::to_string(FMaxBody / 1024) + " kB)";
        switch (rc) {
        case CURLE_COULDNT_RESOLVE_HOST:
            return "sito non trovato (" + FSite.Host + ")";
        case CURLE_COULDNT_CONNECT:
            return "connessione rifiutata da " + FSite.Host + ":" + std::to_string(FSite.Port);
        case CURLE_OPERATION_TIMEDOUT:
            return "nessuna risposta dal sito entro " + std::to_string((FTimeoutMs + 999) / 1000) + " secondi";
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
            return "il certificato del sito non è attendibile";
        case CURLE_SSL_CONNECT_ERROR:
            return "connessione sicura non riuscita";
        case CURLE_UNSUPPORTED_PROTOCOL:
            return "protocollo non supportato (solo http e https)";
        case CURLE_ABORTED_BY_CALLBACK:
            return "richiesta annullata";
        case CURLE_GOT_NOTHING:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
            return "il sito ha chiuso la connessione";
        case CURLE_URL_MALFORMAT:
            return "indirizzo del sito non valido";
        default:
            return "errore di rete " + std::to_string(static_cast<int>(rc));
        }
    }

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

    THttpSite FSite;
    std::string FUser, FPassword;
    int FTimeoutMs;
    std::size_t FMaxBody;
    std::string FCaFile;
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
    THttpSite site = ParseSite(host, port);
    if (site.Scheme != "http" && site.Scheme != "https") {
        code = CURLE_UNSUPPORTED_PROTOCOL;
        text = "protocollo non supportato: " + site.Scheme;
        return nullptr;
    }
    return std::make_shared<TCurlConnection>(std::move(site), user, password, *this);
}

} // namespace qv
