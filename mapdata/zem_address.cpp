// The native map's address search: match tables built once per name-table
// entry, then the records with address attributes tested against them.
// The records are gathered by one walk over the finest level, the first
// time, and kept, so later searches read no map data.
#include <algorithm>

#include "mapdata/address_text.h"
#include "mapdata/zem_found_list.h"
#include "mapdata/zem_parser.h"

namespace velka {

namespace {

// Records tested between two progress reports once they are kept.
constexpr std::size_t c_cRecordsPerStep = 4096;

} // namespace

CZemParser::AddressCache& CZemParser::FoldedAddressNames() {
    if (m_pAddressNames) return *m_pAddressNames;
    auto p = std::make_unique<AddressCache>();
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

bool CZemParser::ReadAddressRecords(AddressCache& cache, CSearchProgress* pProgress) {
    if (cache.fRecords) return true;
    std::vector<AddressRecord> records;
    const std::size_t nLevel = m_levels.size() - 1;
    const std::size_t cBlocks = m_levels[nLevel].cBlocks;
    CZemBlock block;
    std::size_t nBlock = 0;
    for (bool f = FirstBlock(nLevel, block); f; f = NextBlock(nLevel, nBlock++, block)) {
        if (pProgress && !pProgress->Step(nBlock, cBlocks)) return false;
        ForEachObjectInBlock(block, nLevel, nullptr, 0, [&](int nKind, const CZemBlock&, const CZemObject& obj) {
            if (!obj.fAddress || (obj.fAddressBit && !obj.fAddressExtra)) return;
            AddressRecord r{static_cast<DWORD>(obj.pRecord - m_pData), nKind, {}};
            std::copy_n(obj.adwAddress, 4, r.adwAddress);
            records.push_back(r);
        });
    }
    cache.records = std::move(records);
    cache.fRecords = true;
    return true;
}

std::unique_ptr<CFindList> CZemParser::FindByAddress(int nCity, const std::u16string& strPostcode,
                                                     const std::u16string& strStreet,
                                                     const std::u16string& strHouse, CSearchProgress* pProgress) {
    if (!HasCitiesIndex()) return nullptr;
    std::vector<CZemFound> found;
    if (!CanDraw() || m_levels.empty() || !m_fAddressData)
        return std::make_unique<CZemFoundList>(*this, std::move(found));

    // One flag per name-table entry.
    AddressCache& cache = FoldedAddressNames();
    const std::u16string aArgs[3] = {FoldText(strPostcode), FoldText(strStreet), HouseNumberKey(strHouse)};
    const std::vector<std::u16string>* const aTables[3] = {&cache.postcodes, &cache.streets, &cache.houses};
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

    // Three table look-ups per record.
    if (!ReadAddressRecords(cache, pProgress)) return nullptr;
    const std::size_t cRecords = cache.records.size();
    for (std::size_t i = 0; i < cRecords; ++i) {
        if (pProgress && i % c_cRecordsPerStep == 0 && !pProgress->Step(i, cRecords)) return nullptr;
        const AddressRecord& r = cache.records[i];
        const DWORD dwCity = r.adwAddress[0];
        if (nCity != c_nAnyCity && dwCity != 0 && std::int64_t{dwCity} != std::int64_t{nCity} + 1) continue;
        if (accepts(0, r.adwAddress[1]) && accepts(1, r.adwAddress[2]) && accepts(2, r.adwAddress[3]))
            found.push_back({r.dwOffset, r.nKind});
    }
    if (pProgress && !pProgress->Step(cRecords, cRecords)) return nullptr;
    return std::make_unique<CZemFoundList>(*this, std::move(found));
}

} // namespace velka
