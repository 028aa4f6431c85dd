#include "hosts/desktop/headless_desktop.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace scribeline::desktop {
namespace {

TEST(VirtualClock, SleepLetsTimePassButRunsNothing) {
    HeadlessDesktop d;
    int fired = 0;
    d.SetTimer(100, [&] { ++fired; });
    d.Sleep(1000);
    EXPECT_EQ(d.TickCount(), 1000);
    EXPECT_EQ(fired, 0);
    // The overdue periodic timer fires once at the next pump, not ten times.
    d.DoEvents();
    EXPECT_EQ(fired, 1);
    d.DoEvents();
    EXPECT_EQ(fired, 1);
    d.AdvanceTime(99);
    EXPECT_EQ(fired, 1);
    d.AdvanceTime(1);
    EXPECT_EQ(fired, 2);
}

TEST(VirtualClock, AdvanceRunsTimersInTimeOrderAtTheirDueTimes) {
    HeadlessDesktop d;
    std::vector<std::pair<char, std::int64_t>> log;
    d.SetTimer(300, [&] { log.emplace_back('a', d.TickCount()); });
    d.SetTimer(200, [&] { log.emplace_back('b', d.TickCount()); });
    d.AdvanceTime(650);
    const std::vector<std::pair<char, std::int64_t>> expected = {
        {'b', 200}, {'a', 300}, {'b', 400}, {'a', 600}, {'b', 600}};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(d.TickCount(), 650);
}

TEST(VirtualClock, KilledTimerStopsEvenFromItsOwnCallback) {
    HeadlessDesktop d;
    int fired = 0;
    TimerHandle t = 0;
    t = d.SetTimer(10, [&] {
        ++fired;
        d.KillTimer(t);
    });
    d.AdvanceTime(100);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(d.ActiveTimers(), 0);
    EXPECT_THROW(d.SetTimer(0, [] {}), PortError);
}

TEST(VirtualClock, TimerCallbackThatPumpsIsNotReentered) {
    HeadlessDesktop d;
    int depth = 0, maxDepth = 0, fired = 0;
    d.SetTimer(10, [&] {
        ++fired;
        maxDepth = std::max(maxDepth, ++depth);
        d.Sleep(50);
        d.DoEvents();
        --depth;
    });
    d.AdvanceTime(10);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(fired, 1);
}

TEST(VirtualClock, TimerAndNowFollowTheClock) {
    DesktopOptions o;
    o.start = {2009, 3, 14, 23, 59, 58};
    HeadlessDesktop d(o);
    EXPECT_FLOAT_EQ(d.Timer(), 86398.0f);
    d.Sleep(1500);
    EXPECT_FLOAT_EQ(d.Timer(), 86399.5f);
    d.Sleep(1000); // past midnight the timer starts again from 0
    EXPECT_FLOAT_EQ(d.Timer(), 0.5f);
    const DateTime now = d.Now();
    EXPECT_EQ(now.year, 2009);
    EXPECT_EQ(now.month, 3);
    EXPECT_EQ(now.day, 15);
    EXPECT_EQ(now.hour, 0);
    EXPECT_EQ(now.minute, 0);
    EXPECT_EQ(now.second, 0);
}

TEST(Random, SeedableAndInRange) {
    DesktopOptions o;
    o.randomSeed = 7;
    HeadlessDesktop a(o), b(o);
    for (int i = 0; i < 1000; ++i) {
        const double x = a.Rnd();
        ASSERT_GE(x, 0.0);
        ASSERT_LT(x, 1.0);
        ASSERT_EQ(x, b.Rnd());
    }
}

TEST(TempFolder, PerInstanceEndsWithSeparatorAndIsRemoved) {
    std::string first;
    {
        HeadlessDesktop a, b;
        first = a.GetTempPath();
        EXPECT_NE(first, b.GetTempPath());
        ASSERT_EQ(first.back(), '/');
        EXPECT_TRUE(std::filesystem::is_directory(first));
        std::ofstream(first + "x.txt") << "x";
        EXPECT_EQ(a.GetModuleFolder() + "/", first);
    }
    EXPECT_FALSE(std::filesystem::exists(first));

    const auto given = std::filesystem::temp_directory_path() / "scribeline-given-folder";
    std::filesystem::remove_all(given);
    {
        DesktopOptions o;
        o.tempFolder = given;
        HeadlessDesktop c(o);
        EXPECT_EQ(c.GetTempPath(), std::filesystem::canonical(given).string() + "/");
    }
    EXPECT_TRUE(std::filesystem::exists(given)) << "a folder the caller gave is kept";
    std::filesystem::remove_all(given);
}

} // namespace
} // namespace scribeline::desktop
