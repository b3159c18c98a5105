// Debug assertions and debug output. An assertion names the violated
// condition; in release builds the program continues past it.
#pragma once
#include <functional>
#include <string_view>

namespace velka {

// Writes one debug line (stderr in debug builds, or the installed sink).
void DebugOutput(std::string_view line);

// Reports a failed assertion; the sink lets tests observe reports.
void ReportAssertion(const char* szCondition, const char* szFile, int nLine);
using AssertionSink = std::function<void(std::string_view)>;
void SetAssertionSink(AssertionSink sink);
// Number of assertion reports since start (for tests).
unsigned AssertionCount();

} // namespace velka

#define VELKA_ASSERT(cond)                                                                         \
    do {                                                                                           \
        if (!(cond)) ::velka::ReportAssertion(#cond, __FILE__, __LINE__);                          \
    } while (0)
