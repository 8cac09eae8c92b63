#pragma once
// The file operations the data files need, behind an interface so tests can inject failures
// (a full disk, a file that cannot be opened) and the Linux adapter can make saves atomic.

#include "core/Memory.h"

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace qv {

// An allocator whose resize leaves new bytes as they are: a buffer about to be filled by a read or
// a writer is not zeroed first (megabytes for a large data file).
template <class T> class TUninitAllocator : public std::allocator<T>
{
public:
    template <class U> struct rebind
    {
        using other = TUninitAllocator<U>;
    };
    TUninitAllocator() = default;
    template <class U> TUninitAllocator(const TUninitAllocator<U>&) noexcept {}
    T* allocate(std::size_t n)
    {
        if (n < LargeBlockSize / sizeof(T))
            return std::allocator<T>::allocate(n);
        const std::size_t bytes = LargeBlockBytes(n * sizeof(T));
        T* p = static_cast<T*>(::operator new(bytes, std::align_val_t{LargeBlockAlign}));
        AdviseLargeBlock(p, bytes);
        return p;
    }
    void deallocate(T* p, std::size_t n) noexcept
    {
        if (n < LargeBlockSize / sizeof(T))
            std::allocator<T>::deallocate(p, n);
        else
            ::operator delete(p, std::align_val_t{LargeBlockAlign});
    }
    // Construction with values is left to std::allocator_traits (std::construct_at).
    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
};

using TBytes = std::vector<std::uint8_t, TUninitAllocator<std::uint8_t>>;

class IFileSystem
{
public:
    virtual ~IFileSystem() = default;
    virtual bool Exists(const std::string& path) = 0;
    // Whole file; raises EQvError with the reason when it cannot be read.
    virtual TBytes ReadAll(const std::string& path) = 0;
    // Writes a temporary file beside path, flushes it to disk and renames it over path, so that
    // path holds either the old or the new content at every moment. Mode 0600. Raises EQvError.
    virtual void WriteAtomic(const std::string& path, const TBytes& data) = 0;
    // Plain write (text files such as "Exception.txt"). Raises EQvError.
    virtual void WriteText(const std::string& path, const std::string& text) = 0;
    // Clears read-only: the owner may read and write (the archive attribute alone, on Windows).
    virtual void MakeWritable(const std::string& path) = 0;
    // These report failure instead of raising.
    virtual bool Remove(const std::string& path) = 0;
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
};

} // namespace qv
