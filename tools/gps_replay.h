// Replaying a GPS capture through positioning as a receiver would deliver
// it, for the gauge commands: every decoded fix goes to positioning (the
// current fix, geoid height, speed history, satellite table), then to the
// caller. The system clock is never touched.
#pragma once
#include <functional>
#include <string>

namespace velka::tool {

// "nmea", "garmin" or "sirf" from the first bytes after the '#' header.
std::string DetectCaptureKind(const std::string& strPath);

struct ReplayResult {
    bool fOpened = false;
    bool fReadError = false;
    unsigned cFixes = 0;
};
// Feeds the capture; fnFix runs after each fix reached positioning, and
// fnNoPosition when the receiver reports no usable position.
ReplayResult ReplayCapture(const std::string& strKind, const std::string& strPath, const std::function<void()>& fnFix,
                           const std::function<void()>& fnNoPosition);

} // namespace velka::tool
