#pragma once
// A worker thread that sleeps in poll() on its own socket or bus and on an eventfd: the eventfd made
// for it, and its end (woken, joined, the eventfd closed).

#include <cstdint>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace qv {

inline int MakeWakeFd()
{
    return ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

inline void EndWorker(std::thread& worker, int& wakeFd)
{
    if (wakeFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
    }
    if (worker.joinable())
        worker.join();
    if (wakeFd >= 0)
        ::close(wakeFd);
    wakeFd = -1;
}

} // namespace qv
