// Page 1: how the map is shown.
#include <QComboBox>
#include <QFormLayout>
#include <QVBoxLayout>
#include <vector>

#include "app/qt_options_pages.h"
#include "shell/settings.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

struct CMapSwitch {
    const char16_t* szName;
    bool fDefault;
    UINT uText;
};

constexpr CMapSwitch c_aSwitches[] = {
    {u"RotateMap", false, IDS_OPT_ROTATE_MAP},         {u"KeepVisible", true, IDS_OPT_KEEP_VISIBLE},
    {u"ShowWaypoints", true, IDS_OPT_SHOW_WAYPOINTS},  {u"ShowHotSpot", false, IDS_OPT_SHOW_HOT_SPOT},
    {u"ShowMapGauges", true, IDS_OPT_SHOW_MAP_GAUGES}, {u"MapAntialias", true, IDS_OPT_ANTIALIAS},
};

// NightMode 1 day, 2 night, 3 by the sun.
constexpr int c_nFirstNightMode = 1, c_cNightModes = 3;
// MapDetail shifts the drawn level by up to two scales either way.
constexpr int c_nMinDetail = -2, c_nMaxDetail = 2;

class CMapOptionsPage : public COptionsPage {
public:
    CMapOptionsPage() : COptionsPage(c_nOptionsPageMap, IDS_PAGE_MAP) {
        for (const CMapSwitch& s : c_aSwitches) {
            auto* p = new CSettingCheckBox(s.szName, s.fDefault, s.uText);
            m_vecBoxes.push_back(p);
            Body()->addWidget(p);
        }
        auto* pForm = new QFormLayout;
        pForm->setRowWrapPolicy(QFormLayout::WrapLongRows);
        m_pNight = MakeCompactComboBox();
        for (int k = 0; k < c_cNightModes; ++k)
            m_pNight->addItem(OptionsText(IDS_OPT_NIGHT_MODE + 1 + static_cast<UINT>(k)));
        m_pNight->setCurrentIndex(ReadSettingInt(u"NightMode", 3) - c_nFirstNightMode);
        pForm->addRow(OptionsText(IDS_OPT_NIGHT_MODE), m_pNight);
        m_pDetail = MakeCompactComboBox();
        for (int k = c_nMinDetail; k <= c_nMaxDetail; ++k)
            m_pDetail->addItem(OptionsText(IDS_OPT_MAP_DETAIL + 1 + static_cast<UINT>(k - c_nMinDetail)));
        m_pDetail->setCurrentIndex(ReadSettingInt(u"MapDetail", 0) - c_nMinDetail);
        pForm->addRow(OptionsText(IDS_OPT_MAP_DETAIL), m_pDetail);
        Body()->addLayout(pForm);
        Body()->addStretch(1);
    }

    void Apply(COptionsChanges& changes) override {
        for (CSettingCheckBox* p : m_vecBoxes)
            if (p->Apply()) changes.fSettings = true;
        // A stored value that is no choice (0 and others) stays until one is made.
        if (m_pNight->currentIndex() >= 0) {
            const int nMode = m_pNight->currentIndex() + c_nFirstNightMode;
            if (nMode != ReadSettingInt(u"NightMode", 3)) {
                WriteSettingInt(u"NightMode", nMode);
                changes.fNightMode = true;
            }
        }
        if (m_pDetail->currentIndex() >= 0) {
            const int nDetail = m_pDetail->currentIndex() + c_nMinDetail;
            if (nDetail != ReadSettingInt(u"MapDetail", 0)) {
                WriteSettingInt(u"MapDetail", nDetail);
                changes.fSettings = true;
            }
        }
    }

private:
    std::vector<CSettingCheckBox*> m_vecBoxes;
    QComboBox* m_pNight = nullptr;
    QComboBox* m_pDetail = nullptr;
};

} // namespace

std::unique_ptr<COptionsPage> CreateMapOptionsPage() { return std::make_unique<CMapOptionsPage>(); }

} // namespace velka
