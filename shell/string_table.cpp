#include "shell/string_table.h"

#include "platform/text.h"

namespace velka {

extern const char* const g_szBuiltinStrings; // generated from data/strings/builtin-1049.txt

bool CStringTable::Parse(std::string_view text, std::string* pstrError) {
    m_map.clear();
    std::size_t nLine = 0;
    std::size_t pos = 0;
    auto fail = [&](const char* why) {
        if (pstrError) *pstrError = "line " + std::to_string(nLine) + ": " + why;
        m_map.clear();
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
        std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos || tab == 0 || tab > 10) return fail("no identifier");
        unsigned long long id = 0;
        for (char c : line.substr(0, tab)) {
            if (c < '0' || c > '9') return fail("bad identifier");
            id = id * 10 + static_cast<unsigned>(c - '0');
        }
        if (id > 0xFFFFFFFFull) return fail("identifier out of range");
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
            case 'n': raw += '\n'; break;
            case 'r': raw += '\r'; break;
            case 't': raw += '\t'; break;
            case '\\': raw += '\\'; break;
            default: return fail("unknown escape");
            }
        }
        std::u16string w = FromUtf8(raw);
        if (w.find(u'\uFFFD') != std::u16string::npos && raw.find("\xEF\xBF\xBD") == std::string::npos)
            return fail("invalid UTF-8");
        if (!m_map.emplace(static_cast<UINT>(id), std::move(w)).second) return fail("duplicate identifier");
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
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
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
