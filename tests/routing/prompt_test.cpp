// The prompt queue (superseding, priorities, "then" merges), sound
// skipping, and the wave reader on good and damaged files, with a fake
// wave output in place of the sound device.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "routing/prompt_player.h"
#include "routing/wave_file.h"
#include "shell/settings.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

std::vector<std::uint8_t> MakeWave(std::uint32_t cbData, std::uint32_t nRate = 8000) {
    std::vector<std::uint8_t> v;
    auto put32 = [&](std::uint32_t x) { for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i))); };
    auto put16 = [&](std::uint16_t x) { v.push_back(static_cast<std::uint8_t>(x)); v.push_back(static_cast<std::uint8_t>(x >> 8)); };
    auto tag = [&](const char* s) { for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(s[i])); };
    tag("RIFF"); put32(36 + cbData); tag("WAVE");
    tag("fmt "); put32(16); put16(1); put16(1); put32(nRate); put32(nRate * 2); put16(2); put16(16);
    tag("data"); put32(cbData);
    v.resize(v.size() + cbData, 0);
    return v;
}

class CFakeWaveOut : public IWaveOut {
public:
    int Play(const WaveFormat&, std::span<const std::uint8_t> data, std::function<void()>) override {
        if (m_nFail) return m_nFail;
        m_cbLast = data.size();
        ++m_cPlays;
        return 0;
    }
    void Reset() override { ++m_cResets; }
    std::string ErrorText(int) const override { return "no device"; }
    int m_nFail = 0;
    int m_cPlays = 0;
    int m_cResets = 0;
    std::size_t m_cbLast = 0;
};

class PromptTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = m_tmp.Path();
        for (const char* sz : {"Pre", "TurnRight", "TurnLeft", "then", "Right", "GPSMissing", "GPSConnected",
                               "ACPowerOff", "RoundAbout", "1st", "RouteEnd"}) {
            std::vector<std::uint8_t> w = MakeWave(1600);
            std::ofstream(m_dir / (std::string(sz) + ".wav"), std::ios::binary)
                .write(reinterpret_cast<const char*>(w.data()), static_cast<std::streamsize>(w.size()));
        }
        m_player = std::make_unique<CPromptPlayer>(&m_out, m_dir.string());
        m_player->m_fnPostHandle = [] {};
        m_player->m_fnPostDone = [] {};
        m_player->m_fnReportError = [this](const std::string&, int, const std::string&) { ++m_cErrors; };
        m_player->m_fnLogSound = [this](const std::string& s) { m_said.push_back(s); };
    }
    void TearDown() override {
        m_player.reset();
    }
    // Plays everything queued to the end, as completions would.
    std::vector<std::string> SpeakAll() {
        m_player->Handle();
        for (int i = 0; i < 100 && m_player->IsPlaying(); ++i) m_player->Next();
        return m_said;
    }
    static std::vector<std::string> Sounds(const CPrompt& p) {
        std::vector<SoundName> list;
        p.BuildSoundList(list);
        std::vector<std::string> v;
        for (auto& s : list) v.push_back(s.strName);
        return v;
    }

    test::TempDir m_tmp;
    std::filesystem::path m_dir;
    CFakeWaveOut m_out;
    std::unique_ptr<CPromptPlayer> m_player;
    std::vector<std::string> m_said;
    int m_cErrors = 0;
    test::ScopedSettings m_settings;
};

using V = std::vector<std::string>;

TEST_F(PromptTest, SoundListsOfManoeuvres) {
    EXPECT_EQ(Sounds(CManoeuvrePrompt(pcRight, true, 0)), (V{"Pre", "TurnRight"}));
    EXPECT_EQ(Sounds(CManoeuvrePrompt(pcRoundabout, false, 6)), (V{"RoundAbout"}));
    EXPECT_EQ(Sounds(CManoeuvrePrompt(pcRoundabout, false, 3)), (V{"RoundAbout", "3rd"}));
    EXPECT_EQ(Sounds(CManoeuvrePrompt(42, false, 0)), V{});
    EXPECT_EQ(Sounds(CManoeuvrePrompt(pcUTurnLeft, false, 0)), (V{"UTurnLeft"}));
}

TEST_F(PromptTest, GroupSupersedesAndPriorities) {
    m_player->RaiseGps(gpMissing);
    m_player->RaiseGps(gpConnected);
    ASSERT_EQ(m_player->QueuedCount(), 1u);
    // A power prompt queued before a manoeuvre is said after it.
    m_player->RaisePower(ppACOff);
    m_player->Raise(std::make_unique<CManoeuvrePrompt>(pcLeft, false, 0));
    EXPECT_EQ(SpeakAll(), (V{"TurnLeft", "GPSConnected", "ACPowerOff"}));
}

