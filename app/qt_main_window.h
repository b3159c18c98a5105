// The main window on Qt: a QMainWindow with the menu bar and a client
// widget that shows the off-screen bitmap. Qt events become the window
// messages of CMainWindow (size, paint, keys, pointer, wheel, timers, menu
// commands, posted messages); CMainWindow reaches back through IWindowPort.
#pragma once
#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "platform/qt/qt_ui_host.h"
#include "shell/main_window.h"

class QAction;
class QScrollBar;
class QActionGroup;

namespace velka {

class CQtMainWindow;

// The client area: paints the off-screen bitmap, forwards input.
class CClientWidget : public QWidget {
public:
    explicit CClientWidget(CQtMainWindow& owner);
    // The client size in device pixels (the pages' pixels).
    SIZE DeviceSize() const;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;

private:
    LPARAM PointParam(const QPointF& pt) const;

    CQtMainWindow& m_owner;
    int m_nWheelRest = 0; // wheel angle not yet a whole notch
};

class CQtMainWindow : public QMainWindow, public IWindowPort {
public:
    CQtMainWindow(CMainWindow& wnd, CQtUiHost& host);
    ~CQtMainWindow() override;

    // Sends WM_CREATE; false when the window logic refused (menu bar).
    bool Create(const QString& strTitle, int cx, int cy);
    CMainWindow& Logic() { return m_wnd; }
    LRESULT Send(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0, bool* pfHandled = nullptr);
    bool IsDestroyed() const { return m_fDestroyed; }
    bool QuitPosted() const { return m_fQuitPosted; }
    int QuitCode() const { return m_nQuitCode; }
    // Runs before the restarted process starts (the instance socket is
    // handed on) and when the window is destroyed.
    std::function<void()> m_fnReleaseInstance;

    // For tests: the menu action of a command, and the image shown.
    QAction* MenuAction(UINT uId) const;
    int MenuItemImage(UINT uId) const;
    bool TimerActive(UINT uId) const;
    CClientWidget* Client() const { return m_pClient; }
    QScrollBar* ScrollBar() const { return m_pScrollBar; }

    // IWindowPort
    bool BuildMenuBar(const std::vector<CMenuPopup>& menu) override;
    void EnableMenuItem(UINT uId, bool fEnabled) override;
    void CheckMenuItem(UINT uId, bool fChecked) override;
    void CheckMenuRadioItem(UINT uFirst, UINT uLast, UINT uId) override;
    void SetMenuItemImage(UINT uId, int nImage) override;
    void DrawMenuBar() override;
    // Headless (the offscreen platform): the menu is written to stderr as
    // "popup: ..." and answered with VELKA_HEADLESS_POPUP=<command id> when
    // that item is there and enabled, else dismissed.
    UINT TrackPopupMenu(const CMenuPopup& menu, int x, int y) override;
    // A QScrollBar right of the client widget; the user's actions become
    // WM_VSCROLL with the matching code (and the position when dragged).
    void SetScrollBar(int nMax, int nPage, int nPos) override;
    SIZE ClientSize() const override;
    std::unique_ptr<ICanvas> CreateBitmap(int cx, int cy) override;
    void Invalidate() override;
    void UpdateNow() override;
    void SetTimer(UINT uId, UINT uElapseMs) override;
    void KillTimer(UINT uId) override;
    void SetWaitCursor(bool fWait) override;
    void SetForeground() override;
    void Destroy() override;
    void PostQuitMessage(int nExitCode) override;
    bool StartRestartedProcess() override;

protected:
    bool event(QEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    CMainWindow& m_wnd;
    CQtUiHost& m_host;
    CClientWidget* m_pClient = nullptr;
    QScrollBar* m_pScrollBar = nullptr;
    std::map<UINT, QAction*> m_mapActions;
    std::map<UINT, int> m_mapImages;
    std::map<UINT, std::unique_ptr<QTimer>> m_mapTimers;
    int m_cWaitCursor = 0;
    bool m_fDestroyed = false;
    bool m_fQuitPosted = false;
    int m_nQuitCode = 0;
};

} // namespace velka
