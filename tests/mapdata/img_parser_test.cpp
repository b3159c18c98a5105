// The Garmin IMG reader against maps built by mkgmap from OpenStreetMap
// extracts: the names and positions of the source's roads and points, keyed
// and plain containers, a gmapsupp.img, refusals, and damaged copies.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <osmium/handler.hpp>
#include <osmium/io/pbf_input.hpp>
#include <osmium/visitor.hpp>
#include <unicode/uchar.h>

#include "mapdata/dump_context.h"
#include "mapdata/img_parser.h"
#include "mapdata/label_interpret.h"
#include "mapdata/map_scales.h"
#include "mapdata/recording_paint.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/resources.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

using test::CorpusPath;
using test::TempDir;

std::vector<BYTE> ReadBytes(const std::filesystem::path& path) {
    const std::string s = test::ReadFile(path);
    return {s.begin(), s.end()};
}

void WriteBytes(const std::string& strPath, const std::vector<BYTE>& v) {
    std::ofstream(strPath, std::ios::binary).write(reinterpret_cast<const char*>(v.data()),
                                                   static_cast<std::streamsize>(v.size()));
}

std::unique_ptr<CImgParser> OpenBytes(const std::vector<BYTE>& v) {
    CMapCreateInfo info;
    info.strFileName = u"test.img";
    info.pData = v.data();
    info.cbSize = static_cast<DWORD>(v.size());
    auto p = std::make_unique<CImgParser>(std::move(info));
    if (!p->Open(c_dwOpenAll)) return nullptr;
    return p;
}

// What a map draws at a scale code, in map units, with display labels.
using CObject = CDumpContext::Object;

std::vector<CObject> DumpAt(CMapParser& map, int nCode) {
    CDumpContext dc(CDumpContext::c_rcWorld, nCode);
    map.Draw(dc, dc);
    return dc.m_objects;
}

std::vector<BYTE> SixBit(const std::vector<unsigned>& codes) {
    std::vector<BYTE> v;
    unsigned acc = 0, cBits = 0;
    for (unsigned c : codes) {
        acc = acc << 6 | (c & 0x3F);
        cBits += 6;
        while (cBits >= 8) {
            v.push_back(static_cast<BYTE>(acc >> (cBits - 8)));
            cBits -= 8;
        }
    }
    if (cBits) v.push_back(static_cast<BYTE>(acc << (8 - cBits)));
    return v;
}

std::u16string DecodeSix(const std::vector<unsigned>& codes) {
    const std::vector<BYTE> v = SixBit(codes);
    char16_t sz[64];
    const std::size_t n = DecodeSixBitLabel(v.data(), v.size(), sz, 64);
    return {sz, n};
}

TEST(ImgLabels, SixBitCoding) {
    // N E W space Y O R K, end code.
    EXPECT_EQ(DecodeSix({14, 5, 23, 0, 25, 15, 18, 11, 0x3F}), u"New York");
    // Digits, a symbol ('-'), the small-letter shift, a shield code, and an
    // end code of which only the top bits are present.
    EXPECT_EQ(DecodeSix({0x21, 0x22, 0x1C, 0x0D, 0x1B, 1, 0x2A, 2, 0x30}), u"12-a\x01" u"b");
    // Symbol state: '@', apostrophe, '[' .. '_', unknown codes as '?'.
    EXPECT_EQ(DecodeSix({0x1C, 0, 0x1C, 2, 0x1C, 0x2B, 0x1C, 0x10, 0x3F}), u"@'[?");
    // Small-letter state turns 0x2B/0x2C into the abbreviation control codes.
    EXPECT_EQ(DecodeSix({1, 0x1B, 0x2B, 2, 0x3F}), u"A\x1b" u"b");
    // The output is cut at the capacity, always terminated.
    const std::vector<BYTE> v = SixBit({1, 2, 3, 4, 5, 6, 0x3F});
    char16_t sz[4];
    EXPECT_EQ(DecodeSixBitLabel(v.data(), v.size(), sz, 4), 3u);
    EXPECT_EQ(std::u16string(sz), u"Abc");
    // A label running off the end of the data stops there.
    const BYTE ab[1] = {0x04}; // codes 1, (partial)
    EXPECT_EQ(DecodeSixBitLabel(ab, 1, sz, 4), 1u);
}

