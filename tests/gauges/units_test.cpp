#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "gauges/units.h"
#include "platform/debug.h"
#include "shell/settings.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

// Each test starts from the default options.
class Units : public ::testing::Test {
protected:
    void SetUp() override { g_UnitOptions = UnitOptions{}; }
    void TearDown() override { g_UnitOptions = UnitOptions{}; }

    std::u16string m_strValue, m_strUnit;
    void Distance(float m) { FormatDistance(m, m_strValue, m_strUnit); }
    void Area(double m2) { FormatArea(m2, m_strValue, m_strUnit); }
};

TEST_F(Units, IntegerWithGroupsAndRealNumbers) {
    EXPECT_EQ(FormatIntegerWithGroups(0), u"0");
    EXPECT_EQ(FormatIntegerWithGroups(999), u"999");
    EXPECT_EQ(FormatIntegerWithGroups(1000), u"1 000");
    EXPECT_EQ(FormatIntegerWithGroups(12045), u"12 045");
    EXPECT_EQ(FormatIntegerWithGroups(999999), u"999 999");
    EXPECT_EQ(FormatIntegerWithGroups(1000000), u"1 000 000");
    EXPECT_EQ(FormatIntegerWithGroups(1234567), u"1 235 000");
    EXPECT_EQ(FormatIntegerWithGroups(1999499), u"1 999 000");
    EXPECT_EQ(FormatIntegerWithGroups(1999500), u"2 000 000");
    EXPECT_EQ(FormatIntegerWithGroups(2147483647), u"2147 484 000"); // no overflow

    EXPECT_EQ(FormatRealNumber(0), u"0");
    EXPECT_EQ(FormatRealNumber(0.05), u"0.0500");
    EXPECT_EQ(FormatRealNumber(0.09999), u"0.1000");
    EXPECT_EQ(FormatRealNumber(0.1), u"0.100");
    EXPECT_EQ(FormatRealNumber(1), u"1.00");
    EXPECT_EQ(FormatRealNumber(99.999), u"100.00");
    EXPECT_EQ(FormatRealNumber(100), u"100.0");
    EXPECT_EQ(FormatRealNumber(999.94), u"999.9");
    EXPECT_EQ(FormatRealNumber(1000), u"1 000");
    EXPECT_EQ(FormatRealNumber(1234.567), u"1 235");
    EXPECT_EQ(FormatRealNumber(5e12), u"2147 484 000"); // saturates, never wraps
}

TEST_F(Units, DistanceInEachSystem) {
    Distance(999);
    EXPECT_EQ(m_strValue, u"999");
    EXPECT_EQ(m_strUnit, u"м");
    Distance(999.4f);
    EXPECT_EQ(m_strValue, u"999");
    Distance(1000);
    EXPECT_EQ(m_strValue, u"1.00");
    EXPECT_EQ(m_strUnit, u"км");
    Distance(1234567);
    EXPECT_EQ(m_strValue, u"1 235");
    EXPECT_EQ(m_strUnit, u"км");

    g_UnitOptions.nDistanceUnit = duStatute;
    Distance(804);
    EXPECT_EQ(m_strValue, u"2638");
    EXPECT_EQ(m_strUnit, u"фт");
    Distance(1609.3f);
    EXPECT_EQ(m_strValue, u"1.00");
    EXPECT_EQ(m_strUnit, u"ми");
    Distance(321860);
    EXPECT_EQ(m_strValue, u"200.0");

    g_UnitOptions.nDistanceUnit = duNautical;
    Distance(1851);
    EXPECT_EQ(m_strValue, u"6073");
    EXPECT_EQ(m_strUnit, u"фт");
    Distance(1852 * 15.5f);
    EXPECT_EQ(m_strValue, u"15.50");
    EXPECT_EQ(m_strUnit, u"м.м");

    // An unknown option asserts and leaves both texts alone.
    g_UnitOptions.nDistanceUnit = 7;
    m_strValue = u"old";
    m_strUnit = u"unit";
    const unsigned before = AssertionCount();
    Distance(5);
    EXPECT_EQ(m_strValue, u"old");
    EXPECT_EQ(m_strUnit, u"unit");
    EXPECT_EQ(AssertionCount(), before + 1);
}

