#include "shell/language.h"

#include <atomic>
#include <cstdlib>
#include <string>

namespace velka {
namespace {

std::atomic<LANGID> g_langOverride{0};

struct LocaleEntry {
    const char* szLanguage;
    const char* szTerritory; // nullptr: the language's main LANGID
    LANGID lang;
};

// The main LANGID of each language comes first, followed by its territories.
constexpr LocaleEntry c_locales[] = {
    {"af", nullptr, 0x0436},  {"am", nullptr, 0x045e}, {"ar", nullptr, 0x0401},
    {"ar", "IQ", 0x0801},     {"ar", "EG", 0x0c01},    {"ar", "LY", 0x1001},
    {"ar", "DZ", 0x1401},     {"ar", "MA", 0x1801},    {"ar", "TN", 0x1c01},
    {"ar", "OM", 0x2001},     {"ar", "YE", 0x2401},    {"ar", "SY", 0x2801},
    {"ar", "JO", 0x2c01},     {"ar", "LB", 0x3001},    {"ar", "KW", 0x3401},
    {"ar", "AE", 0x3801},     {"ar", "BH", 0x3c01},    {"ar", "QA", 0x4001},
    {"as", nullptr, 0x044d},  {"az", nullptr, 0x042c}, {"ba", nullptr, 0x046d},
    {"be", nullptr, 0x0423},  {"bg", nullptr, 0x0402}, {"bn", nullptr, 0x0445},
    {"bn", "BD", 0x0845},     {"bo", nullptr, 0x0451}, {"br", nullptr, 0x047e},
    {"bs", nullptr, 0x141a},  {"ca", nullptr, 0x0403}, {"cs", nullptr, 0x0405},
    {"cy", nullptr, 0x0452},  {"da", nullptr, 0x0406}, {"de", nullptr, 0x0407},
    {"de", "CH", 0x0807},     {"de", "AT", 0x0c07},    {"de", "LU", 0x1007},
    {"de", "LI", 0x1407},     {"dv", nullptr, 0x0465}, {"el", nullptr, 0x0408},
    {"en", nullptr, 0x0409},  {"en", "GB", 0x0809},    {"en", "AU", 0x0c09},
    {"en", "CA", 0x1009},     {"en", "NZ", 0x1409},    {"en", "IE", 0x1809},
    {"en", "ZA", 0x1c09},     {"en", "JM", 0x2009},    {"en", "BZ", 0x2809},
    {"en", "TT", 0x2c09},     {"en", "ZW", 0x3009},    {"en", "PH", 0x3409},
    {"en", "IN", 0x4009},     {"en", "MY", 0x4409},    {"en", "SG", 0x4809},
    {"es", nullptr, 0x0c0a},  {"es", "MX", 0x080a},    {"es", "GT", 0x100a},
    {"es", "CR", 0x140a},     {"es", "PA", 0x180a},    {"es", "DO", 0x1c0a},
    {"es", "VE", 0x200a},     {"es", "CO", 0x240a},    {"es", "PE", 0x280a},
    {"es", "AR", 0x2c0a},     {"es", "EC", 0x300a},    {"es", "CL", 0x340a},
    {"es", "UY", 0x380a},     {"es", "PY", 0x3c0a},    {"es", "BO", 0x400a},
    {"es", "SV", 0x440a},     {"es", "HN", 0x480a},    {"es", "NI", 0x4c0a},
    {"es", "PR", 0x500a},     {"es", "US", 0x540a},    {"et", nullptr, 0x0425},
    {"eu", nullptr, 0x042d},  {"fa", nullptr, 0x0429}, {"fi", nullptr, 0x040b},
    {"fil", nullptr, 0x0464}, {"fo", nullptr, 0x0438}, {"fr", nullptr, 0x040c},
    {"fr", "BE", 0x080c},     {"fr", "CA", 0x0c0c},    {"fr", "CH", 0x100c},
    {"fr", "LU", 0x140c},     {"fr", "MC", 0x180c},    {"fy", nullptr, 0x0462},
    {"ga", nullptr, 0x083c},  {"gd", nullptr, 0x0491}, {"gl", nullptr, 0x0456},
    {"gu", nullptr, 0x0447},  {"he", nullptr, 0x040d}, {"hi", nullptr, 0x0439},
    {"hr", nullptr, 0x041a},  {"hr", "BA", 0x101a},    {"hu", nullptr, 0x040e},
    {"hy", nullptr, 0x042b},  {"id", nullptr, 0x0421}, {"ig", nullptr, 0x0470},
    {"is", nullptr, 0x040f},  {"it", nullptr, 0x0410}, {"it", "CH", 0x0810},
    {"ja", nullptr, 0x0411},  {"ka", nullptr, 0x0437}, {"kk", nullptr, 0x043f},
    {"kl", nullptr, 0x046f},  {"km", nullptr, 0x0453}, {"kn", nullptr, 0x044b},
    {"ko", nullptr, 0x0412},  {"ky", nullptr, 0x0440}, {"lb", nullptr, 0x046e},
    {"lo", nullptr, 0x0454},  {"lt", nullptr, 0x0427}, {"lv", nullptr, 0x0426},
    {"mi", nullptr, 0x0481},  {"mk", nullptr, 0x042f}, {"ml", nullptr, 0x044c},
    {"mn", nullptr, 0x0450},  {"mr", nullptr, 0x044e}, {"ms", nullptr, 0x043e},
    {"ms", "BN", 0x083e},     {"mt", nullptr, 0x043a}, {"nb", nullptr, 0x0414},
    {"ne", nullptr, 0x0461},  {"nl", nullptr, 0x0413}, {"nl", "BE", 0x0813},
    {"nn", nullptr, 0x0814},  {"no", nullptr, 0x0414}, {"oc", nullptr, 0x0482},
    {"or", nullptr, 0x0448},  {"pa", nullptr, 0x0446}, {"pl", nullptr, 0x0415},
    {"ps", nullptr, 0x0463},  {"pt", nullptr, 0x0816}, {"pt", "BR", 0x0416},
    {"rm", nullptr, 0x0417},  {"ro", nullptr, 0x0418}, {"ru", nullptr, 0x0419},
    {"rw", nullptr, 0x0487},  {"sa", nullptr, 0x044f}, {"se", nullptr, 0x043b},
    {"si", nullptr, 0x045b},  {"sk", nullptr, 0x041b}, {"sl", nullptr, 0x0424},
    {"sq", nullptr, 0x041c},  {"sr", nullptr, 0x281a}, {"sr", "ME", 0x301a},
    {"sv", nullptr, 0x041d},  {"sv", "FI", 0x081d},    {"sw", nullptr, 0x0441},
    {"ta", nullptr, 0x0449},  {"te", nullptr, 0x044a}, {"tg", nullptr, 0x0428},
    {"th", nullptr, 0x041e},  {"tk", nullptr, 0x0442}, {"tn", nullptr, 0x0432},
    {"tr", nullptr, 0x041f},  {"tt", nullptr, 0x0444}, {"ug", nullptr, 0x0480},
    {"uk", nullptr, 0x0422},  {"ur", nullptr, 0x0420}, {"uz", nullptr, 0x0443},
    {"vi", nullptr, 0x042a},  {"wo", nullptr, 0x0488}, {"xh", nullptr, 0x0434},
    {"yo", nullptr, 0x046a},  {"zh", nullptr, 0x0804}, {"zh", "TW", 0x0404},
    {"zh", "HK", 0x0c04},     {"zh", "SG", 0x1004},    {"zh", "MO", 0x1404},
    {"zu", nullptr, 0x0435},
};

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

} // namespace

LANGID LangIdFromLocaleName(std::string_view strName) {
    std::string_view name = strName;
    std::string_view modifier;
    if (std::size_t at = name.find('@'); at != std::string_view::npos) {
        modifier = name.substr(at + 1);
        name = name.substr(0, at);
    }
    if (std::size_t dot = name.find('.'); dot != std::string_view::npos) name = name.substr(0, dot);
    std::string_view territory;
    if (std::size_t sep = name.find_first_of("_-"); sep != std::string_view::npos) {
        territory = name.substr(sep + 1);
        name = name.substr(0, sep);
    }
    std::string language = Lower(name), land = Upper(territory);
    if (language.empty() || language == "c" || language == "posix") return c_langEnglish;
    // Serbian and Bosnian in Latin script have LANGIDs of their own.
    if (Lower(modifier) == "latin") {
        if (language == "sr") return land == "ME" ? 0x2c1a : 0x241a;
        if (language == "uz") return 0x0443;
    } else if (language == "uz" && Lower(modifier) == "cyrillic") {
        return 0x0843;
    }
    LANGID main = 0;
    for (const LocaleEntry& e : c_locales) {
        if (language != e.szLanguage) continue;
        if (!e.szTerritory) {
            if (!main) main = e.lang;
        } else if (land == e.szTerritory) {
            return e.lang;
        }
    }
    return main ? main : c_langEnglish;
}

LANGID UserDefaultLangId() {
    if (LANGID lang = g_langOverride.load()) return lang;
    for (const char* szVar : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* sz = std::getenv(szVar);
        if (sz && *sz) return LangIdFromLocaleName(sz);
    }
    return c_langEnglish;
}

void SetUserDefaultLangIdOverride(LANGID lang) {
    g_langOverride.store(lang);
}

UINT AnsiCodePageOfLanguage(LANGID lang) {
    switch (lang & 0x3FF) {
    case 0x19: case 0x22: case 0x23: case 0x02: case 0x2F: case 0x3F: case 0x40: case 0x44:
    case 0x50: case 0x28: case 0x6D: case 0x85: return 1251; // Cyrillic scripts
    case 0x1A: // Serbian in Cyrillic script, Croatian and the Latin variants
        return (lang == 0x0C1A || lang == 0x1C1A || lang == 0x281A || lang == 0x301A) ? 1251 : 1250;
    case 0x43: return lang == 0x0843 ? 1251 : 1254; // Uzbek
    case 0x2C: return lang == 0x082C ? 1251 : 1254; // Azerbaijani
    case 0x05: case 0x15: case 0x0E: case 0x1B: case 0x24: case 0x18: case 0x1C: return 1250;
    case 0x08: return 1253;
    case 0x1F: return 1254;
    case 0x0D: return 1255;
    case 0x01: case 0x29: case 0x20: return 1256;
    case 0x25: case 0x26: case 0x27: return 1257;
    case 0x2A: return 1258;
    case 0x1E: return 874;
    default: return 1252;
    }
}

namespace {
std::atomic<UINT> g_codePageOverride{0};
} // namespace

UINT SystemAnsiCodePage() {
    if (UINT cp = g_codePageOverride.load()) return cp;
    for (const char* szVar : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* sz = std::getenv(szVar);
        if (sz && *sz) return AnsiCodePageOfLanguage(LangIdFromLocaleName(sz));
    }
    return 1252;
}

void SetSystemAnsiCodePageOverride(UINT uCodePage) {
    g_codePageOverride.store(uCodePage);
}

} // namespace velka
