#include "shell/notifications.h"

#include <atomic>

#include "platform/ui_host.h"

namespace velka {
namespace {
std::atomic<bool> g_afPending[5];

std::atomic<bool>* PendingFlag(UINT uMsg) {
    if (uMsg >= WM_GPS_STATUS && uMsg <= WM_GPS_INDICATOR) return &g_afPending[uMsg - WM_GPS_STATUS];
    return nullptr;
}
} // namespace

bool PostNotification(UINT uMsg) {
    std::atomic<bool>* pf = PendingFlag(uMsg);
    if (pf && pf->exchange(true)) return false;
    if (!UiHost().PostMessage(uMsg, 0, 0)) {
        if (pf) pf->store(false);
        return false;
    }
    return true;
}

void ClearNotificationPending(UINT uMsg) {
    if (std::atomic<bool>* pf = PendingFlag(uMsg)) pf->store(false);
}

bool IsNotificationPending(UINT uMsg) {
    std::atomic<bool>* pf = PendingFlag(uMsg);
    return pf && pf->load();
}

} // namespace velka
