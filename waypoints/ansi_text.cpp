#include "waypoints/ansi_text.h"

#include <unicode/ucnv.h>

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "shell/language.h"

namespace velka {
namespace {

// 0x80..0x9F of code page 1252; the undefined positions map to themselves.
constexpr char16_t c_aw1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The upper half of one code page and its reverse. Bytes the code page
// leaves undefined stand for the character of the same number, as Windows
// converts them.
struct CCodePageTable {
    std::array<char16_t, 128> aHigh{};
    std::unordered_map<char16_t, char> reverse;
};

std::unique_ptr<CCodePageTable> Build1252() {
    auto p = std::make_unique<CCodePageTable>();
    for (int b = 0x80; b < 0x100; ++b)
        p->aHigh[b - 0x80] = b < 0xA0 ? c_aw1252High[b - 0x80] : static_cast<char16_t>(b);
    return p;
}

std::unique_ptr<CCodePageTable> BuildFromIcu(UINT uCodePage) {
    UErrorCode err = U_ZERO_ERROR;
    const std::string strName = "windows-" + std::to_string(uCodePage);
    UConverter* pConv = ucnv_open(strName.c_str(), &err);
    if (U_FAILURE(err) || !pConv) return nullptr;
    auto p = std::make_unique<CCodePageTable>();
    for (int b = 0x80; b < 0x100; ++b) {
        const char ch = static_cast<char>(b);
        UChar out[4] = {};
        err = U_ZERO_ERROR;
        ucnv_reset(pConv);
        const int32_t n = ucnv_toUChars(pConv, out, 4, &ch, 1, &err);
        const bool fDefined = U_SUCCESS(err) && n == 1 && out[0] != 0xFFFD && out[0] != 0x1A;
        p->aHigh[b - 0x80] = fDefined ? static_cast<char16_t>(out[0]) : static_cast<char16_t>(b);
    }
    ucnv_close(pConv);
    return p;
}

const CCodePageTable& TableFor(UINT uCodePage) {
    static std::mutex s_mutex;
    static std::map<UINT, std::unique_ptr<CCodePageTable>> s_tables;
    const bool fKnown = uCodePage == 874 || (uCodePage >= 1250 && uCodePage <= 1258);
    if (!fKnown) uCodePage = 1252;
    std::lock_guard lock(s_mutex);
    auto& p = s_tables[uCodePage];
    if (!p) {
        p = uCodePage == 1252 ? Build1252() : BuildFromIcu(uCodePage);
        if (!p) p = Build1252();
        for (int i = 127; i >= 0; --i) p->reverse[p->aHigh[i]] = static_cast<char>(0x80 + i);
    }
    return *p;
}

} // namespace

std::u16string AnsiToUtf16(std::string_view text, UINT uCodePage) {
    const CCodePageTable& t = TableFor(uCodePage);
    std::u16string out(text.size(), u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        out[i] = c < 0x80 ? static_cast<char16_t>(c) : t.aHigh[c - 0x80];
    }
    return out;
}

std::string Utf16ToAnsi(std::u16string_view text, UINT uCodePage) {
    const CCodePageTable& t = TableFor(uCodePage);
    std::string out(text.size(), '\0');
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t ch = text[i];
        // A surrogate pair is one character outside the code page.
        if (ch >= 0xD800 && ch < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000)
            ++i;
        if (ch < 0x80) {
            out[n++] = static_cast<char>(ch);
        } else {
            auto it = t.reverse.find(ch);
            out[n++] = it != t.reverse.end() ? it->second : '?';
        }
    }
    out.resize(n);
    return out;
}

std::u16string AnsiToUtf16(std::string_view text) { return AnsiToUtf16(text, SystemAnsiCodePage()); }

std::string Utf16ToAnsi(std::u16string_view text) { return Utf16ToAnsi(text, SystemAnsiCodePage()); }

std::string ExportAnsiText(std::u16string_view text) {
    std::string a = Utf16ToAnsi(text);
    for (char& c : a)
        if (c == '\0') c = ' ';
    return a;
}

} // namespace velka
