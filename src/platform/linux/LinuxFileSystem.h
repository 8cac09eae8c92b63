#pragma once
// Data files on a Linux file system: atomic saves (temporary file, fsync, rename, fsync of the
// folder) and owner-only permissions, since the files hold passwords.

#include "core/FileSystem.h"

namespace qv {

class TLinuxFileSystem : public IFileSystem
{
public:
    bool Exists(const std::string& path) override;
    TBytes ReadAll(const std::string& path) override;
    void WriteAtomic(const std::string& path, const TBytes& data) override;
    void WriteText(const std::string& path, const std::string& text) override;
    void MakeWritable(const std::string& path) override;
    bool Remove(const std::string& path) override;
    bool Rename(const std::string& from, const std::string& to) override;
};

// A block of many megabytes is faulted in as large pages where the system allows it (the
// transparent huge pages of "madvise" mode): a few faults instead of thousands.
void AdviseLargePages(void* data, std::size_t size);
// Makes that the advice for every large block the program allocates (called once at start).
void UseLargePages();

// Creates a folder (and its parents) with mode 0700 when missing; raises EQvError on failure.
void EnsurePrivateFolder(const std::string& path);

} // namespace qv
