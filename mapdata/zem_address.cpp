// The native map's address search: match tables built once per name-table
// entry, then one pass over the finest level testing each record's
// address attributes against them.
#include <algorithm>

#include "mapdata/address_text.h"
#include "mapdata/zem_found_list.h"
#include "mapdata/zem_parser.h"

namespace velka {

const CZemParser::AddressNames& CZemParser::FoldedAddressNames() {
    if (m_pAddressNames) return *m_pAddressNames;
    auto p = std::make_unique<AddressNames>();
    std::vector<std::u16string>* const aTables[3] = {&p->postcodes, &p->streets, &p->houses};
    std::u16string s;
    for (int t = 0; t < 3; ++t) {
        aTables[t]->reserve(m_pai.acNames[t]);
        // An unreadable entry matches nothing but a search for any.
        for (DWORD i = 0; i < m_pai.acNames[t]; ++i) {
            if (!NameTableEntry(t, i, s)) s.clear();
            aTables[t]->push_back(t == 2 ? HouseNumberKey(s) : FoldText(s));
        }
    }
    m_pAddressNames = std::move(p);
    return *m_pAddressNames;
}

std::unique_ptr<CFindList> CZemParser::FindByAddress(int nCity, const std::u16string& strPostcode,
                                                     const std::u16string& strStreet,
                                                     const std::u16string& strHouse, CSearchProgress* pProgress) {
    if (!HasCitiesIndex()) return nullptr;
    std::vector<CZemFound> found;
    if (!CanDraw() || m_levels.empty() || !m_fAddressData)
        return std::make_unique<CZemFoundList>(*this, std::move(found));

    // 1: one flag per name-table entry.
    const AddressNames& names = FoldedAddressNames();
    const std::u16string aArgs[3] = {FoldText(strPostcode), FoldText(strStreet), HouseNumberKey(strHouse)};
    const std::vector<std::u16string>* const aTables[3] = {&names.postcodes, &names.streets, &names.houses};
    std::vector<char> aMatch[3];
    for (int t = 0; t < 3; ++t) {
        if (aArgs[t].empty()) continue;
        aMatch[t].resize(aTables[t]->size());
        bool fAny = false;
        for (std::size_t i = 0; i < aTables[t]->size(); ++i) {
            const std::u16string& e = (*aTables[t])[i];
            aMatch[t][i] = t == 0 ? e == aArgs[t] : ContainsText(e, aArgs[t]);
            fAny = fAny || aMatch[t][i];
        }
        // Nothing can match: no need to read the map.
        if (!fAny) return std::make_unique<CZemFoundList>(*this, std::move(found));
    }
    auto accepts = [&](int t, DWORD v) {
        if (aArgs[t].empty()) return true;
        return v != 0 && v - 1 < aMatch[t].size() && aMatch[t][v - 1];
    };

    // 2: every record of the finest level.
    const std::size_t nLevel = m_levels.size() - 1;
    const std::size_t cBlocks = m_levels[nLevel].cBlocks;
    CZemBlock block;
    std::size_t nBlock = 0;
    for (bool f = FirstBlock(nLevel, block); f; f = NextBlock(nLevel, nBlock++, block)) {
        if (pProgress && !pProgress->Step(nBlock, cBlocks)) return nullptr;
        for (int nKind = 0; nKind < rkMax; ++nKind) {
            const BYTE* p = block.apSection[nKind];
            while (p < block.apSectionEnd[nKind]) {
                CBitReader br(p, block.apSectionEnd[nKind]);
                CZemObject obj;
                if (!DecodeObject(br, nKind, block, nLevel, obj, nullptr, 0)) break;
                p = obj.pNext;
                if (!obj.fAddress || (obj.fAddressBit && !obj.fAddressExtra)) continue;
                const DWORD dwCity = obj.adwAddress[0];
                if (nCity != c_nAnyCity && dwCity != 0 && std::int64_t{dwCity} != std::int64_t{nCity} + 1) continue;
                if (!accepts(0, obj.adwAddress[1]) || !accepts(1, obj.adwAddress[2]) || !accepts(2, obj.adwAddress[3]))
                    continue;
                found.push_back({static_cast<DWORD>(obj.pRecord - m_pData), nKind});
            }
        }
    }
    if (pProgress && !pProgress->Step(cBlocks, cBlocks)) return nullptr;
    return std::make_unique<CZemFoundList>(*this, std::move(found));
}

} // namespace velka
