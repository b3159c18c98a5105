// Feeds arbitrary bytes to the Garmin IMG reader: open, draw at a coarse and
// a detailed scale, read back labels, info, types and a nearest search.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "mapdata/img_parser.h"
#include "mapdata/search_params.h"
#include "mapdata/recording_paint.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cb) {
    using namespace velka;
    if (cb < 22 || cb > 0xFFFFFFFFu) return 0;
    CMapCreateInfo info;
    info.strFileName = u"fuzz.img";
    info.pData = pData;
    info.cbSize = static_cast<DWORD>(cb);
    CImgParser parser(std::move(info));
    if (!parser.Open(c_dwOpenAll)) return 0;
    for (int nCode : {24, 18}) {
        CRecordingPaintContext pc(parser.Bounds(), 256, 256, nCode == 24 ? 7u : 16u, nCode);
        CRecordingLabelStore labels;
        parser.Draw(pc, labels);
        char16_t sz[64];
        int nShield = 0;
        for (const auto& l : labels.m_labels)
            parser.GetLabel(7, l.nKind, l.wType, l.source.dwLabelOffset, sz, &nShield);
    }
    WORD wYear = 0;
    BYTE btMonth = 0, btDay = 0;
    char16_t szName[64], szNotes[256];
    parser.GetInfo(&wYear, &btMonth, &btDay, szName, 64, szNotes, 256);
    parser.GetTypes();
    const CMapRect& rc = parser.Bounds();
    CTypeFilter food;
    food.Set(rkPoint, 0x2A00);
    const CTypeFilter* const apFilters[] = {nullptr, &food};
    for (const char16_t* szName : {u"", u"a"})
        for (const CTypeFilter* pFilter : apFilters) {
            auto pList = parser.FindNearest(24, false, rc.CenterX(), rc.CenterY(), 5000, pFilter, szName, nullptr);
            CFindItem item;
            for (DWORD i = 0; pList && i < std::min<DWORD>(pList->Count(), 64); ++i) pList->Item(i, item, 0x3FE);
        }
    return 0;
}
