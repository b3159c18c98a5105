#include "gauges/units.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/debug.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/string_ids.h"

namespace velka {

UnitOptions g_UnitOptions;

namespace {

// String table entries of the unit labels and the compass points.
enum : UINT {
    idsMeters = IDS_UNIT_METRES,
    idsFeet = IDS_UNIT_FEET,
    idsKilometers = IDS_UNIT_KILOMETRES,
    idsNauticalMiles = IDS_UNIT_NAUTICAL_MILES,
    idsStatuteMiles = IDS_UNIT_STATUTE_MILES,
    idsKmh = IDS_UNIT_KMH,
    idsMph = IDS_UNIT_MPH,
    idsKnots = IDS_UNIT_KNOTS,
    idsMps = IDS_UNIT_MPS,
    idsFps = IDS_UNIT_FPS,
    idsSquareMeters = IDS_UNIT_SQUARE_METRES,
    idsSquareKilometers = IDS_UNIT_SQUARE_KILOMETRES,
    idsSquareFeet = IDS_UNIT_SQUARE_FEET,
    idsSquareMiles = IDS_UNIT_SQUARE_MILES,
    idsAcres = IDS_UNIT_ACRES,
    idsHectares = IDS_UNIT_HECTARES,
    idsCompassFirst = IDS_COMPASS_FIRST, // eight points from north clockwise
};
constexpr UINT c_aLabelIds[] = {idsMeters, idsFeet, idsKilometers, idsNauticalMiles,
                                idsStatuteMiles, idsKmh, idsMph, idsKnots, idsMps, idsFps,
                                idsSquareMeters, idsSquareKilometers, idsSquareFeet,
                                idsSquareMiles, idsAcres, idsHectares};
constexpr std::size_t c_cLabels = sizeof c_aLabelIds / sizeof c_aLabelIds[0];
constexpr std::size_t c_cchLabel = 32;      // label buffers, zero included
constexpr std::size_t c_cchCompassPoint = 10;
constexpr int c_cCompassPoints = 8;

struct Labels {
    bool fLoaded = false;
    std::u16string aUnit[c_cLabels];
    std::u16string aCompass[c_cCompassPoints];
    std::u16string strCelsius;
};
Labels g_labels;

std::u16string LoadCut(UINT uId, std::size_t cchBuffer) {
    std::u16string s = LoadStr(uId);
    if (s.size() >= cchBuffer) s.resize(cchBuffer - 1);
    return s;
}

const Labels& CurrentLabels() {
    if (!g_labels.fLoaded) LoadUnitLabels();
    return g_labels;
}

const std::u16string& Label(UINT uId) {
    const Labels& labels = CurrentLabels();
    for (std::size_t i = 0; i < c_cLabels; ++i)
        if (c_aLabelIds[i] == uId) return labels.aUnit[i];
    static const std::u16string s_empty;
    return s_empty;
}

// Truncation of a non-negative real to an integer, saturating so that no
// value can overflow the conversion.
int Truncate(double d) {
    if (!(d > 0)) return 0; // negative and NaN
    if (d >= 2147483647.0) return 2147483647;
    return static_cast<int>(d);
}
int Round(double d) { return Truncate(d + 0.5); }

} // namespace

void LoadUnitLabels() {
    for (std::size_t i = 0; i < c_cLabels; ++i) g_labels.aUnit[i] = LoadCut(c_aLabelIds[i], c_cchLabel);
    for (int i = 0; i < c_cCompassPoints; ++i)
        g_labels.aCompass[i] = LoadCut(idsCompassFirst + static_cast<UINT>(i), c_cchCompassPoint);
    g_labels.strCelsius = LoadCut(IDS_UNIT_CELSIUS, c_cchLabel);
    g_labels.fLoaded = true;
}

int DefaultStreetAddressFormat() {
    // The locale that governs address formats: LC_ALL, then LC_ADDRESS, then LANG.
    const char* szLocale = nullptr;
    for (const char* szName : {"LC_ALL", "LC_ADDRESS", "LANG"}) {
        const char* sz = std::getenv(szName);
        if (sz && *sz) {
            szLocale = sz;
            break;
        }
    }
    const bool fRussian = szLocale && std::strncmp(szLocale, "ru", 2) == 0 &&
                          (szLocale[2] == 0 || szLocale[2] == '_' || szLocale[2] == '.' ||
                           szLocale[2] == '@');
    return fRussian ? sfStreetFirst : sfHouseNumberFirst;
}

UnitOptions StoredUnitOptions() {
    UnitOptions o;
    o.nElevationUnit = ReadSettingInt(u"OptionElevationUnit", unMeters);
    o.nDistanceUnit = ReadSettingInt(u"OptionDistanceUnit", duMetric);
    o.nAreaUnit = ReadSettingInt(u"OptionAreaUnit", auMetric);
    o.nAzimuthFormat = ReadSettingInt(u"OptionAzimuthFormat", afDegrees);
    o.nPositionFormat = ReadSettingInt(u"OptionPositionFormat", pfDegreesMinutes);
    o.nStreetAddressFormat =
        ReadSettingInt(u"OptionPA_StreetAddressFormat", DefaultStreetAddressFormat());
    o.fShowZipCode = ReadSettingBool(u"OptionPA_ShowZipCode", false);
    o.fShowCity = ReadSettingBool(u"OptionPA_ShowCity", true);
    return o;
}

void WriteUnitOptions(const UnitOptions& o) {
    WriteSettingInt(u"OptionElevationUnit", o.nElevationUnit);
    WriteSettingInt(u"OptionDistanceUnit", o.nDistanceUnit);
    WriteSettingInt(u"OptionAreaUnit", o.nAreaUnit);
    WriteSettingInt(u"OptionAzimuthFormat", o.nAzimuthFormat);
    WriteSettingInt(u"OptionPositionFormat", o.nPositionFormat);
    WriteSettingInt(u"OptionPA_StreetAddressFormat", o.nStreetAddressFormat);
    WriteSettingBool(u"OptionPA_ShowZipCode", o.fShowZipCode);
    WriteSettingBool(u"OptionPA_ShowCity", o.fShowCity);
}

void ReadUnitOptions() {
    g_UnitOptions = StoredUnitOptions();
    LoadUnitLabels();
}

std::u16string FormatIntegerWithGroups(int n) {
    if (n < 0) n = 0;
    if (n < 1000) return FormatW(u"%d", n);
    if (n > 999999) {
        const long long r = static_cast<long long>(n) + 500; // rounded to thousands
        return FormatW(u"%d %03d 000", static_cast<int>(r / 1000000), static_cast<int>(r / 1000 % 1000));
    }
    return FormatW(u"%d %03d", n / 1000, n % 1000);
}

std::u16string FormatRealNumber(double d) {
    if (d == 0) return u"0";
    if (d < 1) return FormatW(d >= 0.1 ? u"%0.3f" : u"%0.4f", d);
    if (d < 100) return FormatW(u"%0.2f", d);
    if (d < 1000) return FormatW(u"%0.1f", d);
    return FormatIntegerWithGroups(Round(d));
}

void FormatDistance(float _fDistanceInM, std::u16string& strValue, std::u16string& strUnit) {
    VELKA_ASSERT(_fDistanceInM >= 0);
    const float m = _fDistanceInM;
    switch (g_UnitOptions.nDistanceUnit) {
    case duMetric:
        if (m >= 1000) {
            strValue = FormatRealNumber(m / 1000.0f);
            strUnit = Label(idsKilometers);
        } else {
            strValue = FormatW(u"%d", Round(m));
            strUnit = Label(idsMeters);
        }
        return;
    case duNautical:
    case duStatute: {
        const bool fNautical = g_UnitOptions.nDistanceUnit == duNautical;
        const float miles = m / (fNautical ? c_fMetersPerNauticalMile : c_fMetersPerStatuteMile);
        if (miles >= 1) {
            strValue = FormatRealNumber(miles);
            strUnit = Label(fNautical ? idsNauticalMiles : idsStatuteMiles);
        } else {
            strValue = FormatW(u"%d", Round(m * c_fFeetPerMeter));
            strUnit = Label(idsFeet);
        }
        return;
    }
    default:
        VELKA_ASSERT(false);
    }
}

void FormatElevation(float fValue, int nInputUnit, bool fInteger, std::u16string& strValue,
                     std::u16string& strUnit) {
    VELKA_ASSERT(nInputUnit == unFeet || nInputUnit == unMeters);
    float v = fValue;
    UINT uUnit;
    switch (g_UnitOptions.nElevationUnit) {
    case unFeet:
        if (nInputUnit == unMeters) v *= c_fFeetPerMeter;
        uUnit = idsFeet;
        break;
    case unMeters:
        if (nInputUnit == unFeet) v /= c_fFeetPerMeter;
        uUnit = idsMeters;
        break;
    default:
        VELKA_ASSERT(false);
        return;
    }
    std::u16string text;
    if (v < 0) {
        text = u"-";
        v = -v;
    }
    if (fInteger) {
        text += FormatW(u"%d", Round(v));
    } else {
        int d = Truncate(v + 0.05f);
        int tenth = Truncate((v - static_cast<float>(d)) * 10 + 0.5f);
        if (tenth >= 10) { // float rounding at x.95: carry instead of writing "x.10"
            d += tenth / 10;
            tenth %= 10;
        }
        text += FormatW(u"%d.%d", d, tenth);
    }
    strValue = text;
    strUnit = Label(uUnit);
}

void FormatSpeed(float fSpeedInKmh, std::u16string& strValue, std::u16string& strUnit) {
    switch (g_UnitOptions.nDistanceUnit) {
    case duMetric:
        strValue = FormatW(u"%0.1f", static_cast<double>(fSpeedInKmh));
        strUnit = Label(idsKmh);
        return;
    case duNautical:
        strValue = FormatW(u"%0.1f", static_cast<double>(fSpeedInKmh / c_fKmhPerKnot));
        strUnit = Label(idsKnots);
        return;
    case duStatute:
        strValue = FormatW(u"%0.1f", static_cast<double>(fSpeedInKmh / c_fKmhPerMph));
        strUnit = Label(idsMph);
        return;
    default:
        VELKA_ASSERT(false);
    }
}

void FormatVerticalSpeed(float fSpeedInMps, std::u16string& strValue, std::u16string& strUnit) {
    switch (g_UnitOptions.nDistanceUnit) {
    case duMetric:
        strValue = FormatW(u"%0.1f", static_cast<double>(fSpeedInMps));
        strUnit = Label(idsMps);
        return;
    case duNautical:
    case duStatute:
        strValue = FormatW(u"%0.1f", static_cast<double>(fSpeedInMps * c_fFeetPerMeter));
        strUnit = Label(idsFps);
        return;
    default:
        VELKA_ASSERT(false);
    }
}

void FormatArea(double dAreaInM2, std::u16string& strValue, std::u16string& strUnit) {
    switch (g_UnitOptions.nAreaUnit) {
    case auMetric:
        if (dAreaInM2 >= 100000) {
            strValue = FormatRealNumber(dAreaInM2 / 1000000);
            strUnit = Label(idsSquareKilometers);
        } else {
            strValue = FormatIntegerWithGroups(Round(dAreaInM2));
            strUnit = Label(idsSquareMeters);
        }
        return;
    case auSquareMiles: {
        const double miles = dAreaInM2 / c_dSquareMetersPerSquareMile;
        if (miles >= 0.01) {
            strValue = FormatRealNumber(miles);
            strUnit = Label(idsSquareMiles);
        } else {
            const double feet = static_cast<double>(c_fFeetPerMeter);
            strValue = FormatIntegerWithGroups(Round(dAreaInM2 * feet * feet));
            strUnit = Label(idsSquareFeet);
        }
        return;
    }
    case auAcres:
        strValue = FormatRealNumber(dAreaInM2 / c_fSquareMetersPerAcre);
        strUnit = Label(idsAcres);
        return;
    case auHectares:
        strValue = FormatRealNumber(dAreaInM2 / c_fSquareMetersPerHectare);
        strUnit = Label(idsHectares);
        return;
    default:
        VELKA_ASSERT(false);
    }
}

void FormatTemperature(float fCelsius, std::u16string& strValue, std::u16string& strUnit) {
    strValue = FormatW(u"%0.1f", static_cast<double>(fCelsius));
    strUnit = CurrentLabels().strCelsius;
}

void FormatTimeSpan(double dDays, std::u16string& strValue) {
    VELKA_ASSERT(dDays >= 0);
    if (!(dDays >= 0)) dDays = 0;
    long long h = Truncate(dDays * 24);
    long long m = Truncate((dDays - static_cast<double>(h) / 24) * 1440);
    long long s = Round((dDays - static_cast<double>(h) / 24 - static_cast<double>(m) / 1440) * 86400);
    if (s >= 60) { // rounding up to a whole minute carries instead of showing ":60"
        s -= 60;
        ++m;
    }
    if (m >= 60) {
        m -= 60;
        ++h;
    }
    strValue = FormatW(u"%0lld:%02lld:%02lld", h, m, s);
}

void FormatAzimuth(float _fAzimuthInDeg, std::u16string& strValue) {
    VELKA_ASSERT(0 <= _fAzimuthInDeg && _fAzimuthInDeg < 360);
    switch (g_UnitOptions.nAzimuthFormat) {
    case afDegrees:
        strValue = FormatW(u"%0.1f°", static_cast<double>(_fAzimuthInDeg));
        return;
    case afCompassPoint: {
        // Floor and a non-negative remainder keep the index inside the eight
        // points whatever the angle.
        const double sector = std::floor((static_cast<double>(_fAzimuthInDeg) + 22.5) / 45);
        int index = std::isfinite(sector) ? static_cast<int>(std::fmod(sector, 8.0)) : 0;
        if (index < 0) index += 8;
        strValue = CurrentLabels().aCompass[index];
        return;
    }
    default:
        VELKA_ASSERT(false);
    }
}

void FormatCoordinate(double dDegrees, char16_t chPositive, char16_t chNegative,
                      std::u16string& strValue) {
    const int nFormat = g_UnitOptions.nPositionFormat;
    if (nFormat == pfSignedDegrees) {
        strValue = FormatW(u"%0.5f", dDegrees);
        return;
    }
    if (nFormat < pfHemisphereDegrees || nFormat > pfDegreesMinutesSeconds) {
        VELKA_ASSERT(false);
        return;
    }
    const char16_t chLetter = dDegrees >= 0 ? chPositive : chNegative;
    const double v = std::fabs(dDegrees);
    if (nFormat == pfHemisphereDegrees) {
        strValue = FormatW(u" %c%0.5f°", chLetter, v);
        return;
    }
    int d = Truncate(v);
    double minutes = (v - d) * 60;
    if (nFormat == pfDegreesMinutes) {
        if (minutes >= 59.9995) { // would print as 60.000: carry to the next degree
            minutes = 0;
            ++d;
        }
        strValue = FormatW(u"%c%d°%06.3f'", chLetter, d, minutes);
        return;
    }
    int m = Truncate(minutes);
    double seconds = (minutes - m) * 60;
    if (seconds >= 59.95) { // would print as 60.0
        seconds = 0;
        ++m;
    }
    if (m >= 60) {
        m -= 60;
        ++d;
    }
    strValue = FormatW(u"%c%d°%02d'%04.1f\"", chLetter, d, m, seconds);
}

void FormatLatitude(double dLatitude, std::u16string& strValue) {
    FormatCoordinate(dLatitude, u'N', u'S', strValue);
}

void FormatLongitude(double dLongitude, std::u16string& strValue) {
    FormatCoordinate(dLongitude, u'E', u'W', strValue);
}

void FormatPosition(double dLatitude, double dLongitude, std::u16string& strValue) {
    const int nFormat = g_UnitOptions.nPositionFormat;
    if (nFormat < pfSignedDegrees || nFormat > pfDegreesMinutesSeconds) {
        VELKA_ASSERT(false);
        return;
    }
    std::u16string strLat, strLon;
    FormatLatitude(dLatitude, strLat);
    FormatLongitude(dLongitude, strLon);
    strValue = strLat + u" " + strLon;
}

namespace {

bool Present(const char16_t* sz) { return sz && *sz; }

void AppendPart(std::u16string& text, const char16_t* szPart) {
    if (!Present(szPart)) return;
    if (!text.empty()) text += u", ";
    text += szPart;
}

std::u16string StreetAddress(const char16_t* szStreet, const char16_t* szHouseNumber) {
    std::u16string text;
    if (g_UnitOptions.nStreetAddressFormat == sfStreetFirst) {
        AppendPart(text, szStreet);
        AppendPart(text, szHouseNumber);
    } else {
        VELKA_ASSERT(g_UnitOptions.nStreetAddressFormat == sfHouseNumberFirst);
        AppendPart(text, szHouseNumber);
        AppendPart(text, szStreet);
    }
    return text;
}

} // namespace

void FormatStreetAddress(const char16_t* szStreet, const char16_t* szHouseNumber,
                         char16_t* pBuffer, std::size_t cchBuffer) {
    CopyToBuffer(pBuffer, cchBuffer, StreetAddress(szStreet, szHouseNumber));
}

void FormatAddressDescription(const char16_t* szStreet, const char16_t* szHouseNumber,
                              const char16_t* szPostalCode, const char16_t* szCity,
                              char16_t* pBuffer, std::size_t cchBuffer) {
    std::u16string text = StreetAddress(szStreet, szHouseNumber);
    if (g_UnitOptions.fShowZipCode) AppendPart(text, szPostalCode);
    if (g_UnitOptions.fShowCity) AppendPart(text, szCity);
    CopyToBuffer(pBuffer, cchBuffer, text);
}

} // namespace velka
