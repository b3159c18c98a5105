#include "app/qt_route_list_dialog.h"

#include <QApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "gauges/units.h"
#include "gps/positioning.h"
#include "mapview/map_position.h"
#include "routing/route_commands.h"
#include "routing/route_geometry.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "waypoints/waypoint_ui.h"

namespace velka {
namespace {

QString Str(UINT uId) { return QString::fromStdU16String(LoadStr(uId)); }

constexpr unsigned c_uFollow = 40130, c_uReverse = 40139, c_uDelete = 40141, c_uRecalculate = 40159,
                   c_uShow = 208133;

} // namespace

CRouteListDialog::CRouteListDialog(CWaypointStore& store, CNavigator& nav, QWidget* pParent)
    : QDialog(pParent), m_store(store), m_nav(nav) {
    setWindowTitle(Str(208150));
    m_pTable = new QTableWidget(this);
    m_pTable->setColumnCount(4);
    m_pTable->setHorizontalHeaderLabels({Str(208121), Str(208152), Str(208153), Str(208126)});
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->verticalHeader()->hide();
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    auto* pButtons = new QHBoxLayout;
    for (unsigned uId : {c_uFollow, c_uRecalculate, c_uReverse, c_uShow, c_uDelete}) {
        auto* pButton = new QPushButton(Str(uId >= 200000 ? uId : 100000 + uId).remove(QStringLiteral("...")), this);
        pButton->setObjectName(QString::number(uId));
        connect(pButton, &QPushButton::clicked, this, [this, uId] { Command(uId); });
        pButtons->addWidget(pButton);
    }
    auto* pClose = new QDialogButtonBox(this);
    pClose->addButton(Str(208140), QDialogButtonBox::RejectRole);
    connect(pClose, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pTable);
    pLayout->addLayout(pButtons);
    pLayout->addWidget(pClose);
    connect(m_pTable, &QTableWidget::cellDoubleClicked, this, [this] { Command(c_uFollow); });
    resize(560, 360);
    Fill();
}

void CRouteListDialog::Fill() {
    m_pTable->setRowCount(0);
    for (const auto& p : m_store.Routes()) {
        if (p->IsDeleted() || (p->dwFlags & rfTemporary)) continue;
        const int row = m_pTable->rowCount();
        m_pTable->insertRow(row);
        std::u16string strValue, strUnit, strTime;
        FormatDistance(static_cast<float>(RouteLength(*p)), strValue, strUnit);
        auto* pName = new QTableWidgetItem(QString::fromStdU16String(p->strName));
        pName->setData(Qt::UserRole, QVariant::fromValue(static_cast<void*>(p.get())));
        if (p.get() == m_store.ActiveRoute()) {
            QFont f = pName->font();
            f.setBold(true);
            pName->setFont(f);
        }
        m_pTable->setItem(row, 0, pName);
        m_pTable->setItem(row, 1, new QTableWidgetItem(QString::number(p->points.size())));
        m_pTable->setItem(row, 2, new QTableWidgetItem(QString::fromStdU16String(strValue + u" " + strUnit)));
        QString strWhen;
        if (p->dTime > 0)
            strWhen = QDateTime::fromSecsSinceEpoch(static_cast<qint64>((p->dTime - 25569.0) * 86400.0))
                          .toString(QStringLiteral("yyyy-MM-dd hh:mm"));
        m_pTable->setItem(row, 3, new QTableWidgetItem(strWhen));
    }
    if (m_pTable->rowCount() > 0) m_pTable->selectRow(0);
}

Route* CRouteListDialog::Selected() const {
    const int row = m_pTable->currentRow();
    if (row < 0 || !m_pTable->item(row, 0)) return nullptr;
    return static_cast<Route*>(m_pTable->item(row, 0)->data(Qt::UserRole).value<void*>());
}

void CRouteListDialog::Command(unsigned uId) {
    Route* pRoute = Selected();
    if (!pRoute) return;
    switch (uId) {
    case c_uFollow:
        FollowRoute(m_nav, *pRoute, GetCurrentFix(), {g_ptReference.lX * 2, g_ptReference.lY * 2});
        accept();
        return;
    case c_uReverse: ReverseRoute(m_nav, *pRoute); break;
    case c_uRecalculate: RecalculateRoute(m_nav, *pRoute); break;
    case c_uDelete: DeleteRouteAsked(m_store, *pRoute); break;
    case c_uShow: {
        const CMapRect rc = pRoute->Bounds();
        WriteSettingBool(u"ShowRoutes", true);
        if (WaypointDialogs().fnShowOnMap) WaypointDialogs().fnShowOnMap({rc.CenterX() / 2, rc.CenterY() / 2});
        accept();
        return;
    }
    default: return;
    }
    Fill();
    if (WaypointDialogs().fnChanged) WaypointDialogs().fnChanged();
}

void ShowRouteListDialog(CWaypointStore& store, CNavigator& nav) {
    CRouteListDialog dlg(store, nav, QApplication::activeWindow());
    dlg.exec();
}

} // namespace velka
