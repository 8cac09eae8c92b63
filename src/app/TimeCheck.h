#pragma once
// What the program does with a time check: the balloons, the question, and moving the clock by the
// difference while a counted connection keeps its elapsed time, cost and next charge step.

#include "app/DataModule.h"
#include "timesync/InternetTime.h"

namespace qv {

class TTimeCheck
{
public:
    TTimeCheck(TServices& services, TDataModule& data, TInternetTime& client, IClockSetter& clock);
    ~TTimeCheck();
    // The general balloon (none: nothing is shown).
    std::function<void(const std::string&)> ShowBalloon;
    // A check against a server ("host" or "host:port").
    void Start(const std::string& server);
    // The menu item: with no server set, the message that says where to set one.
    void TimeSignal();
    // Moves the clock by delta (a day fraction) and keeps a counted connection whole.
    void Correct(double delta);

private:
    void Received(double delta);
    void Balloon(const std::string& text);
    TServices& FServices;
    TDataModule& FData;
    TInternetTime& FClient;
    IClockSetter& FClock;
};

} // namespace qv
