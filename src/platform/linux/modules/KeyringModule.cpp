// The keyring module: dial-up passwords in the desktop's Secret Service through libsecret.
#include "core/Version.h"
#include "platform/linux/DesktopKeyring.h"
#include "platform/linux/Modules.h"

QV_MODULE_VERSION

QV_MODULE_EXPORT void qv_keyring(qv::TPppdDialUp::TKeyring* keyring)
{
    *keyring = qv::DesktopKeyring();
}
