#include "shell/resource_module.h"

#include "platform/mapped_file.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <string_view>

namespace velka {
namespace {

// Module and resource files above this size are refused.
constexpr std::size_t c_cbMaxModuleFile = 16u << 20;

std::mutex g_builtinMutex;
// Node-based, so the bytes handed out stay where they are.
std::map<std::pair<UINT, UINT>, std::unique_ptr<const std::vector<BYTE>>>& BuiltinResources() {
    static std::map<std::pair<UINT, UINT>, std::unique_ptr<const std::vector<BYTE>>> map;
    return map;
}
// Replaced registrations are kept alive: a caller may still hold their bytes.
std::vector<std::unique_ptr<const std::vector<BYTE>>>& RetiredResources() {
    static std::vector<std::unique_ptr<const std::vector<BYTE>>> retired;
    return retired;
}

bool ReadWholeFile(const std::string& strPath, std::vector<BYTE>& out, std::string* pstrError) {
    CMappedFile file;
    if (!file.Open(strPath)) {
        if (pstrError) *pstrError = strPath + ": " + std::strerror(file.LastError());
        return false;
    }
    if (file.Size() > c_cbMaxModuleFile) {
        if (pstrError) *pstrError = strPath + ": file too large";
        return false;
    }
    out.assign(file.Data(), file.Data() + file.Size());
    return true;
}

} // namespace

const CResourceModule& CResourceModule::Program() {
    static const CResourceModule module = [] {
        CResourceModule m;
        m.m_fProgram = true;
        m.m_strings = BuiltinStrings();
        return m;
    }();
    return module;
}

std::unique_ptr<CResourceModule> CResourceModule::LoadFile(const std::string& strPath,
                                                           std::string* pstrError) {
    std::vector<BYTE> text;
    if (!ReadWholeFile(strPath, text, pstrError)) return nullptr;
    std::unique_ptr<CResourceModule> module(new CResourceModule);
    module->m_strFileName = std::filesystem::path(strPath).filename().string();
    std::vector<ResourceDeclaration> decls;
    std::string strError;
    if (!module->m_strings.Parse(
            std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), &strError,
            &decls)) {
        if (pstrError) *pstrError = strPath + ": " + strError;
        return nullptr;
    }
    std::filesystem::path folder = std::filesystem::path(strPath).parent_path();
    for (ResourceDeclaration& decl : decls) {
        std::vector<BYTE> data;
        if (!ReadWholeFile((folder / decl.strFile).string(), data, pstrError)) return nullptr;
        module->m_resources.push_back({{decl.uType, decl.uId}, std::move(data)});
    }
    return module;
}

const std::u16string* CResourceModule::FindString(UINT uId) const {
    const std::u16string* p = m_strings.Find(uId);
    return p && !p->empty() ? p : nullptr;
}

const std::vector<BYTE>* CResourceModule::FindResource(UINT uType, UINT uId) const {
    if (m_fProgram) {
        std::lock_guard lock(g_builtinMutex);
        auto it = BuiltinResources().find({uType, uId});
        return it == BuiltinResources().end() ? nullptr : it->second.get();
    }
    for (const auto& [key, data] : m_resources)
        if (key.first == uType && key.second == uId) return &data;
    return nullptr;
}

