// Events in the manner of Win32 event objects: manual or automatic reset,
// waits with a time-out, and waiting for any or all of several events.
#pragma once
#include <condition_variable>
#include <mutex>
#include <span>
#include <vector>

#include "platform/win_types.h"

namespace velka {

constexpr DWORD c_dwInfinite = 0xFFFFFFFF;
constexpr int c_nWaitTimeout = -1;

class CEvent {
public:
    explicit CEvent(bool fManualReset = true, bool fInitialState = false);
    ~CEvent();
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // True when signalled within the time-out (an automatic-reset event is
    // then reset again).
    bool Wait(DWORD dwTimeoutMs = c_dwInfinite);

    // Index of the first signalled event, or c_nWaitTimeout.
    static int WaitAny(std::span<CEvent* const> events, DWORD dwTimeoutMs);
    // True when all are signalled at once within the time-out.
    static bool WaitAll(std::span<CEvent* const> events, DWORD dwTimeoutMs);

private:
    struct Waiter {
        std::mutex mutex;
        std::condition_variable cv;
        bool fWoken = false;
    };
    bool TryConsumeLocked();
    void AddWaiter(Waiter* p);
    void RemoveWaiter(Waiter* p);

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_fManualReset;
    bool m_fSignalled;
    std::vector<Waiter*> m_waiters;
};

} // namespace velka
