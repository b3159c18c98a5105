// The route list (command 40133): every live route with its point count,
// length and time; follow, reverse, recalculate, delete and show on map.
#pragma once
#include <QDialog>

class QTableWidget;

namespace velka {

class CNavigator;
class CWaypointStore;
struct Route;

class CRouteListDialog : public QDialog {
public:
    CRouteListDialog(CWaypointStore& store, CNavigator& nav, QWidget* pParent = nullptr);
    // Rows in list order (tests read them).
    QTableWidget* Table() const { return m_pTable; }
    void Fill();
    Route* Selected() const;
    void Command(unsigned uId);

private:
    CWaypointStore& m_store;
    CNavigator& m_nav;
    QTableWidget* m_pTable = nullptr;
};

// Opens the dialog modally over the main window.
void ShowRouteListDialog(CWaypointStore& store, CNavigator& nav);

} // namespace velka
