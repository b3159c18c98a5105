// The search dialogs' lists as Qt models over the map's result objects:
// rows are fetched when the view asks for them (a small cache spares the
// repeated asks of one paint), never copied into the list.
#pragma once
#include <QAbstractListModel>
#include <QAbstractTableModel>
#include <QIcon>
#include <functional>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "mapdata/map_queries.h"
#include "search/find_rows.h"

namespace velka {

// Rows kept between the asks of one paint (a view shows far fewer).
template <class T>
class CRowCache {
public:
    // The cached row, or fetch(row, out) called and kept.
    template <class F>
    bool Get(int nRow, T& out, F&& fetch) {
        if (const auto it = m_rows.find(nRow); it != m_rows.end()) {
            out = it->second;
            return true;
        }
        T fetched;
        if (!fetch(nRow, fetched)) return false;
        if (m_rows.size() >= c_cRows) m_rows.clear();
        out = m_rows.emplace(nRow, fetched).first->second;
        return true;
    }
    void Clear() { m_rows.clear(); }

private:
    static constexpr std::size_t c_cRows = 256;
    std::unordered_map<int, T> m_rows;
};

// The rows of a result list, whatever made them: a list of the map (an
// objects query, a found-objects list) or the hits of a search.
class IFindRows {
public:
    virtual ~IFindRows() = default;
    virtual DWORD Count() const = 0;
    // The row's item with every field the columns show.
    virtual bool Item(DWORD dwRow, CFindItem& item) = 0;
    // The first row whose name starts with (or sorts after) the prefix.
    virtual DWORD FindFirst(std::u16string_view prefix) = 0;
    // The point the row's distance is taken to.
    virtual FindPointChoice PointChoice() const { return fpRepresentative; }
    // A row offered as a guess rather than a match (shown in italics).
    virtual bool IsSuggestion(DWORD /*dwRow*/) const { return false; }
};

// A list of the map in its own order (an objects query: by name).
class CFindListRows : public IFindRows {
public:
    explicit CFindListRows(std::unique_ptr<CFindList> pList);
    DWORD Count() const override;
    bool Item(DWORD dwRow, CFindItem& item) override;
    DWORD FindFirst(std::u16string_view prefix) override;

private:
    std::unique_ptr<CFindList> m_pList;
};

// The (kind, wType) icons of the lists and the type chooser.
using TypeIconFn = std::function<QIcon(int nKind, WORD wType)>;

class CFindResultModel : public QAbstractTableModel {
public:
    explicit CFindResultModel(QObject* pParent = nullptr);

    // New rows (null: empty), measured from the reference point.
    void SetRows(std::unique_ptr<IFindRows> pRows, const CMapPoint& ptReference);
    IFindRows* Rows() const { return m_pRows.get(); }
    void SetTypeNames(TypeNameFn fn) { m_fnTypeName = std::move(fn); }
    void SetTypeIcons(TypeIconFn fn) { m_fnTypeIcon = std::move(fn); }
    // The row's item (through the cache); false past the end.
    bool Item(int nRow, CFindItem& item) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole) const override;
    QVariant headerData(int nSection, Qt::Orientation orientation, int nRole) const override;

private:
    std::unique_ptr<IFindRows> m_pRows;
    CMapPoint m_ptReference{};
    TypeNameFn m_fnTypeName;
    TypeIconFn m_fnTypeIcon;
    mutable CRowCache<CFindItem> m_cache;
};

// The city list: one column, the city item's text; cities without a
// position in red.
class CCityListModel : public QAbstractListModel {
public:
    explicit CCityListModel(QObject* pParent = nullptr);
    void SetQuery(CCitiesQuery* pQuery);
    CCitiesQuery* Query() const { return m_pQuery; }
    bool Item(int nRow, CCityItem& item) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole) const override;

private:
    CCitiesQuery* m_pQuery = nullptr;
    mutable CRowCache<CCityItem> m_cache;
};

} // namespace velka

namespace velka {

// Several lists of the map sorted by name (the categories of a group)
// merged into one name order under the map's collation.
class CMergedFindRows : public IFindRows {
public:
    explicit CMergedFindRows(std::vector<std::unique_ptr<CFindList>> lists);
    DWORD Count() const override { return static_cast<DWORD>(m_rows.size()); }
    bool Item(DWORD dwRow, CFindItem& item) override;
    DWORD FindFirst(std::u16string_view prefix) override;

private:
    struct Row {
        std::u16string strName;
        std::size_t iList;
        DWORD dwIndex;
    };
    std::vector<std::unique_ptr<CFindList>> m_lists;
    std::vector<Row> m_rows;
    DWORD m_dwLocale = 0;
};

} // namespace velka

namespace velka {

// Rows a search handed back as items, best first; some may be marked as
// suggestions.
class CItemRows : public IFindRows {
public:
    CItemRows(std::vector<CFindItem> items, std::vector<bool> suggestions, FindPointChoice choice);
    DWORD Count() const override { return static_cast<DWORD>(m_items.size()); }
    bool Item(DWORD dwRow, CFindItem& item) override;
    // The first row whose name starts with the prefix (the rows are not in
    // name order); 0 when none does.
    DWORD FindFirst(std::u16string_view prefix) override;
    FindPointChoice PointChoice() const override { return m_choice; }
    bool IsSuggestion(DWORD dwRow) const override { return dwRow < m_suggestions.size() && m_suggestions[dwRow]; }

private:
    std::vector<CFindItem> m_items;
    std::vector<bool> m_suggestions;
    FindPointChoice m_choice;
};

} // namespace velka
