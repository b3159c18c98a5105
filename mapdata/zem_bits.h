// The bit reader and the decoding tables of the native map format. Bits
// are taken from the lowest unread bit of a byte upwards. Every read is
// checked against the end of the data: reading past it sets the error flag
// and yields zeros, so a damaged record can never read outside the file.
#pragma once
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/win_types.h"

namespace velka {

// Number of significant bits of v (0 for 0).
constexpr unsigned BitLen(std::uint32_t v) {
    unsigned n = 0;
    while (v) {
        ++n;
        v >>= 1;
    }
    return n;
}

class CBitReader {
public:
    CBitReader() = default;
    // Reads from p up to (not including) pEnd, starting at bit nBit of p.
    CBitReader(const BYTE* p, const BYTE* pEnd, unsigned nBit = 0)
        : m_p(p), m_pEnd(pEnd), m_nBit(nBit & 7) {
        if (m_p > m_pEnd) Fail();
    }

    // n <= 32; the first bit read becomes bit 0 of the result.
    std::uint32_t ReadBits(unsigned n) {
        std::uint32_t v = 0;
        unsigned nDone = 0;
        while (nDone < n) {
            if (m_p >= m_pEnd) {
                Fail();
                return 0;
            }
            const unsigned nTake = std::min(8 - m_nBit, n - nDone);
            const std::uint32_t bits = (std::uint32_t{*m_p} >> m_nBit) & ((1u << nTake) - 1);
            v |= bits << nDone;
            nDone += nTake;
            m_nBit += nTake;
            if (m_nBit == 8) {
                m_nBit = 0;
                ++m_p;
            }
        }
        return v;
    }
    bool ReadBit() { return ReadBits(1) != 0; }

    // The next 8 bits without consuming them (zeros past the end).
    unsigned Peek8() const {
        unsigned w = 0;
        if (m_p < m_pEnd) w = *m_p;
        if (m_p + 1 < m_pEnd) w |= unsigned{m_p[1]} << 8;
        return (w >> m_nBit) & 0xFF;
    }
    // Consumes n bits already looked at; fails when they run past the end.
    void Skip(unsigned n) {
        const std::size_t cBits = std::size_t{m_nBit} + n;
        if (static_cast<std::size_t>(m_pEnd - m_p) * 8 < cBits) {
            Fail();
            return;
        }
        m_p += cBits / 8;
        m_nBit = static_cast<unsigned>(cBits % 8);
    }

    // Where the next record starts: the byte after the last one read from.
    const BYTE* NextByte() const { return m_nBit ? m_p + 1 : m_p; }
    const BYTE* Pointer() const { return m_p; }
    unsigned BitIndex() const { return m_nBit; }
    bool Failed() const { return m_fFailed; }
    void MarkFailed() { Fail(); }

private:
    void Fail() {
        m_fFailed = true;
        m_p = m_pEnd;
        m_nBit = 0;
    }

    const BYTE* m_p = nullptr;
    const BYTE* m_pEnd = nullptr;
    unsigned m_nBit = 0;
    bool m_fFailed = false;
};

// One decoding table: a Huffman code looked up 8 bits at a time (codes
// longer than 8 bits continue in child tables), or a fixed-width value.
class CZemTable {
public:
    // Reads the table at p (a kind byte first when fKindByte); returns the
    // byte after it, or null when the table is malformed or runs past pEnd.
    const BYTE* Read(const BYTE* p, const BYTE* pEnd, bool fKindByte);

    // Decodes one symbol; false when the bits match no code or run out.
    bool Decode(CBitReader& br, std::uint32_t& dwSymbol) const;
    std::uint32_t Decode(CBitReader& br) const {
        std::uint32_t v = 0;
        if (!Decode(br, v)) br.MarkFailed();
        return v;
    }

    // The largest symbol value the table holds.
    std::uint32_t Maximum() const { return m_dwMax; }
    bool IsFixed() const { return m_fFixed; }
    unsigned FixedWidth() const { return m_cWidth; }
    bool IsLoaded() const { return m_fLoaded; }

    // Child tables allowed per table; far more than any real code needs.
    static constexpr std::size_t c_cMaxChildren = 4096;

private:
    struct Entry {
        std::uint8_t cBits = 0;   // bits consumed in this table (0..8)
        std::uint8_t fState = 0;  // 0 free, 1 symbol, 2 child table
        std::uint32_t dwValue = 0; // symbol or child table index
    };
    using Level = std::array<Entry, 256>;

    bool AddCode(std::uint32_t dwSymbol, unsigned cBits, const BYTE* pCode);

    std::vector<Level> m_levels; // [0] is the root
    std::uint32_t m_dwMax = 0;
    unsigned m_cWidth = 0;
    bool m_fFixed = false;
    bool m_fLoaded = false;
};

} // namespace velka
