#include "shell/string_table.h"

#include "platform/text.h"

#include <cstdint>
#include <unordered_set>

namespace velka {

extern const char* const g_szBuiltinStrings; // generated from data/strings/builtin-1049.txt

namespace {

bool ParseDecimal(std::string_view digits, unsigned long long& value) {
    if (digits.empty() || digits.size() > 10) return false;
    value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value <= 0xFFFFFFFFull;
}

// Well-formed UTF-8: no stray continuation bytes, no overlong forms, no
// surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t n = 0;
        char32_t cp = 0, min = 0;
        if ((c & 0xE0) == 0xC0)
            n = 1, cp = c & 0x1F, min = 0x80;
        else if ((c & 0xF0) == 0xE0)
            n = 2, cp = c & 0x0F, min = 0x800;
        else if ((c & 0xF8) == 0xF0)
            n = 3, cp = c & 0x07, min = 0x10000;
        else
            return false;
        if (s.size() - i <= n) return false;
        for (std::size_t k = 1; k <= n; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n + 1;
    }
    return true;
}

// "@<type> <id> <file>"; the file may not leave the module's folder.
bool ParseDeclaration(std::string_view line, ResourceDeclaration& decl) {
    static const struct {
        std::string_view name;
        UINT uType;
    } c_types[] = {{"bitmap", c_rtBitmap},
                   {"menu", c_rtMenu},
                   {"dialog", c_rtDialog},
                   {"icon", c_rtIcon},
                   {"gif", c_rtGif}};
    line.remove_prefix(1);
    std::size_t sp1 = line.find(' ');
    if (sp1 == std::string_view::npos) return false;
    std::size_t sp2 = line.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos) return false;
    std::string_view type = line.substr(0, sp1), id = line.substr(sp1 + 1, sp2 - sp1 - 1),
                     file = line.substr(sp2 + 1);
    decl.uType = 0;
    for (const auto& t : c_types)
        if (t.name == type) decl.uType = t.uType;
    unsigned long long value = 0;
    if (decl.uType == 0 || !ParseDecimal(id, value) || value == 0) return false;
    decl.uId = static_cast<UINT>(value);
    if (file.empty() || file.size() > 255 || file.front() == '/') return false;
    for (char c : file)
        if (static_cast<unsigned char>(c) < 0x20 || c == '\\') return false;
    std::size_t pos = 0;
    while (pos <= file.size()) {
        std::size_t end = file.find('/', pos);
        if (end == std::string_view::npos) end = file.size();
        std::string_view part = file.substr(pos, end - pos);
        if (part.empty() || part == "." || part == "..") return false;
        pos = end + 1;
    }
    decl.strFile = std::string(file);
    return true;
}

} // namespace

bool CStringTable::Parse(std::string_view text, std::string* pstrError,
                         std::vector<ResourceDeclaration>* pResources) {
    m_map.clear();
    if (pResources) pResources->clear();
    std::unordered_set<std::uint64_t> declared;
    std::size_t nLine = 0;
    std::size_t pos = 0;
    auto fail = [&](const char* why) {
        if (pstrError) *pstrError = "line " + std::to_string(nLine) + ": " + why;
        m_map.clear();
        if (pResources) pResources->clear();
        return false;
    };
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++nLine;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '@') {
            ResourceDeclaration decl;
            if (!pResources || !ParseDeclaration(line, decl)) return fail("bad resource line");
            if (!declared.insert((std::uint64_t{decl.uType} << 32) | decl.uId).second)
                return fail("duplicate resource");
            pResources->push_back(std::move(decl));
            continue;
        }
        std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos || tab == 0 || tab > 10) return fail("no identifier");
        unsigned long long id = 0;
        if (!ParseDecimal(line.substr(0, tab), id)) return fail("bad identifier");
        std::string raw;
        std::string_view body = line.substr(tab + 1);
        for (std::size_t i = 0; i < body.size(); ++i) {
            char c = body[i];
            if (c != '\\') {
                raw += c;
                continue;
            }
            if (++i >= body.size()) return fail("dangling escape");
            switch (body[i]) {
            case 'n':
                raw += '\n';
                break;
            case 'r':
                raw += '\r';
                break;
            case 't':
                raw += '\t';
                break;
            case '\\':
                raw += '\\';
                break;
            default:
                return fail("unknown escape");
            }
        }
        if (!IsValidUtf8(raw)) return fail("invalid UTF-8");
        std::u16string w = FromUtf8(raw);
        if (!m_map.emplace(static_cast<UINT>(id), std::move(w)).second)
            return fail("duplicate identifier");
    }
    return true;
}

const std::u16string* CStringTable::Find(UINT uId) const {
    auto it = m_map.find(uId);
    return it == m_map.end() ? nullptr : &it->second;
}

std::string EscapeTableText(std::u16string_view text) {
    std::string utf8 = ToUtf8(text), out;
    for (char c : utf8) {
        switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::vector<std::u16string> PrintfConversions(std::u16string_view text) {
    constexpr std::u16string_view c_flags = u"-+ #0123456789.*hlLqjzt";
    std::vector<std::u16string> out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'%') continue;
        std::size_t j = i + 1;
        if (j < text.size() && text[j] == u'%') {
            i = j;
            continue;
        }
        while (j < text.size() && c_flags.find(text[j]) != std::u16string_view::npos) ++j;
        out.emplace_back(text.substr(i, j + 1 - i));
        i = j;
    }
    return out;
}

const CStringTable& BuiltinStrings() {
    static const CStringTable table = [] {
        CStringTable t;
        std::string err;
        t.Parse(g_szBuiltinStrings, &err);
        return t;
    }();
    return table;
}

} // namespace velka
