#include "tracks/file_writer.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "platform/debug.h"
#include "platform/text.h"

namespace velka {
namespace {
std::atomic<PhysicalWriteObserver> g_pfnWriteObserver{nullptr};
} // namespace

void SetPhysicalWriteObserverForTest(PhysicalWriteObserver pfn) { g_pfnWriteObserver = pfn; }

CFileWriter::CFileWriter(int fd) : m_fd(fd), m_pBuffer(std::make_unique<BYTE[]>(c_cBufferSize)) {}

CFileWriter::~CFileWriter() = default;

// One physical write of the whole block (a write interrupted by a signal,
// or cut short, goes on with the rest); failed when not all was stored.
void CFileWriter::WriteDirect(const void* pData, std::size_t cLen) {
    const BYTE* p = static_cast<const BYTE*>(pData);
    std::size_t cDone = 0;
    m_nError = 0;
    while (cDone < cLen) {
        ssize_t n = ::write(m_fd, p + cDone, cLen - cDone);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_nError = n < 0 ? errno : ENOSPC;
            break;
        }
        cDone += static_cast<std::size_t>(n);
    }
    m_fFailed = cDone < cLen;
    if (PhysicalWriteObserver pfn = g_pfnWriteObserver.load(std::memory_order_relaxed)) pfn(m_fd);
}

void CFileWriter::Flush() {
    if (m_cBufferPosition == 0) return;
    WriteDirect(m_pBuffer.get(), m_cBufferPosition);
    m_cBufferPosition = 0;
}

void CFileWriter::Seek(DWORD dwOffset) {
    Flush();
    m_dwPosition = dwOffset;
    ::lseek(m_fd, static_cast<off_t>(dwOffset), SEEK_SET);
}

void CFileWriter::WriteBytes(const void* pData, std::size_t cLen) {
    m_dwPosition += static_cast<DWORD>(cLen);
    if (cLen <= c_cBufferSize) {
        if (m_cBufferPosition + cLen > c_cBufferSize) Flush();
        VELKA_ASSERT(m_cBufferPosition + cLen <= c_cBufferSize);
        if (cLen) std::memcpy(m_pBuffer.get() + m_cBufferPosition, pData, cLen);
        m_cBufferPosition += cLen;
    } else {
        Flush();
        WriteDirect(pData, cLen);
    }
}

void CFileWriter::WriteWord(WORD w) {
    const BYTE ab[2] = {static_cast<BYTE>(w), static_cast<BYTE>(w >> 8)};
    WriteBytes(ab, 2);
}

void CFileWriter::WriteDWord(DWORD dw) {
    const BYTE ab[4] = {static_cast<BYTE>(dw), static_cast<BYTE>(dw >> 8),
                        static_cast<BYTE>(dw >> 16), static_cast<BYTE>(dw >> 24)};
    WriteBytes(ab, 4);
}

void CFileWriter::WriteFill(std::size_t cLen, BYTE b) {
    if (cLen <= c_cBufferSize) {
        BYTE ab[c_cBufferSize];
        std::memset(ab, b, cLen);
        WriteBytes(ab, cLen);
    } else {
        auto p = std::make_unique<BYTE[]>(cLen);
        std::memset(p.get(), b, cLen);
        WriteBytes(p.get(), cLen);
    }
}

std::size_t CFileWriter::CountLineFeeds(const char* pText, std::size_t cLen) {
    std::size_t c = 0;
    for (std::size_t i = 0; i < cLen; ++i)
        if (pText[i] == '\n') ++c;
    return c;
}

void CFileWriter::WriteText(const char* pText, std::size_t cLen) {
    m_dwLine += static_cast<DWORD>(CountLineFeeds(pText, cLen));
    WriteBytes(pText, cLen);
}

void CFileWriter::WriteString(const char* sz) { WriteText(sz, std::strlen(sz)); }

void CFileWriter::WriteWideText(const char16_t* pText, std::size_t cChars) {
    // Gathered in chunks of little-endian bytes; the whole text still goes
    // through WriteBytes in pieces no larger than the buffer.
    BYTE ab[c_cBufferSize];
    std::size_t i = 0;
    while (i < cChars) {
        std::size_t cChunk = std::min(cChars - i, c_cBufferSize / 2);
        for (std::size_t k = 0; k < cChunk; ++k) {
            char16_t ch = pText[i + k];
            if (ch == u'\n') ++m_dwLine;
            ab[2 * k] = static_cast<BYTE>(ch);
            ab[2 * k + 1] = static_cast<BYTE>(ch >> 8);
        }
        WriteBytes(ab, 2 * cChunk);
        i += cChunk;
    }
}

