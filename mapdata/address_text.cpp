#include "mapdata/address_text.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <array>
#include <vector>

namespace velka {

namespace {

// Latin spellings of the lower-case Cyrillic letters U+0430 to U+044F.
constexpr std::array<const char*, 32> c_aCyrillicToLatin = {
    "a", "b", "v", "g", "d", "e", "zh", "z", "i", "j", "k", "l", "m", "n", "o", "p",
    "r", "s", "t", "u", "f", "h", "c", "ch", "sh", "sch", "", "y", "", "e", "yu", "ya"};

bool IsWordChar(char16_t c) { return u_isalnum(c) != 0; }

// Folded words for building ("s"), block ("k"), and words that only
// introduce the number or its letter (dropped).
std::u16string_view ShortWord(std::u16string_view w) {
    static constexpr std::u16string_view c_aBuilding[] = {u"стр", u"строение", u"building", u"bldg", u"bld"};
    static constexpr std::u16string_view c_aBlock[] = {u"корп", u"корпус", u"block", u"blk"};
    static constexpr std::u16string_view c_aDropped[] = {u"лит", u"литер", u"литера", u"дом", u"house", u"no"};
    for (std::u16string_view s : c_aBuilding)
        if (w == s) return u"s";
    for (std::u16string_view s : c_aBlock)
        if (w == s) return u"k";
    for (std::u16string_view s : c_aDropped)
        if (w == s) return u"";
    return w;
}

} // namespace

std::u16string FoldText(std::u16string_view text) {
    std::u16string folded;
    if (!text.empty()) {
        std::vector<UChar> buf(text.size() * 3 + 1);
        UErrorCode err = U_ZERO_ERROR;
        const int32_t n = u_strFoldCase(buf.data(), static_cast<int32_t>(buf.size()), text.data(),
                                        static_cast<int32_t>(text.size()), U_FOLD_CASE_DEFAULT, &err);
        if (U_SUCCESS(err)) folded.assign(buf.data(), static_cast<std::size_t>(n));
        else folded.assign(text);
    }
    std::u16string out;
    out.reserve(folded.size());
    for (char16_t c : folded) {
        if (c == u'ё') c = u'е';
        if (u_isUWhiteSpace(c)) {
            if (!out.empty() && out.back() != u' ') out += u' ';
            continue;
        }
        out += c;
    }
    if (!out.empty() && out.back() == u' ') out.pop_back();
    return out;
}

std::u16string HouseNumberKey(std::u16string_view text) {
    const std::u16string folded = FoldText(text);
    std::u16string key;
    std::size_t i = 0;
    while (i < folded.size()) {
        const char16_t c = folded[i];
        if (c == u'/') {
            key += c;
            ++i;
            continue;
        }
        if (!IsWordChar(c)) {
            ++i;
            continue;
        }
        // A run of digits, or a run of letters (a word).
        const bool fDigits = u_isdigit(c) != 0;
        std::size_t j = i;
        while (j < folded.size() && IsWordChar(folded[j]) && (u_isdigit(folded[j]) != 0) == fDigits) ++j;
        const std::u16string_view run(folded.data() + i, j - i);
        if (fDigits) {
            key += run;
        } else {
            for (char16_t l : ShortWord(run)) {
                if (l >= u'а' && l <= u'я') {
                    for (const char* p = c_aCyrillicToLatin[l - u'а']; *p; ++p) key += static_cast<char16_t>(*p);
                } else {
                    key += l;
                }
            }
        }
        i = j;
    }
    return key;
}

} // namespace velka
