#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/VirtualEventLoop.h"
#include "tests/support/VirtualTimer.h"

using namespace KDAutoUpdate;

namespace {

// Records "<virtual ms>:<key>" for every tick.
struct TickLog {
    VirtualEventLoop& loop;
    std::vector<std::string> entries;
    std::function<void(const std::string&)> Handler() {
        return [this](const std::string& key) {
            entries.push_back(std::to_string(loop.NowMs()) + ":" + key);
        };
    }
};

} // namespace

TEST(VirtualEventLoopTest, TwoTimersTickInTimeOrder) {
    VirtualEventLoop loop;
    TickLog log{loop, {}};
    auto timer = loop.CreateTimer();
    timer->SetTimerHandler(log.Handler());
    timer->AddTimer("Check", 1000, 0);
    timer->AddTimer("IsProcessing", 2000, 0);
    timer->EnableTimer("IsProcessing", true);
    timer->EnableTimer("Check", true);

    loop.Advance(4500);

    // At equal times the timer enabled first ticks first.
    EXPECT_EQ(log.entries,
              (std::vector<std::string>{"1000:Check", "2000:IsProcessing", "2000:Check",
                                        "3000:Check", "4000:IsProcessing", "4000:Check"}));
    EXPECT_EQ(loop.NowMs(), 4500);
    EXPECT_EQ(loop.TickCount("Check"), 4);
    EXPECT_EQ(loop.TickCount("IsProcessing"), 2);
    EXPECT_EQ(loop.TotalTicks(), 6);
}

TEST(VirtualEventLoopTest, TimersDoNotTickUntilEnabledAndRestartWhenEnabledAgain) {
    VirtualEventLoop loop;
    TickLog log{loop, {}};
    auto timer = loop.CreateTimer();
    timer->SetTimerHandler(log.Handler());
    timer->AddTimer("Check", 1000, 0);
    loop.Advance(5000);
    EXPECT_TRUE(log.entries.empty());
    EXPECT_FALSE(loop.NextDueMs().has_value());

    timer->EnableTimer("Check", true);
    loop.Advance(1500); // tick at 6000
    timer->EnableTimer("Check", false);
    loop.Advance(3000);
    timer->EnableTimer("Check", true); // at 9500: next tick at 10500
    timer->EnableTimer("Check", true); // enabling again keeps the phase
    loop.Advance(1000);

    EXPECT_EQ(log.entries, (std::vector<std::string>{"6000:Check", "10500:Check"}));
    EXPECT_FALSE(timer->EnableTimer("Unknown", true));
    EXPECT_FALSE(timer->AddTimer("Check", 50, 0));
}

TEST(VirtualEventLoopTest, HandlerMayStopRemoveOrDestroyDuringItsTick) {
    VirtualEventLoop loop;
    std::unique_ptr<KDHiResTimer> timer = loop.CreateTimer();
    int checkTicks = 0;
    int processingTicks = 0;
    timer->AddTimer("Check", 1000, 0);
    timer->AddTimer("IsProcessing", 2000, 0);
    timer->SetTimerHandler([&](const std::string& key) {
        if (key == "Check" && ++checkTicks == 3)
            timer->EnableTimer("Check", false);
        if (key == "IsProcessing" && ++processingTicks == 1)
            timer->RemoveTimer("IsProcessing");
    });
    timer->EnableTimer("Check", true);
    timer->EnableTimer("IsProcessing", true);
    loop.Advance(10000);
    EXPECT_EQ(checkTicks, 3);
    EXPECT_EQ(processingTicks, 1);
    EXPECT_FALSE(timer->IsTimerEnabled("Check"));
    EXPECT_FALSE(timer->EnableTimer("IsProcessing", true));
    EXPECT_EQ(loop.EnabledTimerCount(), 0);

    int ticks = 0;
    timer->SetTimerHandler([&](const std::string&) {
        ++ticks;
        timer.reset();
    });
    timer->EnableTimer("Check", true);
    loop.Advance(10000);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(timer, nullptr);
}

