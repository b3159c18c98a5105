#include "tests/gps/gps_test_support.h"

#include <atomic>
#include <cstdio>

#include <gtest/gtest.h>

#include "gps/positioning.h"

namespace velka::test {
namespace {
std::atomic<int> g_cSetterCalls{0};
std::atomic<bool> g_fSetterResult{false};
bool FakeSetter(const SYSTEMTIME&) {
    ++g_cSetterCalls;
    return g_fSetterResult;
}
bool RefuseSetter(const SYSTEMTIME&) { return false; }

// No test may set the machine's clock: every GPS test binary starts with
// a setter that refuses.
struct CNoClockEnvironment : ::testing::Environment {
    void SetUp() override { g_pfnSetSystemClock = RefuseSetter; }
};
const auto* g_pEnvironment = ::testing::AddGlobalTestEnvironment(new CNoClockEnvironment);
} // namespace

std::string Nmea(const std::string& strBody) {
    unsigned char x = 0;
    for (char c : strBody) x ^= static_cast<unsigned char>(c);
    char sz[8];
    std::snprintf(sz, sizeof sz, "*%02X\r\n", x);
    return "$" + strBody + sz;
}

int Feed(CNmea0183Protocol& decoder, const std::string& text) {
    return decoder.OnData(reinterpret_cast<const BYTE*>(text.data()), static_cast<DWORD>(text.size()));
}

ScopedClockSetter::ScopedClockSetter(bool fResult) : m_pfnOld(g_pfnSetSystemClock) {
    g_fSetterResult = fResult;
    g_cSetterCalls = 0;
    g_pfnSetSystemClock = FakeSetter;
}

ScopedClockSetter::~ScopedClockSetter() { g_pfnSetSystemClock = m_pfnOld; }

int ScopedClockSetter::Calls() { return g_cSetterCalls; }

} // namespace velka::test