TEST(ImgLabels, EightBitCodePages) {
    char16_t sz[64];
    UConverter* p1251 = OpenCodePageConverter(1251);
    ASSERT_NE(p1251, nullptr);
    const BYTE abCyr[] = {0xCA, 0xCE, 0xCC, 0xD3, 0xD1};
    EXPECT_EQ(DecodeEightBit(p1251, abCyr, 5, sz, 64), 5u);
    EXPECT_EQ(std::u16string(sz), u"КОМУС");
    CloseCodePageConverter(p1251);
    // UTF-8 cut inside the label keeps whole characters only.
    UConverter* pUtf8 = OpenCodePageConverter(65001);
    const std::string strUtf8 = "\xD0\x91\xF0\x9F\x98\x80";  // Б, then one astral character
    EXPECT_EQ(DecodeEightBit(pUtf8, reinterpret_cast<const BYTE*>(strUtf8.data()), strUtf8.size(),
                             sz, 3),
              1u);
    CloseCodePageConverter(pUtf8);
    UConverter* p1252 = OpenCodePageConverter(0);
    const BYTE abLatin[] = {'C', 'A', 'F', 0xC9};
    EXPECT_EQ(DecodeEightBit(p1252, abLatin, 4, sz, 64), 4u);
    EXPECT_EQ(std::u16string(sz), u"CAFÉ");
    CloseCodePageConverter(p1252);
}

// ---------------------------------------------------------------------------
// The source data: named roads and named points of an extract.

struct COsmNamed {
    std::string strName;
    std::vector<CMapPoint> nodes;
};

CMapPoint ToMap(const osmium::Location& l) {
    return {static_cast<LONG>(std::lround(l.lon() * 1073741824.0 / 180.0)),
            static_cast<LONG>(std::lround(l.lat() * 1073741824.0 / 180.0))};
}

class COsmCollector : public osmium::handler::Handler {
public:
    std::map<osmium::object_id_type, CMapPoint> m_nodes;
    std::vector<COsmNamed> m_roads;
    std::vector<COsmNamed> m_points;

    void node(const osmium::Node& n) {
        if (!n.location().valid()) return;
        m_nodes[n.id()] = ToMap(n.location());
        const char* szName = n.tags()["name"];
        if (szName && (n.tags()["amenity"] || n.tags()["shop"] || n.tags()["tourism"]))
            m_points.push_back({szName, {ToMap(n.location())}});
    }
    void way(const osmium::Way& w) {
        static const std::set<std::string> c_roads = {
            "motorway", "trunk", "primary", "secondary", "tertiary", "residential",
            "unclassified", "living_street"};
        const char* szName = w.tags()["name"];
        const char* szHighway = w.tags()["highway"];
        if (!szName || !szHighway || !c_roads.count(szHighway)) return;
        COsmNamed r{szName, {}};
        for (const auto& nr : w.nodes()) {
            auto it = m_nodes.find(nr.ref());
            if (it != m_nodes.end()) r.nodes.push_back(it->second);
        }
        if (!r.nodes.empty()) m_roads.push_back(std::move(r));
    }
};

std::u16string Upper(std::u16string s) {
    for (char16_t& c : s) c = static_cast<char16_t>(u_toupper(c));
    return s;
}

// Upper-case names of the drawn objects of a kind, with their points.
std::multimap<std::u16string, const CObject*> ByName(const std::vector<CObject>& objects, int nKind) {
    std::multimap<std::u16string, const CObject*> m;
    for (const CObject& o : objects)
        if (o.nKind == nKind && !o.strLabel.empty()) m.emplace(Upper(o.strLabel), &o);
    return m;
}

// True when a drawn object of that name has a point within the distance of
// one of the source's nodes.
bool FoundNear(const std::multimap<std::u16string, const CObject*>& m, const COsmNamed& src,
               std::int64_t llMax) {
    auto [b, e] = m.equal_range(Upper(FromUtf8(src.strName)));
    for (auto it = b; it != e; ++it)
        for (const CMapPoint& p : it->second->points)
            for (const CMapPoint& n : src.nodes)
                if (std::llabs(std::int64_t{p.lX} - n.lX) <= llMax &&
                    std::llabs(std::int64_t{p.lY} - n.lY) <= llMax)
                    return true;
    return false;
}

