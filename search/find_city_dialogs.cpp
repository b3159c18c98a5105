#include "search/find_city_dialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>

#include "mapdata/map_parser.h"
#include "search/objects_search.h"
#include "search/type_chooser.h"
#include "search/type_filter_table.h"
#include "shell/message_boxes.h"
#include "shell/resources.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

QString Str(UINT uId) { return QString::fromStdU16String(LoadStr(uId)); }

// The lists of the objects index a type row stands for in a city: one
// for a category or a single type, one per category for a group.
std::vector<std::unique_ptr<CFindList>> ObjectsQueries(CMapParser& map, int nCity, std::size_t cCookie) {
    std::vector<std::unique_ptr<CFindList>> lists;
    for (const CObjectsIndexQuery& q : ObjectsIndexQueries(cCookie))
        if (auto p = map.CreateObjectsQuery(nCity, q.nKind, q.nCategory, q.wType)) lists.push_back(std::move(p));
    return lists;
}

} // namespace

// The city dialog.

CFindCityDialog::CFindCityDialog(CMapParser& map, std::unique_ptr<CCitiesQuery> pCities, QWidget* pParent)
    : CFindDialog(fkCity, map, pParent) {
    setWindowTitle(Str(IDS_FIND_CITY_TITLE));
    AddCityControls(std::move(pCities));
    SelectStoredCity();
    // A double click or Enter shows the city.
    connect(CityView(), &QAbstractItemView::activated, this, [this] { ShowOnMap(); });
    UpdateCommands();
}

std::optional<CFindTarget> CFindCityDialog::SelectedTarget() const {
    CCityItem city;
    if (!CityModel()->Item(SelectedCity(), city)) return std::nullopt;
    CFindTarget t;
    t.pt = {city.x, city.y};
    t.wScale = city.wScale;
    t.strText = city.szText;
    return t;
}

std::optional<CFindTarget> CFindCityDialog::ChosenTarget() {
    CCityItem city;
    if (!CityModel()->Item(SelectedCity(), city)) return std::nullopt;
    if (!city.fHasPosition) {
        ShowWarning(c_idsCityWithoutPosition);
        return std::nullopt;
    }
    return SelectedTarget();
}

// The objects-in-city dialog.

CFindInCityDialog::CFindInCityDialog(CMapParser& map, std::unique_ptr<CCitiesQuery> pCities, std::size_t cCookie,
                                     QWidget* pParent)
    : CFindDialog(fkInCity, map, pParent) {
    setWindowTitle(Str(IDS_FIND_CITY_PLACES_TITLE));
    m_pNameEdit = new QLineEdit;
    m_pNameEdit->setMaxLength(127);
    connect(m_pNameEdit, &QLineEdit::textChanged, this, &CFindInCityDialog::NameTextChanged);
    AddCityControls(std::move(pCities));
    AddTypeRow(tmInCity, cCookie);
    AddRow(IDS_FIND_LABEL_NAME, m_pNameEdit);
    AddResultList();
    SelectStoredCity();
}

void CFindInCityDialog::OnCitySelected(int) { Query(); }

void CFindInCityDialog::Query() {
    if (IsDetached()) return;
    const int nCity = SelectedCity();
    if (nCity < 0) {
        SetResults(nullptr, false);
        return;
    }
    auto lists = ObjectsQueries(m_map, nCity, Cookie());
    std::unique_ptr<IFindRows> pRows;
    if (lists.size() == 1)
        pRows = std::make_unique<CFindListRows>(std::move(lists.front()));
    else if (!lists.empty())
        pRows = std::make_unique<CMergedFindRows>(std::move(lists));
    SetResults(std::move(pRows), false);
    if (!m_pNameEdit->text().isEmpty()) NameTextChanged(m_pNameEdit->text());
}

void CFindInCityDialog::NameTextChanged(const QString& strText) {
    IFindRows* pRows = ResultModel()->Rows();
    if (strText.isEmpty() || !pRows || pRows->Count() == 0) return;
    const DWORD dwRow = std::min(pRows->FindFirst(strText.toStdU16String()), pRows->Count() - 1);
    // Two rows stay above the found one.
    SelectResultRow(static_cast<int>(dwRow), 2);
}

} // namespace velka
