// Page 2: the GPS receiver's ports and protocols, and the advanced switches
// (the GPS log, ellipsoidal elevation) behind a button.
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "app/qt_options_pages.h"
#include "gps/gps_options.h"
#include "shell/string_ids.h"

namespace velka {
namespace {


QTreeWidget* MakeList(int cColumns) {
    auto* p = new QTreeWidget;
    p->setColumnCount(cColumns);
    p->setRootIsDecorated(false);
    p->setUniformRowHeights(true);
    p->setSelectionMode(QAbstractItemView::SingleSelection);
    p->setAllColumnsShowFocus(true);
    p->header()->setStretchLastSection(true);
    p->header()->setSectionsMovable(false);
    return p;
}

// Height of one row, also when the list is empty.
int RowHeight(const QTreeWidget* p) { return std::max(p->sizeHintForRow(0), p->fontMetrics().height() + 4); }

Qt::CheckState CheckOf(bool f) { return f ? Qt::Checked : Qt::Unchecked; }

// The small dialog of the advanced button.
bool EditLogOptions(QWidget* pParent, GpsLogOptions& options) {
    QDialog dlg(pParent);
    dlg.setWindowTitle(OptionsText(IDS_OPT_ADVANCED_TITLE));
    auto* pLayout = new QVBoxLayout(&dlg);
    auto* pLog = new QCheckBox(OptionsText(IDS_OPT_LOG_COM_PORTS));
    pLog->setChecked(options.fLogComPorts);
    auto* pEllipsoid = new QCheckBox(OptionsText(IDS_OPT_ELEVATION_ELLIPSOID));
    pEllipsoid->setChecked(options.fElevationOverEllipsoid);
    pLayout->addWidget(pLog);
    pLayout->addWidget(pEllipsoid);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    pLayout->addWidget(pButtons);
    QObject::connect(pButtons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(pButtons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    if (dlg.exec() != QDialog::Accepted) return false;
    options.fLogComPorts = pLog->isChecked();
    options.fElevationOverEllipsoid = pEllipsoid->isChecked();
    return true;
}

class CGpsOptionsPage : public COptionsPage {
public:
    CGpsOptionsPage()
        : COptionsPage(c_nOptionsPageGps, IDS_OPTIONS_PAGE_GPS), m_vecPorts(ListGpsPorts()),
          m_vecProtocols(ListGpsProtocols()), m_log(ReadGpsLogOptions()) {
        m_pPorts = MakeList(3);
        m_pPorts->setObjectName(QStringLiteral("ports"));
        m_pPorts->setHeaderLabels({OptionsText(IDS_PORT_COLUMN_PORT), OptionsText(IDS_PORT_COLUMN_STATUS), OptionsText(IDS_PORT_COLUMN_DEVICE)});
        for (const GpsPortRow& r : m_vecPorts) {
            auto* pItem = new QTreeWidgetItem(
                m_pPorts, {ToOptionsQString(r.strPath), ToOptionsQString(r.strStatus), ToOptionsQString(r.strDevice)});
            // The device path is what users know; the port's COM name stays
            // underneath.
            pItem->setToolTip(0, ToOptionsQString(r.strName));
            pItem->setData(0, Qt::UserRole, ToOptionsQString(r.strName));
            pItem->setFlags(pItem->flags() | Qt::ItemIsUserCheckable);
            pItem->setCheckState(0, CheckOf(r.fEnabled));
            pItem->setToolTip(2, ToOptionsQString(r.strDevice));
        }
        for (int c = 0; c < 2; ++c) m_pPorts->resizeColumnToContents(c);
        m_pPorts->setMinimumHeight(RowHeight(m_pPorts) * 4 + m_pPorts->header()->sizeHint().height() + 4);

        m_pProtocols = MakeList(1);
        m_pProtocols->setObjectName(QStringLiteral("protocols"));
        m_pProtocols->setHeaderHidden(true);
        for (const GpsProtocolRow& r : m_vecProtocols) {
            auto* pItem = new QTreeWidgetItem(m_pProtocols, {ToOptionsQString(r.strName)});
            pItem->setFlags(pItem->flags() | Qt::ItemIsUserCheckable);
            pItem->setCheckState(0, CheckOf(r.fEnabled));
        }
        const int cyRows = RowHeight(m_pProtocols) * static_cast<int>(m_vecProtocols.size());
        m_pProtocols->setFixedHeight(cyRows + 2 * m_pProtocols->frameWidth() + 2);

        auto* pAdvanced = new QPushButton(OptionsText(IDS_OPT_ADVANCED));
        pAdvanced->setObjectName(QStringLiteral("advanced"));
        connect(pAdvanced, &QPushButton::clicked, this, [this] { EditLogOptions(this, m_log); });

        Body()->addWidget(new QLabel(OptionsText(IDS_OPT_PORTS)));
        Body()->addWidget(m_pPorts, 1);
        Body()->addWidget(new QLabel(OptionsText(IDS_OPT_PROTOCOLS)));
        Body()->addWidget(m_pProtocols);
        Body()->addWidget(pAdvanced, 0, Qt::AlignLeft);

        // gpsd beside the ports.
        m_pGpsd = new QCheckBox(OptionsText(IDS_OPT_USE_GPSD));
        m_pGpsd->setObjectName(QStringLiteral("gpsd"));
        m_pGpsd->setChecked(m_gpsd.fEnabled);
        m_pGpsdServer = new QLineEdit(ToOptionsQString(m_gpsd.strServer));
        m_pGpsdServer->setObjectName(QStringLiteral("gpsdServer"));
        Body()->addWidget(m_pGpsd);
        Body()->addWidget(new QLabel(OptionsText(IDS_OPT_GPSD_SERVER)));
        Body()->addWidget(m_pGpsdServer);
    }

    void Apply(COptionsChanges& changes) override {
        for (std::size_t i = 0; i < m_vecPorts.size(); ++i) {
            const bool f = m_pPorts->topLevelItem(static_cast<int>(i))->checkState(0) == Qt::Checked;
            if (f != m_vecPorts[i].fEnabled) changes.fPositioning = true;
            m_vecPorts[i].fEnabled = f;
        }
        for (std::size_t i = 0; i < m_vecProtocols.size(); ++i) {
            const bool f = m_pProtocols->topLevelItem(static_cast<int>(i))->checkState(0) == Qt::Checked;
            if (f != m_vecProtocols[i].fEnabled) changes.fPositioning = true;
            m_vecProtocols[i].fEnabled = f;
        }
        ApplyGpsPage(m_vecPorts, m_vecProtocols);
        const GpsdOptions now{m_pGpsd->isChecked(), m_pGpsdServer->text().toStdU16String()};
        if (ApplyGpsdOptions(m_gpsd, now)) changes.fPositioning = true;
        m_gpsd = ReadGpsdOptions();
        ApplyGpsLogOptions(m_log);
    }

private:
    std::vector<GpsPortRow> m_vecPorts;
    std::vector<GpsProtocolRow> m_vecProtocols;
    GpsLogOptions m_log;
    GpsdOptions m_gpsd = ReadGpsdOptions();
    QCheckBox* m_pGpsd = nullptr;
    QLineEdit* m_pGpsdServer = nullptr;
    QTreeWidget* m_pPorts = nullptr;
    QTreeWidget* m_pProtocols = nullptr;
};

} // namespace

std::unique_ptr<COptionsPage> CreateGpsOptionsPage() { return std::make_unique<CGpsOptionsPage>(); }

} // namespace velka
