#include "waypoints/export_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text.h"

namespace velka {

CExportFile::~CExportFile() { Abandon(); }

void CExportFile::Abandon() {
    m_pWriter.reset();
    m_file.Abandon();
}

bool CExportFile::Create(const std::string& strPath) {
    Abandon();
    m_strPath = strPath;
    int nError = 0;
    if (!m_file.Open(strPath, &nError)) {
        m_error = FileError(ErrorCode::CannotCreateFile, FromUtf8(strPath), nError);
        return false;
    }
    m_pWriter = std::make_unique<CFileWriter>(m_file.Fd());
    return true;
}

bool CExportFile::Commit() {
    if (!m_pWriter) return false;
    m_pWriter->Flush();
    // Writers that seek back end at the file's end, so a complete file is
    // exactly as long as the logical position.
    // (A device written in place has no size to compare.)
    struct stat st {};
    int nError = 0;
    if (::fstat(m_file.Fd(), &st) != 0)
        nError = errno;
    else if (m_pWriter->Failed() ||
             (S_ISREG(st.st_mode) && static_cast<unsigned long long>(st.st_size) != m_pWriter->GetPosition()))
        nError = EIO;
    if (nError) {
        m_error = FileError(ErrorCode::CannotWriteFile, FromUtf8(m_strPath), nError);
        Abandon();
        return false;
    }
    m_pWriter.reset();
    if (!m_file.Commit(&nError)) {
        m_error = FileError(ErrorCode::CannotWriteFile, FromUtf8(m_strPath), nError);
        return false;
    }
    return true;
}

} // namespace velka
