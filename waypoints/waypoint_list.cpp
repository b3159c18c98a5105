#include "waypoints/waypoint_list.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "gauges/units.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/string_ids.h"
#include "tracks/semicircles.h"
#include "waypoints/exchange.h"

namespace velka {
namespace {

constexpr const char16_t* c_szSortCol = u"Waypoints_SortCol";
constexpr const char16_t* c_szSortOrder = u"Waypoints_SortOrder";
constexpr const char16_t* c_szHeaders = u"Waypoints_Headers";

// Lower case of Latin and Cyrillic capitals; ё sorts with е.
char16_t FoldCase(char16_t c) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 0x20);
    else if (c >= 0x0410 && c <= 0x042F) c = static_cast<char16_t>(c + 0x20);
    else if (c >= 0x0400 && c <= 0x040F) c = static_cast<char16_t>(c + 0x50);
    if (c == 0x0450 || c == 0x0451) c = 0x0435;
    return c;
}

int CompareNoCase(const std::u16string& a, const std::u16string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t ca = FoldCase(a[i]), cb = FoldCase(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return 0;
}

template <class T>
int Compare3(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

std::u16string Trimmed(std::u16string s) {
    while (!s.empty() && s.front() == u' ') s.erase(s.begin());
    while (!s.empty() && s.back() == u' ') s.pop_back();
    return s;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == 0x00A0; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
// The unit mark that may follow component i of a coordinate (0 degrees,
// 1 minutes, 2 seconds); ':' separates degrees, minutes and seconds.
bool IsMarkOf(char16_t c, int i) {
    switch (c) {
    case u'°':
    case 0x00BA: return i == 0;
    case u'\'':
    case 0x2032: return i == 1;
    case u'"':
    case 0x2033: return i == 2;
    case u':': return i < 2;
    default: return false;
    }
}

// An unsigned decimal number at the start of text: digits with at most one
// '.' or ','. Advances past it.
std::optional<double> ReadUnsigned(std::u16string_view& text, bool* pfFraction) {
    std::string ascii;
    std::size_t i = 0;
    bool fPoint = false;
    for (; i < text.size() && i < 40; ++i) {
        const char16_t c = text[i];
        if (IsDigit(c)) {
            ascii += static_cast<char>(c);
        } else if ((c == u'.' || c == u',') && !fPoint) {
            fPoint = true;
            ascii += '.';
        } else {
            break;
        }
    }
    if (ascii.empty() || ascii == ".") return std::nullopt;
    if (i < text.size() && (IsDigit(text[i]) || text[i] == u'.' || text[i] == u',')) return std::nullopt;
    double d = 0;
    const auto res = std::from_chars(ascii.data(), ascii.data() + ascii.size(), d);
    if (res.ec != std::errc() || res.ptr != ascii.data() + ascii.size()) return std::nullopt;
    text.remove_prefix(i);
    if (pfFraction) *pfFraction = fPoint;
    return d;
}

// The hemisphere letter's sign: +1, -1, or 0 for no letter of this axis.
int HemisphereSign(char16_t c, bool fLatitude) {
    const char16_t l = FoldCase(c);
    if (fLatitude) {
        if (l == u'n' || l == u'\u0441') return 1;  // N, С
        if (l == u's' || l == u'\u044E') return -1; // S, Ю
    } else {
        if (l == u'e' || l == u'\u0432') return 1;  // E, В
        if (l == u'w' || l == u'\u0437') return -1; // W, З
    }
    return 0;
}

struct ValueRange {
    double dMin, dMax;
};

ValueRange RangeOf(WaypointValueKind kind) {
    switch (kind) {
    case wvAltitude: return {-20000, 100000}; // metres
    case wvDepth: return {-20000, 20000};
    case wvProximity: return {0, 1.0e7};
    case wvTemperature: return {-273.15, 1000};
    }
    return {0, 0};
}

// Display units per metre of a kind (1 for temperatures).
double DisplayFactor(WaypointValueKind kind) {
    switch (kind) {
    case wvAltitude:
    case wvDepth: return g_UnitOptions.nElevationUnit == unFeet ? c_fFeetPerMeter : 1.0;
    case wvProximity: return g_UnitOptions.nDistanceUnit == duMetric ? 1.0 : c_fFeetPerMeter;
    case wvTemperature: return 1.0;
    }
    return 1.0;
}

bool IsFeet(WaypointValueKind kind) { return kind != wvTemperature && DisplayFactor(kind) != 1.0; }

} // namespace

UINT WaypointColumnTitle(int iColumn) { return IDS_WPT_COLUMN_NAME + static_cast<UINT>(iColumn); }

std::u16string WaypointCellText(const Waypoint& wp, int iColumn) {
    switch (iColumn) {
    case wcName: return wp.strName;
    case wcSymbol: return WaypointTypeName(wp.wType);
    case wcPosition: {
        std::u16string s;
        FormatPosition(SemicirclesToDegrees(wp.lY), SemicirclesToDegrees(wp.lX), s);
        return Trimmed(s);
    }
    case wcAltitude: {
        if (!wp.HasAltitude()) return {};
        std::u16string strValue, strUnit;
        FormatElevation(wp.fAltitude, unMeters, true, strValue, strUnit);
        return strValue + u" " + strUnit;
    }
    case wcComment: return wp.strComment;
    case wcTime: return WaypointTimeText(wp.dTime);
    default: return {};
    }
}

int CompareWaypoints(const Waypoint& a, const Waypoint& b, int iColumn) {
    switch (iColumn) {
    case wcName: return CompareNoCase(a.strName, b.strName);
    case wcSymbol: return CompareNoCase(WaypointTypeName(a.wType), WaypointTypeName(b.wType));
    case wcPosition: {
        const int n = Compare3(a.lY, b.lY);
        return n ? n : Compare3(a.lX, b.lX);
    }
    case wcAltitude:
        if (a.HasAltitude() != b.HasAltitude()) return a.HasAltitude() ? 1 : -1;
        return a.HasAltitude() ? Compare3(a.fAltitude, b.fAltitude) : 0;
    case wcComment: return CompareNoCase(a.strComment, b.strComment);
    case wcTime: return Compare3(a.dTime, b.dTime);
    default: return 0;
    }
}

std::vector<Waypoint*> LiveWaypoints(const CWaypointStore& store) {
    std::vector<Waypoint*> v;
    for (const auto& p : store.Waypoints())
        if (!p->IsDeleted()) v.push_back(p.get());
    return v;
}

void SortWaypoints(std::vector<Waypoint*>& waypoints, int iColumn, bool fDescending) {
    if (iColumn < 0 || iColumn >= c_cWaypointColumns) return;
    std::stable_sort(waypoints.begin(), waypoints.end(), [&](const Waypoint* a, const Waypoint* b) {
        const int n = CompareWaypoints(*a, *b, iColumn);
        return fDescending ? n > 0 : n < 0;
    });
}

WaypointListSort ReadWaypointListSort() {
    WaypointListSort sort;
    sort.iColumn = ReadSettingInt(c_szSortCol, -1);
    if (sort.iColumn < -1 || sort.iColumn >= c_cWaypointColumns) sort.iColumn = -1;
    sort.fDescending = ReadSettingInt(c_szSortOrder, 0) == 1;
    return sort;
}

void WriteWaypointListSort(const WaypointListSort& sort) {
    WriteSettingInt(c_szSortCol, sort.iColumn);
    WriteSettingInt(c_szSortOrder, sort.fDescending ? 1 : 0);
}

std::u16string FormatListState(const ListColumnState& state) {
    std::vector<int> numbers;
    numbers.push_back(static_cast<int>(state.order.size()));
    numbers.insert(numbers.end(), state.order.begin(), state.order.end());
    numbers.insert(numbers.end(), state.widths.begin(), state.widths.end());
    std::u16string text;
    for (int n : numbers) {
        const std::u16string item = FromUtf8(std::to_string(n) + " ");
        if (text.size() + item.size() > c_cchListState - 1) break; // the text is full
        text += item;
    }
    return text;
}

std::optional<ListColumnState> ParseListState(std::u16string_view text, int cColumns) {
    std::vector<int> numbers;
    std::size_t i = 0;
    while (i < text.size() && numbers.size() <= 1 + 2 * static_cast<std::size_t>(cColumns)) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        if (i == text.size()) break;
        bool fNegative = false;
        if (text[i] == u'-') {
            fNegative = true;
            ++i;
        }
        long long v = 0;
        std::size_t cDigits = 0;
        for (; i < text.size() && IsDigit(text[i]) && cDigits < 9; ++i, ++cDigits) v = v * 10 + (text[i] - u'0');
        if (cDigits == 0 || (i < text.size() && !IsBlank(text[i]))) return std::nullopt;
        numbers.push_back(static_cast<int>(fNegative ? -v : v));
    }
    if (numbers.size() != 1 + 2 * static_cast<std::size_t>(cColumns) || numbers[0] != cColumns)
        return std::nullopt;
    ListColumnState state;
    state.order.assign(numbers.begin() + 1, numbers.begin() + 1 + cColumns);
    state.widths.assign(numbers.begin() + 1 + cColumns, numbers.end());
    std::vector<bool> seen(static_cast<std::size_t>(cColumns), false);
    for (int n : state.order) {
        if (n < 0 || n >= cColumns || seen[static_cast<std::size_t>(n)]) return std::nullopt;
        seen[static_cast<std::size_t>(n)] = true;
    }
    for (int w : state.widths)
        if (w < 0 || w > c_nMaxListColumnWidth) return std::nullopt;
    return state;
}

std::optional<ListColumnState> ReadWaypointListHeaders() {
    return ParseListState(ReadSettingString(c_szHeaders, c_cchListState, u""), c_cWaypointColumns);
}

void WriteWaypointListHeaders(const ListColumnState& state) {
    WriteSettingString(c_szHeaders, FormatListState(state).c_str());
}

std::optional<double> ParseCoordinate(std::u16string_view text, bool fLatitude) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    int nSign = 0;     // from a letter or a sign
    bool fLetter = false;
    if (const int s = HemisphereSign(text.front(), fLatitude)) {
        nSign = s;
        fLetter = true;
        text.remove_prefix(1);
    } else if (text.front() == u'-' || text.front() == u'+') {
        nSign = text.front() == u'-' ? -1 : 1;
        text.remove_prefix(1);
    }
    if (!text.empty() && !fLetter) {
        if (const int s = HemisphereSign(text.back(), fLatitude)) {
            if (nSign != 0) return std::nullopt; // a sign and a letter
            nSign = s;
            fLetter = true;
            text.remove_suffix(1);
        }
    }
    // Up to three components; only the last may have a fraction.
    double aParts[3] = {0, 0, 0};
    int cParts = 0;
    bool fFraction = false;
    while (true) {
        while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
        if (text.empty()) break;
        if (cParts == 3 || fFraction) return std::nullopt;
        const auto v = ReadUnsigned(text, &fFraction);
        if (!v) return std::nullopt;
        aParts[cParts++] = *v;
        // Blanks and at most one unit mark, the one of this component.
        bool fMark = false;
        while (!text.empty() && (IsBlank(text.front()) || IsMarkOf(text.front(), cParts - 1))) {
            if (!IsBlank(text.front())) {
                if (fMark) return std::nullopt;
                fMark = true;
            }
            text.remove_prefix(1);
        }
    }
    if (cParts == 0) return std::nullopt;
    if (cParts >= 2 && aParts[1] >= 60) return std::nullopt;
    if (cParts == 3 && aParts[2] >= 60) return std::nullopt;
    const double d = aParts[0] + aParts[1] / 60 + aParts[2] / 3600;
    if (d > (fLatitude ? 90.0 : 180.0)) return std::nullopt;
    return nSign < 0 ? -d : d;
}

