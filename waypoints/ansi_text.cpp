#include "waypoints/ansi_text.h"

#include <array>

namespace velka {
namespace {

// 0x80..0x9F of code page 1252; the undefined positions map to themselves.
constexpr char16_t c_aw1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char FromUnicode(char16_t ch) {
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) return static_cast<char>(ch);
    for (int i = 0; i < 32; ++i)
        if (c_aw1252High[i] == ch) return static_cast<char>(0x80 + i);
    return '?';
}

} // namespace

std::u16string AnsiToUtf16(std::string_view text) {
    std::u16string out(text.size(), u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        out[i] = (c >= 0x80 && c < 0xA0) ? c_aw1252High[c - 0x80] : static_cast<char16_t>(c);
    }
    return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
    std::string out(text.size(), '\0');
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t ch = text[i];
        // A surrogate pair is one character outside the code page.
        if (ch >= 0xD800 && ch < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000)
            ++i;
        out[n++] = FromUnicode(ch);
    }
    out.resize(n);
    return out;
}

std::string ExportAnsiText(std::u16string_view text) {
    std::string a = Utf16ToAnsi(text);
    for (char& c : a)
        if (c == '\0') c = ' ';
    return a;
}

} // namespace velka
