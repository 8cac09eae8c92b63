#include "app/WaveSounds.h"

#include "core/Errors.h"
#include "core/Strings.h"
#include "tariffs/Settings.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qv {

const TPropTable& TWaveFile::Table()
{
    using T = TWaveFile;
    static const TPropTable t = TPropBuilder<T>()
                                    .Str("FileName", &T::FileName, &T::SetFileName)
                                    .Bool("Disabled", &T::Disabled, &T::SetDisabled, false)
                                    .Binary("Data", &T::Data, &T::SetData)
                                    .Build();
    return t;
}

void TWaveFile::SetFileName(const std::string& value)
{
    if (FFileName == value)
        return;
    FFileName = value;
    FItem.MarkChanged();
}

void TWaveFile::SetDisabled(bool value)
{
    if (FDisabled == value)
        return;
    FDisabled = value;
    FItem.MarkChanged();
}

void TWaveFile::SetData(const std::string& value)
{
    if (*FData == value)
        return;
    // A new block: a sound still playing keeps the old one alive.
    FData = std::make_shared<const std::string>(value);
    FItem.MarkChanged();
}

const TPropTable& TWaveItem::Table()
{
    using T = TWaveItem;
    static const TPropTable t = TPropBuilder<T>()
                                    .Str("Nome", &T::Nome, &T::SetNome)
                                    .Str("Descrizione", &T::Descrizione, &T::SetDescrizione)
                                    .Bool("Active", &T::Active, &T::SetActive, false)
                                    .Object("WaveFile", static_cast<TWaveFile& (T::*)()>(&T::WaveFile), TWaveFile::Table())
                                    .Build();
    return t;
}

void TWaveItem::SetActive(bool value)
{
    // While a file is read the flag is only taken back; otherwise it asks for the file itself.
    if (FComponent && FComponent->Loading()) {
        FActive = value;
        return;
    }
    const bool exists = !FWaveFile.FileName().empty() && std::filesystem::exists(FWaveFile.FileName());
    if (!exists) {
        if (FActive) {
            FActive = false;
            MarkChanged();
        }
        return;
    }
    if (value)
        Reload();
    else if (FActive) {
        FActive = false;
        MarkChanged();
    }
}

void TWaveItem::Reload()
{
    const std::string& name = FWaveFile.FileName();
    if (name.empty() || !std::filesystem::exists(name))
        return;
    std::error_code ec;
    const auto size = std::filesystem::file_size(name, ec);
    if (!ec && size > MaxWaveBytes)
        throw EQvError("Il file " + name + " è troppo grande per un suono (" + std::to_string(size >> 20) +
                       " MB; al massimo " + std::to_string(MaxWaveBytes >> 20) + " MB)");
    std::ifstream in(name, std::ios::binary);
    std::stringstream ss;
    if (!in || !(ss << in.rdbuf())) {
        FActive = false;
        throw EQvError("Impossibile leggere il file " + name);
    }
    std::string image = ss.str();
    if (image.size() > MaxWaveBytes)
        throw EQvError("Il file " + name + " è troppo grande per un suono (al massimo " +
                       std::to_string(MaxWaveBytes >> 20) + " MB)");
    // A damaged file never replaces a sound that plays.
    if (auto* sounds = dynamic_cast<TWaveSounds*>(FComponent)) {
        const std::string why = sounds->Output().Check(image);
        if (!why.empty())
            throw EQvError("Il file " + name + " non è un file wav che si possa riprodurre: " + why);
    }
    FWaveFile.SetData(image);
    FActive = true;
    MarkChanged();
}

TWaveSounds::TWaveSounds(TServices& services, ISoundOutput& output)
    : TPersistentComponent(services, "TWaveSounds"), FOutput(output)
{
    LoadDefaults();
    SetModified(false);
}

TWaveSounds::~TWaveSounds()
{
    SaveIfModified();
}

std::unique_ptr<TPersistentComponent> TWaveSounds::NewEmpty() const
{
    static TSilentOutput silent;
    return std::make_unique<TWaveSounds>(FServices, silent);
}

const TPropTable& TWaveSounds::Table()
{
    using T = TWaveSounds;
    static const TPropTable t =
        TPropBuilder<T>(&TPersistentComponent::Table()).Collection("Waves", &T::Waves).Build();
    return t;
}

TWaveItem* TWaveSounds::FindWave(const std::string& name)
{
    for (auto& w : FWaves)
        if (SameText(w->Nome(), name))
            return w.get();
    return nullptr;
}

void TWaveSounds::Play(const std::string& name, bool pauseFirst)
{
    TWaveItem* item = FindWave(name);
    if (!item)
        throw EQvError("Suono " + name + " non trovato!");
    TWaveFile& f = item->WaveFile();
    if (f.Data().empty() || f.Disabled())
        return;
    const std::string fileName = f.FileName();
    FOutput.Play(f.Image(), pauseFirst, [this, fileName] {
        if (FErrorTold)
            return;
        FErrorTold = true;
        if (OnError)
            OnError("Errore durante la riproduzione del file: " + fileName +
                    "\rAltri suoni che non si possono riprodurre non saranno segnalati fino al prossimo avvio.");
    });
    if (f.OnPlay)
        f.OnPlay();
}

