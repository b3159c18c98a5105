// CAtExit: a start-up guard holding one clean-up function, which runs when
// the guard is destroyed. The entry point creates one right after each
// start call, so the stop calls run in exactly the reverse order, on a
// normal return as well as when the entry point unwinds.
#pragma once
#include <functional>
#include <utility>

namespace velka {

class CAtExit {
public:
    explicit CAtExit(std::function<void()> fnCleanup) : m_fnCleanup(std::move(fnCleanup)) {}
    ~CAtExit() { Run(); }
    CAtExit(const CAtExit&) = delete;
    CAtExit& operator=(const CAtExit&) = delete;

    // Runs the clean-up now (once); the destructor then does nothing.
    void Run() {
        if (m_fnCleanup) {
            auto fn = std::move(m_fnCleanup);
            m_fnCleanup = nullptr;
            fn();
        }
    }

private:
    std::function<void()> m_fnCleanup;
};

} // namespace velka
