#pragma once
// The program's named sounds and the short warning beep, behind an interface (the real player
// comes with the sounds subsystem; tests record what was played).

#include <string>
#include <vector>

namespace qv {

class ISounds
{
public:
    virtual ~ISounds() = default;
    // Plays one of the named sounds ("Ring", "Message", ...); the caller checks the profile switch.
    virtual void PlayNamedSound(const std::string& name, bool pauseFirst) = 0;
    virtual bool IsSoundDisabled(const std::string& name) = 0;
    // A short tone (the pulse warning: 1366 Hz for 100 ms).
    virtual void Beep(int frequency, int milliseconds) = 0;
};

// Plays nothing; remembers what was asked, for tests and runs without sound.
class TRecordingSounds : public ISounds
{
public:
    void PlayNamedSound(const std::string& name, bool) override { Played.push_back(name); }
    bool IsSoundDisabled(const std::string& name) override
    {
        for (const auto& d : Disabled)
            if (d == name)
                return true;
        return false;
    }
    void Beep(int frequency, int milliseconds) override { Beeps.push_back({frequency, milliseconds}); }
    struct TBeep
    {
        int Frequency, Milliseconds;
    };
    std::vector<std::string> Played;
    std::vector<TBeep> Beeps;
    std::vector<std::string> Disabled;
};

} // namespace qv
