// The base of the search dialogs: the city-name field with its city list,
// the result list with its column menu and kept column state, and the menu
// bar with show on the map (40080) and go to (40082), enabled while an
// entry is selected.
#pragma once
#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "search/find_models.h"
#include "search/find_settings.h"
#include "search/search_dialogs.h"
#include "search/search_status.h"

class QGridLayout;
class QLabel;
class QLineEdit;
class QListView;
class QSplitter;
class QTableView;
class QVBoxLayout;

namespace velka {

constexpr UINT ID_FIND_SHOW_ON_MAP = 40080;
constexpr UINT ID_FIND_GO_TO = 40082;

class CFindDialog : public QDialog {
public:
    CFindDialog(FindDialogKind kind, CMapParser& map, QWidget* pParent);
    ~CFindDialog() override;

    // 40080 and 40082 on the selected entry; the dialog closes after.
    void ShowOnMap();
    void GoTo();
    // The selected entry (enables the commands).
    virtual std::optional<CFindTarget> SelectedTarget() const;

    // Shows or hides a result column as the header's menu does.
    void ToggleColumn(int nColumn);
    ListColumnState ColumnState() const;

    QLineEdit* CityEdit() const { return m_pCityEdit; }
    QListView* CityView() const { return m_pCityView; }
    CCityListModel* CityModel() const { return m_pCityModel; }
    QTableView* ResultView() const { return m_pResultView; }
    CFindResultModel* ResultModel() const { return m_pResultModel; }
    QAction* ShowAction() const { return m_pShow; }
    QAction* GoToAction() const { return m_pGoTo; }
    int SelectedCity() const;
    int SelectedResult() const;
    // Selects a row of the result list (the city list where there is none).
    void SelectRow(int nRow);
    // The type row of the dialogs that have one: the cookie and taking
    // another (as the type button does after its chooser); a row the
    // dialog's chooser leaves out is refused.
    std::size_t Cookie() const { return m_cCookie; }
    void SetCookie(std::size_t cCookie);

    void done(int nResult) override;
    // The map is about to close: the lists let go of it, the commands do
    // nothing more, and the dialog closes.
    void Detach();
    bool IsDetached() const { return m_fDetached; }

protected:
    // A narrow window (a handheld's) hides the field labels: the fields
    // show them as their placeholder text instead.
    void resizeEvent(QResizeEvent* pEvent) override;
    // Building blocks, called by the dialogs' constructors in layout order.
    void AddCityControls(std::unique_ptr<CCitiesQuery> pCities);
    // Selects the city Find_City names and scrolls it into view (once the
    // dialog's controls exist: the selection may ask the map for objects).
    void SelectStoredCity();
    void AddResultList();
    // A labelled field row of the form grid.
    void AddRow(UINT uLabel, QWidget* pField, QWidget* pExtra = nullptr);
    // The type row: the cookie's title and the "..." button that opens the
    // chooser in the dialog's mode.
    void AddTypeRow(TypeChooserMode mode, std::size_t cCookie);
    virtual void OnTypeChosen() {}
    // After a search the user started: the rows, focused with the first
    // selected; or, when it found nothing or was cancelled, the message
    // for its status (2147 unless the map lacks an index) and an empty
    // list. False then.
    bool ShowSearchResult(SearchStatus status, std::unique_ptr<IFindRows> pRows);
    // Called when the selected city changes (row -1: none).
    virtual void OnCitySelected(int /*nRow*/) {}
    // Fills the result list; with fFocus the list gets the focus and its
    // first row is selected.
    void SetResults(std::unique_ptr<IFindRows> pRows, bool fFocus);
    // Selects a result row and scrolls so that row - nAbove is the top row.
    void SelectResultRow(int nRow, int nAbove);
    void UpdateCommands();
    CMapPoint ReferencePoint() const;
    // The entry a command acts on: the selected one, unless the dialog
    // tells the user why it cannot be (the dialog then stays open).
    virtual std::optional<CFindTarget> ChosenTarget() { return SelectedTarget(); }
    void Act(const std::function<void(const CFindTarget&)>& fnAction);

    FindDialogKind m_kind;
    CMapParser& m_map;
    TypeNameFn m_fnTypeName;
    QVBoxLayout* m_pLayout = nullptr;
    QGridLayout* m_pForm = nullptr;
    QSplitter* m_pSplitter = nullptr;

private:
    void CityTextChanged(const QString& strText);
    void RestoreColumnState();
    void HeaderMenu(const QPoint& pt);

    std::unique_ptr<CCitiesQuery> m_pCities;
    QLineEdit* m_pCityEdit = nullptr;
    QListView* m_pCityView = nullptr;
    CCityListModel* m_pCityModel = nullptr;
    QTableView* m_pResultView = nullptr;
    CFindResultModel* m_pResultModel = nullptr;
    QAction* m_pShow = nullptr;
    QAction* m_pGoTo = nullptr;
    std::vector<QLabel*> m_vecLabels;
    bool m_fDetached = false;
    TypeChooserMode m_typeMode = tmNearest;
    std::size_t m_cCookie = 0;
    QLabel* m_pTypeTitle = nullptr;
};

// The dialog size: the parent's on a small screen, a comfortable one where
// there is room.
void SizeFindDialog(QDialog& dlg, QWidget* pParent);

} // namespace velka
