// The Qt user-interface host: message boxes as QMessageBox over the main
// window, and messages posted to the main window as QEvents (thread-safe,
// QCoreApplication::postEvent). In headless mode the boxes go to the
// headless host, which records them and answers with its scripted default.
#pragma once
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <atomic>

#include "platform/ui_host.h"

namespace velka {

// A posted window message.
class CPostedMessageEvent : public QEvent {
public:
    CPostedMessageEvent(UINT uMsg, WPARAM wParam, LPARAM lParam)
        : QEvent(EventType()), m_uMsg(uMsg), m_wParam(wParam), m_lParam(lParam) {}
    static QEvent::Type EventType();

    UINT m_uMsg;
    WPARAM m_wParam;
    LPARAM m_lParam;
};

class CQtUiHost : public IUiHost {
public:
    explicit CQtUiHost(bool fHeadless) : m_fHeadless(fHeadless) {}
    int MessageBox(const std::u16string& strText, const std::u16string& strCaption, UINT uStyle) override;
    bool PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    // A non-modal box over the main window that deletes itself when closed.
    void ShowNotice(const std::u16string& strText, const std::u16string& strCaption, UINT uStyle) override;

    // The main window: owner of the boxes and receiver of posted messages.
    void SetMainWindow(QWidget* pWindow);
    bool IsHeadless() const { return m_fHeadless; }

private:
    bool m_fHeadless;
    std::atomic<QObject*> m_pTarget{nullptr};
    QPointer<QWidget> m_pOwner;
};

} // namespace velka
