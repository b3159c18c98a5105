// Processor load, free memory and battery charge as Linux reports them
// (/proc and /sys); each answers false when the system does not tell.
#pragma once
#include <string>

namespace velka {

// Percent of one processor used by this process since the previous sample
// (samples closer than a second apart keep the previous answer).
bool ProcessCpuLoad(int* pnPercent);
// Memory available to applications, in bytes (MemAvailable).
bool FreeMemory(long long* pllBytes);
// Charge of the first battery, in percent.
bool BatteryCharge(int* pnPercent);

// The readers over given texts and folders (tests).
bool ParseMemAvailable(const std::string& strMeminfo, long long* pllBytes);
bool ReadBatteryCharge(const std::string& strPowerSupplyDir, int* pnPercent);

} // namespace velka
