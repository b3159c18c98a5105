// Live reads cut a noisy stream anywhere: receiver captures spoiled with
// dropped bytes, wrong checksums, cut lines and binary garbage (stray '$'
// and line ends included) give the same fixes through reads of random sizes
// as through the line-wise file decoder, and the reader never gives up.
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gps/nmea.h"
#include "gps/nmea_text.h"
#include "tests/gps/gps_test_support.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

// The capture without its comment lines, spoiled line by line.
std::string Spoil(const std::string& capture, unsigned nSeed) {
    std::mt19937 rng(nSeed);
    auto Chance = [&](int nPercent) { return static_cast<int>(rng() % 100) < nPercent; };
    std::string out;
    std::size_t i = 0;
    while (i < capture.size()) {
        std::size_t nl = capture.find('\n', i);
        std::string line = capture.substr(i, nl == std::string::npos ? std::string::npos : nl + 1 - i);
        i = nl == std::string::npos ? capture.size() : nl + 1;
        if (line.empty() || line[0] == '#') continue;
        const std::size_t star = line.rfind('*');
        if (line.size() > 12 && Chance(8)) {
            line.erase(1 + rng() % (line.size() - 5), 1);
        } else if (star != std::string::npos && star + 2 < line.size() && Chance(6)) {
            line[star + 1] = line[star + 1] == '0' ? '1' : '0';
        } else if (line.size() > 6 && Chance(6)) {
            line.resize(5 + rng() % (line.size() - 5));
        }
        out += line;
        if (Chance(30)) {
            const std::size_t cb = 1 + rng() % 400;
            for (std::size_t k = 0; k < cb; ++k) out += static_cast<char>(rng() & 0xFF);
        }
    }
    return out;
}

struct Decoded {
    std::vector<GpsFix> fixes;
    int cGiveUps = 0;
};

Decoded ByLines(const std::string& stream) {
    test::CRecordingSink sink;
    CNmea0183Protocol decoder(4800, true);
    decoder.m_pSink = &sink;
    decoder.Start();
    CNmeaTextFeeder feeder(&decoder);
    feeder.Feed(stream);
    feeder.Finish();
    return {sink.NonEmpty(), static_cast<int>(feeder.RestartCount())};
}

// As the port reader delivers it: pieces of 1 to 700 bytes.
Decoded ByReads(const std::string& stream, unsigned nSeed) {
    std::mt19937 rng(nSeed);
    test::CRecordingSink sink;
    CNmea0183Protocol decoder(4800, false);
    decoder.m_pSink = &sink;
    decoder.Start();
    Decoded r;
    bool fRecognised = false;
    for (std::size_t i = 0; i < stream.size();) {
        const std::size_t cb = std::min<std::size_t>(1 + rng() % 700, stream.size() - i);
        const int nResult =
            decoder.OnData(reinterpret_cast<const BYTE*>(stream.data() + i), static_cast<DWORD>(cb));
        if (nResult == c_nGpsRecognised) fRecognised = true;
        if (nResult == c_nGpsGiveUp && fRecognised) ++r.cGiveUps;
        i += cb;
    }
    decoder.Finish();
    r.fixes = sink.NonEmpty();
    return r;
}

class NoisyStreamTest : public ::testing::TestWithParam<const char*> {};

TEST_P(NoisyStreamTest, ReadsOfAnySizeGiveTheFixesOfTheFileDecoder) {
    auto log = test::CorpusPath(std::string("gps/nmea/") + GetParam() + ".log");
    VELKA_REQUIRE_CORPUS(log);
    const std::string capture = test::ReadFile(log);
    for (unsigned nSeed = 1; nSeed <= 6; ++nSeed) {
        const std::string stream = Spoil(capture, nSeed);
        const Decoded lines = ByLines(stream);
        ASSERT_GT(lines.fixes.size(), 2u) << "seed " << nSeed;
        for (unsigned nCut = 1; nCut <= 4; ++nCut) {
            const Decoded reads = ByReads(stream, nSeed * 100 + nCut);
            EXPECT_EQ(reads.cGiveUps, 0) << "seed " << nSeed << ", cut " << nCut;
            ASSERT_EQ(reads.fixes.size(), lines.fixes.size()) << "seed " << nSeed << ", cut " << nCut;
            for (std::size_t k = 0; k < lines.fixes.size(); ++k) {
                EXPECT_EQ(reads.fixes[k].dwFlags, lines.fixes[k].dwFlags) << nSeed << "/" << nCut << " #" << k;
                EXPECT_EQ(reads.fixes[k].dTime, lines.fixes[k].dTime) << nSeed << "/" << nCut << " #" << k;
                EXPECT_EQ(reads.fixes[k].fLatitude, lines.fixes[k].fLatitude) << nSeed << "/" << nCut << " #" << k;
                EXPECT_EQ(reads.fixes[k].fLongitude, lines.fixes[k].fLongitude) << nSeed << "/" << nCut << " #" << k;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Captures, NoisyStreamTest,
                         ::testing::Values("garmin48", "foretrex-201", "tn200", "gp-320fw-2019-04-07-coldboot",
                                           "humminbird-M37", "firefly-II"),
                         [](const auto& param) {
                             std::string s = param.param;
                             for (char& ch : s)
                                 if (ch == '-') ch = '_';
                             return s;
                         });

} // namespace
} // namespace velka