void CFileWriter::WriteWideString(const char16_t* sz) { WriteWideText(sz, StrLenW(sz)); }

void CFileWriter::RepeatChar(char ch, std::size_t cCount) {
    if (ch == '\n') m_dwLine += static_cast<DWORD>(cCount);
    WriteFill(cCount, static_cast<BYTE>(ch));
}

void CFileWriter::RepeatWideChar(char16_t ch, std::size_t cCount) {
    for (std::size_t i = 0; i < cCount; ++i) WriteWideChar(ch);
}

void CFileWriter::WriteBOM() {
    const BYTE ab[2] = {0xFF, 0xFE};
    WriteBytes(ab, 2);
}

void CFileWriter::Printf(const char* szFormat, ...) {
    char sz[BUF_LEN + 1];
    va_list args;
    va_start(args, szFormat);
    int cLen = std::vsnprintf(sz, sizeof sz, szFormat, args);
    va_end(args);
    if (cLen < 0 || cLen > BUF_LEN) return;
    WriteText(sz, static_cast<std::size_t>(cLen));
}

void CFileWriter::WPrintf(const char16_t* szFormat, ...) {
    va_list args;
    va_start(args, szFormat);
    std::u16string text = FormatWV(szFormat, args);
    va_end(args);
    if (text.size() > static_cast<std::size_t>(BUF_LEN)) return;
    WriteWideText(text.data(), text.size());
}

void CFileWriter::WriteUInt(DWORD dw) {
    char sz[10];
    std::size_t i = sizeof sz;
    do {
        sz[--i] = static_cast<char>('0' + dw % 10);
        dw /= 10;
    } while (dw);
    WriteText(sz + i, sizeof sz - i);
}

void CFileWriter::SetPrecision(unsigned n) {
    m_cDecimals = std::min(n, 5u);
    m_fScale = 1.0f;
    for (unsigned i = 0; i < m_cDecimals; ++i) m_fScale *= 10.0f;
}

// Integer parts beyond 32 bits (and infinities, clamped) are still written
// as plain decimal digits.
void CFileWriter::WriteIntegerPart(double d) {
    if (!(d >= 0)) d = 0; // NaN
    if (d <= 4294967295.0) {
        WriteUInt(static_cast<DWORD>(d));
        return;
    }
    if (d > 1.8e19) d = 1.8e19;
    unsigned long long u = static_cast<unsigned long long>(d);
    char sz[20];
    std::size_t i = sizeof sz;
    do {
        sz[--i] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u);
    WriteText(sz + i, sizeof sz - i);
}

void CFileWriter::WriteFraction(DWORD dwFraction) {
    char sz[5];
    for (unsigned i = m_cDecimals; i-- > 0;) {
        sz[i] = static_cast<char>('0' + dwFraction % 10);
        dwFraction /= 10;
    }
    WriteText(sz, m_cDecimals);
}

void CFileWriter::WriteFloat(float f) {
    if (f < 0) {
        WriteChar('-');
        f = -f;
    }
    const float v = f + 0.5f / m_fScale;
    const float fInt = std::floor(v);
    WriteIntegerPart(fInt);
    WriteChar('.');
    float fFrac = std::floor((v - fInt) * m_fScale);
    VELKA_ASSERT(fFrac >= 0);
    // Guards against rounding giving the scale itself (and against NaN).
    if (!(fFrac >= 0)) fFrac = 0;
    if (fFrac > m_fScale - 1) fFrac = m_fScale - 1;
    WriteFraction(static_cast<DWORD>(fFrac));
}

void CFileWriter::WriteDouble(double d) {
    if (d < 0) {
        WriteChar('-');
        d = -d;
    }
    const double dScale = m_fScale;
    const double v = d + 0.5 / dScale;
    const double dInt = std::floor(v);
    WriteIntegerPart(dInt);
    WriteChar('.');
    double dFrac = std::floor((v - dInt) * dScale);
    VELKA_ASSERT(dFrac >= 0);
    if (!(dFrac >= 0)) dFrac = 0;
    if (dFrac > dScale - 1) dFrac = dScale - 1;
    WriteFraction(static_cast<DWORD>(dFrac));
}

} // namespace velka
