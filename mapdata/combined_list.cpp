#include "mapdata/combined_list.h"

#include <algorithm>
#include <numeric>
#include <queue>

#include "mapdata/collation.h"

namespace velka {

CCombinedList::CCombinedList(std::vector<Part> parts, Order order, DWORD dwLocale)
    : m_parts(std::move(parts)), m_order(order), m_dwLocale(dwLocale) {
    std::uint64_t cItems = 0;
    for (const Part& p : m_parts) {
        m_vecStarts.push_back(static_cast<DWORD>(cItems));
        cItems += p.pList ? p.pList->Count() : 0;
    }
    m_cItems = static_cast<DWORD>(std::min<std::uint64_t>(cItems, 0xFFFFFFFFu));
    if (m_order != Order::PartAfterPart && m_parts.size() > 1) MergeByName();
}

void CCombinedList::MergeByName() {
    const CCollator& coll = CCollator::ForLcid(m_dwLocale);
    // Each part's names in its own order; a part its map sorted under a
    // different collation is put in this one's order first, so the merge
    // below yields one sorted list.
    std::vector<std::vector<std::u16string>> names(m_parts.size());
    std::vector<std::vector<DWORD>> order(m_parts.size());
    for (std::size_t a = 0; a < m_parts.size(); ++a) {
        CFindList* pList = m_parts[a].pList.get();
        const DWORD c = pList ? pList->Count() : 0;
        names[a].resize(c);
        for (DWORD i = 0; i < c; ++i) {
            CFindItem item;
            if (pList->Item(i, item, c_dwFindDisplayName)) names[a][i] = item.szName;
        }
        order[a].resize(c);
        std::iota(order[a].begin(), order[a].end(), DWORD{0});
        auto less = [&](DWORD x, DWORD y) { return coll.Compare(names[a][x], names[a][y]) < 0; };
        if (!std::is_sorted(order[a].begin(), order[a].end(), less))
            std::stable_sort(order[a].begin(), order[a].end(), less);
    }
    // The k-way merge: smallest name first, equal names in part order.
    struct Cursor {
        std::uint32_t nPart;
        std::size_t nPos;
    };
    auto after = [&](const Cursor& x, const Cursor& y) {
        const int n = coll.Compare(names[x.nPart][order[x.nPart][x.nPos]], names[y.nPart][order[y.nPart][y.nPos]]);
        return n != 0 ? n > 0 : x.nPart > y.nPart;
    };
    std::priority_queue<Cursor, std::vector<Cursor>, decltype(after)> heap(after);
    for (std::uint32_t a = 0; a < m_parts.size(); ++a)
        if (!order[a].empty()) heap.push({a, 0});
    m_vecMerged.reserve(m_cItems);
    m_vecNames.reserve(m_cItems);
    std::vector<std::uint32_t> given; // parts that gave the last name taken
    while (!heap.empty() && m_vecMerged.size() < m_cItems) {
        Cursor c = heap.top();
        heap.pop();
        const DWORD nItem = order[c.nPart][c.nPos];
        if (++c.nPos < order[c.nPart].size()) heap.push(c);
        std::u16string& name = names[c.nPart][nItem];
        if (m_order == Order::ByNameOnce) {
            if (m_vecNames.empty() || m_vecNames.back() != name) given.clear();
            else if (std::find(given.begin(), given.end(), c.nPart) == given.end()) continue;
            given.push_back(c.nPart);
        }
        m_vecMerged.push_back({c.nPart, nItem});
        m_vecNames.push_back(std::move(name));
    }
    m_cItems = static_cast<DWORD>(m_vecMerged.size());
}

bool CCombinedList::Locate(DWORD dwIndex, Ref& ref) const {
    if (dwIndex >= m_cItems) return false;
    if (!m_vecMerged.empty()) {
        ref = m_vecMerged[dwIndex];
        return true;
    }
    const auto it = std::upper_bound(m_vecStarts.begin(), m_vecStarts.end(), dwIndex);
    ref.nPart = static_cast<std::uint32_t>(it - m_vecStarts.begin() - 1);
    // Empty parts share their start with the next one: step over them.
    while (ref.nPart < m_parts.size() &&
           (!m_parts[ref.nPart].pList || dwIndex - m_vecStarts[ref.nPart] >= m_parts[ref.nPart].pList->Count()))
        ++ref.nPart;
    if (ref.nPart >= m_parts.size()) return false;
    ref.nItem = dwIndex - m_vecStarts[ref.nPart];
    return true;
}

bool CCombinedList::Item(DWORD dwIndex, CFindItem& item, DWORD dwFlags) {
    Ref ref;
    return Locate(dwIndex, ref) && m_parts[ref.nPart].pList->Item(ref.nItem, item, dwFlags);
}

DWORD CCombinedList::FindFirst(std::u16string_view prefix) {
    if (m_order == Order::PartAfterPart) return 0;
    if (m_parts.size() == 1) return m_parts[0].pList ? m_parts[0].pList->FindFirst(prefix) : 0;
    return FindFirstSorted(static_cast<DWORD>(m_vecNames.size()), prefix, CCollator::ForLcid(m_dwLocale),
                           [&](DWORD i) { return m_vecNames[i]; });
}

void CCombinedList::SetReferencePoint(const CMapPoint& pt) {
    for (Part& p : m_parts)
        if (p.pList) p.pList->SetReferencePoint(pt);
}

} // namespace velka
