// The pages of the options dialog. Each page reads its settings when it is
// made and writes all of them back when the dialog applies; what changed is
// gathered so that the dialog tells the rest of the program once. Page
// indices are fixed (the setting OptionsPage stores them).
#pragma once
#include <QCheckBox>
#include <QString>
#include <QWidget>
#include <memory>
#include <string>

#include "platform/win_types.h"

class QComboBox;
class QVBoxLayout;

namespace velka {

// Page indices.
constexpr int c_nOptionsPageUnits = 0;
constexpr int c_nOptionsPageMap = 1;
// 2 the GPS page, 5 the clock page (gps/gps_options.h).
constexpr int c_nOptionsPageLanguage = 3;
constexpr int c_nOptionsPageTracks = 4;
constexpr int c_cOptionsPages = 6;

// Texts of the options dialog (shell range).
constexpr UINT IDS_OPTIONS_TITLE = 200100;
constexpr UINT IDS_OPTIONS_PAGE_UNITS = 200101;
constexpr UINT IDS_OPTIONS_PAGE_GPS = 200103;
constexpr UINT IDS_OPTIONS_PAGE_LANGUAGE = 200104;
constexpr UINT IDS_OPTIONS_PAGE_TRACKS = 200105;
constexpr UINT IDS_OPTIONS_PAGE_CLOCK = 200106;
// Units page: labels and the choices of each option, in value order.
constexpr UINT IDS_OPT_ELEVATION = 200110;    // then 200111 feet, 200112 metres
constexpr UINT IDS_OPT_DISTANCE = 200113;     // 200114 metric, 200115 nautical, 200116 statute
constexpr UINT IDS_OPT_AREA = 200117;         // 200118 metric .. 200121 hectares
constexpr UINT IDS_OPT_AZIMUTH = 200122;      // 200123 degrees, 200124 compass points
constexpr UINT IDS_OPT_POSITION = 200125;     // choices are samples of each format
constexpr UINT IDS_OPT_ADDRESS = 200126;      // 200127 number first, 200128 street first
constexpr UINT IDS_OPT_SHOW_ZIP = 200129;
constexpr UINT IDS_OPT_SHOW_CITY = 200130;
constexpr UINT IDS_OPT_ADDRESS_GROUP = 200131;
// Map page.
constexpr UINT IDS_OPT_ROTATE_MAP = 200132;
constexpr UINT IDS_OPT_KEEP_VISIBLE = 200133;
constexpr UINT IDS_OPT_SHOW_WAYPOINTS = 200134;
constexpr UINT IDS_OPT_SHOW_HOT_SPOT = 200135;
constexpr UINT IDS_OPT_SHOW_MAP_GAUGES = 200136;
constexpr UINT IDS_OPT_ANTIALIAS = 200137;
constexpr UINT IDS_OPT_NIGHT_MODE = 200138;   // 200139 day, 200140 night, 200141 automatic
// 200142 is the language's own name (shell/language_choice.h).
constexpr UINT IDS_OPT_LANGUAGE = 200143;
constexpr UINT IDS_OPT_LANGUAGE_RESTART = 200144;
constexpr UINT IDS_OPT_SHOW_TRACK = 200145;
constexpr UINT IDS_OPT_MAP_DETAIL = 200146;   // 200147 less .. 200151 more
constexpr UINT IDS_OPT_TRACKS_FOLDER = 200152;
constexpr UINT IDS_OPT_UNITS_GROUP = 200153;

// GPS range: the GPS and clock pages.
constexpr UINT IDS_OPT_PORTS = 204100;
constexpr UINT IDS_OPT_PROTOCOLS = 204101;
constexpr UINT IDS_OPT_ADVANCED = 204102;
constexpr UINT IDS_OPT_ADVANCED_TITLE = 204103;
constexpr UINT IDS_OPT_LOG_COM_PORTS = 204104;
constexpr UINT IDS_OPT_ELEVATION_ELLIPSOID = 204105;
constexpr UINT IDS_OPT_FIXUP_CLOCK = 204110;
constexpr UINT IDS_OPT_FIXUP_EPOCH = 204111;
constexpr UINT IDS_OPT_FIXUP_TIMEZONE = 204112;
constexpr UINT IDS_OPT_CLOCK_THRESHOLD = 204113;

constexpr UINT IDS_OPT_OK = 200154;
constexpr UINT IDS_OPT_CANCEL = 200155;
constexpr UINT IDS_OPT_APPLY = 200156;

QString OptionsText(UINT uId);
QString ToOptionsQString(const std::u16string& s);
std::u16string FromQString(const QString& s);

// What applying the pages changed.
struct COptionsChanges {
    bool fUnits = false;       // the unit options: re-read, pages told
    bool fSettings = false;    // any other setting the pages show
    bool fPositioning = false; // ports or protocols: running positioning restarts
    bool fNightMode = false;   // the skins follow the new mode
    bool fTrackRecording = false;
    bool fRestart = false;     // the language changed: the program restarts
};

class COptionsPage : public QWidget {
public:
    COptionsPage(int nIndex, UINT uTitle);
    int Index() const { return m_nIndex; }
    UINT Title() const { return m_uTitle; }
    // Writes every control of the page to its setting.
    virtual void Apply(COptionsChanges& changes) = 0;

protected:
    // The page's contents go here; the page scrolls when they do not fit.
    QVBoxLayout* Body() const { return m_pBody; }

private:
    int m_nIndex;
    UINT m_uTitle;
    QVBoxLayout* m_pBody = nullptr;
};

// A check box bound to a boolean setting.
class CSettingCheckBox : public QCheckBox {
public:
    CSettingCheckBox(const char16_t* szName, bool fDefault, UINT uText);
    // Writes the box; true when the setting changed.
    bool Apply();

private:
    const char16_t* m_szName;
    bool m_fDefault;
};

// A drop-down list narrow enough for the handheld's window: it does not
// widen to its longest choice.
QComboBox* MakeCompactComboBox();

std::unique_ptr<COptionsPage> CreateUnitsOptionsPage();
std::unique_ptr<COptionsPage> CreateMapOptionsPage();
std::unique_ptr<COptionsPage> CreateGpsOptionsPage();
std::unique_ptr<COptionsPage> CreateLanguageOptionsPage();
std::unique_ptr<COptionsPage> CreateTracksOptionsPage();
std::unique_ptr<COptionsPage> CreateClockOptionsPage();

} // namespace velka
