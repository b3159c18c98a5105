#include "mapdata/collation.h"

#include <cstdio>
#include <map>
#include <mutex>

#include <unicode/ucol.h>
#include <unicode/uloc.h>

namespace velka {

namespace {

UCollator* OpenCollator(DWORD dwLcid, UCollationStrength strength) {
    char szLocale[ULOC_FULLNAME_CAPACITY] = "";
    UErrorCode err = U_ZERO_ERROR;
    if (dwLcid != 0) {
        uloc_getLocaleForLCID(dwLcid, szLocale, sizeof szLocale, &err);
        if (U_FAILURE(err)) szLocale[0] = 0;
        err = U_ZERO_ERROR;
    } else {
        const char* def = uloc_getDefault();
        std::snprintf(szLocale, sizeof szLocale, "%s", def ? def : "");
    }
    UCollator* p = ucol_open(szLocale, &err);
    if (U_FAILURE(err) || !p) {
        err = U_ZERO_ERROR;
        p = ucol_open("", &err); // root collation
        if (U_FAILURE(err)) return nullptr;
    }
    ucol_setStrength(p, strength);
    return p;
}

int Collate(UCollator* p, std::u16string_view a, std::u16string_view b) {
    if (!p) return a.compare(b) < 0 ? -1 : a == b ? 0 : 1;
    const UCollationResult r = ucol_strcoll(p, reinterpret_cast<const UChar*>(a.data()),
                                            static_cast<int32_t>(a.size()),
                                            reinterpret_cast<const UChar*>(b.data()),
                                            static_cast<int32_t>(b.size()));
    return r == UCOL_LESS ? -1 : r == UCOL_EQUAL ? 0 : 1;
}

} // namespace

CCollator::CCollator(DWORD dwLcid)
    : m_dwLcid(dwLcid), m_pSecondary(OpenCollator(dwLcid, UCOL_SECONDARY)),
      m_pTertiary(OpenCollator(dwLcid, UCOL_TERTIARY)) {}

CCollator::~CCollator() {
    if (m_pSecondary) ucol_close(m_pSecondary);
    if (m_pTertiary) ucol_close(m_pTertiary);
}

int CCollator::Compare(std::u16string_view a, std::u16string_view b) const {
    return Collate(m_pSecondary, a, b);
}

bool CCollator::Less(std::u16string_view a, std::u16string_view b) const {
    const int n = Compare(a, b);
    if (n != 0) return n < 0;
    const int t = Collate(m_pTertiary, a, b);
    return t != 0 ? t < 0 : a < b;
}

const CCollator& CCollator::ForLcid(DWORD dwLcid) {
    static std::mutex s_lock;
    static std::map<DWORD, std::unique_ptr<CCollator>> s_collators;
    std::lock_guard<std::mutex> guard(s_lock);
    auto& p = s_collators[dwLcid];
    if (!p) p = std::make_unique<CCollator>(dwLcid);
    return *p;
}

} // namespace velka
