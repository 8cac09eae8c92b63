#pragma once
// Persistent classes shaped like the program's status, tariff list and connection log, used to
// test the persistence mechanism on its own against the reference files.

#include "core/Persistent.h"

namespace qv::test {

class TShapeStatus : public TPersistentComponent
{
public:
    explicit TShapeStatus(TServices& s) : TPersistentComponent(s, "TStatus") {}
    ~TShapeStatus() override { SaveIfModified(); }
    static const TPropTable& Table()
    {
        using T = TShapeStatus;
        static const TPropTable t = TPropBuilder<T>(&TPersistentComponent::Table())
                                        .Int("NumScatti", &T::NumScatti, &T::SetNumScatti)
                                        .Float("CostoLire", &T::CostoLire, &T::SetCostoLire)
                                        .Date("Time", &T::Time, &T::SetTime)
                                        .Date("StartTime", &T::StartTime, &T::SetStartTime)
                                        .Int("CallRate", &T::CallRate, &T::SetCallRate)
                                        .Str("EntryName", &T::EntryName, &T::SetEntryName)
                                        .Str("DinamicIP", &T::DinamicIP, &T::SetDinamicIP)
                                        .Str("DialingNumber", &T::DialingNumber, &T::SetDialingNumber)
                                        .Str("AppName", &T::AppName, &T::SetAppName)
                                        .Str("DefaultTax", &T::DefaultTax, &T::SetDefaultTax)
                                        .UInt32("BytesTransmitted", &T::BytesTransmitted, &T::SetBytesTransmitted)
                                        .UInt32("BytesReceived", &T::BytesReceived, &T::SetBytesReceived)
                                        .Build();
        return t;
    }
    const TPropTable& Properties() const override { return Table(); }

#define QV_FIELD(Type, Name, Init)                                                                                     \
    Type Name() const { return F##Name; }                                                                              \
    void Set##Name(Type v)                                                                                             \
    {                                                                                                                  \
        if (F##Name == v)                                                                                              \
            return;                                                                                                    \
        F##Name = v;                                                                                                   \
        SetModified(true);                                                                                             \
    }                                                                                                                  \
    Type F##Name = Init;
#define QV_SFIELD(Name)                                                                                                \
    const std::string& Name() const { return F##Name; }                                                                \
    void Set##Name(const std::string& v)                                                                               \
    {                                                                                                                  \
        if (F##Name == v)                                                                                              \
            return;                                                                                                    \
        F##Name = v;                                                                                                   \
        SetModified(true);                                                                                             \
    }                                                                                                                  \
    std::string F##Name;

    QV_FIELD(std::int32_t, NumScatti, 0)
    QV_FIELD(double, CostoLire, 0)
    QV_FIELD(double, Time, 0)
    QV_FIELD(double, StartTime, 0)
    QV_FIELD(std::int32_t, CallRate, 0)
    QV_SFIELD(EntryName)
    QV_SFIELD(DinamicIP)
    QV_SFIELD(DialingNumber)
    QV_SFIELD(AppName)
    QV_SFIELD(DefaultTax)
    QV_FIELD(std::uint32_t, BytesTransmitted, 0)
    QV_FIELD(std::uint32_t, BytesReceived, 0)
};

#undef QV_FIELD
#define QV_FIELD(Type, Name, Init)                                                                                     \
    Type Name() const { return F##Name; }                                                                              \
    void Set##Name(Type v)                                                                                             \
    {                                                                                                                  \
        if (F##Name == v)                                                                                              \
            return;                                                                                                    \
        F##Name = v;                                                                                                   \
        Changed(true);                                                                                                 \
    }                                                                                                                  \
    Type F##Name = Init;
#undef QV_SFIELD
#define QV_SFIELD(Name)                                                                                                \
    const std::string& Name() const { return F##Name; }                                                                \
    void Set##Name(const std::string& v)                                                                               \
    {                                                                                                                  \
        if (F##Name == v)                                                                                              \
            return;                                                                                                    \
        F##Name = v;                                                                                                   \
        Changed(true);                                                                                                 \
    }                                                                                                                  \
    std::string F##Name;

class TShapeUnit : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table()
    {
        using T = TShapeUnit;
        static const TPropTable t = TPropBuilder<T>()
                                        .Date("I", &T::I, &T::SetI)
                                        .Date("F", &T::F, &T::SetF)
                                        .Int("S", &T::S, &T::SetS)
                                        .Float("L", &T::L, &T::SetL)
                                        .Float("E", &T::E, &T::SetE)
                                        .Str("N", &T::N, &T::SetN)
                                        .Str("Z", &T::Z, &T::SetZ)
                                        .Int("Y", &T::Y, &T::SetY)
                                        .UInt32("T", &T::T_, &T::SetT_)
                                        .UInt32("R", &T::R, &T::SetR)
                                        .Build();
        return t;
    }
    const TPropTable& Properties() const override { return Table(); }
    QV_FIELD(double, I, 0)
    QV_FIELD(double, F, 0)
    QV_FIELD(std::int32_t, S, 0)
    QV_FIELD(double, L, 0)
    QV_FIELD(double, E, 0)
    QV_SFIELD(N)
    QV_SFIELD(Z)
    QV_FIELD(std::int32_t, Y, 0)
    QV_FIELD(std::uint32_t, T_, 0)
    QV_FIELD(std::uint32_t, R, 0)
};

class TShapeUnits : public TPersistentComponent
{
public:
    explicit TShapeUnits(TServices& s) : TPersistentComponent(s, "TDataUnits") { SetAskOnLoadError(true); }
    ~TShapeUnits() override { SaveIfModified(); }
    static const TPropTable& Table()
    {
        static const TPropTable t = TPropBuilder<TShapeUnits>(&TPersistentComponent::Table())
                                        .Collection("Units", &TShapeUnits::Units)
                                        .Build();
        return t;
    }
    const TPropTable& Properties() const override { return Table(); }
    TDataCollection<TShapeUnit>& Units() { return FUnits; }
    TDataCollection<TShapeUnit> FUnits{this};
};

enum TShapeBand
{
    foPunta,
    foIntera,
    foRidotta,
    foNone
};
enum TShapeKind
{
    ttTat,
    ttScatti
};

class TShapeBandItem : public TDataCollectionItem
{
public:
    using TDataCollectionItem::TDataCollectionItem;
    static const TPropTable& Table()
    {
        using T = TShapeBandItem;
        static const TPropTable t = TPropBuilder<T>()
                                        .Enum("Tipo", &T::Tipo, &T::SetTipo, {"foPunta", "foIntera", "foRidotta", "foNone"})
                                        .Date("TimeBegin", &T::TimeBegin, &T::SetTimeBegin)
                                        .Date("TimeEnd", &T::TimeEnd, &T::SetTimeEnd)
                                        .Build();
        return t;
    }
    const TPropTable& Properties() const override { return Table(); }
    QV_FIELD(TShapeBand, Tipo, foRidotta)
    QV_FIELD(double, TimeBegin, 0)
    QV_FIELD(double, TimeEnd, 0)
};

// A tariff is created with one band per list, as the program's tariffs are.
class TShapeTax : public TDataCollectionItem
{
public:
    explicit TShapeTax(TPersistentComponent* c) : TDataCollectionItem(c)
    {
        for (auto* list : {&FBandsFeriali, &FBandsSabato, &FBandsFestivi}) {
            auto& b = list->Add();
            b.FTimeEnd = 86399999.0 / 86400000.0;
        }
    }
    static const TPropTable& Table()
    {
        using T = TShapeTax;
        static const TPropTable t = TPropBuilder<T>()
                                        .Str("Nome", &T::Nome, &T::SetNome)
                                        .Str("Gestore", &T::Gestore, &T::SetGestore)
                                        .Str("Descrizione", &T::Descrizione, &T::SetDescrizione)
                                        .Enum("Tipo", &T::Tipo, &T::SetTipo, {"ttTat", "ttScatti"})
                                        .Float("ScattiRidotta", &T::ScattiRidotta, &T::SetScattiRidotta)
                                        .Float("ScattiIntera", &T::ScattiIntera, &T::SetScattiIntera)
                                        .Float("ScattiPunta", &T::ScattiPunta, &T::SetScattiPunta)
                                        .Int("ScattiAllaRisposta", &T::ScattiAllaRisposta, &T::SetScattiAllaRisposta)
                                        .Float("CostoFissoRidotta", &T::CostoFissoRidotta, &T::SetCostoFissoRidotta)
                                        .Float("CostoFissoIntera", &T::CostoFissoIntera, &T::SetCostoFissoIntera)
                                        .Float("CostoFissoPunta", &T::CostoFissoPunta, &T::SetCostoFissoPunta)
                                        .Float("TatRidotta1", &T::TatRidotta1, &T::SetTatRidotta1)
                                        .Float("TatRidotta2", &T::TatRidotta2, &T::SetTatRidotta2)
                                        .Float("TatIntera1", &T::TatIntera1, &T::SetTatIntera1)
                                        .Float("TatIntera2", &T::TatIntera2, &T::SetTatIntera2)
                                        .Float("TatPunta1", &T::TatPunta1, &T::SetTatPunta1)
                                        .Float("TatPunta2", &T::TatPunta2, &T::SetTatPunta2)
                                        .Bool("FormulaUrbana", &T::FormulaUrbana, &T::SetFormulaUrbana)
                                        .Int("MinLimite", &T::MinLimite, &T::SetMinLimite)
                                        .Int("BonusMese", &T::BonusMese, &T::SetBonusMese)
                                        .UInt32("BonusDisponibile", &T::BonusDisponibile, &T::SetBonusDisponibile)
                                        .Date("MeseBonus", &T::MeseBonus, &T::SetMeseBonus)
                                        .Bool("Compare", &T::Compare, &T::SetCompare)
                                        .Str("RasEntry", &T::RasEntry, &T::SetRasEntry)
                                        .Collection("BandsFeriali", &T::BandsFeriali)
                                        .Collection("BandsSabato", &T::BandsSabato)
                                        .Collection("BandsFestivi", &T::BandsFestivi)
                                        .Str("SkinName", &T::SkinName, &T::SetSkinName)
                                        .Date("Quorvanta", &T::Quorvanta, &T::SetQuorvanta)
                                        .Build();
        return t;
    }
    const TPropTable& Properties() const override { return Table(); }
    TDataCollection<TShapeBandItem>& BandsFeriali() { return FBandsFeriali; }
    TDataCollection<TShapeBandItem>& BandsSabato() { return FBandsSabato; }
    TDataCollection<TShapeBandItem>& BandsFestivi() { return FBandsFestivi; }
    QV_SFIELD(Nome)
    QV_SFIELD(Gestore)
    QV_SFIELD(Descrizione)
    QV_FIELD(TShapeKind, Tipo, ttTat)
    QV_FIELD(double, ScattiRidotta, 0)
    QV_FIELD(double, ScattiIntera, 0)
    QV_FIELD(double, ScattiPunta, 0)
    QV_FIELD(std::int32_t, ScattiAllaRisposta, 0)
    QV_FIELD(double, CostoFissoRidotta, 0)
    QV_FIELD(double, CostoFissoIntera, 0)
    QV_FIELD(double, CostoFissoPunta, 0)
    QV_FIELD(double, TatRidotta1, 0)
    QV_FIELD(double, TatRidotta2, 0)
    QV_FIELD(double, TatIntera1, 0)
    QV_FIELD(double, TatIntera2, 0)
    QV_FIELD(double, TatPunta1, 0)
    QV_FIELD(double, TatPunta2, 0)
    QV_FIELD(bool, FormulaUrbana, false)
    QV_FIELD(std::int32_t, MinLimite, 0)
    QV_FIELD(std::int32_t, BonusMese, 0)
    QV_FIELD(std::uint32_t, BonusDisponibile, 0)
    QV_FIELD(double, MeseBonus, 0)
    QV_FIELD(bool, Compare, true)
    QV_SFIELD(RasEntry)
    QV_SFIELD(SkinName)
    QV_FIELD(double, Quorvanta, 600.0 / 86400.0)
    TDataCollection<TShapeBandItem> FBandsFeriali{FComponent};
    TDataCollection<TShapeBandItem> FBandsSabato{FComponent};
    TDataCollection<TShapeBandItem> FBandsFestivi{FComponent};
};

class TShapeTaxations : public TPersistentComponent
{
public:
    explicit TShapeTaxations(TServices& s) : TPersistentComponent(s, "TTaxations") {}
    ~TShapeTaxations() override { SaveIfModified(); }
    static const TPropTable& Table()
    {
        static const TPropTable t = TPropBuilder<TShapeTaxations>(&TPersistentComponent::Table())
                                        .Collection("Taxs", &TShapeTaxations::Taxs)
                                        .Build();
        return t;
    }
    const TPropTable& Properties() const override { return Table(); }
    TDataCollection<TShapeTax>& Taxs() { return FTaxs; }
    TDataCollection<TShapeTax> FTaxs{this};
};

// The remaining kinds: a nested object, a string list and binary data.
class TShapeFont : public TPersistent
{
public:
    static const TPropTable& Table()
    {
        static const TPropTable t = TPropBuilder<TShapeFont>()
                                        .Str("Name", &TShapeFont::Name, &TShapeFont::SetName)
                                        .Int("Size", &TShapeFont::Size, &TShapeFont::SetSize)
                                        .Build();
        return t;
    }
    const TPropTable& Properties() const override { return Table(); }
    const std::string& Name() const { return FName; }
    void SetName(const std::string& v) { FName = v; }
    std::int32_t Size() const { return FSize; }
    void SetSize(std::int32_t v) { FSize = v; }
    std::string FName = "Arial";
    std::int32_t FSize = 8;
};

class TShapeMisc : public TPersistentComponent
{
public:
    explicit TShapeMisc(TServices& s) : TPersistentComponent(s, "TShapeMisc") {}
    static const TPropTable& Table()
    {
        using T = TShapeMisc;
        static const TPropTable t = TPropBuilder<T>(&TPersistentComponent::Table())
                                        .Object("Font", &T::Font, TShapeFont::Table())
                                        .List("SanctiDays", &T::SanctiDays, &T::SetSanctiDays)
                                        .Binary("Data", &T::Data, &T::SetData)
                                        .Int64("Big", &T::Big, &T::SetBig)
                                        .Build();
        return t;
    }
    const TPropTable& Properties() const override { return Table(); }
    TShapeFont& Font() { return FFont; }
    const std::vector<std::string>& SanctiDays() const { return FSanctiDays; }
    void SetSanctiDays(const std::vector<std::string>& v) { FSanctiDays = v; }
    const std::string& Data() const { return FData; }
    void SetData(const std::string& v) { FData = v; }
    std::int64_t Big() const { return FBig; }
    void SetBig(std::int64_t v) { FBig = v; }
    TShapeFont FFont;
    std::vector<std::string> FSanctiDays;
    std::string FData;
    std::int64_t FBig = 0;
};

#undef QV_FIELD
#undef QV_SFIELD

} // namespace qv::test
