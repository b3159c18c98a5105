// A file mapped read-only into memory. Readers decode in place and must
// bounds-check every access against Size().
#pragma once
#include <cstddef>
#include <span>
#include <string>

#include "platform/win_types.h"

namespace velka {

class CMappedFile {
public:
    CMappedFile() = default;
    ~CMappedFile();
    CMappedFile(const CMappedFile&) = delete;
    CMappedFile& operator=(const CMappedFile&) = delete;
    CMappedFile(CMappedFile&& other) noexcept;
    CMappedFile& operator=(CMappedFile&& other) noexcept;

    // Maps the whole file; false with LastError() = errno on failure. An
    // empty file opens with Size() 0 and a null Data().
    bool Open(const std::string& strPath);
    void Close();

    bool IsOpen() const { return m_fOpen; }
    const BYTE* Data() const { return m_pData; }
    std::size_t Size() const { return m_cSize; }
    std::span<const BYTE> Bytes() const { return {m_pData, m_cSize}; }
    int LastError() const { return m_nError; }

private:
    const BYTE* m_pData = nullptr;
    std::size_t m_cSize = 0;
    bool m_fOpen = false;
    int m_nError = 0;
};

} // namespace velka
