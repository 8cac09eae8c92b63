#include "platform/linux/SdlSoundOutput.h"

#include <SDL.h>
#include <chrono>

namespace qv {

std::string ToneWave(int frequency, int milliseconds)
{
    constexpr int rate = 11025;
    const auto samples = static_cast<std::size_t>(rate * std::max(milliseconds, 1) / 1000);
    std::string wav = SynthesizeWave("", 44 + samples);
    const int period = std::max(2, rate / std::max(frequency, 1));
    for (std::size_t i = 0; i < samples; ++i)
        wav[44 + i] = static_cast<char>(static_cast<int>(i) % period < period / 2 ? 0xC0 : 0x40);
    return wav;
}

TSdlSoundOutput::TSdlSoundOutput(TimerService& timers) : FTimers(timers)
{
    FThread = std::thread([this] { Run(); });
}

TSdlSoundOutput::~TSdlSoundOutput()
{
    {
        std::lock_guard lock(FMutex);
        FQuit = true;
    }
    FWake.notify_all();
    FThread.join();
}

void TSdlSoundOutput::Play(std::shared_ptr<const std::string> wav, bool pauseFirst, std::function<void()> onError)
{
    {
        std::lock_guard lock(FMutex);
        FSlot = TRequest{std::move(wav), pauseFirst, std::move(onError)};
    }
    FWake.notify_one();
}

void TSdlSoundOutput::Beep(int frequency, int milliseconds)
{
    Play(std::make_shared<const std::string>(ToneWave(frequency, milliseconds)), false, {});
}

int TSdlSoundOutput::Taken() const
{
    std::lock_guard lock(FMutex);
    return FTaken;
}

void TSdlSoundOutput::Run()
{
    const bool ready = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    SDL_AudioDeviceID device = 0;
    SDL_AudioSpec open{};
    for (;;) {
        TRequest request;
        {
            std::unique_lock lock(FMutex);
            FWake.wait(lock, [this] { return FQuit || FSlot.has_value(); });
            if (FQuit)
                break;
            request = std::move(*FSlot);
            FSlot.reset();
            ++FTaken;
        }
        // Whatever plays stops first.
        if (device != 0)
            SDL_ClearQueuedAudio(device);
        if (request.PauseFirst)
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        bool played = false;
        if (ready && request.Wav && !request.Wav->empty()) {
            SDL_AudioSpec spec{};
            Uint8* buffer = nullptr;
            Uint32 length = 0;
            SDL_RWops* rw = SDL_RWFromConstMem(request.Wav->data(), static_cast<int>(request.Wav->size()));
            if (rw && SDL_LoadWAV_RW(rw, 1, &spec, &buffer, &length)) {
                // A device in the sound's own format, opened again only when the format changes.
                if (device != 0 && (open.freq != spec.freq || open.format != spec.format || open.channels != spec.channels)) {
                    SDL_CloseAudioDevice(device);
                    device = 0;
                }
                if (device == 0) {
                    device = SDL_OpenAudioDevice(nullptr, 0, &spec, nullptr, 0);
                    open = spec;
                }
                if (device != 0 && SDL_QueueAudio(device, buffer, length) == 0) {
                    SDL_PauseAudioDevice(device, 0);
                    played = true;
                }
                SDL_FreeWAV(buffer);
            }
        }
        if (!played && request.OnError)
            FTimers.Post(std::move(request.OnError));
    }
    if (device != 0)
        SDL_CloseAudioDevice(device);
    if (ready)
        SDL_Quit(); // the program uses SDL for nothing else
}

std::string TSdlSoundOutput::Check(const std::string& wav)
{
    if (wav.size() > static_cast<std::size_t>(INT32_MAX))
        return "file troppo grande";
    // The decoder the sound thread uses; it needs no audio device.
    SDL_AudioSpec spec{};
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    SDL_RWops* rw = SDL_RWFromConstMem(wav.data(), static_cast<int>(wav.size()));
    if (!rw || !SDL_LoadWAV_RW(rw, 1, &spec, &buffer, &length)) {
        const char* why = SDL_GetError();
        return why && *why ? why : "formato non riconosciuto";
    }
    SDL_FreeWAV(buffer);
    return length == 0 ? "nessun campione audio" : std::string();
}

} // namespace qv
