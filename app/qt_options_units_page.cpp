// Page 0: units and the address format.
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "app/qt_options_pages.h"
#include "gauges/units.h"

namespace velka {
namespace {

struct CChoiceSetting {
    UINT uLabel;
    UINT uFirstChoice; // texts of the values 0, 1, ... follow one another
    int cChoices;
};

constexpr CChoiceSetting c_aChoices[] = {
    {IDS_OPT_ELEVATION, IDS_OPT_ELEVATION + 1, 2},
    {IDS_OPT_DISTANCE, IDS_OPT_DISTANCE + 1, 3},
    {IDS_OPT_AREA, IDS_OPT_AREA + 1, 4},
    {IDS_OPT_AZIMUTH, IDS_OPT_AZIMUTH + 1, 2},
};
constexpr int c_cPositionFormats = 4;

// How a position reads in each format: the format's own output for a sample point.
QString PositionSample(int nFormat) {
    const UnitOptions saved = g_UnitOptions;
    g_UnitOptions.nPositionFormat = nFormat;
    std::u16string str;
    FormatLatitude(55.7539, str);
    g_UnitOptions = saved;
    return ToOptionsQString(str).trimmed();
}

class CUnitsPage : public COptionsPage {
public:
    CUnitsPage() : COptionsPage(c_nOptionsPageUnits, IDS_OPTIONS_PAGE_UNITS) {
        const UnitOptions o = StoredUnitOptions();
        const int anValues[] = {o.nElevationUnit, o.nDistanceUnit, o.nAreaUnit, o.nAzimuthFormat};
        auto* pUnits = new QGroupBox(OptionsText(IDS_OPT_UNITS_GROUP));
        auto* pForm = new QFormLayout(pUnits);
        pForm->setRowWrapPolicy(QFormLayout::WrapLongRows);
        pForm->setContentsMargins(4, 4, 4, 4);
        for (std::size_t i = 0; i < std::size(c_aChoices); ++i) {
            auto* pCombo = MakeCompactComboBox();
            for (int k = 0; k < c_aChoices[i].cChoices; ++k)
                pCombo->addItem(OptionsText(c_aChoices[i].uFirstChoice + static_cast<UINT>(k)));
            pCombo->setCurrentIndex(anValues[i]);
            m_apCombos[i] = pCombo;
            pForm->addRow(OptionsText(c_aChoices[i].uLabel), pCombo);
        }
        m_pPosition = MakeCompactComboBox();
        for (int k = 0; k < c_cPositionFormats; ++k) m_pPosition->addItem(PositionSample(k));
        m_pPosition->setCurrentIndex(o.nPositionFormat);
        pForm->addRow(OptionsText(IDS_OPT_POSITION), m_pPosition);
        Body()->addWidget(pUnits);

        auto* pAddress = new QGroupBox(OptionsText(IDS_OPT_ADDRESS_GROUP));
        auto* pBox = new QVBoxLayout(pAddress);
        pBox->setContentsMargins(4, 4, 4, 4);
        m_pStreetFormat = MakeCompactComboBox();
        m_pStreetFormat->addItem(OptionsText(IDS_OPT_ADDRESS + 1));
        m_pStreetFormat->addItem(OptionsText(IDS_OPT_ADDRESS + 2));
        m_pStreetFormat->setCurrentIndex(o.nStreetAddressFormat);
        pBox->addWidget(new QLabel(OptionsText(IDS_OPT_ADDRESS)));
        pBox->addWidget(m_pStreetFormat);
        m_pZip = new QCheckBox(OptionsText(IDS_OPT_SHOW_ZIP));
        m_pZip->setChecked(o.fShowZipCode);
        m_pCity = new QCheckBox(OptionsText(IDS_OPT_SHOW_CITY));
        m_pCity->setChecked(o.fShowCity);
        pBox->addWidget(m_pZip);
        pBox->addWidget(m_pCity);
        Body()->addWidget(pAddress);
        Body()->addStretch(1);
    }

    void Apply(COptionsChanges& changes) override {
        const UnitOptions stored = StoredUnitOptions();
        UnitOptions o = stored;
        // A stored value without a choice (out of range) stays as it is.
        const auto chosen = [](QComboBox* p, int& n) {
            if (p->currentIndex() >= 0) n = p->currentIndex();
        };
        chosen(m_apCombos[0], o.nElevationUnit);
        chosen(m_apCombos[1], o.nDistanceUnit);
        chosen(m_apCombos[2], o.nAreaUnit);
        chosen(m_apCombos[3], o.nAzimuthFormat);
        chosen(m_pPosition, o.nPositionFormat);
        chosen(m_pStreetFormat, o.nStreetAddressFormat);
        o.fShowZipCode = m_pZip->isChecked();
        o.fShowCity = m_pCity->isChecked();
        if (o == stored) return;
        WriteUnitOptions(o);
        changes.fUnits = true;
    }

private:
    QComboBox* m_apCombos[std::size(c_aChoices)] = {};
    QComboBox* m_pPosition = nullptr;
    QComboBox* m_pStreetFormat = nullptr;
    QCheckBox* m_pZip = nullptr;
    QCheckBox* m_pCity = nullptr;
};

} // namespace

std::unique_ptr<COptionsPage> CreateUnitsOptionsPage() { return std::make_unique<CUnitsPage>(); }

} // namespace velka
