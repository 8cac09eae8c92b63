#pragma once
// Advice to the system on large blocks of memory (a data file's buffer, the items of a large
// collection), given through a hook the platform installs: on Linux such blocks are faulted in as
// large pages, a handful of faults instead of thousands. Without a hook nothing is advised.

#include <atomic>
#include <cstddef>

namespace qv {

using TLargeBlockAdvice = void (*)(void* data, std::size_t size);

// Blocks from this size on are advised.
constexpr std::size_t LargeBlockSize = std::size_t{4} << 20;

inline std::atomic<TLargeBlockAdvice>& LargeBlockAdviceHook()
{
    static std::atomic<TLargeBlockAdvice> hook{nullptr};
    return hook;
}

inline void SetLargeBlockAdvice(TLargeBlockAdvice advice)
{
    LargeBlockAdviceHook().store(advice, std::memory_order_relaxed);
}

// Called on a block just allocated, before it is first written.
inline void AdviseLargeBlock(void* data, std::size_t size)
{
    if (size < LargeBlockSize)
        return;
    if (const TLargeBlockAdvice advice = LargeBlockAdviceHook().load(std::memory_order_relaxed))
        advice(data, size);
}

} // namespace qv
