// What the search dialogs keep in the settings store, read back with
// validation: the type cookie of each dialog that has a type, the column
// state of each result list, the selected city, and the nearest search's
// radius, shown and typed in the user's distance unit.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/win_types.h"
#include "waypoints/waypoint_list.h"

namespace velka {

// The four dialogs.
enum FindDialogKind { fkCity = 0, fkInCity = 1, fkAddress = 2, fkNearest = 3 };

// The result list's eight columns.
enum FindColumn {
    fcName = 0, fcDistance, fcAzimuth, fcType, fcAddress, fcSettlement, fcPostcode, fcMapFile,
    c_cFindColumns
};

// Type chooser modes: the nearest dialog leaves out "Прочие объекты"
// (nothing to search for by type), the objects-in-city dialog "Все типы"
// (the objects index lists by category).
enum TypeChooserMode { tmNearest = 0, tmInCity = 1 };
constexpr std::size_t c_iAllTypesRow = 0;
constexpr std::size_t c_iOtherObjectsRow = 420;
// The row a mode leaves out of the tree.
std::size_t ExcludedTypeRow(TypeChooserMode mode);
// Whether a cookie names a row the mode shows.
bool IsTypeCookieValid(TypeChooserMode mode, long long nCookie);

// Each dialog keeps its own cookie ("Find_TypeCookie" for the nearest
// dialog, "FindCityPlaces_TypeCookie" for the objects-in-city dialog): one
// cookie shared by both would name a row one of them leaves out. A stored
// cookie outside the table, or naming the left-out row, reads as the
// mode's default (all types; the first group for objects in a city).
std::size_t ReadTypeCookie(TypeChooserMode mode);
void WriteTypeCookie(TypeChooserMode mode, std::size_t cCookie);
bool ReadAutoType();
void WriteAutoType(bool f);

// The column state of a dialog's result list (null for the city dialog,
// which has none, and for a stored text that is not a valid state).
std::optional<ListColumnState> ReadFindListState(FindDialogKind kind);
void WriteFindListState(FindDialogKind kind, const ListColumnState& state);

// Find_City: the city row to select, or -1 when none fits cCities.
int ReadFindCity(DWORD cCities);
void WriteFindCity(int nRow);

// The radius of the nearest dialog in metres: Find_Distance, 1000 when
// unset or out of range.
constexpr DWORD c_dwDefaultRadius = 1000;
// The largest radius kept: half the Earth's circumference.
constexpr DWORD c_dwMaxRadius = 20000000;
DWORD ReadFindRadius();
void WriteFindRadius(DWORD dwMetres);

// The distance unit of the units option: its divisor (metres per unit)
// and its label ("км", "м.м", "ми").
double RadiusUnitMetres(int nDistanceUnit);
std::u16string RadiusUnitLabel(int nDistanceUnit);
// "%.1f" of the radius in the unit.
std::u16string FormatRadius(DWORD dwMetres, int nDistanceUnit);
// A typed radius in whole metres (a comma may stand for the point), or
// null when the text is no number; clamped to 0 .. c_dwMaxRadius.
std::optional<DWORD> ParseRadius(std::u16string_view text, int nDistanceUnit);

// The texts of the address and nearest dialogs (64 characters each).
std::u16string ReadFindText(const char16_t* szName);
void WriteFindText(const char16_t* szName, const std::u16string& strText);
inline constexpr const char16_t* c_szFindZip = u"Find_Zip";
inline constexpr const char16_t* c_szFindStreet = u"Find_Street";
inline constexpr const char16_t* c_szFindNumber = u"Find_Number";
inline constexpr const char16_t* c_szFindName = u"Find_Name";

} // namespace velka
