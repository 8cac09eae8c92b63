#pragma once
// The live record of the connection in progress: tariff, start, elapsed seconds, pulses, cost,
// seconds to the next charge step, band in force, and the connection's data. It checks the clock
// every second, prices the connection, and hands the finished one to the log. Kept in "Status.dat".

#include "app/MatrixStatus.h"
#include "app/Sounds.h"
#include "core/Persistent.h"
#include "core/PropertyMacros.h"
#include "tariffs/Connections.h"
#include "tariffs/Settings.h"
#include "tariffs/Taxations.h"

#include <functional>

namespace qv {

// The marker stored as entry name when counting was started by hand.
inline constexpr const char* ManualStartMarker = "***123ManualStart321***";

// What the live status asks the dial-up monitor (filled in by the detection subsystem).
struct TDialUpLookup
{
    std::function<bool(const std::string&)> IsPhoneBookEntry;
    std::function<std::string()> ActiveEntryName;
    std::function<std::string(const std::string&)> AddressOf;
    std::function<std::string(const std::string&)> PhoneNumberOf;
    std::function<int()> ActiveConnections;
};

class TStatus : public TPersistentComponent
{
public:
    TStatus(TServices& services, TSettings& settings, TDataUnits& log);
    ~TStatus() override;
    static const TPropTable& Table();
    const TPropTable& Properties() const override { return Table(); }
    std::unique_ptr<TPersistentComponent> NewEmpty() const override
    {
        return std::make_unique<TStatus>(FServices, FSettings, FLog);
    }

    // ---- published ----
    std::int32_t NumScatti() const { return FNumScatti; }
    void SetNumScatti(std::int32_t value);
    double CostoLire() const { return FCostoLire; }
    void SetCostoLire(double value);
    double Time() const { return FTime; }
    void SetTime(double value);
    QV_PROPERTY(double, StartTime, 0)
    std::int32_t CallRate() const { return FCallRate; }
    void SetCallRate(std::int32_t value);
    // Reads back "Avvio manuale" for the manual-start marker.
    std::string EntryName() const;
    void SetEntryName(const std::string& value);
    const std::string& StoredEntryName() const { return FEntryName; }
    QV_STRING_PROPERTY(DinamicIP)
    const std::string& DialingNumber() const { return FDialingNumber; }
    void SetDialingNumber(const std::string& value);
    QV_STRING_PROPERTY(AppName)
    QV_STRING_PROPERTY(DefaultTax)
    std::uint32_t BytesTransmitted() const { return FBytesTransmitted; }
    void SetBytesTransmitted(std::uint32_t value);
    std::uint32_t BytesReceived() const { return FBytesReceived; }
    void SetBytesReceived(std::uint32_t value);

    // ---- collaborators ----
    void SetMatrix(TMtxMatrixStatus* matrix) { FMatrix = matrix; }
    void SetTaxations(TTaxations* taxations) { FTaxations = taxations; }
    TMtxMatrixStatus* Matrix() const { return FMatrix; }
    void SetSounds(ISounds* sounds) { FSounds = sounds; }
    TDialUpLookup DialUp;
    std::function<void(const std::string&)> OnHint;
    std::function<void()> OnResetLogins;       // the SMS gateways log in again
    std::function<void()> OnStopByteCounters;  // the performance monitor stops
    std::function<void()> OnCloseDialWindow;
    std::function<void(const std::string&, std::uint32_t)> OnOpenDialWindow;
    std::function<std::string()> ResourceText; // empty while the resource watch is off

    // ---- driven by the state machine ----
    void StartPreCounting(bool useDialTime);
    void StartCounting();
    void StopCounting();
    void StopDialing();
    void Responding();
    void DialFailed(int errorCode, int lastStep);
    void TapiDroppedWhileDialing();
    void Reset();
    // The program or the tool stops: a running count is logged; a dial that never came on line is
    // not a connection and leaves nothing behind to recover.
    void EndOfRun();

    // ---- for the monitors and the main window ----
    void UpdateConnectionInfo();
    void SetTax(TTaxItem* tax);
    TTaxItem* Tax() const { return FTax; }
    void SelectTaxForEntry();
    void Dial(const std::string& entryName, std::uint32_t delayMs);
    std::string StatusText() const;
    double StepPeriod() const;
    void AppendToLog();
    // The record the log gets from the current values.
    TConnectionData CurrentConnection() const;
    bool SaveConnection(TConnectionData& data);
    void RecoverPendingConnection();
    // A connection that a stopped program left unsaved: a start time, an end not before it and
    // an entry name.
    bool HasPendingConnection() const;
    // Off for the command-line tool, which never answers the recovery question for the user.
    bool RecoverOnLoad = true;
    void AfterLoad() override;
    // One check of the clock, as the one-second timer runs it.
    void Check();

