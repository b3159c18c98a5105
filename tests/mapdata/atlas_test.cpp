// Atlases: the index file byte by byte and against damaged headers, the
// indexing of a folder (names, short files, cancelling), which maps a draw
// picks, the city-query cache and the combined result lists.
#include <filesystem>
#include <fstream>
#include <map>

#include <gtest/gtest.h>

#include "mapdata/atlas_list.h"
#include "mapdata/combined_list.h"
#include "mapdata/recording_paint.h"
#include "mapdata/simple_cache.h"
#include "mapdata/zidx_build.h"
#include "mapdata/zidx_file.h"
#include "mapdata/zidx_parser.h"
#include "platform/text.h"
#include "tests/mapdata/golden_map.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

namespace fs = std::filesystem;

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& b) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()),
                                                static_cast<std::streamsize>(b.size()));
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    const std::string s = test::ReadFile(path);
    return {s.begin(), s.end()};
}

// The golden map with other bounds (map units) and scale codes.
std::vector<std::uint8_t> MapAt(LONG left, LONG top, LONG right, LONG bottom, WORD wFinest, WORD wCoarsest) {
    std::vector<std::uint8_t> f = test::GoldenMap();
    test::PutLE(f, 16, static_cast<std::uint32_t>(left * 2), 4);
    test::PutLE(f, 20, static_cast<std::uint32_t>(top * 2), 4);
    test::PutLE(f, 24, static_cast<std::uint32_t>(right * 2), 4);
    test::PutLE(f, 28, static_cast<std::uint32_t>(bottom * 2), 4);
    test::PutLE(f, 32, wFinest, 2);
    test::PutLE(f, 34, wCoarsest, 2);
    return f;
}

CZidxIndex SmallIndex() {
    CZidxIndex idx;
    idx.alBounds[0] = -2, idx.alBounds[1] = -4, idx.alBounds[2] = 6, idx.alBounds[3] = 8;
    idx.dwIndexFlags = zidx::c_dwHasCitiesIndex;
    idx.dwLocale = 1049;
    idx.fCities = true;
    idx.maps = {{u"a.zem", 7, {-2, -4, 2, 4}, 24, 16}, {u"b.zem", 9, {0, 0, 6, 8}, 22, 18}};
    idx.cities = {{false, 0, 2}, {true, 1, 0}, {false, 1, 1}};
    return idx;
}

TEST(AtlasIndexFile, LaysOutHeaderEntriesAndCityWordsExactly) {
    const std::vector<BYTE> b = EncodeZidx(SmallIndex());
    ASSERT_EQ(b.size(), 32u + 2 * 80 + 6 + 4);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "ZIDX");
    EXPECT_EQ(b[4] | b[5] << 8, 1);
    EXPECT_EQ(b[6], 32);
    EXPECT_EQ(b[7], 80);
    EXPECT_EQ(static_cast<std::int32_t>(b[12] | b[13] << 8 | b[14] << 16 | b[15] << 24), -4);
    const std::uint32_t w24 = b[24] | b[25] << 8 | b[26] << 16 | static_cast<std::uint32_t>(b[27]) << 24;
    EXPECT_EQ(w24, 192u | zidx::c_dwHasCitiesIndex);
    EXPECT_EQ(b[28] | b[29] << 8, 1049);
    // Second entry: name in UTF-16 at 112, stamp at 168, bounds, codes.
    EXPECT_EQ(b[112], 'b');
    EXPECT_EQ(b[113], 0);
    EXPECT_EQ(b[168], 9);
    EXPECT_EQ(b[112 + 76], 22);
    EXPECT_EQ(b[112 + 78], 18);
    // Cities head: 3 entries, 1 map bit, 2 city bits; entries of 4 bits
    // from the lowest bit up: 0|0<<1|2<<2, 1|1<<1|0<<2, 0|1<<1|1<<2.
    EXPECT_EQ(b[192] | b[193] << 8, 3);
    EXPECT_EQ(b[196], 1);
    EXPECT_EQ(b[197], 2);
    EXPECT_EQ(b[198], 0x08 | 0x3 << 4);
    EXPECT_EQ(b[199], 0x6);
    EXPECT_EQ(b[200] | b[201], 0);

    CZidxIndex back;
    ASSERT_TRUE(ParseZidx(b.data(), b.size(), back));
    ASSERT_TRUE(ParseZidxCities(b.data(), b.size(), back));
    const CZidxIndex want = SmallIndex();
    EXPECT_EQ(back.maps, want.maps);
    EXPECT_EQ(back.cities, want.cities);
    EXPECT_EQ(back.dwLocale, 1049u);
    EXPECT_EQ(back.dwIndexFlags, zidx::c_dwHasCitiesIndex);
}

