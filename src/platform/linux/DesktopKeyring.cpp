#include "platform/linux/DesktopKeyring.h"

#include <cstdlib>

#ifdef QV_HAVE_LIBSECRET
#include <libsecret/secret.h>
#endif

namespace qv {

#ifdef QV_HAVE_LIBSECRET

namespace {

// One item per entry and user, findable by both.
const SecretSchema* Schema()
{
    static const SecretSchema schema = {"net.quorvanta.DialUp",
                                        SECRET_SCHEMA_NONE,
                                        {{"entry", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return &schema;
}

// No session bus, no Secret Service: libsecret would otherwise try to start one.
bool SessionBus()
{
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    return bus && *bus;
}

} // namespace

TPppdDialUp::TKeyring DesktopKeyring()
{
    TPppdDialUp::TKeyring k;
    k.Find = [](const std::string& entry, const std::string& user) -> std::optional<std::string> {
        if (!SessionBus())
            return std::nullopt;
        GError* error = nullptr;
        gchar* secret = secret_password_lookup_sync(Schema(), nullptr, &error, "entry", entry.c_str(), "user",
                                                    user.c_str(), nullptr);
        if (error)
            g_error_free(error);
        if (!secret)
            return std::nullopt;
        std::string value = secret;
        secret_password_free(secret);
        return value;
    };
    k.Store = [](const std::string& entry, const std::string& user, const std::string& password) {
        if (!SessionBus())
            return false;
        GError* error = nullptr;
        const std::string label = "Quorvanta: " + entry + " (" + user + ")";
        const gboolean ok = secret_password_store_sync(Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(),
                                                       password.c_str(), nullptr, &error, "entry", entry.c_str(),
                                                       "user", user.c_str(), nullptr);
        if (error)
            g_error_free(error);
        return ok == TRUE;
    };
    k.Forget = [](const std::string& entry, const std::string& user) {
        if (!SessionBus())
            return;
        GError* error = nullptr;
        secret_password_clear_sync(Schema(), nullptr, &error, "entry", entry.c_str(), "user", user.c_str(), nullptr);
        if (error)
            g_error_free(error);
    };
    return k;
}

#else

TPppdDialUp::TKeyring DesktopKeyring()
{
    return {};
}

#endif

} // namespace qv
