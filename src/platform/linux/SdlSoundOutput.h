#pragma once
// Sounds heard through SDL2: one long-lived sound thread fed through a single request slot (a newer
// request replaces one not yet taken), which stops the playing sound, waits 250 ms when asked, and
// plays the WAV image from memory without waiting for it to end.

#include "app/WaveSounds.h"
#include "core/Time.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace qv {

class TSdlSoundOutput : public ISoundOutput
{
public:
    explicit TSdlSoundOutput(TimerService& timers);
    ~TSdlSoundOutput() override;
    void Play(std::shared_ptr<const std::string> wav, bool pauseFirst, std::function<void()> onError) override;
    void Beep(int frequency, int milliseconds) override;
    std::string Check(const std::string& wav) override;
    // Requests the sound thread has taken so far (for tests: it keeps up with a burst).
    int Taken() const;

private:
    struct TRequest
    {
        std::shared_ptr<const std::string> Wav;
        bool PauseFirst = false;
        std::function<void()> OnError;
    };
    void Run();
    TimerService& FTimers;
    mutable std::mutex FMutex;
    std::condition_variable FWake;
    std::optional<TRequest> FSlot;
    bool FQuit = false;
    int FTaken = 0;
    std::thread FThread;
};

// A square tone as an 8-bit WAV image (the pulse warning's beep).
std::string ToneWave(int frequency, int milliseconds);

} // namespace qv
