#include "app/qt_gauge_dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "gauges/gauge.h"
#include "gauges/gauge_export.h"
#include "gauges/gauge_page.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/string_ids.h"
#include "tracks/file_utils.h"

namespace velka {
namespace {

QString Text(const std::u16string& s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

std::u16string ExpandedSetting(const CGaugeGroupEntry& g) { return std::u16string(u"expanded_") + g.szKey; }

} // namespace

CGaugeEntry* RunGaugeChooser(CGaugeEntry* pCurrent, QWidget* pParent) {
    CGaugeCatalogue* pCat = Gauges();
    if (!pCat) return nullptr;
    QDialog dlg(pParent);
    dlg.setWindowTitle(Text(LoadStr(IDS_GAUGE_CHOOSER_TITLE)));
    auto* pTree = new QTreeWidget(&dlg);
    pTree->setHeaderHidden(true);
    QTreeWidgetItem* pSelected = nullptr;
    for (int g = 0; g < c_cGaugeGroups; ++g) {
        const CGaugeGroupEntry& group = pCat->Group(g);
        auto* pGroup = new QTreeWidgetItem(pTree, QStringList(Text(group.strTitle)));
        pGroup->setFlags(Qt::ItemIsEnabled);
        for (CGaugeEntry* p : group.vecGauges) {
            auto* pItem = new QTreeWidgetItem(pGroup, QStringList(Text(p->strTitle)));
            pItem->setToolTip(0, Text(p->strDescription));
            pItem->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(p)));
            if (p == pCurrent) pSelected = pItem;
        }
        pGroup->setExpanded(ReadSettingBool(ExpandedSetting(group).c_str(), false) ||
                            (pCurrent && pCurrent->nGroup == g));
    }
    if (pSelected) pTree->setCurrentItem(pSelected);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    QObject::connect(pButtons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(pButtons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    QObject::connect(pTree, &QTreeWidget::itemDoubleClicked, &dlg, [&dlg](QTreeWidgetItem* pItem, int) {
        if (pItem && pItem->parent()) dlg.accept();
    });
    auto* pLayout = new QVBoxLayout(&dlg);
    pLayout->addWidget(pTree);
    pLayout->addWidget(pButtons);
    dlg.resize(280, 360);
    const bool fOk = dlg.exec() == QDialog::Accepted;
    // The groups stay opened or closed as the user left them.
    for (int g = 0; g < c_cGaugeGroups; ++g)
        WriteSettingBool(ExpandedSetting(pCat->Group(g)).c_str(), pTree->topLevelItem(g)->isExpanded());
    QTreeWidgetItem* pItem = pTree->currentItem();
    if (!fOk || !pItem || !pItem->parent()) return nullptr;
    return static_cast<CGaugeEntry*>(pItem->data(0, Qt::UserRole).value<void*>());
}

CGaugeEntry* ChooseGaugeWithDialog(CGaugeEntry* pCurrent) { return RunGaugeChooser(pCurrent, QApplication::activeWindow()); }

std::string AskGaugeExportPath(const std::u16string& strProposed) {
    const QString strFolder = Text(ReadSettingString(u"GaugeFormat", 260, FromUtf8(TracksFolder()).c_str()));
    const QString strFile = QFileDialog::getSaveFileName(QApplication::activeWindow(), Text(LoadStr(IDS_MENU_SAVE_GAUGES)),
                                                         strFolder + QLatin1Char('/') + Text(strProposed),
                                                         Text(LoadStr(IDS_GAUGE_EXPORT_FILTER)));
    if (strFile.isEmpty()) return {};
    WriteSettingString(u"GaugeFormat", QFileInfo(strFile).absolutePath().toStdU16String().c_str());
    return strFile.toStdString();
}

} // namespace velka
