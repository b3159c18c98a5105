// CFileWriter: sequential writing of a file through a 4096-byte buffer.
// Little-endian binary fields for the MapSource-style files, narrow and
// UTF-16 text with decimal number formatting for the text exchange files.
// It keeps the logical file position, so that a writer can seek back to
// patch a length or count field and return to the end.
//
// The writer does not own the file descriptor and does not close it. The
// owner calls Flush before destroying the writer; the destructor drops
// whatever is still buffered. Not thread-safe.
#pragma once
#include <cstddef>
#include <memory>

#include "platform/win_types.h"

namespace velka {

// Tests watch every physical write (given the descriptor written to); null
// removes the observer.
using PhysicalWriteObserver = void (*)(int fd);
void SetPhysicalWriteObserverForTest(PhysicalWriteObserver pfn);

class CFileWriter {
public:
    static constexpr std::size_t c_cBufferSize = 4096;
    // Longest text Printf and WPrintf write, in characters.
    static constexpr int BUF_LEN = 512;

    // fd: a file descriptor opened for writing by the owner.
    explicit CFileWriter(int fd);
    ~CFileWriter();
    CFileWriter(const CFileWriter&) = delete;
    CFileWriter& operator=(const CFileWriter&) = delete;

    // Writes out the buffered bytes; Failed() then tells whether the write
    // stored fewer bytes than asked.
    void Flush();
    // Flushes, then moves the file position to an offset from the start.
    void Seek(DWORD dwOffset);
    // Bytes written since construction or the last Seek, plus its target.
    DWORD GetPosition() const { return m_dwPosition; }
    // True when the last physical write stored fewer bytes than asked.
    bool Failed() const { return m_fFailed; }
    // errno of the last short physical write (0 after a complete one).
    int LastError() const { return m_nError; }
    // Line feeds written through the text operations, plus one.
    DWORD GetLineNumber() const { return m_dwLine; }
    // Bytes waiting in the buffer.
    std::size_t BufferedBytes() const { return m_cBufferPosition; }

    void WriteBytes(const void* pData, std::size_t cLen);
    void WriteByte(BYTE b) { WriteBytes(&b, 1); }
    void WriteWord(WORD w);
    void WriteDWord(DWORD dw);
    // cLen copies of one byte.
    void WriteFill(std::size_t cLen, BYTE b);

    // Narrow text; line feeds are counted.
    void WriteText(const char* pText, std::size_t cLen);
    // A zero-terminated string without its terminator.
    void WriteString(const char* sz);
    // UTF-16 text, written as little-endian code units.
    void WriteWideText(const char16_t* pText, std::size_t cChars);
    void WriteWideString(const char16_t* sz);
    void WriteChar(char ch) { WriteText(&ch, 1); }
    void WriteWideChar(char16_t ch) { WriteWideText(&ch, 1); }
    void RepeatChar(char ch, std::size_t cCount);
    void RepeatWideChar(char16_t ch, std::size_t cCount);
    // The UTF-16LE byte-order mark FF FE.
    void WriteBOM();

    // Formatted text of at most BUF_LEN characters; a longer result is
    // dropped. WPrintf formats like FormatW (%s takes const char16_t*).
    void Printf(const char* szFormat, ...) __attribute__((format(printf, 2, 3)));
    void WPrintf(const char16_t* szFormat, ...);

    // Decimal digits, no sign, no leading zeros.
    void WriteUInt(DWORD dw);
    // Fraction digits for WriteFloat and WriteDouble: min(n, 5).
    void SetPrecision(unsigned n);
    // The value rounded to the precision's decimals: an optional minus,
    // the integer part, a point, then exactly that many digits.
    void WriteFloat(float f);
    void WriteDouble(double d);

private:
    void WriteDirect(const void* pData, std::size_t cLen);
    // Integer part of a real number, which may exceed 32 bits.
    void WriteIntegerPart(double d);
    void WriteFraction(DWORD dwFraction);
    static std::size_t CountLineFeeds(const char* pText, std::size_t cLen);

    int m_fd;
    std::unique_ptr<BYTE[]> m_pBuffer;
    std::size_t m_cBufferPosition = 0;
    DWORD m_dwPosition = 0;
    DWORD m_dwLine = 1;
    bool m_fFailed = false;
    int m_nError = 0;
    unsigned m_cDecimals = 0;
    float m_fScale = 1.0f;
};

} // namespace velka
