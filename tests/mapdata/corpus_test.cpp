// Real OpenStreetMap extracts compiled and read back: every named object
// the style maps is found with its name at its place on the finest level.
// And damaged maps: truncated and bit-flipped files open or fail cleanly
// and draw without reading outside their bytes.
#include <cmath>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include <gtest/gtest.h>
#include <osmium/handler.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/visitor.hpp>

#include "mapdata/label_interpret.h"
#include "mapdata/map_parser.h"
#include "mapdata/zem_parser.h"
#include "mapdata/recording_paint.h"
#include "platform/text.h"
#include "tests/support/test_support.h"
#include "tools/mapc/demotown.h"
#include "tools/mapc/mapc_osm.h"

namespace velka {
namespace {

using namespace mapc;

struct Expected {
    int nKind;
    std::u16string strName;
    std::vector<CMapPoint> ends; // any of these must be a decoded vertex
};

// Reads the extract independently of the compiler: the named nodes and
// ways whose tags a style rule maps.
class CExpectations : public osmium::handler::Handler {
public:
    explicit CExpectations(const CStyle& style) : m_style(style) {}
    static const char* Lookup(const void* p, const char* k) {
        return static_cast<const osmium::TagList*>(p)->get_value_by_key(k);
    }
    void node(const osmium::Node& n) {
        const char* name = n.tags().get_value_by_key("name");
        if (!name || !m_style.Match(rkPoint, &n.tags(), Lookup)) return;
        m_expected.push_back({rkPoint, FromUtf8(name), {Point(n.location())}});
    }
    void way(const osmium::Way& w) {
        const char* name = w.tags().get_value_by_key("name");
        if (!name || w.nodes().size() < 2) return;
        if (!w.nodes().front().location().valid() || !w.nodes().back().location().valid()) return;
        const bool fLine = m_style.Match(rkPolyline, &w.tags(), Lookup) != nullptr;
        const bool fArea = w.is_closed() && m_style.Match(rkPolygon, &w.tags(), Lookup) &&
                           !w.tags().has_tag("area", "no");
        if (fLine)
            m_expected.push_back({rkPolyline, FromUtf8(name),
                                  {Point(w.nodes().front().location()), Point(w.nodes().back().location())}});
        if (fArea) {
            Expected e{rkPolygon, FromUtf8(name), {}};
            for (const auto& nr : w.nodes()) e.ends.push_back(Point(nr.location()));
            m_expected.push_back(std::move(e));
        }
    }
    static CMapPoint Point(const osmium::Location& l) {
        return {DegreesToMapUnits(l.lon()), DegreesToMapUnits(l.lat())};
    }
    std::vector<Expected> m_expected;

private:
    const CStyle& m_style;
};

void CompileFile(const std::string& input, std::vector<BYTE>& bytes, std::size_t* pcFinest = nullptr) {
    CStyle style;
    std::string err;
    ASSERT_TRUE(style.Load(test::SourcePath("data/runtime/osm.style").string(), err)) << err;
    CMapcOptions options;
    options.inputs = {input};
    CMapcMap map;
    ASSERT_TRUE(CompileOsm(options, style, map, err)) << err;
    CMapcStats stats;
    ASSERT_TRUE(EncodeZem(map, bytes, err, &stats)) << err;
    if (pcFinest) *pcFinest = stats.cObjects[0] + stats.cObjects[1] + stats.cObjects[2];
}

class CorpusRoundTrip : public testing::TestWithParam<const char*> {};

TEST_P(CorpusRoundTrip, NamedObjectsKeepNameAndPlace) {
    const auto path = test::CorpusPath(std::string("osm/") + GetParam());
    VELKA_REQUIRE_CORPUS(path);
    std::vector<BYTE> bytes;
    std::size_t cWritten = 0;
    CompileFile(path.string(), bytes, &cWritten);
    auto parser = OpenMapMemory(u"x", bytes.data(), bytes.size(), c_dwOpenAll);
    auto* zem = dynamic_cast<CZemParser*>(parser.get());
    ASSERT_TRUE(zem);

    // Every decoded vertex of the finest level, by (kind, display name).
    std::map<std::pair<int, std::u16string>, std::vector<CMapPoint>> decoded;
    const std::size_t nFinest = zem->LevelCount() - 1;
    char16_t raw[256], shown[64];
    std::size_t cDecoded = 0;
    zem->ForEachObject(nFinest, raw, 256, [&](int k, const CZemBlock&, const CZemObject& obj) {
        ++cDecoded;
        if (!obj.nLabelEncoding) return;
        int nShield = 0;
        const int n = LabelInterpret(k, obj.wType, true, true, raw, obj.cRawLabel, shown, &nShield);
        auto& v = decoded[{k, std::u16string(shown, static_cast<std::size_t>(n))}];
        v.insert(v.end(), zem->PointBuffer(), zem->PointBuffer() + obj.cPoints);
    });
    EXPECT_EQ(cDecoded, cWritten); // every record decodes

    osmium::io::File file{path.string()};
    CStyle style;
    std::string err;
    ASSERT_TRUE(style.Load(test::SourcePath("data/runtime/osm.style").string(), err));
    CExpectations expect(style);
    osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location> index;
    osmium::handler::NodeLocationsForWays<decltype(index)> locations(index);
    locations.ignore_errors();
    osmium::io::Reader reader(file);
    CMapRect rcHeader = CMapRect::MakeEmpty();
    const osmium::io::Header header = reader.header();
    for (const auto& box : header.boxes()) {
        rcHeader.Add(DegreesToMapUnits(box.bottom_left().lon()), DegreesToMapUnits(box.bottom_left().lat()));
        rcHeader.Add(DegreesToMapUnits(box.top_right().lon()), DegreesToMapUnits(box.top_right().lat()));
    }
    osmium::apply(reader, locations, expect);
    reader.close();

    const LONG unit = 1 << zem->Level(nFinest).Shift();
    std::size_t cChecked = 0, cMissing = 0;
    for (const Expected& e : expect.m_expected) {
        CMapRect rc = CMapRect::MakeEmpty();
        rc.Add(e.ends.data(), e.ends.size());
        if (!rcHeader.IsInverted() && !rc.Intersects(rcHeader)) continue; // cut off by the extract
        std::u16string name = e.strName.substr(0, 63);
        for (char16_t& c : name)
            if (c < 32) c = u' ';
        // Display names of summits carry the height after the name.
        const std::pair<int, std::u16string> key{e.nKind, name};
        bool fFound = false;
        for (auto it = decoded.lower_bound(key); !fFound && it != decoded.end() &&
                                                 it->first.first == e.nKind &&
                                                 it->first.second.compare(0, name.size(), name) == 0;
             ++it)
            for (const CMapPoint& q : it->second)
                for (const CMapPoint& want : e.ends)
                    if (std::abs(std::int64_t{q.lX} - want.lX) <= unit &&
                        std::abs(std::int64_t{q.lY} - want.lY) <= unit)
                        fFound = true;
        ++cChecked;
        if (!fFound) {
            ++cMissing;
            ADD_FAILURE() << "not found: kind " << e.nKind << " '" << ToUtf8(e.strName) << "'";
            if (cMissing > 10) return;
        }
    }
    EXPECT_GT(cChecked, 50u);
}

INSTANTIATE_TEST_SUITE_P(Extracts, CorpusRoundTrip,
                         testing::Values("monaco-20210421.osm.pbf", "andorra-20200501.osm.pbf",
                                         "liechtenstein-20150727.osm.pbf",
                                         "moscow-center-20200720.osm.pbf"));

// --- damaged maps --------------------------------------------------------

std::vector<BYTE> DemoMapBytes() {
    test::TempDir dir;
    const std::string path = dir.File("demo.osm");
    {
        std::ofstream f(path);
        f << DemoTownOsm();
    }
    std::vector<BYTE> bytes;
    CompileFile(path, bytes);
    return bytes;
}

// Opens and draws every level; the sanitizer build turns a stray read into
// a failure, the release build at least runs every path.
void OpenAndDrawEverything(std::vector<BYTE> bytes) {
    // Keep the probe's size test satisfied so the damage reaches the reader.
    if (bytes.size() >= 12) {
        const auto n = static_cast<std::uint32_t>(bytes.size());
        for (int i = 0; i < 4; ++i) bytes[8 + i] = static_cast<BYTE>(n >> (8 * i));
    }
    auto parser = OpenMapMemory(u"d", bytes.data(), bytes.size(), c_dwOpenAll);
    if (!parser) return;
    for (int nCode : {11, 14, 16, 18, 20, 22, 24, 29}) {
        CRecordingPaintContext pc(parser->Bounds(), 256, 256, 0, nCode);
        CRecordingLabelStore labels;
        parser->Draw(pc, labels);
        char16_t text[64];
        int nShield = 0;
        for (const auto& l : labels.m_labels)
            parser->GetLabel(0, l.nKind, l.wType, l.source.dwLabelOffset, text, &nShield);
    }
}

TEST(DamagedMaps, TruncatedFilesFailOrDrawWhatIsSound) {
    const std::vector<BYTE> good = DemoMapBytes();
    ASSERT_GT(good.size(), 1000u);
    auto parser = OpenMapMemory(u"d", good.data(), good.size(), c_dwOpenAll);
    ASSERT_TRUE(parser);
    std::size_t cOpened = 0;
    for (std::size_t n = 560; n < good.size(); n += 7) {
        std::vector<BYTE> cut(good.begin(), good.begin() + static_cast<long>(n));
        OpenAndDrawEverything(cut);
        std::vector<BYTE> patched = cut;
        const auto size = static_cast<std::uint32_t>(patched.size());
        for (int i = 0; i < 4; ++i) patched[8 + i] = static_cast<BYTE>(size >> (8 * i));
        cOpened += OpenMapMemory(u"d", patched.data(), patched.size(), c_dwOpenAll) != nullptr;
    }
    // Cut inside the tables the map cannot open; cut in the object data it can.
    EXPECT_GT(cOpened, 0u);
}

TEST(DamagedMaps, BitFlipsNeverCrashOrHang) {
    const std::vector<BYTE> good = DemoMapBytes();
    std::mt19937 rng(12345);
    for (int round = 0; round < 400; ++round) {
        std::vector<BYTE> bad = good;
        const int cFlips = 1 + static_cast<int>(rng() % 8);
        for (int k = 0; k < cFlips; ++k) {
            // Half of the flips hit the header and tables, where they hurt most.
            const std::size_t limit = rng() % 2 ? std::min<std::size_t>(bad.size(), 1200) : bad.size();
            bad[rng() % limit] ^= static_cast<BYTE>(1u << (rng() % 8));
        }
        OpenAndDrawEverything(bad);
    }
    SUCCEED();
}

} // namespace
} // namespace velka
