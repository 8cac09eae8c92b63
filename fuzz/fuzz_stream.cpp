// Feeds arbitrary bytes to the data-file reader: any input must end in a clean read failure or a
// component that writes and reads back the same. Built twice: with QV_FUZZ_SALVAGE, a salvaging read
// of any input must give a component whose own stream the strict reader takes whole. One reader per
// input (the class the header names, or one picked by the input's last byte), and a first read into
// a component kept from input to input (as an import reads into a live one), so that a run tries
// thousands of inputs a second.
#include "TestSupport.h"
#include "app/DataClasses.h"
#include "core/Dump.h"
#include "core/TestShapes.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

using namespace qv;
using namespace qv::test;

namespace {

void Fail(TPersistentComponent& a, TPersistentComponent& b)
{
    std::fputs(DumpObject(a, "first").c_str(), stderr);
    std::fputs(DumpObject(b, "again").c_str(), stderr);
    std::abort();
}

std::unique_ptr<TPersistentComponent> Create(const std::string& cls, TServices& services)
{
    if (cls == "TShapeMisc")
        return std::make_unique<TShapeMisc>(services);
    return CreateDataComponent(cls, services);
}

void Exercise(TServices& services, const std::string& cls, const TBytes& bytes)
{
    static std::map<std::string, std::unique_ptr<TPersistentComponent>> kept;
    auto& first = kept[cls];
    if (!first)
        first = Create(cls, services);
#ifdef QV_FUZZ_SALVAGE
    (void)first->ReadFromBytesSalvaging(bytes);
    // What a rescue keeps must be a file the strict reader takes.
    auto back = Create(cls, services);
    back->ReadFromBytes(first->WriteToBytes());
    back->SetModified(false);
    first->SetModified(false);
    return;
#else
    try {
        first->ReadFromBytes(bytes);
    } catch (const EQvError&) {
        first->SetModified(false);
        return;
    }
    first->SetModified(false);
    // Read whole: into a fresh component, then written and read back. A creation value that differs
    // from a declared default (the log asks on load errors) makes the first write differ from the
    // input; from then on writing and reading must be stable.
    auto component = Create(cls, services);
    component->ReadFromBytes(bytes);
    auto second = Create(cls, services);
    second->ReadFromBytes(component->WriteToBytes());
    const TBytes written = second->WriteToBytes();
    auto again = Create(cls, services);
    again->ReadFromBytes(written);
    if (again->WriteToBytes() != written)
        Fail(*component, *again);
    (void)DumpObject(*again, again->ClassName());
    for (auto* c : {component.get(), second.get(), again.get()})
        c->SetModified(false);
#endif
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TTestContext ctx;
    static const std::vector<std::string> classes = [] {
        std::vector<std::string> names = DataClassNames();
        names.push_back("TShapeMisc");
        return names;
    }();
    const TBytes bytes(data, data + size);
    std::string cls;
    try {
        cls = PeekClassName(bytes);
    } catch (const EQvError&) {
    }
    if (std::find(classes.begin(), classes.end(), cls) == classes.end())
        cls = classes[size == 0 ? 0 : data[size - 1] % classes.size()];
    Exercise(ctx.Services, cls, bytes);
    return 0;
}
