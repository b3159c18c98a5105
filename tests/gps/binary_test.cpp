// The Garmin and SiRF binary decoders: framing, handshakes, records to
// fixes and satellite tables.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gps/garmin.h"
#include "gps/sirf.h"
#include "platform/clock.h"
#include "tests/gps/gps_test_support.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

using Bytes = std::vector<BYTE>;

// A Garmin packet on the wire: DLE, id, size, data, checksum, DLE, ETX,
// with every 0x10 of size, data and checksum doubled.
Bytes GarminFrame(BYTE id, const Bytes& data) {
    Bytes body = {id, static_cast<BYTE>(data.size())};
    body.insert(body.end(), data.begin(), data.end());
    BYTE sum = 0;
    for (BYTE b : body) sum = static_cast<BYTE>(sum + b);
    body.push_back(static_cast<BYTE>(-sum));
    Bytes out = {0x10};
    for (std::size_t i = 0; i < body.size(); ++i) {
        out.push_back(body[i]);
        if (i > 0 && body[i] == 0x10) out.push_back(0x10);
    }
    out.push_back(0x10);
    out.push_back(0x03);
    return out;
}

template <typename T> void Put(Bytes& b, std::size_t at, T v) { std::memcpy(b.data() + at, &v, sizeof v); }

Bytes Pvt(short nFix, double dTow, short nLeap, int nDays) {
    Bytes d(64, 0);
    Put<float>(d, 0, 100.0f);           // altitude over the ellipsoid
    Put<float>(d, 8, 8.0f);             // horizontal error, 2 sigma
    Put<float>(d, 12, 12.0f);           // vertical error
    Put<short>(d, 16, nFix);
    Put<double>(d, 18, dTow);
    Put<double>(d, 26, 55.75 * M_PI / 180);
    Put<double>(d, 34, 37.62 * M_PI / 180);
    Put<float>(d, 42, 3.0f);            // east
    Put<float>(d, 46, 4.0f);            // north
    Put<float>(d, 50, 0.0f);            // up
    Put<float>(d, 54, -15.0f);          // mean sea level over the ellipsoid
    Put<short>(d, 58, nLeap);
    Put<int>(d, 60, nDays);
    return d;
}

int FeedBytes(CGpsProtocol& d, const Bytes& b) { return d.OnData(b.data(), static_cast<DWORD>(b.size())); }

class GarminTest : public ::testing::Test {
protected:
    GarminTest() {
        SetTickSourceForTest([this] { return m_dwTick; });
        garmin.m_pSink = &sink;
        garmin.Start(); // without a port: the request goes nowhere
    }
    ~GarminTest() override { SetTickSourceForTest({}); }
    DWORD m_dwTick = 1000000;
    test::CRecordingSink sink;
    CGarminProtocol garmin;
};

TEST_F(GarminTest, EchoIsIgnoredAndTheAcknowledgementSwitchesPvtOn) {
    EXPECT_EQ(garmin.OnData(CGarminProtocol::c_abStartPvt, 8), c_nGpsUndecided);
    EXPECT_EQ(FeedBytes(garmin, GarminFrame(6, {10, 0})), c_nGpsRecognised);
    // Acknowledged: no give-up, and after 700 ms of silence a new request.
    m_dwTick += 699;
    EXPECT_EQ(garmin.OnData(nullptr, 0), c_nGpsUndecided);
    m_dwTick += 5000;
    EXPECT_EQ(garmin.OnData(nullptr, 0), c_nGpsUndecided) << "the request is repeated";
    m_dwTick += 3001;
    EXPECT_EQ(garmin.OnData(nullptr, 0), c_nGpsGiveUp) << "the repeated request went unanswered";
}

TEST_F(GarminTest, NoAnswerOrRejection) {
    m_dwTick += 3000;
    EXPECT_EQ(garmin.OnData(nullptr, 0), c_nGpsUndecided);
    m_dwTick += 1;
    EXPECT_EQ(garmin.OnData(nullptr, 0), c_nGpsGiveUp);

    CGarminProtocol g2;
    g2.m_pSink = &sink;
    g2.Start();
    EXPECT_EQ(FeedBytes(g2, GarminFrame(21, {10, 0})), c_nGpsRecognised);
    EXPECT_EQ(g2.OnData(nullptr, 0), c_nGpsGiveUp) << "NAK";
}

