// Atlas indexes from arbitrary bytes: the header and map table, the city
// list, and the atlas parser over them (drawing at a few scales, the city
// query with find-first). The maps the index names do not exist, so every
// open of a member fails, which the parser must survive too.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mapdata/map_parser.h"
#include "mapdata/recording_paint.h"
#include "mapdata/zidx_file.h"
#include "mapdata/zidx_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbData) {
    using namespace velka;
    std::vector<std::uint8_t> bytes(pData, pData + cbData);
    CZidxIndex idx;
    if (ParseZidx(bytes.data(), bytes.size(), idx)) ParseZidxCities(bytes.data(), bytes.size(), idx);

    auto parser = OpenMapMemory(u"/nonexistent-fuzz-folder/Index.zidx", bytes.data(), bytes.size(), c_dwOpenAll);
    CZidxParser* pAtlas = AsAtlas(parser.get());
    if (!pAtlas) return 0;
    CMapRect rcView = pAtlas->Bounds();
    if (rcView.IsInverted()) rcView = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    for (int nCode : {0, 16, 24, 31}) {
        CRecordingPaintContext pc(rcView, 64, 64, 0, nCode);
        CRecordingLabelStore labels;
        pAtlas->Draw(pc, labels);
    }
    CMapName name;
    pAtlas->GetName(name);
    if (auto q = pAtlas->CreateCitiesQuery()) {
        for (DWORD i = 0; i < q->Count() && i < 64; ++i) {
            CCityItem item;
            q->Item(i, item, 0);
            pAtlas->CityEntries(i);
        }
        q->FindFirst(u"a");
    }
    pAtlas->CreateObjectsQuery(0, 0, 0, 0xFFFF);
    pAtlas->CreateObjectsQuery(-1, 0, 0, 0xFFFF);
    return 0;
}
