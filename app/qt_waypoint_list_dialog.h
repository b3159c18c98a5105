// The waypoint list dialog: a table of the live waypoints of the store
// (name, symbol, position, altitude, comment, time) sorted by a clicked
// column, with the sort and the column state kept in the settings, and
// the commands on them: properties, delete, delete all, show on the map,
// and import and export of waypoints and routes. After a change the store
// is saved (by the commands) and the map is told (fnChanged).
#pragma once
#include <QAbstractTableModel>
#include <QDialog>
#include <QPixmap>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "waypoints/exchange_commands.h"
#include "waypoints/waypoint_list.h"

class QLabel;
class QTableView;

namespace velka {

// The file chosen for an import or export, and the export's format
// position in its registry.
struct ExchangeFileChoice {
    std::string strPath;
    int iFormat = 0;
};
using ExchangeFileChooserFn =
    std::function<std::optional<ExchangeFileChoice>(QWidget* pParent, ExchangeKind kind, bool fImport)>;
// The chooser the dialog uses: the file dialog unless replaced (tests,
// scripted runs).
ExchangeFileChooserFn& ExchangeFileChooser();
// The open or save dialog with the registry's filters; an export proposes
// "Exported Waypoints" or "Exported Routes" in the last format.
std::optional<ExchangeFileChoice> ChooseExchangeFileWithDialog(QWidget* pParent, ExchangeKind kind, bool fImport);

// The picture of a symbol type beside its name in the list and the edit
// dialog; names only while it is empty.
std::function<QPixmap(WORD wType)>& WaypointSymbolPixmap();
// The map's waypoint icon of a type as a picture (18 x 18 symbols, the
// program's 32 x 32 icon).
QPixmap DrawnWaypointSymbol(WORD wType);

class CWaypointListModel : public QAbstractTableModel {
public:
    explicit CWaypointListModel(CWaypointStore& store, QObject* pParent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole) const override;
    QVariant headerData(int nSection, Qt::Orientation orientation, int nRole) const override;
    // Sorts by a column (-1: list order) and keeps it in the settings.
    void sort(int nColumn, Qt::SortOrder order) override;

    // Reads the store again (after any change).
    void Reload();
    Waypoint* At(int nRow) const;
    int RowOf(const Waypoint* pWaypoint) const;
    const WaypointListSort& Sort() const { return m_sort; }

private:
    CWaypointStore& m_store;
    std::vector<Waypoint*> m_rows;
    WaypointListSort m_sort;
};

class CWaypointListDialog : public QDialog {
public:
    explicit CWaypointListDialog(CWaypointStore& store, QWidget* pParent = nullptr);

    // The commands, on a row of the table (current row when -1).
    void Properties(int nRow = -1);
    void Delete(int nRow = -1);
    void DeleteAll();
    void ShowOnMap(int nRow = -1);
    void Import(ExchangeKind kind);
    void Export(ExchangeKind kind);
    // Shows or hides a column as the header's pop-up menu does.
    void ToggleColumn(int nColumn);
    // The column state as kept in Waypoints_Headers.
    ListColumnState ColumnState() const;

    void done(int nResult) override;

    QTableView* View() const { return m_pView; }
    CWaypointListModel* Model() const { return m_pModel; }
    // The chooser of this dialog (ExchangeFileChooser() unless replaced).
    ExchangeFileChooserFn m_fnChooser;

private:
    void RestoreColumnState();
    void HeaderMenu(const QPoint& pt);
    void RowMenu(const QPoint& pt);
    void Changed(const Waypoint* pKeep = nullptr);
    void UpdateCount();
    int RowOrCurrent(int nRow) const;

    CWaypointStore& m_store;
    CWaypointListModel* m_pModel = nullptr;
    QTableView* m_pView = nullptr;
    QLabel* m_pCount = nullptr;
    std::vector<QAction*> m_vecRowActions; // enabled with a current row
};

// Runs the dialog over the parent window.
void RunWaypointListDialog(QWidget* pParent);
// Headless: writes the rows as "dialog: waypoints: ..." lines to stderr
// and runs the commands of VELKA_HEADLESS_WAYPOINT_LIST, separated by ';'
// (default "close"): properties=ROW, delete=ROW, deleteall, show=ROW,
// sort=COLUMN[,desc], import-waypoints=PATH, import-routes=PATH,
// export-waypoints=PATH[,FORMAT], export-routes=PATH[,FORMAT], close.
// Yes/no questions answer as VELKA_HEADLESS_YESNO says.
void HeadlessWaypointList();

// The edit dialog and the list dialog over the active window.
bool EditWaypointWithDialog(Waypoint& wp, bool fNew);
void ShowWaypointList();

} // namespace velka
