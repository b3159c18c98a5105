#include "search/find_dialog.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "mapdata/map_parser.h"
#include "search/type_chooser.h"
#include "search/type_filter_table.h"
#include "shell/message_boxes.h"
#include "shell/resources.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

QString Str(UINT uId) { return QString::fromStdU16String(LoadStr(uId)); }

// Default widths of the result columns before a state is kept.
constexpr int c_anDefaultWidths[c_cFindColumns] = {150, 85, 60, 0, 140, 100, 0, 0};
// Narrower windows show the field labels as placeholder texts.
constexpr int c_cxNarrow = 330;
// The menu bar of every search dialog (menu 158) is titled by the find popup.
constexpr UINT c_uFindMenuTitle = IDS_POPUP_FIND;

} // namespace

CFindDialog::CFindDialog(FindDialogKind kind, CMapParser& map, QWidget* pParent)
    : QDialog(pParent), m_kind(kind), m_map(map), m_fnTypeName(MapTypeNames(&map)) {
    auto* pMenuBar = new QMenuBar(this);
    QMenu* pMenu = pMenuBar->addMenu(Str(c_uFindMenuTitle));
    m_pShow = pMenu->addAction(Str(IDS_MENU_FIND_SHOW_ON_MAP), this, [this] { ShowOnMap(); });
    m_pGoTo = pMenu->addAction(Str(IDS_MENU_FIND_GO_TO), this, [this] { GoTo(); });
    m_pLayout = new QVBoxLayout(this);
    m_pLayout->setContentsMargins(3, 0, 3, 3);
    m_pLayout->setSpacing(3);
    m_pLayout->setMenuBar(pMenuBar);
    m_pForm = new QGridLayout;
    m_pForm->setHorizontalSpacing(4);
    m_pForm->setVerticalSpacing(2);
    m_pForm->setColumnStretch(1, 1);
    m_pLayout->addLayout(m_pForm);
    m_pSplitter = new QSplitter(Qt::Vertical);
    m_pSplitter->setChildrenCollapsible(false);
    m_pLayout->addWidget(m_pSplitter, 1);
    UpdateCommands();
}

CFindDialog::~CFindDialog() = default;

void CFindDialog::AddRow(UINT uLabel, QWidget* pField, QWidget* pExtra) {
    const int nRow = m_pForm->rowCount();
    auto* pLabel = new QLabel(Str(uLabel));
    pLabel->setBuddy(pField);
    m_vecLabels.push_back(pLabel);
    m_pForm->addWidget(pLabel, nRow, 0);
    m_pForm->addWidget(pField, nRow, 1, 1, pExtra ? 1 : 2);
    if (pExtra) m_pForm->addWidget(pExtra, nRow, 2);
}

void CFindDialog::resizeEvent(QResizeEvent* pEvent) {
    const bool fNarrow = width() < c_cxNarrow;
    for (QLabel* p : m_vecLabels) {
        p->setVisible(!fNarrow);
        if (auto* pEdit = qobject_cast<QLineEdit*>(p->buddy())) {
            QString strHint = p->text();
            if (strHint.endsWith(QLatin1Char(':'))) strHint.chop(1);
            pEdit->setPlaceholderText(fNarrow ? strHint : QString());
        }
    }
    QDialog::resizeEvent(pEvent);
}

void CFindDialog::AddTypeRow(TypeChooserMode mode, std::size_t cCookie) {
    m_typeMode = mode;
    m_cCookie = IsTypeCookieValid(mode, static_cast<long long>(cCookie)) ? cCookie : ReadTypeCookie(mode);
    m_pTypeTitle = new QLabel(QString::fromStdU16String(DescribeTypeFilter(m_cCookie, m_fnTypeName).strTitle));
    m_pTypeTitle->setMinimumWidth(20);
    auto* pButton = new QPushButton(Str(IDS_FIND_TYPE_BUTTON));
    pButton->setAutoDefault(false);
    pButton->setFixedWidth(pButton->fontMetrics().horizontalAdvance(pButton->text()) + 20);
    connect(pButton, &QPushButton::clicked, this, [this] {
        if (const auto c = ChooseTypeFilter(m_typeMode, m_cCookie, m_fnTypeName, SearchUi().fnTypeIcon, this))
            SetCookie(*c);
    });
    AddRow(IDS_FIND_LABEL_TYPE, m_pTypeTitle, pButton);
}

