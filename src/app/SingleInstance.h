#pragma once
// One running program per user session: the first start holds the instance; a later start hands
// its run mode to it and ends.

#include <functional>
#include <string>

namespace qv {

inline constexpr const char* SingleInstanceName = "{341C5EB0-4A0F-11D2-9381-004033275914}";

class ISingleInstance
{
public:
    virtual ~ISingleInstance() = default;
    // True when this process is the first; it then listens for later starts.
    virtual bool Acquire() = 0;
    // Hands (wParam, lParam) to the running instance; false when it cannot be reached.
    virtual bool SendToRunning(int wParam, int lParam) = 0;
    // Raised on the main thread for every message of a later start.
    std::function<void(int wParam, int lParam)> OnMessage;
};

} // namespace qv