std::u16string LatitudeText(LONG lY) {
    std::u16string s;
    FormatLatitude(SemicirclesToDegrees(lY), s);
    return Trimmed(s);
}

std::u16string LongitudeText(LONG lX) {
    std::u16string s;
    FormatLongitude(SemicirclesToDegrees(lX), s);
    return Trimmed(s);
}

std::optional<double> ParseNumber(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    bool fNegative = false;
    if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
        fNegative = text.front() == u'-';
        text.remove_prefix(1);
    }
    const auto v = ReadUnsigned(text, nullptr);
    if (!v || !text.empty()) return std::nullopt;
    return fNegative ? -*v : *v;
}

std::u16string WaypointValueUnit(WaypointValueKind kind) {
    if (kind == wvTemperature) return LoadStr(IDS_UNIT_CELSIUS);
    return LoadStr(IsFeet(kind) ? IDS_UNIT_FEET : IDS_UNIT_METRES);
}

std::u16string WaypointValueText(WaypointValueKind kind, float fValue) {
    std::string s = FormatFixed(static_cast<double>(fValue) * DisplayFactor(kind), 1);
    if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
    if (s == "-0") s = "0";
    return FromUtf8(s);
}

std::optional<float> ParseWaypointValue(WaypointValueKind kind, std::u16string_view text) {
    const auto v = ParseNumber(text);
    if (!v) return std::nullopt;
    const double d = *v / DisplayFactor(kind);
    const ValueRange r = RangeOf(kind);
    if (!(d >= r.dMin && d <= r.dMax)) return std::nullopt;
    return static_cast<float>(d);
}

std::u16string WaypointTimeText(double dTime) {
    if (dTime == 0) return {};
    SYSTEMTIME st{};
    if (!VariantTimeToSystemTime(UtcOleToLocal(dTime), &st)) return {};
    return FormatW(u"%04d-%02d-%02d %02d:%02d:%02d", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                   st.wSecond);
}

} // namespace velka
