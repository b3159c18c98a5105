#include "app/qt_options_dialog.h"

#include "app/qt_dialog_size.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "app/qt_app_platform.h"
#include "gauges/units.h"
#include "gps/gps_options.h"
#include "shell/main_window.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/subsystem_hooks.h"

namespace velka {

QString ToOptionsQString(const std::u16string& s) {
    return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}

std::u16string FromQString(const QString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size()));
}

QString OptionsText(UINT uId) { return ToOptionsQString(LoadStr(uId)); }

COptionsPage::COptionsPage(int nIndex, UINT uTitle) : m_nIndex(nIndex), m_uTitle(uTitle) {
    // The handheld's window is small: the contents scroll rather than grow it.
    auto* pOuter = new QVBoxLayout(this);
    pOuter->setContentsMargins(0, 0, 0, 0);
    auto* pScroll = new QScrollArea;
    pScroll->setWidgetResizable(true);
    pScroll->setFrameShape(QFrame::NoFrame);
    pScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* pInner = new QWidget;
    m_pBody = new QVBoxLayout(pInner);
    m_pBody->setContentsMargins(4, 4, 4, 4);
    m_pBody->setSpacing(3);
    pScroll->setWidget(pInner);
    pOuter->addWidget(pScroll);
}

CSettingCheckBox::CSettingCheckBox(const char16_t* szName, bool fDefault, UINT uText)
    : QCheckBox(OptionsText(uText)), m_szName(szName), m_fDefault(fDefault) {
    setChecked(ReadSettingBool(szName, fDefault));
}

bool CSettingCheckBox::Apply() {
    const bool fBefore = ReadSettingBool(m_szName, m_fDefault);
    WriteSettingBool(m_szName, isChecked());
    return fBefore != isChecked();
}

QComboBox* MakeCompactComboBox() {
    auto* p = new QComboBox;
    p->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    p->setMinimumContentsLength(6);
    return p;
}

COptionsDialog::COptionsDialog(QWidget* pParent, int nFirstPage) : QDialog(pParent) {
    setWindowTitle(OptionsText(IDS_OPTIONS_TITLE));
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(2, 2, 2, 2);
    pLayout->setSpacing(2);
    m_pTabs = new QTabWidget;
    m_pTabs->setUsesScrollButtons(true);
    m_pTabs->setDocumentMode(true);
    pLayout->addWidget(m_pTabs, 1);

    std::unique_ptr<COptionsPage> apPages[] = {CreateUnitsOptionsPage(),    CreateMapOptionsPage(),
                                               CreateGpsOptionsPage(),      CreateLanguageOptionsPage(),
                                               CreateTracksOptionsPage(),   CreateClockOptionsPage()};
    for (std::unique_ptr<COptionsPage>& p : apPages) {
        if (!p) continue;
        m_vecPages.push_back(p.get());
        const QString strTitle = OptionsText(p->Title());
        m_pTabs->addTab(p.release(), strTitle);
    }

    auto* pButtons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply);
    const std::pair<QDialogButtonBox::StandardButton, UINT> aButtons[] = {
        {QDialogButtonBox::Ok, IDS_OPT_OK}, {QDialogButtonBox::Cancel, IDS_OPT_CANCEL}, {QDialogButtonBox::Apply, IDS_OPT_APPLY}};
    for (const auto& [button, uText] : aButtons) {
        // The three share the narrow window: they may be narrower than the style's default.
        QPushButton* p = pButtons->button(button);
        p->setText(OptionsText(uText));
        p->setSizePolicy(QSizePolicy::Preferred, p->sizePolicy().verticalPolicy());
        const int cxIcon = p->icon().isNull() ? 0 : p->iconSize().width() + 4;
        p->setMinimumWidth(p->fontMetrics().horizontalAdvance(p->text()) + cxIcon + 12);
    }
    pLayout->addWidget(pButtons);
    connect(pButtons, &QDialogButtonBox::accepted, this, [this] {
        ApplyAll();
        accept();
    });
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(pButtons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, [this] { ApplyAll(); });

    int nTab = 0;
    for (std::size_t i = 0; i < m_vecPages.size(); ++i)
        if (m_vecPages[i]->Index() == nFirstPage) nTab = static_cast<int>(i);
    m_pTabs->setCurrentIndex(nTab);
    OnPageShown(nTab);
    connect(m_pTabs, &QTabWidget::currentChanged, this, [this](int n) { OnPageShown(n); });
    // All tabs and fields at their size, within the screen.
    SizeDialogToContent(*this, pParent);
}

COptionsDialog::~COptionsDialog() = default;

COptionsPage* COptionsDialog::PageAt(int nIndex) const {
    for (COptionsPage* p : m_vecPages)
        if (p->Index() == nIndex) return p;
    return nullptr;
}

void COptionsDialog::OnPageShown(int nTab) {
    if (nTab >= 0 && static_cast<std::size_t>(nTab) < m_vecPages.size())
        NoteOptionsPageOpened(m_vecPages[static_cast<std::size_t>(nTab)]->Index());
}

void COptionsDialog::ApplyAll() {
    COptionsChanges changes;
    for (COptionsPage* p : m_vecPages) p->Apply(changes);
    PassOnOptionsChanges(changes);
}

void PassOnOptionsChanges(const COptionsChanges& changes) {
    const CSubsystemHooks& h = SubsystemHooks();
    if (changes.fUnits) {
        if (h.gauges.fnReadUnitOptions)
            h.gauges.fnReadUnitOptions();
        else
            ReadUnitOptions();
    }
    if (changes.fTrackRecording) {
        const bool fOn = ReadSettingBool(u"RecordTrack", false);
        if (h.tracks.fnStartRecording && h.tracks.fnStopRecording) {
            if (fOn)
                h.tracks.fnStartRecording();
            else
                h.tracks.fnStopRecording();
            CallHook(h.tracks.fnRecordingChanged, fOn);
        }
    }
    if (changes.fNightMode) CallHook(h.map.fnApplyNightMode, ReadSettingInt(u"NightMode", 3));
    // A running reader holds the old port and protocol choice: start again.
    if (changes.fPositioning && AskHook(h.positioning.fnIsRunning)) CallHook(h.positioning.fnStart, true);
    if (g_hWnd) {
        for (UINT i = 0; i < c_cPages; ++i) {
            if (changes.fUnits) g_hWnd->Page(i).OnUnitsChanged();
            if (changes.fSettings || changes.fNightMode || changes.fTrackRecording) g_hWnd->Page(i).OnSettingsChanged();
        }
        g_hWnd->UpdateMenu();
        g_hWnd->RedrawNow();
    }
    if (changes.fRestart) RequestExit(true);
}

void ShowOptionsDialog(int nFirstPage) {
    if (IsHeadlessEnvironment()) {
        std::fprintf(stderr, "dialog: options page %d\n", nFirstPage);
        std::fflush(stderr);
        const char* szScript = std::getenv("VELKA_HEADLESS_OPTIONS");
        if (!szScript || std::strcmp(szScript, "ok") != 0) return;
        COptionsDialog dlg(nullptr, nFirstPage);
        dlg.ApplyAll();
        std::fprintf(stderr, "dialog: options applied\n");
        std::fflush(stderr);
        return;
    }
    QWidget* pParent = g_hWnd ? dynamic_cast<QWidget*>(g_hWnd->Port()) : nullptr;
    COptionsDialog dlg(pParent, nFirstPage);
    dlg.exec();
}

} // namespace velka
