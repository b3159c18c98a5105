#include "gauges/gauge_export.h"

#include "gauges/gauge_dialogs.h"

#include <cerrno>

#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "shell/message_boxes.h"
#include "shell/resources.h"

namespace velka {

std::u16string GaugeExportText(const CGaugeCatalogue& cat, const std::u16string& strDateTime) {
    std::u16string out = strDateTime + u"\r\n\r\n";
    for (int g = 0; g < c_cGaugeGroups; ++g) {
        const CGaugeGroupEntry& group = cat.Group(g);
        out += group.strTitle + u"\r\n" + std::u16string(group.strTitle.size(), u'-') + u"\r\n";
        for (CGaugeEntry* p : group.vecGauges) {
            std::u16string strValue, strUnit;
            p->m_pGauge->GetValueText(strValue, strUnit);
            if (strValue.size() > 64) strValue.resize(64);
            if (strUnit.size() > 64) strUnit.resize(64);
            std::u16string strTitle = p->strTitle;
            if (strTitle.size() < 20) strTitle.resize(20, u' ');
            out += strTitle + u" " + strValue + u" " + strUnit + u"\r\n";
        }
        out += u"\r\n";
    }
    return out;
}

std::u16string GaugeExportFileName(const SYSTEMTIME& st) {
    return FormatW(u"%d-%02d-%02d_%02d-%02d-%02d.txt", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                   st.wSecond);
}

bool WriteGaugeExport(const CGaugeCatalogue& cat, const std::string& strPath, int* pnError) {
    const SYSTEMTIME st = GetLocalTime();
    // The user's locale formats of the date and the time.
    const std::u16string strWhen =
        FormatW(u"%02d.%02d.%04d %02d:%02d:%02d", st.wDay, st.wMonth, st.wYear, st.wHour, st.wMinute, st.wSecond);
    const std::u16string text = GaugeExportText(cat, strWhen);
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + text.size() * 2);
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return WriteFileAtomic(strPath, bytes.data(), bytes.size(), pnError);
}

void SaveGaugeValues() {
    CGaugeCatalogue* pCat = Gauges();
    const auto pfnAsk = GaugeDialogs().pfnAskExportPath;
    if (!pCat || !pfnAsk) return;
    const std::string strPath = pfnAsk(GaugeExportFileName(GetLocalTime()));
    if (strPath.empty()) return;
    int nError = 0;
    if (!WriteGaugeExport(*pCat, strPath, &nError)) ShowCreateFileError(FromUtf8(strPath), nError);
}

} // namespace velka
