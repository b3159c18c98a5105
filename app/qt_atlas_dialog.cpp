#include "app/qt_atlas_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <filesystem>

#include "gauges/gauge_sources.h"
#include "mapdata/zidx_build.h"
#include "mapdata/zidx_parser.h"
#include "mapview/map_page.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/main_window.h"
#include "shell/message_boxes.h"
#include "shell/resources.h"

namespace velka {
namespace {

constexpr UINT c_idsTitle = 202110, c_idsName = 202111, c_idsMaps = 202112, c_idsFolder = 202113,
               c_idsOpen = 202114, c_idsAdd = 202115, c_idsReindex = 202116, c_idsRemove = 202117,
               c_idsAskName = 202118, c_idsNameTaken = 202119, c_idsClose = 208140;

QString Str(UINT uId) { return QString::fromStdU16String(LoadStr(uId)); }
std::u16string FromQ(const QString& s) { return s.toStdU16String(); }

bool SameFile(const std::u16string& a, const std::u16string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(ToUtf8(a), ToUtf8(b), ec);
}

// Whether the open map is the atlas of this folder.
bool IsOpenAtlas(const std::u16string& strFolder) {
    return g_pMapParser && AsAtlas(g_pMapParser) && SameFile(g_pMapParser->FileName(), AtlasIndexPath(strFolder));
}

} // namespace

CAtlasDialog::CAtlasDialog(QWidget* pParent) : QDialog(pParent) {
    setWindowTitle(Str(c_idsTitle));
    m_pTable = new QTableWidget(this);
    m_pTable->setColumnCount(3);
    m_pTable->setHorizontalHeaderLabels({Str(c_idsName), Str(c_idsMaps), Str(c_idsFolder)});
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->verticalHeader()->hide();
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    auto* pButtons = new QHBoxLayout;
    auto add = [&](UINT uId, void (CAtlasDialog::*pfn)()) {
        auto* p = new QPushButton(Str(uId), this);
        p->setObjectName(QString::number(uId));
        connect(p, &QPushButton::clicked, this, [this, pfn] { (this->*pfn)(); });
        pButtons->addWidget(p);
    };
    add(c_idsOpen, &CAtlasDialog::Open);
    add(c_idsAdd, &CAtlasDialog::Add);
    add(c_idsReindex, &CAtlasDialog::Reindex);
    add(c_idsRemove, &CAtlasDialog::Remove);
    auto* pClose = new QDialogButtonBox(this);
    pClose->addButton(Str(c_idsClose), QDialogButtonBox::RejectRole);
    connect(pClose, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pTable);
    pLayout->addLayout(pButtons);
    pLayout->addWidget(pClose);
    connect(m_pTable, &QTableWidget::cellDoubleClicked, this, [this] { Open(); });
    resize(560, 320);
    Fill();
}

void CAtlasDialog::Fill() {
    m_list = ReadAtlasList();
    m_pTable->setRowCount(static_cast<int>(m_list.size()));
    for (int i = 0; i < static_cast<int>(m_list.size()); ++i) {
        const CAtlasListEntry& e = m_list[static_cast<std::size_t>(i)];
        const bool fOpen = IsOpenAtlas(e.strFolder);
        const QString texts[3] = {QString::fromStdU16String(e.strName),
                                  e.nMaps < 0 ? QStringLiteral("-") : QString::number(e.nMaps),
                                  QString::fromStdU16String(e.strFolder)};
        for (int c = 0; c < 3; ++c) {
            auto* pItem = new QTableWidgetItem(texts[c]);
            QFont font = pItem->font();
            font.setBold(fOpen);
            pItem->setFont(font);
            m_pTable->setItem(i, c, pItem);
        }
    }
    if (!m_list.empty() && m_pTable->currentRow() < 0) m_pTable->selectRow(0);
}

int CAtlasDialog::Selected() const {
    const int n = m_pTable->currentRow();
    return n >= 0 && n < static_cast<int>(m_list.size()) ? n : -1;
}

int CAtlasDialog::Reindex(QWidget* pParent, const std::u16string& strFolder) {
    QProgressDialog progress(Str(c_idsAtlasIndexing), Str(c_idsClose), 0, 100, pParent);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    CAtlasIndexHooks h;
    h.fnPhase = [&](UINT uId) { progress.setLabelText(Str(uId)); };
    h.fnProgress = [&](int n) {
        progress.setValue(n);
        QApplication::processEvents();
        return !progress.wasCanceled();
    };
    h.fnMessage = [](const CError& e) { ShowErrorBox(e); };
    h.fnCloseIfOpen = [](const std::u16string& strIndex) {
        if (!g_pMapParser || !SameFile(g_pMapParser->FileName(), strIndex)) return;
        ShowErrorBox(AtlasError(c_idsAtlasOpenWillClose));
        if (CMapPage* pPage = MapPage()) pPage->CloseMap();
    };
    progress.show();
    const int n = ReindexAtlas(strFolder, h);
    progress.reset();
    return n;
}

void CAtlasDialog::Open() {
    const int i = Selected();
    if (i < 0) return;
    CAtlasListEntry e = m_list[static_cast<std::size_t>(i)];
    std::error_code ec;
    if (!std::filesystem::exists(ToUtf8(AtlasIndexPath(e.strFolder)), ec)) {
        // An atlas whose index went missing is indexed again first.
        e.nMaps = Reindex(this, e.strFolder);
        if (e.nMaps <= 0) return;
        WriteAtlasEntry(e);
    }
    accept();
    if (g_hWnd) g_hWnd->OpenMapAndChoosePage(AtlasIndexPath(e.strFolder), true);
}

void CAtlasDialog::Add() {
    const QString strFolder = QFileDialog::getExistingDirectory(this, Str(c_idsAdd).remove(QStringLiteral("...")));
    if (strFolder.isEmpty()) return;
    bool fOk = false;
    const QString strName = QInputDialog::getText(this, Str(c_idsTitle), Str(c_idsAskName), QLineEdit::Normal,
                                                  QDir(strFolder).dirName(), &fOk)
                                .trimmed();
    if (!fOk || strName.isEmpty()) return;
    for (const CAtlasListEntry& e : m_list)
        if (e.strName == FromQ(strName)) {
            UiHost().MessageBox(LoadStr(c_idsNameTaken), LoadStr(c_idsTitle), MB_ICONERROR);
            return;
        }
    CAtlasListEntry e{FromQ(strName), FromQ(QDir::toNativeSeparators(strFolder)), -1};
    const int n = Reindex(this, e.strFolder);
    if (n == c_nAtlasNoMaps || n == c_nAtlasFailed) return;
    e.nMaps = n > 0 ? n : -1;
    if (!WriteAtlasEntry(e)) ShowErrorBox(AtlasError(c_idsAtlasCannotCreate));
    Fill();
}

void CAtlasDialog::Reindex() {
    const int i = Selected();
    if (i < 0) return;
    CAtlasListEntry e = m_list[static_cast<std::size_t>(i)];
    const int n = Reindex(this, e.strFolder);
    if (n >= 0) {
        e.nMaps = n;
        WriteAtlasEntry(e);
    }
    Fill();
}

void CAtlasDialog::Remove() {
    const int i = Selected();
    if (i < 0) return;
    RemoveAtlasEntry(m_list[static_cast<std::size_t>(i)].strName);
    Fill();
}

void ShowAtlasDialog() {
    CAtlasDialog dialog(QApplication::activeWindow());
    dialog.exec();
}

int MapsInAtlasCache() {
    CZidxParser* pAtlas = g_pMapParser ? AsAtlas(g_pMapParser) : nullptr;
    return pAtlas ? static_cast<int>(pAtlas->OpenMapCount()) : 0;
}

} // namespace velka
