// The gauges' stored texts on arbitrary bytes: the trip computer's totals,
// its last fix and the area gauge's state are read back from whatever the
// settings hold; they must never crash, and every value shown stays finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "gauges/area_gauge.h"
#include "gauges/system_values.h"
#include "gauges/trip_computer.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "shell/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cbSize) {
    static bool s_fOpen = [] {
        velka::RegSetDatabasePath(":memory:");
        velka::SettingsOpen();
        return true;
    }();
    (void)s_fOpen;
    const std::string text(reinterpret_cast<const char*>(pData), cbSize);
    const std::u16string wide = velka::FromUtf8(text);
    for (const char16_t* sz : {u"Area", u"TripLastFix", u"MaxSpeed", u"TripTimeMoving", u"OdometerExact"})
        velka::WriteSettingString(sz, wide.c_str());
    velka::CTripComputer tc;
    tc.Load();
    velka::GpsFix fix;
    fix.SetTime(45000);
    fix.SetPosition(10, 50);
    fix.SetSpeed(20);
    tc.Update(fix);
    velka::CAreaGauge area;
    area.Init();
    area.Update(fix);
    if (!std::isfinite(tc.Odometer()) || !std::isfinite(area.Area())) std::abort();
    long long cb = 0;
    (void)velka::ParseMemAvailable(text, &cb);
    return 0;
}
