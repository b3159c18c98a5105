// A resource module: the program's own (built-in texts and the resources
// registered at start-up) or a language module file "%04x.rll" with its
// texts and the resource files it declares (string_table.h gives the format).
#pragma once
#include "platform/win_types.h"
#include "shell/string_table.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velka {

class CResourceModule {
public:
    // The program's own module.
    static const CResourceModule& Program();
    // Loads a module file and the files it declares. Null when the file is
    // missing, unreadable, too large or damaged: a damaged module counts as
    // missing, so nothing of it is used.
    static std::unique_ptr<CResourceModule> LoadFile(const std::string& strPath,
                                                     std::string* pstrError = nullptr);

    bool IsProgram() const { return m_fProgram; }
    // The module's file name as it was asked for ("0409.rll"); empty for the
    // program's own module.
    const std::string& FileName() const { return m_strFileName; }
    // A text of the module, null when it has none (an empty text counts as none).
    const std::u16string* FindString(UINT uId) const;
    // The bytes of a resource of the given type, null when the module has none.
    const std::vector<BYTE>* FindResource(UINT uType, UINT uId) const;
    const CStringTable& Strings() const { return m_strings; }

private:
    CResourceModule() = default;
    bool m_fProgram = false;
    std::string m_strFileName;
    CStringTable m_strings;
    std::vector<std::pair<std::pair<UINT, UINT>, std::vector<BYTE>>> m_resources;
};

// What is wrong with a language module as a translation of the built-in
// texts: a version text other than the program's, texts it lacks, texts
// whose printf conversions differ, identifiers the program does not have.
// Each problem is one line of text; none means the module is complete.
std::vector<std::string> CheckLanguageModule(const CResourceModule& module);

// Adds a resource to the program's own module (icons, bitmaps, image strips,
// menu templates the program carries). A second registration of the same
// type and identifier replaces the bytes for later lookups.
void RegisterBuiltinResource(UINT uType, UINT uId, std::vector<BYTE> data);

// Menu templates (resource type c_rtMenu) are text, one element a line:
//   popup <text id>          opens a pop-up menu, closed by "end"
//   item <command> [<text id>]   a command; the text defaults to 100000 + command
//   separator
//   end
// Empty lines and lines starting with '#' are skipped.
struct CMenuTemplateItem {
    enum Kind { mkItem, mkSeparator, mkPopup } kind = mkItem;
    UINT uCommand = 0;
    UINT uTextId = 0;
    std::vector<CMenuTemplateItem> children; // of a pop-up
};

struct CMenuTemplate {
    std::vector<CMenuTemplateItem> items;
};

// Null on any malformed line, an unclosed pop-up, nesting deeper than 8 or
// more than 4096 elements.
std::optional<CMenuTemplate> ParseMenuTemplate(const std::vector<BYTE>& data);

} // namespace velka
