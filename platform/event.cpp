#include "platform/event.h"

#include <algorithm>
#include <chrono>

namespace velka {

CEvent::CEvent(bool fManualReset, bool fInitialState)
    : m_fManualReset(fManualReset), m_fSignalled(fInitialState) {}

CEvent::~CEvent() = default;

void CEvent::Set() {
    // Waiters are woken while the event's lock is held: a waiter removes
    // itself under the same lock before it goes away.
    std::lock_guard lock(m_mutex);
    m_fSignalled = true;
    m_cv.notify_all();
    for (Waiter* p : m_waiters) {
        std::lock_guard lockWaiter(p->mutex);
        p->fWoken = true;
        p->cv.notify_all();
    }
}

void CEvent::Reset() {
    std::lock_guard lock(m_mutex);
    m_fSignalled = false;
}

bool CEvent::IsSet() const {
    std::lock_guard lock(m_mutex);
    return m_fSignalled;
}

bool CEvent::TryConsumeLocked() {
    if (!m_fSignalled) return false;
    if (!m_fManualReset) m_fSignalled = false;
    return true;
}

bool CEvent::Wait(DWORD dwTimeoutMs) {
    std::unique_lock lock(m_mutex);
    if (dwTimeoutMs == c_dwInfinite) {
        m_cv.wait(lock, [this] { return m_fSignalled; });
    } else if (!m_cv.wait_for(lock, std::chrono::milliseconds(dwTimeoutMs),
                              [this] { return m_fSignalled; })) {
        return false;
    }
    return TryConsumeLocked();
}

void CEvent::AddWaiter(Waiter* p) {
    std::lock_guard lock(m_mutex);
    m_waiters.push_back(p);
}

void CEvent::RemoveWaiter(Waiter* p) {
    std::lock_guard lock(m_mutex);
    m_waiters.erase(std::remove(m_waiters.begin(), m_waiters.end(), p), m_waiters.end());
}

int CEvent::WaitAny(std::span<CEvent* const> events, DWORD dwTimeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(dwTimeoutMs);
    Waiter waiter;
    for (CEvent* e : events) e->AddWaiter(&waiter);
    int nResult = c_nWaitTimeout;
    for (;;) {
        for (std::size_t i = 0; i < events.size(); ++i) {
            std::lock_guard lock(events[i]->m_mutex);
            if (events[i]->TryConsumeLocked()) {
                nResult = static_cast<int>(i);
                break;
            }
        }
        if (nResult != c_nWaitTimeout) break;
        std::unique_lock lock(waiter.mutex);
        if (dwTimeoutMs == c_dwInfinite) {
            waiter.cv.wait(lock, [&] { return waiter.fWoken; });
        } else if (!waiter.cv.wait_until(lock, deadline, [&] { return waiter.fWoken; })) {
            lock.unlock();
            // One last look: a Set may have come just at the deadline.
            for (std::size_t i = 0; i < events.size() && nResult == c_nWaitTimeout; ++i) {
                std::lock_guard l2(events[i]->m_mutex);
                if (events[i]->TryConsumeLocked()) nResult = static_cast<int>(i);
            }
            break;
        }
        waiter.fWoken = false;
    }
    for (CEvent* e : events) e->RemoveWaiter(&waiter);
    return nResult;
}

bool CEvent::WaitAll(std::span<CEvent* const> events, DWORD dwTimeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(dwTimeoutMs);
    Waiter waiter;
    for (CEvent* e : events) e->AddWaiter(&waiter);
    bool fResult = false;
    for (;;) {
        // Take every lock in a fixed (address) order, so two WaitAll calls
        // on the same events cannot deadlock.
        std::vector<CEvent*> sorted(events.begin(), events.end());
        std::sort(sorted.begin(), sorted.end());
        sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
        std::vector<std::unique_lock<std::mutex>> locks;
        for (CEvent* e : sorted) locks.emplace_back(e->m_mutex);
        bool fAll = std::all_of(sorted.begin(), sorted.end(), [](CEvent* e) { return e->m_fSignalled; });
        if (fAll) {
            for (CEvent* e : sorted) e->TryConsumeLocked();
            fResult = true;
            break;
        }
        locks.clear();
        std::unique_lock lock(waiter.mutex);
        if (dwTimeoutMs == c_dwInfinite) {
            waiter.cv.wait(lock, [&] { return waiter.fWoken; });
        } else if (!waiter.cv.wait_until(lock, deadline, [&] { return waiter.fWoken; })) {
            break;
        }
        waiter.fWoken = false;
    }
    for (CEvent* e : events) e->RemoveWaiter(&waiter);
    return fResult;
}

} // namespace velka