void TWaveSounds::PlayNamedSound(const std::string& name, bool pauseFirst)
{
    const TProfileItem* p = Profile ? Profile() : nullptr;
    if (p && !p->SoundsEnabled())
        return;
    Play(name, pauseFirst);
}

bool TWaveSounds::IsSoundDisabled(const std::string& name)
{
    const TWaveItem* w = FindWave(name);
    return w && w->WaveFile().Disabled();
}

void TWaveSounds::Beep(int frequency, int milliseconds)
{
    FOutput.Beep(frequency, milliseconds);
}

const std::vector<TDefaultWave>& DefaultWaves()
{
    static const std::vector<TDefaultWave> waves = {
        {"CambioStato", "Cambio impostazione della tariffa corrente", 7754},
        {"EndConnection", "Fine della connessione", 4638},
        {"Laser", "Invio SMS in corso", 1837},
        {"Message", "Novità", 9996},
        {"MsgBack", "", 1977},
        {"MsgBell", "", 5396},
        {"MsgEnd", "Fine invio SMS", 13250},
        {"MsgError", "Errore", 24616},
        {"MsgSent", "Invio SMS riuscito", 8681},
        {"Ring", "Scatto - inizio connessione", 5212},
        {"MsgToSend", "SMS accodato", 7740},
        {"MsgType", "", 3756},
        {"Clink", "", 6252},
    };
    return waves;
}

void TWaveSounds::LoadDefaults()
{
    // The factory sounds are the same every time: synthesized once a run.
    static const std::vector<std::string> synthesized = [] {
        std::vector<std::string> waves;
        for (const TDefaultWave& d : DefaultWaves())
            waves.push_back(SynthesizeWave(d.Nome, d.Size));
        return waves;
    }();
    FWaves.Clear();
    const auto& defaults = DefaultWaves();
    for (std::size_t i = 0; i < defaults.size(); ++i) {
        const TDefaultWave& d = defaults[i];
        TWaveItem& w = FWaves.Add();
        w.SetNome(d.Nome);
        w.SetDescrizione(d.Descrizione);
        w.WaveFile().SetFileName(std::string(d.Nome) + ".wav");
        w.WaveFile().SetData(synthesized[i]);
    }
}

namespace {

void PutLE(std::string& s, std::size_t at, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        s[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

} // namespace

std::string SynthesizeWave(const std::string& name, std::size_t size)
{
    constexpr std::uint32_t rate = 11025;
    const std::size_t n = size > 44 ? size - 44 : 0;
    std::string wav(44 + n, '\0');
    wav.replace(0, 4, "RIFF");
    PutLE(wav, 4, static_cast<std::uint32_t>(36 + n), 4);
    wav.replace(8, 8, "WAVEfmt ");
    PutLE(wav, 16, 16, 4);   // format chunk size
    PutLE(wav, 20, 1, 2);    // PCM
    PutLE(wav, 22, 1, 2);    // mono
    PutLE(wav, 24, rate, 4); // samples per second
    PutLE(wav, 28, rate, 4); // bytes per second
    PutLE(wav, 32, 1, 2);    // block align
    PutLE(wav, 34, 8, 2);    // bits per sample
    wav.replace(36, 4, "data");
    PutLE(wav, 40, static_cast<std::uint32_t>(n), 4);
    const double pi = 3.14159265358979323846;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double u = n > 1 ? static_cast<double>(i) / static_cast<double>(n - 1) : 0; // 0..1 through the sound
        const double fadeOut = std::min(1.0, (1.0 - u) * 20.0);
        const double fadeIn = std::min(1.0, u * 40.0);
        double v = 0;
        if (name == "Ring") // two quick strokes of a bell pair
            v = std::sin(2 * pi * 1320 * t) * 0.6 + std::sin(2 * pi * 1760 * t) * 0.4 * (std::fmod(t, 0.12) < 0.06);
        else if (name == "MsgError") // a low, rough buzz in three pulses
            v = (std::sin(2 * pi * 180 * t) > 0 ? 0.7 : -0.7) * (std::fmod(u * 3, 1.0) < 0.8 ? 1 : 0);
        else if (name == "Laser") // a fast falling sweep
            v = std::sin(2 * pi * (2400 - 1800 * u) * t);
        else if (name == "MsgBell" || name == "Message") // a bell dying away
            v = std::sin(2 * pi * (name == "Message" ? 880 : 1568) * t) * std::exp(-4 * u);
        else if (name == "EndConnection") // down a fifth
            v = std::sin(2 * pi * (u < 0.5 ? 784 : 523) * t);
        else if (name == "CambioStato") // up a fourth
            v = std::sin(2 * pi * (u < 0.5 ? 587 : 784) * t);
        else if (name == "MsgType" || name == "Clink") // short clicks
            v = std::sin(2 * pi * (name == "Clink" ? 3000 : 2000) * t) * std::exp(-30 * std::fmod(u * 4, 1.0));
        else // a rising three-note chime
            v = std::sin(2 * pi * (u < 0.33 ? 660 : u < 0.66 ? 880 : 1100) * t) * std::exp(-2 * std::fmod(u * 3, 1.0));
        v *= fadeIn * fadeOut * 0.8;
        wav[44 + i] = static_cast<char>(static_cast<std::uint8_t>(std::lround(128 + 127 * std::clamp(v, -1.0, 1.0))));
    }
    return wav;
}

} // namespace qv
