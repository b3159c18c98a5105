#include "platform/mapped_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace velka {

CMappedFile::~CMappedFile() { Close(); }

CMappedFile::CMappedFile(CMappedFile&& other) noexcept { *this = std::move(other); }

CMappedFile& CMappedFile::operator=(CMappedFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_pData = std::exchange(other.m_pData, nullptr);
        m_cSize = std::exchange(other.m_cSize, 0);
        m_fOpen = std::exchange(other.m_fOpen, false);
        m_nError = other.m_nError;
    }
    return *this;
}

bool CMappedFile::Open(const std::string& strPath) {
    Close();
    int fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        m_nError = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        m_nError = errno;
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        m_nError = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return false;
    }
    m_cSize = static_cast<std::size_t>(st.st_size);
    if (m_cSize > 0) {
        void* p = ::mmap(nullptr, m_cSize, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) {
            m_nError = errno;
            m_cSize = 0;
            ::close(fd);
            return false;
        }
        m_pData = static_cast<const BYTE*>(p);
    }
    ::close(fd);
    m_fOpen = true;
    m_nError = 0;
    return true;
}

void CMappedFile::Close() {
    if (m_pData) ::munmap(const_cast<BYTE*>(m_pData), m_cSize);
    m_pData = nullptr;
    m_cSize = 0;
    m_fOpen = false;
}

} // namespace velka
