// The type catalogue of a map (CMapParser::GetTypes): which object types
// of each kind the map holds and how many objects of each. Type names come
// from the styles (TypeName of the map view).
#pragma once
#include <algorithm>
#include <cstddef>
#include <vector>

#include "geometry/map_types.h"
#include "platform/win_types.h"

namespace velka {

class CTypeCatalogue {
public:
    struct Entry {
        int nKind = rkPoint;
        WORD wType = 0;
        DWORD cObjects = 0;
        friend bool operator<(const Entry& a, const Entry& b) {
            return a.nKind != b.nKind ? a.nKind < b.nKind : a.wType < b.wType;
        }
    };

    void Add(int nKind, WORD wType) {
        const Entry key{nKind, wType, 0};
        auto it = std::lower_bound(m_entries.begin(), m_entries.end(), key);
        if (it != m_entries.end() && it->nKind == nKind && it->wType == wType)
            ++it->cObjects;
        else
            m_entries.insert(it, {nKind, wType, 1});
    }
    bool Contains(int nKind, WORD wType) const {
        const Entry key{nKind, wType, 0};
        auto it = std::lower_bound(m_entries.begin(), m_entries.end(), key);
        return it != m_entries.end() && it->nKind == nKind && it->wType == wType;
    }
    // Sorted by kind, then type.
    const std::vector<Entry>& Entries() const { return m_entries; }

private:
    std::vector<Entry> m_entries;
};

} // namespace velka
