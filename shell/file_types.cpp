#include "shell/file_types.h"

#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/paths.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/string_ids.h"

extern char** environ;

namespace velka {
namespace {

constexpr CFileTypeInfo c_aFileTypes[] = {
    {".img", "application/x-velka-img", "imgfile", true, 0, IDS_FILE_TYPE_IMG},
    {".zem", "application/x-velka-zem", "zemfile", true, 0, IDS_FILE_TYPE_ZEM},
    {".mps", "application/x-mapsource-mps", "MapSource.Document", false, 1, IDS_FILE_TYPE_MPS},
    {".gdb", "application/x-garmin-gdb", "GarminGpsDatabase", false, 1, IDS_FILE_TYPE_GDB},
    {".wpt", "application/x-oziexplorer-wpt", "OziExplorer.WaypointsFile", false, 1, IDS_FILE_TYPE_WPT},
};

// Quoting of an Exec argument in a desktop entry.
std::string DesktopQuote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// A desktop entry value on one line, with the entry's own escapes.
std::string DesktopValue(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c == '\\') out += "\\\\";
        else out += c;
    }
    return out;
}

// Runs a cache tool found on PATH on a folder; absent tools are skipped.
void RunTool(const char* szTool, const std::string& strFolder) {
    const char* szPath = std::getenv("PATH");
    if (!szPath) return;
    std::string strDirs = szPath;
    std::string strExe;
    for (std::size_t b = 0; b <= strDirs.size();) {
        std::size_t e = strDirs.find(':', b);
        if (e == std::string::npos) e = strDirs.size();
        std::string cand = strDirs.substr(b, e - b) + "/" + szTool;
        if (e > b && ::access(cand.c_str(), X_OK) == 0) {
            strExe = cand;
            break;
        }
        b = e + 1;
    }
    if (strExe.empty()) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string strTool = szTool;
    char* argv[] = {strTool.data(), const_cast<char*>(strFolder.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, strExe.c_str(), &actions, nullptr, argv, environ) == 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

// A small file's bytes; false when it cannot be read or is not small.
bool ReadSmallFile(const std::string& strPath, std::string& strText) {
    constexpr std::size_t c_cbMax = 1 << 20;
    int fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    strText.clear();
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0 && strText.size() <= c_cbMax)
        strText.append(buf, static_cast<std::size_t>(n));
    ::close(fd);
    return n == 0 && strText.size() <= c_cbMax;
}

bool WriteIfChanged(const std::string& strPath, const std::string& strText) {
    std::string strHave;
    if (ReadSmallFile(strPath, strHave) && strHave == strText) return false;
    return WriteFileAtomic(strPath, strText.data(), strText.size());
}

} // namespace

const CFileTypeInfo* FileTypes(std::size_t* pcTypes) {
    if (pcTypes) *pcTypes = std::size(c_aFileTypes);
    return c_aFileTypes;
}

std::string MimePackageXml() {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const CFileTypeInfo& t : c_aFileTypes) {
        xml += "  <mime-type type=\"";
        xml += t.szMimeType;
        xml += "\">\n    <comment>" + XmlEscape(ToUtf8(LoadStr(t.uDescriptionId))) + "</comment>\n";
        xml += "    <generic-icon name=\"";
        xml += t.nIcon == 0 ? "x-office-document" : "text-x-generic";
        xml += "\"/>\n    <glob pattern=\"*";
        xml += t.szExtension;
        xml += "\"/>\n  </mime-type>\n";
    }
    xml += "</mime-info>\n";
    return xml;
}

std::string DesktopEntry(const std::string& strProgramPath) {
    std::string mime;
    for (const CFileTypeInfo& t : c_aFileTypes)
        if (t.fOpenWith) mime += std::string(t.szMimeType) + ";";
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" + DesktopValue(ToUtf8(MainCaption())) + "\n"
           "Comment=" + DesktopValue(ToUtf8(LoadStr(IDS_OPEN_WITH_VELKA))) + "\n"
           "Exec=" + DesktopQuote(strProgramPath) + " %f\n"
           "Icon=" + c_szIconName + "\n"
           "Terminal=false\n"
           "Categories=Utility;Maps;\n"
           "MimeType=" + mime + "\n";
}

bool RegisterFileTypes() {
    const std::string strData = DataHome();
    const std::string strMimeDir = strData + "/mime";
    const std::string strAppsDir = strData + "/applications";
    bool fChanged = false;
    if (EnsureDirectory(strMimeDir + "/packages") &&
        WriteIfChanged(strMimeDir + "/packages/velka.xml", MimePackageXml())) {
        fChanged = true;
        RunTool("update-mime-database", strMimeDir);
    }
    // The icon goes first, so that the entry naming it finds it.
    const std::string strIconDir = strData + "/icons/hicolor/scalable/apps";
    std::string strIcon;
    if (ReadSmallFile(FindDataFile(c_szIconFile), strIcon) && EnsureDirectory(strIconDir) &&
        WriteIfChanged(strIconDir + "/" + c_szIconName + ".svg", strIcon))
        fChanged = true;
    std::string strExe = ProgramDir() + "/velka";
    if (EnsureDirectory(strAppsDir) && WriteIfChanged(strAppsDir + "/velka.desktop", DesktopEntry(strExe))) {
        fChanged = true;
        RunTool("update-desktop-database", strAppsDir);
    }
    return fChanged;
}

} // namespace velka
