// The time check in virtual time: the protocol's four bytes, one check at a time, time-out, the
// question or the automatic correction, and a counted connection kept whole across the change.
#include "LiveFixture.h"
#include "app/TimeCheck.h"
#include "platform/sim/SimTime.h"

using namespace qv;
using namespace qv::test;

namespace {

// A server whose answer the test writes byte by byte; reports come through the main loop.
class TScriptedTransport : public ITimeTransport
{
public:
    explicit TScriptedTransport(TimerService& timers) : FTimers(timers) {}
    void SetEvents(TEvents events) override { Events = std::move(events); }
    void Open(int check, const std::string& host, int port) override
    {
        ++Opened;
        Host = host;
        Port = port;
        const auto bytes = Bytes;
        const bool refuse = Refuse;
        FTimers.Post([this, check, bytes, refuse] {
            if (refuse) {
                Events.Failed(check, "refused");
                return;
            }
            Events.Connected(check);
            if (!bytes.empty())
                Events.Answer(check, bytes);
        });
    }
    void Close() override { ++Closed; }
    TEvents Events;
    std::vector<std::uint8_t> Bytes;
    bool Refuse = false;
    int Opened = 0, Closed = 0;
    std::string Host;
    int Port = 0;

private:
    TimerService& FTimers;
};

std::vector<std::uint8_t> BytesOf(double utc)
{
    const auto s = static_cast<std::uint32_t>(std::llround((utc - EncodeDate(1900, 1, 1)) * 86400.0));
    return {static_cast<std::uint8_t>(s >> 24), static_cast<std::uint8_t>(s >> 16), static_cast<std::uint8_t>(s >> 8),
            static_cast<std::uint8_t>(s)};
}

struct TTimeFixture : TLiveFixture
{
    TScriptedTransport Transport{Ctx.Time};
    TInternetTime Client{Ctx.Services, Transport};
    TSimClockSetter Clock;
    TTimeCheck Check{Ctx.Services, *Data, Client, Clock};
    std::vector<std::string> Balloons;
    TTimeFixture()
    {
        Client.SetTimeOut(20000);
        Check.ShowBalloon = [this](const std::string& t) { Balloons.push_back(t); };
        // The simulated clock follows a correction, as the system's would.
        Clock.OnShift = [this](std::int64_t us) { Ctx.Time.SetNow(Ctx.Time.Now() + static_cast<double>(us) / 86400e6); };
    }
    // A server that is `ahead` seconds ahead of this computer (whole seconds on the wire: the
    // clock is put at a half second so that 1.5 and 2.5 are exact).
    void ServerAhead(double ahead)
    {
        Ctx.Time.SetNow(std::floor(Ctx.Time.Now() * 86400.0) / 86400.0 + 0.5 * OneSecond);
        Transport.Bytes = BytesOf(Ctx.Time.UtcNow() + ahead * OneSecond);
    }
};

} // namespace

