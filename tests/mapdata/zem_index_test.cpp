// The search indexes of a native map, read from bytes laid out by hand in
// the test (not by the compiler, so the two cannot share a mistake): a
// map with three cities in two regions of one country, name tables, and
// an objects index whose category mixes a line and an area type.
#include <cstring>
#include <map>

#include <gtest/gtest.h>

#include "mapdata/collation.h"
#include "mapdata/map_parser.h"
#include "mapdata/zem_parser.h"

namespace velka {
namespace {

// Bits from the lowest bit of each byte upwards.
struct Bits {
    std::vector<BYTE> b;
    unsigned n = 0; // bits used in the last byte
    void Put(std::uint32_t v, unsigned c) {
        for (unsigned i = 0; i < c; ++i) {
            if (n == 0) b.push_back(0);
            b.back() = static_cast<BYTE>(b.back() | (((v >> i) & 1) << n));
            n = (n + 1) & 7;
        }
    }
    void Align() { n = 0; }
};

void Le32(std::vector<BYTE>& v, std::size_t o, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v[o + i] = static_cast<BYTE>(x >> (8 * i));
}
void Add32(std::vector<BYTE>& v, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<BYTE>(x >> (8 * i)));
}
void Add16(std::vector<BYTE>& v, std::uint32_t x) {
    v.push_back(static_cast<BYTE>(x));
    v.push_back(static_cast<BYTE>(x >> 8));
}
// A Huffman table of one symbol with a code of length 0.
void OneSymbol(std::vector<BYTE>& v, WORD w) {
    Add16(v, 1);
    Add16(v, w);
    v.push_back(0);
}

class HandMadeIndexes : public ::testing::Test {
protected:
    // Label characters, each a 5-bit code (its index here).
    const std::u16string m_chars = u"01249ABLOSUVabcdehiklnorstuz|ä";

    void Label(Bits& bits, const std::u16string& s) {
        bits.Put(1, 2);          // encoding 1
        bits.Put(static_cast<std::uint32_t>(s.size()), 5);
        for (char16_t c : s) bits.Put(static_cast<std::uint32_t>(m_chars.find(c)), 5);
    }

