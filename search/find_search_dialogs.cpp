#include "search/find_search_dialogs.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSplitter>

#include "gauges/units.h"
#include "mapdata/map_parser.h"
#include "search/address_search.h"
#include "search/nearest_search.h"
#include "search/search_progress_window.h"
#include "shell/resources.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

QString Str(UINT uId) { return QString::fromStdU16String(LoadStr(uId)); }
QString Q(const std::u16string& s) { return QString::fromStdU16String(s); }

QLineEdit* NewEdit(int cchMax) {
    auto* p = new QLineEdit;
    p->setMaxLength(cchMax);
    return p;
}

QPushButton* NewSearchButton() {
    auto* p = new QPushButton(Str(IDS_FIND_SEARCH_BUTTON));
    p->setDefault(true);
    return p;
}

// Runs a search under the progress window; a cancelled one reports so.
template <class F>
auto SearchWithProgress(QWidget* pParent, F&& fnSearch) {
    CSearchProgressWindow progress(pParent, c_idsSearching, SearchUi().fHeadless);
    auto result = fnSearch(progress.Progress());
    if (progress.Cancelled()) result.status = SearchStatus::Cancelled;
    return result;
}

} // namespace

// The postal-address dialog.

CFindAddressDialog::CFindAddressDialog(CMapParser& map, std::unique_ptr<CCitiesQuery> pCities, QWidget* pParent)
    : CFindDialog(fkAddress, map, pParent) {
    setWindowTitle(Str(IDS_FIND_BY_ADDRESS_TITLE));
    AddCityControls(std::move(pCities));
    m_pStreet = NewEdit(63);
    m_pHouse = NewEdit(15);
    m_pZip = NewEdit(15);
    m_pStreet->setText(Q(ReadFindText(c_szFindStreet)));
    m_pHouse->setText(Q(ReadFindText(c_szFindNumber)));
    m_pZip->setText(Q(ReadFindText(c_szFindZip)));
    AddRow(IDS_FIND_LABEL_STREET, m_pStreet);
    AddRow(IDS_FIND_LABEL_NUMBER, m_pHouse);
    m_pSearch = NewSearchButton();
    connect(m_pSearch, &QPushButton::clicked, this, [this] { Search(); });
    AddRow(IDS_FIND_LABEL_ZIP, m_pZip, m_pSearch);
    AddResultList();
    SelectStoredCity();
    OnCitySelected(SelectedCity());
}

void CFindAddressDialog::OnCitySelected(int nRow) { m_pSearch->setEnabled(nRow >= 0); }

bool CFindAddressDialog::Search() {
    const int nCity = SelectedCity();
    if (IsDetached() || nCity < 0) return false;
    CAddressRequest request;
    request.nCity = nCity;
    request.strPostcode = m_pZip->text().trimmed().toStdU16String();
    request.strStreet = m_pStreet->text().trimmed().toStdU16String();
    request.strHouse = m_pHouse->text().trimmed().toStdU16String();
    const CAddressResult result =
        SearchWithProgress(this, [&](CSearchProgress* p) { return FindAddresses(m_map, request, p); });
    std::vector<CFindItem> items;
    std::vector<bool> suggestions;
    items.reserve(result.hits.size());
    for (const CAddressHit& hit : result.hits) {
        items.push_back(hit.item);
        suggestions.push_back(hit.rank == MatchRank::Suggestion);
    }
    return ShowSearchResult(result.status,
                            std::make_unique<CItemRows>(std::move(items), std::move(suggestions), fpRepresentative));
}

void CFindAddressDialog::done(int nResult) {
    WriteFindText(c_szFindZip, m_pZip->text().toStdU16String());
    WriteFindText(c_szFindStreet, m_pStreet->text().toStdU16String());
    WriteFindText(c_szFindNumber, m_pHouse->text().toStdU16String());
    CFindDialog::done(nResult);
}

// The nearest dialog.

CFindNearestDialog::CFindNearestDialog(CMapParser& map, std::size_t cCookie, QWidget* pParent)
    : CFindDialog(fkNearest, map, pParent) {
    setWindowTitle(Str(IDS_FIND_NEAREST_TITLE));
    AddTypeRow(tmNearest, cCookie);
    m_pName = NewEdit(127);
    m_pName->setText(Q(ReadFindText(c_szFindName)));
    connect(m_pName, &QLineEdit::textEdited, this,
            [](const QString& s) { WriteFindText(c_szFindName, s.toStdU16String()); });
    AddRow(IDS_FIND_LABEL_NAME, m_pName);
    const int nUnit = g_UnitOptions.nDistanceUnit;
    m_pRadius = NewEdit(12);
    m_pRadius->setText(Q(FormatRadius(ReadFindRadius(), nUnit)));
    m_pRadius->setInputMethodHints(Qt::ImhFormattedNumbersOnly);
    connect(m_pRadius, &QLineEdit::textEdited, this, [nUnit](const QString& s) {
        if (const auto dw = ParseRadius(s.toStdU16String(), nUnit)) WriteFindRadius(*dw);
    });
    m_pRadius->setPlaceholderText(Str(IDS_FIND_LABEL_DISTANCE).remove(QLatin1Char(':')));
    m_pUnit = new QLabel(Q(RadiusUnitLabel(nUnit)));
    m_pSearch = NewSearchButton();
    connect(m_pSearch, &QPushButton::clicked, this, [this] { Search(); });
    auto* pRow = new QWidget;
    auto* pRowLayout = new QHBoxLayout(pRow);
    pRowLayout->setContentsMargins(0, 0, 0, 0);
    pRowLayout->setSpacing(4);
    pRowLayout->addWidget(m_pRadius, 1);
    pRowLayout->addWidget(m_pUnit);
    pRowLayout->addWidget(m_pSearch);
    AddRow(IDS_FIND_LABEL_DISTANCE, pRow);
    AddResultList();
}

void CFindNearestDialog::OnTypeChosen() { SetResults(nullptr, false); }

bool CFindNearestDialog::Search() {
    if (IsDetached()) return false;
    CNearestRequest request;
    request.ptRef = ReferencePoint();
    // The radius as typed (a text that is no number keeps the stored one).
    const auto dwTyped = ParseRadius(m_pRadius->text().toStdU16String(), g_UnitOptions.nDistanceUnit);
    if (dwTyped) WriteFindRadius(*dwTyped);
    request.dRadiusMetres = dwTyped ? *dwTyped : ReadFindRadius();
    request.cTypeCookie = Cookie();
    request.strName = m_pName->text().trimmed().toStdU16String();
    const CNearestResult result =
        SearchWithProgress(this, [&](CSearchProgress* p) { return FindNearestObjects(m_map, request, p); });
    std::vector<CFindItem> items;
    items.reserve(result.hits.size());
    for (const CNearestHit& hit : result.hits) items.push_back(hit.item);
    // Sorted by the nearest point's distance: the rows show that distance.
    return ShowSearchResult(result.status, std::make_unique<CItemRows>(std::move(items), std::vector<bool>{}, fpNearest));
}

} // namespace velka
