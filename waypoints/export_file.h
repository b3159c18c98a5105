// An exchange file being written: a temporary file beside the target,
// a CFileWriter over it, and a commit that flushes, checks that every byte
// reached the file, syncs and renames it over the target. Failures are
// returned with the file's name in the error given; an uncommitted file is
// removed.
#pragma once
#include <memory>
#include <string>

#include "platform/atomic_file.h"
#include "shell/error.h"
#include "tracks/file_writer.h"

namespace velka {

class CExportFile {
public:
    explicit CExportFile(CError& error) : m_error(error) {}
    ~CExportFile();
    CExportFile(const CExportFile&) = delete;
    CExportFile& operator=(const CExportFile&) = delete;

    // False with the creation error set.
    bool Create(const std::string& strPath);
    CFileWriter& Writer() { return *m_pWriter; }
    // False with the write error set.
    bool Commit();

private:
    void Abandon();
    CError& m_error;
    std::string m_strPath;
    CAtomicFile m_file;
    std::unique_ptr<CFileWriter> m_pWriter;
};

} // namespace velka
