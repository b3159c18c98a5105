// A tiny native map written byte by byte from the format's tables, with
// the expected decoding worked out by hand alongside (see zem_reader_test).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace velka::test {

inline void PutLE(std::vector<std::uint8_t>& v, std::size_t ofs, std::uint32_t x, int n) {
    for (int i = 0; i < n; ++i) v[ofs + i] = static_cast<std::uint8_t>(x >> (8 * i));
}

// Layout: header 0-563, tables 564-634, level table 635-650, block 0 (no
// sections) 651-666, block 1 667-685 (header and three 1-byte lengths),
// polygon section 686-688, polyline section 689-692, point section
// 693-696, label area 697. 698 bytes.
inline std::vector<std::uint8_t> GoldenMap(const char* szSource = "garmin2") {
    std::vector<std::uint8_t> f(564, 0);
    auto put = [&](std::size_t ofs, std::uint32_t x, int n) { PutLE(f, ofs, x, n); };
    f[0] = 'G', f[1] = 'Z', f[2] = 'E', f[3] = 'M';
    put(4, 1, 4);
    put(8, 698, 4);
    put(16, 256000, 4);  // 1000 << 7, doubled
    put(20, 512000, 4);  // 2000 << 7, doubled
    put(24, 260096, 4);  // 1016 << 7, doubled
    put(28, 514048, 4);  // 2008 << 7, doubled
    put(32, 24, 2);
    put(34, 16, 2);
    put(36, 2025, 2);
    f[38] = 7;
    f[39] = 0;
    const char16_t* name = u"Tiny";
    for (int i = 0; name[i]; ++i) put(40 + 2 * i, name[i], 2);
    const char16_t* notes = u"A|B";
    for (int i = 0; notes[i]; ++i) put(232 + 2 * i, notes[i], 2);
    put(428, 564, 4); // tables
    put(432, 697, 4); // label area
    put(436, 2, 4);   // label reference bits
    put(440, 635, 4); // level table
    put(444, 2, 4);   // levels
    put(448, 4, 4);   // x bias
    put(452, 4, 4);   // y bias
    for (int i = 0; szSource[i] && i < 8; ++i) f[456 + i] = static_cast<std::uint8_t>(szSource[i]);
    put(476, 1049, 4);
    put(500, 1, 4); // numbers in metres
    const std::vector<std::uint8_t> tail = {
        // 564 table 1: 'A' = 0, 'B' = 1
        0x02, 0x00, 0x41, 0x00, 0x01, 0x00, 0x42, 0x00, 0x01, 0x01,
        // 574 table 2: length 2, code of length 0
        0x01, 0x00, 0x02, 0x00, 0x00,
        // 579 tables 3 and 4: empty
        0x00, 0x00, 0x00, 0x00,
        // 583 table 5: point type 0x2B01, length 0
        0x01, 0x00, 0x01, 0x2B, 0x00,
        // 588 table 6: 0x06 = "0", 0x01 = "1" + "00000000", 0x0C = "11" + "0000000"
        0x03, 0x00, 0x06, 0x00, 0x01, 0x00, 0x01, 0x00, 0x09, 0x01, 0x00, 0x0C, 0x00, 0x09, 0x03,
        0x00,
        // 604 table 7: polygon type 0x50, one 8-bit code 0xA5
        0x01, 0x00, 0x50, 0x00, 0x08, 0xA5,
        // 610 table 8: symbol 5 (dx +1) = "0", symbol 3 (dx -1) = "1"
        0x02, 0x00, 0x05, 0x00, 0x01, 0x00, 0x03, 0x00, 0x01, 0x01,
        // 620 table 9: symbol 4 (dy 0), length 0
        0x01, 0x00, 0x04, 0x00, 0x00,
        // 625 table 10: 1 (two points) = "0", 2 (three points) = "1"
        0x02, 0x00, 0x01, 0x00, 0x01, 0x00, 0x02, 0x00, 0x01, 0x01,
        // 635 level 0: no blocks, 16 bits; level 1: 2 blocks at 651, 24 bits
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
        0x8B, 0x02, 0x00, 0x00, 0x02, 0x00, 0x18, 0x00,
        // 651 block 0: origin (1000, 2000), 100 x 50, no sections
        0xE8, 0x03, 0x00, 0x00, 0xD0, 0x07, 0x00, 0x00, 0x64, 0x00, 0x32, 0x00,
        0x00, 0x00, 0x00, 0x00,
        // 667 block 1: origin (1000, 2000), 16 x 8, data at 686, 1-byte lengths
        0xE8, 0x03, 0x00, 0x00, 0xD0, 0x07, 0x00, 0x00, 0x10, 0x00, 0x08, 0x00,
        0xAE, 0x02, 0x00, 0x15,
        0x03, 0x04, 0x04,
        // 686 polygon: no label, type 0xA5, x 3, y 2, 3 points, dx +1, dx -1
        0x94, 0x0E, 0x29,
        // 689 polyline: inline "AB", type 0x01 (9 bits), x 0, y 8, 2 points, dx +1, one-way
        0x19, 0x00, 0x20, 0x01,
        // 693 point: label reference 0, x 5, y 7
        0x52, 0x0E,
        // 695 point: no label, x 16, y 0
        0x40, 0x00,
        // 697 label area: encoding 1, "BA"
        0x05,
    };
    f.insert(f.end(), tail.begin(), tail.end());
    return f;
}

} // namespace velka::test
