// Native maps from arbitrary bytes: open, draw every zoom level into a
// recording context, and read back every label handed to the store; then
// build the road graph and route between points taken from the input; and
// the search indexes: every city item, find-first, the objects queries of
// a few categories with their items, and the name tables; the address
// and nearest searches with their found items. The size field is
// set to the input's size so inputs get past the probe.
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "mapdata/map_parser.h"
#include "mapdata/zem_parser.h"
#include "mapdata/recording_paint.h"
#include "mapdata/search_params.h"
#include "routing/route_search.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData) {
    using namespace velka;
    std::vector<std::uint8_t> bytes(pData, pData + cbData);
    if (bytes.size() >= 12) {
        const auto n = static_cast<std::uint32_t>(bytes.size());
        for (int i = 0; i < 4; ++i) bytes[8 + i] = static_cast<std::uint8_t>(n >> (8 * i));
    }
    auto parser = OpenMapMemory(u"fuzz.zem", bytes.data(), bytes.size(), c_dwOpenAll);
    if (!parser) return 0;
    auto* zem = dynamic_cast<CZemParser*>(parser.get());
    std::vector<int> codes{0, 31};
    if (zem)
        for (std::size_t i = 0; i < zem->LevelCount() && i < 8; ++i) codes.push_back(zem->Level(i).wBits);
    CMapRect rcView = parser->Bounds();
    if (rcView.IsInverted()) rcView = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    for (int nCode : codes) {
        CRecordingPaintContext pc(rcView, 64, 64, nCode > 20 ? 0u : 20u, nCode);
        CRecordingLabelStore labels;
        parser->Draw(pc, labels);
        char16_t text[64];
        int nShield = 0;
        for (const auto& l : labels.m_labels)
            parser->GetLabel(pc.ScaleIndex(), l.nKind, l.wType, l.source.dwLabelOffset, text, &nShield);
    }
    WORD wYear = 0;
    BYTE btMonth = 0, btDay = 0;
    char16_t szName[40], szNotes[80];
    parser->GetInfo(&wYear, &btMonth, &btDay, szName, 40, szNotes, 80);
    if (zem && zem->NodeCount() && !parser->Bounds().IsInverted()) {
        // Ends inside the map's bounds, from the input's last bytes.
        const CMapRect& rc = parser->Bounds();
        auto at = [&](std::size_t i, bool fY) {
            const std::int64_t lo = fY ? rc.top : rc.left, hi = fY ? rc.bottom : rc.right;
            const std::uint8_t b = cbData > i ? pData[cbData - 1 - i] : 0;
            return static_cast<LONG>(lo + (hi - lo) * b / 255);
        };
        for (int k = 0; k < 3; ++k) {
            CRouteRequest r;
            r.ptStart = {at(4 * k, false), at(4 * k + 1, true)};
            r.ptEnd = {at(4 * k + 2, false), at(4 * k + 3, true)};
            r.options.nVehicle = k;
            r.options.fFastest = k != 1;
            r.method = static_cast<SearchMethod>(k);
            FindRoute(*zem, r);
        }
    }

    if (auto cities = parser->CreateCitiesQuery()) {
        const DWORD c = std::min<DWORD>(cities->Count(), 256);
        CCityItem city;
        for (DWORD i = 0; i < c; ++i) {
            cities->Item(i, city, 0);
            cities->Item(i, city, c_dwCityPosition);
        }
        cities->FindFirst(u"M");
    }
    for (short nKey : {short{0}, short{1}, short{0x2A00}, short{0x0100}}) {
        for (int nCity : {-1, 0, 1}) {
            parser->IsTypeIndexed(rkPoint, nKey, 0xFFFF);
            auto objects = parser->CreateObjectsQuery(nCity, rkPoint, nKey, 0xFFFF);
            if (!objects) continue;
            objects->SetReferencePoint({0, 0});
            const DWORD c = std::min<DWORD>(objects->Count(), 64);
            CFindItem item;
            for (DWORD i = 0; i < c; ++i) objects->Item(i, item, 0x3FE);
            objects->FindFirst(u"A");
        }
    }
    // The address search with texts that match everything and part of a
    // name, and the nearest search around points of the input, with and
    // without a name, through a filter from the input's first bytes.
    for (const char16_t* szStreet : {u"", u"a"})
        for (int nCity : {c_nAnyCity, -1, 0}) {
            auto found = parser->FindByAddress(nCity, u"", szStreet, szStreet, nullptr);
            if (!found) continue;
            found->SetReferencePoint({0, 0});
            CFindItem item;
            for (DWORD i = 0; i < std::min<DWORD>(found->Count(), 64); ++i) found->Item(i, item, 0x3FE);
        }
    CTypeFilter filter;
    filter.SetAll();
    if (cbData > 2) filter.Reset(pData[0] % 3, static_cast<WORD>(pData[1] | pData[2] << 8));
    const CMapRect& rcMap = parser->Bounds();
    const CMapPoint aRefs[] = {{rcMap.CenterX(), rcMap.CenterY()}, {rcMap.left, rcMap.top}, {0, INT32_MAX}};
    for (const CMapPoint& ref : aRefs)
        for (DWORD dwRadius : {0u, 500u, 0xFFFFFFFFu})
            for (const char16_t* szName : {u"", u"e"}) {
                auto near = parser->FindNearest(codes.back(), dwRadius == 500, ref.lX, ref.lY, dwRadius, &filter,
                                                szName, nullptr);
                if (!near) continue;
                near->SetReferencePoint(ref);
                CFindItem item;
                for (DWORD i = 0; i < std::min<DWORD>(near->Count(), 64); ++i) near->Item(i, item, 0x3FE);
            }
    if (zem) {
        std::u16string s;
        for (int t = 0; t < 3; ++t)
            for (DWORD i = 0; i < 64 && zem->NameTableEntry(t, i, s); ++i) {
            }
    }
    return 0;
}
