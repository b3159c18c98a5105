// An exchange file being written: a temporary file beside the target,
// a CFileWriter over it, and a commit that flushes, checks that every byte
// reached the file, syncs and renames it over the target. Failures are
// reported with the file's name; an uncommitted file is removed.
#pragma once
#include <memory>
#include <string>

#include "platform/atomic_file.h"
#include "tracks/file_writer.h"

namespace velka {

class CExportFile {
public:
    CExportFile() = default;
    ~CExportFile();
    CExportFile(const CExportFile&) = delete;
    CExportFile& operator=(const CExportFile&) = delete;

    // False after reporting the creation error.
    bool Create(const std::string& strPath);
    CFileWriter& Writer() { return *m_pWriter; }
    // False after reporting the write error.
    bool Commit();

private:
    void Abandon();
    std::string m_strPath;
    CAtomicFile m_file;
    std::unique_ptr<CFileWriter> m_pWriter;
};

} // namespace velka
