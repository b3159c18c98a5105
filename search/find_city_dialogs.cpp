#include "search/find_city_dialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>

#include "mapdata/map_parser.h"
#include "search/type_chooser.h"
#include "search/type_filter_table.h"
#include "shell/resources.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

QString Str(UINT uId) { return QString::fromStdU16String(LoadStr(uId)); }

// The lists of the objects index a type row stands for: one category, or
// every category of a group (a group without categories of its own, such
// as "Прочие объекты", is searched by its key).
std::vector<std::unique_ptr<CFindList>> ObjectsQueries(CMapParser& map, int nCity, std::size_t cCookie) {
    std::vector<std::unique_ptr<CFindList>> lists;
    if (cCookie >= c_cTypeFilters) return lists;
    const CTypeFilterEntry& e = g_aTypeFilters[cCookie];
    auto add = [&](const CTypeFilterEntry& row) {
        if (auto p = map.CreateObjectsQuery(nCity, static_cast<int>(row.dwKind), static_cast<short>(row.wSimplifiedType),
                                            row.wType))
            lists.push_back(std::move(p));
    };
    if (e.wSimplifiedType != c_wAnyType) {
        add(e);
        return lists;
    }
    // A group: its categories, up to the next group.
    for (std::size_t i = cCookie + 1; i < c_cTypeFilters && g_aTypeFilters[i].wLevel != 0; ++i)
        if (g_aTypeFilters[i].wLevel == 1) add(g_aTypeFilters[i]);
    return lists;
}

} // namespace

// The city dialog.

CFindCityDialog::CFindCityDialog(CMapParser& map, std::unique_ptr<CCitiesQuery> pCities, QWidget* pParent)
    : CFindDialog(fkCity, map, pParent) {
    setWindowTitle(Str(IDS_FIND_CITY_TITLE));
    AddCityControls(std::move(pCities));
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

std::optional<CFindTarget> CFindCityDialog::PositionedCity() {
    CCityItem city;
    if (!CityModel()->Item(SelectedCity(), city)) return std::nullopt;
    if (!city.fHasPosition) {
        ShowWarning(c_idsCityWithoutPosition);
        return std::nullopt;
    }
    return SelectedTarget();
}

void CFindCityDialog::ShowOnMap() {
    const auto target = PositionedCity();
    if (!target || !SearchUi().fnShowOnMap) return;
    SearchUi().fnShowOnMap(*target);
    accept();
}

void CFindCityDialog::GoTo() {
    const auto target = PositionedCity();
    if (!target || !SearchUi().fnGoTo) return;
    SearchUi().fnGoTo(*target);
    accept();
}

// The objects-in-city dialog.

CFindInCityDialog::CFindInCityDialog(CMapParser& map, std::unique_ptr<CCitiesQuery> pCities, std::size_t cCookie,
                                     QWidget* pParent)
    : CFindDialog(fkInCity, map, pParent), m_cCookie(cCookie) {
    setWindowTitle(Str(IDS_FIND_CITY_PLACES_TITLE));
    m_pTypeTitle = new QLabel;
    m_pTypeTitle->setMinimumWidth(20);
    auto* pTypeButton = new QPushButton(Str(IDS_FIND_TYPE_BUTTON));
    pTypeButton->setAutoDefault(false);
    pTypeButton->setFixedWidth(pTypeButton->fontMetrics().horizontalAdvance(pTypeButton->text()) + 20);
    connect(pTypeButton, &QPushButton::clicked, this, [this] {
        if (const auto c = ChooseTypeFilter(tmInCity, m_cCookie, m_fnTypeName, SearchUi().fnTypeIcon, this)) SetCookie(*c);
    });
    m_pNameEdit = new QLineEdit;
    m_pNameEdit->setMaxLength(127);
    connect(m_pNameEdit, &QLineEdit::textChanged, this, &CFindInCityDialog::NameTextChanged);
    // The result list exists before the city list selects the stored city.
    m_pTypeTitle->setText(QString::fromStdU16String(DescribeTypeFilter(m_cCookie, m_fnTypeName).strTitle));
    AddResultList();
    AddCityControls(std::move(pCities));
    m_pSplitter->insertWidget(0, CityView());
    AddRow(IDS_FIND_LABEL_TYPE, m_pTypeTitle, pTypeButton);
    AddRow(IDS_FIND_LABEL_NAME, m_pNameEdit);
}

void CFindInCityDialog::SetCookie(std::size_t cCookie) {
    if (!IsTypeCookieValid(tmInCity, static_cast<long long>(cCookie))) return;
    m_cCookie = cCookie;
    WriteTypeCookie(tmInCity, cCookie);
    m_pTypeTitle->setText(QString::fromStdU16String(DescribeTypeFilter(cCookie, m_fnTypeName).strTitle));
    Query();
}

void CFindInCityDialog::OnCitySelected(int) { Query(); }

void CFindInCityDialog::Query() {
    const int nCity = SelectedCity();
    if (nCity < 0) {
        SetResults(nullptr, false);
        return;
    }
    auto lists = ObjectsQueries(m_map, nCity, m_cCookie);
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
