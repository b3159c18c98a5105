#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/event.h"

namespace velka {
namespace {

TEST(Event, ManualStaysSetAutoResetsAfterOneWait) {
    CEvent manual(true, false);
    EXPECT_FALSE(manual.Wait(0));
    manual.Set();
    EXPECT_TRUE(manual.Wait(0));
    EXPECT_TRUE(manual.Wait(0));
    manual.Reset();
    EXPECT_FALSE(manual.Wait(10));

    CEvent automatic(false, true);
    EXPECT_TRUE(automatic.Wait(0));
    EXPECT_FALSE(automatic.Wait(0));
}

TEST(Event, WaitAnyReturnsTheSignalledIndexAcrossThreads) {
    CEvent a(true), b(false);
    CEvent* events[] = {&a, &b};
    EXPECT_EQ(CEvent::WaitAny(events, 20), c_nWaitTimeout);
    std::thread t([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        b.Set();
    });
    EXPECT_EQ(CEvent::WaitAny(events, 5000), 1);
    t.join();
    EXPECT_FALSE(b.IsSet()); // automatic reset consumed by the wait
}

TEST(Event, WaitAllNeedsEveryEvent) {
    CEvent a(true), b(true);
    CEvent* events[] = {&a, &b};
    a.Set();
    EXPECT_FALSE(CEvent::WaitAll(events, 20));
    std::thread t([&] { b.Set(); });
    EXPECT_TRUE(CEvent::WaitAll(events, 5000));
    t.join();
}

TEST(Event, ManyWaitersAndSettersDoNotLoseWakeUps) {
    CEvent stop(true);
    std::atomic<int> cWoken{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&] {
            CEvent local(false);
            CEvent* events[] = {&local, &stop};
            if (CEvent::WaitAny(events, 10000) == 1) ++cWoken;
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    stop.Set();
    for (auto& t : threads) t.join();
    EXPECT_EQ(cWoken.load(), 8);
}

} // namespace
} // namespace velka
