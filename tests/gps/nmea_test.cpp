// The NMEA-0183 decoder: sentence splitting, checksums, the sentences it
// takes, epoch hand-over and its give-up results.
#include <cmath>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "gps/nmea.h"
#include "gps/nmea_text.h"
#include "platform/clock.h"
#include "tests/gps/gps_test_support.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

using test::CRecordingSink;
using test::Feed;
using test::Nmea;

class NmeaTest : public ::testing::Test {
protected:
    NmeaTest() : decoder(4800, true) {
        decoder.m_pSink = &sink;
        decoder.Start();
    }
    // Feeds the sentences, then one of another second so that their fix is
    // handed over; returns the last non-empty fix.
    GpsFix Decode(const std::string& text) {
        Feed(decoder, text);
        Feed(decoder, Nmea("GPGLL,,,,,235959,V") + "$");
        auto v = sink.NonEmpty();
        return v.empty() ? GpsFix{} : v.back();
    }
    test::ScopedSettings settings;
    CRecordingSink sink;
    CNmea0183Protocol decoder;
};

const char* c_szGga = "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";

TEST_F(NmeaTest, GgaOfTheExampleGivesTheFixOnTheNextEpoch) {
    Feed(decoder, Nmea(c_szGga));
    EXPECT_TRUE(sink.NonEmpty().empty()) << "handed over before the epoch ended";
    GpsFix fix = Decode("");
    ASSERT_TRUE(fix.Has(gfPosition));
    EXPECT_NEAR(fix.fLatitude, 48.1173, 1e-4);
    EXPECT_NEAR(fix.fLongitude, 11.516667, 1e-5);
    EXPECT_EQ(fix.nSatellites, 8);
    EXPECT_FLOAT_EQ(fix.fHDOP, 0.9f);
    EXPECT_FLOAT_EQ(fix.fAltitude, 545.4f);
    EXPECT_FLOAT_EQ(fix.fGeoidHeight, 46.9f);
    EXPECT_EQ(fix.nQuality, 3);
    EXPECT_FALSE(fix.Has(gfDiffAge)) << "empty differential fields";
    EXPECT_FALSE(fix.Has(gfDiffStation));
    EXPECT_FALSE(fix.Has(gfTime)) << "GGA carries no date";
}

TEST_F(NmeaTest, QualityZeroRemovesThePositionValues) {
    Feed(decoder, Nmea("GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1"));
    GpsFix fix = Decode(Nmea("GPGGA,123519,4807.038,N,01131.000,E,0,08,0.9,545.4,M,46.9,M,,"));
    EXPECT_EQ(fix.nQuality, 0);
    EXPECT_FALSE(fix.Has(gfPosition));
    EXPECT_FALSE(fix.Has(gfAltitude));
    EXPECT_FALSE(fix.Has(gfHDOP));
    EXPECT_FALSE(fix.Has(gfVDOP));
    EXPECT_TRUE(fix.Has(gfGeoidHeight));
    EXPECT_TRUE(fix.Has(gfSatellites));
}

TEST_F(NmeaTest, GgaQualityDigits) {
    const int expected[] = {0, 3, 5, 6, 7, 8, 9, 10, 11, 1};
    for (char ch = '0'; ch <= '9'; ++ch) {
        CRecordingSink s;
        CNmea0183Protocol d(4800, true);
        d.m_pSink = &s;
        std::string body = "GPGGA,123519,4807.038,N,01131.000,E,";
        body += ch;
        Feed(d, Nmea(body + ",08,0.9,545.4,M,46.9,M,,") + Nmea("GPGLL,,,,,123520,V") + "$");
        ASSERT_EQ(s.NonEmpty().size(), 1u);
        EXPECT_EQ(s.NonEmpty()[0].nQuality, expected[ch - '0']) << ch;
    }
}

TEST_F(NmeaTest, RmcWithVoidStatusOnlyEndsTheEpoch) {
    Feed(decoder, Nmea(c_szGga));
    Feed(decoder, Nmea("GPRMC,123520,V,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W") + "$");
    ASSERT_EQ(sink.NonEmpty().size(), 1u) << "the new time handed over the GGA fix";
    GpsFix fix = Decode("");
    EXPECT_EQ(sink.NonEmpty().size(), 1u) << "nothing taken from the void RMC";
    EXPECT_TRUE(sink.positions.empty());
    (void)fix;
}

