// Build step of the installed package: writes the desktop entry and the
// shared-mime-info package the navigator would register for a user, for
// the system's folders: velka-desktop-files OUT-DIR writes
// OUT-DIR/velka.desktop and OUT-DIR/velka.xml. The package's MIME file also
// names the atlas index, which the atlas dialog and the file dialog open.
#include <cstdio>
#include <string>

#include "platform/paths.h"
#include "shell/file_types.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velka-desktop-files OUT-DIR\n");
        return 2;
    }
    const std::string strDir = argv[1];
    std::string strXml = velka::MimePackageXml();
    const std::string strEnd = "</mime-info>\n";
    strXml.insert(strXml.size() - strEnd.size(),
                  "  <mime-type type=\"application/x-velka-zidx\">\n"
                  "    <comment>Velka atlas index</comment>\n"
                  "    <generic-icon name=\"x-office-document\"/>\n"
                  "    <glob pattern=\"*.zidx\"/>\n"
                  "  </mime-type>\n");
    const std::string strEntry = velka::DesktopEntry("velka");
    int nError = 0;
    if (!velka::EnsureDirectory(strDir, &nError) ||
        !velka::WriteFileAtomic(strDir + "/velka.xml", strXml.data(), strXml.size(), &nError) ||
        !velka::WriteFileAtomic(strDir + "/velka.desktop", strEntry.data(), strEntry.size(), &nError)) {
        std::fprintf(stderr, "velka-desktop-files: cannot write into %s (errno %d)\n", strDir.c_str(), nError);
        return 1;
    }
    return 0;
}