TEST(AtlasIndexFile, RefusesHeadersThatDoNotFitTheFile) {
    const std::vector<BYTE> good = EncodeZidx(SmallIndex());
    auto refused = [](std::vector<BYTE> b) {
        CZidxIndex idx;
        std::string why;
        if (!ParseZidx(b.data(), b.size(), idx, &why)) return !why.empty();
        return !ParseZidxCities(b.data(), b.size(), idx, &why) && !why.empty();
    };
    EXPECT_FALSE(refused(good));
    auto b = good;
    b[7] = 0; // entry size 0 would divide by zero
    EXPECT_TRUE(refused(b));
    b = good;
    b[7] = 79;
    EXPECT_TRUE(refused(b));
    b = good;
    b[6] = 8; // the table inside the header
    EXPECT_TRUE(refused(b));
    b = good;
    b[24] = 16, b[25] = 0; // cities offset below the table gives a negative length
    EXPECT_TRUE(refused(b));
    b = good;
    b[24] = 0xFF, b[25] = 0xFF; // cities beyond the end of the file
    EXPECT_TRUE(refused(b));
    b = good;
    b[194] = 0x10; // a city total far larger than the file
    EXPECT_TRUE(refused(b));
    b = good;
    b[196] = 40; // widths beyond 32 bits
    EXPECT_TRUE(refused(b));
    b = good;
    b.resize(192 + 3); // the cities head cut short
    EXPECT_TRUE(refused(b));
    b = good;
    b.resize(31);
    EXPECT_TRUE(refused(b));
    // A city naming a map beyond the table (map index 1 of 2 widened to 3).
    CZidxIndex three = SmallIndex();
    three.maps.push_back(three.maps[0]);
    three.cities[2].nMap = 2;
    b = EncodeZidx(three);
    CZidxIndex idx;
    ASSERT_TRUE(ParseZidx(b.data(), b.size(), idx));
    idx.maps.pop_back();
    EXPECT_FALSE(ParseZidxCities(b.data(), b.size(), idx));
    EXPECT_TRUE(idx.cities.empty());
}

class AtlasFolder : public testing::Test {
protected:
    test::TempDir m_dir;
    std::u16string Folder() const { return FromUtf8(m_dir.Path().string()); }
    std::string Index() const { return m_dir.File("Index.zidx"); }
    void Put(const std::string& name, const std::vector<std::uint8_t>& b) { WriteBytes(m_dir.File(name), b); }
};

TEST_F(AtlasFolder, IndexesMapsInNameOrderAndLeavesOutLongNamesAndShortFiles) {
    Put("b.zem", MapAt(100, 100, 200, 200, 24, 16));
    Put("a.ZEM", MapAt(0, 0, 100, 100, 24, 16));
    Put("abcdefghijklmnopqrstuvwx.zem", MapAt(0, 0, 1, 1, 24, 16)); // 28 characters: kept
    Put("abcdefghijklmnopqrstuvwxy.zem", MapAt(0, 0, 1, 1, 24, 16)); // 29: left out
    Put("abcdefghijklmnopqrstuvwxyz.zem", MapAt(0, 0, 1, 1, 24, 16));
    Put("short.zem", std::vector<std::uint8_t>(100, 'G'));
    Put("notes.txt", MapAt(0, 0, 1, 1, 24, 16));
    std::vector<CError> messages;
    CAtlasIndexHooks h;
    h.fnMessage = [&](const CError& e) { messages.push_back(e); };
    ASSERT_EQ(CreateZidx(Folder(), h), 3);
    ASSERT_EQ(messages.size(), 1u) << "the long-name notice comes once";
    EXPECT_EQ(messages[0].StringId(), IDS_ATLAS_NAME_TOO_LONG);
    EXPECT_EQ(messages[0].args, std::vector<CErrorArg>{28});

    auto p = OpenMapFile(Folder(), c_dwOpenAll);
    CZidxParser* pAtlas = AsAtlas(p.get());
    ASSERT_TRUE(pAtlas);
    ASSERT_EQ(pAtlas->MapCount(), 3u);
    EXPECT_EQ(pAtlas->Index().maps[0].strName, u"a.ZEM");
    EXPECT_EQ(pAtlas->Index().maps[1].strName, u"abcdefghijklmnopqrstuvwx.zem");
    EXPECT_EQ(pAtlas->Index().maps[2].strName, u"b.zem");
    EXPECT_EQ(pAtlas->Bounds(), (CMapRect{0, 0, 200, 200}));
    EXPECT_EQ(pAtlas->MapRect(2), (CMapRect{100, 100, 200, 200}));
    EXPECT_EQ(pAtlas->FinestScale(), 7);   // code 24
    EXPECT_EQ(pAtlas->CoarsestScale(), 19); // code 16
    EXPECT_FALSE(pAtlas->CreateCitiesQuery()) << "no map has cities";
}

