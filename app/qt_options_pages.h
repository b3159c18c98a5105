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
#include "shell/string_ids.h"

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

// Texts of the options dialog: IDS_OPTIONS_* and IDS_OPT_* (shell/string_ids.h);
// the choices of an option follow its label in value order.

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