TEST_F(GarminTest, PvtRecordToFix) {
    // Leap seconds 16 (0x10) are sent doubled.
    Bytes frame = GarminFrame(51, Pvt(3, 388800, 16, 7000));
    EXPECT_EQ(FeedBytes(garmin, frame), c_nGpsRecognised);
    ASSERT_EQ(sink.fixes.size(), 1u);
    const GpsFix& f = sink.fixes[0];
    EXPECT_DOUBLE_EQ(f.dTime, 32873 + 7000 + (388800.0 - 16) / 86400);
    EXPECT_NEAR(f.fLatitude, 55.75, 1e-5);
    EXPECT_NEAR(f.fLongitude, 37.62, 1e-5);
    EXPECT_FLOAT_EQ(f.fAltitude, 85);
    EXPECT_FLOAT_EQ(f.fGeoidHeight, 15);
    EXPECT_FLOAT_EQ(f.fHorzError, 4);
    EXPECT_FLOAT_EQ(f.fVertError, 6);
    EXPECT_NEAR(f.fSpeed, 18, 1e-4);
    EXPECT_NEAR(f.fCourse, std::atan2(3.0, 4.0) * 180 / M_PI, 1e-3);
    EXPECT_EQ(f.nSatellites, -1);
    EXPECT_EQ(f.nQuality, 3);
    ASSERT_EQ(sink.positions.size(), 1u);
    EXPECT_TRUE(sink.positions[0].fSpeedValid);

    // The same record split anywhere across reads.
    test::CRecordingSink s2;
    CGarminProtocol g2;
    g2.m_pSink = &s2;
    for (BYTE b : frame) g2.OnData(&b, 1);
    ASSERT_EQ(s2.fixes.size(), 1u);
    EXPECT_DOUBLE_EQ(s2.fixes[0].dTime, f.dTime);
}

TEST_F(GarminTest, UnusableShortAndCorruptRecords) {
    FeedBytes(garmin, GarminFrame(51, Pvt(1, 0, 0, 0)));
    EXPECT_TRUE(sink.fixes.empty());
    EXPECT_EQ(sink.cNoPosition, 1);
    // 60 data bytes: rejected, no fix, decoding goes on.
    Bytes shortPvt = Pvt(3, 0, 0, 0);
    shortPvt.resize(60);
    EXPECT_EQ(FeedBytes(garmin, GarminFrame(51, shortPvt)), c_nGpsRecognised);
    EXPECT_TRUE(sink.fixes.empty());
    // A wrong checksum is counted and the packet dropped.
    Bytes bad = GarminFrame(51, Pvt(3, 0, 0, 0));
    bad[bad.size() - 3] ^= 1;
    EXPECT_EQ(FeedBytes(garmin, bad), c_nGpsRecognised);
    EXPECT_EQ(sink.cChecksumErrors, 1);
    EXPECT_TRUE(sink.fixes.empty());
    // A size that does not match the packet ends the attempt.
    Bytes wrong = {0x10, 51, 5, 1, 2, 0, 0, 0, 0};
    BYTE sum = 0;
    for (std::size_t i = 1; i < wrong.size(); ++i) sum = static_cast<BYTE>(sum + wrong[i]);
    wrong.push_back(static_cast<BYTE>(-sum));
    wrong.push_back(0x10);
    wrong.push_back(0x03);
    EXPECT_EQ(FeedBytes(garmin, wrong), c_nGpsGiveUp);
    // Bytes beyond the buffer are dropped, never written past it.
    CGarminProtocol g2;
    g2.m_pSink = &sink;
    Bytes flood(1000, 0x55);
    flood.insert(flood.begin(), {0x10, 0x33});
    EXPECT_EQ(FeedBytes(g2, flood), c_nGpsUndecided);
}