TEST_F(Units, ElevationSpeedsAndTemperature) {
    auto elevation = [&](float v, int unit, bool fInteger) {
        FormatElevation(v, unit, fInteger, m_strValue, m_strUnit);
        return m_strValue;
    };
    EXPECT_EQ(elevation(-3.97f, unMeters, false), u"-4.0");
    EXPECT_EQ(m_strUnit, u"м");
    EXPECT_EQ(elevation(3.94f, unMeters, false), u"3.9");
    EXPECT_EQ(elevation(0.04f, unMeters, false), u"0.0");
    EXPECT_EQ(elevation(3.95f, unMeters, false), u"4.0");
    EXPECT_EQ(elevation(2.96f, unMeters, false), u"3.0"); // never "2.10"
    EXPECT_EQ(elevation(152.5f, unMeters, true), u"153");
    EXPECT_EQ(elevation(-152.5f, unMeters, true), u"-153");
    EXPECT_EQ(elevation(328.084f, unFeet, true), u"100"); // feet shown in metres
    g_UnitOptions.nElevationUnit = unFeet;
    EXPECT_EQ(elevation(100, unMeters, true), u"328");
    EXPECT_EQ(m_strUnit, u"фт");
    EXPECT_EQ(elevation(12.25f, unFeet, false), u"12.3");

    FormatSpeed(100, m_strValue, m_strUnit);
    EXPECT_EQ(m_strValue, u"100.0");
    EXPECT_EQ(m_strUnit, u"км/ч");
    FormatVerticalSpeed(-1.25f, m_strValue, m_strUnit);
    EXPECT_EQ(m_strValue, u"-1.2"); // printf rounding of -1.25 in float
    EXPECT_EQ(m_strUnit, u"м/с");
    g_UnitOptions.nDistanceUnit = duNautical;
    FormatSpeed(100, m_strValue, m_strUnit);
    EXPECT_EQ(m_strValue, u"54.0");
    EXPECT_EQ(m_strUnit, u"узл");
    FormatVerticalSpeed(1, m_strValue, m_strUnit);
    EXPECT_EQ(m_strValue, u"3.3");
    EXPECT_EQ(m_strUnit, u"фт/с");
    g_UnitOptions.nDistanceUnit = duStatute;
    FormatSpeed(160.93f, m_strValue, m_strUnit);
    EXPECT_EQ(m_strValue, u"100.0");
    EXPECT_EQ(m_strUnit, u"миль/ч");

    FormatTemperature(-0.05f, m_strValue, m_strUnit);
    EXPECT_EQ(m_strValue, u"-0.1");
    EXPECT_EQ(m_strUnit, u"°C");
}

TEST_F(Units, AreaInEachUnit) {
    Area(99999.4);
    EXPECT_EQ(m_strValue, u"99 999");
    EXPECT_EQ(m_strUnit, u"кв.м");
    Area(100000);
    EXPECT_EQ(m_strValue, u"0.100");
    EXPECT_EQ(m_strUnit, u"кв.км");
    Area(2.5e9);
    EXPECT_EQ(m_strValue, u"2 500");

    g_UnitOptions.nAreaUnit = auSquareMiles;
    Area(25898.466471582055); // exactly 0.01 square mile
    EXPECT_EQ(m_strValue, u"0.0100");
    EXPECT_EQ(m_strUnit, u"кв.ми");
    Area(25000);
    EXPECT_EQ(m_strValue, u"269 098");
    EXPECT_EQ(m_strUnit, u"кв.фт");

    g_UnitOptions.nAreaUnit = auAcres;
    Area(4047);
    EXPECT_EQ(m_strValue, u"1.00");
    EXPECT_EQ(m_strUnit, u"акр");
    g_UnitOptions.nAreaUnit = auHectares;
    Area(123456);
    EXPECT_EQ(m_strValue, u"12.35");
    EXPECT_EQ(m_strUnit, u"га");
}

