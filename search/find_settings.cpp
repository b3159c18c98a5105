#include "search/find_settings.h"

#include <cmath>
#include <cstdio>

#include "gauges/units.h"
#include "platform/text.h"
#include "search/type_filter_table.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

constexpr std::size_t c_cchFindText = 64;

const char16_t* CookieSetting(TypeChooserMode mode) {
    return mode == tmNearest ? u"Find_TypeCookie" : u"FindCityPlaces_TypeCookie";
}

const char16_t* ListStateSetting(FindDialogKind kind) {
    switch (kind) {
    case fkInCity: return u"FindCityPlaces_Headers";
    case fkAddress: return u"FindByAddress_Headers";
    case fkNearest: return u"FindNearest_Headers";
    default: return nullptr;
    }
}

} // namespace

std::size_t ExcludedTypeRow(TypeChooserMode mode) {
    return mode == tmNearest ? c_iOtherObjectsRow : c_iAllTypesRow;
}

bool IsTypeCookieValid(TypeChooserMode mode, long long nCookie) {
    return nCookie >= 0 && nCookie < static_cast<long long>(c_cTypeFilters) &&
           static_cast<std::size_t>(nCookie) != ExcludedTypeRow(mode);
}

std::size_t ReadTypeCookie(TypeChooserMode mode) {
    const int n = ReadSettingInt(CookieSetting(mode), -1);
    if (IsTypeCookieValid(mode, n)) return static_cast<std::size_t>(n);
    return mode == tmNearest ? c_iAllTypesRow : c_iAllTypesRow + 1;
}

void WriteTypeCookie(TypeChooserMode mode, std::size_t cCookie) {
    if (IsTypeCookieValid(mode, static_cast<long long>(cCookie)))
        WriteSettingInt(CookieSetting(mode), static_cast<int>(cCookie));
}

bool ReadAutoType() { return ReadSettingBool(u"Find_AutoType", true); }
void WriteAutoType(bool f) { WriteSettingBool(u"Find_AutoType", f); }

std::optional<ListColumnState> ReadFindListState(FindDialogKind kind) {
    const char16_t* szName = ListStateSetting(kind);
    if (!szName) return std::nullopt;
    return ParseListState(ReadSettingString(szName, c_cchListState, u""), c_cFindColumns);
}

void WriteFindListState(FindDialogKind kind, const ListColumnState& state) {
    if (const char16_t* szName = ListStateSetting(kind)) WriteSettingString(szName, FormatListState(state).c_str());
}

int ReadFindCity(DWORD cCities) {
    if (cCities == 0) return -1;
    const int n = ReadSettingInt(u"Find_City", 0);
    return n >= 0 && static_cast<DWORD>(n) < cCities ? n : 0;
}

void WriteFindCity(int nRow) {
    if (nRow >= 0) WriteSettingInt(u"Find_City", nRow);
}

DWORD ReadFindRadius() {
    const int n = ReadSettingInt(u"Find_Distance", static_cast<int>(c_dwDefaultRadius));
    return n >= 0 && static_cast<DWORD>(n) <= c_dwMaxRadius ? static_cast<DWORD>(n) : c_dwDefaultRadius;
}

void WriteFindRadius(DWORD dwMetres) {
    WriteSettingInt(u"Find_Distance", static_cast<int>(std::min(dwMetres, c_dwMaxRadius)));
}

double RadiusUnitMetres(int nDistanceUnit) {
    switch (nDistanceUnit) {
    case duNautical: return c_fMetersPerNauticalMile;
    case duStatute: return c_fMetersPerStatuteMile;
    default: return 1000.0;
    }
}

std::u16string RadiusUnitLabel(int nDistanceUnit) {
    switch (nDistanceUnit) {
    case duNautical: return LoadStr(IDS_UNIT_NAUTICAL_MILES);
    case duStatute: return LoadStr(IDS_UNIT_STATUTE_MILES);
    default: return LoadStr(IDS_UNIT_KILOMETRES);
    }
}

std::u16string FormatRadius(DWORD dwMetres, int nDistanceUnit) {
    char sz[32];
    std::snprintf(sz, sizeof sz, "%.1f", dwMetres / RadiusUnitMetres(nDistanceUnit));
    return FromUtf8(sz);
}

std::optional<DWORD> ParseRadius(std::u16string_view text, int nDistanceUnit) {
    std::string s;
    for (char16_t c : text) {
        if (c == u' ' || c == u'\t') continue;
        if (c > 0x7F) return std::nullopt;
        s += c == u',' ? '.' : static_cast<char>(c);
    }
    if (s.empty()) return std::nullopt;
    char* pEnd = nullptr;
    const double d = std::strtod(s.c_str(), &pEnd);
    if (pEnd != s.c_str() + s.size() || !std::isfinite(d)) return std::nullopt;
    const double dMetres = d * RadiusUnitMetres(nDistanceUnit) + 0.5;
    if (!(dMetres > 0)) return 0;
    if (dMetres >= c_dwMaxRadius) return c_dwMaxRadius;
    return static_cast<DWORD>(dMetres);
}

std::u16string ReadFindText(const char16_t* szName) {
    return ReadSettingString(szName, c_cchFindText, u"");
}

void WriteFindText(const char16_t* szName, const std::u16string& strText) {
    WriteSettingString(szName, strText.substr(0, c_cchFindText - 1).c_str());
}

} // namespace velka
