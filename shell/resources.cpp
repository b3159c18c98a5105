#include "shell/resources.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <mutex>

#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/string_table.h"

namespace velka {
namespace {

std::mutex g_captionMutex;
std::u16string g_strCaption = u"VELKA";

std::u16string Lookup(UINT uId) {
    if (const std::u16string* p = BuiltinStrings().Find(uId)) return *p;
    return FormatW(u"<??%d>", static_cast<int>(uId));
}

int ShowBoxV(UINT uStyle, UINT uId, va_list args) {
    std::u16string fmt = Lookup(uId);
    std::u16string text = FormatWV(fmt.c_str(), args);
    if (text.size() > 519) text.resize(519);
    return UiHost().MessageBox(text, MainCaption(), uStyle);
}

} // namespace

int LoadString(UINT uId, char16_t* pBuffer, int cchBuffer) {
    if (cchBuffer <= 0 || !pBuffer) return 0;
    std::u16string s = Lookup(uId);
    CopyToBuffer(pBuffer, static_cast<std::size_t>(cchBuffer), s);
    return static_cast<int>(StrLenW(pBuffer));
}

std::u16string LoadStr(UINT uId) { return Lookup(uId); }

std::u16string FormatMessageId(UINT uId, ...) {
    std::u16string fmt = Lookup(uId);
    if (fmt.size() > 127) fmt.resize(127);
    va_list args;
    va_start(args, uId);
    std::u16string s = FormatWV(fmt.c_str(), args);
    va_end(args);
    return s;
}

int ShowErrorText(const char16_t* szFormat, ...) {
    va_list args;
    va_start(args, szFormat);
    std::u16string text = FormatWV(szFormat, args);
    va_end(args);
    if (text.size() > 519) text.resize(519);
    return UiHost().MessageBox(text, MainCaption(), MB_ICONERROR);
}

#define VELKA_BOX(name, style)                                                                     \
    int name(UINT uId, ...) {                                                                      \
        va_list args;                                                                              \
        va_start(args, uId);                                                                       \
        int n = ShowBoxV(style, uId, args);                                                        \
        va_end(args);                                                                              \
        return n;                                                                                  \
    }
VELKA_BOX(ShowError, MB_ICONERROR)
VELKA_BOX(ShowWarning, MB_ICONWARNING)
VELKA_BOX(ShowInformation, MB_ICONINFORMATION)
VELKA_BOX(AskYesNo, MB_YESNO | MB_ICONQUESTION)
#undef VELKA_BOX

std::u16string SystemErrorText(int nError) {
    char buf[128];
    const char* sz = nullptr;
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    sz = strerror_r(nError, buf, sizeof buf);
#else
    if (strerror_r(nError, buf, sizeof buf) == 0) sz = buf;
#endif
    std::u16string text;
    if (!sz || std::strncmp(sz, "Unknown error", 13) == 0)
        text = FormatW(u"Unknown error %d", nError);
    else
        text = FromUtf8(sz);
    if (text.size() > 127) text.resize(127);
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) text.pop_back();
    return text;
}

void ShowCreateFileError(const std::u16string& strPath, int nError) {
    ShowError(2000, strPath.c_str(), SystemErrorText(nError).c_str());
}
void ShowOpenFileError(const std::u16string& strPath, int nError) {
    ShowError(2001, strPath.c_str(), SystemErrorText(nError).c_str());
}
void ShowReadFileError(const std::u16string& strPath, int nError) {
    ShowError(2002, strPath.c_str(), SystemErrorText(nError).c_str());
}
void ShowWriteFileError(const std::u16string& strPath, int nError) {
    ShowError(2003, strPath.c_str(), SystemErrorText(nError).c_str());
}
void ShowCreateFolderError(const std::u16string& strPath, int nError) {
    ShowError(2035, strPath.c_str(), SystemErrorText(nError).c_str());
}
void ShowDeleteError(const std::u16string& strPath, int nError) {
    ShowError(2025, strPath.c_str(), SystemErrorText(nError).c_str());
}
void ShowRenameError(const std::u16string& strOld, const std::u16string& strNew, int nError) {
    ShowError(2026, strOld.c_str(), strNew.c_str(), SystemErrorText(nError).c_str());
}
void ShowOutOfMemory() { ShowError(2127); }
void ShowSoundError(int nCode) {
    std::u16string code = FormatW(u"%d", nCode);
    ShowError(40166, code.c_str());
}

const std::u16string& MainCaption() {
    std::lock_guard lock(g_captionMutex);
    return g_strCaption;
}

void SetMainCaption(const std::u16string& strCaption) {
    std::lock_guard lock(g_captionMutex);
    g_strCaption = strCaption.substr(0, 63);
}

} // namespace velka
