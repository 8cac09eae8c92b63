#pragma once
// A program's data on simulated files in virtual time, started on Wednesday 9 December 2026 at
// 10:00:00, for the tests of the live status.
#include "TestSupport.h"
#include "app/DataModule.h"
#include "core/DateTime.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace qv::test {

struct TLiveFixture : testing::Test
{
    using E = TMtxEventMatrixStatus;
    TTestContext Ctx{EncodeDate(2026, 12, 9) + EncodeTime(10, 0, 0, 0)};
    TRecordingSounds Sounds;
    std::unique_ptr<TDataModule> Data;
    TLiveFixture() { Start(); }
    void Start()
    {
        Data = std::make_unique<TDataModule>(Ctx.Services, &Sounds);
        Data->LoadAll();
        Status().SetProfile(&Data->Settings.Profiles()[0]);
    }
    // The process ends without closing the count: what is in "Status.dat" stays there.
    void Crash()
    {
        Data->MtxStatus.OnChangeState = nullptr;
        Data->MtxStatus.OnStopCounting = nullptr;
        Data.reset();
    }
    TStatus& Status() { return Data->Status; }
    TProfileItem& Profile() { return Data->Settings.Profiles()[0]; }
    TTaxItem& Tariff(const std::string& name) { return *Data->Taxations.FindTax(name); }
    TTaxItem& PulseTariff(double length, const std::string& name = "Scatti")
    {
        TTaxItem& t = Data->Taxations.AddTax("Prova", name, ttScatti, "");
        for (auto set : {&TTaxItem::SetScattiRidotta, &TTaxItem::SetScattiIntera, &TTaxItem::SetScattiPunta})
            (t.*set)(length);
        for (auto set : {&TTaxItem::SetCostoFissoRidotta, &TTaxItem::SetCostoFissoIntera, &TTaxItem::SetCostoFissoPunta})
            (t.*set)(127);
        return t;
    }
    // A pulse tariff with a monthly allowance of which `left` seconds are still free.
    TTaxItem& FreePulseTariff(double length, std::uint32_t left, const std::string& name = "Scatti")
    {
        TTaxItem& t = PulseTariff(length, name);
        t.SetBonusMese(1000);
        t.SetBonusDisponibile(left);
        return t;
    }
    void Seconds(int n) { Ctx.Time.Advance(n * 1000LL); }
    void Feed(E e) { Data->MtxStatus.SetEvent(nullptr, e); }
    int Rings() const { return static_cast<int>(std::count(Sounds.Played.begin(), Sounds.Played.end(), "Ring")); }
    const TDataUnits& Log() const { return Data->Connections; }
};

} // namespace qv::test
