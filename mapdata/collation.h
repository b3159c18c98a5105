// Comparing names under a map's locale, keyed by its locale identifier
// (LCID; 0 is the user's default locale). One wrapper over ICU collation
// serves the map reader's binary searches and the compiler's sorting, so
// the order written is exactly the order searched.
#pragma once
#include <memory>
#include <string_view>

#include "platform/win_types.h"

struct UCollator;

namespace velka {

class CCollator {
public:
    // A collator for the locale; when ICU knows no locale for the LCID the
    // root collation is used.
    explicit CCollator(DWORD dwLcid);
    ~CCollator();
    CCollator(const CCollator&) = delete;
    CCollator& operator=(const CCollator&) = delete;

    DWORD Lcid() const { return m_dwLcid; }
    // Case-insensitive comparison: < 0, 0 or > 0.
    int Compare(std::u16string_view a, std::u16string_view b) const;
    // Case-insensitive, and texts equal there ordered by case, so a sort is
    // deterministic; equal texts under Compare stay adjacent.
    bool Less(std::u16string_view a, std::u16string_view b) const;

    // One shared collator per LCID, created on first use.
    static const CCollator& ForLcid(DWORD dwLcid);

private:
    DWORD m_dwLcid;
    UCollator* m_pSecondary = nullptr; // ignores case
    UCollator* m_pTertiary = nullptr;  // orders by case as well
};

} // namespace velka
