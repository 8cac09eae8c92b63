#pragma once
// The desktop's Secret Service (through libsecret) as the place where dial-up passwords are kept.
// Only used when a session bus is there; without one every call answers "nothing kept".

#include "platform/linux/PppdDialUp.h"

namespace qv {

TPppdDialUp::TKeyring DesktopKeyring();

} // namespace qv
