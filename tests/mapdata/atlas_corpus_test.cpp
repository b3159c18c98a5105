// The atlas of the Liechtenstein tiles: its merged city list and its
// merged objects lists against the tiles' own, indexing, drawing.
#include <algorithm>

#include <gtest/gtest.h>

#include "mapdata/collation.h"
#include "mapdata/recording_paint.h"
#include "platform/text.h"
#include "tests/mapdata/liechtenstein_atlas.h"

namespace velka {
namespace {

using test::LiechtensteinAtlas;

TEST_F(LiechtensteinAtlas, CityListIsTheSortedUnionOfTheTiles) {
    std::vector<std::u16string> want;
    for (std::size_t k = 0; k < m_pAtlas->MapCount(); ++k) {
        auto p = OpenMapFile(m_pAtlas->MapPath(k), c_dwOpenAll);
        ASSERT_TRUE(p);
        auto q = p->CreateCitiesQuery();
        ASSERT_TRUE(q) << "tile " << k << " has no cities";
        for (DWORD i = 0; i < q->Count(); ++i) {
            CCityItem item;
            ASSERT_TRUE(q->Item(i, item, 0));
            want.push_back(item.szText);
        }
    }
    const CCollator& coll = CCollator::ForLcid(m_pAtlas->Locale());
    auto q = m_pAtlas->CreateCitiesQuery();
    ASSERT_TRUE(q);
    // Every entry of the index, duplicates included, is one tile's city.
    std::vector<std::u16string> got;
    for (DWORD i = 0; i < q->Count(); ++i) {
        const std::vector<CZidxCity> entries = m_pAtlas->CityEntries(i);
        ASSERT_FALSE(entries.empty());
        for (const CZidxCity& e : entries) {
            CCityItem item;
            ASSERT_TRUE(m_pAtlas->CityEntryItem(e, item, 0));
            if (!got.empty()) {
                EXPECT_LE(coll.Compare(got.back(), item.szText), 0) << ToUtf8(item.szText);
            }
            if (&e != &entries.front()) {
                EXPECT_EQ(std::u16string(item.szText), got.back()) << "a duplicate repeats";
            }
            got.push_back(item.szText);
        }
        CCityItem item;
        ASSERT_TRUE(q->Item(i, item, 0));
        EXPECT_EQ(std::u16string(item.szText), got[got.size() - entries.size()]);
    }
    EXPECT_LE(m_pAtlas->CachedCityMaps(), CZidxParser::c_cCityCacheSlots);
    std::sort(want.begin(), want.end());
    std::vector<std::u16string> sorted = got;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, want);
    // Distinct texts are distinct: no two neighbours of the list are equal.
    for (DWORD i = 1; i < q->Count(); ++i) {
        CCityItem a, b;
        ASSERT_TRUE(q->Item(i - 1, a, 0));
        ASSERT_TRUE(q->Item(i, b, 0));
        EXPECT_NE(std::u16string(a.szText), std::u16string(b.szText));
    }
    // Find-first lands on the first city with the prefix.
    CCityItem item;
    ASSERT_TRUE(q->Item(q->Count() / 2, item, 0));
    const std::u16string prefix = std::u16string(item.szText).substr(0, 3);
    const DWORD n = q->FindFirst(prefix);
    ASSERT_TRUE(q->Item(n, item, 0));
    EXPECT_EQ(coll.Compare(std::u16string(item.szText).substr(0, 3), prefix), 0);
    if (n > 0) {
        ASSERT_TRUE(q->Item(n - 1, item, 0));
        EXPECT_LT(coll.Compare(std::u16string(item.szText).substr(0, 3), prefix), 0);
    }
    // With position, from the same maps kept open.
    ASSERT_TRUE(q->Item(n, item, c_dwCityPosition));
    EXPECT_TRUE(item.fHasPosition);
    EXPECT_TRUE(m_pAtlas->Bounds().Contains(item.x, item.y));
    EXPECT_LE(m_pAtlas->CachedCityMaps(), CZidxParser::c_cCityCacheSlots);
}

TEST_F(LiechtensteinAtlas, ObjectsOfACityAreTheMergedObjectsOfItsMaps) {
    ASSERT_TRUE(m_pAtlas->HasObjectsIndex());
    auto q = m_pAtlas->CreateCitiesQuery();
    ASSERT_TRUE(q);
    std::size_t cChecked = 0;
    for (DWORD i = 0; i < q->Count(); ++i) {
        const std::vector<CZidxCity> entries = m_pAtlas->CityEntries(i);
        // Every category at once: wType 0xFFFF of each category key.
        for (short nCategory = 0; nCategory < 64; ++nCategory) {
            auto pList = m_pAtlas->CreateObjectsQuery(static_cast<int>(i), 0, nCategory, 0xFFFF);
            if (!pList || pList->Count() == 0) continue;
            DWORD cWant = 0;
            for (const CZidxCity& e : entries) {
                auto p = OpenMapFile(m_pAtlas->MapPath(e.nMap), c_dwOpenAll);
                auto l = p ? p->CreateObjectsQuery(static_cast<int>(e.nCity), 0, nCategory, 0xFFFF) : nullptr;
                if (l) cWant += l->Count();
            }
            EXPECT_EQ(pList->Count(), cWant);
            const CCollator& coll = CCollator::ForLcid(pList->Locale());
            std::u16string prev;
            for (DWORD k = 0; k < pList->Count(); ++k) {
                CFindItem item;
                ASSERT_TRUE(pList->Item(k, item, c_dwFindDisplayName));
                EXPECT_LE(coll.Compare(prev, item.szName), 0);
                prev = item.szName;
            }
            ++cChecked;
        }
        if (cChecked > 20) break;
    }
    EXPECT_GT(cChecked, 0u);
}

TEST_F(LiechtensteinAtlas, CancellingWhileMapsOrCitiesAreIndexedKeepsTheIndex) {
    const std::u16string folder = FromUtf8(s_pDir->Path().string());
    const std::string strIndex = s_pDir->File("Index.zidx");
    const std::string before = test::ReadFile(strIndex);
    // Count the progress reports of a whole run and where the cities start.
    int cReports = 0, nCitiesFrom = -1;
    CAtlasIndexHooks count;
    count.fnPhase = [&](UINT uId) {
        if (uId == IDS_ATLAS_INDEXING_CITIES) nCitiesFrom = cReports;
    };
    count.fnProgress = [&](int) { return ++cReports, true; };
    ASSERT_EQ(ReindexAtlas(folder, count), s_cTiles);
    ASSERT_GT(nCitiesFrom, 0);
    ASSERT_GT(cReports, nCitiesFrom + 2);
    EXPECT_EQ(test::ReadFile(strIndex), before) << "indexing the same maps writes the same index";
    for (int nAt : {0, nCitiesFrom / 2, nCitiesFrom, (nCitiesFrom + cReports) / 2, cReports - 1}) {
        int n = 0;
        CAtlasIndexHooks h;
        h.fnProgress = [&](int) { return n++ < nAt; };
        EXPECT_EQ(ReindexAtlas(folder, h), c_nAtlasCancelled) << "cancelled at report " << nAt;
        EXPECT_EQ(test::ReadFile(strIndex), before) << "cancelled at report " << nAt;
    }
    EXPECT_TRUE(OpenMapFile(folder, c_dwOpenAll));
}

TEST_F(LiechtensteinAtlas, DrawsTheTilesInViewAcrossTheBorder) {
    // The border at 47.1 degrees runs through Vaduz: a view on it draws
    // the tiles on both sides.
    const LONG x = static_cast<LONG>(9.52 * 1073741824.0 / 180.0), y = static_cast<LONG>(47.1 * 1073741824.0 / 180.0);
    const LONG d = static_cast<LONG>(0.01 * 1073741824.0 / 180.0);
    CRecordingPaintContext pc({x - d, y - d, x + d, y + d}, 256, 256, 0, 24);
    CRecordingLabelStore labels;
    m_pAtlas->Draw(pc, labels);
    std::vector<std::u16string> drawn;
    for (std::size_t k : m_pAtlas->DrawnMaps()) drawn.push_back(m_pAtlas->Index().maps[k].strName);
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), u"N46.950E009.450.zem"), drawn.end());
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), u"N47.100E009.450.zem"), drawn.end());
    EXPECT_FALSE(pc.m_polylines.empty());
    EXPECT_TRUE(pc.m_messages.empty());
}

} // namespace
} // namespace velka