TEST_F(NmeaTest, RmcSpeedCourseVariationDateAndLastPosition) {
    GpsFix fix = Decode(Nmea("GPRMC,123519.25,A,4807.038,N,01131.000,W,022.4,084.4,230394,003.1,W"));
    EXPECT_NEAR(fix.fSpeed, 41.4848, 1e-4);
    EXPECT_FLOAT_EQ(fix.fCourse, 84.4f);
    EXPECT_FLOAT_EQ(fix.fMagVar, -3.1f);
    EXPECT_NEAR(fix.fLongitude, -11.516667, 1e-5);
    SYSTEMTIME st;
    st.wYear = 1994, st.wMonth = 3, st.wDay = 23, st.wHour = 12, st.wMinute = 35, st.wSecond = 19;
    double t = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(st, &t));
    EXPECT_NEAR(fix.dTime, t + 0.25 / 86400, 1e-9);
    ASSERT_EQ(sink.clockTimes.size(), 1u) << "the clock is offered the time";
    ASSERT_EQ(sink.positions.size(), 1u);
    EXPECT_TRUE(sink.positions[0].fSpeedValid);
    EXPECT_TRUE(sink.positions[0].fCourseValid);
    EXPECT_NEAR(sink.positions[0].fSpeed, 41.4848, 1e-4);
}

TEST_F(NmeaTest, TwoDigitYears) {
    auto Year = [&](const char* szDate) {
        CRecordingSink s;
        CNmea0183Protocol d(4800, true);
        d.m_pSink = &s;
        Feed(d, Nmea(std::string("GPRMC,120000,A,4807.038,N,01131.000,E,0,0,") + szDate + ",,") +
                    Nmea("GPGLL,,,,,120001,V") + "$");
        SYSTEMTIME st;
        if (s.NonEmpty().empty() || !VariantTimeToSystemTime(s.NonEmpty()[0].dTime, &st)) return 0;
        return static_cast<int>(st.wYear);
    };
    EXPECT_EQ(Year("010199"), 1999);
    EXPECT_EQ(Year("010180"), 1980);
    EXPECT_EQ(Year("311279"), 2079);
}

TEST_F(NmeaTest, SentenceSplitOverTwoReadsIsCompleted) {
    std::string s = Nmea(c_szGga);
    Feed(decoder, s.substr(0, 20));
    Feed(decoder, s.substr(20));
    EXPECT_EQ(decoder.SentenceCount(), 1u) << "taken at its line end";
    GpsFix fix = Decode("");
    EXPECT_EQ(decoder.SentenceCount(), 2u);
    EXPECT_NEAR(fix.fLatitude, 48.1173, 1e-4);
}

TEST_F(NmeaTest, Checksums) {
    // A wrong checksum before CR LF drops the line and counts it.
    std::string bad = Nmea(c_szGga);
    bad[bad.size() - 3] = bad[bad.size() - 3] == '0' ? '1' : '0';
    Feed(decoder, bad);
    Decode("");
    EXPECT_EQ(sink.cChecksumErrors, 1);
    EXPECT_EQ(decoder.ChecksumErrorCount(), 1u);
    EXPECT_TRUE(sink.NonEmpty().empty());

    // Lower-case hex digits are accepted.
    CRecordingSink s2;
    CNmea0183Protocol d2(4800, true);
    d2.m_pSink = &s2;
    std::string lower = Nmea("PGRMZ,93,f,3");
    for (char& c : lower)
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    Feed(d2, lower + Nmea("GPGLL,,,,,000001,V") + Nmea("GPGLL,,,,,000002,V") + "$");
    EXPECT_EQ(s2.cChecksumErrors, 0);

    // Asterisk, digits and LF without CR: taken unchecked.
    CRecordingSink s3;
    CNmea0183Protocol d3(4800, true);
    d3.m_pSink = &s3;
    Feed(d3, std::string("$") + c_szGga + "*00\n" + Nmea("GPGLL,,,,,123520,V") + "$");
    ASSERT_EQ(s3.NonEmpty().size(), 1u);
    EXPECT_EQ(s3.cChecksumErrors, 0);
    EXPECT_EQ(s3.NonEmpty()[0].nSatellites, 8);
}

