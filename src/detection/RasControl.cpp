#include "detection/RasControl.h"

#include "core/Strings.h"

namespace qv {

namespace {
constexpr const char* StepTexts[22] = {"Sto aprendo la porta",
                                       "WOW sono riuscito ad aprire la porta",
                                       "Provo a fare il numero",
                                       "WOW il modem s'è connesso!",
                                       "Tutti i dispositivi sono connessi!",
                                       "Proviamo l'autenticazione",
                                       "Autenticazione iniziale OK!",
                                       "RASCS_AuthRetry",
                                       "RASCS_AuthCallback",
                                       "RASCS_AuthChangePassword",
                                       "Entriamo in rete WOW",
                                       "RASCS_AuthLinkSpeed",
                                       "RASCS_AuthAck",
                                       "RASCS_ReAuthenticate",
                                       "Autenticato!",
                                       "RASCS_PrepareForCallback",
                                       "RASCS_WaitForModemReset",
                                       "RASCS_WaitForCallback",
                                       "Abbiamo ottenuto l'IP dinamico!",
                                       "Inizio autenticazione utente",
                                       "RASCS_CallbackComplete",
                                       "Siamo in rete!"};
} // namespace

const char* TRasControl::DialStepText(int step)
{
    return step >= 0 && step <= 21 ? StepTexts[step] : "";
}

TRasControl::TRasControl(TServices& services, IRasApi& api) : FServices(services), FApi(api)
{
    FTimer = services.Timers.CreateTimer("FTimerCheckConnectionRasControl", 1000);
    FTimer->SetEnabled(false);
    FTimer->OnTimer = [this] { CheckConnection(); };
}

int TRasControl::RasLineState()
{
    LastRasAPI = "RasEnumConnectionsA";
    std::vector<TRasConnection> connections;
    if (FApi.Connections(connections) != 0)
        return 4;
    FConnectionCount = static_cast<int>(connections.size());
    if (connections.empty())
        return 0;
    LastRasAPI = "RasGetConnectStatusA";
    int state = 0;
    if (FApi.ConnectStatus(connections.front().Handle, state) != 0)
        return 4;
    if (state >= 0 && state <= 2)
        return 1;
    if (state >= 3 && state <= 21)
        return 2;
    if (state == RASCS_Connected)
        return 3;
    if (state == RASCS_Disconnected)
        return 0;
    return 4;
}

bool TRasControl::IsRasBusy()
{
    const int c = RasLineState();
    return c >= 1 && c <= 3;
}

void TRasControl::RasEntries(std::vector<std::string>& list)
{
    list.clear();
    LastRasAPI = "RasEnumEntriesA";
    std::vector<std::string> names;
    const int rc = FApi.Entries(names);
    if (rc != 0 && rc != ERROR_BUFFER_TOO_SMALL)
        return;
    for (const std::string& n : names) {
        if (list.size() >= 50)
            break;
        if (!n.empty())
            list.push_back(n);
    }
}

bool TRasControl::IsRasEntry(const std::string& name)
{
    std::vector<std::string> list;
    RasEntries(list);
    for (const auto& n : list)
        if (n == name)
            return true;
    return false;
}

std::string TRasControl::ActiveEntryName()
{
    LastRasAPI = "RasEnumConnectionsA";
    std::vector<TRasConnection> connections;
    if (FApi.Connections(connections) != 0 || connections.empty())
        return {};
    return connections.front().Entry;
}

std::string TRasControl::EntryPhoneNumber(const std::string& entry)
{
    LastRasAPI = "RasGetEntryPropertiesA";
    TRasEntryProperties p;
    if (FApi.EntryProperties(entry, p) != 0)
        return {};
    return PhoneNumberOfEntry(p);
}

std::string PhoneNumberOfEntry(const TRasEntryProperties& p)
{
    if (!p.UseCountryAndAreaCodes)
        return p.LocalNumber;
    // A call within Italy needs no international part; anywhere else "00" and the country code.
    if (p.CountryCode == 39)
        return p.AreaCode + p.LocalNumber;
    return "00" + std::to_string(p.CountryCode) + p.AreaCode + p.LocalNumber;
}

std::string TRasControl::ConnectionAddress(const std::string& entry)
{
    LastRasAPI = "RasEnumConnectionsA";
    std::vector<TRasConnection> connections;
    if (FApi.Connections(connections) != 0)
        return {};
    for (const auto& c : connections) {
        if (c.Entry != entry)
            continue;
        LastRasAPI = "RasGetProjectionInfoA";
        std::string address;
        return FApi.ProjectionAddress(c.Handle, address) == 0 ? address : std::string();
    }
    return {};
}

TRasCredentials TRasControl::GetEntryCredentials(const std::string& entry)
{
    LastRasAPI = "RasGetCredentialsA";
    TRasCredentials c;
    if (FApi.GetCredentials(entry, c) != 0)
        return {};
    return c;
}

int TRasControl::SetEntryCredentials(const std::string& entry, const std::string& user, const std::string& password,
                                     bool clearPassword)
{
    LastRasAPI = "RasSetCredentialsA";
    return FApi.SetCredentials(entry, user, password, clearPassword);
}

std::string TRasControl::RasErrorText(int code)
{
    if (code == 1)
        return "Impossibile caricare dinamicamente la funzione dalla DLL";
    LastRasAPI = "RasGetErrorStringA";
    return Trim(Utf8Left(FApi.ErrorText(code), 255));
}

bool TRasControl::HasConnections()
{
    std::vector<TRasConnection> connections;
    return FApi.Connections(connections) == 0 && !connections.empty();
}

void TRasControl::Raise(const char* procedure, const std::function<void()>& notify)
{
    RasControlProcedure = procedure;
    if (notify)
        notify();
}

void TRasControl::CheckConnection()
{
    if (FPolling)
        return;
    FPolling = true;
    RasControlProcedure = "DoCheckConnection";
    try {
        // Against the count last told, not the last read: every state query reads it.
        const int cls = RasLineState();
        if (FConnectionCount != FToldCount) {
            FToldCount = FConnectionCount;
            Raise("DoRasChangeConnectionsNumber", OnRasChangeConnectionsNumber);
        }
        if (cls != 4 && cls != FLastClass) {
            FLastClass = cls;
            switch (cls) {
            case 0:
                Raise("DoRasOffLine", OnRasOffLine);
                break;
            case 1:
                Raise("DoRasDialing", OnRasDialing);
                break;
            case 2:
                Raise("DoRasConnecting", OnRasConnecting);
                break;
            default:
                Raise("DoRasOnLine", OnRasOnLine);
                break;
            }
        }
    } catch (...) {
        FPolling = false;
        FTimer->SetEnabled(false);
        throw;
    }
    FPolling = false;
}

void TRasControl::Dial(const std::string& entry, const std::string& user, const std::string& password)
{
    FEntry = entry;
    FUser = user;
    FPassword = password;
    FPhoneNumber = EntryPhoneNumber(entry);
    FHandle = 0;
    FLastStep = 0;
    if (OnRasStartConnecting)
        OnRasStartConnecting(entry, user, password, FPhoneNumber);
    LastRasAPI = "RasDialA";
    std::int64_t handle = 0;
    const int rc = FApi.Dial(entry, user, password, [this](int state, int error) { DialProgress(state, error); }, handle);
    FHandle = handle;
    if (rc != 0)
        DialError(rc);
}

void TRasControl::DialProgress(int state, int error)
{
    CheckConnection();
    if (error != 0) {
        DialError(error);
        return;
    }
    if (state < 0 || state > 21)
        return;
    FLastStep = state;
    std::string text = StepTexts[state];
    if (state == 2)
        text = Trim(text + " " + FPhoneNumber);
    if (OnRasEvent)
        OnRasEvent(text);
    if (state == 2 && OnRasConnectDevice)
        OnRasConnectDevice();
    if (state == 3 && OnRasDeviceConnected)
        OnRasDeviceConnected();
}

void TRasControl::DialError(int code)
{
    FLastError = code;
    if (code == 5 || code == 648 || code == ERROR_AUTHENTICATION_FAILURE) {
        // A dial with the entry's own credentials names no user: the entry's is the one to clear.
        SetEntryCredentials(FEntry, FUser.empty() ? GetEntryCredentials(FEntry).User : FUser, "", true);
        if (OnWrongPassword)
            OnWrongPassword();
    } else if (code == ERROR_LINE_BUSY) {
        HangUpAll();
        if (OnRasLineBusy)
            OnRasLineBusy();
    }
    if (OnRasError)
        OnRasError(code, FLastStep);
    HangUpAll();
}

void TRasControl::HangUp(std::int64_t handle)
{
    LastRasAPI = "RasHangUpA";
    // Asked and left: the poll sees the connection go. Waiting here would run every pending event
    // (a dial error, a click on Esci) inside the caller and freeze the window meanwhile.
    FApi.HangUp(handle); // 668 (no connection) and any other failure are silent
}

void TRasControl::HangUpAll()
{
    if (OnRasDisconnecting && HasConnections())
        OnRasDisconnecting();
    std::vector<TRasConnection> connections;
    if (FApi.Connections(connections) == 0)
        for (const auto& c : connections)
            HangUp(c.Handle);
    if (FHandle != 0) {
        HangUp(FHandle);
        FHandle = 0;
    }
    CheckConnection();
}

} // namespace qv