void CFindDialog::SetCookie(std::size_t cCookie) {
    if (m_fDetached || !m_pTypeTitle || !IsTypeCookieValid(m_typeMode, static_cast<long long>(cCookie))) return;
    m_cCookie = cCookie;
    WriteTypeCookie(m_typeMode, cCookie);
    m_pTypeTitle->setText(QString::fromStdU16String(DescribeTypeFilter(cCookie, m_fnTypeName).strTitle));
    OnTypeChosen();
}

bool CFindDialog::ShowSearchResult(SearchStatus status, std::unique_ptr<IFindRows> pRows) {
    if (status == SearchStatus::Ok && pRows && pRows->Count() > 0) {
        SetResults(std::move(pRows), true);
        return true;
    }
    SetResults(nullptr, false);
    const UINT uMessage = SearchStatusMessage(status);
    ShowInformation(uMessage ? uMessage : c_idsNothingFound);
    return false;
}

void CFindDialog::AddCityControls(std::unique_ptr<CCitiesQuery> pCities) {
    m_pCities = std::move(pCities);
    m_pCityEdit = new QLineEdit;
    m_pCityEdit->setMaxLength(127);
    AddRow(IDS_FIND_LABEL_CITY, m_pCityEdit);
    m_pCityModel = new CCityListModel(this);
    m_pCityModel->SetQuery(m_pCities.get());
    m_pCityView = new QListView;
    m_pCityView->setModel(m_pCityModel);
    m_pCityView->setUniformItemSizes(true);
    m_pCityView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pCityView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pSplitter->addWidget(m_pCityView);
    connect(m_pCityEdit, &QLineEdit::textChanged, this, &CFindDialog::CityTextChanged);
    connect(m_pCityView->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        OnCitySelected(SelectedCity());
        UpdateCommands();
    });
}

void CFindDialog::SelectStoredCity() {
    if (!m_pCityView) return;
    const int nCity = ReadFindCity(m_pCities ? m_pCities->Count() : 0);
    if (nCity >= 0) {
        const QModelIndex index = m_pCityModel->index(nCity);
        m_pCityView->setCurrentIndex(index);
        m_pCityView->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
}

void CFindDialog::AddResultList() {
    m_pResultModel = new CFindResultModel(this);
    m_pResultModel->SetTypeNames(m_fnTypeName);
    m_pResultModel->SetTypeIcons(SearchUi().fnTypeIcon);
    m_pResultView = new QTableView;
    m_pResultView->setModel(m_pResultModel);
    m_pResultView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pResultView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pResultView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pResultView->setWordWrap(false);
    m_pResultView->setShowGrid(false);
    m_pResultView->verticalHeader()->hide();
    m_pResultView->verticalHeader()->setDefaultSectionSize(std::max(m_pResultView->fontMetrics().height() + 4, 18));
    m_pResultView->setIconSize(QSize(16, 16));
    m_pResultView->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView* pHeader = m_pResultView->horizontalHeader();
    pHeader->setSectionsMovable(true);
    pHeader->setHighlightSections(false);
    pHeader->setStretchLastSection(false);
    pHeader->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pHeader, &QHeaderView::customContextMenuRequested, this, [this](const QPoint& pt) { HeaderMenu(pt); });
    connect(m_pResultView->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateCommands(); });
    connect(m_pResultModel, &QAbstractItemModel::modelReset, this, [this] { UpdateCommands(); });
    connect(m_pResultView, &QAbstractItemView::activated, this, [this] { ShowOnMap(); });
    m_pSplitter->addWidget(m_pResultView);
    RestoreColumnState();
    UpdateCommands();
}

