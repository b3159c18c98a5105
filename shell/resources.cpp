#include "shell/resources.h"

#include "platform/debug.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "shell/message_boxes.h"
#include "shell/settings.h"
#include "shell/string_ids.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>

namespace velka {
namespace {

constexpr int c_cchAllocBuffer = 1024; // LoadStr
constexpr int c_cchFormat = 128;       // the format of FormatMessageId
constexpr int c_cchVersion = 32;       // string 100 compared at selection
constexpr std::size_t c_cchCaption = 64;

constexpr const char16_t* c_szVersionWarning =
    u"WARNING:\nLocalization module '%s' has incorrect version. Some text strings may apper "
    u"incorrectly.";

struct Selection {
    std::mutex mutex;
    std::atomic<bool> fSelected{false};
    const CResourceModule* pPrimary = nullptr;
    const CResourceModule* pFallback = nullptr;
    std::unique_ptr<CResourceModule> primaryFile, fallbackFile; // owned module files
    std::string strFolder;                                      // tests only
};

Selection& Sel() {
    static Selection sel;
    return sel;
}

std::mutex g_captionMutex;
std::u16string g_strCaption = u"VELKA";

std::unique_ptr<CResourceModule> LoadModule(const std::string& strName,
                                            const std::string& strFolder) {
    std::string path = strFolder.empty() ? FindDataFile(strName) : strFolder + "/" + strName;
    std::string strError;
    std::unique_ptr<CResourceModule> module = CResourceModule::LoadFile(path, &strError);
    if (!module) {
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) DebugOutput("Language module not used: " + strError);
    }
    return module;
}

// LoadStringW on one module: the text cut to the buffer, 0 when absent.
int LoadFrom(const CResourceModule& module, UINT uId, char16_t* pBuffer, int cchBuffer) {
    const std::u16string* p = module.FindString(uId);
    if (!p || cchBuffer <= 0) return 0;
    CopyToBuffer(pBuffer, static_cast<std::size_t>(cchBuffer), *p);
    return static_cast<int>(StrLenW(pBuffer));
}

// The one-time module selection. Returns the warning to show, if any; the
// caller shows it after the selection lock is released (a message box may
// itself look texts up).
std::u16string Select(Selection& sel) {
    sel.primaryFile.reset();
    sel.fallbackFile.reset();
    const CResourceModule& program = CResourceModule::Program();
    int nLanguage = ReadSettingInt(u"Language", UserDefaultLangId());
    if (nLanguage == c_langBuiltin) {
        sel.pPrimary = sel.pFallback = &program;
        return {};
    }
    const std::string strEnglish = LanguageModuleFileName(c_langEnglish);
    sel.primaryFile =
        LoadModule(LanguageModuleFileName(static_cast<unsigned>(nLanguage)), sel.strFolder);
    if (!sel.primaryFile) sel.primaryFile = LoadModule(strEnglish, sel.strFolder);
    sel.pPrimary = sel.primaryFile ? sel.primaryFile.get() : &program;

    if (sel.primaryFile && sel.primaryFile->FileName() == strEnglish) {
        sel.pFallback = sel.pPrimary; // "0409.rll" is loaded once
    } else {
        sel.fallbackFile = LoadModule(strEnglish, sel.strFolder);
        sel.pFallback = sel.fallbackFile ? sel.fallbackFile.get() : &program;
    }

    char16_t szModule[c_cchVersion] = {}, szOwn[c_cchVersion] = {};
    LoadFrom(*sel.pPrimary, 100, szModule, c_cchVersion);
    LoadFrom(program, 100, szOwn, c_cchVersion);
    if (std::u16string_view(szModule) != std::u16string_view(szOwn))
        return FromUtf8(sel.pPrimary->FileName());
    return {};
}

Selection& Selected() {
    Selection& sel = Sel();
    if (sel.fSelected.load(std::memory_order_acquire)) return sel;
    std::u16string strWarnModule;
    {
        std::lock_guard lock(sel.mutex);
        if (sel.fSelected.load(std::memory_order_relaxed)) return sel;
        strWarnModule = Select(sel);
        sel.fSelected.store(true, std::memory_order_release);
    }
    if (!strWarnModule.empty()) ShowErrorText(c_szVersionWarning, strWarnModule.c_str());
    return sel;
}

// The primary module, then the fallback module when it is another one; 0
// when neither has the text.
int LoadSelected(const Selection& sel, UINT uId, char16_t* pBuffer, int cchBuffer) {
    int n = LoadFrom(*sel.pPrimary, uId, pBuffer, cchBuffer);
    if (n == 0 && sel.pFallback != sel.pPrimary)
        n = LoadFrom(*sel.pFallback, uId, pBuffer, cchBuffer);
    return n;
}

int LoadWithFallback(UINT uId, char16_t* pBuffer, int cchBuffer) {
    Selection& sel = Selected();
    if (cchBuffer <= 0 || !pBuffer) return 0;
    int n = LoadSelected(sel, uId, pBuffer, cchBuffer);
    if (n == 0) {
        CopyToBuffer(pBuffer, static_cast<std::size_t>(cchBuffer),
                     FormatW(u"<??%d>", static_cast<int>(uId)));
        n = static_cast<int>(StrLenW(pBuffer));
    }
    return n;
}

std::u16string Cut(std::u16string text, std::size_t cchBuffer) {
    if (text.size() > cchBuffer - 1) text.resize(cchBuffer - 1);
    return text;
}


const std::vector<BYTE>* PrimaryOrProgram(UINT uType, UINT uId) {
    Selection& sel = Selected();
    if (const std::vector<BYTE>* p = sel.pPrimary->FindResource(uType, uId)) return p;
    return CResourceModule::Program().FindResource(uType, uId);
}

} // namespace

