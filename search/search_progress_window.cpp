#include "search/search_progress_window.h"

#include <algorithm>

#include "shell/resources.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

// A search quicker than this shows no window.
constexpr int c_msShowAfter = 400;
constexpr int c_nRange = 1000;

} // namespace

CSearchProgressWindow::CSearchProgressWindow(QWidget* pParent, UINT uText, bool fHeadless) {
    m_progress.nStart = 0;
    m_progress.nEnd = c_nRange;
    m_progress.pfCancel = &m_fCancel;
    if (fHeadless) return;
    m_pDialog = std::make_unique<QProgressDialog>(QString::fromStdU16String(LoadStr(uText)), QString(), 0, c_nRange,
                                                  pParent);
    m_pDialog->setWindowModality(Qt::WindowModal);
    m_pDialog->setMinimumDuration(c_msShowAfter);
    m_pDialog->setAutoReset(false);
    m_pDialog->setAutoClose(false);
    m_pDialog->setCancelButtonText(QString::fromStdU16String(LoadStr(IDS_OPT_CANCEL)));
    QObject::connect(m_pDialog.get(), &QProgressDialog::canceled, [this] { m_fCancel = true; });
    m_pDialog->setValue(0);
    // setValue of a modal window processes the events (painting, the cancel
    // button) when the window shows.
    m_progress.fnReport = [this](int nPosition) {
        if (m_pDialog && nPosition > m_pDialog->value()) m_pDialog->setValue(std::min(nPosition, c_nRange - 1));
    };
    // A new stage ("Сортировка...") has its caption and starts the bar again.
    m_progress.fnStage = [this](UINT uCaption) {
        if (!m_pDialog) return;
        m_pDialog->setLabelText(QString::fromStdU16String(LoadStr(uCaption)));
        m_pDialog->setValue(0);
    };
}

CSearchProgressWindow::~CSearchProgressWindow() = default;

} // namespace velka
