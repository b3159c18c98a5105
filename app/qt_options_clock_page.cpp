// Page 5: correcting the PC clock from the GPS time.
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/qt_options_pages.h"
#include "gps/gps_options.h"

namespace velka {
namespace {

class CClockOptionsPage : public COptionsPage {
public:
    CClockOptionsPage() : COptionsPage(c_nOptionsPageClock, IDS_OPTIONS_PAGE_CLOCK) {
        const ClockOptions o = ReadClockOptions();
        m_pFixupClock = new QCheckBox(OptionsText(IDS_OPT_FIXUP_CLOCK));
        m_pFixupClock->setChecked(o.fFixupClock);
        m_pFixupEpoch = new QCheckBox(OptionsText(IDS_OPT_FIXUP_EPOCH));
        m_pFixupEpoch->setChecked(o.fFixupGPSEpoch);
        m_pFixupTimezone = new QCheckBox(OptionsText(IDS_OPT_FIXUP_TIMEZONE));
        m_pFixupTimezone->setChecked(o.fFixupTimezone);
        m_pThreshold = new QLineEdit(ToOptionsQString(o.strThreshold));
        m_pThreshold->setObjectName(QStringLiteral("FixupClockThreshold"));
        m_pThreshold->setMaxLength(12);
        Body()->addWidget(m_pFixupClock);
        Body()->addWidget(m_pFixupEpoch);
        Body()->addWidget(m_pFixupTimezone);
        auto* pForm = new QFormLayout;
        pForm->setRowWrapPolicy(QFormLayout::WrapLongRows);
        pForm->addRow(OptionsText(IDS_OPT_CLOCK_THRESHOLD), m_pThreshold);
        Body()->addLayout(pForm);
        Body()->addStretch(1);
    }

    void Apply(COptionsChanges&) override {
        ClockOptions o;
        o.fFixupClock = m_pFixupClock->isChecked();
        o.fFixupGPSEpoch = m_pFixupEpoch->isChecked();
        o.fFixupTimezone = m_pFixupTimezone->isChecked();
        o.strThreshold = FromQString(m_pThreshold->text());
        ApplyClockOptions(o);
        // The field shows what is stored now (500 for less, the old value for no number).
        m_pThreshold->setText(ToOptionsQString(ReadClockOptions().strThreshold));
    }

private:
    QCheckBox* m_pFixupClock = nullptr;
    QCheckBox* m_pFixupEpoch = nullptr;
    QCheckBox* m_pFixupTimezone = nullptr;
    QLineEdit* m_pThreshold = nullptr;
};

} // namespace

std::unique_ptr<COptionsPage> CreateClockOptionsPage() { return std::make_unique<CClockOptionsPage>(); }

} // namespace velka