std::string LanguageModuleFileName(unsigned uLanguage) {
    char sz[16];
    std::snprintf(sz, sizeof sz, "%04x.rll", uLanguage);
    return sz;
}

void ResetResourceSelection() {
    Selection& sel = Sel();
    std::lock_guard lock(sel.mutex);
    sel.fSelected.store(false);
    sel.pPrimary = sel.pFallback = nullptr;
    sel.primaryFile.reset();
    sel.fallbackFile.reset();
}

void SetLanguageModuleFolder(const std::string& strFolder) {
    Selection& sel = Sel();
    std::lock_guard lock(sel.mutex);
    sel.strFolder = strFolder;
}

const CResourceModule& PrimaryModule() {
    return *Selected().pPrimary;
}
const CResourceModule& FallbackModule() {
    return *Selected().pFallback;
}

int LoadString(UINT uId, char16_t* pBuffer, int cchBuffer) {
    return LoadWithFallback(uId, pBuffer, cchBuffer);
}

std::u16string LoadStr(UINT uId) {
    char16_t sz[c_cchAllocBuffer];
    int n = LoadWithFallback(uId, sz, c_cchAllocBuffer);
    return std::u16string(sz, static_cast<std::size_t>(n));
}

std::u16string FormatMessageId(UINT uId, ...) {
    char16_t szFormat[c_cchFormat];
    LoadWithFallback(uId, szFormat, c_cchFormat);
    va_list args;
    va_start(args, uId);
    std::u16string s = FormatWV(szFormat, args);
    va_end(args);
    return s;
}

int FormatMessageToBuffer(char16_t* pBuffer, int cchBuffer, UINT uId, ...) {
    char16_t szFormat[c_cchFormat];
    LoadWithFallback(uId, szFormat, c_cchFormat);
    if (cchBuffer <= 0 || !pBuffer) return 0;
    va_list args;
    va_start(args, uId);
    std::u16string s = FormatWV(szFormat, args);
    va_end(args);
    CopyToBuffer(pBuffer, static_cast<std::size_t>(cchBuffer), s);
    return static_cast<int>(StrLenW(pBuffer));
}

const CResourceModule& DialogModule(UINT uId) {
    Selection& sel = Selected();
    return sel.pPrimary->FindResource(c_rtDialog, uId) ? *sel.pPrimary : *sel.pFallback;
}

const CResourceModule& MenuModule(UINT uId) {
    Selection& sel = Selected();
    return sel.pPrimary->FindResource(c_rtMenu, uId) ? *sel.pPrimary : *sel.pFallback;
}

std::optional<CMenuTemplate> LoadMenu(UINT uId) {
    Selection& sel = Selected();
    for (const CResourceModule* p : {sel.pPrimary, sel.pFallback})
        if (const std::vector<BYTE>* pData = p->FindResource(c_rtMenu, uId))
            if (std::optional<CMenuTemplate> menu = ParseMenuTemplate(*pData)) return menu;
    return std::nullopt;
}

const std::vector<BYTE>* LoadIcon(UINT uId) {
    return PrimaryOrProgram(c_rtIcon, uId);
}

const std::vector<BYTE>* LoadBitmap(WORD _wID) {
    VELKA_ASSERT(_wID != 0);
    return PrimaryOrProgram(c_rtBitmap, _wID);
}

const std::vector<BYTE>* LoadImageStrip(WORD _wID) {
    VELKA_ASSERT(_wID != 0);
    return PrimaryOrProgram(c_rtGif, _wID);
}

std::u16string SystemErrorText(int nError) {
    char buf[128];
    const char* sz = nullptr;
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    sz = strerror_r(nError, buf, sizeof buf);
#else
    if (strerror_r(nError, buf, sizeof buf) == 0) sz = buf;
#endif
    std::u16string text;
    if (!sz || !*sz || std::strncmp(sz, "Unknown error", 13) == 0)
        text = FormatW(u"Unknown error %d", nError);
    else
        text = FromUtf8(sz);
    text = Cut(std::move(text), 128);
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r'))
        text.pop_back();
    return text;
}

std::u16string MainCaption() {
    std::lock_guard lock(g_captionMutex);
    return g_strCaption;
}

void LoadMainCaption() {
    char16_t sz[c_cchCaption];
    if (LoadSelected(Selected(), IDS_MAIN_CAPTION, sz, static_cast<int>(c_cchCaption)) > 0) SetMainCaption(sz);
}

void SetMainCaption(const std::u16string& strCaption) {
    std::lock_guard lock(g_captionMutex);
    g_strCaption = strCaption.substr(0, c_cchCaption - 1);
}

} // namespace velka