TEST(TimeProtocol, FourBytesAreReadInTheEraClosestToTheComputersClock)
{
    const double now = EncodeDate(2026, 12, 9);
    const auto read = [](const std::uint8_t(&b)[4], double reference) {
        return FormatDateTime("dd/mm/yyyy hh:nn:ss", TimeProtocolToDateTime(b, reference));
    };
    const std::uint8_t y2020[4] = {0xE1, 0xB6, 0x5F, 0x80};
    EXPECT_EQ(TimeProtocolToDateTime(y2020, now), EncodeDate(2020, 1, 1));
    const std::uint8_t zero[4] = {0, 0, 0, 0};
    EXPECT_EQ(TimeProtocolToDateTime(zero, EncodeDate(1920, 1, 1)), EncodeDate(1900, 1, 1));
    const std::uint8_t high[4] = {0x80, 0, 0, 0}; // 2^31 seconds: 20 January 1968 03:14:08
    EXPECT_EQ(read(high, now), "20/01/1968 03:14:08");
    const std::uint8_t top[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(read(top, now), "07/02/2036 06:28:15");
    // After the wrap of 2036 a small count is the next era, for a computer near that time, and a
    // count just before the wrap stays in its era for a computer just after it.
    const std::uint8_t after[4] = {0, 0, 0x0E, 0x10}; // 3600 seconds into the second era
    EXPECT_EQ(read(after, EncodeDate(2036, 2, 7)), "07/02/2036 07:28:16");
    EXPECT_EQ(read(after, now), "07/02/2036 07:28:16");
    EXPECT_EQ(read(top, EncodeDate(2036, 3, 1)), "07/02/2036 06:28:15");
    EXPECT_EQ(read(y2020, EncodeDate(2150, 1, 1)), "07/02/2156 06:28:16"); // 2020 + 2^32 seconds
}

TEST(TimeProtocol, ServerNamesWithAndWithoutPort)
{
    using P = std::pair<std::string, int>;
    EXPECT_EQ(SplitHostPort("time.nist.gov", 37), P("time.nist.gov", 37));
    EXPECT_EQ(SplitHostPort(" time.example.org:3737 ", 37), P("time.example.org", 3737));
    EXPECT_EQ(SplitHostPort("[::1]:1037", 37), P("::1", 1037));
    EXPECT_EQ(SplitHostPort("::1", 37), P("::1", 37));
    EXPECT_EQ(SplitHostPort("host:0", 37).second, 0);
    EXPECT_EQ(SplitHostPort("host:65536", 37).second, 0);
    EXPECT_EQ(SplitHostPort("host:+37", 37).second, 0);
    EXPECT_EQ(SplitHostPort("[::1", 37).second, 0);
}

TEST_F(TTimeFixture, AlmostRightSaysSoAndAFewSecondsAsk)
{
    ServerAhead(1.5);
    Check.Start("time.example.org");
    EXPECT_EQ(Balloons.at(0), "Avviata la procedura di aggiornamento dell'orario di sistema");
    Ctx.Time.Advance(10);
    EXPECT_EQ(Balloons.back(), "Il computer segna già l'ora esatta!");
    EXPECT_NEAR(Client.DeltaTime() * 86400.0, 1.5, 1e-6);
    EXPECT_TRUE(Ctx.Prompter.Shown.empty());

    ServerAhead(2.5);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrNo);
    Check.Start("time.example.org");
    Ctx.Time.Advance(10);
    ASSERT_EQ(Ctx.Prompter.Shown.size(), 1u);
    EXPECT_EQ(Ctx.Prompter.Shown[0].Text.substr(0, 23), "Il time server segna: m");
    EXPECT_NE(Ctx.Prompter.Shown[0].Text.find("\rL'orario di sistema deve essere spostato di: +2 sec\r\rModificare"),
              std::string::npos) << Ctx.Prompter.Shown[0].Text;
    EXPECT_TRUE(Clock.Shifts.empty()); // No leaves the clock alone
    EXPECT_FALSE(Data->QuestionPending);

    ServerAhead(-125.5); // the computer is ahead: Yes moves it back
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    const double before = Ctx.Time.UtcNow();
    Check.Start("time.example.org:3737");
    EXPECT_EQ(Transport.Port, 3737);
    Ctx.Time.Advance(10);
    ASSERT_EQ(Clock.Shifts.size(), 1u);
    EXPECT_EQ(Clock.Shifts[0], -125500000);
    EXPECT_NEAR((Ctx.Time.UtcNow() - before) * 86400.0, -125.5 + 0.01, 1e-3);
    EXPECT_EQ(Balloons.back().substr(0, 30), "Aggiornata l'ora di sistema: m");
    EXPECT_NE(Balloons.back().find("\rCorrezione effettuata: -2 min 5 sec"), std::string::npos) << Balloons.back();
}

TEST_F(TTimeFixture, AutomaticCheckCorrectsWithoutAskingAndAFailureSaysWhy)
{
    Data->Settings.SetAutoTimeCheck(true);
    ServerAhead(30.5);
    Check.Start("time.example.org");
    Ctx.Time.Advance(10);
    EXPECT_TRUE(Ctx.Prompter.Shown.empty());
    ASSERT_EQ(Clock.Shifts.size(), 1u);
    EXPECT_EQ(Clock.Shifts[0], 30500000);
    EXPECT_NE(Balloons.back().find("Correzione effettuata: +30 sec"), std::string::npos);

    // Beyond 15 minutes the automatic check asks, showing the server's time: an answer 9 years
    // ahead is not taken on trust.
    ServerAhead(15 * 60 + 1);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrNo);
    Check.Start("time.example.org");
    Ctx.Time.Advance(10);
    ASSERT_EQ(Ctx.Prompter.Shown.size(), 1u);
    EXPECT_NE(Ctx.Prompter.Shown[0].Text.find("spostato di: +15 min 1 sec"), std::string::npos);
    ServerAhead(9 * 365.25 * 86400);
    Ctx.Prompter.SetNextAnswer(TModalResult::mrNo);
    Check.Start("time.example.org");
    Ctx.Time.Advance(10);
    ASSERT_EQ(Ctx.Prompter.Shown.size(), 2u);
    const std::string year = FormatDateTime("yyyy", Ctx.Time.Now() + 9 * 365.25);
    EXPECT_NE(Ctx.Prompter.Shown[1].Text.find(" " + year + " "), std::string::npos) << Ctx.Prompter.Shown[1].Text;
    EXPECT_EQ(Clock.Shifts.size(), 1u);
    ServerAhead(15 * 60 - 1); // within the bound: corrected
    Check.Start("time.example.org");
    Ctx.Time.Advance(10);
    EXPECT_EQ(Clock.Shifts.size(), 2u);
    EXPECT_EQ(Ctx.Prompter.Shown.size(), 2u);

    Clock.Failure = "Interactive authentication required.";
    ServerAhead(30);
    Check.Start("time.example.org");
    Ctx.Time.Advance(10);
    EXPECT_EQ(Balloons.back(), "Impossibile modificare l'ora di sistema!\rControllare i diritti per modificare l'orario"
                               "\r[Interactive authentication required.]");
    // A clock kept by NTP is not a matter of rights: the user is told how to turn it off.
    Clock.Failure = AutomaticSyncReason;
    Check.Start("time.example.org");
    Ctx.Time.Advance(10);
    EXPECT_NE(Balloons.back().find("La sincronizzazione automatica dell'ora (NTP) è attiva"), std::string::npos);
    EXPECT_NE(Balloons.back().find("timedatectl set-ntp false"), std::string::npos);
    EXPECT_EQ(Balloons.back().find("diritti"), std::string::npos);
}

