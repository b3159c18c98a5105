#include "shell/language_choice.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/paths.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/settings.h"

namespace velka {
namespace {

// The LANGID of a module file name "%04x.rll" (0 when it is none).
LANGID LanguageOfFileName(const std::string& strName) {
    if (strName.size() != 8 || strName.compare(4, 4, ".rll") != 0) return 0;
    unsigned uLang = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const char c = strName[i];
        unsigned d;
        if (c >= '0' && c <= '9')
            d = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = static_cast<unsigned>(c - 'a' + 10);
        else
            return 0; // the loader asks for lower-case names only
        uLang = uLang * 16 + d;
    }
    return static_cast<LANGID>(uLang);
}

std::u16string NameIn(const CResourceModule& module, LANGID lang) {
    if (const std::u16string* p = module.FindString(IDS_LANGUAGE_NAME)) return *p;
    return FromUtf8(LanguageModuleFileName(lang));
}

} // namespace

std::vector<LanguageChoice> ListLanguages(const std::vector<std::string>& folders) {
    std::vector<std::string> search = folders;
    if (search.empty()) search = {ProgramDir(), InstalledDataDir()};
    std::vector<LanguageChoice> result;
    result.push_back({c_langBuiltin, NameIn(CResourceModule::Program(), c_langBuiltin), {}});
    std::vector<LanguageChoice> found;
    for (const std::string& strFolder : search) {
        std::error_code ec;
        std::vector<std::filesystem::path> files;
        for (std::filesystem::directory_iterator it(strFolder, ec), end; !ec && it != end; it.increment(ec))
            files.push_back(it->path());
        std::sort(files.begin(), files.end());
        for (const std::filesystem::path& path : files) {
            const LANGID lang = LanguageOfFileName(path.filename().string());
            if (lang == 0 || lang == c_langBuiltin) continue;
            const auto known = [lang](const LanguageChoice& c) { return c.lang == lang; };
            if (std::any_of(found.begin(), found.end(), known)) continue;
            std::unique_ptr<CResourceModule> module = CResourceModule::LoadFile(path.string());
            if (!module) continue;
            found.push_back({lang, NameIn(*module, lang), path.string()});
        }
    }
    std::sort(found.begin(), found.end(),
              [](const LanguageChoice& a, const LanguageChoice& b) { return a.lang < b.lang; });
    result.insert(result.end(), found.begin(), found.end());
    return result;
}

LANGID EffectiveLanguage() {
    const CResourceModule& primary = PrimaryModule();
    if (primary.IsProgram()) return c_langBuiltin;
    const LANGID lang = LanguageOfFileName(primary.FileName());
    return lang ? lang : c_langBuiltin;
}

bool ApplyLanguageChoice(LANGID lang, LANGID* pPending) {
    if (lang == 0 || lang == *pPending) return false;
    WriteSettingInt(u"Language", lang);
    *pPending = lang;
    return true;
}

} // namespace velka
