#include "platform/debug.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

namespace velka {
namespace {
std::mutex g_sinkMutex;
AssertionSink g_sink;
std::atomic<unsigned> g_cAssertions{0};
} // namespace

void DebugOutput(std::string_view line) {
#ifndef NDEBUG
    std::fwrite(line.data(), 1, line.size(), stderr);
#else
    (void)line;
#endif
}

void ReportAssertion(const char* szCondition, const char* szFile, int nLine) {
    ++g_cAssertions;
    std::string text = std::string("Assertion failed: ") + szCondition + " (" + szFile + ":" +
                       std::to_string(nLine) + ")\n";
    std::lock_guard lock(g_sinkMutex);
    if (g_sink)
        g_sink(text);
    else
        DebugOutput(text);
}

void SetAssertionSink(AssertionSink sink) {
    std::lock_guard lock(g_sinkMutex);
    g_sink = std::move(sink);
}

unsigned AssertionCount() { return g_cAssertions.load(); }

} // namespace velka
