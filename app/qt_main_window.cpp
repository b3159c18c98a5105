#include "app/qt_main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QIcon>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QHBoxLayout>
#include <QGuiApplication>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/crash_filter.h"
#include "app/qt_window_geometry.h"
#include "platform/qt/qt_canvas.h"
#include "shell/resources.h"

namespace velka {
namespace {

QString ToQString(const std::u16string& s) {
    return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}

} // namespace

// Pages work in device pixels: a point of the widget times the ratio.
LPARAM CClientWidget::PointParam(const QPointF& pt) const {
    const qreal dpr = devicePixelRatioF();
    return MakeLParam(static_cast<int>(pt.x() * dpr), static_cast<int>(pt.y() * dpr));
}

SIZE CClientWidget::DeviceSize() const {
    const qreal dpr = devicePixelRatioF();
    return {static_cast<LONG>(qRound(width() * dpr)), static_cast<LONG>(qRound(height() * dpr))};
}

CClientWidget::CClientWidget(CQtMainWindow& owner) : QWidget(&owner), m_owner(owner) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void CClientWidget::paintEvent(QPaintEvent*) {
    m_owner.Send(WM_PAINT);
    QPainter painter(this);
    if (const auto* pBitmap = dynamic_cast<const CQtCanvas*>(m_owner.Logic().OffscreenBitmap())) {
        // The bitmap has the device's pixels: drawn one to one, sharp at 2x.
        QImage image = pBitmap->Image();
        image.setDevicePixelRatio(devicePixelRatioF());
        painter.drawImage(0, 0, image);
    }
    else
        painter.fillRect(rect(), Qt::white);
}

void CClientWidget::resizeEvent(QResizeEvent*) {
    const SIZE size = DeviceSize();
    m_owner.Send(WM_SIZE, 0, MakeLParam(size.cx, size.cy));
}

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
    // Whole notches go to the page with the pointer's position: the map
    // zooms about it, scrolling pages scroll. A touchpad's small steps add
    // up to notches.
    m_nWheelRest += pEvent->angleDelta().y();
    const int nNotches = m_nWheelRest / WHEEL_DELTA;
    if (!nNotches) return;
    m_nWheelRest -= nNotches * WHEEL_DELTA;
    m_owner.Send(WM_MOUSEWHEEL, MakeWParam(0, static_cast<unsigned>(nNotches * WHEEL_DELTA)),
                 PointParam(pEvent->position()));
    pEvent->accept();
}

CQtMainWindow::CQtMainWindow(CMainWindow& wnd, CQtUiHost& host) : m_wnd(wnd), m_host(host) {
    setObjectName(QStringLiteral("velka"));
    auto* pCentral = new QWidget(this);
    auto* pLayout = new QHBoxLayout(pCentral);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    m_pClient = new CClientWidget(*this);
    m_pScrollBar = new QScrollBar(Qt::Vertical, pCentral);
    m_pScrollBar->hide();
    pLayout->addWidget(m_pClient, 1);
    pLayout->addWidget(m_pScrollBar);
    setCentralWidget(pCentral);
    connect(m_pScrollBar, &QScrollBar::actionTriggered, this, [this](int nAction) {
        int nCode = -1;
        switch (nAction) {
        case QAbstractSlider::SliderSingleStepAdd: nCode = SB_LINEDOWN; break;
        case QAbstractSlider::SliderSingleStepSub: nCode = SB_LINEUP; break;
        case QAbstractSlider::SliderPageStepAdd: nCode = SB_PAGEDOWN; break;
        case QAbstractSlider::SliderPageStepSub: nCode = SB_PAGEUP; break;
        case QAbstractSlider::SliderToMinimum: nCode = SB_TOP; break;
        case QAbstractSlider::SliderToMaximum: nCode = SB_BOTTOM; break;
        case QAbstractSlider::SliderMove: nCode = SB_THUMBTRACK; break;
        default: break;
        }
        if (nCode < 0) return;
        const int nPos = std::max(0, m_pScrollBar->sliderPosition());
        Send(WM_VSCROLL, static_cast<WPARAM>(nCode) | (static_cast<WPARAM>(nPos & 0xFFFF) << 16));
    });
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
    RestoreWindowGeometry(*this, cx, cy);
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
            if (const char* szKeys = MenuShortcut(item.uId))
                pAction->setShortcuts(QKeySequence::listFromString(QString::fromLatin1(szKeys)));
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
    // Headless with VELKA_HEADLESS_MENU set, each menu update is written to
    // stderr: "menu: <id>+ (enabled) or <id>- (disabled) ...".
    if (!m_host.IsHeadless() || !std::getenv("VELKA_HEADLESS_MENU")) return;
    QString line = QStringLiteral("menu:");
    for (UINT uId : MenuCommands())
        if (QAction* pAction = MenuAction(uId))
            line += QStringLiteral(" %1%2").arg(uId).arg(pAction->isEnabled() ? QLatin1Char('+') : QLatin1Char('-'));
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    std::fflush(stderr);
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
            line += QStringLiteral(" [%1%2%3 %4]")
                        .arg(item.fGrayed ? QStringLiteral("-") : QString())
                        .arg(item.fChecked ? QStringLiteral("*") : QString())
                        .arg(item.uId)
                        .arg(textOf(item));
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
        if (item.fCheckable) {
            pAction->setCheckable(true);
            pAction->setChecked(item.fChecked);
        }
        ids[pAction] = item.uId;
    }
    const qreal dpr = m_pClient->devicePixelRatioF();
    QAction* pChosen = popup.exec(m_pClient->mapToGlobal(QPoint(qRound(x / dpr), qRound(y / dpr))));
    auto it = ids.find(pChosen);
    return it == ids.end() ? 0 : it->second;
}

void CQtMainWindow::SetScrollBar(int nMax, int nPage, int nPos) {
    const bool fShow = nPage > 0 && nMax >= nPage;
    if (fShow) {
        const QSignalBlocker block(m_pScrollBar);
        m_pScrollBar->setRange(0, nMax - nPage + 1);
        m_pScrollBar->setPageStep(nPage);
        m_pScrollBar->setSingleStep(1);
        m_pScrollBar->setValue(nPos);
    }
    if (fShow == m_pScrollBar->isHidden()) m_pScrollBar->setVisible(fShow);
}

SIZE CQtMainWindow::ClientSize() const { return m_pClient->DeviceSize(); }

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
    SaveWindowGeometry(*this);
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
    case Qt::Key_PageUp: uKey = VK_PRIOR; break;
    case Qt::Key_PageDown: uKey = VK_NEXT; break;
    case Qt::Key_Plus: uKey = VK_ADD; break;
    case Qt::Key_Minus: uKey = VK_SUBTRACT; break;
    default: break;
    }
    bool fHandled = false;
    if (uKey) Send(WM_KEYDOWN, uKey, 0, &fHandled);
    if (!fHandled) QMainWindow::keyPressEvent(pEvent);
}

} // namespace velka
