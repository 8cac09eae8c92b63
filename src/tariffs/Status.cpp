#include "tariffs/Status.h"

#include "core/LocalTime.h"

#include "core/DateTime.h"
#include "core/Functions.h"
#include "core/Strings.h"

#include <algorithm>
#include <cmath>

namespace qv {

TStatus::TStatus(TServices& services, TSettings& settings, TDataUnits& log)
    : TPersistentComponent(services, "TStatus"), FSettings(settings), FLog(log)
{
    FCheckTimer = services.Timers.CreateTimer("FTimerCheckStatus", 1000);
    FCheckTimer->SetEnabled(false);
    FCheckTimer->OnTimer = [this] { Check(); };
}

TStatus::~TStatus()
{
    FCheckTimer->SetEnabled(false);
    SaveIfModified();
}

const TPropTable& TStatus::Table()
{
    using T = TStatus;
    static const TPropTable t = TPropBuilder<T>(&TPersistentComponent::Table())
                                    .Int("NumScatti", &T::NumScatti, &T::SetNumScatti)
                                    .Float("CostoLire", &T::CostoLire, &T::SetCostoLire)
                                    .Date("Time", &T::Time, &T::SetTime)
                                    .Date("StartTime", &T::StartTime, &T::SetStartTime)
                                    .Int("CallRate", &T::CallRate, &T::SetCallRate)
                                    .Str("EntryName", &T::StoredEntryName, &T::SetEntryName)
                                    .Str("DinamicIP", &T::DinamicIP, &T::SetDinamicIP)
                                    .Str("DialingNumber", &T::DialingNumber, &T::SetDialingNumber)
                                    .Str("AppName", &T::AppName, &T::SetAppName)
                                    .Str("DefaultTax", &T::DefaultTax, &T::SetDefaultTax)
                                    .UInt32("BytesTransmitted", &T::BytesTransmitted, &T::SetBytesTransmitted)
                                    .UInt32("BytesReceived", &T::BytesReceived, &T::SetBytesReceived)
                                    .Build();
    return t;
}

// ---- setters ---------------------------------------------------------------------------------

void TStatus::SetNumScatti(std::int32_t value)
{
    if (FNumScatti == value)
        return;
    FNumScatti = value;
    SetModified(true);
    if (Loading())
        return;
    if (value > 0) {
        if (FSounds && (!FProfile || FProfile->SoundsEnabled()))
            FSounds->PlayNamedSound("Ring", false);
        FWarned = false;
    }
    if (FElapsed % 7 == 0)
        SaveWhenModified();
    if (OnScattiChange)
        OnScattiChange();
}

void TStatus::SetCostoLire(double value)
{
    FCostoLire = value;
    SetModified(true);
    if (!Loading() && OnCostChange)
        OnCostChange();
}

namespace {

// Stores a different value, marks the status modified and, outside loading, tells the listener.
template <class T>
void Assign(TStatus& status, T& field, T value, const std::function<void()>& notify)
{
    if (field == value)
        return;
    field = value;
    status.SetModified(true);
    if (!status.Loading() && notify)
        notify();
}

} // namespace

void TStatus::SetTime(double value)
{
    Assign(*this, FTime, value, OnTimeChange);
}

void TStatus::SetCallRate(std::int32_t value)
{
    Assign(*this, FCallRate, value, OnCallRateChange);
}

void TStatus::SetBytesTransmitted(std::uint32_t value)
{
    Assign(*this, FBytesTransmitted, value, OnBytesTransmittedChange);
}

void TStatus::SetBytesReceived(std::uint32_t value)
{
    Assign(*this, FBytesReceived, value, OnBytesReceivedChange);
}

void TStatus::Rebind(TTaxItem* tax, TProfileItem* profile)
{
    FTax = tax;
    FProfile = profile;
    FEntry = nullptr;
    if (!FEntryName.empty()) {
        const TKindEntry kind = FEntryName == ManualStartMarker ? keManual
                                : (DialUp.IsPhoneBookEntry && DialUp.IsPhoneBookEntry(FEntryName)) ? keRAS
                                                                                                  : keTAPI;
        FEntry = &FSettings.Entrys().EntryFor(FEntryName, kind);
    }
}

std::string TStatus::EntryName() const
{
    return IsManualStart() ? std::string(ManualStartName) : FEntryName;
}

void TStatus::SetEntryName(const std::string& value)
{
    if (FEntryName == value)
        return;
    FEntryName = value;
    if (!value.empty() && !Loading()) {
        const TKindEntry kind = value == ManualStartMarker ? keManual
                                : (DialUp.IsPhoneBookEntry && DialUp.IsPhoneBookEntry(value)) ? keRAS
                                                                                              : keTAPI;
        FEntry = &FSettings.Entrys().EntryFor(value, kind);
    } else if (value.empty()) {
        FEntry = nullptr;
    }
    SetModified(true);
    if (!Loading())
        SelectTaxForEntry();
}

void TStatus::SetDialingNumber(const std::string& value)
{
    if (FDialingNumber == value)
        return;
    FDialingNumber = value;
    SetModified(true);
    if (!Loading() && IsInternationalNumber() && OnInternationalNumber)
        OnInternationalNumber(value);
}

// ---- derived values ----------------------------------------------------------------------------

bool TStatus::HasEntry() const
{
    const std::string name = Trim(EntryName());
    return !name.empty() && name != "(Nessuna)";
}

bool TStatus::IsInternationalNumber() const
{
    return qv::IsInternationalNumber(FDialingNumber, FSettings.InternationalPrefix());
}

double TStatus::StepPeriod() const
{
    if (!FTax)
        return 0;
    const double now = FServices.Clk.Now();
    if (!FProfile)
        return FTax->PulseLength(FTax->BandAt(now));
    if (FTax->BonusDisponibile() != 0)
        return FTax->BonusDisponibile();
    if (FTax->Tipo() == ttTat) {
        if (FTax->BonusMese() != 0)
            return 0;
        if (FProfile->AutoDisconnect())
            return FProfile->TimeOutConnection();
        return static_cast<double>(DurationToSeconds(FTax->Quorvanta()));
    }
    return FTax->PulseLength(FTax->BandAt(now));
}

std::uint32_t TStatus::TickNow() const
{
    // 0 means "no start recorded": a tick count that happens to be 0 is taken as 1.
    const auto t = static_cast<std::uint32_t>(FServices.Clk.TickCount());
    return t == 0 ? 1 : t;
}

void TStatus::SaveWhenModified()
{
    if (Modified())
        Save();
}

// ---- the one-second check ------------------------------------------------------------------

void TStatus::Check()
{
    if (FChecking)
        return;
    FChecking = true;
    try {
        const double now = FServices.Clk.Now();
        const TTimeParts t = DecodeTime(now);
        const std::int64_t day = DecodeMs(now).Day;
        const bool minuteChanged = t.Hour != FLastHour || t.Minute != FLastMinute;
        const bool secondChanged = t.Second != FLastSecond;
        const bool dayChanged = day != FLastDate;
        FLastHour = t.Hour;
        FLastMinute = t.Minute;
        FLastSecond = t.Second;
        FLastDate = day;
        if (minuteChanged && OnMinuteChange)
            OnMinuteChange();
        if (secondChanged)
            PerSecond();
        if (dayChanged && OnDayChange)
            OnDayChange();
    } catch (...) {
        FChecking = false;
        throw;
    }
    FChecking = false;
}

void TStatus::PerSecond()
{
    UpdateElapsed();
    if (FTax) {
        const TFasciaOraria b = FTax->BandAt(FServices.Clk.Now());
        if (b != FBand) {
            FBand = b;
            if (OnBandChange)
                OnBandChange(b);
        }
        if (FTax->Tipo() == ttTat && FTax->MinLimite() > 0 && FMinLimitArmed && IsCounting() &&
            FElapsed >= FTax->MinLimite() * 60) {
            FMinLimitArmed = false;
            if (OnMinLimit)
                OnMinLimit();
        }
    }
    if (OnSecond)
        OnSecond();
}

void TStatus::UpdateElapsed()
{
    if (!IsDialing() && !IsCounting())
        return;
    const std::uint32_t ms = TickNow() - FStartTick;
    FElapsed = static_cast<std::int32_t>(ms / 1000) - FDialOffset;
    const std::int64_t s = FElapsed < 0 ? -static_cast<std::int64_t>(FElapsed) : FElapsed;
    const double duration = static_cast<double>(s / 86400) +
                            EncodeTime(static_cast<int>(s / 3600 % 24), static_cast<int>(s % 3600 / 60),
                                       static_cast<int>(s % 60), 0);
    SetTime(duration);
    UpdateCost();
}

void TStatus::UpdateCost()
{
    if (FElapsed <= 0 || !FTax)
        return;
    if (FTax->Tipo() == ttTat)
        TimeRatedStep();
    else
        PulseRatedStep();
}

double TStatus::EndTime() const
{
    if (!(FTime > 0))
        return FStartTime;
    return AddRealSeconds(FStartTime, DurationToSeconds(FTime));
}

void TStatus::NoteAllowance()
{
    // An allowance a new month granted during the count belongs to that month's part, which the
    // price gives it by itself; it is not what the connection started with.
    if (FTax->BonusMese() > 0 && FStartTime != 0) {
        const TDateParts started = DecodeDate(FStartTime);
        const TDateParts now = DecodeDate(FServices.Clk.Now());
        if (started.Year != now.Year || started.Month != now.Month)
            return;
    }
    FBonusAtStart = std::max(FBonusAtStart, FTax->BonusDisponibile());
}

void TStatus::ConsumeFreeSeconds()
{
    const auto elapsed = static_cast<std::uint32_t>(FElapsed);
    const std::uint32_t d = elapsed > FBonusAccounted ? elapsed - FBonusAccounted : 0;
    const std::uint32_t bonus = FTax->BonusDisponibile();
    FTax->SetBonusDisponibile(d >= bonus ? 0 : bonus - d);
}

bool TStatus::ShowFreeSeconds()
{
    const std::uint32_t left = FTax->BonusDisponibile();
    if (left == 0)
        return false;
    // The display counts the free seconds down one a second; the first charge step is measured
    // from the second they run out, as the price counts it.
    FStepStart = static_cast<std::uint32_t>(FElapsed) + left;
    FSinceStep = 0;
    SetRemaining(left);
    return true;
}

void TStatus::TimeRatedStep()
{
    const auto elapsed = static_cast<std::uint32_t>(FElapsed);
    FSinceStep = FStepStart < elapsed ? elapsed - FStepStart : 0;
    NoteAllowance();
    if (FTax->BonusDisponibile() == 0) {
        // Priced with the free seconds the connection started with, so the seconds that were free
        // stay free once the allowance runs out.
        SetCostoLire(FTax->ComputeCost(FStartTime, EndTime(), false, {}, FBonusAtStart).Cost);
    } else {
        ConsumeFreeSeconds();
    }
    FBonusAccounted = elapsed;
    if (FElapsed % 7 == 0)
        SaveWhenModified();
    if (ShowFreeSeconds())
        return;
    const double p = StepPeriod();
    if (p <= FSinceStep) {
        if (FProfile && FProfile->SoundsEnabled() && p > 0 && FSounds && !FSounds->IsSoundDisabled("Ring"))
            FSounds->Beep(1366, 100);
        FStepStart += FSinceStep;
        FSinceStep = 0;
    }
    const double whole = std::trunc(p);
    if (whole <= 0)
        SetRemaining(0);
    else if (FTax->BonusMese() != 0)
        SetRemaining(static_cast<std::uint32_t>(whole));
    else
        SetRemaining(static_cast<std::uint32_t>(whole) - FSinceStep);
}

void TStatus::PulseRatedStep()
{
    const auto elapsed = static_cast<std::uint32_t>(FElapsed);
    FSinceStep = FStepStart < elapsed ? elapsed - FStepStart : 0;
    NoteAllowance();
    if (FTax->BonusDisponibile() != 0) {
        ConsumeFreeSeconds();
    } else {
        const TTaxItem::TPrice price = FTax->ComputeCost(FStartTime, EndTime(), false, {}, FBonusAtStart);
        SetCostoLire(price.Cost);
        SetNumScatti(price.Pulses);
    }
    FBonusAccounted = elapsed;
    if (ShowFreeSeconds())
        return;
    const double p = StepPeriod();
    const double whole = std::trunc(p);
    if (FSinceStep >= whole + FCarrySecond) {
        FStepFraction += p - whole;
        if (FStepFraction >= 1) {
            FCarrySecond = 1;
            FStepFraction -= 1;
        } else {
            FCarrySecond = 0;
        }
        FStepStart += FSinceStep;
        FSinceStep = 0;
    }
    if (p > 0)
        SetRemaining(FSinceStep >= p + FCarrySecond ? 0
                                                    : static_cast<std::uint32_t>(whole) + FCarrySecond - FSinceStep);
    if (FProfile && FProfile->SoundsEnabled() && FProfile->Preavviso() && FRemaining < 16 &&
        (!FWarned || FProfile->Petulante())) {
        FWarned = true;
        if (FSounds)
            FSounds->Beep(1366, 100);
    }
}

void TStatus::SetRemaining(std::uint32_t value)
{
    if (FRemaining == value)
        return;
    FRemaining = value;
    if (OnRemainingChange)
        OnRemainingChange();
}

// ---- connection life -------------------------------------------------------------------------

void TStatus::ApplyConnectionCharge(bool silent)
{
    FChargeApplied = true;
    if (!FTax)
        return;
    // The charge as the whole connection will be priced: free seconds at its start mean no charge.
    NoteAllowance();
    const TTaxItem::TPrice charge = FTax->ConnectionCharge(FStartTime, FBonusAtStart);
    SetCostoLire(charge.Cost);
    SetNumScatti(charge.Pulses);
    // Free seconds already consumed while dialling stay consumed: counting them again from 0 would
    // take them from the allowance twice.
    FBonusAccounted = static_cast<std::uint32_t>(std::max(FElapsed, 0));
    if (FTax->Tipo() == ttTat && !silent) {
        if (FSounds && (!FProfile || FProfile->SoundsEnabled()))
            FSounds->PlayNamedSound("Ring", false);
        FWarned = false;
    }
}

void TStatus::ReturnFreeSeconds()
{
    if (FStartTick != 0 && FTax && FBonusAtStart > FTax->BonusDisponibile())
        FTax->SetBonusDisponibile(FBonusAtStart);
}

void TStatus::StartPreCounting(bool useDialTime)
{
    // A start that replaces an earlier one gives back the free seconds the earlier one took:
    // they are no longer part of the call that will be logged.
    ReturnFreeSeconds();
    FStartTick = TickNow();
    const double now = FServices.Clk.Now();
    SetStartTime(CutToSeconds(now));
    FDialOffset = useDialTime && FEntry ? FEntry->DialTime() : 0;
    FElapsed = -FDialOffset;
    FBonusAccounted = 0;
    FStepStart = 0;
    FSinceStep = 0;
    FBonusAtStart = FTax ? FTax->BonusDisponibile() : 0;
    if (OnStartTime)
        OnStartTime();
}

std::int32_t TStatus::ElapsedNow() const
{
    if (FStartTick == 0)
        return 0;
    return static_cast<std::int32_t>((TickNow() - FStartTick) / 1000) - FDialOffset;
}

void TStatus::StartCounting()
{
    // The elapsed time of this moment, not of the last check: a line that answers within the
    // second of the dial would otherwise keep the uncharged dial time.
    if (FStartTime == 0 || FStartTick == 0 || ElapsedNow() < 0) {
        StartPreCounting(false);
        SetTime(0);
    }
    ApplyConnectionCharge(false);
    if (OnResetLogins)
        OnResetLogins();
    FMinLimitArmed = true;
    SaveWhenModified();
    if (OnStartCounting)
        OnStartCounting();
}

void TStatus::StopCounting()
{
    if (IsCounting()) {
        if (FMatrix && FMatrix->State() == TMtxStateMatrixStatus::RasStart)
            FEntryName = "Errore RAS - " + EntryName();
        UpdateCost();
        if (OnStopByteCounters)
            OnStopByteCounters();
        SaveConnection(FLastConnection);
    }
    Reset();
}

void TStatus::EndOfRun()
{
    if (IsCounting())
        StopCounting();
    else if (IsDialing())
        Reset();
}

void TStatus::StopDialing()
{
    if (!IsDialing())
        return;
    FEntryName = Trim(FDialingNumber).empty() ? std::string("Errore selezione") : "Errore selezione - " + FDialingNumber;
    if (OnCloseDialWindow)
        OnCloseDialWindow();
    if (FMatrix)
        FMatrix->SetEvent(this, TMtxEventMatrixStatus::AskHold);
}

void TStatus::Responding()
{
    SaveConnection(FLastConnection);
    if (FLastCost > 0 && OnHint)
        OnHint("La connessione a vuoto è costata " + std::to_string(static_cast<long long>(std::trunc(FLastCost))) +
               " £ire\rMaledizione! @#@##");
}

void TStatus::RestartNow()
{
    // The count starts again from now: the free seconds the dial took go back to the tariff and
    // the old elapsed time goes, or the call would end in the future.
    ReturnFreeSeconds();
    FElapsed = 0;
    FStepStart = 0;
    FSinceStep = 0;
    SetTime(0);
    ApplyConnectionCharge(true);
    FStartTick = TickNow();
    SetStartTime(FServices.Clk.Now());
}

void TStatus::DialFailed(int errorCode, int lastStep)
{
    if (FCostoLire == 0)
        RestartNow();
    TMtxEventMatrixStatus event = TMtxEventMatrixStatus::RasError;
    if (FCostoLire > 0) {
        static constexpr int neverReached[] = {602, 619, 629, 630, 631, 633, 651, 666, 676, 692};
        const bool unreached =
            lastStep <= 1 || std::find(std::begin(neverReached), std::end(neverReached), errorCode) != std::end(neverReached);
        if (unreached)
            event = TMtxEventMatrixStatus::RasError;
        else if (lastStep == 2)
            event = TMtxEventMatrixStatus::AskHold;
        else
            event = TMtxEventMatrixStatus::Answered;
    }
    if (FMatrix)
        FMatrix->SetEvent(this, event);
}

void TStatus::TapiDroppedWhileDialing()
{
    if (FCostoLire == 0)
        RestartNow();
    if (FMatrix)
        FMatrix->SetEvent(this, FCostoLire > 0 ? TMtxEventMatrixStatus::AskHold : TMtxEventMatrixStatus::TapiIdle);
}

void TStatus::Reset()
{
    if (FCostoLire != 0 || FTime != 0 || FNumScatti != 0)
        SetModified(true);
    FChargeApplied = false;
    FMinLimitArmed = false;
    FCostoLire = 0;
    FTime = 0;
    FRemaining = 0;
    FStepStart = 0;
    FBonusAccounted = 0;
    FStepFraction = 0;
    FCarrySecond = 0;
    FSinceStep = 0;
    FElapsed = 0;
    FStartTick = 0;
    FBonusAtStart = 0;
    FDialRequested = false;
    FNumScatti = 0;
    ScheduledDisconnect = 0;
    SetStartTime(0);
    SetCallRate(0);
    SetDialingNumber("");
    SetEntryName("");
    SetAppName("");
    SetDinamicIP("");
    SetBytesTransmitted(0);
    SetBytesReceived(0);
    SaveWhenModified();
}

void TStatus::UpdateConnectionInfo()
{
    const std::string entry = DialUp.ActiveEntryName ? DialUp.ActiveEntryName() : std::string();
    SetEntryName(entry);
    SetDinamicIP(DialUp.AddressOf ? DialUp.AddressOf(entry) : std::string());
    if (Trim(FDialingNumber).empty() && DialUp.PhoneNumberOf)
        SetDialingNumber(DialUp.PhoneNumberOf(entry));
    if (OnConnectionInfo)
        OnConnectionInfo();
}

void TStatus::SetTax(TTaxItem* tax)
{
    if (!tax) {
        FTax = nullptr;
        return;
    }
    if (tax == FTax) {
        // The tariff already applied, chosen for an entry that has none yet: the entry records it,
        // or the chooser would come back at its every connection.
        if (HasEntry())
            FSettings.Entrys().SetEntryTax(FEntryName, tax->DisplayName(), DialUp.IsPhoneBookEntry);
        return;
    }
    TTaxItem* previous = FTax;
    FTax = tax;
    SetDefaultTax(tax->DisplayName());
    if (FStartTick != 0) {
        // The previous tariff gets back every free second this connection took from it.
        if (previous && FBonusAtStart > previous->BonusDisponibile())
            previous->SetBonusDisponibile(FBonusAtStart);
        // The new tariff prices the whole connection with its own free seconds, never with those
        // of the tariff it replaces.
        const std::uint32_t allowance = tax->BonusDisponibile();
        FBonusAtStart = allowance;
        const auto elapsed = static_cast<std::uint32_t>(std::max(FElapsed, 0));
        if (FElapsed > 0) {
            const TTaxItem::TPrice price = tax->ComputeCost(FStartTime, EndTime(), false, {}, allowance);
            SetCostoLire(price.Cost);
            SetNumScatti(price.Pulses);
        } else if (FChargeApplied) {
            const TTaxItem::TPrice charge = tax->ConnectionCharge(FStartTime, allowance);
            SetCostoLire(charge.Cost);
            SetNumScatti(charge.Pulses);
        }
        tax->SetBonusDisponibile(elapsed < allowance ? allowance - elapsed : 0);
        FBonusAccounted = elapsed;
    }
    if (HasEntry())
        FSettings.Entrys().SetEntryTax(FEntryName, tax->DisplayName(), DialUp.IsPhoneBookEntry);
    if (OnTaxChange)
        OnTaxChange(previous);
}

void TStatus::SelectTaxForEntry()
{
    if (IsManualStart()) {
        if (OnTaxNeeded)
            OnTaxNeeded();
        return;
    }
    if (!HasEntry())
        return;
    const int index = FSettings.Entrys().IndexOfEntry(FEntryName);
    if (index < 0) {
        if (OnTaxNeeded)
            OnTaxNeeded();
        return;
    }
    const TEntryItem& entry = FSettings.Entrys()[static_cast<std::size_t>(index)];
    if (OnHint)
        OnHint("Imposto la tariffa " + entry.TaxName() + " associata alla connessione " + EntryName());
    TTaxItem* found = FTaxations ? FTaxations->FindTax(entry.TaxName()) : nullptr;
    if (found)
        SetTax(found);
    else if (OnTaxNeeded)
        OnTaxNeeded();
}

void TStatus::Dial(const std::string& entryName, std::uint32_t delayMs)
{
    if (OnDialRequest)
        OnDialRequest(entryName);
    FDialRequested = true;
    RedialMode = 0;
    if (OnOpenDialWindow)
        OnOpenDialWindow(entryName, delayMs);
}

TConnectionData TStatus::CurrentConnection() const
{
    TConnectionData c;
    c.Start = FStartTime;
    c.End = EndTime();
    c.Pulses = FNumScatti;
    c.Cost = FCostoLire;
    c.Entry = EntryName();
    c.Ip = DinamicIP();
    c.Speed = FCallRate;
    c.Sent = FBytesTransmitted;
    c.Received = FBytesReceived;
    return c;
}

bool TStatus::SaveConnection(TConnectionData& data)
{
    const bool valid = FStartTick != 0 && FStartTime != 0 && EndTime() >= FStartTime;
    TConnectionData c;
    if (valid) {
        c = CurrentConnection();
        data = c;
        FLog.AddConnection(c);
        FLastCost = c.Cost;
    }
    Reset();
    if (valid && OnConnectionSaved)
        OnConnectionSaved(c);
    return valid;
}

void TStatus::AppendToLog()
{
    FLog.AddConnection(CurrentConnection());
}

bool TStatus::HasPendingConnection() const
{
    return FStartTime != 0 && EndTime() >= FStartTime && !Trim(EntryName()).empty();
}

void TStatus::RecoverPendingConnection()
{
    if (!HasPendingConnection()) {
        // A start time with nothing to recover (no entry name, or an end before the start) would
        // leave the next connection looking like this one: clear it.
        if (FStartTime != 0 || FTime != 0 || FCostoLire != 0 || FNumScatti != 0)
            Reset();
        return;
    }
    const std::string question =
        "Attenzione: la connessione «" + EntryName() + "» di " + FormatDateTime("dddd d mmmm yyyy", FStartTime) +
        " delle " + FormatDateTime("h:nn", FStartTime) +
        "\rnon è stata salvata probabilmente per un blocco del sistema @#@##!\r" + FServices.System.OsName() +
        " sei grande!\r\r«Sì» per aggiungere la connessione\r«No» per ignorarla (non sarà visualizzata nelle "
        "statistiche)\r\r[Durata: " +
        FormatDurationLong(FTime) + " spesa: " + std::to_string(static_cast<long long>(std::trunc(FCostoLire))) +
        " lire]";
    const TModalResult answer = AskYesNo(FServices.Prompter, question);
    // No answer (the session ended while the question was open) decides nothing: the connection
    // stays in "Status.dat" and is asked about at the next start.
    if (answer != TModalResult::mrYes && answer != TModalResult::mrNo)
        return;
    if (answer == TModalResult::mrYes)
        AppendToLog();
    Reset();
}

void TStatus::AfterLoad()
{
    TPersistentComponent::AfterLoad();
    if (RecoverOnLoad)
        RecoverPendingConnection();
    FCheckTimer->SetEnabled(true);
}

std::string TStatus::StatusText() const
{
    std::string text;
    std::string first = FMatrix ? TMtxMatrixStatus::StateDescription(FMatrix->State()) : "Nessuna connessione attiva";
    if (HasEntry()) {
        const int active = DialUp.ActiveConnections ? DialUp.ActiveConnections() : 0;
        first = Trim(first) + " [" + EntryName() + "]" +
                (active >= 2 ? " - Connessioni attive: " + std::to_string(active) : std::string());
    }
    text += first + "\r";
    if (FTax) {
        std::string band;
        try {
            band = BandName(FTax->BandAt(FServices.Clk.Now()));
        } catch (const std::exception&) {
            band = "?";
        }
        text += "Tariffa " + FTax->DisplayName() + " - Fascia " + band + "\r";
    }
    if (!FDinamicIP.empty())
        text += "Indirizzo IP " + FDinamicIP + "\r";
    if (IsCounting()) {
        if (!Trim(FAppName).empty())
            text += FAppName + " - " + FSettings.DeviceName() + "\r";
        if (FCallRate > 0)
            text += "Connesso alla velocità di " + FormatNumber(std::int64_t{FCallRate}) + " bps\r";
        if (!FDialingNumber.empty())
            text += "Numero telefonico " + FDialingNumber + "\r";
        text += "Il conteggio è iniziato alle " + FormatDateTime("h:nn:ss", FStartTime) + "\r";
    }
    if (ResourceText) {
        const std::string r = ResourceText();
        if (!r.empty())
            text += "Risorse " + r + "\r";
    }
    const std::string today = FLog.TodayText();
    if (!today.empty())
        text += "Connessioni di oggi » " + today + " £irette\r";
    if (ScheduledDisconnect != 0)
        text += "Disconnessione programmata: " + FormatDateTime("dddd d mmmm yyyy h:nn:ss", ScheduledDisconnect) +
                (ScheduledShutdown ? " con chiusura di " + FServices.System.OsName() : std::string()) + "\r";
    return Trim(text);
}

} // namespace qv
