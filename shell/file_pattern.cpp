#include "shell/file_pattern.h"

#include "platform/debug.h"

namespace velka {
namespace {

char16_t Fold(char16_t c) {
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c - u'A' + u'a');
    // Cyrillic capitals А..Я and Ѐ..Џ fold to their small letters.
    if (c >= 0x0410 && c <= 0x042F) return static_cast<char16_t>(c + 0x20);
    if (c >= 0x0400 && c <= 0x040F) return static_cast<char16_t>(c + 0x50);
    return c;
}

} // namespace

bool MatchFileName(std::u16string_view name, std::u16string_view pattern) {
    // Iterative match with one back-track point: the last '*' seen. Linear
    // in practice and never recursive, whatever the pattern.
    std::size_t n = 0, p = 0;
    std::size_t starP = std::u16string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || Fold(pattern[p]) == Fold(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::u16string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

void FilePatternSelfCheck() { VELKA_ASSERT(MatchFileName(u"ar.e.zem", u"*.zem")); }

} // namespace velka
