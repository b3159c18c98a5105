// Layout of the native map file ("*.zem"): header field offsets, the
// zoom-level and block records. All integers are little-endian.
#pragma once
#include <cstddef>
#include <cstdint>

namespace velka::zem {

constexpr std::size_t c_cbHeader = 564; // a file must be longer than 563 bytes

// Header offsets.
constexpr std::size_t c_ofsMagic = 0;        // "GZEM"
constexpr std::size_t c_ofsVersion = 4;      // <= 4
constexpr std::size_t c_ofsFileSize = 8;
constexpr std::size_t c_ofsBounds = 16;      // left, top, right, bottom in half map units
constexpr std::size_t c_ofsFinestCode = 32;  // 16-bit scale codes (level bits)
constexpr std::size_t c_ofsCoarsestCode = 34;
constexpr std::size_t c_ofsYear = 36;        // 16-bit
constexpr std::size_t c_ofsMonth = 38;
constexpr std::size_t c_ofsDay = 39;         // 0 = month and year only
constexpr std::size_t c_ofsName = 40;        // UTF-16, 32 characters
constexpr std::size_t c_cchName = 32;
constexpr std::size_t c_ofsNotes = 232;      // UTF-16, 64 characters, "|" separates lines
constexpr std::size_t c_cchNotes = 64;
constexpr std::size_t c_ofsMapId = 420;
constexpr std::size_t c_ofsFlags = 424;      // bit 16 merge cities, bit 17 address bit
constexpr std::size_t c_ofsTables = 428;
constexpr std::size_t c_ofsLabels = 432;
constexpr std::size_t c_ofsLabelRefBits = 436;
constexpr std::size_t c_ofsLevels = 440;
constexpr std::size_t c_ofsLevelCount = 444;
constexpr std::size_t c_ofsBiasX = 448;
constexpr std::size_t c_ofsBiasY = 452;
constexpr std::size_t c_ofsSource = 456;     // 8 bytes ASCII
constexpr std::size_t c_cbSource = 8;
constexpr std::size_t c_ofsCities = 464;     // PAI header, 0 = no address data
constexpr std::size_t c_ofsLocale = 476;
constexpr std::size_t c_ofsObjectsIndex = 496;
constexpr std::size_t c_ofsFlags2 = 500;     // bit 0: numeric labels in metres
constexpr std::size_t c_ofsNodes = 504;      // road-graph nodes, 0 = none
constexpr std::size_t c_ofsRestrictionCount = 508;
constexpr std::size_t c_ofsRestrictionOffset = 512;
constexpr std::size_t c_ofsRoadOffsetBits = 516;

// The cities index's PAI header: 24 bytes of countries, regions and
// cities, then 24 of the postcode, street and house-number name tables.
constexpr std::size_t c_cbPai = 24;
constexpr std::size_t c_cbPaiNames = 48;
// The objects index header.
constexpr std::size_t c_cbObjectsIndex = 52;

constexpr std::uint32_t c_dwFlagMergeCities = 1u << 16;
constexpr std::uint32_t c_dwFlagAddressBit = 1u << 17;

// Zoom-level entry: 4 bytes first block header, 2 bytes block count, 2
// bytes resolution in bits.
constexpr std::size_t c_cbLevelEntry = 8;
// Block header: x, y (4 each), width, height (2 each), then a word with
// the data offset in bits 0-23 and the byte counts of the three section
// lengths in bits 24-25, 26-27, 28-29; the length fields follow.
constexpr std::size_t c_cbBlockHeader = 16;
constexpr int c_nMaxLevelBits = 31;

// Label encodings of an object record's first two bits.
constexpr unsigned c_nLabelNone = 0;
constexpr unsigned c_nLabelInline1 = 1;
constexpr unsigned c_nLabelReference = 2;
constexpr unsigned c_nLabelInline3 = 3;

// Decoding tables, numbered as in the file (1-based).
enum TableId {
    tblChars1 = 1, tblLengths1, tblChars3, tblLengths3, tblPointTypes, tblLineTypes,
    tblAreaTypes, tblDeltaX, tblDeltaY, tblPointCount, tblAddress1, tblAddress2, tblAddress3,
    tblAddress4, c_cTables = tblAddress4
};

} // namespace velka::zem
