// Feeds arbitrary bytes to the string-table reader (language modules).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "shell/string_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cb) {
    velka::CStringTable table;
    table.Parse(std::string_view(reinterpret_cast<const char*>(pData), cb));
    return 0;
}
