#include "platform/qt/qt_ui_host.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <QString>

namespace velka {
namespace {

QString ToQString(const std::u16string& s) {
    return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}

QMessageBox::Icon IconOf(UINT uStyle) {
    switch (uStyle & 0xF0) {
    case MB_ICONERROR: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONWARNING: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

} // namespace

QEvent::Type CPostedMessageEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

int CQtUiHost::MessageBox(const std::u16string& strText, const std::u16string& strCaption, UINT uStyle) {
    const bool fYesNo = (uStyle & 0xF) == MB_YESNO;
    QCoreApplication* pApp = QCoreApplication::instance();
    if (pApp && QThread::currentThread() != pApp->thread()) {
        // Boxes belong to the window's thread. One raised on a worker (a
        // reader thread that failed) is shown there when the loop next runs;
        // the worker goes on at once, and a question from it answers no, so
        // that it never waits on a window that may be waiting for it.
        const UINT uShown = fYesNo ? (uStyle & ~0xFu) | MB_OK : uStyle;
        QMetaObject::invokeMethod(
            pApp, [this, strText, strCaption, uShown] { MessageBox(strText, strCaption, uShown); },
            Qt::QueuedConnection);
        return fYesNo ? IDNO : IDOK;
    }
    if (m_fHeadless) return HeadlessUiHost().MessageBox(strText, strCaption, uStyle);
    const QMessageBox::Icon icon = IconOf(uStyle);
    QMessageBox box(icon, ToQString(strCaption), ToQString(strText),
                    fYesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, m_pOwner.data());
    int n = box.exec();
    if (fYesNo) return n == QMessageBox::Yes ? IDYES : IDNO;
    return IDOK;
}

void CQtUiHost::ShowNotice(const std::u16string& strText, const std::u16string& strCaption, UINT uStyle) {
    if (m_fHeadless) {
        HeadlessUiHost().ShowNotice(strText, strCaption, uStyle);
        return;
    }
    auto* pBox = new QMessageBox(IconOf(uStyle), ToQString(strCaption), ToQString(strText), QMessageBox::Ok,
                                 m_pOwner.data());
    pBox->setAttribute(Qt::WA_DeleteOnClose);
    pBox->setWindowModality(Qt::NonModal);
    pBox->show();
}

bool CQtUiHost::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    QObject* pTarget = m_pTarget.load();
    if (!pTarget) return false;
    QCoreApplication::postEvent(pTarget, new CPostedMessageEvent(uMsg, wParam, lParam));
    return true;
}

void CQtUiHost::SetMainWindow(QWidget* pWindow) {
    m_pTarget.store(pWindow);
    m_pOwner = pWindow;
}

} // namespace velka
