// Decoder for the image strips the program carries: GIF87a/GIF89a
// pictures (a row of 16x16 icons 16 pixels high). The first image of the
// file is decoded onto its logical screen; pixels it does not cover and its
// transparent colour come out fully transparent.
#pragma once
#include "platform/win_types.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velka {

struct CDecodedImage {
    int nWidth = 0;
    int nHeight = 0;
    std::vector<std::uint32_t> pixels; // 0xAARRGGBB, row by row from the top
};

// Largest logical screen the decoder accepts, in pixels.
constexpr std::size_t c_cMaxGifPixels = 4u << 20;

// Null when the data is not a GIF, is cut before the first image's colour
// table, names no colour table or a screen of more than c_cMaxGifPixels. A
// picture whose compressed data ends early or goes wrong keeps what was
// decoded up to there.
std::optional<CDecodedImage> DecodeGif(std::span<const BYTE> data);

// An image strip of the modules (resources.h LoadImageStrip), decoded.
std::optional<CDecodedImage> LoadImageStripImage(WORD wId);

} // namespace velka
