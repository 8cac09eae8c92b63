#include "app/TimeCheck.h"

#include "core/DateTime.h"
#include "core/Functions.h"
#include "core/Strings.h"

#include <cmath>

namespace qv {

TTimeCheck::TTimeCheck(TServices& services, TDataModule& data, TInternetTime& client, IClockSetter& clock)
    : FServices(services), FData(data), FClient(client), FClock(clock)
{
    FClient.OnStartCheck = [this] { Balloon("Avviata la procedura di aggiornamento dell'orario di sistema"); };
    FClient.OnTimeError = [this](const std::string& text) { Balloon(text); };
    FClient.OnReceiveTime = [this](double delta, double) { Received(delta); };
}

TTimeCheck::~TTimeCheck()
{
    FClient.OnStartCheck = nullptr;
    FClient.OnTimeError = nullptr;
    FClient.OnReceiveTime = nullptr;
}

void TTimeCheck::Balloon(const std::string& text)
{
    if (ShowBalloon)
        ShowBalloon(text);
}

void TTimeCheck::Start(const std::string& server)
{
    FClient.Host = server;
    FClient.StartCheck();
}

void TTimeCheck::TimeSignal()
{
    // With no server chosen the default one is asked, and kept so that the page "Ora esatta" shows
    // which server the time comes from.
    if (Trim(FData.Settings.TimeServer()).empty())
        FData.Settings.SetTimeServer(TInternetTime::DefaultServer);
    Start(FData.Settings.TimeServer());
}

void TTimeCheck::Received(double delta)
{
    if (std::abs(delta) <= ExactClockBound()) {
        Balloon("Il computer segna già l'ora esatta!");
        return;
    }
    // Corrected without a question only within the bound; a larger move shows the server's time.
    if (FData.Settings.AutoTimeCheck() && std::abs(delta) <= MaxSilentCorrection) {
        Correct(delta);
        return;
    }
    FData.QuestionPending = true;
    const TModalResult answer = AskYesNo(
        FServices.Prompter, "Il time server segna: " + FormatDateTime("dddd d mmmm yyyy hh:nn:ss", FServices.Clk.Now() + delta) +
                                "\rL'orario di sistema deve essere spostato di: " + (delta >= 0 ? "+" : "-") +
                                FormatDurationLong(std::abs(delta)) + "\r\rModificare l'orario di sistema?");
    FData.QuestionPending = false;
    if (answer == TModalResult::mrYes)
        Correct(delta);
}

void TTimeCheck::Correct(double delta)
{
    const auto us = static_cast<std::int64_t>(std::llround(delta * 86400.0 * 1e6));
    if (const std::string why = FClock.ShiftClock(us); !why.empty()) {
        Balloon(ClockRefusalText(why));
        return;
    }
    // The elapsed time runs on the steady tick; the start moves with the clock so that the span
    // priced (start to start + elapsed) stays the span of the connection in the new time.
    TStatus& s = FData.Status;
    if (s.IsCounting())
        s.SetStartTime(CutToSeconds(FServices.Clk.Now()) - s.Time());
    Balloon("Aggiornata l'ora di sistema: " + FormatDateTime("dddd d mmmm yyyy h:nn", FServices.Clk.Now()) +
            "\rCorrezione effettuata: " + (delta >= 0 ? "+" : "-") + FormatDurationLong(std::abs(delta)));
}

} // namespace qv