TEST_F(TTimeFixture, ACorrectionDuringACountKeepsElapsedTimeAndCost)
{
    Data->Settings.SetAutoTimeCheck(true);
    Feed(E::RasConnected);
    Seconds(94);
    const double step = -Status().CostoLire();
    Seconds(1);
    const std::int32_t elapsed = Status().Elapsed();
    const double cost = Status().CostoLire();
    ServerAhead(3600); // an hour ahead: asked, then the clock jumps forward
    Ctx.Prompter.SetNextAnswer(TModalResult::mrYes);
    Check.Start("time.example.org");
    Ctx.Time.Advance(10);
    ASSERT_EQ(Clock.Shifts.size(), 1u);
    Seconds(1);
    // One more second, priced as the second before it: not an hour more.
    EXPECT_EQ(Status().Elapsed(), elapsed + 1);
    EXPECT_NEAR(Status().CostoLire(), cost + (step + cost), 1e-9);
    EXPECT_NEAR((Status().EndTime() - CutToSeconds(Ctx.Time.Now())) * 86400.0, 0, 1.01);
}

TEST_F(TTimeFixture, OneCheckAtATimeWrongLengthsWaitForTheTimeOutAndErrorsName)
{
    Transport.Bytes = {1, 2, 3, 4, 5};
    Check.Start("time.example.org");
    Check.Start("time.example.org"); // a second one while the first runs: nothing
    EXPECT_EQ(Transport.Opened, 1);
    Ctx.Time.Advance(19000);
    EXPECT_TRUE(Client.Checking());
    Ctx.Time.Advance(1000);
    EXPECT_FALSE(Client.Checking());
    EXPECT_EQ(Balloons.back(), "Scaduto il tempo di attesa per il time server time.example.org");
    EXPECT_GE(Transport.Closed, 1);

    Transport.Refuse = true;
    Check.Start("localhost:37");
    Ctx.Time.Advance(10);
    EXPECT_EQ(Balloons.back(), "Il time server «localhost:37» non è raggiungibile!");
    // A server name that cannot be: the same text, and nothing is opened.
    const int opened = Transport.Opened;
    Check.Start("host:99999");
    Ctx.Time.Advance(10);
    EXPECT_EQ(Transport.Opened, opened);
    EXPECT_EQ(Balloons.back(), "Il time server «host:99999» non è raggiungibile!");
    // No server set: the menu item asks the default server (RFC 868 on port 37) and keeps it.
    Data->Settings.SetTimeServer("");
    const std::size_t shown = Ctx.Prompter.Shown.size();
    Transport.Refuse = false;
    ServerAhead(0);
    Check.TimeSignal();
    Ctx.Time.Advance(10);
    EXPECT_EQ(Client.Host, "time.nist.gov");
    EXPECT_EQ(Data->Settings.TimeServer(), "time.nist.gov");
    EXPECT_EQ(Ctx.Prompter.Shown.size(), shown);
    EXPECT_EQ(Balloons.back(), "Il computer segna già l'ora esatta!");
}

TEST(SimTimeServer, AnswersWithTheClockMovedByItsOffset)
{
    TTestContext ctx(EncodeDate(2026, 12, 9) + EncodeTime(10, 0, 0, 0));
    TSimTimeTransport sim(ctx.Time, ctx.Time);
    TInternetTime client(ctx.Services, sim);
    double delta = 0;
    std::string error;
    client.OnReceiveTime = [&](double d, double) { delta = d; };
    client.OnTimeError = [&](const std::string& e) { error = e; };
    sim.OffsetSeconds = 90;
    client.Host = "sim";
    client.StartCheck();
    ctx.Time.Advance(100);
    EXPECT_NEAR(delta * 86400.0, 90, 1.0);
    sim.Behaviour = TSimTimeAnswer::Refused;
    client.StartCheck();
    ctx.Time.Advance(100);
    EXPECT_EQ(error, "Il time server «sim» non è raggiungibile!");
}
