#include "mapdata/zem_parser.h"

#include <algorithm>
#include <cstring>

#include "mapdata/label_interpret.h"
#include "mapdata/map_scales.h"
#include "mapdata/label_store.h"
#include "mapdata/paint_context.h"
#include "platform/text.h"
#include "shell/string_ids.h"

namespace velka {

using namespace zem;

namespace {

DWORD Get32(const BYTE* p) {
    return DWORD{p[0]} | DWORD{p[1]} << 8 | DWORD{p[2]} << 16 | DWORD{p[3]} << 24;
}
WORD Get16(const BYTE* p) { return static_cast<WORD>(p[0] | p[1] << 8); }
LONG GetLong(const BYTE* p) { return static_cast<LONG>(Get32(p)); }

// Level units to map units, wrapping like the 32-bit arithmetic of the format.
LONG ToMap(std::uint32_t v, unsigned nShift) { return static_cast<LONG>(v << nShift); }

LONG ClampLong(std::int64_t v) {
    return static_cast<LONG>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

void CopyHeaderText(const BYTE* p, std::size_t cchMax, char16_t* pOut, std::size_t cchOut) {
    if (!pOut || cchOut == 0) return;
    std::size_t n = 0;
    for (; n < cchMax && n + 1 < cchOut; ++n) {
        const char16_t c = static_cast<char16_t>(Get16(p + 2 * n));
        if (c == 0) break;
        pOut[n] = c;
    }
    pOut[n] = 0;
}

std::unique_ptr<CMapParser> CreateZem(CMapCreateInfo&& info) {
    return std::make_unique<CZemParser>(std::move(info));
}

} // namespace

CMapFormat& ZemMapFormat() {
    static CMapFormat s_format{nullptr, IDS_FILE_TYPE_ZEM, u"*.zem", u"zem", CreateZem, ProbeZem};
    return s_format;
}

CZemParser::CZemParser(CMapCreateInfo&& info) : CMapParser(std::move(info)) {}
CZemParser::~CZemParser() = default;

namespace {
CZemParser::FindRouteHook g_pfnFindRoute = nullptr;
}

void CZemParser::SetFindRouteHook(FindRouteHook pfn) { g_pfnFindRoute = pfn; }

bool CZemParser::FindRoute(CRouteRequest& request) {
    return g_pfnFindRoute && g_pfnFindRoute(*this, request);
}

DWORD CZemParser::HeaderDword(std::size_t nOffset) const {
    if (!m_pHeader || nOffset + 4 > m_cFileSize) return 0;
    return Get32(m_pHeader + nOffset);
}

bool CZemParser::Open(DWORD dwFlags) {
    // The probe accepted the file; everything below is still checked, so a
    // damaged file fails here or draws what is sound.
    if (!m_pData || m_cFileSize < c_cbHeader) return false;
    m_pHeader = m_pData;
    m_pEnd = m_pData + m_cFileSize;
    const BYTE* h = m_pHeader;

    if (dwFlags & c_dwOpenBounds) {
        m_rcBounds = {GetLong(h + c_ofsBounds) >> 1, GetLong(h + c_ofsBounds + 4) >> 1,
                      GetLong(h + c_ofsBounds + 8) >> 1, GetLong(h + c_ofsBounds + 12) >> 1};
        m_nFinestScale = ScaleIndexForCode(Get16(h + c_ofsFinestCode));
        m_nCoarsestScale = ScaleIndexForCode(Get16(h + c_ofsCoarsestCode));
    }

    m_dwFlags = Get32(h + c_ofsFlags);
    m_dwLabelsOffset = Get32(h + c_ofsLabels);
    m_dwBitsInLabelReference = Get32(h + c_ofsLabelRefBits);
    m_lBiasX = GetLong(h + c_ofsBiasX);
    m_lBiasY = GetLong(h + c_ofsBiasY);
    char szSource[c_cbSource + 1] = {};
    std::memcpy(szSource, h + c_ofsSource, c_cbSource);
    m_fSourceGarmin = EqualNoCaseAscii(FromUtf8(szSource), u"Garmin");
    m_fAddressData = Get32(h + c_ofsCities) != 0;
    m_dwLocale = Get32(h + c_ofsLocale);
    m_fMetres = (Get32(h + c_ofsFlags2) & 1) != 0;
    m_cNodes = Get32(h + c_ofsNodes);
    m_cNodeBits = m_cNodes ? BitLen(m_cNodes - 1) : 0;
    m_cRestrictions = Get32(h + c_ofsRestrictionCount);
    m_dwRestrictionOffset = Get32(h + c_ofsRestrictionOffset);
    m_cRoadOffsetBits = Get32(h + c_ofsRoadOffsetBits);
    m_fAddressBit = (m_dwFlags & c_dwFlagAddressBit) != 0;
    if (m_dwBitsInLabelReference > 32 || m_cRoadOffsetBits > 32) return false;

    // Zoom levels, coarsest first.
    const DWORD dwLevels = Get32(h + c_ofsLevels);
    const DWORD cLevels = Get32(h + c_ofsLevelCount);
    if (dwLevels > m_cFileSize || cLevels > (m_cFileSize - dwLevels) / c_cbLevelEntry) return false;
    m_levels.clear();
    for (DWORD i = 0; i < cLevels; ++i) {
        const BYTE* p = m_pData + dwLevels + i * c_cbLevelEntry;
        CZemLevel level{Get32(p), Get16(p + 4), Get16(p + 6)};
        if (level.wBits > c_nMaxLevelBits) return false;
        m_levels.push_back(level);
    }

    // Decoding tables: 1-4 label tables, 5-10 object tables, 11-14 address
    // tables when the map has address data.
    const DWORD dwTables = Get32(h + c_ofsTables);
    if (dwTables >= m_cFileSize) return false;
    const BYTE* p = m_pData + dwTables;
    const int cTables = m_fAddressData ? tblAddress4 : tblPointCount;
    const bool fWantObjects = (dwFlags & c_dwOpenObjectTables) != 0;
    const int cRead = fWantObjects ? cTables : ((dwFlags & c_dwOpenLabelTables) ? tblLengths3 : 0);
    for (int t = tblChars1; t <= cRead; ++t) {
        p = m_tables[t - 1].Read(p, m_pEnd, t >= tblAddress1);
        if (!p) return false;
    }
    m_fLabelTables = (dwFlags & c_dwOpenLabelTables) != 0;
    if (fWantObjects) {
        const std::uint32_t dwMax = m_tables[tblPointCount - 1].Maximum();
        if (dwMax >= c_cMaxPoints) return false;
        m_vecPoints.assign(std::size_t{dwMax} + 1, CMapPoint{});
        m_vecScreen.assign(std::size_t{dwMax} + 1, POINT{});
        m_fObjectTables = true;
    }
    ReadIndexHeaders();
    return true;
}

void CZemParser::GetInfo(WORD* pwYear, BYTE* pbtMonth, BYTE* pbtDay, char16_t* pName,
                         std::size_t cchName, char16_t* pNotes, std::size_t cchNotes) const {
    if (!m_pHeader) {
        CMapParser::GetInfo(pwYear, pbtMonth, pbtDay, pName, cchName, pNotes, cchNotes);
        return;
    }
    if (pwYear) *pwYear = Get16(m_pHeader + c_ofsYear);
    if (pbtMonth) *pbtMonth = m_pHeader[c_ofsMonth];
    if (pbtDay) *pbtDay = m_pHeader[c_ofsDay];
    CopyHeaderText(m_pHeader + c_ofsName, c_cchName, pName, cchName);
    CopyHeaderText(m_pHeader + c_ofsNotes, c_cchNotes, pNotes, cchNotes);
}

std::size_t CZemParser::SelectZoomLevel(int nScaleCode) const {
    std::size_t n = 0;
    for (std::size_t i = 0; i < m_levels.size(); ++i)
        if (m_levels[i].wBits <= nScaleCode) n = i;
    return n;
}

namespace {

bool ReadBlockAt(const BYTE* p, const BYTE* pData, const BYTE* pEnd, unsigned nShift,
                 CZemBlock& b) {
    if (p < pData || p > pEnd || static_cast<std::size_t>(pEnd - p) < c_cbBlockHeader) return false;
    b = CZemBlock();
    b.pHeader = p;
    b.x = GetLong(p);
    b.y = GetLong(p + 4);
    b.wWidth = Get16(p + 8);
    b.wHeight = Get16(p + 10);
    const DWORD dw = Get32(p + 12);
    b.dwDataOffset = dw & 0xFFFFFF;
    const BYTE* q = p + c_cbBlockHeader;
    // Sections in file order: polygons, polylines, points.
    static constexpr int c_aKinds[3] = {rkPolygon, rkPolyline, rkPoint};
    for (int i = 0; i < 3; ++i) {
        const unsigned cb = (dw >> (24 + 2 * i)) & 3;
        if (static_cast<std::size_t>(pEnd - q) < cb) return false;
        DWORD len = 0;
        for (unsigned k = 0; k < cb; ++k) len |= DWORD{q[k]} << (8 * k);
        q += cb;
        b.acbSection[c_aKinds[i]] = len;
    }
    b.pNext = q;
    std::size_t ofs = b.dwDataOffset;
    const std::size_t cbFile = static_cast<std::size_t>(pEnd - pData);
    for (int i = 0; i < 3; ++i) {
        const int k = c_aKinds[i];
        const std::size_t start = std::min(ofs, cbFile);
        const std::size_t end = std::min(ofs + b.acbSection[k], cbFile);
        b.apSection[k] = pData + start;
        b.apSectionEnd[k] = pData + end;
        ofs += b.acbSection[k];
    }
    const std::int64_t left = std::int64_t{b.x} * (std::int64_t{1} << nShift);
    const std::int64_t top = std::int64_t{b.y} * (std::int64_t{1} << nShift);
    b.rc = {ClampLong(left), ClampLong(top),
            ClampLong(left + (std::int64_t{b.wWidth} << nShift)),
            ClampLong(top + (std::int64_t{b.wHeight} << nShift))};
    return true;
}

} // namespace

bool CZemParser::FirstBlock(std::size_t nLevel, CZemBlock& block) const {
    if (nLevel >= m_levels.size() || m_levels[nLevel].cBlocks == 0) return false;
    const CZemLevel& level = m_levels[nLevel];
    if (level.dwBlocksOffset > m_cFileSize) return false;
    return ReadBlockAt(m_pData + level.dwBlocksOffset, m_pData, m_pEnd, level.Shift(), block);
}

bool CZemParser::NextBlock(std::size_t nLevel, std::size_t nIndex, CZemBlock& block) const {
    // nIndex is the index of the block just read.
    if (nLevel >= m_levels.size() || nIndex + 1 >= m_levels[nLevel].cBlocks) return false;
    const BYTE* p = block.pNext;
    return ReadBlockAt(p, m_pData, m_pEnd, m_levels[nLevel].Shift(), block);
}

bool CZemParser::Spend(std::size_t n) {
    if (!m_fDrawing) return true;
    if (m_cWorkLeft < n) {
        m_cWorkLeft = 0;
        return false;
    }
    m_cWorkLeft -= n;
    return true;
}

bool CZemParser::DecodeLabel(CBitReader& br, unsigned nEncoding, char16_t* pRaw,
                             std::size_t cchRaw, std::size_t& cKept) {
    const CZemTable& chars = m_tables[(nEncoding == c_nLabelInline1 ? tblChars1 : tblChars3) - 1];
    const CZemTable& lengths =
        m_tables[(nEncoding == c_nLabelInline1 ? tblLengths1 : tblLengths3) - 1];
    cKept = 0;
    std::uint32_t n = 0;
    if (!lengths.Decode(br, n)) return false;
    if (!Spend(n)) return false;
    for (std::uint32_t i = 0; i < n; ++i) {
        std::uint32_t c = 0;
        if (!chars.Decode(br, c)) return false;
        if (pRaw && cKept + 1 < cchRaw) pRaw[cKept++] = static_cast<char16_t>(c);
    }
    if (pRaw && cchRaw) pRaw[cKept] = 0;
    return true;
}

int CZemParser::ReadLabelAt(DWORD dwOffset, char16_t* pRaw, std::size_t cchRaw) {
    if (!m_fLabelTables || dwOffset >= m_cFileSize) return -1;
    CBitReader br(m_pData + dwOffset, m_pEnd);
    const unsigned nEncoding = br.ReadBits(2);
    std::size_t cKept = 0;
    const bool fOk = DecodeLabel(br, nEncoding == c_nLabelInline1 ? c_nLabelInline1 : c_nLabelInline3,
                                 pRaw, cchRaw, cKept);
    return fOk ? static_cast<int>(cKept) : -1;
}

bool CZemParser::DecodeObject(CBitReader& br, int nKind, const CZemBlock& block,
                              std::size_t nLevel, CZemObject& obj, char16_t* pRaw,
                              std::size_t cchRaw, std::vector<LONG>* pNodes) {
    obj = CZemObject();
    obj.pRecord = br.Pointer();
    if (pRaw && cchRaw) pRaw[0] = 0;
    if (!m_fObjectTables || !m_fLabelTables || nLevel >= m_levels.size()) return false;
    const bool fFinest = nLevel + 1 == m_levels.size();
    const unsigned nShift = m_levels[nLevel].Shift();

    // 1-2: the label.
    const unsigned e = br.ReadBits(2);
    if (e == c_nLabelInline1 || e == c_nLabelInline3) {
        obj.nLabelEncoding = e;
        obj.dwLabelOffset = static_cast<DWORD>(obj.pRecord - m_pData);
        if (!DecodeLabel(br, e, pRaw, cchRaw, obj.cRawLabel)) return false;
    } else if (e == c_nLabelReference) {
        const std::uint64_t target =
            std::uint64_t{m_dwLabelsOffset} + br.ReadBits(m_dwBitsInLabelReference);
        if (br.Failed() || target >= m_cFileSize) return false;
        obj.fLabelReference = true;
        obj.dwLabelOffset = static_cast<DWORD>(target);
        CBitReader lr(m_pData + target, m_pEnd);
        const unsigned e2 = lr.ReadBits(2);
        obj.nLabelEncoding = e2 == c_nLabelInline1 ? c_nLabelInline1 : c_nLabelInline3;
        // A label kept elsewhere is read only when the caller wants it.
        if (pRaw && !DecodeLabel(lr, obj.nLabelEncoding, pRaw, cchRaw, obj.cRawLabel)) return false;
    }

    // 3: the type.
    static constexpr int c_aTypeTable[rkMax] = {tblPointTypes, tblLineTypes, tblAreaTypes};
    std::uint32_t dwType = 0;
    if (!m_tables[c_aTypeTable[nKind] - 1].Decode(br, dwType)) return false;
    obj.wType = static_cast<WORD>(dwType);

    // 4: routing data of roads at the finest level.
    if (nKind == rkPolyline && fFinest && m_cNodes) {
        obj.fNodeReferences = br.ReadBit();
        if (obj.fNodeReferences && br.ReadBit()) {
            obj.fRoadFlags = true;
            obj.wRoadFlags = static_cast<WORD>(br.ReadBits(16));
        }
    }
    auto readNode = [&]() {
        LONG n = -1;
        if (obj.fNodeReferences && br.ReadBit()) n = static_cast<LONG>(br.ReadBits(m_cNodeBits));
        if (pNodes) pNodes->push_back(n);
    };
    if (pNodes) pNodes->clear();

    // 5-9: the points.
    std::uint32_t x = static_cast<std::uint32_t>(block.x) + br.ReadBits(BitLen(block.wWidth));
    std::uint32_t y = static_cast<std::uint32_t>(block.y) + br.ReadBits(BitLen(block.wHeight));
    if (m_vecPoints.empty()) return false;
    m_vecPoints[0] = {ToMap(x, nShift), ToMap(y, nShift)};
    obj.cPoints = 1;
    if (nKind != rkPoint) {
        std::uint32_t c = 0;
        if (!m_tables[tblPointCount - 1].Decode(br, c)) return false;
        if (c >= m_vecPoints.size() || !Spend(std::size_t{c} + 1)) return false;
        obj.cPoints = c + 1;
        readNode();
        const CZemTable& dx = m_tables[tblDeltaX - 1];
        const CZemTable& dy = m_tables[tblDeltaY - 1];
        for (std::uint32_t i = 1; i <= c; ++i) {
            std::uint32_t vx = 0, vy = 0;
            if (!dx.Decode(br, vx) || !dy.Decode(br, vy)) return false;
            x += vx - static_cast<std::uint32_t>(m_lBiasX);
            y += vy - static_cast<std::uint32_t>(m_lBiasY);
            m_vecPoints[i] = {ToMap(x, nShift), ToMap(y, nShift)};
            readNode();
        }
    }

    // 10-11: one-way flag, address attributes.
    if (nKind == rkPolyline) obj.fOneWay = br.ReadBit();
    if (m_fAddressData) {
        obj.fAddress = br.ReadBit();
        if (obj.fAddress) {
            if (nKind != rkPoint && fFinest && m_fAddressBit) {
                obj.fAddressBit = true;
                obj.fAddressExtra = br.ReadBit();
            }
            for (int t = 0; t < 4; ++t)
                if (!m_tables[tblAddress1 - 1 + t].Decode(br, obj.adwAddress[t])) return false;
        }
    }
    if (br.Failed()) return false;
    obj.pNext = br.NextByte();
    return true;
}

bool CZemParser::Draw(CPaintContext& pc, CLabelStore& labels) {
    if (!CanDraw() || m_levels.empty()) return false;
    const std::size_t nLevel = SelectZoomLevel(pc.ScaleCode());
    const bool fDetailed = pc.ScaleIndex() <= 11;
    const CMapRect rcVisible = pc.VisibleRect();
    const int nFactor = std::max(1, pc.ScreenFactor());

    // The raw label buffer holds the longest label the tables can give.
    const std::size_t cchRaw =
        std::min<std::size_t>(std::max(m_tables[tblLengths1 - 1].Maximum(),
                                       m_tables[tblLengths3 - 1].Maximum()),
                              0xFFFF) + 1;
    std::vector<char16_t> raw(cchRaw);
    char16_t szDisplay[c_cDisplayLabelMax];

    // A draw may decode at most this many symbols: far more than any sound
    // map holds, but a damaged one cannot make a frame endless.
    m_cWorkLeft = std::size_t{m_cFileSize} * 16 + (std::size_t{1} << 20);
    m_fDrawing = true;
    struct Done {
        bool& f;
        ~Done() { f = false; }
    } done{m_fDrawing};
    unsigned cObjects = 0;
    static constexpr int c_aOrder[3] = {rkPolygon, rkPolyline, rkPoint};
    for (int nKind : c_aOrder) {
        CZemBlock block;
        bool fBlock = FirstBlock(nLevel, block);
        for (std::size_t nBlock = 0; fBlock; fBlock = NextBlock(nLevel, nBlock++, block)) {
            if (!block.rc.Intersects(rcVisible)) continue;
            const BYTE* p = block.apSection[nKind];
            const BYTE* pEnd = block.apSectionEnd[nKind];
            while (p < pEnd) {
                if ((++cObjects & 255) == 0 && pc.PumpMessages()) return true;
                CBitReader br(p, pEnd);
                CZemObject obj;
                if (!DecodeObject(br, nKind, block, nLevel, obj, raw.data(), cchRaw)) {
                    if (m_cWorkLeft == 0) return false;
                    break; // the rest of this section is not sound
                }
                p = obj.pNext;
                int nShield = 0;
                const int cDisplay =
                    obj.nLabelEncoding ? LabelInterpret(nKind, obj.wType, m_fMetres, fDetailed,
                                                        raw.data(), obj.cRawLabel, szDisplay,
                                                        &nShield)
                                       : 0;
                const std::u16string_view text(szDisplay, static_cast<std::size_t>(cDisplay));
                const CLabelSource source{this, obj.dwLabelOffset};

                if (nKind == rkPoint) {
                    const CMapPoint& pt = m_vecPoints[0];
                    if (!rcVisible.Contains(pt)) continue;
                    const POINT sp = pc.MapToScreen(pt);
                    const UINT uIcon = pc.PointIcon(obj.wType);
                    if (uIcon || cDisplay)
                        labels.AddPointLabel(source, obj.wType, text, sp,
                                             static_cast<WORD>(obj.wType >> 8),
                                             pc.PointLabelStyle(obj.wType), uIcon);
                    continue;
                }
                if (obj.cPoints < 2) continue;
                CMapRect rcBox = CMapRect::MakeEmpty();
                rcBox.Add(m_vecPoints.data(), obj.cPoints);
                if (!rcBox.Intersects(rcVisible)) continue;
                const SIZE extent = pc.ScreenExtent(rcBox);
                if (extent.cx < 2 * nFactor && extent.cy < 2 * nFactor) continue;
                if (nKind == rkPolygon) {
                    if (obj.wType == 0x4A || obj.wType == 0x4B) continue;
                    if (m_fSourceGarmin && obj.wType >= 1 && obj.wType <= 3) continue;
                }
                const int cPoints = static_cast<int>(obj.cPoints);
                pc.MapPointsToScreen(m_vecPoints.data(), m_vecScreen.data(), obj.cPoints);
                if (nKind == rkPolygon) {
                    pc.DrawPolygon(obj.wType, m_vecScreen.data(), cPoints);
                } else if (pc.DrawPolyline(obj.wType, m_vecScreen.data(), cPoints) &&
                           obj.fOneWay) {
                    pc.DrawDirectionArrows(m_vecScreen.data(), cPoints);
                }
                if (cDisplay && (extent.cx >= 10 * nFactor || extent.cy >= 10 * nFactor)) {
                    if (nKind == rkPolygon)
                        labels.AddPolygonLabel(source, obj.wType, text, m_vecScreen.data(), cPoints,
                                               rcBox, pc.AreaLabelStyle(obj.wType));
                    else
                        labels.AddPolylineLabel(source, obj.wType, text, m_vecScreen.data(),
                                                cPoints, rcBox, pc.LineLabelStyle(obj.wType),
                                                nShield != 0);
                }
            }
        }
    }
    return false;
}

int CZemParser::GetLabel(unsigned uScaleIndex, int nKind, WORD wType, DWORD dwLabelOffset,
                         char16_t* pText, int* pnShield) {
    if (pnShield) *pnShield = 0;
    if (!pText) return 0;
    pText[0] = 0;
    char16_t raw[c_cDisplayLabelMax];
    const int cRaw = ReadLabelAt(dwLabelOffset, raw, c_cDisplayLabelMax);
    if (cRaw <= 0) return 0;
    return LabelInterpret(nKind, wType, m_fMetres, uScaleIndex <= 11, raw,
                          static_cast<std::size_t>(cRaw), pText, pnShield);
}

} // namespace velka