TEST(VirtualEventLoopTest, PostedTasksRunInOrderWithoutTimePassing) {
    VirtualEventLoop loop;
    std::vector<int> order;
    loop.Post([&] {
        order.push_back(1);
        loop.Post([&] { order.push_back(3); });
    });
    loop.Post([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(loop.PendingTaskCount(), 2u);

    loop.ProcessPendingEvents();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(loop.NowMs(), 0);
}

TEST(VirtualEventLoopTest, TasksPostedByATickRunBeforeTheNextTick) {
    VirtualEventLoop loop;
    std::vector<std::string> order;
    auto timer = loop.CreateTimer();
    timer->AddTimer("A", 100, 0);
    timer->SetTimerHandler([&](const std::string&) {
        order.push_back("tick" + std::to_string(loop.NowMs()));
        loop.Post([&] { order.push_back("task" + std::to_string(loop.NowMs())); });
    });
    timer->EnableTimer("A", true);
    loop.PostAfter(150, [&] { order.push_back("later" + std::to_string(loop.NowMs())); });
    loop.Advance(200);
    EXPECT_EQ(order,
              (std::vector<std::string>{"tick100", "task100", "later150", "tick200", "task200"}));
}

TEST(VirtualEventLoopTest, RunUntilStopsWhenTheConditionHolds) {
    VirtualEventLoop loop;
    auto timer = loop.CreateTimer();
    int ticks = 0;
    timer->AddTimer("Check", 1000, 0);
    timer->SetTimerHandler([&](const std::string&) { ++ticks; });
    timer->EnableTimer("Check", true);

    EXPECT_TRUE(loop.RunUntil([&] { return ticks == 3; }, 60000));
    EXPECT_EQ(loop.NowMs(), 3000);

    bool posted = false;
    loop.Post([&] { posted = true; });
    EXPECT_TRUE(loop.RunUntil([&] { return posted; }, 0));
    EXPECT_EQ(loop.NowMs(), 3000);
}

TEST(VirtualEventLoopTest, RunUntilTimesOutInVirtualTime) {
    VirtualEventLoop loop;
    auto timer = loop.CreateTimer();
    int ticks = 0;
    timer->AddTimer("Check", 1000, 0);
    timer->SetTimerHandler([&](const std::string&) { ++ticks; });
    timer->EnableTimer("Check", true);

    EXPECT_FALSE(loop.RunUntil([] { return false; }, 10500));
    EXPECT_EQ(loop.NowMs(), 10500);
    EXPECT_EQ(ticks, 10);

    // Nothing scheduled at all: time still moves to the deadline.
    timer->EnableTimer("Check", false);
    EXPECT_FALSE(loop.RunUntil([] { return false; }, 500));
    EXPECT_EQ(loop.NowMs(), 11000);
}

TEST(VirtualEventLoopTest, NestedRunsInsideATickKeepTimeMovingForward) {
    VirtualEventLoop loop;
    auto timer = loop.CreateTimer();
    std::vector<long long> times;
    int inner = 0;
    timer->AddTimer("Outer", 1000, 0);
    timer->AddTimer("Inner", 300, 0);
    timer->SetTimerHandler([&](const std::string& key) {
        times.push_back(loop.NowMs());
        if (key == "Outer" && times.size() == 1) {
            // A modal dialog: its own loop runs until the user answers.
            timer->EnableTimer("Inner", true);
            timer->SetTimerHandler([&](const std::string& k) {
                times.push_back(loop.NowMs());
                inner += k == "Inner" ? 1 : 0;
            });
            loop.RunUntil([&] { return inner == 2; }, 5000);
            timer->EnableTimer("Inner", false);
        }
    });
    timer->EnableTimer("Outer", true);
    loop.Advance(2000);
    EXPECT_EQ(times, (std::vector<long long>{1000, 1300, 1600, 2000}));
    EXPECT_EQ(loop.NowMs(), 2000);
}

TEST(VirtualEventLoopTest, WallClockStartsAtAFixedDateAndFollowsVirtualTime) {
    VirtualEventLoop loop;
    EXPECT_EQ(loop.NowLocalSeconds(), CivilLocalSeconds(2024, 5, 17, 14, 3, 59));
    loop.Advance(1999);
    EXPECT_EQ(loop.NowLocalSeconds(), CivilLocalSeconds(2024, 5, 17, 14, 4, 0));
    loop.SetNowLocalSeconds(CivilLocalSeconds(2009, 9, 14, 18, 35, 52));
    loop.Advance(8000);
    EXPECT_EQ(loop.NowLocalSeconds(), CivilLocalSeconds(2009, 9, 14, 18, 36, 0));
    // The calendar arithmetic itself, across a leap day.
    EXPECT_EQ(CivilLocalSeconds(1970, 1, 1), 0);
    EXPECT_EQ(CivilLocalSeconds(2024, 3, 1) - CivilLocalSeconds(2024, 2, 28), 2 * 86400);
    EXPECT_EQ(CivilLocalSeconds(2000, 1, 1), 946684800);
}

TEST(VirtualEventLoopTest, TimerOutlivingItsLoopIsHarmless) {
    std::unique_ptr<KDHiResTimer> timer;
    {
        VirtualEventLoop loop;
        timer = loop.CreateTimer();
        timer->AddTimer("Check", 1000, 0);
        EXPECT_TRUE(timer->EnableTimer("Check", true));
    }
    EXPECT_TRUE(timer->EnableTimer("Check", false));
    EXPECT_FALSE(timer->EnableTimer("Check", true)); // no loop left to tick on
    EXPECT_FALSE(timer->IsTimerEnabled("Check"));
    EXPECT_TRUE(timer->RemoveTimer("Check"));
}
