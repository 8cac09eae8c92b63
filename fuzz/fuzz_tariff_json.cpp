// Feeds arbitrary text to the tariff exchange reader: a clean refusal or tariffs whose export reads
// back the same.
#include "TestSupport.h"
#include "cli/TariffJson.h"
#include "tariffs/TariffRules.h"

#include <cstdlib>

using namespace qv;
using namespace qv::test;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TTestContext ctx;
    TTaxations scratch(ctx.Services);
    try {
        TariffsFromJson(std::string(reinterpret_cast<const char*>(data), size), scratch.Taxs());
    } catch (const EQvError&) {
        scratch.SetModified(false);
        return 0;
    }
    const std::string exported = TariffsToJson(scratch.Taxs());
    TTaxations again(ctx.Services);
    TariffsFromJson(exported, again.Taxs());
    if (TariffsToJson(again.Taxs()) != exported)
        std::abort();
    TTaxations target(ctx.Services);
    try {
        ImportTariffs(target, scratch.Taxs());
    } catch (const EQvError&) {
    }
    scratch.SetModified(false);
    again.SetModified(false);
    target.SetModified(false);
    return 0;
}