TEST_F(PromptTest, ManoeuvreMergesKeepBothChains) {
    auto first = std::make_unique<CManoeuvrePrompt>(pcRight, false, 0);
    first->AppendThen(std::make_unique<CManoeuvrePrompt>(pcKeepRight, false, 0));
    m_player->Raise(std::move(first));
    auto second = std::make_unique<CManoeuvrePrompt>(pcLeft, false, 0);
    second->AppendThen(std::make_unique<CManoeuvrePrompt>(pcRoundabout, false, 1));
    m_player->Raise(std::move(second));
    ASSERT_EQ(m_player->QueuedCount(), 1u);
    EXPECT_EQ(Sounds(*m_player->Queue().front()),
              (V{"TurnRight", "then", "Right", "then", "TurnLeft", "then", "RoundAbout", "1st"}));
    // Another group's prompt is not merged.
    m_player->RaiseRoute(rpEnd);
    EXPECT_EQ(m_player->QueuedCount(), 2u);
}

TEST_F(PromptTest, DisabledAndMissingSoundsAreSkippedNotStalled) {
    WriteSettingBool(u"PlaySound_Pre", false);
    auto p = std::make_unique<CManoeuvrePrompt>(pcRight, true, 0);
    p->AppendThen(std::make_unique<CManoeuvrePrompt>(pcSharpLeft, false, 0)); // LeftHi has no file
    p->AppendThen(std::make_unique<CManoeuvrePrompt>(pcLeft, false, 0));
    m_player->Raise(std::move(p));
    m_player->Handle();
    EXPECT_TRUE(m_player->IsPlaying());
    SpeakAll();
    EXPECT_EQ(m_out.m_cPlays, 4); // TurnRight, then, then, TurnLeft
    EXPECT_FALSE(m_player->IsPlaying());
    EXPECT_EQ(m_cErrors, 0);
}

TEST_F(PromptTest, DeviceErrorReportsAndNeverBlocks) {
    m_out.m_nFail = -19;
    m_player->RaiseRoute(rpEnd);
    m_player->RaiseGps(gpMissing);
    m_player->Handle();
    EXPECT_FALSE(m_player->IsPlaying());
    EXPECT_EQ(m_player->QueuedCount(), 0u);
    EXPECT_EQ(m_cErrors, 2);
    EXPECT_EQ(m_said, (V{"RouteEnd", "GPSMissing"}));
}

TEST_F(PromptTest, RemoveGroupDropsQueuedAndCurrent) {
    m_player->Raise(std::make_unique<CManoeuvrePrompt>(pcRight, true, 0));
    m_player->RaiseGps(gpMissing);
    m_player->Handle(); // "Pre" playing, "TurnRight" waits
    m_player->RemoveGroup(pgManoeuvre);
    m_player->Stop();
    m_player->Next();
    EXPECT_EQ(m_said, (V{"Pre", "GPSMissing"}));
}

TEST_F(PromptTest, DurationFromTheFile) {
    EXPECT_EQ(m_player->SoundDurationMs("Pre"), 100u); // 1600 bytes at 16000 B/s
    EXPECT_EQ(m_player->SoundDurationMs("Nothing"), 0u);
}

TEST(WaveFile, DamagedFilesAreRefusedOrCut) {
    WaveInfo info;
    std::vector<std::uint8_t> w = MakeWave(100);
    ASSERT_EQ(ParseWave(w, info), WaveError::None);
    EXPECT_EQ(info.data.size(), 100u);
    // A data length past the end is cut at the end of the file.
    std::vector<std::uint8_t> cut(w.begin(), w.end() - 40);
    ASSERT_EQ(ParseWave(cut, info), WaveError::None);
    EXPECT_EQ(info.data.size(), 60u);
    // A chunk length that would wrap a 32-bit offset ends the walk.
    std::vector<std::uint8_t> wrap = w;
    wrap[16] = wrap[17] = wrap[18] = wrap[19] = 0xFF; // "fmt " length
    wrap[4] = wrap[5] = wrap[6] = wrap[7] = 0xFF;     // RIFF length
    EXPECT_NE(ParseWave(wrap, info), WaveError::None);
    std::vector<std::uint8_t> noData(w.begin(), w.begin() + 36);
    EXPECT_EQ(ParseWave(noData, info), WaveError::NoData);
    std::vector<std::uint8_t> bad = w;
    bad[8] = 'X';
    EXPECT_EQ(ParseWave(bad, info), WaveError::NotWave);
    EXPECT_EQ(ParseWave(std::span<const std::uint8_t>(w.data(), 8), info), WaveError::TooShort);
}

} // namespace
} // namespace velka
