#pragma once
// The dial-up service as the program sees it: phone-book entries, active connections and their
// state, entry properties, addresses, credentials, dialling with progress, hanging up, error texts
// and byte counters. Every call returns an error code (0 = success), as the program expects.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv {

// Connection states: 0..21 are the dial steps, then connected and disconnected.
inline constexpr int RASCS_Connected = 8192;
inline constexpr int RASCS_Disconnected = 8193;
// Error codes the program reacts to.
inline constexpr int ERROR_INVALID_HANDLE = 6;
inline constexpr int ERROR_BUFFER_TOO_SMALL = 603;
inline constexpr int ERROR_NO_CONNECTION = 668;
inline constexpr int ERROR_LINE_BUSY = 676;
inline constexpr int ERROR_AUTHENTICATION_FAILURE = 691;
// Codes of failures that only pppd and its setup can have.
inline constexpr int ERROR_DIALUP_NOT_INSTALLED = 20001;   // no pppd on the system
inline constexpr int ERROR_PEER_NOT_AUTHENTICATED = 20002; // the remote end failed to prove who it is
inline constexpr int ERROR_CANNOT_SAVE_PASSWORD = 20003;   // no keyring, no writable secrets file
inline constexpr int ERROR_NOT_IN_DIP_GROUP = 20004;       // pppd is there, only its group may run it

struct TRasConnection
{
    std::int64_t Handle = 0;
    std::string Entry;
    std::string Device; // the network interface, when it exists
};

struct TRasEntryProperties
{
    bool UseCountryAndAreaCodes = false;
    int CountryCode = 0;
    std::string AreaCode;
    std::string LocalNumber;
};

struct TRasCredentials
{
    std::string User;
    std::string Password;
    bool PasswordSaved = false;
};

struct TByteCounts
{
    std::uint32_t Sent = 0;
    std::uint32_t Received = 0;
};

class IRasApi
{
public:
    virtual ~IRasApi() = default;
    // Entries and EntryProperties only read the phone book: the international-number scan calls
    // them from its worker thread while the main thread uses the rest.
    virtual int Entries(std::vector<std::string>& names) = 0;
    virtual int Connections(std::vector<TRasConnection>& connections) = 0;
    virtual int ConnectStatus(std::int64_t handle, int& state) = 0;
    virtual int EntryProperties(const std::string& entry, TRasEntryProperties& properties) = 0;
    virtual int ProjectionAddress(std::int64_t handle, std::string& address) = 0;
    virtual int GetCredentials(const std::string& entry, TRasCredentials& credentials) = 0;
    // Saves (or, with clearPassword, forgets) the entry's credentials; a code other than 0 when the
    // password cannot be kept anywhere.
    virtual int SetCredentials(const std::string& entry, const std::string& user, const std::string& password,
                               bool clearPassword) = 0;
    // Starts a dial with the given credentials (empty: the entry's own); progress(state, error)
    // arrives later on the main thread, an error before the connection disappears from
    // Connections. handle is the new connection's handle. The connection outlives this object:
    // only HangUp ends it.
    virtual int Dial(const std::string& entry, const std::string& user, const std::string& password,
                     std::function<void(int state, int error)> progress, std::int64_t& handle) = 0;
    // Asks the connection to end and returns at once; the poll sees it go.
    virtual int HangUp(std::int64_t handle) = 0;
    virtual std::string ErrorText(int code) = 0;
    // Bytes moved by a connection; none when they cannot be read.
    virtual std::optional<TByteCounts> ByteCounts(std::int64_t handle) = 0;
};

} // namespace qv