TEST(ImgReader, NamedRoadsAndPointsOfTheSourceAreFound) {
    const auto img = CorpusPath("img/monaco-latin1-plain.img");
    const auto pbf = CorpusPath("osm/monaco-20210421.osm.pbf");
    VELKA_REQUIRE_CORPUS(img);
    VELKA_REQUIRE_CORPUS(pbf);
    const std::vector<BYTE> bytes = ReadBytes(img);
    auto pMap = OpenBytes(bytes);
    ASSERT_TRUE(pMap);
    const std::vector<CObject> objects = DumpAt(*pMap, 24);
    const auto roads = ByName(objects, rkPolyline);
    const auto points = ByName(objects, rkPoint);

    COsmCollector osm;
    osmium::io::Reader reader(pbf.string());
    osmium::apply(reader, osm);
    reader.close();

    // Level 0 has 24-bit resolution: 128 map units; mkgmap rounds to it.
    constexpr std::int64_t c_llTolerance = 2 * 128;
    const CMapRect rcMap = pMap->Bounds();
    std::size_t cRoads = 0, cRoadsFound = 0, cPoints = 0, cPointsFound = 0;
    std::vector<std::string> missing;
    for (const COsmNamed& r : osm.m_roads) {
        if (std::none_of(r.nodes.begin(), r.nodes.end(),
                         [&](const CMapPoint& p) { return rcMap.Contains(p); }))
            continue;
        // Every name mkgmap kept must be found at its place.
        if (!roads.count(Upper(FromUtf8(r.strName)))) continue;
        ++cRoads;
        if (FoundNear(roads, r, c_llTolerance)) ++cRoadsFound;
        else missing.push_back(r.strName);
    }
    // Points whose name the source gives once (mkgmap drops some kinds of
    // amenity, so a shared name may stand for another node).
    std::map<std::u16string, int> pointNames;
    for (const COsmNamed& p : osm.m_points) ++pointNames[Upper(FromUtf8(p.strName))];
    for (const COsmNamed& p : osm.m_points) {
        if (!rcMap.Contains(p.nodes[0]) || !points.count(Upper(FromUtf8(p.strName))) ||
            pointNames[Upper(FromUtf8(p.strName))] != 1)
            continue;
        ++cPoints;
        if (FoundNear(points, p, c_llTolerance)) ++cPointsFound;
        else missing.push_back(p.strName);
    }
    EXPECT_GT(cRoads, 100u);
    EXPECT_GT(cPoints, 50u);
    EXPECT_EQ(cRoadsFound, cRoads);
    EXPECT_EQ(cPointsFound, cPoints);
    for (const auto& s : missing) ADD_FAILURE() << "not at its place: " << s;

    // And nearly every named road of the source is kept by name at all.
    std::set<std::u16string> names;
    std::size_t cNamedInside = 0, cNamedKept = 0;
    for (const COsmNamed& r : osm.m_roads) {
        if (!rcMap.Contains(r.nodes.front()) || !names.insert(Upper(FromUtf8(r.strName))).second)
            continue;
        ++cNamedInside;
        cNamedKept += roads.count(Upper(FromUtf8(r.strName))) ? 1 : 0;
    }
    EXPECT_GE(cNamedKept * 100, cNamedInside * 95) << cNamedKept << " of " << cNamedInside;
}

TEST(ImgReader, CodingsAndRoadNamesFromNet) {
    const auto dir = CorpusPath("img");
    VELKA_REQUIRE_CORPUS(dir / "moscow-center-cp1251-net.img");
    struct Case {
        const char* szFile;
        const char16_t* szLabel;
    } cases[] = {
        {"moscow-center-cp1251-net.img", u"ШАРА-БАРА"},
        {"moscow-center-unicode-lower-route.img", u"Шара-Бара"},
        {"moscow-center-6bit-route.img", u"Shara-bara"},
        {"andorra-latin1-lower-route.img", u"Escàs"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.szFile);
        const std::vector<BYTE> bytes = ReadBytes(dir / c.szFile);
        auto pMap = OpenBytes(bytes);
        ASSERT_TRUE(pMap);
        const std::vector<CObject> objects = DumpAt(*pMap, 24);
        std::size_t cNamedRoads = 0;
        bool fFound = false;
        for (const CObject& o : objects) {
            fFound |= o.strLabel == c.szLabel;
            cNamedRoads += o.nKind == rkPolyline && !o.strLabel.empty();
            // No label carries a broken character or a control code.
            for (char16_t ch : o.strLabel) EXPECT_TRUE(ch >= 0x20 && ch != 0xFFFD) << ToUtf8(o.strLabel);
        }
        EXPECT_TRUE(fFound) << ToUtf8(c.szLabel);
        EXPECT_GT(cNamedRoads, 100u);
    }
}

