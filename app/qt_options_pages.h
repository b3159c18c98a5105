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
constexpr UINT IDS_OPTIONS_TITLE = 200300;
constexpr UINT IDS_OPTIONS_PAGE_UNITS = 200301;
constexpr UINT IDS_OPTIONS_PAGE_GPS = 200303;
constexpr UINT IDS_OPTIONS_PAGE_LANGUAGE = 200304;
constexpr UINT IDS_OPTIONS_PAGE_TRACKS = 200305;
constexpr UINT IDS_OPTIONS_PAGE_CLOCK = 200306;
// Units page: labels and the choices of each option, in value order.
constexpr UINT IDS_OPT_ELEVATION = 200310;    // then 200311 feet, 200312 metres
constexpr UINT IDS_OPT_DISTANCE = 200313;     // 200314 metric, 200315 nautical, 200316 statute
constexpr UINT IDS_OPT_AREA = 200317;         // 200318 metric .. 200321 hectares
constexpr UINT IDS_OPT_AZIMUTH = 200322;      // 200323 degrees, 200324 compass points
constexpr UINT IDS_OPT_POSITION = 200325;     // choices are samples of each format
constexpr UINT IDS_OPT_ADDRESS = 200326;      // 200327 number first, 200328 street first
constexpr UINT IDS_OPT_SHOW_ZIP = 200329;
constexpr UINT IDS_OPT_SHOW_CITY = 200330;
constexpr UINT IDS_OPT_ADDRESS_GROUP = 200331;
// Map page.
constexpr UINT IDS_OPT_ROTATE_MAP = 200332;
constexpr UINT IDS_OPT_KEEP_VISIBLE = 200333;
constexpr UINT IDS_OPT_SHOW_WAYPOINTS = 200334;
constexpr UINT IDS_OPT_SHOW_HOT_SPOT = 200335;
constexpr UINT IDS_OPT_SHOW_MAP_GAUGES = 200336;
constexpr UINT IDS_OPT_ANTIALIAS = 200337;
constexpr UINT IDS_OPT_NIGHT_MODE = 200338;   // 200339 day, 200340 night, 200341 automatic
// 200342 is the language's own name (shell/language_choice.h).
constexpr UINT IDS_OPT_LANGUAGE = 200343;
constexpr UINT IDS_OPT_LANGUAGE_RESTART = 200344;
constexpr UINT IDS_OPT_SHOW_TRACK = 200345;
constexpr UINT IDS_OPT_MAP_DETAIL = 200346;   // 200347 less .. 200351 more
constexpr UINT IDS_OPT_TRACKS_FOLDER = 200352;
constexpr UINT IDS_OPT_UNITS_GROUP = 200353;

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

constexpr UINT IDS_OPT_OK = 200354;
constexpr UINT IDS_OPT_CANCEL = 200355;
constexpr UINT IDS_OPT_APPLY = 200356;

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