TEST_F(Units, TimeSpanAndAzimuth) {
    FormatTimeSpan(1.5, m_strValue);
    EXPECT_EQ(m_strValue, u"36:00:00");
    FormatTimeSpan(0, m_strValue);
    EXPECT_EQ(m_strValue, u"0:00:00");
    FormatTimeSpan((3600 + 2 * 60 + 5.4) / 86400.0, m_strValue);
    EXPECT_EQ(m_strValue, u"1:02:05");
    FormatTimeSpan(59.7 / 86400.0, m_strValue); // rounds up into the minute
    EXPECT_EQ(m_strValue, u"0:01:00");
    FormatTimeSpan((3599.6) / 86400.0, m_strValue);
    EXPECT_EQ(m_strValue, u"1:00:00");

    FormatAzimuth(0, m_strValue);
    EXPECT_EQ(m_strValue, u"0.0°");
    FormatAzimuth(123.46f, m_strValue);
    EXPECT_EQ(m_strValue, u"123.5°");
    FormatAzimuth(359.96f, m_strValue); // printf rounding, as the format has it
    EXPECT_EQ(m_strValue, u"360.0°");
    g_UnitOptions.nAzimuthFormat = afCompassPoint;
    const struct {
        float a;
        const char16_t* text;
    } points[] = {{350, u"С"},   {22.4f, u"С"}, {22.5f, u"СВ"}, {90, u"В"},  {135, u"ЮВ"},
                  {180, u"Ю"},   {225, u"ЮЗ"},  {270, u"З"},    {315, u"СЗ"}, {337.4f, u"СЗ"},
                  {337.5f, u"С"}, {359.9f, u"С"}};
    for (const auto& p : points) {
        FormatAzimuth(p.a, m_strValue);
        EXPECT_EQ(m_strValue, p.text) << p.a;
    }
    // Out of range: an assertion, but never a point outside the eight.
    const unsigned before = AssertionCount();
    FormatAzimuth(-100, m_strValue);
    EXPECT_EQ(m_strValue, u"З");
    EXPECT_EQ(AssertionCount(), before + 1);
}

TEST_F(Units, PositionFormats) {
    auto lat = [&](double v) {
        FormatLatitude(v, m_strValue);
        return m_strValue;
    };
    g_UnitOptions.nPositionFormat = pfSignedDegrees;
    EXPECT_EQ(lat(-33.5), u"-33.50000");
    g_UnitOptions.nPositionFormat = pfHemisphereDegrees;
    EXPECT_EQ(lat(-33.5), u" S33.50000°");
    g_UnitOptions.nPositionFormat = pfDegreesMinutes;
    EXPECT_EQ(lat(-33.5), u"S33°30.000'");
    EXPECT_EQ(lat(5.0001), u"N5°00.006'");
    EXPECT_EQ(lat(33.9999999), u"N34°00.000'"); // not 33°60.000'
    g_UnitOptions.nPositionFormat = pfDegreesMinutesSeconds;
    EXPECT_EQ(lat(-33.5), u"S33°30'00.0\"");
    EXPECT_EQ(lat(55.755833), u"N55°45'21.0\"");
    EXPECT_EQ(lat(10.9999999), u"N11°00'00.0\"");

    g_UnitOptions.nPositionFormat = pfDegreesMinutes;
    FormatPosition(55.75, -37.5, m_strValue);
    EXPECT_EQ(m_strValue, u"N55°45.000' W37°30.000'");
    FormatLongitude(0, m_strValue);
    EXPECT_EQ(m_strValue, u"E0°00.000'");

    g_UnitOptions.nPositionFormat = 9;
    m_strValue = u"old";
    FormatPosition(1, 2, m_strValue);
    EXPECT_EQ(m_strValue, u"old");
}