TEST_F(NmeaTest, DepthTemperatureHeadingAndCarriedValues) {
    Feed(decoder, Nmea("GPGLL,4807.038,N,01131.000,E,120000,A") + Nmea("SDDBT,10.0,f,3.0,M,1.6,F") +
                      Nmea("SDMTW,17.5,C") + Nmea("GPGSA,A,3,,,,,,,,,,,,,2.5,1.3,2.1"));
    Feed(decoder, Nmea("GPGLL,4807.038,N,01131.000,E,120001,A") + Nmea("HCHDG,271.5,,,,"));
    Feed(decoder, Nmea("GPGLL,4807.038,N,01131.000,E,120002,A") +
                      Nmea("GPGLL,4807.038,N,01131.000,E,120003,A") + "$");
    auto v = sink.NonEmpty();
    ASSERT_GE(v.size(), 3u);
    // The first epoch: depth from the metres field, temperature, heading.
    EXPECT_FLOAT_EQ(v[0].fDepth, 3.0f);
    EXPECT_FLOAT_EQ(v[0].fWaterTemp, 17.5f);
    EXPECT_FLOAT_EQ(v[0].fVDOP, 2.1f);
    // Carried into the next epochs: VDOP, depth and temperature only.
    EXPECT_FLOAT_EQ(v[1].fDepth, 3.0f);
    EXPECT_FLOAT_EQ(v[2].fWaterTemp, 17.5f);
    EXPECT_TRUE(v[2].Has(gfVDOP));
    EXPECT_FALSE(v[2].Has(gfHDOP));
    EXPECT_TRUE(v[1].Has(gfCourse)) << "heading of the second epoch";
    EXPECT_FALSE(v[2].Has(gfCourse));

    CRecordingSink s;
    CNmea0183Protocol d(4800, true);
    d.m_pSink = &s;
    Feed(d, Nmea("SDDBT,10.0,f,3.0,F,1.6,F") + Nmea("SDMTW,60.0,F") + Nmea("SDDPT,") +
                Nmea("GPGLL,4807.038,N,01131.000,E,120000,A") + Nmea("GPGLL,,,,,120001,V") + "$");
    ASSERT_FALSE(s.NonEmpty().empty());
    EXPECT_FALSE(s.NonEmpty()[0].Has(gfDepth)) << "depth only in metres";
    EXPECT_FALSE(s.NonEmpty()[0].Has(gfWaterTemp)) << "temperature only in Celsius";
}

TEST_F(NmeaTest, GarminAltitudeAndErrors) {
    GpsFix fix = Decode(Nmea("GPGLL,4807.038,N,01131.000,E,120000,A") + Nmea("PGRMZ,100,f,3") +
                        Nmea("PGRME,15.0,M,45.0,f,25.0,M"));
    EXPECT_NEAR(fix.fAltitude, 30.48, 1e-4);
    EXPECT_FLOAT_EQ(fix.fHorzError, 15.0f);
    EXPECT_NEAR(fix.fVertError, 45.0 * 0.3048, 1e-4);
}

TEST_F(NmeaTest, SatelliteTableFromGsvWithUsedStates) {
    Feed(decoder, Nmea("GPGSA,A,3,01,,,,13,,,,,,,,3.1,2.1,2.0"));
    Feed(decoder, Nmea("GPGSV,2,1,05,01,78,221,47,03,09,042,00,04,05,242,,06,04,149,00") + "$");
    EXPECT_EQ(sink.nCapacity, 5);
    EXPECT_EQ(sink.cCompleted, 0);
    Feed(decoder, Nmea("GPGSV,2,2,05,13,37,235,48,,,,,,,,,,,,") + "$");
    EXPECT_EQ(sink.cCompleted, 1);
    ASSERT_EQ(sink.satellites.size(), 5u);
    EXPECT_EQ(sink.satellites[0].nPRN, 1);
    EXPECT_EQ(sink.satellites[0].nElevation, 78);
    EXPECT_EQ(sink.satellites[0].nAzimuth, 221);
    EXPECT_EQ(sink.satellites[0].nSNR, 47);
    EXPECT_EQ(sink.satellites[0].nState, 2);
    EXPECT_EQ(sink.satellites[1].nState, 1);
    EXPECT_EQ(sink.satellites[4].nPRN, 13);
    EXPECT_EQ(sink.satellites[4].nState, 2);
}

