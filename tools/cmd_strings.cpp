// velkatool strings: the texts in the language the navigator would choose
// (setting `Language`, else the desktop's locale), and a check of language
// modules for translators.
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/string_table.h"
#include "tools/commands.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace velka::tool {
namespace {

bool ParseId(const std::string& s, UINT& uId) {
    if (s.empty() || s.size() > 10 || s.find_first_not_of("0123456789") != std::string::npos)
        return false;
    unsigned long long v = std::stoull(s);
    if (v > 0xFFFFFFFFull) return false;
    uId = static_cast<UINT>(v);
    return true;
}

int Get(const Args& args) {
    if (args.size() < 2) return UsageError("strings", "get needs at least one identifier");
    for (std::size_t i = 1; i < args.size(); ++i) {
        UINT uId = 0;
        if (!ParseId(args[i], uId)) return UsageError("strings", "not an identifier: " + args[i]);
        std::printf("%s\n", ToUtf8(LoadStr(uId)).c_str());
    }
    return c_nExitOk;
}

// Every text of the program, in the module format: a start for a new
// translation, or a view of what the current language shows.
int List() {
    std::vector<UINT> ids;
    for (const auto& entry : BuiltinStrings().Entries())
        ids.push_back(entry.first);
    std::sort(ids.begin(), ids.end());
    for (UINT uId : ids)
        std::printf("%u\t%s\n", uId, EscapeTableText(LoadStr(uId)).c_str());
    return c_nExitOk;
}

int Check(const Args& args) {
    if (args.size() != 2) return UsageError("strings", "check needs one module file");
    std::string strError;
    std::unique_ptr<CResourceModule> module = CResourceModule::LoadFile(args[1], &strError);
    if (!module) {
        std::fprintf(stderr, "velkatool strings: %s\n", strError.c_str());
        return c_nExitFailed;
    }
    std::vector<std::string> problems = CheckLanguageModule(*module);
    for (const std::string& s : problems)
        std::printf("%s\n", s.c_str());
    std::fprintf(stderr, "%s: %zu texts, %zu problems\n", args[1].c_str(), module->Strings().Size(),
                 problems.size());
    return problems.empty() ? c_nExitOk : c_nExitFailed;
}

} // namespace

int RunStrings(const Args& args) {
    if (args.empty()) return UsageError("strings", "missing operation");
    const std::string& op = args[0];
    if (op == "get") return Get(args);
    if (op == "list" && args.size() == 1) return List();
    if (op == "check") return Check(args);
    return UsageError("strings", "unknown operation '" + op + "'");
}

} // namespace velka::tool
