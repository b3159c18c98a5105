#include "search/type_chooser.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMenuBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "search/type_filter_table.h"
#include "shell/resources.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

QString Str(UINT uId) { return QString::fromStdU16String(LoadStr(uId)); }

} // namespace

std::optional<std::pair<int, WORD>> TypeRowIconType(std::size_t iRow) {
    if (iRow >= c_cTypeFilters) return std::nullopt;
    const CTypeFilterEntry& e = g_aTypeFilters[iRow];
    const int nKind = static_cast<int>(e.dwKind);
    if (e.wType != c_wAnyType) return std::pair{nKind, e.wType};
    if (e.wSimplifiedType != c_wAnyType && e.wLevel == 1) return std::pair{nKind, e.wSimplifiedType};
    for (std::size_t i = iRow + 1; i < c_cTypeFilters && g_aTypeFilters[i].wLevel != 0; ++i)
        if (g_aTypeFilters[i].wLevel == 1)
            return std::pair{static_cast<int>(g_aTypeFilters[i].dwKind), g_aTypeFilters[i].wSimplifiedType};
    return std::nullopt;
}

CTypeChooserDialog::CTypeChooserDialog(TypeChooserMode mode, std::size_t cCookie, const TypeNameFn& typeName,
                                       const TypeIconFn& typeIcon, QWidget* pParent)
    : QDialog(pParent) {
    QString strTitle = Str(IDS_FIND_LABEL_TYPE);
    if (strTitle.endsWith(QLatin1Char(':'))) strTitle.chop(1);
    setWindowTitle(strTitle);

    auto* pMenuBar = new QMenuBar(this);
    QMenu* pMenu = pMenuBar->addMenu(strTitle);
    m_pAutoType = pMenu->addAction(Str(100000 + ID_FIND_AUTO_TYPE));
    m_pAutoType->setCheckable(true);
    m_pAutoType->setChecked(ReadAutoType());
    connect(m_pAutoType, &QAction::toggled, this, [](bool f) { WriteAutoType(f); });

    m_pTree = new QTreeWidget;
    m_pTree->setHeaderHidden(true);
    m_pTree->setColumnCount(1);
    m_pTree->setRootIsDecorated(true);
    m_pTree->setUniformRowHeights(true);
    m_pTree->setIconSize(QSize(16, 16));
    m_pTree->header()->setStretchLastSection(true);

    // Each row goes under the last item of the level above it.
    const std::size_t iExcluded = ExcludedTypeRow(mode);
    QTreeWidgetItem* apLast[3] = {};
    m_items.assign(c_cTypeFilters, nullptr);
    for (std::size_t i = 0; i < c_cTypeFilters; ++i) {
        if (i == iExcluded) continue;
        const CTypeFilterEntry& e = g_aTypeFilters[i];
        const int nLevel = std::min<int>(e.wLevel, 2);
        QTreeWidgetItem* pParentItem = nullptr;
        for (int l = nLevel - 1; l >= 0 && !pParentItem; --l) pParentItem = apLast[l];
        auto* pItem = pParentItem ? new QTreeWidgetItem(pParentItem) : new QTreeWidgetItem(m_pTree);
        pItem->setText(0, QString::fromStdU16String(DescribeTypeFilter(i, typeName).strTitle));
        pItem->setData(0, Qt::UserRole, static_cast<qulonglong>(i));
        if (nLevel == 0) {
            QFont font = pItem->font(0);
            font.setBold(true);
            pItem->setFont(0, font);
        }
        if (typeIcon)
            if (const auto type = TypeRowIconType(i)) pItem->setIcon(0, typeIcon(type->first, type->second));
        apLast[nLevel] = pItem;
        for (int l = nLevel + 1; l < 3; ++l) apLast[l] = nullptr;
        m_items[i] = pItem;
    }
    Select(cCookie);
    connect(m_pTree, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem*, int) { accept(); });

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    pButtons->button(QDialogButtonBox::Ok)->setText(Str(IDS_OPT_OK));
    pButtons->button(QDialogButtonBox::Cancel)->setText(Str(IDS_OPT_CANCEL));
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(2, 0, 2, 4);
    pLayout->setSpacing(2);
    pLayout->setMenuBar(pMenuBar);
    pLayout->addWidget(m_pTree, 1);
    pLayout->addWidget(pButtons);
}

bool CTypeChooserDialog::Select(std::size_t iRow) {
    if (iRow >= m_items.size() || !m_items[iRow]) return false;
    m_pTree->setCurrentItem(m_items[iRow]);
    m_pTree->scrollToItem(m_items[iRow], QAbstractItemView::PositionAtCenter);
    return true;
}

std::optional<std::size_t> CTypeChooserDialog::Chosen() const {
    const QTreeWidgetItem* p = m_pTree->currentItem();
    if (!p) return std::nullopt;
    return static_cast<std::size_t>(p->data(0, Qt::UserRole).toULongLong());
}

std::optional<std::size_t> ChooseTypeFilter(TypeChooserMode mode, std::size_t cCookie, const TypeNameFn& typeName,
                                            const TypeIconFn& typeIcon, QWidget* pParent) {
    CTypeChooserDialog dlg(mode, cCookie, typeName, typeIcon, pParent);
    if (pParent) dlg.resize(std::min(pParent->width(), 360), std::min(pParent->height(), 480));
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.Chosen();
}

} // namespace velka
