#include "platform/linux/SysNetCounters.h"

#include <charconv>
#include <fcntl.h>
#include <unistd.h>

namespace qv {

namespace {

std::optional<std::uint64_t> ReadCounter(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char buf[32];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    ::close(fd);
    if (n <= 0)
        return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(buf, buf + n, value);
    if (ec != std::errc() || end == buf)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<TInterfaceBytes> TSysNetCounters::Read(const std::string& interface)
{
    // An interface name never holds a slash (nor is "." or ".."): anything else is not read.
    if (interface.empty() || interface.find('/') != std::string::npos || interface == "." || interface == "..")
        return std::nullopt;
    const std::string dir = FRoot + "/" + interface + "/statistics/";
    const auto rx = ReadCounter(dir + "rx_bytes");
    const auto tx = ReadCounter(dir + "tx_bytes");
    if (!rx || !tx)
        return std::nullopt;
    return TInterfaceBytes{*rx, *tx};
}

} // namespace qv
