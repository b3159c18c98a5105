// One result list made of the lists of several maps, each part kept with
// the parser it reads from. Parts are either taken one after another, or
// merged by name under one collation: the merge order is built once, by a
// k-way merge of the parts' names, so every item has exactly one rank even
// when names of different maps compare equal (or once per name).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mapdata/map_parser.h"
#include "mapdata/map_queries.h"

namespace velka {

class CCombinedList : public CObjectsQuery {
public:
    struct Part {
        std::shared_ptr<CMapParser> pParser; // declared first: outlives its list
        std::unique_ptr<CFindList> pList;
    };
    // ByNameOnce merges by name and keeps of the items with one name the
    // first part's alone: the parts' lists of one street of one city, which
    // every tile holding some of its ways lists once, make one item.
    enum class Order { PartAfterPart, ByName, ByNameOnce };

    CCombinedList(std::vector<Part> parts, Order order, DWORD dwLocale);

    DWORD Locale() const override { return m_dwLocale; }
    DWORD Count() const override { return m_cItems; }
    bool Item(DWORD dwIndex, CFindItem& item, DWORD dwFlags) override;
    DWORD FindFirst(std::u16string_view prefix) override;
    void SetReferencePoint(const CMapPoint& pt) override;

    std::size_t PartCount() const { return m_parts.size(); }

private:
    struct Ref {
        std::uint32_t nPart;
        DWORD nItem;
    };
    bool Locate(DWORD dwIndex, Ref& ref) const;
    void MergeByName();

    std::vector<Part> m_parts;
    Order m_order;
    DWORD m_dwLocale;
    DWORD m_cItems = 0;
    std::vector<DWORD> m_vecStarts;       // part after part: first rank of each part
    std::vector<Ref> m_vecMerged;         // by name: the item of each rank
    std::vector<std::u16string> m_vecNames; // by name: the name of each rank
};

} // namespace velka
