#include "mapdata/img_parser.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "mapdata/address_text.h"
#include "mapdata/label_interpret.h"
#include "mapdata/map_scales.h"
#include "mapdata/label_store.h"
#include "mapdata/paint_context.h"
#include "mapdata/search_params.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/string_ids.h"

namespace velka {


namespace {


std::unique_ptr<CMapParser> CreateImg(CMapCreateInfo&& info) {
    return std::make_unique<CImgParser>(std::move(info));
}

LONG SignExtend24(std::uint32_t v) {
    v &= 0xFFFFFFu;
    return static_cast<LONG>(v) - ((v & 0x800000u) ? 0x1000000 : 0);
}

// Garmin units (24 bits) to map units.
LONG ToMapUnits(LONG lGarmin) {
    return static_cast<LONG>(static_cast<std::uint32_t>(SignExtend24(static_cast<std::uint32_t>(lGarmin))) << 7);
}

LONG ClampLong(std::int64_t v) {
    return static_cast<LONG>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

bool HasSignature(const CImgBytes& b, const char* szSig) {
    return b.Has(2, 10) && std::memcmp(b.p + 2, szSig, 10) == 0;
}

// Bits of a bit stream, lowest bit of each byte first.
class CImgBits {
public:
    CImgBits(const BYTE* p, DWORD cb) : m_p(p), m_cBits(std::uint64_t{cb} * 8) {}
    std::uint64_t Left() const { return m_cBits - m_nBit; }
    std::uint32_t Read(unsigned n) {
        std::uint32_t v = 0;
        for (unsigned i = 0; i < n && m_nBit < m_cBits; ++i, ++m_nBit)
            v |= static_cast<std::uint32_t>((m_p[m_nBit >> 3] >> (m_nBit & 7)) & 1u) << i;
        return v;
    }

private:
    const BYTE* m_p;
    std::uint64_t m_cBits;
    std::uint64_t m_nBit = 0;
};

unsigned BaseWidth(unsigned n) { return n >= 10 ? 2 * n - 9 : n; }

} // namespace

CMapFormat& ImgMapFormat() {
    static CMapFormat s_format{nullptr, IDS_FILE_TYPE_IMG, u"*.img", u"img", CreateImg, ProbeImg};
    return s_format;
}

CImgParser::CImgParser(CMapCreateInfo&& info) : CMapParser(std::move(info)) {}

CImgParser::~CImgParser() {
    for (CImgTile& t : m_tiles) CloseCodePageConverter(t.pConverter);
}

// ---------------------------------------------------------------------------
// The container.

bool CImgParser::OpenContainer() {
    if (!m_pData || m_cFileSize < 0x600 || !ProbeImg(m_pData, m_cFileSize)) return false;
    m_btXor = m_pData[16] ^ 0x44;
    if (m_btXor) {
        // A keyed container is unmasked into a copy, word by word.
        m_vecUnmasked.assign(m_pData, m_pData + m_cFileSize);
        const std::uint32_t dwKey = 0x01010101u * m_btXor;
        std::size_t i = 0;
        for (; i + 4 <= m_vecUnmasked.size(); i += 4) {
            std::uint32_t w;
            std::memcpy(&w, &m_vecUnmasked[i], 4);
            w ^= dwKey;
            std::memcpy(&m_vecUnmasked[i], &w, 4);
        }
        for (; i < m_vecUnmasked.size(); ++i) m_vecUnmasked[i] ^= m_btXor;
        m_file = {m_vecUnmasked.data(), m_cFileSize};
    } else {
        m_file = {m_pData, m_cFileSize};
    }
    const unsigned nExp = unsigned{m_file.U8(0x61)} + m_file.U8(0x62);
    if (nExp < 9 || nExp > 24) return false;
    m_cbBlock = DWORD{1} << nExp;

    // Directory entries: name and type, size from part 0, block numbers of
    // all parts in part order.
    struct Subfile {
        DWORD cbSize = 0;
        bool fHavePart0 = false;
        std::map<WORD, std::vector<WORD>> parts;
    };
    std::vector<std::string> vecNames; // tile names in directory order
    std::map<std::string, std::map<std::string, Subfile>> subfiles;
    const DWORD dwDirEnd = std::min<DWORD>(m_file.U32(0x40C), m_cFileSize);
    for (DWORD ofs = 0x600; ofs + 512 <= dwDirEnd; ofs += 512) {
        const BYTE* e = m_file.p + ofs;
        if (e[0] != 1) continue;
        const std::string strName(reinterpret_cast<const char*>(e + 1), 8);
        const std::string strType(reinterpret_cast<const char*>(e + 9), 3);
        const WORD wPart = static_cast<WORD>(e[17] | e[18] << 8);
        Subfile& sf = subfiles[strName][strType];
        if (std::find(vecNames.begin(), vecNames.end(), strName) == vecNames.end())
            vecNames.push_back(strName);
        if (sf.parts.count(wPart)) continue; // a repeated part is ignored
        std::vector<WORD>& blocks = sf.parts[wPart];
        for (int i = 0; i < 240; ++i) {
            const WORD w = static_cast<WORD>(e[32 + 2 * i] | e[33 + 2 * i] << 8);
            if (w == 0xFFFF) break;
            blocks.push_back(w);
        }
        if (wPart == 0) {
            sf.fHavePart0 = true;
            sf.cbSize = DWORD{e[12]} | DWORD{e[13]} << 8 | DWORD{e[14]} << 16 | DWORD{e[15]} << 24;
        }
    }

    auto locate = [&](const Subfile& sf) -> CImgBytes {
        if (!sf.fHavePart0) return {};
        std::vector<WORD> blocks;
        for (const auto& [wPart, v] : sf.parts) blocks.insert(blocks.end(), v.begin(), v.end());
        if (blocks.empty()) return {};
        const std::uint64_t cbSize =
            std::min<std::uint64_t>(sf.cbSize, std::uint64_t{blocks.size()} * m_cbBlock);
        bool fConsecutive = true;
        for (std::size_t i = 1; i < blocks.size() && fConsecutive; ++i)
            fConsecutive = blocks[i] == blocks[0] + i;
        if (fConsecutive) return m_file.Sub(std::uint64_t{blocks[0]} * m_cbBlock, cbSize);
        // Scattered blocks are gathered into a piece of their own.
        std::vector<BYTE> piece;
        piece.reserve(static_cast<std::size_t>(cbSize));
        for (WORD w : blocks) {
            if (piece.size() >= cbSize) break;
            const CImgBytes b = m_file.Sub(std::uint64_t{w} * m_cbBlock,
                                           std::min<std::uint64_t>(m_cbBlock, cbSize - piece.size()));
            if (!b.cb) break;
            piece.insert(piece.end(), b.p, b.p + b.cb);
        }
        m_vecPieces.push_back(std::move(piece));
        return {m_vecPieces.back().data(), static_cast<DWORD>(m_vecPieces.back().size())};
    };

    // Every name with a TRE and an RGN subfile is a tile; other names (the
    // product's MPS, MDR, SRT, TYP files of a gmapsupp.img) are not maps.
    for (const std::string& strName : vecNames) {
        auto& types = subfiles[strName];
        if (!types.count("TRE") || !types.count("RGN")) continue;
        CImgTile tile;
        tile.strName = strName;
        tile.tre = locate(types["TRE"]);
        tile.rgn = locate(types["RGN"]);
        if (types.count("LBL")) tile.lbl = locate(types["LBL"]);
        if (types.count("NET")) tile.net = locate(types["NET"]);
        if (tile.tre.cb && tile.rgn.cb) m_tiles.push_back(std::move(tile));
    }
    return !m_tiles.empty();
}

bool CImgParser::OpenTile(CImgTile& t, bool* pfEnciphered, int* pnBadCoding) {
    // TRE: bounds, levels, subdivisions, copyrights.
    const CImgBytes& tre = t.tre;
    const WORD cbTreHeader = tre.U16(0);
    if (cbTreHeader < 0x74 || !tre.Has(0, cbTreHeader) || !HasSignature(tre, "GARMIN TRE"))
        return false;
    if (tre.U8(13) & 0x80) {
        *pfEnciphered = true;
        return false;
    }
    const LONG lNorth = tre.S24(21), lEast = tre.S24(24), lSouth = tre.S24(27), lWest = tre.S24(30);
    t.rcBounds = {ToMapUnits(lWest), ToMapUnits(lSouth), ToMapUnits(lEast), ToMapUnits(lNorth)};

    // RGN.
    const CImgBytes& rgn = t.rgn;
    if (rgn.U16(0) < 0x1D || !HasSignature(rgn, "GARMIN RGN")) return false;
    t.rgnData = rgn.Sub(rgn.U32(21), rgn.U32(25));

    // LBL (labels are optional: a tile without them draws unnamed).
    if (t.lbl.cb) {
        const CImgBytes& lbl = t.lbl;
        const WORD cbHeader = lbl.U16(0);
        if (!HasSignature(lbl, "GARMIN LBL") || cbHeader < 31) return false;
        t.labelData = lbl.Sub(lbl.U32(21), lbl.U32(25));
        t.nLabelShift = std::min<unsigned>(lbl.U8(29), 24);
        t.btCoding = lbl.U8(30);
        if (t.btCoding != 6 && t.btCoding != 9 && t.btCoding != 10) {
            *pnBadCoding = t.btCoding;
            return false;
        }
        t.wCodePage = cbHeader >= 172 ? lbl.U16(170) : 0;
        if (t.btCoding != 6) t.pConverter = OpenCodePageConverter(t.wCodePage);
        if (cbHeader >= 95) t.poi = lbl.Sub(lbl.U32(87), lbl.U32(91));
        if (cbHeader >= 96) t.nPoiShift = std::min<unsigned>(lbl.U8(95), 24);
    }
    // NET road data (road names).
    if (t.net.cb && HasSignature(t.net, "GARMIN NET") && t.net.U16(0) >= 30) {
        t.roads = t.net.Sub(t.net.U32(21), t.net.U32(25));
        t.nRoadShift = std::min<unsigned>(t.net.U8(29), 24);
    }

    // Levels.
    const CImgBytes levels = tre.Sub(tre.U32(33), tre.U32(37));
    for (DWORD i = 0; i + 4 <= levels.cb; i += 4) {
        CImgLevel l;
        l.btNumber = levels.U8(i) & 0x7F;
        l.fInherited = (levels.U8(i) & 0x80) != 0;
        l.btBits = levels.U8(i + 1);
        l.cSubdivisions = levels.U16(i + 2);
        t.levels.push_back(l);
    }
    if (t.levels.empty()) return false;

    // Subdivisions: 16-byte records, 14 bytes on the last level stored.
    const CImgBytes subs = tre.Sub(tre.U32(41), tre.U32(45));
    DWORD ofs = 0;
    for (std::size_t nLevel = 0; nLevel < t.levels.size(); ++nLevel) {
        CImgLevel& l = t.levels[nLevel];
        l.nFirstSubdivision = t.subdivisions.size();
        const DWORD cbRecord = nLevel + 1 == t.levels.size() ? 14 : 16;
        const unsigned nBits = std::clamp<unsigned>(l.btBits, 1, 24);
        WORD cRead = 0;
        for (; cRead < l.cSubdivisions && subs.Has(ofs, cbRecord); ++cRead, ofs += cbRecord) {
            CImgSubdivision s;
            s.dwRgnOffset = subs.U24(ofs);
            s.btFlags = subs.U8(ofs + 3);
            s.lCenterX = subs.S24(ofs + 4);
            s.lCenterY = subs.S24(ofs + 7);
            s.dwHalfWidth = subs.U16(ofs + 10) & 0x7FFF;
            s.dwHalfHeight = subs.U16(ofs + 12);
            s.btLevel = l.btNumber;
            s.nShift = 24 - nBits;
            const std::int64_t dx = std::int64_t{s.dwHalfWidth} << s.nShift;
            const std::int64_t dy = std::int64_t{s.dwHalfHeight} << s.nShift;
            s.rc = {ClampLong((s.lCenterX - dx) * 128), ClampLong((s.lCenterY - dy) * 128),
                    ClampLong((s.lCenterX + dx) * 128), ClampLong((s.lCenterY + dy) * 128)};
            t.subdivisions.push_back(s);
        }
        l.cSubdivisions = cRead;
    }
    // Sections: after a table of 16-bit offsets for every present section
    // but the first; a subdivision's data ends where the next one's starts.
    const DWORD cbRgn = t.rgnData.cb;
    for (std::size_t i = 0; i < t.subdivisions.size(); ++i) {
        CImgSubdivision& s = t.subdivisions[i];
        const DWORD dwBegin = std::min(s.dwRgnOffset, cbRgn);
        DWORD dwEnd = i + 1 < t.subdivisions.size() ? t.subdivisions[i + 1].dwRgnOffset : cbRgn;
        dwEnd = std::clamp(dwEnd, dwBegin, cbRgn);
        int aPresent[isMax];
        int cPresent = 0;
        for (int k = 0; k < isMax; ++k) {
            s.adwStart[k] = s.adwEnd[k] = c_dwNone;
            if (s.btFlags & (0x10 << k)) aPresent[cPresent++] = k;
        }
        DWORD adwStarts[isMax] = {};
        for (int j = 0; j < cPresent; ++j) {
            const DWORD dwStart = j == 0 ? dwBegin + 2 * DWORD(cPresent - 1)
                                         : dwBegin + t.rgnData.U16(dwBegin + 2 * DWORD(j - 1));
            adwStarts[j] = std::clamp(dwStart, dwBegin, dwEnd);
        }
        for (int j = 0; j < cPresent; ++j) {
            const DWORD dwNext = j + 1 < cPresent ? adwStarts[j + 1] : dwEnd;
            s.adwStart[aPresent[j]] = adwStarts[j];
            s.adwEnd[aPresent[j]] = std::max(adwStarts[j], dwNext);
        }
    }

    // Extended types: RGN holds one section per kind (areas at 0x1D, lines
    // at 0x39, points at 0x55, offset and length each); a TRE table at 0x7C
    // gives every subdivision its start in each, the next record its end.
    static constexpr DWORD c_aofsExt[3] = {0x1D, 0x39, 0x55};
    for (int k = 0; k < 3; ++k)
        if (rgn.U16(0) >= c_aofsExt[k] + 8) t.ext[k] = rgn.Sub(rgn.U32(c_aofsExt[k]), rgn.U32(c_aofsExt[k] + 4));
    const WORD cbExtRecord = cbTreHeader >= 0x86 ? tre.U16(0x84) : 0;
    const CImgBytes extTable = cbExtRecord >= 12 ? tre.Sub(tre.U32(0x7C), tre.U32(0x80)) : CImgBytes{};
    for (std::size_t i = 0; i < t.subdivisions.size(); ++i) {
        CImgSubdivision& s = t.subdivisions[i];
        const std::uint64_t nRec = i * std::uint64_t{cbExtRecord};
        for (int k = 0; k < 3; ++k) {
            s.adwExtStart[k] = s.adwExtEnd[k] = c_dwNone;
            if (!t.ext[k].cb || !extTable.Has(nRec, 12)) continue;
            const DWORD dwStart = extTable.U32(nRec + 4 * k);
            const DWORD dwEnd = extTable.Has(nRec + cbExtRecord, 12) ? extTable.U32(nRec + cbExtRecord + 4 * k)
                                                                      : t.ext[k].cb;
            if (dwStart >= dwEnd || dwEnd > t.ext[k].cb) continue;
            s.adwExtStart[k] = dwStart;
            s.adwExtEnd[k] = dwEnd;
        }
    }

    // Copyright records: 3-byte label offsets.
    if (tre.U16(57) == 3) {
        const CImgBytes rec = tre.Sub(tre.U32(49), tre.U32(53));
        for (DWORD i = 0; i + 3 <= rec.cb && t.copyrights.size() < 64; i += 3)
            t.copyrights.push_back(rec.U24(i) & 0x3FFFFF);
    }
    return true;
}

bool CImgParser::Open(DWORD dwFlags) {
    (void)dwFlags; // everything is located at once; nothing of it is costly
    if (!OpenContainer()) return false;
    bool fEnciphered = false;
    int nBadCoding = -1;
    std::vector<CImgTile> vecOpen;
    std::uint64_t llLabelBase = 0;
    for (CImgTile& t : m_tiles) {
        if (!OpenTile(t, &fEnciphered, &nBadCoding)) {
            CloseCodePageConverter(t.pConverter);
            t.pConverter = nullptr;
            continue;
        }
        if (llLabelBase + t.lbl.cb >= c_dwNone) {
            // Label identities must stay distinct: this tile draws unnamed.
            t.lbl = t.labelData = t.poi = t.roads = {};
        }
        t.dwLabelBase = static_cast<DWORD>(llLabelBase);
        llLabelBase += t.lbl.cb;
        vecOpen.push_back(std::move(t));
        t.pConverter = nullptr;
    }
    m_tiles = std::move(vecOpen);
    if (m_tiles.empty()) {
        // A locked map or one in an unknown text coding is refused with its reason.
        if (fEnciphered) m_openError = ErrorCode::MapEnciphered;
        else if (nBadCoding >= 0) m_openError = {ErrorCode::MapBadTextCoding, {nBadCoding}};
        return false;
    }

    m_rcBounds = CMapRect::MakeEmpty();
    int nFinest = INT32_MAX, nCoarsest = -1;
    for (const CImgTile& t : m_tiles) {
        m_rcBounds.Add(t.rcBounds);
        int nMin = INT32_MAX, nMax = -1;
        for (const CImgLevel& l : t.levels) {
            if (l.fInherited) continue;
            nMin = std::min<int>(nMin, l.btBits);
            nMax = std::max<int>(nMax, l.btBits);
        }
        if (nMax < 0) continue;
        nFinest = std::min(nFinest, ScaleIndexForCode(nMax));
        nCoarsest = std::max(nCoarsest, ScaleIndexForCode(nMin));
    }
    m_nFinestScale = nFinest == INT32_MAX ? 0 : nFinest;
    m_nCoarsestScale = nCoarsest < 0 ? 0 : nCoarsest;
    m_vecPoints.resize(256);
    m_vecScreen.resize(256);
    return true;
}

// ---------------------------------------------------------------------------
// Levels, elements and bit streams.

std::size_t CImgParser::SelectLevel(const CImgTile& tile, int nScaleCode) const {
    // The most detailed level the view's scale code reaches; when it reaches
    // none, the least detailed one. Inherited levels hold no data of their own.
    std::size_t nChosen = tile.levels.size(), nCoarsest = tile.levels.size();
    for (std::size_t i = 0; i < tile.levels.size(); ++i) {
        const CImgLevel& l = tile.levels[i];
        if (l.fInherited) continue;
        if (nCoarsest == tile.levels.size() || l.btBits < tile.levels[nCoarsest].btBits)
            nCoarsest = i;
        if (nScaleCode >= l.btBits &&
            (nChosen == tile.levels.size() || l.btBits > tile.levels[nChosen].btBits))
            nChosen = i;
    }
    if (nChosen == tile.levels.size()) nChosen = nCoarsest;
    return std::min(nChosen, tile.levels.size() - 1);
}

unsigned CImgParser::DecodeBitstream(const BYTE* p, DWORD cb, BYTE btInfo, bool fExtraBit,
                                     unsigned nShift, LONG x0, LONG y0) {
    // Room for every point the stream can hold (at least 4 bits a point).
    const std::size_t cMax = std::min<std::size_t>(std::size_t{cb} * 2 + 2, c_cMaxElementPoints);
    if (m_vecPoints.size() < cMax) {
        m_vecPoints.resize(cMax);
        m_vecScreen.resize(cMax);
    }
    LONG x = x0, y = y0;
    m_vecPoints[0] = {ToMapUnits(x), ToMapUnits(y)};
    unsigned cPoints = 1;
    CImgBits bits(p, cb);
    if (bits.Left() < 2) return cPoints;
    bool fSameX = bits.Read(1) != 0;
    const bool fNegX = fSameX && bits.Read(1) != 0;
    const bool fSameY = bits.Read(1) != 0;
    const bool fNegY = fSameY && bits.Read(1) != 0;
    const unsigned wx = BaseWidth(btInfo & 0x0F) + 2 + (fSameX ? 0 : 1);
    const unsigned wy = BaseWidth(btInfo >> 4) + 2 + (fSameY ? 0 : 1);
    const unsigned cNeed = wx + wy + (fExtraBit ? 1 : 0);

    auto delta = [&](unsigned w, bool fSame, bool fNeg, bool& fOk) -> std::int64_t {
        if (fSame) {
            const std::int64_t v = bits.Read(w);
            return fNeg ? -v : v;
        }
        const std::uint32_t uHalf = 1u << (w - 1);
        std::uint32_t v = bits.Read(w);
        std::int64_t llAcc = 0;
        while (v == uHalf) {
            if (bits.Left() < w) {
                fOk = false;
                return 0;
            }
            llAcc += v - 1;
            v = bits.Read(w);
        }
        if (v > uHalf) return std::int64_t{v} - (std::int64_t{1} << w) - llAcc;
        return std::int64_t{v} + llAcc;
    };

    while (bits.Left() >= cNeed && cPoints < cMax) {
        if (fExtraBit) bits.Read(1);
        bool fOk = true;
        const std::int64_t dx = delta(wx, fSameX, fNegX, fOk);
        const std::int64_t dy = fOk ? delta(wy, fSameY, fNegY, fOk) : 0;
        if (!fOk) break;
        x = SignExtend24(static_cast<std::uint32_t>(x) +
                         static_cast<std::uint32_t>(SignExtend24(static_cast<std::uint32_t>(dx << nShift))));
        y = SignExtend24(static_cast<std::uint32_t>(y) +
                         static_cast<std::uint32_t>(SignExtend24(static_cast<std::uint32_t>(dy << nShift))));
        m_vecPoints[cPoints++] = {ToMapUnits(x), ToMapUnits(y)};
    }
    return cPoints;
}

DWORD CImgParser::LabelIdentity(const CImgTile& t, DWORD dwField, bool fNet, bool fPoi) const {
    DWORD dwOffset = dwField & 0x3FFFFF;
    if (fNet) {
        const std::uint64_t n = std::uint64_t{dwOffset} << t.nRoadShift;
        if (!t.roads.Has(n, 3)) return c_dwNone;
        dwOffset = t.roads.U24(n) & 0x3FFFFF;
    } else if (fPoi) {
        const std::uint64_t n = std::uint64_t{dwOffset} << t.nPoiShift;
        if (!t.poi.Has(n, 3)) return c_dwNone;
        dwOffset = t.poi.U24(n) & 0x3FFFFF;
    }
    // Offset 0 is the empty label (in six-bit data not even an end code).
    if (dwOffset == 0) return c_dwNone;
    const std::uint64_t nPos = std::uint64_t{dwOffset} << t.nLabelShift;
    if (!t.labelData.cb || nPos >= t.labelData.cb) return c_dwNone;
    return t.dwLabelBase + static_cast<DWORD>(t.labelData.p - t.lbl.p) + static_cast<DWORD>(nPos);
}

int CImgParser::ReadRawLabel(DWORD dwLabel, char16_t* pRaw, std::size_t cchRaw) const {
    if (!pRaw || cchRaw == 0) return -1;
    pRaw[0] = 0;
    if (dwLabel == c_dwNone) return -1;
    for (const CImgTile& t : m_tiles) {
        if (dwLabel < t.dwLabelBase || dwLabel - t.dwLabelBase >= t.lbl.cb) continue;
        const DWORD nPos = dwLabel - t.dwLabelBase;
        const DWORD nStart = static_cast<DWORD>(t.labelData.p - t.lbl.p);
        if (!t.labelData.cb || nPos < nStart || nPos - nStart >= t.labelData.cb) return -1;
        const BYTE* p = t.labelData.p + (nPos - nStart);
        const std::size_t cb = t.labelData.cb - (nPos - nStart);
        if (t.btCoding == 6) return static_cast<int>(DecodeSixBitLabel(p, cb, pRaw, cchRaw));
        std::size_t n = 0;
        while (n < cb && n < 1024 && p[n]) ++n;
        return static_cast<int>(DecodeEightBit(t.pConverter, p, n, pRaw, cchRaw));
    }
    return -1;
}

bool CImgParser::DecodeElement(const CImgTile& t, const CImgSubdivision& s, int nSection,
                               CImgBytes sec, DWORD& nPos, CImgElement& el) {
    const BYTE btType = sec.U8(nPos);
    const DWORD dwLabel = sec.U24(nPos + 1);
    const LONG dx = static_cast<short>(sec.U16(nPos + 4));
    const LONG dy = static_cast<short>(sec.U16(nPos + 6));
    const LONG x0 = SignExtend24(static_cast<std::uint32_t>(s.lCenterX + (std::int64_t{dx} << s.nShift)));
    const LONG y0 = SignExtend24(static_cast<std::uint32_t>(s.lCenterY + (std::int64_t{dy} << s.nShift)));
    if (nSection == isPoints || nSection == isIndexedPoints) {
        const bool fSubtype = (dwLabel & 0x800000) != 0;
        const DWORD cb = fSubtype ? 9 : 8;
        if (!sec.Has(nPos, cb)) return false;
        const BYTE btSub = fSubtype ? sec.U8(nPos + 8) : 0;
        el.wType = static_cast<WORD>(btType << 8 | (nSection == isPoints ? btSub : 0));
        el.dwLabel = LabelIdentity(t, dwLabel, false, (dwLabel & 0x400000) != 0);
        el.fOneWay = false;
        m_vecPoints[0] = {ToMapUnits(x0), ToMapUnits(y0)};
        el.cPoints = 1;
        nPos += cb;
        return true;
    }
    const bool fTwoByte = (btType & 0x80) != 0;
    const DWORD cbHead = fTwoByte ? 10 : 9;
    if (!sec.Has(nPos, cbHead + 1)) return false;
    const DWORD cbStream = fTwoByte ? sec.U16(nPos + 8) : sec.U8(nPos + 8);
    if (!sec.Has(nPos + cbHead + 1, cbStream)) return false;
    const bool fLine = nSection == isPolylines;
    el.wType = fLine ? (btType & 0x3F) : (btType & 0x7F);
    el.fOneWay = fLine && (btType & 0x40) != 0;
    el.dwLabel = LabelIdentity(t, dwLabel, (dwLabel & 0x800000) != 0, false);
    el.cPoints = DecodeBitstream(sec.p + nPos + cbHead + 1, cbStream, sec.U8(nPos + cbHead),
                                 fLine && (dwLabel & 0x400000) != 0, s.nShift, x0, y0);
    nPos += cbHead + 1 + cbStream;
    return true;
}

bool CImgParser::DecodeExtElement(const CImgTile& t, const CImgSubdivision& s, int nExt, CImgBytes sec,
                                  DWORD& nPos, CImgElement& el) {
    // Type, subtype with flags (0x20 a label follows, 0x80 extra bytes
    // follow), 16-bit dx and dy; areas and lines then a bit-stream length
    // (odd first byte: one byte, length >> 1; else two, length >> 2) and
    // the stream with its info byte first; then the label.
    if (!sec.Has(nPos, 6)) return false;
    const BYTE btType = sec.U8(nPos), btSub = sec.U8(nPos + 1);
    // Extra bytes have a layout of their own; the rest of the section is left.
    if (btSub & 0x80) return false;
    const LONG dx = static_cast<short>(sec.U16(nPos + 2));
    const LONG dy = static_cast<short>(sec.U16(nPos + 4));
    const LONG x0 = SignExtend24(static_cast<std::uint32_t>(s.lCenterX + (std::int64_t{dx} << s.nShift)));
    const LONG y0 = SignExtend24(static_cast<std::uint32_t>(s.lCenterY + (std::int64_t{dy} << s.nShift)));
    DWORD n = nPos + 6;
    el.wType = ImgExtendedType(btType, btSub);
    el.fOneWay = false;
    if (nExt == iePoints) {
        m_vecPoints[0] = {ToMapUnits(x0), ToMapUnits(y0)};
        el.cPoints = 1;
    } else {
        DWORD cbStream = 0;
        if (!sec.Has(n, 1)) return false;
        if (sec.U8(n) & 1) {
            cbStream = sec.U8(n) >> 1;
            n += 1;
        } else {
            if (!sec.Has(n, 2)) return false;
            cbStream = sec.U16(n) >> 2;
            n += 2;
        }
        if (cbStream < 1 || !sec.Has(n, cbStream)) return false;
        el.cPoints = DecodeBitstream(sec.p + n + 1, cbStream - 1, sec.U8(n), false, s.nShift, x0, y0);
        n += cbStream;
    }
    el.dwLabel = c_dwNone;
    if (btSub & 0x20) {
        if (!sec.Has(n, 3)) return false;
        el.dwLabel = LabelIdentity(t, sec.U24(n), false, false);
        n += 3;
    }
    nPos = n;
    return true;
}

template <class Fn>
bool CImgParser::ForEachExtElement(const CImgTile& tile, const CImgSubdivision& sub, int nExt, Fn&& fn) {
    if (sub.adwExtStart[nExt] == c_dwNone) return true;
    const CImgBytes sec =
        tile.ext[nExt].Sub(sub.adwExtStart[nExt], sub.adwExtEnd[nExt] - sub.adwExtStart[nExt]);
    DWORD nPos = 0;
    CImgElement el;
    while (nPos < sec.cb) {
        if (!DecodeExtElement(tile, sub, nExt, sec, nPos, el)) break; // the rest is not sound
        if (!fn(el)) return false;
    }
    return true;
}

template <class Fn>
bool CImgParser::ForEachElement(const CImgTile& tile, const CImgSubdivision& sub, int nSection,
                                Fn&& fn) {
    if (sub.adwStart[nSection] == c_dwNone) return true;
    const CImgBytes sec =
        tile.rgnData.Sub(sub.adwStart[nSection], sub.adwEnd[nSection] - sub.adwStart[nSection]);
    DWORD nPos = 0;
    CImgElement el;
    while (nPos < sec.cb) {
        if (!DecodeElement(tile, sub, nSection, sec, nPos, el)) break; // the rest is not sound
        if (!fn(el)) return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Drawing.

bool CImgParser::Draw(CPaintContext& pc, CLabelStore& labels) {
    if (m_tiles.empty()) return false;
    const CMapRect rcVisible = pc.VisibleRect();
    const unsigned uScale = pc.ScaleIndex();
    const bool fDetailed = uScale <= 11;
    const int nFactor = std::max(1, pc.ScreenFactor());
    char16_t szRaw[c_cDisplayLabelMax];
    char16_t szDisplay[c_cDisplayLabelMax];
    unsigned cObjects = 0;
    bool fInterrupted = false;

    auto label = [&](int nKind, const CImgElement& el, int* pnShield) -> int {
        *pnShield = 0;
        if (el.dwLabel == c_dwNone) return 0;
        const int cRaw = ReadRawLabel(el.dwLabel, szRaw, c_cDisplayLabelMax);
        if (cRaw <= 0) return 0;
        return LabelInterpret(nKind, el.wType, true, fDetailed, szRaw,
                              static_cast<std::size_t>(cRaw), szDisplay, pnShield);
    };

    static constexpr int c_aKinds[3] = {rkPolygon, rkPolyline, rkPoint};
    for (int nKind : c_aKinds) {
        for (const CImgTile& tile : m_tiles) {
            if (!tile.rcBounds.Intersects(rcVisible) && !tile.rcBounds.IsEmpty()) continue;
            const CImgLevel& level = tile.levels[SelectLevel(tile, pc.ScaleCode())];
            for (std::size_t i = 0; i < level.cSubdivisions; ++i) {
                const CImgSubdivision& sub = tile.subdivisions[level.nFirstSubdivision + i];
                if (!sub.rc.Intersects(rcVisible)) continue;
                auto fn = [&](const CImgElement& el) -> bool {
                    if ((++cObjects & 255) == 0 && pc.PumpMessages()) {
                        fInterrupted = true;
                        return false;
                    }
                    int nShield = 0;
                    if (nKind == rkPoint) {
                        const CMapPoint pt = m_vecPoints[0];
                        if (!rcVisible.Contains(pt)) return true;
                        const UINT uIcon = pc.PointIcon(el.wType);
                        const int cDisplay = label(rkPoint, el, &nShield);
                        if (uIcon || cDisplay)
                            labels.AddPointLabel({this, el.dwLabel}, el.wType,
                                                 {szDisplay, static_cast<std::size_t>(cDisplay)},
                                                 pc.MapToScreen(pt), static_cast<WORD>(el.wType >> 8),
                                                 pc.PointLabelStyle(el.wType), uIcon);
                        return true;
                    }
                    if (nKind == rkPolygon && (el.cPoints < 3 || (el.wType < 0x8000 && (el.wType <= 3 ||
                                                     el.wType == 0x4A || el.wType == 0x4B))))
                        return true;
                    if (el.cPoints < 2) return true;
                    CMapRect rcBox = CMapRect::MakeEmpty();
                    rcBox.Add(m_vecPoints.data(), el.cPoints);
                    if (!rcBox.Intersects(rcVisible)) return true;
                    const SIZE extent = pc.ScreenExtent(rcBox);
                    if (extent.cx < 2 * nFactor && extent.cy < 2 * nFactor) return true;
                    const int cPoints = static_cast<int>(el.cPoints);
                    pc.MapPointsToScreen(m_vecPoints.data(), m_vecScreen.data(), el.cPoints);
                    if (nKind == rkPolygon)
                        pc.DrawPolygon(el.wType, m_vecScreen.data(), cPoints);
                    else if (pc.DrawPolyline(el.wType, m_vecScreen.data(), cPoints) && el.fOneWay)
                        pc.DrawDirectionArrows(m_vecScreen.data(), cPoints);
                    if (extent.cx < 10 * nFactor && extent.cy < 10 * nFactor) return true;
                    const int cDisplay = label(nKind, el, &nShield);
                    if (!cDisplay) return true;
                    const std::u16string_view text(szDisplay, static_cast<std::size_t>(cDisplay));
                    if (nKind == rkPolygon)
                        labels.AddPolygonLabel({this, el.dwLabel}, el.wType, text, m_vecScreen.data(),
                                               cPoints, rcBox, pc.AreaLabelStyle(el.wType));
                    else
                        labels.AddPolylineLabel({this, el.dwLabel}, el.wType, text,
                                                m_vecScreen.data(), cPoints, rcBox,
                                                pc.LineLabelStyle(el.wType), nShield != 0);
                    return true;
                };
                const int nExt = nKind == rkPolygon ? ieAreas : nKind == rkPolyline ? ieLines : iePoints;
                if (nKind == rkPoint) {
                    if (!ForEachElement(tile, sub, isPoints, fn) ||
                        !ForEachElement(tile, sub, isIndexedPoints, fn))
                        return fInterrupted;
                } else if (!ForEachElement(tile, sub, nKind == rkPolygon ? isPolygons : isPolylines,
                                           fn)) {
                    return fInterrupted;
                }
                if (!ForEachExtElement(tile, sub, nExt, fn)) return fInterrupted;
            }
        }
    }
    return false;
}

int CImgParser::GetLabel(unsigned uScaleIndex, int nKind, WORD wType, DWORD dwLabelOffset,
                         char16_t* pText, int* pnShield) {
    if (pnShield) *pnShield = 0;
    if (!pText) return 0;
    pText[0] = 0;
    char16_t szRaw[c_cDisplayLabelMax];
    const int cRaw = ReadRawLabel(dwLabelOffset, szRaw, c_cDisplayLabelMax);
    if (cRaw <= 0) return 0;
    int nShield = 0;
    const int n = LabelInterpret(nKind, wType, true, uScaleIndex <= 11, szRaw,
                                 static_cast<std::size_t>(cRaw), pText, &nShield);
    if (pnShield) *pnShield = nShield;
    return n;
}

void CImgParser::GetInfo(WORD* pwYear, BYTE* pbtMonth, BYTE* pbtDay, char16_t* pName,
                         std::size_t cchName, char16_t* pNotes, std::size_t cchNotes) const {
    CMapParser::GetInfo(pwYear, pbtMonth, pbtDay, pName, cchName, pNotes, cchNotes);
    if (!m_file.cb) return;
    const BYTE btYear = m_file.U8(11);
    if (pwYear) *pwYear = static_cast<WORD>(btYear + (btYear < 90 ? 2000 : 1900));
    if (pbtMonth) *pbtMonth = m_file.U8(10);
    if (pName && cchName) {
        // The description: 20 bytes at 73 and its continuation at 101.
        BYTE ab[52];
        std::size_t cb = 0;
        for (std::size_t i = 0; i < 20 && m_file.U8(73 + i); ++i) ab[cb++] = m_file.U8(73 + i);
        if (cb == 20)
            for (std::size_t i = 0; i < 31 && m_file.U8(101 + i); ++i) ab[cb++] = m_file.U8(101 + i);
        while (cb && ab[cb - 1] == ' ') --cb;
        UConverter* pConverter = OpenCodePageConverter(0);
        DecodeEightBit(pConverter, ab, cb, pName, cchName);
        CloseCodePageConverter(pConverter);
    }
    if (pNotes && cchNotes) {
        std::u16string strNotes;
        for (DWORD dwField : m_tiles.front().copyrights) {
            char16_t sz[c_cDisplayLabelMax];
            const int n = const_cast<CImgParser*>(this)->GetLabel(
                0, 3, 0, LabelIdentity(m_tiles.front(), dwField, false, false), sz, nullptr);
            if (n <= 0) continue;
            if (!strNotes.empty()) strNotes += u"\r\n";
            strNotes.append(sz, static_cast<std::size_t>(n));
        }
        CopyToBuffer(pNotes, cchNotes, strNotes);
    }
}

CTypeCatalogue* CImgParser::GetTypes() {
    if (m_pTypes) return m_pTypes.get();
    m_pTypes = std::make_unique<CTypeCatalogue>();
    for (const CImgTile& tile : m_tiles) {
        for (const CImgSubdivision& sub : tile.subdivisions) {
            for (int k = 0; k < isMax; ++k) {
                const int nKind = k <= isIndexedPoints ? rkPoint : k == isPolylines ? rkPolyline : rkPolygon;
                ForEachElement(tile, sub, k, [&](const CImgElement& el) {
                    m_pTypes->Add(nKind, el.wType);
                    return true;
                });
            }
            static constexpr int c_aExtKinds[3] = {rkPolygon, rkPolyline, rkPoint};
            for (int k = 0; k < 3; ++k)
                ForEachExtElement(tile, sub, k, [&](const CImgElement& el) {
                    m_pTypes->Add(c_aExtKinds[k], el.wType);
                    return true;
                });
        }
    }
    return m_pTypes.get();
}

std::unique_ptr<CFindList> CImgParser::FindNearest(int nScaleCode, bool fUseViewLevel, LONG x,
                                                   LONG y, DWORD dwRadiusMetres,
                                                   const CTypeFilter* pFilter,
                                                   const std::u16string& strName, CSearchProgress* pProgress) {
    auto pList = std::make_unique<CImgFindList>(*this);
    const CSearchExtent ext = SearchExtent(x, y, dwRadiusMetres);
    const double dY = static_cast<double>(ext.llY), dCos = ext.dCos;
    const CMapRect& rcSearch = ext.rc;
    const std::u16string name = FoldText(strName);
    std::size_t nTile = 0;
    for (const CImgTile& tile : m_tiles) {
        if (pProgress && !pProgress->Step(nTile++, m_tiles.size())) return nullptr;
        if (!tile.rcBounds.Intersects(rcSearch)) continue;
        // The view's level, or the most detailed one.
        const CImgLevel& level =
            tile.levels[SelectLevel(tile, fUseViewLevel ? nScaleCode : INT32_MAX)];
        for (std::size_t i = 0; i < level.cSubdivisions; ++i) {
            const CImgSubdivision& sub = tile.subdivisions[level.nFirstSubdivision + i];
            if (!sub.rc.Intersects(rcSearch)) continue;
            auto fn = [&](const CImgElement& el) {
                const CMapPoint pt = m_vecPoints[0];
                if (!rcSearch.Contains(pt)) return true;
                if (pFilter && !pFilter->Test(rkPoint, el.wType)) return true;
                if (!name.empty()) {
                    char16_t sz[c_cDisplayLabelMax];
                    const int n = GetLabel(0, rkPoint, el.wType, el.dwLabel, sz, nullptr);
                    if (el.dwLabel == c_dwNone || n <= 0 ||
                        !ContainsText(FoldText(std::u16string_view(sz, static_cast<std::size_t>(n))), name))
                        return true;
                }
                const double ddx = (double(pt.lX) - x) * dCos, ddy = double(pt.lY) - y;
                const double d2 = ddx * ddx + ddy * ddy;
                if (d2 > dY * dY) return true;
                pList->m_items.push_back({rkPoint, el.wType, pt, el.dwLabel,
                                          static_cast<std::int64_t>(d2)});
                return true;
            };
            ForEachElement(tile, sub, isPoints, fn);
            ForEachElement(tile, sub, isIndexedPoints, fn);
            ForEachExtElement(tile, sub, iePoints, fn);
        }
    }
    if (pProgress && !pProgress->Step(m_tiles.size(), m_tiles.size())) return nullptr;
    return pList;
}

bool CImgFindList::Item(DWORD dwIndex, CFindItem& item, DWORD dwFlags) {
    if (dwIndex >= m_items.size()) return false;
    const Entry& f = m_items[dwIndex];
    item.nKind = f.nKind;
    item.wType = f.wType;
    item.ptRepresentative = item.ptNearest = f.pt;
    char16_t sz[c_cDisplayLabelMax] = {};
    const int n = f.dwLabelOffset == CImgParser::c_dwNone
                      ? 0
                      : m_parser.GetLabel(0, f.nKind, f.wType, f.dwLabelOffset, sz, nullptr);
    const std::size_t cch = std::min<std::size_t>(static_cast<std::size_t>(std::max(n, 0)), std::size(item.szName) - 1);
    std::copy_n(sz, cch, item.szName);
    item.szName[cch] = 0;
    if (dwFlags & c_dwFindMapName) {
        std::u16string_view file(m_parser.FileName());
        const std::size_t slash = file.find_last_of(u"/\\");
        if (slash != std::u16string_view::npos) file.remove_prefix(slash + 1);
        const std::size_t c = std::min(file.size(), std::size(item.szMapName) - 1);
        std::copy_n(file.data(), c, item.szMapName);
        item.szMapName[c] = 0;
    }
    return true;
}

} // namespace velka
