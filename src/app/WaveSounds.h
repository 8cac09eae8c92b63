#pragma once
// The program's named sounds, kept with their WAV images in "Waves.dat", and the one entry point
// that plays them (subject to the profile's sound switch) through an audio output.

#include "app/Sounds.h"
#include "core/Persistent.h"
#include "core/PropertyMacros.h"

#include <functional>

namespace qv {

class TProfileItem;

// Where sounds are heard: a WAV image played from memory on one sound thread (a newer request
// replaces one not yet taken; the playing sound is stopped first), and a short tone.
class ISoundOutput
{
public:
    virtual ~ISoundOutput() = default;
    // wav: a whole RIFF WAVE file image. onError runs on the main thread when it cannot play.
    virtual void Play(std::shared_ptr<const std::string> wav, bool pauseFirst, std::function<void()> onError) = 0;
    virtual void Beep(int frequency, int milliseconds) = 0;
    // Why the image cannot be played (decoded as playing decodes it); empty when it can.
    virtual std::string Check(const std::string& wav)
    {
        (void)wav;
        return {};
    }
};

// The largest sound kept in "Waves.dat" (8 MiB: over a minute and a half of CD-quality stereo,
// far longer than any signal of the program); the file's own lengths hold at most 4 GiB.
inline constexpr std::size_t MaxWaveBytes = 8u << 20;

// A sound output that plays nothing and remembers what it was given.
class TSilentOutput : public ISoundOutput
{
public:
    void Play(std::shared_ptr<const std::string> wav, bool pauseFirst, std::function<void()> onError) override
    {
        Played.push_back({std::move(wav), pauseFirst});
        if (Fail && onError)
            onError();
    }
    bool Fail = false; // every sound fails, as on a machine without an audio device
    void Beep(int frequency, int milliseconds) override { Beeps.push_back({frequency, milliseconds}); }
    struct TPlay
    {
        std::shared_ptr<const std::string> Wav;
        bool PauseFirst;
    };
    std::vector<TPlay> Played;
    std::vector<std::pair<int, int>> Beeps;
};

class TWaveFile : public TPersistent
{
public:
    explicit TWaveFile(class TWaveItem& item) : FItem(item) {}
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& value);
    bool Disabled() const { return FDisabled; }
    void SetDisabled(bool value);
    // The WAV image ("Data" in the file).
    const std::string& Data() const { return *FData; }
    void SetData(const std::string& value);
    std::shared_ptr<const std::string> Image() const { return FData; }

    std::function<void()> OnPlay;
    std::function<void(const std::string&)> OnError;

private:
    TWaveItem& FItem;
    std::string FFileName;
    bool FDisabled = false;
    std::shared_ptr<const std::string> FData = std::make_shared<const std::string>();
};

class TWaveItem : public TDataCollectionItem
{
public:
    explicit TWaveItem(TPersistentComponent* component) : TDataCollectionItem(component) {}
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    QV_STRING_PROPERTY(Nome)
    QV_STRING_PROPERTY(Descrizione)
    bool Active() const { return FActive; }
    // Set only when the file named by WaveFile.FileName exists; setting it reloads the sound.
    void SetActive(bool value);
    TWaveFile& WaveFile() { return FWaveFile; }
    const TWaveFile& WaveFile() const { return FWaveFile; }
    // Loads the file named by WaveFile.FileName when it exists (the collection then saves it);
    // raises EQvError when it cannot be read, is larger than MaxWaveBytes or cannot be played, and
    // keeps the sound it had.
    void Reload();

private:
    bool FActive = false;
    TWaveFile FWaveFile{*this};
};
using TWaveItems = TDataCollection<TWaveItem>;

class TWaveSounds : public TPersistentComponent, public ISounds
{
public:
    TWaveSounds(TServices& services, ISoundOutput& output);
    ~TWaveSounds() override;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    std::unique_ptr<TPersistentComponent> NewEmpty() const override;

    TWaveItems& Waves() { return FWaves; }
    // Ignoring letter case; none when missing.
    TWaveItem* FindWave(const std::string& name);
    // Raises "Suono NAME non trovato!" for an unknown name; a disabled sound or one without data
    // plays nothing and raises no OnPlay.
    void Play(const std::string& name, bool pauseFirst);
    // The 13 sounds the program comes with.
    void LoadDefaults();

    // The profile whose switch silences everything (none: sounds play).
    std::function<TProfileItem*()> Profile;
    // The first sound of the run that could not be played ("Errore durante la riproduzione del
    // file: ..."); later failures (a machine without audio fails every sound) are not told again.
    std::function<void(const std::string&)> OnError;

    // ISounds: the program's entry point.
    void PlayNamedSound(const std::string& name, bool pauseFirst) override;
    bool IsSoundDisabled(const std::string& name) override;
    void Beep(int frequency, int milliseconds) override;

    ISoundOutput& Output() { return FOutput; }

private:
    TWaveItems FWaves{this};
    ISoundOutput& FOutput;
    bool FErrorTold = false;
};

struct TDefaultWave
{
    const char* Nome;
    const char* Descrizione;
    std::size_t Size; // bytes of the WAV image
};
const std::vector<TDefaultWave>& DefaultWaves();
// A short sound of ours for each default, exactly Size bytes long (8-bit mono PCM, 11025 Hz).
std::string SynthesizeWave(const std::string& name, std::size_t size);

} // namespace qv
