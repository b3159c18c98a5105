#include "app/qt_waypoint_list_dialog.h"

#include "app/qt_dialog_size.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "app/qt_waypoint_edit_dialog.h"
#include "mapview/waypoint_icons.h"
#include "platform/qt/qt_canvas.h"
#include "platform/text.h"
#include "shell/message_boxes.h"
#include "shell/resources.h"
#include "shell/subsystem_hooks.h"
#include "tracks/file_utils.h"
#include "waypoints/waypoint_commands.h"
#include "waypoints/waypoint_ui.h"

namespace velka {
namespace {

QString Str(UINT uId) { return QtText(LoadStr(uId)); }

void Say(const std::string& strLine) {
    std::fprintf(stderr, "%s\n", strLine.c_str());
    std::fflush(stderr);
}

// "GDB files (*.gdb)" from a filter entry; the patterns are joined by ';'.
QString NameFilter(const std::pair<std::u16string, std::u16string>& filter) {
    QString strPatterns = QtText(filter.second);
    strPatterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    return QtText(filter.first) + QStringLiteral(" (") + strPatterns + QLatin1Char(')');
}

// The extension of a single pattern "*.gdb".
QString PatternExtension(const std::u16string& strPattern) {
    const QString s = QtText(strPattern);
    const qsizetype i = s.lastIndexOf(QLatin1Char('.'));
    return i >= 0 ? s.mid(i + 1) : QString();
}

// The symbols' size in the list (the program's icon shrinks to it).
constexpr int c_cxSymbol = 18;

// Default column widths before a state is kept.
constexpr int c_anDefaultWidths[c_cWaypointColumns] = {100, 90, 150, 60, 100, 120};

} // namespace

ExchangeFileChooserFn& ExchangeFileChooser() {
    static ExchangeFileChooserFn fn = &ChooseExchangeFileWithDialog;
    return fn;
}

std::function<QPixmap(WORD wType)>& WaypointSymbolPixmap() {
    static std::function<QPixmap(WORD)> fn;
    return fn;
}

QPixmap DrawnWaypointSymbol(WORD wType) {
    // Drawn once per type on a transparent canvas, at screen factor 1.
    static std::map<WORD, QPixmap> cache;
    if (const auto it = cache.find(wType); it != cache.end()) return it->second;
    const RECT rc = WaypointIconRect(wType, 0, 0, 1);
    QImage image(rc.right - rc.left, rc.bottom - rc.top, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QImage drawn;
    {
        CQtCanvas canvas(std::move(image));
        DrawWaypointIconAt(canvas, wType, 0, 0, 1);
        drawn = canvas.Image().copy();
    }
    return cache.emplace(wType, QPixmap::fromImage(drawn)).first->second;
}

std::optional<ExchangeFileChoice> ChooseExchangeFileWithDialog(QWidget* pParent, ExchangeKind kind, bool fImport) {
    const auto filters = ExchangeFilters(kind, fImport);
    UINT uTitle = kind == ekWaypoints ? (fImport ? IDS_WPT_MENU_IMPORT_WAYPOINTS : IDS_WPT_MENU_EXPORT_WAYPOINTS)
                                      : (fImport ? IDS_WPT_MENU_IMPORT_ROUTES : IDS_WPT_MENU_EXPORT_ROUTES);
    QString strTitle = Str(uTitle);
    while (strTitle.endsWith(QLatin1Char('.'))) strTitle.chop(1);
    QFileDialog dlg(pParent, strTitle, QString::fromStdString(TracksFolder()));
    QStringList names;
    QStringList extensions; // of the export formats, in registry order
    if (fImport) {
        for (const auto& f : filters) names << NameFilter(f);
        dlg.setFileMode(QFileDialog::ExistingFile);
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setNameFilters(names);
    } else {
        // The first entry lists every pattern; a save names one format.
        for (std::size_t i = 1; i < filters.size(); ++i) {
            names << NameFilter(filters[i]);
            extensions << PatternExtension(filters[i].second);
        }
        if (names.isEmpty()) return std::nullopt;
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setFileMode(QFileDialog::AnyFile);
        dlg.setNameFilters(names);
        const int iLast = std::clamp(LastExportFormat(kind), 0, static_cast<int>(names.size()) - 1);
        dlg.selectNameFilter(names[iLast]);
        dlg.setDefaultSuffix(extensions[iLast]);
        dlg.selectFile(QtText(ProposedExportName(kind)) + QLatin1Char('.') + extensions[iLast]);
        QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg, names, extensions](const QString& s) {
            const qsizetype i = names.indexOf(s);
            if (i >= 0) dlg.setDefaultSuffix(extensions[i]);
        });
    }
    SizeDialogToContent(dlg, pParent);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    ExchangeFileChoice choice;
    choice.strPath = dlg.selectedFiles().front().toStdString();
    if (!fImport) choice.iFormat = static_cast<int>(std::max<qsizetype>(0, names.indexOf(dlg.selectedNameFilter())));
    return choice;
}

