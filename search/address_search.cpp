#include "search/address_search.h"

#include <algorithm>
#include <memory>

#include <unicode/uchar.h>

#include "mapdata/address_text.h"
#include "mapdata/collation.h"

namespace velka {

namespace {

constexpr DWORD c_dwAddressFlags = c_dwFindDisplayName | c_dwFindSettlement | c_dwFindPostcode | c_dwFindStreet |
                                   c_dwFindHouse | c_dwFindMapName | c_dwFindPoint | c_dwFindScale;
// Shorter texts are not corrected: one error in three letters is a guess.
constexpr std::size_t c_cchMinSuggestion = 4;

MatchRank RankOf(std::u16string_view text, std::u16string_view typed) {
    if (typed.empty() || text == typed) return MatchRank::Exact;
    if (text.substr(0, typed.size()) == typed) return MatchRank::Prefix;
    return MatchRank::Contains;
}

// Whether some part of the text is at most one insertion, deletion or
// substitution away from the pattern (approximate substring matching).
bool WithinOneError(std::u16string_view text, std::u16string_view pattern) {
    const std::size_t m = pattern.size();
    std::vector<std::size_t> prev(m + 1), cur(m + 1);
    for (std::size_t i = 0; i <= m; ++i) prev[i] = i;
    if (prev[m] <= 1) return true;
    for (char16_t c : text) {
        cur[0] = 0; // a match may start anywhere
        for (std::size_t i = 1; i <= m; ++i)
            cur[i] = std::min({prev[i] + 1, cur[i - 1] + 1, prev[i - 1] + (pattern[i - 1] == c ? 0 : 1)});
        if (cur[m] <= 1) return true;
        std::swap(prev, cur);
    }
    return false;
}

// The leading number of a house number, for ordering 2 before 10.
unsigned long LeadingNumber(std::u16string_view s) {
    unsigned long n = 0;
    for (char16_t c : s) {
        if (c < u'0' || c > u'9' || n > 100000000) break;
        n = n * 10 + (c - u'0');
    }
    return n;
}

bool LooksLikeHouseNumber(std::u16string_view token) {
    return !token.empty() && token.front() >= u'0' && token.front() <= u'9' && token.size() <= 12;
}

bool HasLetter(std::u16string_view s) {
    return std::any_of(s.begin(), s.end(), [](char16_t c) { return u_isalpha(c) != 0; });
}

// A token that can follow the number in a house number: a number, or a
// short word for building, block or letter, with or without its number
// ("с3", "корп.", "2").
bool IsHouseNumberPart(std::u16string_view token) {
    std::size_t cLetters = 0;
    for (char16_t c : token) cLetters += u_isalpha(c) != 0;
    return cLetters <= 4 || HouseNumberKey(token).size() <= 2;
}

struct Reading {
    std::u16string strStreet, strHouse;
};

// Runs one reading; false when cancelled.
bool Collect(CMapParser& map, const CAddressRequest& req, const Reading& rd, CSearchProgress* pProgress,
             std::vector<CAddressHit>& hits) {
    std::unique_ptr<CFindList> pList = map.FindByAddress(req.nCity, req.strPostcode, rd.strStreet, rd.strHouse,
                                                         pProgress);
    if (!pList) return false;
    const std::u16string street = FoldText(rd.strStreet), house = HouseNumberKey(rd.strHouse);
    for (DWORD i = 0; i < pList->Count(); ++i) {
        CAddressHit hit;
        if (!pList->Item(i, hit.item, c_dwAddressFlags)) continue;
        hit.rank = std::max(RankOf(FoldText(hit.item.szStreet), street), RankOf(HouseNumberKey(hit.item.szHouse), house));
        hits.push_back(std::move(hit));
    }
    return true;
}

} // namespace

std::vector<std::pair<std::u16string, std::u16string>> HouseNumberReadings(std::u16string_view text) {
    std::vector<std::u16string> tokens;
    std::u16string cur;
    for (char16_t c : text) {
        if (c == u' ' || c == u',' || c == u'\t') {
            if (!cur.empty()) tokens.push_back(std::move(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) tokens.push_back(std::move(cur));
    auto join = [&](std::size_t from, std::size_t to) {
        std::u16string out;
        for (std::size_t k = from; k < to; ++k) out += (out.empty() ? u"" : u" ") + tokens[k];
        return out;
    };
    std::vector<std::pair<std::u16string, std::u16string>> out;
    const std::size_t n = tokens.size();
    if (n < 2) return out;
    // The number last: the first token starting with a digit that only
    // parts of a house number follow ("Main Street 7b", "Тверская 7Б с3").
    for (std::size_t k = 1; k < n; ++k) {
        if (!LooksLikeHouseNumber(tokens[k])) continue;
        const bool fRestIsNumber = std::all_of(tokens.begin() + static_cast<std::ptrdiff_t>(k) + 1, tokens.end(),
                                               [](const std::u16string& t) { return IsHouseNumberPart(t); });
        if (fRestIsNumber && HasLetter(join(0, k))) {
            out.push_back({join(0, k), join(k, n)});
            break;
        }
    }
    // The number first ("12 Main Street").
    if (LooksLikeHouseNumber(tokens[0]) && HasLetter(join(1, n))) out.push_back({join(1, n), tokens[0]});
    return out;
}

bool SplitHouseNumber(std::u16string_view text, std::u16string& strStreet, std::u16string& strHouse) {
    const auto readings = HouseNumberReadings(text);
    if (readings.empty()) return false;
    strStreet = readings[0].first;
    strHouse = readings[0].second;
    return true;
}

CAddressResult FindAddresses(CMapParser& map, const CAddressRequest& request, CSearchProgress* pProgress) {
    CAddressResult r;
    if (!map.HasCitiesIndex()) {
        r.status = SearchStatus::NoCitiesIndex;
        return r;
    }
    if (request.nCity < c_nAnyCity) {
        r.status = SearchStatus::BadRequest;
        return r;
    }
    std::unique_ptr<CCitiesQuery> pCities = map.CreateCitiesQuery();
    if (request.nCity >= 0 && (!pCities || static_cast<DWORD>(request.nCity) >= pCities->Count())) {
        r.status = SearchStatus::BadRequest;
        return r;
    }
    // As typed; then, if that finds nothing, with a number at either end
    // of the street taken as the house number.
    std::vector<Reading> readings{{request.strStreet, request.strHouse}};
    if (request.strHouse.empty())
        for (auto& [street, house] : HouseNumberReadings(request.strStreet)) readings.push_back({street, house});
    for (const Reading& rd : readings) {
        if (!Collect(map, request, rd, pProgress, r.hits)) {
            r.hits.clear();
            r.status = SearchStatus::Cancelled;
            return r;
        }
        r.strStreet = rd.strStreet;
        r.strHouse = rd.strHouse;
        if (!r.hits.empty()) break;
    }
    // Near misses of the street, clearly marked.
    const std::u16string typed = FoldText(r.strStreet);
    if (r.hits.empty() && request.fSuggestions && typed.size() >= c_cchMinSuggestion) {
        std::vector<CAddressHit> all;
        if (!Collect(map, request, {u"", r.strHouse}, pProgress, all)) {
            r.status = SearchStatus::Cancelled;
            return r;
        }
        for (CAddressHit& h : all) {
            if (!WithinOneError(FoldText(h.item.szStreet), typed)) continue;
            h.rank = MatchRank::Suggestion;
            r.hits.push_back(std::move(h));
        }
    }
    const CCollator& coll = CCollator::ForLcid(pCities ? pCities->Locale() : 0);
    std::stable_sort(r.hits.begin(), r.hits.end(), [&](const CAddressHit& a, const CAddressHit& b) {
        if (a.rank != b.rank) return a.rank < b.rank;
        if (const int c = coll.Compare(a.item.szStreet, b.item.szStreet)) return c < 0;
        const unsigned long na = LeadingNumber(a.item.szHouse), nb = LeadingNumber(b.item.szHouse);
        if (na != nb) return na < nb;
        return coll.Less(a.item.szHouse, b.item.szHouse);
    });
    if (r.hits.empty()) r.status = SearchStatus::NothingFound;
    return r;
}

std::vector<int> FindCities(CMapParser& map, std::u16string_view name) {
    std::vector<int> exact, prefix;
    std::unique_ptr<CCitiesQuery> pCities = map.CreateCitiesQuery();
    const std::u16string typed = FoldText(name);
    if (!pCities || typed.empty()) return {};
    const CCollator& coll = CCollator::ForLcid(pCities->Locale());
    for (DWORD i = pCities->FindFirst(name); i < pCities->Count(); ++i) {
        CCityItem item;
        if (!pCities->Item(i, item, 0)) continue;
        const std::u16string_view text(item.szText);
        if (coll.Compare(text.substr(0, name.size()), name) != 0) break;
        const std::u16string own = FoldText(text.substr(0, text.find(u", ")));
        (own == typed || FoldText(text) == typed ? exact : prefix).push_back(static_cast<int>(i));
    }
    return exact.empty() ? prefix : exact;
}

} // namespace velka