    void SetUp() override {
        ASSERT_LT(m_chars.size(), 32u);
        std::vector<BYTE>& f = m_bytes;
        f.assign(564, 0);
        std::memcpy(f.data(), "GZEM", 4);
        Le32(f, 4, 1);
        // Tables 1-10.
        Le32(f, 428, static_cast<std::uint32_t>(f.size()));
        Add16(f, static_cast<std::uint32_t>(m_chars.size()));
        for (std::size_t k = 0; k < m_chars.size(); ++k) {
            Add16(f, m_chars[k]);
            f.push_back(5);
            f.push_back(static_cast<BYTE>(k));
        }
        Add16(f, 32);
        for (unsigned k = 0; k < 32; ++k) {
            Add16(f, k);
            f.push_back(5);
            f.push_back(static_cast<BYTE>(k));
        }
        OneSymbol(f, 0);      // 3
        OneSymbol(f, 0);      // 4
        OneSymbol(f, 0x2A00); // 5 point types
        OneSymbol(f, 0x44);   // 6 line types
        OneSymbol(f, 0x44);   // 7 area types
        OneSymbol(f, 32768);  // 8
        OneSymbol(f, 32768);  // 9
        OneSymbol(f, 0);      // 10: every object has one point
        // Tables 11-14: fixed width, m = 4, so 3 bits per value.
        for (int t = 0; t < 4; ++t) {
            f.push_back(1);
            Add32(f, 4);
        }
        // One level of one block at the origin, 0 units wide.
        Le32(f, 440, static_cast<std::uint32_t>(f.size()));
        Le32(f, 444, 1);
        Add32(f, static_cast<std::uint32_t>(f.size() + 8));
        Add16(f, 1);
        Add16(f, 24);
        // Records: the polygon "Lake" without address, the polyline "Brook"
        // with city 1, postcode 1, street 1, house 2.
        Bits area, line;
        Label(area, u"Lake");
        area.Put(0, 1); // no address
        Label(line, u"Brook");
        line.Put(0, 1); // not one-way
        line.Put(1, 1); // address
        for (std::uint32_t v : {1u, 1u, 1u, 2u}) line.Put(v, 3);
        const std::size_t ofsBlock = f.size();
        const std::size_t ofsData = ofsBlock + 16 + 2;
        Add32(f, 0);
        Add32(f, 0);
        Add16(f, 0);
        Add16(f, 0);
        Add32(f, static_cast<std::uint32_t>(ofsData) | 1u << 24 | 1u << 26);
        f.push_back(static_cast<BYTE>(area.b.size()));
        f.push_back(static_cast<BYTE>(line.b.size()));
        ASSERT_EQ(f.size(), ofsData);
        f.insert(f.end(), area.b.begin(), area.b.end());
        m_ofsLine = f.size();
        f.insert(f.end(), line.b.begin(), line.b.end());

        // Label area: every index name, each on a whole byte.
        const std::size_t ofsLabels = f.size();
        Le32(f, 432, static_cast<std::uint32_t>(ofsLabels));
        std::map<std::u16string, std::uint32_t> ref;
        for (const std::u16string s : {u"Li", u"Land|Ob", u"Unter|", u"Balzers", u"Schaan", u"Vaduz", u"9490",
                                       u"Aeule", u"Städtle", u"1", u"12"}) {
            Bits b;
            Label(b, s);
            ref[s] = static_cast<std::uint32_t>(f.size() - ofsLabels);
            f.insert(f.end(), b.b.begin(), b.b.end());
        }
        const unsigned R = 7;
        ASSERT_LT(f.size() - ofsLabels, 1u << R);
        Le32(f, 436, R);

        // PAI: 1 country (C = 0 bits), 2 regions (G = 1 bit), 3 cities.
        const std::size_t pai = f.size();
        Le32(f, 464, static_cast<std::uint32_t>(pai));
        f.resize(f.size() + 48, 0);
        auto area32 = [&](std::size_t field, Bits& b, std::uint32_t count) {
            Le32(f, pai + field, static_cast<std::uint32_t>(f.size()));
            Le32(f, pai + field + 4, count);
            f.insert(f.end(), b.b.begin(), b.b.end());
        };
        Bits countries, regions, cities, postcodes, streets, houses;
        countries.Put(ref[u"Li"], R);
        regions.Put(ref[u"Land|Ob"], R); // country index: 0 bits
        regions.Put(ref[u"Unter|"], R);
        for (auto [name, region] : {std::pair{u"Balzers", 0u}, {u"Schaan", 1u}, {u"Vaduz", 0u}}) {
            cities.Put(region, 1);
            cities.Put(0, 1); // no position: a bare label
            cities.Put(ref[name], R);
        }
        postcodes.Put(ref[u"9490"], R);
        streets.Put(ref[u"Aeule"], R);
        streets.Put(ref[u"Städtle"], R);
        houses.Put(ref[u"1"], R);
        houses.Put(ref[u"12"], R);
        area32(0, countries, 1);
        area32(8, regions, 2);
        area32(16, cities, 3);
        area32(24, postcodes, 1);
        area32(32, streets, 2);
        area32(40, houses, 2);

        // Objects index: category 0x6500 with the pairs (area, 0x44) and
        // (line, 0x44); "Lake" has no city, "Brook" lies in city 0. The
        // category 0x2A00 claims 1000 objects it does not have.
        const std::size_t oi = f.size();
        Le32(f, 496, static_cast<std::uint32_t>(oi));
        f.resize(f.size() + 52, 0);
        const unsigned W1 = 4, W2 = 1, W3 = 10;
        ASSERT_LT(m_ofsLine - ofsData, 1u << W1);
        Le32(f, oi + 0, static_cast<std::uint32_t>(ofsData));
        Le32(f, oi + 4, W1);
        Le32(f, oi + 8, W2);
        Le32(f, oi + 28, 20);
        Le32(f, oi + 32, 0);
        Le32(f, oi + 36, 2);
        Le32(f, oi + 48, W3);
        const std::size_t cats = f.size();
        Le32(f, oi + 20, static_cast<std::uint32_t>(cats));
        f.resize(f.size() + 40, 0);
        auto category = [&](std::size_t e, WORD key, std::vector<std::pair<int, WORD>> types, std::uint32_t first,
                            std::vector<std::uint32_t> counts) {
            f[e] = static_cast<BYTE>(key);
            f[e + 1] = static_cast<BYTE>(key >> 8);
            f[e + 2] = static_cast<BYTE>(types.size());
            Bits list, c;
            for (auto [k, w] : types) {
                list.Put(static_cast<std::uint32_t>(k), 2);
                list.Put(w, 16);
            }
            Le32(f, e + 4, static_cast<std::uint32_t>(f.size() - e));
            f.insert(f.end(), list.b.begin(), list.b.end());
            Le32(f, e + 8, first);
            for (std::uint32_t n : counts) c.Put(n, W3);
            std::copy(c.b.begin(), c.b.end(), f.begin() + static_cast<std::ptrdiff_t>(e + 12));
        };
        category(cats, 0x6500, {{rkPolygon, 0x44}, {rkPolyline, 0x44}}, 0, {1, 1, 0, 0});
        category(cats + 20, 0x2A00, {{rkPoint, 0x2A00}}, 2, {1000, 0, 0, 0});
        Bits entries;
        entries.Put(0, W1); // Lake, type index 0
        entries.Put(0, W2);
        entries.Put(static_cast<std::uint32_t>(m_ofsLine - ofsData), W1);
        entries.Put(1, W2);
        Le32(f, oi + 12, static_cast<std::uint32_t>(f.size()));
        Le32(f, oi + 16, 2);
        f.insert(f.end(), entries.b.begin(), entries.b.end());

        Le32(f, 476, 1031); // German
        Le32(f, 8, static_cast<std::uint32_t>(f.size()));
        m_parser = OpenMapMemory(u"/maps/hand.zem", f.data(), f.size(), c_dwOpenAll);
        m_zem = dynamic_cast<CZemParser*>(m_parser.get());
        ASSERT_TRUE(m_zem);
    }