TEST_F(Units, StreetAddressAndDescription) {
    char16_t buf[64];
    g_UnitOptions.nStreetAddressFormat = sfStreetFirst;
    FormatStreetAddress(u"Тверская", u"12", buf, 64);
    EXPECT_EQ(std::u16string(buf), u"Тверская, 12");
    g_UnitOptions.nStreetAddressFormat = sfHouseNumberFirst;
    FormatStreetAddress(u"Main St", u"221B", buf, 64);
    EXPECT_EQ(std::u16string(buf), u"221B, Main St");
    FormatStreetAddress(u"Main St", nullptr, buf, 64);
    EXPECT_EQ(std::u16string(buf), u"Main St");
    FormatStreetAddress(u"", u"7", buf, 64);
    EXPECT_EQ(std::u16string(buf), u"7");
    FormatStreetAddress(u"Main St", u"221B", buf, 6); // cut to the buffer
    EXPECT_EQ(std::u16string(buf), u"221B,");

    FormatAddressDescription(u"Main St", u"1", u"12345", u"Springfield", buf, 64);
    EXPECT_EQ(std::u16string(buf), u"1, Main St, Springfield"); // postcode hidden by default
    g_UnitOptions.fShowZipCode = true;
    FormatAddressDescription(u"Main St", u"1", u"12345", u"Springfield", buf, 64);
    EXPECT_EQ(std::u16string(buf), u"1, Main St, 12345, Springfield");
    g_UnitOptions.fShowCity = false;
    FormatAddressDescription(nullptr, nullptr, u"12345", u"Springfield", buf, 64);
    EXPECT_EQ(std::u16string(buf), u"12345");
}

TEST_F(Units, OptionsComeFromTheSettings) {
    test::ScopedSettings scope;
    const char* szLang = std::getenv("LC_ALL");
    const std::string strSaved = szLang ? szLang : "";
    setenv("LC_ALL", "ru_RU.UTF-8", 1);
    ReadUnitOptions();
    EXPECT_EQ(g_UnitOptions.nElevationUnit, unMeters);
    EXPECT_EQ(g_UnitOptions.nDistanceUnit, duMetric);
    EXPECT_EQ(g_UnitOptions.nAreaUnit, auMetric);
    EXPECT_EQ(g_UnitOptions.nAzimuthFormat, afDegrees);
    EXPECT_EQ(g_UnitOptions.nPositionFormat, pfDegreesMinutes);
    EXPECT_EQ(g_UnitOptions.nStreetAddressFormat, sfStreetFirst);
    EXPECT_FALSE(g_UnitOptions.fShowZipCode);
    EXPECT_TRUE(g_UnitOptions.fShowCity);
    setenv("LC_ALL", "en_GB.UTF-8", 1);
    EXPECT_EQ(DefaultStreetAddressFormat(), sfHouseNumberFirst);
    setenv("LC_ALL", "rue_UA", 1); // another language that merely begins with "ru"
    EXPECT_EQ(DefaultStreetAddressFormat(), sfHouseNumberFirst);

    WriteSettingInt(u"OptionDistanceUnit", duStatute);
    WriteSettingInt(u"OptionElevationUnit", unFeet);
    WriteSettingInt(u"OptionAreaUnit", auHectares);
    WriteSettingInt(u"OptionAzimuthFormat", afCompassPoint);
    WriteSettingInt(u"OptionPositionFormat", pfSignedDegrees);
    WriteSettingInt(u"OptionPA_StreetAddressFormat", sfStreetFirst);
    WriteSettingBool(u"OptionPA_ShowZipCode", true);
    WriteSettingBool(u"OptionPA_ShowCity", false);
    ReadUnitOptions();
    EXPECT_EQ(g_UnitOptions.nDistanceUnit, duStatute);
    EXPECT_EQ(g_UnitOptions.nElevationUnit, unFeet);
    EXPECT_EQ(g_UnitOptions.nAreaUnit, auHectares);
    EXPECT_EQ(g_UnitOptions.nAzimuthFormat, afCompassPoint);
    EXPECT_EQ(g_UnitOptions.nPositionFormat, pfSignedDegrees);
    EXPECT_EQ(g_UnitOptions.nStreetAddressFormat, sfStreetFirst);
    EXPECT_TRUE(g_UnitOptions.fShowZipCode);
    EXPECT_FALSE(g_UnitOptions.fShowCity);

    if (szLang)
        setenv("LC_ALL", strSaved.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

} // namespace
} // namespace velka