int CFindDialog::SelectedCity() const {
    if (!m_pCityView) return -1;
    const QModelIndexList rows = m_pCityView->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

int CFindDialog::SelectedResult() const {
    if (!m_pResultView) return -1;
    const QModelIndexList rows = m_pResultView->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void CFindDialog::Detach() {
    m_fDetached = true;
    if (m_pResultModel) m_pResultModel->SetRows(nullptr, {});
    if (m_pCityModel) m_pCityModel->SetQuery(nullptr);
    m_pCities.reset();
    reject();
}

void CFindDialog::SelectRow(int nRow) {
    if (m_pResultView) {
        SelectResultRow(nRow, 0);
    } else if (m_pCityView && nRow >= 0 && nRow < m_pCityModel->rowCount()) {
        m_pCityView->setCurrentIndex(m_pCityModel->index(nRow));
    }
}

void CFindDialog::CityTextChanged(const QString& strText) {
    if (m_fDetached || strText.isEmpty() || !m_pCities || m_pCities->Count() == 0) return;
    const std::u16string text = strText.toStdU16String();
    const DWORD dwRow = std::min(m_pCities->FindFirst(text), m_pCities->Count() - 1);
    const QModelIndex index = m_pCityModel->index(static_cast<int>(dwRow));
    m_pCityView->setCurrentIndex(index);
    // The city dialog shows seven rows above the found one.
    if (m_kind == fkCity && dwRow >= 7)
        m_pCityView->scrollTo(m_pCityModel->index(static_cast<int>(dwRow) - 7), QAbstractItemView::PositionAtTop);
    m_pCityView->scrollTo(index, QAbstractItemView::EnsureVisible);
}

void CFindDialog::SetResults(std::unique_ptr<IFindRows> pRows, bool fFocus) {
    m_pResultModel->SetRows(std::move(pRows), ReferencePoint());
    if (fFocus && m_pResultModel->rowCount() > 0) {
        m_pResultView->setFocus();
        SelectResultRow(0, 0);
    }
}

void CFindDialog::SelectResultRow(int nRow, int nAbove) {
    if (nRow < 0 || nRow >= m_pResultModel->rowCount()) return;
    const QModelIndex index = m_pResultModel->index(nRow, 0);
    m_pResultView->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (nAbove > 0 && nRow >= nAbove)
        m_pResultView->scrollTo(m_pResultModel->index(nRow - nAbove, 0), QAbstractItemView::PositionAtTop);
    m_pResultView->scrollTo(index, QAbstractItemView::EnsureVisible);
}

void CFindDialog::UpdateCommands() {
    const bool f = SelectedTarget().has_value();
    m_pShow->setEnabled(f && SearchUi().fnShowOnMap);
    m_pGoTo->setEnabled(f && SearchUi().fnGoTo);
}

CMapPoint CFindDialog::ReferencePoint() const {
    return SearchUi().fnReferencePoint ? SearchUi().fnReferencePoint() : CMapPoint{};
}

std::optional<CFindTarget> CFindDialog::SelectedTarget() const {
    CFindItem item;
    if (!m_pResultModel || !m_pResultModel->Item(SelectedResult(), item)) return std::nullopt;
    CFindTarget t;
    t.pt = item.ptRepresentative;
    t.wScale = item.wScale;
    t.strText = FindCellText(item, fcName, {}, fpRepresentative, m_fnTypeName);
    t.nKind = item.nKind;
    t.wType = item.wType;
    return t;
}

void CFindDialog::Act(const std::function<void(const CFindTarget&)>& fnAction) {
    if (!fnAction) return;
    const auto target = ChosenTarget();
    if (!target) return;
    fnAction(*target);
    accept();
}

void CFindDialog::ShowOnMap() { Act(SearchUi().fnShowOnMap); }
void CFindDialog::GoTo() { Act(SearchUi().fnGoTo); }

ListColumnState CFindDialog::ColumnState() const {
    ListColumnState state;
    if (!m_pResultView) return state;
    const QHeaderView* pHeader = m_pResultView->horizontalHeader();
    for (int v = 0; v < c_cFindColumns; ++v) state.order.push_back(pHeader->logicalIndex(v));
    for (int l = 0; l < c_cFindColumns; ++l)
        state.widths.push_back(pHeader->isSectionHidden(l) ? 0 : std::clamp(pHeader->sectionSize(l), 1, c_nMaxListColumnWidth));
    return state;
}

void CFindDialog::RestoreColumnState() {
    QHeaderView* pHeader = m_pResultView->horizontalHeader();
    const auto state = ReadFindListState(m_kind);
    for (int l = 0; l < c_cFindColumns; ++l) {
        const int w = state ? state->widths[static_cast<std::size_t>(l)] : c_anDefaultWidths[l];
        // The name column stays whatever was kept: a list must show something.
        if (w == 0 && l != fcName)
            pHeader->hideSection(l);
        else
            pHeader->resizeSection(l, std::max(w, pHeader->minimumSectionSize()));
    }
    if (!state) return;
    for (int v = 0; v < c_cFindColumns; ++v)
        pHeader->moveSection(pHeader->visualIndex(state->order[static_cast<std::size_t>(v)]), v);
}

void CFindDialog::ToggleColumn(int nColumn) {
    if (!m_pResultView || nColumn < 0 || nColumn >= c_cFindColumns) return;
    QHeaderView* pHeader = m_pResultView->horizontalHeader();
    if (!pHeader->isSectionHidden(nColumn)) {
        if (pHeader->hiddenSectionCount() < c_cFindColumns - 1) pHeader->hideSection(nColumn);
        return;
    }
    pHeader->showSection(nColumn);
    // Fitted to the header text.
    const int cxHeader = pHeader->fontMetrics().horizontalAdvance(m_pResultModel->headerData(nColumn, Qt::Horizontal, Qt::DisplayRole).toString());
    pHeader->resizeSection(nColumn, std::max(cxHeader + 16, pHeader->minimumSectionSize()));
}

void CFindDialog::HeaderMenu(const QPoint& pt) {
    QHeaderView* pHeader = m_pResultView->horizontalHeader();
    QMenu menu(this);
    for (int l = 0; l < c_cFindColumns; ++l) {
        QAction* p = menu.addAction(QString::fromStdU16String(FindColumnTitle(l)));
        p->setCheckable(true);
        p->setChecked(!pHeader->isSectionHidden(l));
        if (p->isChecked() && pHeader->hiddenSectionCount() == c_cFindColumns - 1) p->setEnabled(false);
        connect(p, &QAction::triggered, this, [this, l] { ToggleColumn(l); });
    }
    menu.exec(pHeader->viewport()->mapToGlobal(pt));
}

void CFindDialog::done(int nResult) {
    WriteFindCity(SelectedCity());
    if (m_pResultView) WriteFindListState(m_kind, ColumnState());
    QDialog::done(nResult);
}

void SizeFindDialog(QDialog& dlg, QWidget* pParent) {
    QScreen* pScreen = pParent ? pParent->window()->screen() : nullptr;
    if (!pScreen) pScreen = QGuiApplication::primaryScreen();
    QSize size = dlg.sizeHint().expandedTo(QSize(560, 460));
    if (pParent) size = size.boundedTo(pParent->window()->size().expandedTo(QSize(240, 300)));
    if (pScreen) size = size.boundedTo(pScreen->availableSize());
    dlg.resize(size);
}

} // namespace velka
