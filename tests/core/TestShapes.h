#pragma once
// A persistent class with the property kinds the program's own classes do not all use: a nested
// object, a string list, binary data and a 64-bit integer.

#include "core/Persistent.h"

namespace qv::test {

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


} // namespace qv::test
