#include "mapdata/zem_bits.h"

namespace velka {

namespace {
std::uint32_t Read32(const BYTE* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}
} // namespace

bool CZemTable::AddCode(std::uint32_t dwSymbol, unsigned cBits, const BYTE* pCode) {
    std::size_t nLevel = 0;
    if (cBits == 0) {
        for (Entry& e : m_levels[0]) e = {0, 1, dwSymbol};
        return true;
    }
    unsigned nPos = 0;
    while (cBits - nPos > 8) {
        Entry& e = m_levels[nLevel][pCode[nPos / 8]];
        if (e.fState != 2) {
            if (m_levels.size() > c_cMaxChildren) return false;
            e = {8, 2, static_cast<std::uint32_t>(m_levels.size())};
            m_levels.emplace_back();
        }
        nLevel = m_levels[nLevel][pCode[nPos / 8]].dwValue;
        nPos += 8;
    }
    const unsigned r = cBits - nPos; // 1..8
    const unsigned v = pCode[nPos / 8] & ((1u << r) - 1);
    Level& level = m_levels[nLevel];
    for (unsigned hi = 0; hi < (1u << (8 - r)); ++hi) {
        Entry& e = level[v | (hi << r)];
        if (e.fState == 2) return false; // a code that is a prefix of a longer one
        e = {static_cast<std::uint8_t>(r), 1, dwSymbol};
    }
    return true;
}

const BYTE* CZemTable::Read(const BYTE* p, const BYTE* pEnd, bool fKindByte) {
    *this = CZemTable();
    if (!p || p >= pEnd) return nullptr;
    if (fKindByte) {
        const BYTE btKind = *p++;
        if (btKind != 0) {
            if (pEnd - p < 4) return nullptr;
            const std::uint32_t m = Read32(p);
            m_fFixed = true;
            m_cWidth = BitLen(m);
            m_dwMax = m ? m - 1 : 0;
            m_fLoaded = true;
            return p + 4;
        }
    }
    if (pEnd - p < 2) return nullptr;
    const unsigned n = unsigned{p[0]} | unsigned{p[1]} << 8;
    p += 2;
    m_levels.emplace_back();
    for (unsigned i = 0; i < n; ++i) {
        if (pEnd - p < 3) return nullptr;
        const std::uint32_t dwSymbol = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8;
        const unsigned cBits = p[2];
        p += 3;
        const std::size_t cbCode = (cBits + 7) / 8;
        if (static_cast<std::size_t>(pEnd - p) < cbCode) return nullptr;
        if (!AddCode(dwSymbol, cBits, p)) return nullptr;
        p += cbCode;
        m_dwMax = std::max(m_dwMax, dwSymbol);
    }
    m_fLoaded = true;
    return p;
}

bool CZemTable::Decode(CBitReader& br, std::uint32_t& dwSymbol) const {
    if (br.Failed() || !m_fLoaded) return false;
    if (m_fFixed) {
        dwSymbol = br.ReadBits(m_cWidth);
        return !br.Failed();
    }
    std::size_t nLevel = 0;
    for (;;) {
        const Entry& e = m_levels[nLevel][br.Peek8()];
        if (e.fState == 0) return false;
        br.Skip(e.cBits);
        if (br.Failed()) return false;
        if (e.fState == 1) {
            dwSymbol = e.dwValue;
            return true;
        }
        nLevel = e.dwValue;
    }
}

} // namespace velka
