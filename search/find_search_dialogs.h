// The dialogs whose search the user starts with "Искать!": the postal
// address (40076: a street and house number or postal code in the chosen
// city) and the nearest objects (40090: within a radius of the map's
// reference point, of a type, with a part of their name).
#pragma once
#include "search/find_dialog.h"

class QLabel;
class QPushButton;

namespace velka {

class CFindAddressDialog : public CFindDialog {
public:
    CFindAddressDialog(CMapParser& map, std::unique_ptr<CCitiesQuery> pCities, QWidget* pParent);
    // Searches with the fields as they are; false when it found nothing
    // (or was cancelled), after message 2147.
    bool Search();
    QLineEdit* StreetEdit() const { return m_pStreet; }
    QLineEdit* HouseEdit() const { return m_pHouse; }
    QLineEdit* ZipEdit() const { return m_pZip; }
    QPushButton* SearchButton() const { return m_pSearch; }
    void done(int nResult) override;

protected:
    void OnCitySelected(int nRow) override;

private:
    QLineEdit* m_pStreet = nullptr;
    QLineEdit* m_pHouse = nullptr;
    QLineEdit* m_pZip = nullptr;
    QPushButton* m_pSearch = nullptr;
};

class CFindNearestDialog : public CFindDialog {
public:
    CFindNearestDialog(CMapParser& map, std::size_t cCookie, QWidget* pParent);
    bool Search();
    QLineEdit* NameEdit() const { return m_pName; }
    QLineEdit* RadiusEdit() const { return m_pRadius; }
    QLabel* UnitLabel() const { return m_pUnit; }
    QPushButton* SearchButton() const { return m_pSearch; }

protected:
    // Another type empties the list.
    void OnTypeChosen() override;

private:
    QLineEdit* m_pName = nullptr;
    QLineEdit* m_pRadius = nullptr;
    QLabel* m_pUnit = nullptr;
    QPushButton* m_pSearch = nullptr;
};

} // namespace velka
