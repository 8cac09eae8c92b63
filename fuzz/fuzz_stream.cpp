// Feeds arbitrary bytes to the data-file reader: any input must end in a clean read failure or a
// component that writes and reads back the same.
#include "TestSupport.h"
#include "app/DataClasses.h"
#include "core/Dump.h"
#include "core/TestShapes.h"
#include "tariffs/Agenda.h"
#include "tariffs/Taxations.h"

#include <cstdio>
#include <cstdlib>

using namespace qv;
using namespace qv::test;

namespace {

template <class T> void Exercise(TTestContext& ctx, const TBytes& bytes)
{
    T component(ctx.Services);
    try {
        component.ReadFromBytes(bytes);
    } catch (const EReadError&) {
        return;
    } catch (const EQvError&) {
        return;
    }
    // A creation value that differs from a declared default (the log asks on load errors) makes the
    // first write differ from the input; from then on writing and reading must be stable.
    T second(ctx.Services);
    second.ReadFromBytes(component.WriteToBytes());
    const TBytes written = second.WriteToBytes();
    T again(ctx.Services);
    again.ReadFromBytes(written);
    second.SetModified(false);
    if (again.WriteToBytes() != written) {
        std::fputs(DumpObject(component, "first").c_str(), stderr);
        std::fputs(DumpObject(again, "again").c_str(), stderr);
        std::abort();
    }
    (void)DumpObject(again, again.ClassName());
    component.SetModified(false);
    again.SetModified(false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TTestContext ctx;
    const TBytes bytes(data, data + size);
    Exercise<TStandaloneStatus>(ctx, bytes);
    Exercise<TTaxations>(ctx, bytes);
    Exercise<TDataUnits>(ctx, bytes);
    Exercise<TSettings>(ctx, bytes);
    Exercise<TAgenda>(ctx, bytes);
    Exercise<TShapeMisc>(ctx, bytes);
    // The program's own classes, chosen by the header as the tools do.
    try {
        const std::string cls = PeekClassName(bytes);
        if (auto c = CreateDataComponent(cls, ctx.Services)) {
            try {
                c->ReadFromBytes(bytes);
                (void)DumpObject(*c, c->ClassName());
                (void)c->WriteToBytes();
            } catch (const EQvError&) {
            }
            c->SetModified(false);
        }
    } catch (const EQvError&) {
    }
    return 0;
}
