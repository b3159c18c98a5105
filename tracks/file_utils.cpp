#include "tracks/file_utils.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fnmatch.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

std::mutex g_folderMutex;
std::string g_strTracksFolder; // empty: the default under the documents folder

struct DirCloser {
    void operator()(DIR* p) const { closedir(p); }
};

// Calls fn(name, is folder) for each entry of the pattern's folder whose
// name matches the pattern's last component; fn returns false to stop.
template <class Fn>
void ForEachMatch(const std::u16string& strPattern, Fn fn) {
    std::string pattern = ToUtf8(strPattern);
    std::string folder = ".";
    std::string mask = pattern;
    std::size_t slash = pattern.rfind('/');
    if (slash != std::string::npos) {
        folder = slash == 0 ? "/" : pattern.substr(0, slash);
        mask = pattern.substr(slash + 1);
    }
    if (mask.empty()) return;
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return;
    while (dirent* e = readdir(dir.get())) {
        if (fnmatch(mask.c_str(), e->d_name, FNM_CASEFOLD) != 0) continue;
        struct stat st {};
        std::string full = folder + "/" + e->d_name;
        bool fFolder = stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        if (!fn(e->d_name, fFolder)) return;
    }
}

} // namespace

std::size_t RemoveTrailingSlash(std::u16string& strPath) {
    if (strPath.size() > 1 && strPath.back() == u'/') strPath.pop_back();
    return strPath.size();
}

void AddTrailingSlash(std::u16string& strPath) {
    if (!strPath.empty() && strPath.back() != u'/') strPath += u'/';
}

void CutLastComponent(std::u16string& strPath) {
    RemoveTrailingSlash(strPath);
    std::size_t slash = strPath.rfind(u'/');
    if (slash == std::u16string::npos)
        strPath.clear();
    else if (slash == 0)
        strPath = u"/";
    else
        strPath.resize(slash);
}

bool FileExists(const std::u16string& strPath) {
    struct stat st {};
    return stat(ToUtf8(strPath).c_str(), &st) == 0;
}

bool IsFile(const std::u16string& strPath) {
    struct stat st {};
    return stat(ToUtf8(strPath).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool AnyFileMatches(const std::u16string& strPattern) {
    bool fAny = false;
    ForEachMatch(strPattern, [&](const char*, bool) {
        fAny = true;
        return false;
    });
    return fAny;
}

unsigned CountMatchingFiles(const std::u16string& strPattern) {
    unsigned c = 0;
    ForEachMatch(strPattern, [&](const char*, bool fFolder) {
        if (!fFolder) ++c;
        return true;
    });
    return c;
}

bool IsDotEntry(const char* szName) {
    return szName[0] == '.' && (szName[1] == 0 || (szName[1] == '.' && szName[2] == 0));
}

bool IsDotEntry(const std::u16string& strName) { return strName == u"." || strName == u".."; }

CError DeleteWithConfirmation(const std::u16string& strPath, const AskFn& fnAsk) {
    if (!fnAsk || !fnAsk(CError(ErrorCode::AskDeleteFile, {strPath}))) return CError(ErrorCode::Declined);
    std::string path = ToUtf8(strPath);
    struct stat st {};
    int nResult = lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? rmdir(path.c_str())
                                                                          : unlink(path.c_str());
    if (nResult != 0) {
        const int nError = errno;
        return FileError(ErrorCode::CannotDelete, strPath, nError);
    }
    return {};
}

CError RenameInFolder(const std::u16string& strFolder, const std::u16string& strOld,
                    const std::u16string& strNew) {
    std::u16string folder = strFolder;
    AddTrailingSlash(folder);
    const std::u16string oldPath = folder + strOld;
    const std::u16string newPath = folder + strNew;
    // MoveFile refuses to replace an existing target; rename would not.
    std::string target = ToUtf8(newPath);
    struct stat st {};
    int nError = 0;
    if (lstat(target.c_str(), &st) == 0)
        nError = EEXIST;
    else if (std::rename(ToUtf8(oldPath).c_str(), target.c_str()) != 0)
        nError = errno;
    if (nError) return RenameError(oldPath, newPath, nError);
    return {};
}

std::u16string CreateNewFolder(const std::u16string& strFolder, CError& error) {
    std::u16string folder = strFolder;
    AddTrailingSlash(folder);
    const std::u16string base = LoadStr(IDS_NEW_FOLDER);
    std::u16string name = base;
    for (unsigned n = 1; FileExists(folder + name); ++n) name = FormatW(u"%s(%u)", base.c_str(), n);
    if (mkdir(ToUtf8(folder + name).c_str(), 0777) != 0) {
        const int nError = errno;
        error = FileError(ErrorCode::CannotCreateFolder, folder + name, nError);
        return {};
    }
    error = {};
    return name;
}

std::string TracksFolder() {
    {
        std::lock_guard lock(g_folderMutex);
        if (!g_strTracksFolder.empty()) return g_strTracksFolder;
    }
    return DocumentsDir() + "/GPS Tracks and Waypoints";
}

bool EnsureTracksFolder(int* pnError) { return EnsureDirectory(TracksFolder(), pnError); }

void SetTracksFolder(const std::string& strFolder) {
    std::lock_guard lock(g_folderMutex);
    g_strTracksFolder = strFolder;
}

} // namespace velka