std::vector<std::string> CheckLanguageModule(const CResourceModule& module) {
    std::vector<std::string> problems;
    const CStringTable& builtin = BuiltinStrings();
    std::vector<UINT> ids;
    for (const auto& entry : builtin.Entries()) ids.push_back(entry.first);
    std::sort(ids.begin(), ids.end());
    const std::u16string* pVersion = module.FindString(100);
    if (!pVersion || *pVersion != *builtin.Find(100))
        problems.push_back("100: the version text must be \"" + ToUtf8(*builtin.Find(100)) + "\"");
    for (UINT uId : ids) {
        if (uId == 100) continue;
        const std::u16string* p = module.FindString(uId);
        if (!p) {
            problems.push_back(std::to_string(uId) + ": missing");
            continue;
        }
        std::vector<std::u16string> expected = PrintfConversions(*builtin.Find(uId)), got = PrintfConversions(*p);
        if (expected != got) {
            std::string strExpected, strGot;
            for (const std::u16string& c : expected) strExpected += " " + ToUtf8(c);
            for (const std::u16string& c : got) strGot += " " + ToUtf8(c);
            problems.push_back(std::to_string(uId) + ": conversions" + (strGot.empty() ? " (none)" : strGot) +
                               " where the program has" + (strExpected.empty() ? " none" : strExpected));
        }
    }
    std::vector<UINT> extra;
    for (const auto& entry : module.Strings().Entries())
        if (!builtin.Find(entry.first)) extra.push_back(entry.first);
    std::sort(extra.begin(), extra.end());
    for (UINT uId : extra) problems.push_back(std::to_string(uId) + ": not a text of the program");
    return problems;
}

void RegisterBuiltinResource(UINT uType, UINT uId, std::vector<BYTE> data) {
    std::lock_guard lock(g_builtinMutex);
    auto& slot = BuiltinResources()[{uType, uId}];
    if (slot) RetiredResources().push_back(std::move(slot));
    slot = std::make_unique<const std::vector<BYTE>>(std::move(data));
}

std::optional<CMenuTemplate> ParseMenuTemplate(const std::vector<BYTE>& data) {
    constexpr std::size_t c_cMaxDepth = 8, c_cMaxElements = 4096;
    std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    CMenuTemplate menu;
    std::vector<std::vector<CMenuTemplateItem>*> stack{&menu.items};
    std::size_t cElements = 0;

    auto number = [](std::string_view& rest, UINT& value) {
        while (!rest.empty() && rest.front() == ' ')
            rest.remove_prefix(1);
        std::size_t n = 0;
        unsigned long long v = 0;
        while (n < rest.size() && rest[n] >= '0' && rest[n] <= '9' && n < 10)
            v = v * 10 + static_cast<unsigned>(rest[n++] - '0');
        if (n == 0 || v > 0xFFFFFFFFull || (n < rest.size() && rest[n] != ' ')) return false;
        value = static_cast<UINT>(v);
        rest.remove_prefix(n);
        return true;
    };
    auto blank = [](std::string_view rest) {
        return rest.find_first_not_of(' ') == std::string_view::npos;
    };

    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        while (!line.empty() && line.front() == ' ')
            line.remove_prefix(1);
        if (line.empty() || line.front() == '#') continue;
        std::size_t sp = line.find(' ');
        std::string_view word = line.substr(0, sp),
                         rest = sp == std::string_view::npos ? "" : line.substr(sp);
        if (word == "end") {
            if (stack.size() < 2 || !blank(rest)) return std::nullopt;
            stack.pop_back();
            continue;
        }
        if (++cElements > c_cMaxElements) return std::nullopt;
        CMenuTemplateItem item;
        if (word == "item") {
            if (!number(rest, item.uCommand)) return std::nullopt;
            item.uTextId = item.uCommand + 100000;
            if (!blank(rest) && !number(rest, item.uTextId)) return std::nullopt;
        } else if (word == "separator") {
            item.kind = CMenuTemplateItem::mkSeparator;
        } else if (word == "popup") {
            item.kind = CMenuTemplateItem::mkPopup;
            if (!number(rest, item.uTextId) || stack.size() > c_cMaxDepth) return std::nullopt;
        } else {
            return std::nullopt;
        }
        if (!blank(rest)) return std::nullopt;
        stack.back()->push_back(std::move(item));
        if (stack.back()->back().kind == CMenuTemplateItem::mkPopup)
            stack.push_back(&stack.back()->back().children);
    }
    if (stack.size() != 1) return std::nullopt;
    return menu;
}

} // namespace velka
