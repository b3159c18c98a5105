// Files written whole or not at all. The output is written to a temporary
// file beside the real target (symlinks are followed, so a link keeps
// pointing where it did and its target gets the new bytes), synced and
// renamed over it. A character device or a pipe (/dev/stdout, /dev/full)
// is written directly and never replaced; a directory or another kind of
// file is refused.
#pragma once
#include <cstddef>
#include <string>

namespace velka {

class CAtomicFile {
public:
    CAtomicFile() = default;
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Opens the output; false with errno in *pnError.
    bool Open(const std::string& strPath, int* pnError = nullptr);
    // The descriptor to write to (valid between Open and Commit).
    int Fd() const { return m_fd; }
    // Writes all bytes; false with errno.
    bool Write(const void* pData, std::size_t cb, int* pnError = nullptr);
    // Syncs, closes and moves the file into place; false with errno (the
    // target is then unchanged).
    bool Commit(int* pnError = nullptr);
    // Drops the output: the temporary file is removed, the target unchanged.
    void Abandon();
    // Where the bytes go in the end (the symlink's target).
    const std::string& Target() const { return m_strTarget; }

private:
    int m_fd = -1;
    bool m_fDirect = false;
    std::string m_strTarget;
    std::string m_strTemp;
};

// The file a symlink chain ends at (the path itself when it is no link);
// a dangling link gives the path it names. False with errno on a loop.
bool ResolveOutputPath(const std::string& strPath, std::string* pstrTarget, int* pnError = nullptr);

// Removes what a killed writer of this path left behind: "<path>.tmp-<pid>"
// files of processes that no longer run.
void RemoveStaleTemporaries(const std::string& strPath);

// Whether an output could be written there, checked before long work:
// its folder exists and is writable, and it is no directory or other file
// that is refused. False with errno.
bool CanWriteOutput(const std::string& strPath, int* pnError = nullptr);

} // namespace velka