    TProfileItem* Profile() const { return FProfile; }
    void SetProfile(TProfileItem* profile) { FProfile = profile; }
    // The settings and tariffs were read back from an earlier image (a cancelled settings window):
    // the tariff, profile and entry objects are new ones, so only the pointers follow them; nothing
    // is priced or raised.
    void Rebind(TTaxItem* tax, TProfileItem* profile);
    TEntryItem* Entry() const { return FEntry; }
    TFasciaOraria Band() const { return FBand; }
    std::int32_t Elapsed() const { return FElapsed; }
    std::uint32_t Remaining() const { return FRemaining; }
    double RemainingAsTime() const { return FRemaining * 1000.0 / 86400000.0; }
    // The local time at the end: the real seconds counted after the start, so a count across a
    // daylight-saving change ends at the time the wall clock shows.
    double EndTime() const;
    std::uint32_t StartTick() const { return FStartTick; }
    std::int32_t DialOffset() const { return FDialOffset; }
    std::uint32_t BonusAtStart() const { return FBonusAtStart; }
    bool IsCounting() const { return FMatrix && FMatrix->IsCounting(); }
    bool IsDialing() const { return FMatrix && FMatrix->IsDialing(); }
    bool IsManualStart() const { return FEntryName == ManualStartMarker; }
    bool HasEntry() const;
    bool IsInternationalNumber() const;
    const TConnectionData& LastConnection() const { return FLastConnection; }
    double LastCost() const { return FLastCost; }
    bool DialRequested() const { return FDialRequested; }
    // Set by the dial window at the start of every attempt.
    void SetDialRequested(bool value) { FDialRequested = value; }
    // How the dial window redials: 0 not chosen (every dial request), 1 the same entry, 2 in turn
    // through the entries of the current tariff.
    int RedialMode = 0;
    Timer& CheckTimer() { return *FCheckTimer; }

    std::int32_t LastRasError = 0;
    std::int32_t LastRasState = 0;
    double ProgramStart = 0;
    double ScheduledDisconnect = 0;
    bool ScheduledShutdown = false;

    // ---- notifications ----
    std::function<void(TTaxItem* previous)> OnTaxChange;
    std::function<void()> OnCostChange;
    std::function<void()> OnCallRateChange;
    std::function<void()> OnMinuteChange;
    std::function<void()> OnSecond;
    std::function<void()> OnDayChange;
    std::function<void()> OnScattiChange;
    std::function<void()> OnTimeChange;
    std::function<void()> OnStartCounting;
    std::function<void()> OnRemainingChange;
    std::function<void(const TConnectionData&)> OnConnectionSaved;
    std::function<void()> OnStartTime;
    std::function<void()> OnConnectionInfo;
    std::function<void()> OnTaxNeeded;
    std::function<void()> OnBytesTransmittedChange;
    std::function<void()> OnBytesReceivedChange;
    std::function<void(TFasciaOraria)> OnBandChange;
    std::function<void()> OnMinLimit;
    std::function<void(const std::string&)> OnInternationalNumber;
    std::function<void(const std::string&)> OnDialRequest;

private:
    void PerSecond();
    void UpdateElapsed();
    void UpdateCost();
    void TimeRatedStep();
    void PulseRatedStep();
    void ConsumeFreeSeconds();
    // Takes a larger allowance of the tariff as the one the connection started with, unless a new
    // month granted it.
    void NoteAllowance();
    bool ShowFreeSeconds();
    void ReturnFreeSeconds();
    std::int32_t ElapsedNow() const;
    void ApplyConnectionCharge(bool silent);
    void SetRemaining(std::uint32_t value);
    void SaveWhenModified();
    void RestartNow();
    std::uint32_t TickNow() const;

    TSettings& FSettings;
    TDataUnits& FLog;
    TMtxMatrixStatus* FMatrix = nullptr;
    TTaxations* FTaxations = nullptr;
    ISounds* FSounds = nullptr;
    std::unique_ptr<Timer> FCheckTimer;
    bool FChecking = false;

    std::int32_t FNumScatti = 0;
    double FCostoLire = 0;
    double FTime = 0;
    std::int32_t FCallRate = 0;
    std::string FEntryName;
    std::string FDialingNumber;
    std::uint32_t FBytesTransmitted = 0;
    std::uint32_t FBytesReceived = 0;

    TTaxItem* FTax = nullptr;
    TFasciaOraria FBand = foNone;
    TProfileItem* FProfile = nullptr;
    TEntryItem* FEntry = nullptr;
    std::uint32_t FStartTick = 0;
    std::int32_t FDialOffset = 0;
    std::int32_t FElapsed = 0;
    std::uint32_t FStepStart = 0;
    std::uint32_t FSinceStep = 0;
    std::uint32_t FRemaining = 0;
    double FStepFraction = 0;
    std::uint32_t FCarrySecond = 0;
    std::uint32_t FBonusAccounted = 0;
    std::uint32_t FBonusAtStart = 0;
    bool FMinLimitArmed = false;
    bool FChargeApplied = false;
    bool FWarned = false;
    bool FDialRequested = false;
    int FLastSecond = 0, FLastMinute = 0, FLastHour = 0;
    std::int64_t FLastDate = 0;
    TConnectionData FLastConnection;
    double FLastCost = 0;
};

} // namespace qv
