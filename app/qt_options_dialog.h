// The options dialog (menu command 40010): a tabbed dialog of the options
// pages with OK, Cancel and Apply, opening on the page stored in
// OptionsPage and storing the index of every page shown. Applying writes
// every page, then re-reads the unit options, tells the screen pages,
// restarts running positioning when ports or protocols changed, and asks
// for the restart when the language changed.
#pragma once
#include <QDialog>
#include <memory>
#include <vector>

#include "app/qt_options_pages.h"

class QTabWidget;

namespace velka {

class COptionsDialog : public QDialog {
public:
    COptionsDialog(QWidget* pParent, int nFirstPage);
    ~COptionsDialog() override;

    // Applies every page and passes the changes on (the Apply button).
    void ApplyAll();
    QTabWidget* Tabs() const { return m_pTabs; }
    // The page of an index (null when there is none).
    COptionsPage* PageAt(int nIndex) const;

private:
    void OnPageShown(int nTab);

    QTabWidget* m_pTabs = nullptr;
    std::vector<COptionsPage*> m_vecPages; // owned by the tab widget
};

// What the program does after the pages were applied.
void PassOnOptionsChanges(const COptionsChanges& changes);

// The hook of command 40010. Headless, the dialog is announced on stderr
// ("dialog: options page N") and not shown; VELKA_HEADLESS_OPTIONS=ok
// applies the pages as they read, anything else cancels.
void ShowOptionsDialog(int nFirstPage);

} // namespace velka
