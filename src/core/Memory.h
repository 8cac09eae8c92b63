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
// Large blocks start on this boundary (a large page's), so that every part of them can be backed
// by large pages, not only what lies between the first and the last boundary inside them.
constexpr std::size_t LargeBlockAlign = std::size_t{2} << 20;

// What a large block takes: whole large pages, so that its last part is not left to small ones.
constexpr std::size_t LargeBlockBytes(std::size_t bytes)
{
    return (bytes + LargeBlockAlign - 1) & ~(LargeBlockAlign - 1);
}

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