TEST_F(AtlasFolder, CancellingAtAnyPointLeavesThePreviousIndex) {
    for (const char* name : {"a.zem", "b.zem", "c.zem"}) Put(name, MapAt(0, 0, 100, 100, 24, 16));
    ASSERT_EQ(CreateZidx(Folder(), {}), 3);
    const auto before = ReadBytes(Index());
    Put("d.zem", MapAt(0, 0, 300, 300, 24, 16));
    for (int nCancelAt = 0; nCancelAt < 4; ++nCancelAt) {
        int nCalls = 0;
        CAtlasIndexHooks h;
        h.fnProgress = [&](int) { return nCalls++ < nCancelAt; };
        EXPECT_EQ(ReindexAtlas(Folder(), h), c_nAtlasCancelled);
        EXPECT_EQ(ReadBytes(Index()), before) << "cancelled after " << nCancelAt << " maps";
    }
    EXPECT_EQ(ReindexAtlas(Folder(), {}), 4);
    EXPECT_NE(ReadBytes(Index()), before);
    for (const auto& e : fs::directory_iterator(m_dir.Path()))
        EXPECT_EQ(e.path().string().find(".tmp"), std::string::npos) << e.path();
}

TEST_F(AtlasFolder, AFolderWithoutMapsLosesItsIndex) {
    Put("a.zem", MapAt(0, 0, 100, 100, 24, 16));
    ASSERT_EQ(CreateZidx(Folder(), {}), 1);
    fs::remove(m_dir.File("a.zem"));
    std::vector<CError> messages;
    std::vector<std::u16string> closed;
    CAtlasIndexHooks h;
    h.fnMessage = [&](const CError& e) { messages.push_back(e); };
    h.fnCloseIfOpen = [&](const std::u16string& s) { closed.push_back(s); };
    EXPECT_EQ(ReindexAtlas(Folder(), h), c_nAtlasNoMaps);
    EXPECT_FALSE(fs::exists(Index()));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].StringId(), IDS_ATLAS_NO_MAPS);
    EXPECT_EQ(closed, std::vector<std::u16string>{FromUtf8(Index())});
    EXPECT_FALSE(OpenAtlas(Folder())) << "no index, no atlas";
}

// Which maps a view draws. Map units: the view's scale code e is compared
// with each map's codes (finest 24, coarsest 16 unless said otherwise).
class AtlasDrawing : public AtlasFolder {
protected:
    void SetUp() override {
        Put("1west.zem", MapAt(0, 0, 1000, 1000, 24, 16));
        Put("2east.zem", MapAt(1000, 0, 2000, 1000, 24, 16));
        Put("3detail.zem", MapAt(0, 0, 1000, 1000, 26, 25));
        Put("4speck.zem", MapAt(1500, 500, 1510, 510, 28, 16));
        ASSERT_EQ(CreateZidx(Folder(), {}), 4);
        m_pMap = OpenMapFile(Folder(), c_dwOpenAll);
        m_pAtlas = AsAtlas(m_pMap.get());
        ASSERT_TRUE(m_pAtlas);
    }
    std::vector<std::size_t> Draw(const CMapRect& rcView, int e) {
        CRecordingPaintContext pc(rcView, 100, 100, 0, e);
        CRecordingLabelStore labels;
        m_pAtlas->Draw(pc, labels);
        m_messages = pc.m_messages;
        return m_pAtlas->DrawnMaps();
    }
    std::unique_ptr<CMapParser> m_pMap;
    CZidxParser* m_pAtlas = nullptr;
    std::vector<std::u16string> m_messages;
};

