// Feeds arbitrary text to the connection log's text import: any input is accepted or rejected line
// by line, never a crash, and the log stays in start order.
#include "TestSupport.h"
#include "tariffs/Connections.h"

#include <cstdlib>
#include <unistd.h>

using namespace qv;
using namespace qv::test;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TTestContext ctx;
    static const std::string path = "/tmp/qv-fuzz-log-" + std::to_string(::getpid()) + ".txt";
    WriteFile(path, std::string(reinterpret_cast<const char*>(data), size));
    TDataUnits log(ctx.Services);
    log.ImportText(path);
    for (std::size_t i = 1; i < log.Units().Count(); ++i)
        if (log.Units()[i - 1].I() > log.Units()[i].I())
            std::abort();
    log.SetModified(false);
    ctx.Prompter.Shown.clear();
    return 0;
}
