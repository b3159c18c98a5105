// Fixed-width names used throughout the code, matching the record layouts
// and Hungarian prefixes (dw, w, bt) of the file formats and the settings.
#pragma once
#include <cstdint>

namespace velka {
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using BOOL = int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
} // namespace velka