TEST_F(AtlasDrawing, PicksTheMapsOfTheSmallestScaleDistanceInView) {
    using V = std::vector<std::size_t>;
    const CMapRect all{0, 0, 2000, 1000};
    EXPECT_EQ(Draw(all, 20), (V{0, 1})) << "inside the range of both halves";
    EXPECT_EQ(Draw(all, 25), (V{2})) << "only the detail map covers 25";
    EXPECT_EQ(Draw(all, 27), (V{2})) << "finer than every range: the nearest finest code";
    EXPECT_EQ(Draw(all, 15), V{}) << "coarser than every range: nothing";
    EXPECT_EQ(Draw({1200, 100, 1900, 900}, 20), (V{1})) << "the west half is out of view";
    EXPECT_EQ(Draw({1490, 490, 1520, 520}, 28), (V{3})) << "the speck fills this view";
    EXPECT_EQ(Draw({1400, 400, 1600, 600}, 28), (V{1})) << "the speck is under a third of this view";
    EXPECT_EQ(Draw({0, 0, 4000, 4000}, 20), V{}) << "every map under a third of the view";
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(m_pAtlas->OpenMapCount(), 0u);
}

TEST_F(AtlasDrawing, CurrentMapIsNoneWhenNothingWasDrawn) {
    Draw({0, 0, 2000, 1000}, 20);
    CMapName name;
    m_pAtlas->GetName(name);
    EXPECT_NE(std::u16string(name.szName).find(u"east.zem"), std::u16string::npos);
    Draw({0, 0, 2000, 1000}, 15); // nothing drawn: the drawn maps were closed
    EXPECT_EQ(m_pAtlas->CurrentMap(), nullptr);
    m_pAtlas->GetName(name);
    EXPECT_EQ(name.szName[0], 0);
    char16_t szName[32] = u"x";
    WORD wYear = 1;
    m_pAtlas->GetInfo(&wYear, nullptr, nullptr, szName, 32, nullptr, 0);
    EXPECT_EQ(wYear, 0);
    EXPECT_EQ(szName[0], 0);
}

TEST_F(AtlasDrawing, AMapThatCannotBeOpenedShowsAMessageAndTheOthersDraw) {
    fs::remove(m_dir.File("2east.zem"));
    EXPECT_EQ(Draw({0, 0, 2000, 1000}, 20), (std::vector<std::size_t>{0}));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_NE(m_messages[0].find(u"2east.zem"), std::u16string::npos);
}

TEST(AtlasCityCache, EvictsRoundRobinAndRemembersFailures) {
    std::map<int, int> loads;
    SimpleCache<std::string> cache(3, [&](int k) -> std::optional<std::string> {
        ++loads[k];
        if (k == 13) return std::nullopt;
        return std::to_string(k);
    });
    for (int k : {1, 2, 13}) cache.Get(k);
    EXPECT_EQ(*cache.Get(1), "1");
    EXPECT_EQ(cache.Get(13), nullptr);
    EXPECT_EQ(loads[13], 1) << "a failed load is not retried while its slot lives";
    EXPECT_EQ(cache.Loaded(), 2u);
    cache.Get(4); // replaces slot 0 (key 1) though 2 was used longest ago
    cache.Get(1); // replaces slot 1 (key 2)
    EXPECT_EQ(loads[1], 2) << "round robin, not least recently used";
    cache.Get(2); // replaces slot 2 (key 13)
    cache.Get(13); // replaces slot 0 (key 4)
    EXPECT_EQ(loads[13], 2) << "once evicted, a failed key loads again";
    EXPECT_EQ(*cache.Get(2), "2");
    EXPECT_EQ(loads[2], 2);
    EXPECT_EQ(cache.Loaded(), 2u);
    cache.Clear();
    EXPECT_EQ(cache.Loaded(), 0u);
    cache.Get(2);
    EXPECT_EQ(loads[2], 3) << "clearing released every value";
}

// A sorted list of names, as a map's objects query is.
class CNameList : public CFindList {
public:
    explicit CNameList(std::vector<std::u16string> names) : m_names(std::move(names)) {}
    DWORD Count() const override { return static_cast<DWORD>(m_names.size()); }
    bool Item(DWORD i, CFindItem& item, DWORD) override {
        if (i >= m_names.size()) return false;
        std::u16string_view(m_names[i]).copy(item.szName, 63);
        item.szName[std::min<std::size_t>(63, m_names[i].size())] = 0;
        return true;
    }
    std::vector<std::u16string> m_names;
};

std::vector<std::u16string> Names(CFindList& l) {
    std::vector<std::u16string> v;
    for (DWORD i = 0; i < l.Count(); ++i) {
        CFindItem item;
        EXPECT_TRUE(l.Item(i, item, 0));
        v.push_back(item.szName);
    }
    return v;
}

std::vector<CCombinedList::Part> Parts(std::vector<std::vector<std::u16string>> lists) {
    std::vector<CCombinedList::Part> parts;
    for (auto& l : lists) parts.push_back({nullptr, std::make_unique<CNameList>(std::move(l))});
    return parts;
}