// The model.

CWaypointListModel::CWaypointListModel(CWaypointStore& store, QObject* pParent)
    : QAbstractTableModel(pParent), m_store(store), m_sort(ReadWaypointListSort()) {
    Reload();
}

int CWaypointListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CWaypointListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : c_cWaypointColumns;
}

QVariant CWaypointListModel::data(const QModelIndex& index, int nRole) const {
    const Waypoint* p = At(index.row());
    if (!p || index.column() < 0 || index.column() >= c_cWaypointColumns) return {};
    switch (nRole) {
    case Qt::DisplayRole: return QtText(WaypointCellText(*p, index.column()));
    case Qt::ToolTipRole:
        if (index.column() == wcComment || index.column() == wcName) return QtText(WaypointCellText(*p, index.column()));
        return {};
    case Qt::DecorationRole:
        if (index.column() == wcSymbol && WaypointSymbolPixmap()) return QIcon(WaypointSymbolPixmap()(p->wType));
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == wcAltitude) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default: return {};
    }
}

QVariant CWaypointListModel::headerData(int nSection, Qt::Orientation orientation, int nRole) const {
    if (orientation != Qt::Horizontal || nRole != Qt::DisplayRole) return {};
    if (nSection < 0 || nSection >= c_cWaypointColumns) return {};
    return Str(WaypointColumnTitle(nSection));
}

