#include "gauges/system_values.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

#include <time.h>

namespace velka {
namespace {

std::string ReadSmallFile(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    if (!in) return {};
    std::string s(4096, '\0');
    in.read(s.data(), static_cast<std::streamsize>(s.size()));
    s.resize(static_cast<std::size_t>(in.gcount()));
    return s;
}

double ProcessCpuSeconds() {
    timespec ts{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts) != 0) return -1;
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

} // namespace

bool ProcessCpuLoad(int* pnPercent) {
    using Clock = std::chrono::steady_clock;
    static Clock::time_point s_tLast;
    static double s_dLastCpu = -1;
    static int s_nLast = -1;
    const Clock::time_point tNow = Clock::now();
    const double dCpu = ProcessCpuSeconds();
    if (dCpu < 0) return false;
    if (s_dLastCpu < 0) {
        s_dLastCpu = dCpu;
        s_tLast = tNow;
        return false;
    }
    const double dWall = std::chrono::duration<double>(tNow - s_tLast).count();
    if (dWall >= 1.0) {
        s_nLast = static_cast<int>(std::clamp((dCpu - s_dLastCpu) / dWall * 100.0 + 0.5, 0.0, 100.0));
        s_dLastCpu = dCpu;
        s_tLast = tNow;
    }
    if (s_nLast < 0) return false;
    *pnPercent = s_nLast;
    return true;
}

bool ParseMemAvailable(const std::string& strMeminfo, long long* pllBytes) {
    constexpr std::string_view c_key = "MemAvailable:";
    const std::size_t pos = strMeminfo.find(c_key);
    if (pos == std::string::npos) return false;
    std::size_t i = pos + c_key.size();
    while (i < strMeminfo.size() && strMeminfo[i] == ' ') ++i;
    long long kb = 0;
    auto r = std::from_chars(strMeminfo.data() + i, strMeminfo.data() + strMeminfo.size(), kb);
    if (r.ec != std::errc() || kb < 0) return false;
    *pllBytes = kb * 1024;
    return true;
}

bool FreeMemory(long long* pllBytes) { return ParseMemAvailable(ReadSmallFile("/proc/meminfo"), pllBytes); }

bool ReadBatteryCharge(const std::string& strPowerSupplyDir, int* pnPercent) {
    std::error_code ec;
    std::vector<std::filesystem::path> supplies;
    for (const auto& e : std::filesystem::directory_iterator(strPowerSupplyDir, ec)) supplies.push_back(e.path());
    std::sort(supplies.begin(), supplies.end());
    for (const auto& dir : supplies) {
        std::string strType = ReadSmallFile((dir / "type").string());
        if (strType.rfind("Battery", 0) != 0) continue;
        const std::string s = ReadSmallFile((dir / "capacity").string());
        int n = 0;
        auto r = std::from_chars(s.data(), s.data() + s.size(), n);
        if (r.ec != std::errc() || n < 0 || n > 100) continue;
        *pnPercent = n;
        return true;
    }
    return false;
}

bool BatteryCharge(int* pnPercent) { return ReadBatteryCharge("/sys/class/power_supply", pnPercent); }

} // namespace velka
