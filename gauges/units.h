// Units and formatting of values for display. Internal units are fixed:
// distances and elevations in metres, horizontal speeds in km/h, vertical
// speeds in m/s, areas in square metres, time spans in days, azimuths and
// positions in degrees. Each operation writes a value text and, where there
// is one, a separate unit text, so that gauges can draw them in different
// fonts. An option outside its range is a programming error: it asserts and
// leaves the outputs unchanged.
#pragma once
#include <cstddef>
#include <string>

namespace velka {

enum ElevationUnit { unFeet = 0, unMeters = 1 };
enum DistanceUnit { duMetric = 0, duNautical = 1, duStatute = 2 };
enum AreaUnit { auMetric = 0, auSquareMiles = 1, auAcres = 2, auHectares = 3 };
enum AzimuthFormat { afDegrees = 0, afCompassPoint = 1 };
enum PositionFormat { pfSignedDegrees = 0, pfHemisphereDegrees = 1, pfDegreesMinutes = 2,
                      pfDegreesMinutesSeconds = 3 };
enum StreetAddressFormat { sfHouseNumberFirst = 0, sfStreetFirst = 1 };

// The unit options (settings OptionElevationUnit, OptionDistanceUnit,
// OptionAreaUnit, OptionAzimuthFormat, OptionPositionFormat,
// OptionPA_StreetAddressFormat, OptionPA_ShowZipCode, OptionPA_ShowCity).
struct UnitOptions {
    int nElevationUnit = unMeters;
    int nDistanceUnit = duMetric;
    int nAreaUnit = auMetric;
    int nAzimuthFormat = afDegrees;
    int nPositionFormat = pfDegreesMinutes;
    int nStreetAddressFormat = sfHouseNumberFirst;
    bool fShowZipCode = false;
    bool fShowCity = true;

    bool operator==(const UnitOptions&) const = default;
};
extern UnitOptions g_UnitOptions;

// Reads the options from the settings store and loads the unit labels from
// the string table (once during start-up; again after the options change).
void ReadUnitOptions();
// The options as stored now, and writing them (the options dialog).
UnitOptions StoredUnitOptions();
void WriteUnitOptions(const UnitOptions& options);
// Loads the unit labels and compass points of the current language.
void LoadUnitLabels();
// The default of OptionPA_StreetAddressFormat: street first when the user's
// locale is language 1049.
int DefaultStreetAddressFormat();

// Conversion constants.
inline constexpr float c_fFeetPerMeter = 3.28084f;
inline constexpr float c_fMetersPerNauticalMile = 1852.0f;
inline constexpr float c_fMetersPerStatuteMile = 1609.3f;
inline constexpr float c_fKmhPerKnot = 1.852f;
inline constexpr float c_fKmhPerMph = 1.6093f;
inline constexpr double c_dSquareMetersPerSquareMile = 2589846.6471582055;
inline constexpr float c_fSquareMetersPerAcre = 4047.0f;
inline constexpr float c_fSquareMetersPerHectare = 10000.0f;

// "999", "999 999", then rounded to thousands: "1 235 000". n >= 0.
std::u16string FormatIntegerWithGroups(int n);
// A value in a large unit: "0", "0.0500", "0.100", "1.00" .. "99.99",
// "100.0" .. "999.9", then the integer with groups of the rounded value.
std::u16string FormatRealNumber(double d);

void FormatDistance(float _fDistanceInM, std::u16string& strValue, std::u16string& strUnit);
// nInputUnit is unFeet or unMeters; fInteger shows whole units, otherwise
// one decimal. Depths from an echo sounder use it too (metres, one decimal).
void FormatElevation(float fValue, int nInputUnit, bool fInteger, std::u16string& strValue,
                     std::u16string& strUnit);
void FormatSpeed(float fSpeedInKmh, std::u16string& strValue, std::u16string& strUnit);
void FormatVerticalSpeed(float fSpeedInMps, std::u16string& strValue, std::u16string& strUnit);
void FormatArea(double dAreaInM2, std::u16string& strValue, std::u16string& strUnit);
void FormatTemperature(float fCelsius, std::u16string& strValue, std::u16string& strUnit);
// "h:mm:ss"; the hours are not limited to 24.
void FormatTimeSpan(double dDays, std::u16string& strValue);
// 0 <= azimuth < 360: "123.4°" or a compass point ("С", "СВ", ...).
void FormatAzimuth(float _fAzimuthInDeg, std::u16string& strValue);

// One coordinate in the position format with its hemisphere letters
// ('N'/'S' for latitudes, 'E'/'W' for longitudes).
void FormatCoordinate(double dDegrees, char16_t chPositive, char16_t chNegative,
                      std::u16string& strValue);
void FormatLatitude(double dLatitude, std::u16string& strValue);
void FormatLongitude(double dLongitude, std::u16string& strValue);
// The latitude text, a blank, the longitude text.
void FormatPosition(double dLatitude, double dLongitude, std::u16string& strValue);

// Street address line of a found object into a buffer of cchBuffer
// characters (cut to it): street and house number in the order of the
// option, joined by ", "; a missing (null or empty) part is left out with
// its separator.
void FormatStreetAddress(const char16_t* szStreet, const char16_t* szHouseNumber,
                         char16_t* pBuffer, std::size_t cchBuffer);
// The address line followed by the postal code (when shown and present)
// and the city (when shown and present), each after ", ".
void FormatAddressDescription(const char16_t* szStreet, const char16_t* szHouseNumber,
                              const char16_t* szPostalCode, const char16_t* szCity,
                              char16_t* pBuffer, std::size_t cchBuffer);

} // namespace velka
