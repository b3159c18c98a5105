// velkatool settings: the settings key printed the way a registry export
// prints values (NAME = dword:N, NAME = "text"), and single reads and writes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"
#include "shell/settings.h"
#include "tools/commands.h"

namespace velka::tool {
namespace {

std::string Quote(const std::u16string& s) {
    std::string out = "\"";
    for (char c : ToUtf8(s)) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// One value as "NAME = ..."; false when it is missing.
bool PrintValue(const std::u16string& strName) {
    DWORD dwType = 0, cb = 0;
    if (RegQueryValueEx(g_hkeySettings, strName.c_str(), &dwType, nullptr, &cb) != ERROR_SUCCESS)
        return false;
    std::vector<BYTE> data(cb + 2, 0);
    DWORD cb2 = cb;
    RegQueryValueEx(g_hkeySettings, strName.c_str(), &dwType, data.data(), &cb2);
    std::string name = ToUtf8(strName);
    if (dwType == REG_DWORD && cb == 4) {
        int n = 0;
        std::memcpy(&n, data.data(), 4);
        std::printf("%s = dword:%d\n", name.c_str(), n);
    } else if (dwType == REG_SZ) {
        std::u16string text;
        for (DWORD k = 0; k + 1 < cb2; k += 2) {
            char16_t ch = static_cast<char16_t>(data[k] | (data[k + 1] << 8));
            if (!ch) break;
            text += ch;
        }
        std::printf("%s = %s\n", name.c_str(), Quote(text).c_str());
    } else {
        std::printf("%s = hex(%u):", name.c_str(), static_cast<unsigned>(dwType));
        for (DWORD k = 0; k < cb; ++k) std::printf("%s%02x", k ? "," : "", data[k]);
        std::printf("\n");
    }
    return true;
}

int OpenOrFail() {
    SettingsOpen();
    if (!g_hkeySettings) {
        std::fprintf(stderr, "velkatool settings: cannot open %s: %s\n", RegDatabasePath().c_str(),
                     RegLastOpenError().c_str());
        return c_nExitFailed;
    }
    return c_nExitOk;
}

} // namespace

int RunSettings(const Args& args) {
    if (args.empty()) return UsageError("settings", "missing action");
    const std::string& action = args[0];
    if (action == "dump" && args.size() == 1) {
        if (int rc = OpenOrFail()) return rc;
        std::printf("[HKEY_CURRENT_USER\\%s]\n", ToUtf8(c_szSettingsKey).c_str());
        for (DWORD i = 0;; ++i) {
            char16_t szName[1024];
            DWORD cch = 1024;
            if (RegEnumValue(g_hkeySettings, i, szName, &cch, nullptr) != ERROR_SUCCESS) break;
            PrintValue(szName);
        }
        SettingsClose();
        return c_nExitOk;
    }
    if (action == "get" && args.size() == 2) {
        if (int rc = OpenOrFail()) return rc;
        bool fFound = PrintValue(FromUtf8(args[1]));
        SettingsClose();
        if (!fFound) {
            std::fprintf(stderr, "velkatool settings: no value '%s'\n", args[1].c_str());
            return c_nExitFailed;
        }
        return c_nExitOk;
    }
    if (action == "set" && args.size() == 4) {
        std::u16string name = FromUtf8(args[1]);
        if (args[2] == "int") {
            char* end = nullptr;
            long long v = std::strtoll(args[3].c_str(), &end, 0);
            if (args[3].empty() || *end || v < -2147483648LL || v > 4294967295LL)
                return UsageError("settings", "not a 32-bit integer: " + args[3]);
            if (int rc = OpenOrFail()) return rc;
            WriteSettingInt(name.c_str(), static_cast<int>(static_cast<unsigned>(v)));
        } else if (args[2] == "str") {
            if (int rc = OpenOrFail()) return rc;
            WriteSettingString(name.c_str(), FromUtf8(args[3]).c_str());
        } else {
            return UsageError("settings", "type must be int or str");
        }
        SettingsClose();
        return c_nExitOk;
    }
    if (action == "delete" && args.size() == 2) {
        if (int rc = OpenOrFail()) return rc;
        LONG lr = RegDeleteValue(g_hkeySettings, FromUtf8(args[1]).c_str());
        SettingsClose();
        if (lr != ERROR_SUCCESS) {
            std::fprintf(stderr, "velkatool settings: no value '%s'\n", args[1].c_str());
            return c_nExitFailed;
        }
        return c_nExitOk;
    }
    return UsageError("settings", "bad arguments");
}

} // namespace velka::tool
