#include "app/qt_main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QIcon>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QGuiApplication>
#include <QWheelEvent>
#include <cstdio>
#include <cstdlib>

#include "platform/crash_filter.h"
#include "platform/qt/qt_canvas.h"
#include "shell/resources.h"

namespace velka {
namespace {

QString ToQString(const std::u16string& s) {
    return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}

LPARAM PointParam(const QPointF& pt) {
    return MakeLParam(static_cast<int>(pt.x()), static_cast<int>(pt.y()));
}

} // namespace

CClientWidget::CClientWidget(CQtMainWindow& owner) : QWidget(&owner), m_owner(owner) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void CClientWidget::paintEvent(QPaintEvent*) {
    m_owner.Send(WM_PAINT);
    QPainter painter(this);
    if (const auto* pBitmap = dynamic_cast<const CQtCanvas*>(m_owner.Logic().OffscreenBitmap()))
        painter.drawImage(0, 0, pBitmap->Image());
    else
        painter.fillRect(rect(), Qt::white);
}

void CClientWidget::resizeEvent(QResizeEvent*) { m_owner.Send(WM_SIZE, 0, MakeLParam(width(), height())); }

void CClientWidget::mousePressEvent(QMouseEvent* pEvent) {
    if (pEvent->button() == Qt::LeftButton) m_owner.Send(WM_LBUTTONDOWN, 1, PointParam(pEvent->position()));
}

void CClientWidget::mouseReleaseEvent(QMouseEvent* pEvent) {
    if (pEvent->button() == Qt::LeftButton)
        m_owner.Send(WM_LBUTTONUP, 0, PointParam(pEvent->position()));
    else if (pEvent->button() == Qt::RightButton)
        m_owner.Send(WM_RBUTTONUP, 0, PointParam(pEvent->position()));
}

void CClientWidget::mouseDoubleClickEvent(QMouseEvent* pEvent) {
    if (pEvent->button() == Qt::LeftButton) m_owner.Send(WM_LBUTTONDBLCLK, 1, PointParam(pEvent->position()));
}

void CClientWidget::mouseMoveEvent(QMouseEvent* pEvent) {
    m_owner.Send(WM_MOUSEMOVE, (pEvent->buttons() & Qt::LeftButton) ? 1 : 0, PointParam(pEvent->position()));
}

void CClientWidget::wheelEvent(QWheelEvent* pEvent) {
    // The wheel scrolls pages that have a scroll bar, line by line.
    if (!m_owner.Logic().CurrentPage().HasScrollBar()) return;
    const int nDelta = pEvent->angleDelta().y();
    if (nDelta) m_owner.Send(WM_VSCROLL, MakeWParam(nDelta > 0 ? SB_LINEUP : SB_LINEDOWN, 0), 0);
}

CQtMainWindow::CQtMainWindow(CMainWindow& wnd, CQtUiHost& host) : m_wnd(wnd), m_host(host) {
    setObjectName(QStringLiteral("velka"));
    m_pClient = new CClientWidget(*this);
    setCentralWidget(m_pClient);
    m_wnd.Attach(this);
    // A change of the screen's resolution refreshes all pages.
    if (QScreen* pScreen = QGuiApplication::primaryScreen()) {
        connect(pScreen, &QScreen::geometryChanged, this, [this] {
            if (!m_fDestroyed) Send(WM_DISPLAYCHANGE);
        });
    }
}

CQtMainWindow::~CQtMainWindow() {
    m_host.SetMainWindow(nullptr);
    m_mapTimers.clear();
    m_wnd.Attach(nullptr);
}

bool CQtMainWindow::Create(const QString& strTitle, int cx, int cy) {
    setWindowTitle(strTitle);
    resize(cx, cy);
    m_host.SetMainWindow(this);
    if (Send(WM_CREATE) != 0 || m_fDestroyed) return false;
    // The client size as it will be shown: the layout settles the central
    // widget's size before the first WM_SIZE.
    return true;
}

LRESULT CQtMainWindow::Send(UINT uMsg, WPARAM wParam, LPARAM lParam, bool* pfHandled) {
    // Faults while handling a message are reported as the window
    // procedure's.
    CCrashContextScope scope(ccWndProc);
    return m_wnd.WndProc(uMsg, wParam, lParam, pfHandled);
}

QAction* CQtMainWindow::MenuAction(UINT uId) const {
    auto it = m_mapActions.find(uId);
    return it == m_mapActions.end() ? nullptr : it->second;
}

int CQtMainWindow::MenuItemImage(UINT uId) const {
    auto it = m_mapImages.find(uId);
    return it == m_mapImages.end() ? -1 : it->second;
}

bool CQtMainWindow::TimerActive(UINT uId) const {
    auto it = m_mapTimers.find(uId);
    return it != m_mapTimers.end() && it->second->isActive();
}

bool CQtMainWindow::BuildMenuBar(const std::vector<CMenuPopup>& menu) {
    QMenuBar* pBar = menuBar();
    if (!pBar) return false;
    pBar->clear();
    m_mapActions.clear();
    auto* pPageGroup = new QActionGroup(this);
    pPageGroup->setExclusive(true);
    for (const CMenuPopup& popup : menu) {
        QMenu* pMenu = pBar->addMenu(ToQString(LoadStr(popup.uTitleId)));
        for (const CMenuItem& item : popup.vecItems) {
            if (!item.uId) {
                pMenu->addSeparator();
                continue;
            }
            QString text;
            if (item.uTextId)
                text = ToQString(LoadStr(item.uTextId));
            else if (item.uId >= ID_PAGE_FIRST && item.uId < ID_PAGE_FIRST + c_cPages)
                text = ToQString(LoadStr(m_wnd.Page(item.uId - ID_PAGE_FIRST).GetTitle()));
            // Texts may carry a key hint after a tab; keys are handled by
            // the window itself, never as menu shortcuts.
            text.replace(QLatin1Char('\t'), QLatin1String("    "));
            QAction* pAction = pMenu->addAction(text);
            pAction->setCheckable(item.fCheckable);
            if (item.fRadio) pPageGroup->addAction(pAction);
            const UINT uId = item.uId;
            connect(pAction, &QAction::triggered, this, [this, uId] { Send(WM_COMMAND, uId, 0); });
            m_mapActions[uId] = pAction;
        }
    }
    return true;
}

void CQtMainWindow::EnableMenuItem(UINT uId, bool fEnabled) {
    if (QAction* p = MenuAction(uId)) p->setEnabled(fEnabled);
}

void CQtMainWindow::CheckMenuItem(UINT uId, bool fChecked) {
    if (QAction* p = MenuAction(uId)) p->setChecked(fChecked);
}

void CQtMainWindow::CheckMenuRadioItem(UINT uFirst, UINT uLast, UINT uId) {
    for (UINT u = uFirst; u <= uLast; ++u)
        if (QAction* p = MenuAction(u)) p->setChecked(u == uId);
}

void CQtMainWindow::SetMenuItemImage(UINT uId, int nImage) {
    m_mapImages[uId] = nImage;
    QAction* pAction = MenuAction(uId);
    if (!pAction) return;
    // The night-mode images, drawn here until the menu's image strip is
    // loaded: 34 day (a sun), 25 night (a dark disc), 35 automatic (half and half).
    if (nImage < 0) {
        pAction->setIcon(QIcon());
        return;
    }
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(2.5, 2.5, 11, 11);
    const QColor day(250, 200, 40), night(40, 50, 120);
    painter.setPen(QPen(Qt::darkGray, 1));
    painter.setBrush(nImage == 25 ? night : day);
    painter.drawEllipse(disc);
    if (nImage == 35) {
        painter.setBrush(night);
        painter.drawPie(disc, 90 * 16, 180 * 16);
    }
    painter.end();
    pAction->setIcon(QIcon(pixmap));
}

void CQtMainWindow::DrawMenuBar() {
    if (QMenuBar* p = menuBar()) p->update();
}

UINT CQtMainWindow::TrackPopupMenu(const CMenuPopup& menu, int x, int y) {
    auto textOf = [](const CMenuItem& item) {
        QString text = ToQString(LoadStr(item.uTextId ? item.uTextId : c_uMenuTextBase + item.uId));
        text.replace(QLatin1Char('\t'), QLatin1String("    "));
        return text;
    };
    if (m_host.IsHeadless()) {
        QString line = QStringLiteral("popup: %1:").arg(menu.uTitleId);
        for (const CMenuItem& item : menu.vecItems) {
            if (!item.uId) continue;
            line += QStringLiteral(" [%1%2 %3]").arg(item.fGrayed ? QStringLiteral("-") : QString()).arg(item.uId).arg(textOf(item));
        }
        const char* szAnswer = std::getenv("VELKA_HEADLESS_POPUP");
        UINT uChosen = 0;
        if (szAnswer && *szAnswer) {
            const UINT uWanted = static_cast<UINT>(std::strtoul(szAnswer, nullptr, 10));
            for (const CMenuItem& item : menu.vecItems)
                if (item.uId && item.uId == uWanted && !item.fGrayed) uChosen = uWanted;
        }
        line += QStringLiteral(" -> %1").arg(uChosen);
        std::fprintf(stderr, "%s\n", line.toUtf8().constData());
        std::fflush(stderr);
        return uChosen;
    }
    QMenu popup(this);
    std::map<QAction*, UINT> ids;
    for (const CMenuItem& item : menu.vecItems) {
        if (!item.uId) {
            popup.addSeparator();
            continue;
        }
        QAction* pAction = popup.addAction(textOf(item));
        pAction->setEnabled(!item.fGrayed);
        ids[pAction] = item.uId;
    }
    QAction* pChosen = popup.exec(m_pClient->mapToGlobal(QPoint(x, y)));
    auto it = ids.find(pChosen);
    return it == ids.end() ? 0 : it->second;
}

SIZE CQtMainWindow::ClientSize() const { return {m_pClient->width(), m_pClient->height()}; }

std::unique_ptr<ICanvas> CQtMainWindow::CreateBitmap(int cx, int cy) { return std::make_unique<CQtCanvas>(cx, cy); }

void CQtMainWindow::Invalidate() { m_pClient->update(); }

void CQtMainWindow::UpdateNow() {
    if (m_pClient->isVisible()) m_pClient->repaint();
}

void CQtMainWindow::SetTimer(UINT uId, UINT uElapseMs) {
    auto& pTimer = m_mapTimers[uId];
    if (!pTimer) {
        pTimer = std::make_unique<QTimer>();
        connect(pTimer.get(), &QTimer::timeout, this, [this, uId] { Send(WM_TIMER, uId, 0); });
    }
    pTimer->start(static_cast<int>(uElapseMs));
}

void CQtMainWindow::KillTimer(UINT uId) {
    auto it = m_mapTimers.find(uId);
    if (it != m_mapTimers.end()) it->second->stop();
}

void CQtMainWindow::SetWaitCursor(bool fWait) {
    if (fWait) {
        if (m_cWaitCursor++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (m_cWaitCursor > 0) {
        if (--m_cWaitCursor == 0) QApplication::restoreOverrideCursor();
    }
}

void CQtMainWindow::SetForeground() {
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

void CQtMainWindow::Destroy() {
    if (m_fDestroyed) return;
    m_fDestroyed = true;
    for (auto& [uId, pTimer] : m_mapTimers) pTimer->stop();
    if (m_fnReleaseInstance) m_fnReleaseInstance();
    hide();
    Send(WM_DESTROY);
    m_host.SetMainWindow(nullptr);
}

void CQtMainWindow::PostQuitMessage(int nExitCode) {
    m_fQuitPosted = true;
    m_nQuitCode = nExitCode;
    QCoreApplication::exit(nExitCode);
}

bool CQtMainWindow::StartRestartedProcess() {
    if (m_fnReleaseInstance) m_fnReleaseInstance();
    // The running program's own file, whatever its name.
    return QProcess::startDetached(QCoreApplication::applicationFilePath(), {QStringLiteral("/Start")});
}

bool CQtMainWindow::event(QEvent* pEvent) {
    if (pEvent->type() == CPostedMessageEvent::EventType()) {
        auto* pMsg = static_cast<CPostedMessageEvent*>(pEvent);
        if (!m_fDestroyed) Send(pMsg->m_uMsg, pMsg->m_wParam, pMsg->m_lParam);
        return true;
    }
    return QMainWindow::event(pEvent);
}

void CQtMainWindow::closeEvent(QCloseEvent* pEvent) {
    // The close button asks for the orderly exit; the window stays until
    // the request is handled.
    if (!m_fDestroyed) Send(WM_CLOSE);
    pEvent->ignore();
}

void CQtMainWindow::keyPressEvent(QKeyEvent* pEvent) {
    UINT uKey = 0;
    switch (pEvent->key()) {
    case Qt::Key_Left: uKey = VK_LEFT; break;
    case Qt::Key_Right: uKey = VK_RIGHT; break;
    case Qt::Key_Up: uKey = VK_UP; break;
    case Qt::Key_Down: uKey = VK_DOWN; break;
    default: break;
    }
    bool fHandled = false;
    if (uKey) Send(WM_KEYDOWN, uKey, 0, &fHandled);
    if (!fHandled) QMainWindow::keyPressEvent(pEvent);
}

} // namespace velka