    std::vector<BYTE> m_bytes;
    std::size_t m_ofsLine = 0;
    std::unique_ptr<CMapParser> m_parser;
    CZemParser* m_zem = nullptr;
};

TEST_F(HandMadeIndexes, CitiesComeWithRegionAndCountry) {
    ASSERT_TRUE(m_parser->HasCitiesIndex());
    auto cities = m_parser->CreateCitiesQuery();
    ASSERT_TRUE(cities);
    EXPECT_EQ(cities->Locale(), 1031u);
    ASSERT_EQ(cities->Count(), 3u);
    CCityItem item;
    ASSERT_TRUE(cities->Item(0, item, 0));
    EXPECT_EQ(std::u16string(item.szText), u"Balzers, Ob, Li"); // the part after "|"
    EXPECT_FALSE(item.fHasPosition);
    ASSERT_TRUE(cities->Item(1, item, c_dwCityPosition));
    EXPECT_EQ(std::u16string(item.szText), u"Schaan, Li"); // "Unter|" adds nothing
    ASSERT_TRUE(cities->Item(2, item, 0));
    EXPECT_EQ(std::u16string(item.szText), u"Vaduz, Ob, Li");
    EXPECT_FALSE(cities->Item(3, item, 0));
    std::u16string name;
    ASSERT_TRUE(m_zem->CityName(2, name));
    EXPECT_EQ(name, u"Vaduz");

    EXPECT_EQ(cities->FindFirst(u"s"), 1u);
    EXPECT_EQ(cities->FindFirst(u"VAD"), 2u);
    EXPECT_EQ(cities->FindFirst(u"A"), 0u);  // before every name
    EXPECT_EQ(cities->FindFirst(u"zz"), 2u); // after every name: the last
    EXPECT_EQ(cities->FindFirst(u""), 0u);
}

TEST_F(HandMadeIndexes, NameTablesAreNormalised) {
    const CZemPai& pai = m_zem->Pai();
    EXPECT_EQ(pai.acNames[0], 1u);
    EXPECT_EQ(pai.acNames[1], 2u);
    std::u16string s;
    ASSERT_TRUE(m_zem->NameTableEntry(1, 1, s));
    EXPECT_EQ(s, u"Städtle");
    ASSERT_TRUE(m_zem->NameTableEntry(2, 1, s));
    EXPECT_EQ(s, u"12");
    EXPECT_FALSE(m_zem->NameTableEntry(2, 2, s));
    EXPECT_FALSE(m_zem->NameTableEntry(3, 0, s));
}

TEST_F(HandMadeIndexes, ObjectsAreMatchedByKindAndTypeAndDecodedWithTheirKind) {
    ASSERT_TRUE(m_parser->HasObjectsIndex());
    EXPECT_TRUE(m_parser->IsTypeIndexed(rkPolyline, 0x6500, 0x44));
    EXPECT_TRUE(m_parser->IsTypeIndexed(rkPolygon, 0x6500, 0x44));
    EXPECT_FALSE(m_parser->IsTypeIndexed(rkPoint, 0x6500, 0x44));
    EXPECT_TRUE(m_parser->IsTypeIndexed(rkPoint, 0x6500, 0xFFFF));
    EXPECT_FALSE(m_parser->IsTypeIndexed(rkPoint, 0x6600, 0xFFFF));
    EXPECT_FALSE(m_parser->IsTypeIndexed(rkMax, 0x6500, 0xFFFF));

    // No city: only the area; asking for the line type finds nothing there.
    EXPECT_EQ(m_parser->CreateObjectsQuery(-1, rkPolyline, 0x6500, 0x44)->Count(), 0u);
    auto lake = m_parser->CreateObjectsQuery(-1, rkPolygon, 0x6500, 0x44);
    ASSERT_EQ(lake->Count(), 1u);
    CFindItem item;
    ASSERT_TRUE(lake->Item(0, item, 0x3FE));
    EXPECT_EQ(std::u16string(item.szName), u"Lake");
    EXPECT_EQ(item.nKind, rkPolygon);
    EXPECT_EQ(std::u16string(item.szMapName), u"hand.zem");

    // City 0 with every type: the line, decoded as a line with its address.
    auto brook = m_parser->CreateObjectsQuery(0, rkPoint, 0x6500, 0xFFFF);
    ASSERT_EQ(brook->Count(), 1u);
    ASSERT_TRUE(brook->Item(0, item, 0x3FE));
    EXPECT_EQ(std::u16string(item.szName), u"Brook");
    EXPECT_EQ(item.nKind, rkPolyline);
    EXPECT_EQ(item.wType, 0x44);
    EXPECT_EQ(std::u16string(item.szSettlement), u"Balzers, Ob, Li");
    EXPECT_EQ(std::u16string(item.szPostcode), u"9490");
    EXPECT_EQ(std::u16string(item.szStreet), u"Aeule");
    EXPECT_EQ(std::u16string(item.szHouse), u"12");

    // A city past the list, and a count past the entries, give nothing.
    EXPECT_EQ(m_parser->CreateObjectsQuery(3, rkPolyline, 0x6500, 0xFFFF)->Count(), 0u);
    EXPECT_EQ(m_parser->CreateObjectsQuery(2, rkPolyline, 0x6500, 0xFFFF)->Count(), 0u);
    EXPECT_EQ(m_parser->CreateObjectsQuery(-1, rkPoint, 0x2A00, 0xFFFF)->Count(), 0u);
}

TEST_F(HandMadeIndexes, DamagedIndexesNeverReadOutsideTheFile) {
    // Every prefix of the file: the queries answer from what is there.
    for (std::size_t n = 564; n < m_bytes.size(); n += 7) {
        std::vector<BYTE> cut(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(n));
        Le32(cut, 8, static_cast<std::uint32_t>(n));
        auto p = OpenMapMemory(u"cut.zem", cut.data(), cut.size(), c_dwOpenAll);
        if (!p) continue;
        if (auto cities = p->CreateCitiesQuery()) {
            CCityItem item;
            for (DWORD i = 0; i < std::min<DWORD>(cities->Count(), 8); ++i) cities->Item(i, item, c_dwCityPosition);
            cities->FindFirst(u"V");
        }
        if (auto objects = p->CreateObjectsQuery(0, rkPolyline, 0x6500, 0xFFFF)) {
            CFindItem item;
            for (DWORD i = 0; i < std::min<DWORD>(objects->Count(), 8); ++i) objects->Item(i, item, 0x3FE);
        }
    }
    // Counts of cities and names larger than the file can hold are cut to
    // the entries in it: an address search neither allocates for them nor
    // walks them, and what the file holds is still found.
    {
        std::vector<BYTE> big = m_bytes;
        std::uint32_t pai = 0;
        std::memcpy(&pai, big.data() + 464, 4);
        for (std::size_t field : {20, 28, 36, 44}) Le32(big, pai + field, 0xFFFFFFF0u);
        auto p = OpenMapMemory(u"counts.zem", big.data(), big.size(), c_dwOpenAll);
        auto* pZem = dynamic_cast<CZemParser*>(p.get());
        ASSERT_TRUE(pZem);
        const std::uint64_t cBits = 8 * std::uint64_t{big.size()};
        EXPECT_LE(pZem->Pai().cCities, cBits);
        for (DWORD c : pZem->Pai().acNames) EXPECT_LE(c, cBits);
        std::u16string s;
        ASSERT_TRUE(pZem->NameTableEntry(1, 1, s));
        EXPECT_EQ(s, u"Städtle");
        EXPECT_TRUE(pZem->FindByAddress(-1, u"", u"städtle", u"", nullptr));
        auto cities = pZem->CreateCitiesQuery();
        ASSERT_TRUE(cities);
        EXPECT_LT(cities->FindFirst(u"VAD"), cities->Count());
    }
    // The PAI offset set to 0 while the objects index stays: no cities.
    Le32(m_bytes, 464, 0);
    auto p = OpenMapMemory(u"nopai.zem", m_bytes.data(), m_bytes.size(), c_dwOpenAll);
    ASSERT_TRUE(p);
    EXPECT_FALSE(p->CreateCitiesQuery());
    EXPECT_EQ(p->CreateObjectsQuery(0, rkPolyline, 0x6500, 0xFFFF)->Count(), 0u);
    EXPECT_EQ(p->CreateObjectsQuery(-1, rkPolygon, 0x6500, 0xFFFF)->Count(), 1u);
}

TEST(Collation, OrdersUnderTheMapsLocaleIgnoringCase) {
    const CCollator& de = CCollator::ForLcid(1031);
    EXPECT_EQ(de.Compare(u"vaduz", u"VADUZ"), 0);
    EXPECT_LT(de.Compare(u"Städtle", u"Strasse"), 0); // ä sorts with a
    EXPECT_LT(de.Compare(u"Aeule", u"Balzers"), 0);
    const CCollator& ru = CCollator::ForLcid(1049);
    EXPECT_LT(ru.Compare(u"елка", u"ёлка"), 0); // ё after е, before the next letter
    EXPECT_LT(ru.Compare(u"ёлка", u"ель"), 0);
    EXPECT_LT(ru.Compare(u"ёлка", u"жук"), 0);
    EXPECT_TRUE(de.Less(u"abc", u"Abc")); // equal but for case: lower first, deterministically
    EXPECT_FALSE(de.Less(u"Abc", u"abc"));
}

} // namespace
} // namespace velka