TEST_F(GarminTest, SatellitePackets) {
    Bytes old(96, 0);
    for (int i = 0; i < 12; ++i) old[i * 8 + 5] = 255;
    old[5] = 6;  old[3] = 40; old[4] = 55; // satellite 7
    old[8 + 5] = 0; old[8 + 3] = 30;       // satellite 1
    FeedBytes(garmin, GarminFrame(26, old));
    ASSERT_EQ(sink.satellites.size(), 2u);
    EXPECT_EQ(sink.nCapacity, 2);
    EXPECT_EQ(sink.satellites[0].nPRN, 7);
    EXPECT_EQ(sink.satellites[0].nElevation, 55);
    EXPECT_EQ(sink.satellites[0].nSNR, 40);
    EXPECT_EQ(sink.satellites[0].nState, 0);
    EXPECT_EQ(sink.satellites[1].nPRN, 1);

    Bytes data(84, 0);
    for (int i = 0; i < 12; ++i) data[i * 7] = 255;
    auto Rec = [&](int i, BYTE prn, short snr, BYTE el, unsigned short az, BYTE status) {
        data[i * 7] = prn;
        Put<short>(data, i * 7 + 1, snr);
        data[i * 7 + 3] = el;
        Put<unsigned short>(data, i * 7 + 4, az);
        data[i * 7 + 6] = status;
    };
    Rec(0, 3, 1700, 50, 307, 4);
    Rec(1, 1, -100, 18, 240, 0);
    FeedBytes(garmin, GarminFrame(114, data));
    ASSERT_EQ(sink.satellites.size(), 2u);
    EXPECT_EQ(sink.cCompleted, 2);
    EXPECT_EQ(sink.satellites[0].nPRN, 3);
    EXPECT_EQ(sink.satellites[0].nSNR, 17);
    EXPECT_EQ(sink.satellites[0].nAzimuth, 307);
    EXPECT_EQ(sink.satellites[0].nState, 2);
    EXPECT_EQ(sink.satellites[1].nSNR, 0);
    EXPECT_EQ(sink.satellites[1].nState, 1);
}

// A SiRF frame: A0 A2, length, payload, 15-bit sum, B0 B3.
Bytes SirfFrame(const Bytes& payload) {
    Bytes out = {0xA0, 0xA2, static_cast<BYTE>(payload.size() >> 8), static_cast<BYTE>(payload.size())};
    out.insert(out.end(), payload.begin(), payload.end());
    unsigned sum = 0;
    for (BYTE b : payload) sum += b;
    sum &= 0x7FFF;
    out.push_back(static_cast<BYTE>(sum >> 8));
    out.push_back(static_cast<BYTE>(sum));
    out.push_back(0xB0);
    out.push_back(0xB3);
    return out;
}

void PutBE(Bytes& b, std::size_t at, unsigned long v, int cb) {
    for (int i = 0; i < cb; ++i) b[at + i] = static_cast<BYTE>(v >> (8 * (cb - 1 - i)));
}

class SirfTest : public ::testing::Test {
protected:
    SirfTest() {
        SetTickSourceForTest([this] { return m_dwTick; });
        sirf = CSiRFProtocol(); // its clock starts now
        sirf.m_pSink = &sink;
    }
    ~SirfTest() override { SetTickSourceForTest({}); }
    DWORD m_dwTick = 1000000;
    test::CRecordingSink sink;
    CSiRFProtocol sirf;
};

TEST_F(SirfTest, EmptyMessageAndSyncAcrossReads) {
    Bytes empty = {0xA0, 0xA2, 0x00, 0x00, 0x00, 0x00, 0xB0, 0xB3};
    EXPECT_EQ(FeedBytes(sirf, empty), c_nGpsRecognised);
    EXPECT_EQ(FeedBytes(sirf, {0x11, 0xA0}), c_nGpsUndecided);
    EXPECT_EQ(FeedBytes(sirf, {0xA2, 0x00, 0x00, 0x00, 0x00, 0xB0}), c_nGpsUndecided);
    EXPECT_EQ(FeedBytes(sirf, {0xB3}), c_nGpsRecognised);
    EXPECT_EQ(sirf.MessageCount(), 2u);
}

TEST_F(SirfTest, NavigationMessageToFix) {
    Bytes p(41, 0);
    p[0] = 2;
    PutBE(p, 1, 2846000, 4);
    PutBE(p, 5, 2200000, 4);
    PutBE(p, 9, 5249000, 4);
    PutBE(p, 13, static_cast<unsigned short>(-8 * 3), 2); // vX -3 m/s
    p[19] = 4;
    p[20] = 12; // HDOP 2.4
    PutBE(p, 22, 100, 2);
    PutBE(p, 24, 36000000, 4); // 100 hours into the week
    p[28] = 7;
    EXPECT_EQ(FeedBytes(sirf, SirfFrame(p)), c_nGpsRecognised);
    ASSERT_EQ(sink.fixes.size(), 1u);
    const GpsFix& f = sink.fixes[0];
    EXPECT_NEAR(f.fLatitude, 55.7, 0.1);
    EXPECT_NEAR(f.fLongitude, 37.7, 0.1);
    EXPECT_EQ(f.nQuality, 3);
    EXPECT_FLOAT_EQ(f.fHDOP, 2.4f);
    EXPECT_EQ(f.nSatellites, 7);
    EXPECT_NEAR(f.fSpeed, 10.8, 1e-4);
    EXPECT_TRUE(f.Has(gfAltitude | gfGeoidHeight | gfCourse | gfVertSpeed));
    // GPS time less the leap seconds.
    EXPECT_NEAR(f.dTime, 36394 + 700 + (360000.0 - 18) / 86400, 1e-9);

    // Mode 0: a fix without position, quality 0.
    p[19] = 0;
    FeedBytes(sirf, SirfFrame(p));
    ASSERT_EQ(sink.fixes.size(), 2u);
    EXPECT_EQ(sink.fixes[1].nQuality, 0);
    EXPECT_FALSE(sink.fixes[1].Has(gfPosition));
    // Mode 2: 2D.
    p[19] = 2;
    FeedBytes(sirf, SirfFrame(p));
    EXPECT_EQ(sink.fixes.back().nQuality, 2);
}

