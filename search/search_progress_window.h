// The progress window of a search the user started: a modal window with
// the text "Поиск..." (then the caption of each later stage, such as
// "Сортировка..."), a bar and a cancel button, shown only when the search
// takes a moment. The search runs on the user-interface
// thread and reports between blocks; each report lets the window repaint
// and hear the cancel button.
#pragma once
#include <QProgressDialog>
#include <atomic>
#include <memory>

#include "mapdata/search_params.h"
#include "platform/win_types.h"

namespace velka {

class CSearchProgressWindow {
public:
    // fHeadless: no window (nothing can press cancel).
    CSearchProgressWindow(QWidget* pParent, UINT uText, bool fHeadless);
    ~CSearchProgressWindow();
    CSearchProgressWindow(const CSearchProgressWindow&) = delete;
    CSearchProgressWindow& operator=(const CSearchProgressWindow&) = delete;

    // The record handed to the search.
    CSearchProgress* Progress() { return &m_progress; }
    bool Cancelled() const { return m_fCancel.load(); }
    // Cancels as the button does.
    void Cancel() { m_fCancel = true; }

private:
    std::atomic<bool> m_fCancel{false};
    std::unique_ptr<QProgressDialog> m_pDialog;
    CSearchProgress m_progress;
};

} // namespace velka