void CWaypointListModel::sort(int nColumn, Qt::SortOrder order) {
    m_sort.iColumn = nColumn >= 0 && nColumn < c_cWaypointColumns ? nColumn : -1;
    m_sort.fDescending = order == Qt::DescendingOrder;
    WriteWaypointListSort(m_sort);
    // A layout change, not a reset: the current row and the selection
    // follow their waypoints.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<Waypoint*> waypoints;
    for (const QModelIndex& i : before) waypoints.push_back(At(i.row()));
    m_rows = LiveWaypoints(m_store);
    SortWaypoints(m_rows, m_sort.iColumn, m_sort.fDescending);
    for (qsizetype k = 0; k < before.size(); ++k) {
        const int nRow = RowOf(waypoints[static_cast<std::size_t>(k)]);
        changePersistentIndex(before[k], nRow >= 0 ? index(nRow, before[k].column()) : QModelIndex());
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CWaypointListModel::Reload() {
    beginResetModel();
    m_rows = LiveWaypoints(m_store);
    SortWaypoints(m_rows, m_sort.iColumn, m_sort.fDescending);
    endResetModel();
}

Waypoint* CWaypointListModel::At(int nRow) const {
    return nRow >= 0 && nRow < static_cast<int>(m_rows.size()) ? m_rows[static_cast<std::size_t>(nRow)] : nullptr;
}

int CWaypointListModel::RowOf(const Waypoint* pWaypoint) const {
    const auto it = std::find(m_rows.begin(), m_rows.end(), pWaypoint);
    return it == m_rows.end() ? -1 : static_cast<int>(it - m_rows.begin());
}

// The dialog.

CWaypointListDialog::CWaypointListDialog(CWaypointStore& store, QWidget* pParent)
    : QDialog(pParent), m_fnChooser(ExchangeFileChooser()), m_store(store) {
    setWindowTitle(Str(IDS_WPT_LIST_TITLE));
    m_pModel = new CWaypointListModel(store, this);

    m_pView = new QTableView;
    m_pView->setModel(m_pModel);
    m_pView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pView->setWordWrap(false);
    m_pView->setShowGrid(false);
    m_pView->setAlternatingRowColors(true);
    m_pView->verticalHeader()->hide();
    m_pView->setIconSize(QSize(c_cxSymbol, c_cxSymbol));
    m_pView->verticalHeader()->setDefaultSectionSize(std::max(m_pView->fontMetrics().height() + 4, c_cxSymbol + 2));
    m_pView->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView* pHeader = m_pView->horizontalHeader();
    pHeader->setSectionsMovable(true);
    pHeader->setHighlightSections(false);
    pHeader->setStretchLastSection(false);
    pHeader->setSortIndicatorClearable(true);
    pHeader->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pHeader, &QHeaderView::customContextMenuRequested, this, [this](const QPoint& pt) { HeaderMenu(pt); });
    m_pView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_pView, &QWidget::customContextMenuRequested, this, [this](const QPoint& pt) { RowMenu(pt); });
    // A double click or Enter (or a single click where the platform says so).
    connect(m_pView, &QAbstractItemView::activated, this, [this](const QModelIndex& i) { Properties(i.row()); });
    RestoreColumnState();
    // The kept sort (none: list order), then clicking a header sorts.
    const WaypointListSort sort = m_pModel->Sort();
    pHeader->setSortIndicator(sort.iColumn, sort.fDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
    m_pView->setSortingEnabled(true);

    // Commands in the menu bar and on a row's pop-up menu (a double click
    // opens the properties); show on the map as a button too.
    auto* pMenuBar = new QMenuBar(this);
    QMenu* pWaypoint = pMenuBar->addMenu(Str(IDS_WPT_MENU_WAYPOINT));
    QAction* pProperties = pWaypoint->addAction(Str(IDS_WPT_MENU_PROPERTIES), this, [this] { Properties(); });
    QAction* pShow = pWaypoint->addAction(Str(IDS_WPT_MENU_SHOW_ON_MAP), this, [this] { ShowOnMap(); });
    pWaypoint->addSeparator();
    QAction* pDelete = pWaypoint->addAction(Str(IDS_WPT_MENU_DELETE), this, [this] { Delete(); });
    pDelete->setShortcut(QKeySequence::Delete);
    addAction(pDelete);
    pWaypoint->addAction(Str(IDS_WPT_MENU_DELETE_ALL), this, [this] { DeleteAll(); });
    m_vecRowActions = {pProperties, pShow, pDelete};
    QMenu* pExchange = pMenuBar->addMenu(Str(IDS_WPT_MENU_EXCHANGE));
    pExchange->addAction(Str(IDS_WPT_MENU_IMPORT_WAYPOINTS), this, [this] { Import(ekWaypoints); });
    pExchange->addAction(Str(IDS_WPT_MENU_EXPORT_WAYPOINTS), this, [this] { Export(ekWaypoints); });
    pExchange->addSeparator();
    pExchange->addAction(Str(IDS_WPT_MENU_IMPORT_ROUTES), this, [this] { Import(ekRoutes); });
    pExchange->addAction(Str(IDS_WPT_MENU_EXPORT_ROUTES), this, [this] { Export(ekRoutes); });

    auto* pButtons = new QDialogButtonBox;
    QPushButton* pShowButton = pButtons->addButton(Str(IDS_WPT_SHOW_SHORT), QDialogButtonBox::ActionRole);
    QPushButton* pClose = pButtons->addButton(Str(IDS_WPT_CLOSE), QDialogButtonBox::RejectRole);
    for (QPushButton* p : {pShowButton, pClose}) p->setAutoDefault(false);
    connect(pShowButton, &QPushButton::clicked, this, [this] { ShowOnMap(); });
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(pShow, &QAction::changed, pShowButton, [pShow, pShowButton] { pShowButton->setEnabled(pShow->isEnabled()); });

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(2, 0, 2, 4);
    pLayout->setSpacing(2);
    pLayout->setMenuBar(pMenuBar);
    pLayout->addWidget(m_pView, 1);
    pLayout->addWidget(pButtons);

    // Row commands need a current row; show on the map also a map that
    // takes it.
    auto fnUpdate = [this, pShow] {
        const bool fRow = m_pModel->At(m_pView->currentIndex().row()) != nullptr;
        for (QAction* p : m_vecRowActions) p->setEnabled(fRow && (p != pShow || WaypointDialogs().fnShowOnMap));
    };
    connect(m_pView->selectionModel(), &QItemSelectionModel::currentChanged, this, fnUpdate);
    connect(m_pModel, &QAbstractItemModel::modelReset, this, fnUpdate);
    if (m_pModel->rowCount() > 0) m_pView->setCurrentIndex(m_pModel->index(0, 0));
    fnUpdate();
}

int CWaypointListDialog::RowOrCurrent(int nRow) const {
    return nRow >= 0 ? nRow : m_pView->currentIndex().row();
}

void CWaypointListDialog::Changed(const Waypoint* pKeep) {
    const int nOldRow = m_pView->currentIndex().row();
    m_pModel->Reload();
    int nRow = pKeep ? m_pModel->RowOf(pKeep) : -1;
    if (nRow < 0) nRow = std::min(nOldRow, m_pModel->rowCount() - 1);
    if (nRow < 0 && m_pModel->rowCount() > 0) nRow = 0;
    if (nRow >= 0) m_pView->setCurrentIndex(m_pModel->index(nRow, 0));
    CallHook(WaypointDialogs().fnChanged);
}

void CWaypointListDialog::Properties(int nRow) {
    Waypoint* p = m_pModel->At(RowOrCurrent(nRow));
    if (!p || !EditWaypoint(*p, false)) return;
    ShowErrorBox(m_store.Save());
    Changed(p);
}

void CWaypointListDialog::Delete(int nRow) {
    Waypoint* p = m_pModel->At(RowOrCurrent(nRow));
    if (!p) return;
    if (nRow >= 0) m_pView->setCurrentIndex(m_pModel->index(nRow, 0));
    const StoreChange change = DeleteWaypointAsked(m_store, p, AskQuestionBox);
    ShowErrorBox(change.error);
    if (change.fChanged) Changed();
}

void CWaypointListDialog::DeleteAll() {
    const StoreChange change = DeleteAllWaypointsAsked(m_store, AskQuestionBox);
    ShowErrorBox(change.error);
    if (change.fChanged) Changed();
}

void CWaypointListDialog::ShowOnMap(int nRow) {
    const Waypoint* p = m_pModel->At(RowOrCurrent(nRow));
    const auto& fnShow = WaypointDialogs().fnShowOnMap;
    if (!p || !fnShow) return;
    // Map units are half the stored semicircles.
    fnShow(CMapPoint{p->lX / 2, p->lY / 2});
    accept();
}

void CWaypointListDialog::Import(ExchangeKind kind) {
    if (!m_fnChooser) return;
    const auto choice = m_fnChooser(this, kind, true);
    if (!choice || choice->strPath.empty()) return;
    const ExchangeImport result = ImportExchangeFile(choice->strPath, kind, m_store, AskQuestionBox);
    ShowErrorBox(result.saveError);
    for (const CError& warning : result.warnings) ShowErrorBox(warning);
    ShowErrorBox(result.error);
    if (!result.error && kind == ekRoutes) ShowInformation(IDS_ROUTES_IMPORTED, result.cRoutes, result.cWaypoints);
    if (result.Imported()) Changed();
}

void CWaypointListDialog::Export(ExchangeKind kind) {
    if (!m_fnChooser) return;
    const auto choice = m_fnChooser(this, kind, false);
    if (!choice || choice->strPath.empty()) return;
    ShowErrorBox(ExportExchangeFile(choice->strPath, kind, choice->iFormat, m_store));
}

ListColumnState CWaypointListDialog::ColumnState() const {
    const QHeaderView* pHeader = m_pView->horizontalHeader();
    ListColumnState state;
    for (int v = 0; v < c_cWaypointColumns; ++v) state.order.push_back(pHeader->logicalIndex(v));
    for (int l = 0; l < c_cWaypointColumns; ++l)
        state.widths.push_back(pHeader->isSectionHidden(l) ? 0 : std::clamp(pHeader->sectionSize(l), 1, c_nMaxListColumnWidth));
    return state;
}

void CWaypointListDialog::RestoreColumnState() {
    QHeaderView* pHeader = m_pView->horizontalHeader();
    const auto state = ReadWaypointListHeaders();
    for (int l = 0; l < c_cWaypointColumns; ++l) {
        const int w = state ? state->widths[static_cast<std::size_t>(l)] : c_anDefaultWidths[l];
        // At least one column stays visible whatever was kept.
        if (w == 0 && pHeader->hiddenSectionCount() < c_cWaypointColumns - 1)
            pHeader->hideSection(l);
        else
            pHeader->resizeSection(l, std::max(w, pHeader->minimumSectionSize()));
    }
    if (!state) return;
    for (int v = 0; v < c_cWaypointColumns; ++v)
        pHeader->moveSection(pHeader->visualIndex(state->order[static_cast<std::size_t>(v)]), v);
}

void CWaypointListDialog::ToggleColumn(int nColumn) {
    QHeaderView* pHeader = m_pView->horizontalHeader();
    if (nColumn < 0 || nColumn >= c_cWaypointColumns) return;
    if (!pHeader->isSectionHidden(nColumn)) {
        if (pHeader->hiddenSectionCount() < c_cWaypointColumns - 1) pHeader->hideSection(nColumn);
        return;
    }
    pHeader->showSection(nColumn);
    m_pView->resizeColumnToContents(nColumn); // the larger of header and cells
}

void CWaypointListDialog::HeaderMenu(const QPoint& pt) {
    QHeaderView* pHeader = m_pView->horizontalHeader();
    QMenu menu(this);
    for (int l = 0; l < c_cWaypointColumns; ++l) {
        QAction* p = menu.addAction(Str(WaypointColumnTitle(l)));
        p->setCheckable(true);
        p->setChecked(!pHeader->isSectionHidden(l));
        // The last shown column cannot be hidden.
        if (p->isChecked() && pHeader->hiddenSectionCount() == c_cWaypointColumns - 1) p->setEnabled(false);
        connect(p, &QAction::triggered, this, [this, l] { ToggleColumn(l); });
    }
    menu.exec(pHeader->viewport()->mapToGlobal(pt));
}

void CWaypointListDialog::RowMenu(const QPoint& pt) {
    const QModelIndex index = m_pView->indexAt(pt);
    if (!index.isValid()) return;
    m_pView->setCurrentIndex(index);
    QMenu menu(this);
    for (QAction* p : m_vecRowActions) menu.addAction(p);
    menu.exec(m_pView->viewport()->mapToGlobal(pt));
}

void CWaypointListDialog::done(int nResult) {
    WriteWaypointListHeaders(ColumnState());
    QDialog::done(nResult);
}

void RunWaypointListDialog(QWidget* pParent) {
    CWaypointListDialog dlg(TheWaypointStore(), pParent);
    SizeDialogToContent(dlg, pParent, QSize(640, 420)); // room for every column where there is
    dlg.exec();
}

void HeadlessWaypointList() {
    CWaypointListDialog dlg(TheWaypointStore(), nullptr);
    CWaypointListModel& model = *dlg.Model();
    auto fnRows = [&model] {
        Say("dialog: waypoints: " + std::to_string(model.rowCount()) + " rows");
        for (int r = 0; r < model.rowCount(); ++r) {
            std::string strLine = "dialog: waypoints: row " + std::to_string(r) + ":";
            for (int c = 0; c < c_cWaypointColumns; ++c)
                strLine += (c ? " | " : " ") + ToUtf8(WaypointCellText(*model.At(r), c));
            Say(strLine);
        }
    };
    fnRows();
    const char* szScript = std::getenv("VELKA_HEADLESS_WAYPOINT_LIST");
    const std::string strScript = szScript && *szScript ? szScript : "close";
    for (const auto& [strCommand, strVerb, strArg] : ParseCommandScript(strScript)) {
        if (dlg.result() != QDialog::Rejected) break;
        Say("dialog: waypoints: " + strCommand);
        const int nRow = std::atoi(strArg.c_str());
        if (strVerb == "close") break;
        if (strVerb == "properties") {
            dlg.Properties(nRow);
        } else if (strVerb == "delete") {
            dlg.Delete(nRow);
        } else if (strVerb == "deleteall") {
            dlg.DeleteAll();
        } else if (strVerb == "show") {
            dlg.ShowOnMap(nRow);
        } else if (strVerb == "sort") {
            const bool fDescending = strArg.find(",desc") != std::string::npos;
            model.sort(std::atoi(strArg.c_str()), fDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
        } else if (strVerb.rfind("import-", 0) == 0 || strVerb.rfind("export-", 0) == 0) {
            const bool fImport = strVerb[0] == 'i';
            const std::string strKind = strVerb.substr(7);
            if (strKind != "waypoints" && strKind != "routes") {
                Say("dialog: waypoints: unknown command " + strVerb);
                continue;
            }
            ExchangeFileChoice choice;
            choice.strPath = strArg;
            const std::size_t comma = strArg.rfind(',');
            if (!fImport && comma != std::string::npos) {
                choice.strPath = strArg.substr(0, comma);
                choice.iFormat = std::atoi(strArg.c_str() + comma + 1);
            }
            dlg.m_fnChooser = [choice](QWidget*, ExchangeKind, bool) { return std::optional(choice); };
            const ExchangeKind kind = strKind == "waypoints" ? ekWaypoints : ekRoutes;
            if (fImport)
                dlg.Import(kind);
            else
                dlg.Export(kind);
        } else {
            Say("dialog: waypoints: unknown command " + strVerb);
            continue;
        }
        fnRows();
    }
    if (dlg.result() == QDialog::Rejected) dlg.done(QDialog::Rejected);
    Say("dialog: waypoints: closed");
}

bool EditWaypointWithDialog(Waypoint& wp, bool fNew) {
    return RunWaypointEditDialog(wp, fNew, QApplication::activeWindow());
}

void ShowWaypointList() { RunWaypointListDialog(QApplication::activeWindow()); }

} // namespace velka