TEST(ImgReader, InfoLevelsTypesAndNearest) {
    const auto img = CorpusPath("img/monaco-6bit-route.img");
    VELKA_REQUIRE_CORPUS(img);
    auto pMap = OpenMapFile(FromUtf8(img.string()), c_dwOpenAll);
    ASSERT_TRUE(pMap);
    auto* pImg = dynamic_cast<CImgParser*>(pMap.get());
    ASSERT_NE(pImg, nullptr);
    WORD wYear = 0;
    BYTE btMonth = 0, btDay = 0;
    char16_t szName[64], szNotes[256];
    pMap->GetInfo(&wYear, &btMonth, &btDay, szName, 64, szNotes, 256);
    EXPECT_EQ(std::u16string(szName), u"Monaco-OSM-2021-04-21");
    EXPECT_GE(wYear, 2000);
    EXPECT_GE(btMonth, 1);
    EXPECT_LE(btMonth, 12);
    EXPECT_EQ(btDay, 0);
    EXPECT_EQ(std::u16string(szNotes).substr(0, 30), u"Program Licenced Under Gpl V2\r");

    // Bounds from TRE; 24-bit finest and 18-bit coarsest level.
    EXPECT_NEAR(pMap->Bounds().left * 180.0 / 1073741824.0, 7.40921, 1e-4);
    EXPECT_NEAR(pMap->Bounds().bottom * 180.0 / 1073741824.0, 43.75170, 1e-4);
    EXPECT_EQ(c_anScaleBits[pMap->FinestScale()], 24);
    EXPECT_EQ(c_anScaleBits[pMap->CoarsestScale()], 18);
    const CImgTile& tile = pImg->Tiles().at(0);
    EXPECT_EQ(tile.levels[pImg->SelectLevel(tile, 31)].btBits, 24);
    EXPECT_EQ(tile.levels[pImg->SelectLevel(tile, 21)].btBits, 20);
    EXPECT_EQ(tile.levels[pImg->SelectLevel(tile, 11)].btBits, 18);

    // Level counts as mkgmap wrote them (level 0: 1041 + 10 points, 1827
    // lines and 21 lines of extended types 0x108xx).
    std::size_t c[rkMax] = {};
    std::size_t cExtended = 0;
    for (const CObject& o : DumpAt(*pMap, 24)) {
        ++c[o.nKind];
        if (o.nKind == rkPolyline && o.wType >= 0x8000) {
            ++cExtended;
            EXPECT_EQ(o.wType & 0xFFE0, ImgExtendedType(0x08, 0));
            // Their points decode onto the map, not somewhere else.
            const CMapRect& rc = pMap->Bounds();
            const LONG lSlack = 1 << 20; // about 0.18 degrees
            for (const CMapPoint& pt : o.points)
                EXPECT_TRUE(pt.lX > rc.left - lSlack && pt.lX < rc.right + lSlack && pt.lY > rc.top - lSlack &&
                            pt.lY < rc.bottom + lSlack);
        }
    }
    EXPECT_EQ(c[rkPoint], 1051u);
    EXPECT_EQ(c[rkPolyline], 1827u + 21u);
    EXPECT_EQ(cExtended, 21u);
    for (auto& n : c) n = 0;
    for (const CObject& o : DumpAt(*pMap, 18)) ++c[o.nKind];
    EXPECT_EQ(c[rkPolyline], 8u);

    CTypeCatalogue* pTypes = pMap->GetTypes();
    ASSERT_NE(pTypes, nullptr);
    EXPECT_EQ(pTypes, pMap->GetTypes());
    EXPECT_TRUE(pTypes->Contains(rkPolyline, 0x06));

    // The nearest search finds points only, within the radius.
    const std::vector<CObject> objects = DumpAt(*pMap, 24);
    const auto it = std::find_if(objects.begin(), objects.end(),
                                 [](const CObject& o) { return o.nKind == rkPoint && !o.strLabel.empty(); });
    ASSERT_NE(it, objects.end());
    const CMapPoint ref = it->points[0];
    auto pList = pMap->FindNearest(24, false, ref.lX, ref.lY, 0, nullptr, u"", nullptr);
    auto* pFound = dynamic_cast<CImgFindList*>(pList.get());
    ASSERT_NE(pFound, nullptr);
    ASSERT_FALSE(pFound->m_items.empty());
    EXPECT_EQ(pFound->m_items[0].pt, ref);
    char16_t sz[64];
    pMap->GetLabel(0, rkPoint, pFound->m_items[0].wType, pFound->m_items[0].dwLabelOffset, sz, nullptr);
    EXPECT_FALSE(std::u16string(sz).empty());
    auto pWide = pMap->FindNearest(24, false, ref.lX, ref.lY, 300, nullptr, u"", nullptr);
    const auto& items = dynamic_cast<CImgFindList&>(*pWide).m_items;
    EXPECT_GT(items.size(), pFound->m_items.size());
    const double dMax = std::round(300 / 20000000.0 * 1073741824.0);
    for (const auto& item : items) EXPECT_LE(item.llDistance2, dMax * dMax + 1);
}

