// The progress window of a search the user started: a modal window with
// the text "Поиск..." (then the caption of each later stage, such as
// "Сортировка..."), a bar and a cancel button, shown only when the search
// takes a moment. The search runs on the user-interface thread and reports
// between blocks; a report lets the window repaint and hear its button.
#pragma once
#include <QDialog>
#include <QElapsedTimer>
#include <atomic>

#include "mapdata/search_params.h"
#include "platform/win_types.h"

class QLabel;
class QProgressBar;

namespace velka {

class CSearchProgressWindow : public QDialog {
public:
    // fHeadless: no window (nothing can press cancel).
    CSearchProgressWindow(QWidget* pParent, UINT uText, bool fHeadless);

    ~CSearchProgressWindow() override;
    // The record handed to the search.
    CSearchProgress* Progress() { return &m_progress; }
    bool Cancelled() const { return m_fCancel.load(); }
    void Cancel() { m_fCancel = true; }
    QLabel* Caption() const { return m_pCaption; }

private:
    void Report(int nPosition);
    void reject() override { m_fCancel = true; }

    bool m_fHeadless;
    std::atomic<bool> m_fCancel{false};
    QElapsedTimer m_started, m_lastPump;
    QLabel* m_pCaption = nullptr;
    QProgressBar* m_pBar = nullptr;
    CSearchProgress m_progress;
};

// Whether a search runs under a progress window, and cancelling it (as
// its button does).
bool IsSearchRunning();
void CancelSearch();

} // namespace velka
