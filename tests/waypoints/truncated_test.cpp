// MapSource files cut short at every byte offset: the importers never
// crash, take whole records only (the full file's first records, unchanged)
// and warn that the file is damaged; the whole file gives no such warning.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/text.h"
#include "tests/support/test_support.h"
#include "waypoints/exchange.h"
#include "waypoints/mapsource_records.h"

namespace velka {
namespace {

struct Cut {
    bool fOk = false;
    bool fTruncatedWarning = false;
    std::vector<std::u16string> names;
    std::vector<std::pair<LONG, LONG>> positions;
    std::vector<std::size_t> trackSizes;
};

Cut ImportPrefix(const std::string& bytes, std::size_t cb, ImportFn pfn) {
    CWaypointStore store;
    std::vector<Track> tracks;
    ImportTarget target(store);
    target.m_pTracks = &tracks;
    target.m_newer = nvAccept;
    Cut c;
    c.fOk = pfn(std::span(reinterpret_cast<const BYTE*>(bytes.data()), cb), target);
    c.fTruncatedWarning = std::any_of(target.m_warnings.begin(), target.m_warnings.end(), [](const CError& e) {
        return e.code == ErrorCode::MapSourceFileTruncated;
    });
    for (const auto& w : store.Waypoints()) {
        c.names.push_back(w->strName);
        c.positions.emplace_back(w->lX, w->lY);
    }
    for (const Track& t : tracks) c.trackSizes.push_back(t.points.size());
    return c;
}

struct Sample {
    const char* szPath;
    ImportFn pfn;
    std::size_t cbStride; // every offset for the small files
};

class TruncatedMapSource : public ::testing::TestWithParam<Sample> {};

TEST_P(TruncatedMapSource, WholeRecordsAndAWarning) {
    const auto path = test::CorpusPath(std::string("exchange/") + GetParam().szPath);
    VELKA_REQUIRE_CORPUS(path);
    const std::string bytes = test::ReadFile(path);
    const Cut whole = ImportPrefix(bytes, bytes.size(), GetParam().pfn);
    ASSERT_TRUE(whole.fOk);
    EXPECT_FALSE(whole.fTruncatedWarning);

    std::size_t cLastNames = 0;
    for (std::size_t cb = 0; cb < bytes.size(); cb += GetParam().cbStride) {
        SCOPED_TRACE("cut at " + std::to_string(cb));
        const Cut c = ImportPrefix(bytes, cb, GetParam().pfn);
        if (cb <= 44) {
            EXPECT_FALSE(c.fOk) << "too short to be recognised";
            continue;
        }
        ASSERT_TRUE(c.fOk);
        ASSERT_TRUE(c.fTruncatedWarning);
        // The waypoints are the whole file's first ones, unchanged, and
        // never fewer than at an earlier cut.
        ASSERT_LE(c.names.size(), whole.names.size());
        ASSERT_GE(c.names.size(), cLastNames);
        cLastNames = c.names.size();
        for (std::size_t i = 0; i < c.names.size(); ++i) {
            ASSERT_EQ(c.names[i], whole.names[i]) << i;
            ASSERT_EQ(c.positions[i], whole.positions[i]) << i;
        }
        // A track is taken whole or not at all.
        ASSERT_LE(c.trackSizes.size(), whole.trackSizes.size());
        for (std::size_t i = 0; i < c.trackSizes.size(); ++i) ASSERT_EQ(c.trackSizes[i], whole.trackSizes[i]) << i;
    }
    EXPECT_GE(cLastNames + 1, whole.names.size()) << "a cut in the last record keeps the waypoints before it";
}

INSTANTIATE_TEST_SUITE_P(Samples, TruncatedMapSource,
                         ::testing::Values(Sample{"gdb/cet-sample.gdb", ImportGdb, 1},
                                           Sample{"gdb/gdb-sample-v3-ilinks.gdb", ImportGdb, 1},
                                           Sample{"gdb/gdb-sample.gdb", ImportGdb, 61},
                                           Sample{"gdb/gdb-sample.v1-gpsbabel.gdb", ImportGdb, 59},
                                           Sample{"mps/mapsource.mps", ImportMps, 1}),
                         [](const auto& param) {
                             std::string s = param.param.szPath;
                             for (char& ch : s)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return s;
                         });

// A document of a version the importer refuses still gives its tracks.
TEST(TruncatedMapSourceTracks, TrackReadingWarnsOfTheCut) {
    const auto path = test::CorpusPath("exchange/mps/mps-track.mps");
    VELKA_REQUIRE_CORPUS(path);
    const std::string bytes = test::ReadFile(path);
    const std::span data(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
    std::vector<Track> tracks;
    std::vector<CError> warnings;
    ASSERT_TRUE(ReadMapSourceTracks(data, tracks, &warnings));
    EXPECT_TRUE(warnings.empty());
    ASSERT_EQ(tracks.size(), 1u);
    tracks.clear();
    ASSERT_TRUE(ReadMapSourceTracks(data.first(bytes.size() - 3), tracks, &warnings));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].code, ErrorCode::MapSourceFileTruncated);
    EXPECT_FALSE(ErrorText(warnings[0]).empty());
}

} // namespace
} // namespace velka