TEST(ImgReader, KeyedContainerReadsLikeThePlainOne) {
    const auto img = CorpusPath("img/moscow-center-cp1251-net.img");
    VELKA_REQUIRE_CORPUS(img);
    std::vector<BYTE> plain = ReadBytes(img);
    std::vector<BYTE> keyed = plain;
    keyed.push_back(0); // a length that is not a whole number of words
    plain.push_back(0);
    for (BYTE& b : keyed) b ^= 0x5A;
    // Byte 16 was 0x44 ('D'), so 0x44 XOR 0x5A there makes 0x5A the key.
    TempDir dir;
    WriteBytes(dir.File("keyed.img"), keyed);
    auto pPlain = OpenBytes(plain);
    auto pKeyed = OpenMapFile(FromUtf8(dir.File("keyed.img")), c_dwOpenAll);
    ASSERT_TRUE(pPlain);
    ASSERT_TRUE(pKeyed);
    EXPECT_EQ(dynamic_cast<CImgParser&>(*pKeyed).XorKey(), 0x5A);
    EXPECT_EQ(pPlain->XorKey(), 0);
    EXPECT_EQ(pKeyed->Bounds(), pPlain->Bounds());
    for (int nCode : {24, 20}) {
        auto a = DumpAt(*pPlain, nCode), b = DumpAt(*pKeyed, nCode);
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].points, b[i].points);
            EXPECT_EQ(a[i].strLabel, b[i].strLabel);
        }
    }
}

TEST(ImgReader, GmapsuppContainerOpensItsTile) {
    const auto sup = CorpusPath("img/monaco-gmapsupp.img");
    const auto single = CorpusPath("img/monaco-6bit-route.img");
    VELKA_REQUIRE_CORPUS(sup);
    VELKA_REQUIRE_CORPUS(single);
    const std::vector<BYTE> a = ReadBytes(sup), b = ReadBytes(single);
    auto pSup = OpenBytes(a);
    auto pSingle = OpenBytes(b);
    ASSERT_TRUE(pSup);
    ASSERT_TRUE(pSingle);
    ASSERT_EQ(pSup->Tiles().size(), 1u);
    EXPECT_EQ(pSup->Tiles()[0].strName, "70010003");
    EXPECT_EQ(pSup->Bounds(), pSingle->Bounds());
    // The same source with the same options but the labels' coding: the same
    // roads by shape and by name.
    std::multiset<std::pair<std::u16string, std::size_t>> sa, sb;
    for (const CObject& o : DumpAt(*pSup, 24))
        if (o.nKind == rkPolyline) sa.insert({Upper(o.strLabel), o.points.size()});
    for (const CObject& o : DumpAt(*pSingle, 24))
        if (o.nKind == rkPolyline) sb.insert({Upper(o.strLabel), o.points.size()});
    EXPECT_EQ(sa.size(), sb.size());
    std::size_t cCommon = 0;
    for (const auto& x : sa) cCommon += sb.count(x) ? 1 : 0;
    EXPECT_GE(cCommon * 100, sa.size() * 90);
}