TEST(Sirf, EcefToGeodeticMatchesAKnownPoint) {
    // 55.75 N, 37.62 E, 150 m over the ellipsoid.
    double lat = 55.75 * M_PI / 180, lon = 37.62 * M_PI / 180, h = 150;
    double a = 6378137.0, e2 = 0.00669437999014;
    double n = a / std::sqrt(1 - e2 * std::sin(lat) * std::sin(lat));
    double x = (n + h) * std::cos(lat) * std::cos(lon), y = (n + h) * std::cos(lat) * std::sin(lon);
    double z = (n * (1 - e2) + h) * std::sin(lat);
    GeodeticState g = EcefToGeodetic(x, y, z, 0, 0, 1);
    EXPECT_NEAR(g.dLat, 55.75, 1e-5);
    EXPECT_NEAR(g.dLon, 37.62, 1e-5);
    EXPECT_NEAR(g.dHeight, 150, 0.01);
    EXPECT_NEAR(g.dUp, std::sin(lat), 1e-9);
    EXPECT_NEAR(g.dNorth, std::cos(lat), 1e-9);
}

TEST_F(SirfTest, TrackerMessageToSatellites) {
    Bytes p(8 + 12 * 15, 0);
    p[0] = 4;
    p[7] = 12;
    for (int i = 0; i < 12; ++i) {
        BYTE* c = p.data() + 8 + i * 15;
        c[0] = static_cast<BYTE>(i == 3 ? 0 : i + 1);
        c[1] = 100; // azimuth 150
        c[2] = 90;  // elevation 45
        c[4] = i == 0 ? 0x81 : 0x01;
        for (int k = 0; k < 10; ++k) c[5 + k] = static_cast<BYTE>(40 + k);
    }
    FeedBytes(sirf, SirfFrame(p));
    ASSERT_EQ(sink.satellites.size(), 3u) << "leading channels until the first empty one";
    EXPECT_EQ(sink.nCapacity, 3);
    EXPECT_EQ(sink.satellites[0].nAzimuth, 150);
    EXPECT_EQ(sink.satellites[0].nElevation, 45);
    EXPECT_EQ(sink.satellites[0].nSNR, 44);
    EXPECT_EQ(sink.satellites[0].nState, 2);
    EXPECT_EQ(sink.satellites[1].nState, 1);
    // A channel count beyond the payload is bounded by it.
    Bytes q(8 + 2 * 15, 0);
    q[0] = 4;
    q[7] = 200;
    q[8] = 5;
    q[8 + 15] = 6;
    FeedBytes(sirf, SirfFrame(q));
    EXPECT_EQ(sink.satellites.size(), 2u);
}

TEST_F(SirfTest, BadFramesAndSilence) {
    Bytes p = {2, 0, 0};
    Bytes bad = SirfFrame(p);
    bad[bad.size() - 3] ^= 1;
    EXPECT_EQ(FeedBytes(sirf, bad), c_nGpsUndecided);
    Bytes badEnd = SirfFrame(p);
    badEnd.back() = 0;
    EXPECT_EQ(FeedBytes(sirf, badEnd), c_nGpsUndecided);
    EXPECT_EQ(FeedBytes(sirf, {0xA0, 0xA2, 0x07, 0xF8}), c_nGpsUndecided) << "2040 bytes: too long";
    EXPECT_EQ(FeedBytes(sirf, SirfFrame({9})), c_nGpsRecognised) << "resynchronised";
    m_dwTick += 5000;
    EXPECT_EQ(sirf.OnData(nullptr, 0), c_nGpsUndecided);
    m_dwTick += 1;
    EXPECT_EQ(sirf.OnData(nullptr, 0), c_nGpsGiveUp);
    EXPECT_TRUE(sink.fixes.empty());
}

} // namespace
} // namespace velka
