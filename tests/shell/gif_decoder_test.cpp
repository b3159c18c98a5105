#include "shell/gif_decoder.h"
#include "shell/resources.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace velka {
namespace {

std::vector<BYTE> Bytes(const std::string& strName) {
    std::string s = test::ReadFile(test::SourcePath("tests/data/gif/" + strName));
    return std::vector<BYTE>(s.begin(), s.end());
}

// Compares with the oracle's RGBA bytes; fully transparent pixels compare
// by their alpha alone.
void ExpectPixels(const CDecodedImage& image, const std::vector<BYTE>& rgba, const char* szWhat) {
    ASSERT_EQ(rgba.size(), image.pixels.size() * 4) << szWhat;
    int cDiffer = 0;
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        std::uint32_t expected = (std::uint32_t{rgba[i * 4 + 3]} << 24) |
                                 (std::uint32_t{rgba[i * 4]} << 16) |
                                 (std::uint32_t{rgba[i * 4 + 1]} << 8) | rgba[i * 4 + 2];
        if (rgba[i * 4 + 3] == 0) expected = 0;
        if (image.pixels[i] != expected && ++cDiffer < 5)
            ADD_FAILURE() << szWhat << " pixel " << i << ": " << std::hex << image.pixels[i]
                          << " != " << expected;
    }
    EXPECT_EQ(cDiffer, 0) << szWhat;
}

TEST(GifDecoder, DecodesLikeImageMagick) {
    std::optional<CDecodedImage> strip = DecodeGif(Bytes("strip.gif"));
    ASSERT_TRUE(strip);
    EXPECT_EQ(strip->nWidth, 48);
    EXPECT_EQ(strip->nHeight, 16);
    ExpectPixels(*strip, Bytes("strip.rgba"), "strip");
    EXPECT_EQ(strip->pixels[0], 0u);                   // transparent corner
    EXPECT_EQ(strip->pixels[8 * 48 + 8], 0xFFFF0000u); // inside the red square

    std::optional<CDecodedImage> noise = DecodeGif(Bytes("noise.gif"));
    ASSERT_TRUE(noise);
    ExpectPixels(*noise, Bytes("noise.rgba"), "noise");
    std::optional<CDecodedImage> interlaced = DecodeGif(Bytes("noise-interlaced.gif"));
    ASSERT_TRUE(interlaced);
    ExpectPixels(*interlaced, Bytes("noise.rgba"), "interlaced");
}

TEST(GifDecoder, DamagedDataNeverReadsPastTheEnd) {
    std::vector<BYTE> gif = Bytes("noise.gif");
    EXPECT_FALSE(DecodeGif({}));
    EXPECT_FALSE(DecodeGif(std::span<const BYTE>(gif.data(), 13))); // before the colour table ends
    std::vector<BYTE> bad = gif;
    bad[3] = '7';
    bad[4] = '7';
    EXPECT_FALSE(DecodeGif(bad));

    // Cut inside the picture data: what was decoded stays.
    std::optional<CDecodedImage> cut = DecodeGif(std::span<const BYTE>(gif.data(), gif.size() / 2));
    ASSERT_TRUE(cut);
    std::optional<CDecodedImage> whole = DecodeGif(gif);
    ASSERT_TRUE(whole);
    EXPECT_TRUE(std::equal(whole->pixels.begin(), whole->pixels.begin() + 96, cut->pixels.begin()));
    EXPECT_EQ(cut->pixels.back(), 0u);

    // Every prefix and random damage: no crash, no read outside (the
    // sanitizer build checks).
    for (std::size_t n = 0; n <= gif.size(); n += 7)
        DecodeGif(std::span<const BYTE>(gif.data(), n));
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        std::vector<BYTE> damaged = gif;
        for (int k = 0; k < 8; ++k)
            damaged[rng() % damaged.size()] = static_cast<BYTE>(rng());
        DecodeGif(damaged);
    }
}

TEST(GifDecoder, ScreenSizeLimitAndImageStripLookup) {
    std::vector<BYTE> huge = Bytes("strip.gif");
    huge[6] = huge[7] = huge[8] = huge[9] = 0xFF; // 65535 x 65535
    EXPECT_FALSE(DecodeGif(huge));

    test::ScopedSettings settings;
    ResetResourceSelection();
    RegisterBuiltinResource(c_rtGif, 9001, Bytes("strip.gif"));
    std::optional<CDecodedImage> strip = LoadImageStripImage(9001);
    ASSERT_TRUE(strip);
    EXPECT_EQ(strip->nWidth / 16, 3); // three icons
    EXPECT_FALSE(LoadImageStripImage(9002));
    ResetResourceSelection();
}

} // namespace
} // namespace velka