TEST_F(NmeaTest, GsaFixModes) {
    EXPECT_EQ(Decode(Nmea("GPGLL,4807.038,N,01131.000,E,120000,A") + Nmea("GPGSA,A,2,,,,,,,,,,,,,2,1,1")).nQuality, 2);
    GpsFix f = Decode(Nmea("GPGLL,4807.038,N,01131.000,E,120010,A") + Nmea("GPGSA,A,1,,,,,,,,,,,,,2,1,1"));
    EXPECT_EQ(f.nQuality, 0);
    EXPECT_FALSE(f.Has(gfPosition));
    EXPECT_FALSE(f.Has(gfHDOP)) << "removed after the sentence set it";
}

TEST_F(NmeaTest, TalkersOfFixAndSatelliteSentences) {
    GpsFix fix = Decode(Nmea("GNRMC,120000,A,4807.038,N,01131.000,E,1.0,90.0,010120,,"));
    EXPECT_TRUE(fix.Has(gfTime | gfPosition | gfSpeed));
    GpsFix fix2 = Decode(Nmea("INDPT,12.5,0.0") + Nmea("INGGA,130000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
    EXPECT_TRUE(fix2.Has(gfPosition | gfAltitude));
    EXPECT_FLOAT_EQ(fix2.fDepth, 12.5f);
    // Satellites of other constellations stay out of the table.
    Feed(decoder, Nmea("GLGSV,1,1,01,65,78,221,47") + "$");
    EXPECT_EQ(sink.nCapacity, -1);
    // A heading only from the compass talker.
    GpsFix fix3 = Decode(Nmea("GPGLL,4807.038,N,01131.000,E,140000,A") + Nmea("SDHDG,271.5,,,,"));
    EXPECT_FALSE(fix3.Has(gfCourse));
}

TEST_F(NmeaTest, ResultsAndGivingUp) {
    // Nothing decided before a valid sentence, recognised after one.
    EXPECT_EQ(Feed(decoder, "$GPGG"), c_nGpsUndecided);
    EXPECT_EQ(Feed(decoder, Nmea("PGRMM,WGS 84") + "$"), c_nGpsRecognised);

    // A span between two '$' without a sentence gives up.
    CNmea0183Protocol d(4800, true);
    CRecordingSink s;
    d.m_pSink = &s;
    EXPECT_EQ(Feed(d, "$GP\r\n$GPGLL,,,,,,V*00"), c_nGpsGiveUp);

    // 256 bytes without '$' overflow the buffer.
    CNmea0183Protocol d2(4800, true);
    d2.m_pSink = &s;
    EXPECT_EQ(Feed(d2, std::string(200, 'x')), c_nGpsUndecided);
    EXPECT_EQ(Feed(d2, std::string(56, 'x')), c_nGpsGiveUp);
}

TEST_F(NmeaTest, OverlongUnfinishedSentenceIsRefused) {
    // A '$' followed by more than 254 bytes without another '$' cannot be
    // kept for the next read: refused instead of overrunning the buffer
    // while no checksummed sentence has been seen; dropped as noise after one.
    CNmea0183Protocol d(4800, true);
    CRecordingSink s;
    d.m_pSink = &s;
    EXPECT_EQ(Feed(d, "$" + std::string(254, 'A')), c_nGpsUndecided);
    CNmea0183Protocol d2(4800, true);
    d2.m_pSink = &s;
    EXPECT_EQ(Feed(d2, "$PGRMM,WGS 84\r\n$" + std::string(300, 'A')), c_nGpsGiveUp);
    CNmea0183Protocol d3(4800, true);
    d3.m_pSink = &s;
    EXPECT_NE(Feed(d3, Nmea("PGRMM,WGS 84") + "$" + std::string(300, 'A')), c_nGpsGiveUp);
    Feed(d3, Nmea(c_szGga) + Nmea("GPGLL,,,,,123520,V") + "$");
    ASSERT_EQ(s.NonEmpty().size(), 1u) << "decoding goes on after the dropped bytes";
    EXPECT_EQ(s.NonEmpty()[0].nSatellites, 8);
}

// Bytes of a binary burst: every value but '$', so that only the sentences
// around them can start one.
std::string NoiseBurst(std::size_t cb, unsigned nSeed) {
    std::string noise;
    for (std::size_t i = 0; i < cb; ++i) {
        nSeed = nSeed * 1103515245u + 12345u;
        char ch = static_cast<char>((nSeed >> 16) & 0xFF);
        noise += ch == '$' ? '%' : ch;
    }
    return noise;
}

TEST_F(NmeaTest, NoiseBurstsBetweenSentencesLoseNoSentence) {
    // One GGA a second, each followed by a burst of 180 to 600 bytes, fed
    // in reads of 64 bytes as a port delivers them; sentences ending in CR
    // LF, and in a bare LF as some receivers send them.
    for (const char* szEnd : {"\r\n", "\n"}) {
        CRecordingSink s;
        CNmea0183Protocol d(4800, true);
        d.m_pSink = &s;
        d.Start();
        std::string stream;
        const int c_cSeconds = 40;
        for (int i = 0; i < c_cSeconds; ++i) {
            char sz[96];
            std::snprintf(sz, sizeof sz, "GPGGA,1200%02d,4807.%03d,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", i, i);
            std::string sentence = Nmea(sz);
            sentence.replace(sentence.size() - 2, 2, szEnd);
            stream += sentence + NoiseBurst(180 + 11 * static_cast<std::size_t>(i), static_cast<unsigned>(i));
            // Some bursts contain a stray '$' of their own.
            if (i % 5 == 0) stream += "$\x01\x02junk\xFF\r\n";
        }
        stream += Nmea("GPGLL,,,,,235959,V") + "$";
        for (std::size_t i = 0; i < stream.size(); i += 64)
            ASSERT_NE(Feed(d, stream.substr(i, 64)), c_nGpsGiveUp) << "at byte " << i;
        auto fixes = s.NonEmpty();
        ASSERT_EQ(fixes.size(), static_cast<std::size_t>(c_cSeconds));
        for (int i = 0; i < c_cSeconds; ++i)
            EXPECT_NEAR(fixes[i].fLatitude, 48 + (7 + i / 1000.0) / 60, 1e-5) << i;
    }

    // The same noise without any checksummed sentence is refused quickly:
    // a port at the wrong bit rate.
    CNmea0183Protocol d(4800, true);
    d.m_pSink = &sink;
    int nResult = c_nGpsUndecided;
    std::string noise = NoiseBurst(4000, 7);
    std::size_t i = 0;
    for (; i < noise.size() && nResult != c_nGpsGiveUp; i += 64) nResult = Feed(d, noise.substr(i, 64));
    EXPECT_EQ(nResult, c_nGpsGiveUp);
    EXPECT_LE(i, 320u) << "within the first sentence's worth of bytes";
}

TEST_F(NmeaTest, NoiseIsToleratedOnlyWhileSentencesKeepComing) {
    DWORD dwNow = 100000;
    SetTickSourceForTest([&] { return dwNow; });
    CNmea0183Protocol d(4800, true); // 10000 ms silence limit
    d.m_pSink = &sink;
    d.Start();
    EXPECT_EQ(Feed(d, Nmea(c_szGga) + "$"), c_nGpsRecognised);
    dwNow += 5000;
    EXPECT_NE(Feed(d, NoiseBurst(300, 1)), c_nGpsGiveUp);
    dwNow += 5001;
    EXPECT_EQ(Feed(d, NoiseBurst(300, 2)), c_nGpsGiveUp) << "only noise for longer than the silence limit";
    SetTickSourceForTest({});
}

TEST_F(NmeaTest, DoubledDollarStartsTheSentence) {
    std::string stream;
    for (int i = 0; i < 5; ++i) {
        char sz[96];
        std::snprintf(sz, sizeof sz, "GPGGA,1200%02d,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", i);
        stream += "$" + Nmea(sz);
    }
    EXPECT_NE(Feed(decoder, stream + "$$"), c_nGpsGiveUp);
    EXPECT_EQ(Feed(decoder, Nmea("GPGLL,,,,,235959,V") + "$"), c_nGpsRecognised);
    EXPECT_EQ(sink.NonEmpty().size(), 5u);
}

TEST_F(NmeaTest, ImpossiblePositionsAndSpeedsAreNotTaken) {
    // Unchecked sentences (no checksum) are still read, but what they say
    // must lie on the globe.
    Feed(decoder, "$GPGGA,120000,9958.800,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,\r\n");
    Feed(decoder, "$GPGGA,120001,4807.038,N,49300.000,E,1,08,0.9,545.4,M,46.9,M,,\r\n");
    Feed(decoder, "$GPGGA,120002,4875.000,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,\r\n");
    Feed(decoder, Nmea("GPRMC,120003,A,4807.038,N,01131.000,E,9999.0,084.4,230394,,"));
    GpsFix fix = Decode("");
    auto fixes = sink.NonEmpty();
    ASSERT_EQ(fixes.size(), 4u);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(fixes[i].Has(gfPosition)) << i;
    EXPECT_TRUE(fix.Has(gfPosition));
    EXPECT_FALSE(fix.Has(gfSpeed)) << "about 18,500 km/h";
    ASSERT_EQ(sink.positions.size(), 1u);
    EXPECT_FALSE(sink.positions[0].fSpeedValid);
}

TEST_F(NmeaTest, SilenceAndTheSixSecondHandOver) {
    DWORD dwNow = 100000;
    SetTickSourceForTest([&] { return dwNow; });
    CNmea0183Protocol d(4800, false); // 5000 ms silence limit
    CRecordingSink s;
    d.m_pSink = &s;
    d.m_pPort = nullptr;
    d.Start();
    dwNow += 5000;
    EXPECT_EQ(d.OnData(nullptr, 0), c_nGpsUndecided);
    dwNow += 1;
    EXPECT_EQ(d.OnData(nullptr, 0), c_nGpsGiveUp);

    CNmea0183Protocol d2(4800, true); // 10000 ms
    d2.m_pSink = &s;
    d2.Start();
    dwNow += 10000;
    EXPECT_EQ(d2.OnData(nullptr, 0), c_nGpsUndecided);
    // Data without time fields is handed over after 6 s.
    Feed(d2, Nmea("PGRMZ,100,f,3") + "$");
    std::size_t c = s.fixes.size();
    dwNow += 6001;
    Feed(d2, "GPVTG,,T,,M,,N,,K*4E\r\n");
    EXPECT_EQ(s.fixes.size(), c + 1);
    EXPECT_TRUE(s.fixes.back().Has(gfAltitude));
    SetTickSourceForTest({});
}

TEST(NmeaNumbers, Readers) {
    auto R = [](const std::string& s) { return NmeaReadReal(s.data(), s.data() + s.size()); };
    auto I = [](const std::string& s) { return NmeaReadInt(s.data(), s.data() + s.size()); };
    EXPECT_DOUBLE_EQ(R("  -12.5"), -12.5);
    EXPECT_DOUBLE_EQ(R(".25"), 0.25);
    EXPECT_DOUBLE_EQ(R("abc"), 0);
    EXPECT_DOUBLE_EQ(R("0.000000000000000000000000000001"), 0);
    EXPECT_NEAR(R("123456789012345678901234"), 1.2345678901234568e23, 1e9);
    EXPECT_EQ(I("+08"), 8);
    EXPECT_EQ(I("99999999999999999999"), 0x7FFFFFFF);
}

TEST(NmeaText, CommentLinesAndRestarts) {
    CRecordingSink s;
    CNmea0183Protocol d(4800, true);
    d.m_pSink = &s;
    d.Start();
    CNmeaTextFeeder feeder(&d);
    std::string text = "# a comment line\n" + std::string(300, 'z') + "\n" + Nmea(c_szGga) +
                       Nmea("GPGLL,4807.038,N,01131.000,E,123521,A");
    // In pieces that cut lines.
    for (std::size_t i = 0; i < text.size(); i += 7) feeder.Feed(std::string_view(text).substr(i, 7));
    feeder.Finish();
    EXPECT_EQ(feeder.RestartCount(), 1u) << "the overlong line";
    auto v = s.NonEmpty();
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].nSatellites, 8);
    EXPECT_TRUE(v[1].Has(gfPosition)) << "the last fix is handed over at the end";
}

} // namespace
} // namespace velka
