#include "hosts/desktop/scheduler.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace scribeline::desktop {
namespace {

TEST(Scheduler, PostedMessagesRunFirstInOrderAlsoWhenATimerPostsThem) {
    Scheduler s;
    std::vector<std::string> log;
    s.SetTimer(10, [&] {
        log.push_back("timer@" + std::to_string(s.Now()));
        s.Post([&] { log.push_back("posted by timer"); });
    });
    s.SetTimer(10, [&] { log.push_back("second timer"); });
    s.Post([&] { log.push_back("m1"); });
    s.Post([&] { log.push_back("m2"); });
    EXPECT_TRUE(log.empty()) << "posting runs nothing";
    s.Sleep(10);
    EXPECT_TRUE(log.empty()) << "sleeping runs nothing";
    s.RunDue();
    const std::vector<std::string> expected = {"m1", "m2", "timer@10", "posted by timer",
                                               "second timer"};
    EXPECT_EQ(log, expected);
}

TEST(Scheduler, AdvanceStopsWhereItIsToldAndLeavesTheClockThere) {
    Scheduler s;
    int ticks = 0;
    s.SetTimer(40, [&] { ++ticks; });
    s.Advance(1000, [&] { return ticks == 3; });
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(s.Now(), 120);
    // A stop that holds from the start runs what is due now and lets no time pass.
    s.Sleep(40);
    s.Advance(1000, [] { return true; });
    EXPECT_EQ(ticks, 4);
    EXPECT_EQ(s.Now(), 160);
    s.Advance(-5);
    EXPECT_EQ(s.Now(), 160);
}

TEST(Scheduler, ATimerWhoseCallbackLetsTimePassIsDueAnIntervalAfterItEnds) {
    Scheduler s;
    std::vector<std::int64_t> at;
    s.SetTimer(100, [&] {
        at.push_back(s.Now());
        if (at.size() == 1) {
            s.Sleep(250);
        }
    });
    s.Advance(700);
    const std::vector<std::int64_t> expected = {100, 450, 550, 650};
    EXPECT_EQ(at, expected);
    EXPECT_EQ(s.Now(), 700);
    // A callback that sleeps beyond the target carries the clock past it.
    Scheduler late;
    late.SetTimer(10, [&] { late.Sleep(500); });
    late.Advance(20);
    EXPECT_EQ(late.Now(), 510);
}

TEST(Scheduler, KillingUnknownOrOwnTimersAndBadIntervals) {
    Scheduler s;
    s.KillTimer(42);
    EXPECT_THROW(s.SetTimer(0, [] {}), PortError);
    EXPECT_THROW(s.SetTimer(-1, [] {}), PortError);
    int fired = 0;
    TimerHandle self = 0;
    const TimerHandle other = s.SetTimer(5, [&] { fired += 100; });
    self = s.SetTimer(5, [&] {
        ++fired;
        s.KillTimer(self);
        s.KillTimer(other);
    });
    EXPECT_EQ(s.ActiveTimers(), 2);
    s.Advance(50);
    EXPECT_EQ(fired, 101) << "the earlier handle runs first at the same due time";
    EXPECT_EQ(s.ActiveTimers(), 0);
}

} // namespace
} // namespace scribeline::desktop