// Offsets of a tile's subfiles in a plain single-tile container.
DWORD SubfileOffset(const std::vector<BYTE>& v, const char* szType) {
    const DWORD cbBlock = DWORD{1} << (v[0x61] + v[0x62]);
    for (std::size_t o = 0x600; o + 512 <= v.size(); o += 512)
        if (v[o] == 1 && std::memcmp(&v[o + 9], szType, 3) == 0 && v[o + 17] == 0 && v[o + 18] == 0)
            return (v[o + 32] | v[o + 33] << 8) * cbBlock;
    return 0;
}

TEST(ImgReader, RefusesLockedMapsAndUnknownCodings) {
    const auto img = CorpusPath("img/monaco-latin1-plain.img");
    VELKA_REQUIRE_CORPUS(img);
    const std::vector<BYTE> plain = ReadBytes(img);
    TempDir dir;
    struct Case {
        const char* szType;
        std::size_t nOffset;
        BYTE btValue;
        std::u16string strBox;
    } cases[] = {
        {"TRE", 13, 0x80, LoadStr(2131)},
        {"LBL", 30, 11, FormatMessageId(2132, 11)},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> v = plain;
        const DWORD dwOffset = SubfileOffset(v, c.szType);
        ASSERT_NE(dwOffset, 0u);
        v[dwOffset + c.nOffset] = c.btValue;
        WriteBytes(dir.File("refused.img"), v);
        CError error;
        EXPECT_FALSE(OpenMapFile(FromUtf8(dir.File("refused.img")), c_dwOpenAll, &error));
        // The reason alone, not the general 2129.
        EXPECT_EQ(ErrorText(error), c.strBox);
    }
    // Coding 10 is read as eight-bit text (UTF-8 in mkgmap's files).
    std::vector<BYTE> v = plain;
    v[SubfileOffset(v, "LBL") + 30] = 10;
    EXPECT_TRUE(OpenBytes(v));
}

TEST(ImgReader, DamagedCopiesNeverCrash) {
    const auto img = CorpusPath("img/moscow-center-6bit-route.img");
    VELKA_REQUIRE_CORPUS(img);
    const std::vector<BYTE> plain = ReadBytes(img);
    std::mt19937 rng(1049);
    std::size_t cOpened = 0;
    for (int nCase = 0; nCase < 120; ++nCase) {
        std::vector<BYTE> v = plain;
        if (nCase < 40) {
            // Truncated anywhere, headers included.
            v.resize(std::uniform_int_distribution<std::size_t>(22, v.size() - 1)(rng));
        } else {
            // Bytes overwritten in the directory, headers or data.
            const std::size_t nFrom = nCase < 80 ? 0 : 0x600;
            for (int i = 0; i < 1 + nCase % 16; ++i)
                v[std::uniform_int_distribution<std::size_t>(nFrom, v.size() - 1)(rng)] =
                    static_cast<BYTE>(rng());
        }
        auto pMap = OpenBytes(v);
        HeadlessUiHost().ClearBoxes();
        if (!pMap) continue;
        ++cOpened;
        for (int nCode : {24, 20, 11}) {
            CRecordingPaintContext pc(pMap->Bounds(), 320, 240, nCode == 24 ? 7u : 13u, nCode);
            CRecordingLabelStore labels;
            EXPECT_FALSE(pMap->Draw(pc, labels));
            for (const auto& l : labels.m_labels) {
                char16_t sz[64];
                EXPECT_LE(pMap->GetLabel(7, l.nKind, l.wType, l.source.dwLabelOffset, sz, nullptr), 63);
            }
        }
        pMap->GetTypes();
    }
    EXPECT_GT(cOpened, 40u);
}

TEST(ImgReader, DrawStopsWhenInterrupted) {
    const auto img = CorpusPath("img/monaco-6bit-route.img");
    VELKA_REQUIRE_CORPUS(img);
    const std::vector<BYTE> bytes = ReadBytes(img);
    auto pMap = OpenBytes(bytes);
    ASSERT_TRUE(pMap);
    CRecordingPaintContext pc(pMap->Bounds(), 640, 480, 7, 24);
    CRecordingLabelStore labels;
    pc.m_onPump = [](CRecordingPaintContext& c) { c.m_fRestart = true; };
    EXPECT_TRUE(pMap->Draw(pc, labels));
    EXPECT_EQ(pc.m_cPumps, 1);
    EXPECT_LE(pc.m_polygons.size(), 256u);
}

} // namespace
} // namespace velka
