#include "search/find_models.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <algorithm>
#include <climits>

#include "mapdata/collation.h"
#include "platform/text.h"

namespace velka {
namespace {

QString Q(const std::u16string& s) { return QString::fromStdU16String(s); }

bool StartsWithIgnoringCase(const char16_t* szName, std::u16string_view prefix) {
    const QString name = QString::fromUtf16(szName);
    return name.startsWith(QString::fromUtf16(prefix.data(), static_cast<qsizetype>(prefix.size())),
                           Qt::CaseInsensitive);
}

} // namespace

CFindListRows::CFindListRows(std::unique_ptr<CFindList> pList) : m_pList(std::move(pList)) {}

DWORD CFindListRows::Count() const { return m_pList ? m_pList->Count() : 0; }

bool CFindListRows::Item(DWORD dwRow, CFindItem& item) {
    return dwRow < Count() && m_pList->Item(dwRow, item, c_dwFindRowFlags);
}

DWORD CFindListRows::FindFirst(std::u16string_view prefix) {
    return Count() ? std::min(m_pList->FindFirst(prefix), Count() - 1) : 0;
}

// The result list.

CFindResultModel::CFindResultModel(QObject* pParent) : QAbstractTableModel(pParent) {}

void CFindResultModel::SetRows(std::unique_ptr<IFindRows> pRows, const CMapPoint& ptReference) {
    beginResetModel();
    m_pRows = std::move(pRows);
    m_ptReference = ptReference;
    m_cache.Clear();
    endResetModel();
}

bool CFindResultModel::Item(int nRow, CFindItem& item) const {
    if (!m_pRows || nRow < 0 || static_cast<DWORD>(nRow) >= m_pRows->Count()) return false;
    return m_cache.Get(nRow, item, [this](int n, CFindItem& out) { return m_pRows->Item(static_cast<DWORD>(n), out); });
}

int CFindResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_pRows ? 0 : static_cast<int>(std::min<DWORD>(m_pRows->Count(), INT_MAX));
}

int CFindResultModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : c_cFindColumns;
}

QVariant CFindResultModel::data(const QModelIndex& index, int nRole) const {
    if (!index.isValid() || index.column() < 0 || index.column() >= c_cFindColumns) return {};
    if (nRole != Qt::DisplayRole && nRole != Qt::DecorationRole && nRole != Qt::FontRole &&
        nRole != Qt::ToolTipRole)
        return {};
    CFindItem item;
    if (!Item(index.row(), item)) return {};
    switch (nRole) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return Q(FindCellText(item, index.column(), m_ptReference, m_pRows->PointChoice(), m_fnTypeName));
    case Qt::DecorationRole:
        if (index.column() == fcName && m_fnTypeIcon) return m_fnTypeIcon(item.nKind, item.wType);
        return {};
    case Qt::FontRole:
        if (m_pRows->IsSuggestion(static_cast<DWORD>(index.row()))) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        return {};
    default: return {};
    }
}

QVariant CFindResultModel::headerData(int nSection, Qt::Orientation orientation, int nRole) const {
    if (orientation != Qt::Horizontal || nRole != Qt::DisplayRole) return {};
    return Q(FindColumnTitle(nSection));
}

// The city list.

CCityListModel::CCityListModel(QObject* pParent) : QAbstractListModel(pParent) {}

void CCityListModel::SetQuery(CCitiesQuery* pQuery) {
    beginResetModel();
    m_pQuery = pQuery;
    m_cache.Clear();
    endResetModel();
}

bool CCityListModel::Item(int nRow, CCityItem& item) const {
    if (!m_pQuery || nRow < 0 || static_cast<DWORD>(nRow) >= m_pQuery->Count()) return false;
    return m_cache.Get(nRow, item, [this](int n, CCityItem& out) {
        return m_pQuery->Item(static_cast<DWORD>(n), out, c_dwCityPosition);
    });
}

int CCityListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_pQuery ? 0 : static_cast<int>(std::min<DWORD>(m_pQuery->Count(), INT_MAX));
}

QVariant CCityListModel::data(const QModelIndex& index, int nRole) const {
    if (!index.isValid() || (nRole != Qt::DisplayRole && nRole != Qt::ForegroundRole)) return {};
    CCityItem item;
    if (!Item(index.row(), item)) return {};
    if (nRole == Qt::DisplayRole) return QString::fromUtf16(item.szText);
    // A city the map gives no position cannot be shown or gone to.
    if (!item.fHasPosition) return QBrush(QColor(255, 0, 0));
    return {};
}

} // namespace velka

namespace velka {

CMergedFindRows::CMergedFindRows(std::vector<std::unique_ptr<CFindList>> lists) : m_lists(std::move(lists)) {
    for (std::size_t l = 0; l < m_lists.size(); ++l) {
        if (!m_lists[l]) continue;
        if (!m_dwLocale) m_dwLocale = m_lists[l]->Locale();
        for (DWORD i = 0; i < m_lists[l]->Count(); ++i) {
            CFindItem item;
            if (m_lists[l]->Item(i, item, c_dwFindDisplayName)) m_rows.push_back({item.szName, l, i});
        }
    }
    const CCollator& coll = CCollator::ForLcid(m_dwLocale);
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [&coll](const Row& a, const Row& b) { return coll.Less(a.strName, b.strName); });
}

bool CMergedFindRows::Item(DWORD dwRow, CFindItem& item) {
    if (dwRow >= m_rows.size()) return false;
    const Row& r = m_rows[dwRow];
    return m_lists[r.iList]->Item(r.dwIndex, item, c_dwFindRowFlags);
}

DWORD CMergedFindRows::FindFirst(std::u16string_view prefix) {
    return FindFirstSorted(Count(), prefix, CCollator::ForLcid(m_dwLocale),
                           [this](DWORD i) { return m_rows[i].strName; });
}

} // namespace velka

namespace velka {

CItemRows::CItemRows(std::vector<CFindItem> items, std::vector<bool> suggestions, FindPointChoice choice)
    : m_items(std::move(items)), m_suggestions(std::move(suggestions)), m_choice(choice) {}

bool CItemRows::Item(DWORD dwRow, CFindItem& item) {
    if (dwRow >= m_items.size()) return false;
    item = m_items[dwRow];
    return true;
}

DWORD CItemRows::FindFirst(std::u16string_view prefix) {
    for (DWORD r = 0; r < Count(); ++r)
        if (StartsWithIgnoringCase(m_items[r].szName, prefix)) return r;
    return 0;
}

} // namespace velka
