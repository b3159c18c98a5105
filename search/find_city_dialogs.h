// The city dialog (40091): a city by its name, shown on the map or gone
// to; and the objects-in-city dialog (40075): the named objects of one
// type or category in the chosen city, through the map's objects index.
#pragma once
#include "search/find_dialog.h"

namespace velka {

// Message 2162: the map gives the city no position.
constexpr UINT c_idsCityWithoutPosition = 2162;

class CFindCityDialog : public CFindDialog {
public:
    CFindCityDialog(CMapParser& map, std::unique_ptr<CCitiesQuery> pCities, QWidget* pParent);
    std::optional<CFindTarget> SelectedTarget() const override;

protected:
    // The selected city with a position, or null after message 2162.
    std::optional<CFindTarget> ChosenTarget() override;
};

class CFindInCityDialog : public CFindDialog {
public:
    CFindInCityDialog(CMapParser& map, std::unique_ptr<CCitiesQuery> pCities, std::size_t cCookie,
                      QWidget* pParent);
    QLineEdit* NameEdit() const { return m_pNameEdit; }

protected:
    void OnCitySelected(int nRow) override;
    // Another type asks the map again for the selected city.
    void OnTypeChosen() override { Query(); }

private:
    void Query();
    void NameTextChanged(const QString& strText);

    QLineEdit* m_pNameEdit = nullptr;
};

} // namespace velka