TEST(AtlasCombinedList, MergesByNameWithEveryItemOnceEvenWhenNamesCollide) {
    // "Berg" and "berg" compare equal ignoring case but differ exactly: a
    // rank taken from find-first counts would give two items one rank.
    CCombinedList l(Parts({{u"Au", u"berg", u"Berg", u"Zell"}, {u"Berg", u"Egg"}, {}, {u"au", u"Berg", u"berg"}}),
                    CCombinedList::Order::ByName, 1033);
    ASSERT_EQ(l.Count(), 9u);
    EXPECT_EQ(Names(l), (std::vector<std::u16string>{u"Au", u"au", u"berg", u"Berg", u"Berg", u"Berg", u"berg",
                                                     u"Egg", u"Zell"}));
    EXPECT_EQ(l.FindFirst(u"BE"), 2u);
    EXPECT_EQ(l.FindFirst(u"e"), 7u);
    EXPECT_EQ(l.FindFirst(u"zz"), 8u);
    CFindItem item;
    EXPECT_FALSE(l.Item(9, item, 0));
}

TEST(AtlasCombinedList, MergedOnceANameOfSeveralPartsIsTheFirstPartsAlone) {
    // One street listed by three tiles; the first keeps both its items of
    // a name (two streets of one map), names equal ignoring case stay.
    CCombinedList l(Parts({{u"Au", u"Berg", u"Berg"}, {u"Berg", u"berg", u"Egg"}, {}, {u"Au", u"Zell"}}),
                    CCombinedList::Order::ByNameOnce, 1033);
    ASSERT_EQ(l.Count(), 6u);
    EXPECT_EQ(Names(l), (std::vector<std::u16string>{u"Au", u"Berg", u"Berg", u"berg", u"Egg", u"Zell"}));
    EXPECT_EQ(l.FindFirst(u"e"), 4u);
    CFindItem item;
    EXPECT_FALSE(l.Item(6, item, 0));
}

TEST(AtlasCombinedList, TakesPartsOneAfterAnotherForUnsortedResults) {
    CCombinedList l(Parts({{u"z", u"a"}, {}, {u"m"}}), CCombinedList::Order::PartAfterPart, 0);
    EXPECT_EQ(Names(l), (std::vector<std::u16string>{u"z", u"a", u"m"}));
    EXPECT_EQ(l.FindFirst(u"m"), 0u);
}

TEST(AtlasCombinedList, PutsAPartSortedUnderAnotherCollationInOrder) {
    CCombinedList l(Parts({{u"b", u"a"}, {u"c"}}), CCombinedList::Order::ByName, 1033);
    EXPECT_EQ(Names(l), (std::vector<std::u16string>{u"a", u"b", u"c"}));
}

TEST(AtlasList, KeepsFolderAndMapCountPerNamedAtlas) {
    test::ScopedSettings settings;
    EXPECT_TRUE(ReadAtlasList().empty());
    ASSERT_TRUE(WriteAtlasEntry({u"Alps", u"/maps/alps", -1}));
    ASSERT_TRUE(WriteAtlasEntry({u"Home", u"/maps/home", 12}));
    EXPECT_EQ(ReadAtlasList(), (std::vector<CAtlasListEntry>{{u"Alps", u"/maps/alps", -1}, {u"Home", u"/maps/home", 12}}));
    ASSERT_TRUE(WriteAtlasEntry({u"Alps", u"/maps/alps", 3}));
    ASSERT_TRUE(WriteAtlasEntry({u"Home", u"/maps/home2", -1})); // a new folder: the old count goes
    EXPECT_EQ(ReadAtlasList(), (std::vector<CAtlasListEntry>{{u"Alps", u"/maps/alps", 3}, {u"Home", u"/maps/home2", -1}}));
    EXPECT_FALSE(WriteAtlasEntry({u"a\\b", u"/x", 1})) << "a backslash would make a sub-key";
    EXPECT_FALSE(WriteAtlasEntry({u"", u"/x", 1}));
    EXPECT_FALSE(WriteAtlasEntry({u"Long", std::u16string(261, u'x'), 1}));
    ASSERT_TRUE(RemoveAtlasEntry(u"Alps"));
    EXPECT_EQ(ReadAtlasList(), (std::vector<CAtlasListEntry>{{u"Home", u"/maps/home2", -1}}));
    EXPECT_FALSE(RemoveAtlasEntry(u"Alps"));
}

} // namespace
} // namespace velka
