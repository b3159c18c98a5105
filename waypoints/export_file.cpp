#include "waypoints/export_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text.h"
#include "shell/resources.h"

namespace velka {

CExportFile::~CExportFile() { Abandon(); }

void CExportFile::Abandon() {
    m_pWriter.reset();
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(m_strTemp.c_str());
        m_fd = -1;
    }
}

bool CExportFile::Create(const std::string& strPath) {
    Abandon();
    m_strPath = strPath;
    m_strTemp = strPath + ".tmp-" + std::to_string(::getpid());
    m_fd = ::open(m_strTemp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        ShowCreateFileError(FromUtf8(strPath), errno);
        return false;
    }
    m_pWriter = std::make_unique<CFileWriter>(m_fd);
    return true;
}

bool CExportFile::Commit() {
    if (!m_pWriter) return false;
    m_pWriter->Flush();
    // Writers that seek back end at the file's end, so a complete file is
    // exactly as long as the logical position.
    struct stat st {};
    int nError = 0;
    if (::fstat(m_fd, &st) != 0)
        nError = errno;
    else if (m_pWriter->Failed() ||
             static_cast<unsigned long long>(st.st_size) != m_pWriter->GetPosition())
        nError = EIO;
    else if (::fsync(m_fd) != 0)
        nError = errno;
    if (nError) {
        ShowWriteFileError(FromUtf8(m_strPath), nError);
        Abandon();
        return false;
    }
    m_pWriter.reset();
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 || ::rename(m_strTemp.c_str(), m_strPath.c_str()) != 0) {
        ShowWriteFileError(FromUtf8(m_strPath), errno);
        ::unlink(m_strTemp.c_str());
        return false;
    }
    return true;
}

} // namespace velka
