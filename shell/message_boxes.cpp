#include "shell/message_boxes.h"

#include <cstdarg>

#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/resources.h"
#include "shell/string_ids.h"

namespace velka {

namespace {
constexpr std::size_t c_cchBox = 520; // as the numbered boxes

std::u16string Cut(std::u16string text) {
    if (text.size() > c_cchBox - 1) text.resize(c_cchBox - 1);
    return text;
}

int ShowBoxV(UINT uStyle, UINT uId, va_list args) {
    char16_t szFormat[c_cchBox];
    LoadString(uId, szFormat, static_cast<int>(c_cchBox));
    std::u16string text = Cut(FormatWV(szFormat, args));
    return UiHost().MessageBox(text, MainCaption(), uStyle);
}

} // namespace

void ShowErrorBox(const CError& error) {
    if (!error.HasText()) return;
    UiHost().MessageBox(Cut(ErrorText(error)), MainCaption(), ErrorIcon(error));
}

bool AskQuestionBox(const CError& question) {
    // The delete questions keep their question mark; a notice put as a
    // question (a newer file version) its warning sign.
    const UINT uIcon = ErrorIcon(question) == MB_ICONQUESTION ? MB_ICONQUESTION : MB_ICONWARNING;
    return UiHost().MessageBox(Cut(ErrorText(question)), MainCaption(), MB_YESNO | uIcon) == IDYES;
}

int ShowErrorText(const char16_t* szFormat, ...) {
    va_list args;
    va_start(args, szFormat);
    std::u16string text = Cut(FormatWV(szFormat, args));
    va_end(args);
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

void ShowErrorNotice(UINT uId, ...) {
    char16_t szFormat[c_cchBox];
    LoadString(uId, szFormat, static_cast<int>(c_cchBox));
    va_list args;
    va_start(args, uId);
    std::u16string text = Cut(FormatWV(szFormat, args));
    va_end(args);
    UiHost().ShowNotice(text, MainCaption(), MB_ICONERROR);
}
#undef VELKA_BOX

void ShowCreateFileError(const std::u16string& strPath, int nError) {
    ShowErrorBox(FileError(ErrorCode::CannotCreateFile, strPath, nError));
}
void ShowOpenFileError(const std::u16string& strPath, int nError) {
    ShowErrorBox(FileError(ErrorCode::CannotOpenFile, strPath, nError));
}
void ShowCreateFolderError(const std::u16string& strPath, int nError) {
    ShowErrorBox(FileError(ErrorCode::CannotCreateFolder, strPath, nError));
}
void ShowRenameError(const std::u16string& strOld, const std::u16string& strNew, int nError) {
    ShowErrorBox(RenameError(strOld, strNew, nError));
}
void ShowOutOfMemory() {
    ShowError(IDS_OUT_OF_MEMORY);
}
void ShowSoundError(int nCode) {
    std::u16string code = FormatW(u"%d", nCode);
    ShowError(IDS_SOUND_ERROR, code.c_str());
}

} // namespace velka
