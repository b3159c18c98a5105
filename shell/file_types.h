// File-type registration the freedesktop way: a shared-mime-info package
// naming the five file types (.zem, .img, .mps, .gdb, .wpt) with their
// descriptions, and a desktop entry that opens the two map types with the
// program (the file name becomes the whole command line), with the
// application icon installed into the user's icon theme. Files are
// rewritten only when their content changes; the caches are updated when
// the tools for it are installed. Nothing here ever stops the start-up.
#pragma once
#include <string>

namespace velka {

struct CFileTypeInfo {
    const char* szExtension;  // ".zem"
    const char* szMimeType;   // "application/x-velka-zem"
    const char* szClassName;  // the class name of the type ("zemfile")
    bool fOpenWith;           // the program opens it
    int nIcon;                // icon index
    unsigned uDescriptionId;  // string id of the description
};

// The five types, in registration order.
const CFileTypeInfo* FileTypes(std::size_t* pcTypes);

// The texts written (exposed for tests).
std::string MimePackageXml();
std::string DesktopEntry(const std::string& strProgramPath);

// The application icon: its file among the program's data, and the name
// the desktop entry gives it.
inline constexpr const char* c_szIconFile = "velka.svg";
inline constexpr const char* c_szIconName = "velka";

// Writes both under $XDG_DATA_HOME (mime/packages/velka.xml and
// applications/velka.desktop), and the icon as
// icons/hicolor/scalable/apps/velka.svg when the program's data has it;
// true when anything was rewritten.
bool RegisterFileTypes();

} // namespace velka
