// velkatool: the navigator's engine from the command line.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/registry.h"
#include "platform/ui_host.h"
#include "shell/resources.h"
#include "platform/text.h"
#include "tools/commands.h"

namespace {

void PrintHelp() {
    std::printf("velkatool %s - Velka navigator tools\n\n"
                "usage: velkatool [--settings-db PATH] COMMAND [ARGS...]\n\n"
                "commands:\n",
                velka::ToUtf8(velka::c_szVersion).c_str());
    for (const auto& c : velka::tool::Commands()) std::printf("  %-12s %s\n", c.szName, c.szSummary);
    std::printf("\n  velkatool COMMAND --help shows a command's usage.\n"
                "\noptions:\n"
                "  --settings-db PATH  use this settings database instead of the user's\n"
                "  --help              this text\n"
                "  --version           print the version\n");
}

// Standard output written whole: every command's output is checked at
// the end (a full device, a closed pipe) and a loss turns success into
// failure, said on standard error.
int CheckedExit(int nResult) {
    const bool fFailed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
    const int nError = errno;
    if (std::fclose(stdout) != 0 || fFailed) {
        std::fprintf(stderr, "velkatool: cannot write the output: %s\n", std::strerror(fFailed ? nError : errno));
        if (nResult == velka::tool::c_nExitOk) return velka::tool::c_nExitFailed;
    }
    return nResult;
}

} // namespace

int main(int argc, char** argv) {
    // Message boxes become lines on stderr; yes/no questions answer "no".
    velka::HeadlessUiHost().m_fEcho = true;
    int i = 1;
    while (i < argc && argv[i][0] == '-') {
        std::string opt = argv[i];
        if (opt == "--help" || opt == "-h") {
            PrintHelp();
            return 0;
        }
        if (opt == "--version") {
            std::printf("%s\n", velka::ToUtf8(velka::c_szVersion).c_str());
            return 0;
        }
        if (opt == "--settings-db" && i + 1 < argc) {
            velka::RegSetDatabasePath(argv[i + 1]);
            velka::tool::g_fSettingsDbGiven = true;
            i += 2;
            continue;
        }
        std::fprintf(stderr, "velkatool: unknown option '%s' (see --help)\n", argv[i]);
        return velka::tool::c_nExitUsage;
    }
    if (i >= argc) {
        PrintHelp();
        return velka::tool::c_nExitUsage;
    }
    std::string name = argv[i++];
    for (const auto& c : velka::tool::Commands()) {
        if (name != c.szName) continue;
        velka::tool::Args args(argv + i, argv + argc);
        if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
            std::printf("usage: velkatool %s\n%s\n", c.szUsage, c.szSummary);
            return 0;
        }
        return CheckedExit(c.pfnRun(args));
    }
    std::fprintf(stderr, "velkatool: unknown command '%s' (see --help)\n", name.c_str());
    return velka::tool::c_nExitUsage;
}
