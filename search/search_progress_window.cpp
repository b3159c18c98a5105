#include "search/search_progress_window.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/resources.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

// A search quicker than this shows no window.
constexpr qint64 c_msShowAfter = 400;
// The window repaints and hears its button this often.
constexpr qint64 c_msPump = 40;
constexpr int c_nRange = 1000;

CSearchProgressWindow* g_pRunning = nullptr;

} // namespace

bool IsSearchRunning() { return g_pRunning != nullptr; }

void CancelSearch() {
    if (g_pRunning) g_pRunning->Cancel();
}

CSearchProgressWindow::~CSearchProgressWindow() {
    if (g_pRunning == this) g_pRunning = nullptr;
}

CSearchProgressWindow::CSearchProgressWindow(QWidget* pParent, UINT uText, bool fHeadless)
    : QDialog(pParent), m_fHeadless(fHeadless) {
    m_progress.nStart = 0;
    m_progress.nEnd = c_nRange;
    m_progress.pfCancel = &m_fCancel;
    g_pRunning = this;
    if (fHeadless) return;
    setWindowModality(Qt::ApplicationModal);
    m_pCaption = new QLabel(QString::fromStdU16String(LoadStr(uText)));
    setWindowTitle(m_pCaption->text());
    m_pBar = new QProgressBar;
    m_pBar->setRange(0, c_nRange);
    m_pBar->setTextVisible(false);
    auto* pCancel = new QPushButton(QString::fromStdU16String(LoadStr(IDS_OPT_CANCEL)));
    connect(pCancel, &QPushButton::clicked, this, [this] { m_fCancel = true; });
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pCaption);
    pLayout->addWidget(m_pBar);
    pLayout->addWidget(pCancel, 0, Qt::AlignHCenter);
    m_started.start();
    m_progress.fnReport = [this](int nPosition) { Report(nPosition); };
    // A new stage has its caption and starts the bar again.
    m_progress.fnStage = [this](UINT uCaption) {
        m_pCaption->setText(QString::fromStdU16String(LoadStr(uCaption)));
        m_pBar->setValue(0);
    };
}

void CSearchProgressWindow::Report(int nPosition) {
    m_pBar->setValue(std::clamp(nPosition, 0, c_nRange));
    if (!isVisible()) {
        if (m_started.elapsed() < c_msShowAfter) return;
        show();
        m_lastPump.invalidate();
    }
    if (m_lastPump.isValid() && m_lastPump.elapsed() < c_msPump) return;
    m_lastPump.start();
    QApplication::processEvents();
}

} // namespace velka
