// Feeds arbitrary bytes to the readers of language modules: the text table
// with resource declarations, and the menu template.
#include "shell/resource_module.h"
#include "shell/string_table.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cb) {
    std::string_view text(reinterpret_cast<const char*>(pData), cb);
    velka::CStringTable table;
    std::vector<velka::ResourceDeclaration> decls;
    if (table.Parse(text, nullptr, &decls)) {
        for (const auto& [uId, str] : table.Entries())
            (void)velka::EscapeTableText(str);
    }
    table.Parse(text);
    velka::ParseMenuTemplate(std::vector<velka::BYTE>(pData, pData + cb));
    return 0;
}
