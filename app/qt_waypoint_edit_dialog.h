// The waypoint edit dialog: name, comment, symbol, show mode, position in
// the user's position format, altitude, depth, proximity and temperature
// in the user's units, and the time. OK checks every field and writes them
// into the waypoint (a field left as shown keeps its stored value exactly);
// a refused entry is reported and nothing is written. Cancel changes
// nothing. The caller saves.
#pragma once
#include <QDialog>

#include "waypoints/waypoint_store.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace velka {

class CWaypointEditDialog : public QDialog {
public:
    CWaypointEditDialog(Waypoint& wp, bool fNew, QWidget* pParent = nullptr);

    // Checks the fields and writes them into the waypoint; false, after a
    // message naming the refused entry, when one is not acceptable.
    bool Apply();
    void accept() override;

    // The fields, for tests.
    QLineEdit* m_pName = nullptr;
    QLineEdit* m_pComment = nullptr;
    QComboBox* m_pSymbol = nullptr;
    QComboBox* m_pShow = nullptr;
    QLineEdit* m_pLatitude = nullptr;
    QLineEdit* m_pLongitude = nullptr;
    QLineEdit* m_pAltitude = nullptr;
    QLineEdit* m_pDepth = nullptr;
    QLineEdit* m_pProximity = nullptr;
    QLineEdit* m_pTemperature = nullptr;
    QLabel* m_pTime = nullptr;

private:
    Waypoint& m_wp;
    // The texts as first shown: an unchanged field keeps the stored value.
    QString m_strLatitude, m_strLongitude, m_strAltitude, m_strDepth, m_strProximity, m_strTemperature;
};

// Runs the dialog modally over the parent (fitted into its window);
// true when the user confirmed.
bool RunWaypointEditDialog(Waypoint& wp, bool fNew, QWidget* pParent);
// Headless: writes "dialog: waypoint ..." to stderr and answers as
// VELKA_HEADLESS_WAYPOINT_EDIT says (ok, the default, or cancel);
// VELKA_HEADLESS_WAYPOINT_NAME, when set, renames the waypoint on ok.
bool HeadlessWaypointEdit(Waypoint& wp, bool fNew);

// Texts between the core's UTF-16 strings and Qt.
QString QtText(const std::u16string& s);
std::u16string CoreText(const QString& s);

} // namespace velka
