#include "shell/error.h"

#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/resources.h"

namespace velka {

CError FileError(ErrorCode code, const std::u16string& strPath, int nError) {
    return {code, {strPath, SystemErrorText(nError)}};
}

CError RenameError(const std::u16string& strOld, const std::u16string& strNew, int nError) {
    return {ErrorCode::CannotRename, {strOld, strNew, SystemErrorText(nError)}};
}

namespace {

// One printf conversion with an argument of the error: strings for %s,
// numbers for the others; a missing or mismatched argument gives nothing.
std::u16string Convert(const std::u16string& strConversion, char16_t conv, const CErrorArg* pArg) {
    if (!pArg) return {};
    if (conv == u's' || conv == u'S') {
        const std::u16string s = std::holds_alternative<std::u16string>(*pArg)
                                     ? std::get<std::u16string>(*pArg)
                                     : FormatW(u"%d", std::get<int>(*pArg));
        return FormatW((strConversion + u's').c_str(), s.c_str());
    }
    if (!std::holds_alternative<int>(*pArg)) return {};
    return FormatW((strConversion + conv).c_str(), std::get<int>(*pArg));
}

std::u16string FormatArgs(const std::u16string& format, const std::vector<CErrorArg>& args) {
    std::u16string out;
    std::size_t iArg = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != u'%') {
            out += format[i];
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == u'%') {
            out += u'%';
            ++i;
            continue;
        }
        // Flags, width and precision stay in the conversion; length modifiers go.
        std::u16string strConversion = u"%";
        std::size_t j = i + 1;
        while (j < format.size() && std::u16string_view(u"-+ #0123456789.").find(format[j]) != std::u16string_view::npos)
            strConversion += format[j++];
        while (j < format.size() && std::u16string_view(u"lhIz").find(format[j]) != std::u16string_view::npos) ++j;
        if (j >= format.size()) break;
        const char16_t conv = format[j];
        if (std::u16string_view(u"diuxXocsS").find(conv) == std::u16string_view::npos) {
            out.append(format, i, j - i + 1); // not ours to format: kept as written
        } else {
            out += Convert(strConversion, conv, iArg < args.size() ? &args[iArg] : nullptr);
            ++iArg;
        }
        i = j;
    }
    return out;
}

} // namespace

std::u16string ErrorText(const CError& error) {
    if (!error.HasText()) return {};
    return FormatArgs(LoadStr(error.StringId()), error.args);
}

UINT ErrorIcon(const CError& error) {
    switch (error.code) {
    case ErrorCode::GdbNewerVersion:
    case ErrorCode::MpsNewerVersion:
    case ErrorCode::MapSourceFileTruncated:
    case ErrorCode::ActiveRouteNotDeleted: return MB_ICONWARNING;
    case ErrorCode::AskDeleteFile:
    case ErrorCode::AskDeleteWaypoint:
    case ErrorCode::AskDeleteAllWaypoints:
    case ErrorCode::AskDeleteRoute: return MB_ICONQUESTION;
    default: return MB_ICONERROR;
    }
}

} // namespace velka
