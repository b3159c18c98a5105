#include "mapdata/map_info.h"

#include "mapdata/map_parser.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

constexpr std::size_t c_cchName = 64;
constexpr std::size_t c_cchNotes = 1024;

struct CInfo {
    WORD wYear = 0;
    BYTE btMonth = 0, btDay = 0;
    char16_t szName[c_cchName] = {};
    char16_t szNotes[c_cchNotes] = {};
};

CInfo ReadInfo(const CMapParser& map) {
    CInfo info;
    map.GetInfo(&info.wYear, &info.btMonth, &info.btDay, info.szName, c_cchName, info.szNotes, c_cchNotes);
    info.szName[c_cchName - 1] = 0;
    info.szNotes[c_cchNotes - 1] = 0;
    return info;
}

// Splits at line breaks and the native format's "|" between the holder
// and the licence.
std::vector<std::u16string> NoteLines(const std::u16string& strNotes) {
    std::vector<std::u16string> lines;
    std::u16string strLine;
    auto flush = [&] {
        while (!strLine.empty() && strLine.back() == u' ') strLine.pop_back();
        if (!strLine.empty()) lines.push_back(strLine);
        strLine.clear();
    };
    for (std::size_t i = 0; i < strNotes.size(); ++i) {
        const char16_t ch = strNotes[i];
        if (ch == u'\r' || ch == u'\n') {
            flush();
        } else if (ch == u'|') {
            // The licence follows its holder on the same line.
            while (!strLine.empty() && strLine.back() == u' ') strLine.pop_back();
            if (!strLine.empty()) strLine += u", ";
        } else if (!(strLine.empty() && ch == u' ')) {
            strLine += ch;
        }
    }
    flush();
    return lines;
}

std::u16string Line(UINT uId, const std::u16string& strValue) {
    return FormatW(LoadStr(uId).c_str(), strValue.c_str());
}

} // namespace

std::vector<CMapFileFilter> MapFileFilters() {
    std::vector<CMapFileFilter> filters(1);
    filters[0].strDescription = LoadStr(IDS_FILE_FILTER_ALL);
    for (const CMapFormat* p = MapFormats(); p; p = p->pNext) {
        if (!p->szPattern || !*p->szPattern) continue;
        if (!filters[0].strPatterns.empty()) filters[0].strPatterns += u' ';
        filters[0].strPatterns += p->szPattern;
        filters.push_back({LoadStr(p->uDescriptionId), p->szPattern, p->szExtension ? p->szExtension : u""});
    }
    return filters;
}

std::u16string MapInfoText(const CMapParser& map) {
    const CInfo info = ReadInfo(map);
    std::u16string strText = Line(IDS_MAP_INFO_NAME, info.szName);
    if (info.wYear) {
        const std::u16string strDate = info.btDay ? FormatW(u"%04d-%02d-%02d", info.wYear, info.btMonth, info.btDay)
                                                  : FormatW(u"%04d-%02d", info.wYear, info.btMonth);
        strText += u"\n" + Line(IDS_MAP_INFO_DATE, strDate);
    }
    strText += u"\n" + Line(IDS_MAP_INFO_FILE, map.FileName());
    strText += u"\n" + Line(IDS_MAP_INFO_SIZE, FormatW(u"%u", static_cast<unsigned>(map.FileSize())));
    const std::vector<std::u16string> notes = NoteLines(info.szNotes);
    if (!notes.empty()) {
        strText += u"\n" + LoadStr(IDS_MAP_INFO_NOTES);
        for (const std::u16string& s : notes) strText += u"\n" + s;
    }
    return strText;
}

std::vector<std::u16string> MapAttribution(const CMapParser& map) { return NoteLines(ReadInfo(map).szNotes); }

} // namespace velka
