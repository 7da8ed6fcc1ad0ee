// The frame timer's arithmetic, driven by a test clock: every call gets the
// tick count it would read, and the sleeps it asks for are recorded.
#include "args.h"
#include "timer_step.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using orvix::TimerState;
using orvix::timer_step;
using orvix::to_int;

// A loop driven by a clock that only moves when the test says so: work
// between calls, or the timer's own sleep.
struct Loop {
    TimerState t;
    uint32_t now = 0;
    std::vector<uint32_t> sleeps;  // every sleep requested, in order
    bool slept = false;            // whether the last call slept

    // One timer call at the current tick; the clock then stands at the end
    // of the sleep, if there was one.
    void call(int32_t target) {
        slept = false;
        timer_step(t, target, now, [this](uint32_t ms) {
            sleeps.push_back(ms);
            slept = true;
            now += ms;
        });
    }
    void call_at(uint32_t tick, int32_t target) {
        now = tick;
        call(target);
    }
};

// --- dt, fps and the tick count -------------------------------------------

TEST(TimerResults, FirstCallAt800GivesSinglePrecisionDtAndNoRate) {
    Loop l;
    l.call_at(800, 0);
    EXPECT_EQ(static_cast<double>(l.t.dt), static_cast<double>(0.8f));
    EXPECT_DOUBLE_EQ(static_cast<double>(l.t.dt), 0.800000011920929);
    EXPECT_NE(static_cast<double>(l.t.dt), 0.8);  // not the double 0.8
    EXPECT_EQ(l.t.fps, 0.0f);
    EXPECT_EQ(l.t.currTime, 800);
    EXPECT_EQ(l.t.frames, 1);
}

TEST(TimerResults, FirstCallAt1500ClosesTheFirstWindowWithOneCall) {
    Loop l;
    l.call_at(1500, 0);
    EXPECT_EQ(l.t.dt, 1.5f);
    EXPECT_EQ(l.t.fps, 1.0f);
    EXPECT_EQ(l.t.currTime, 1500);
    EXPECT_EQ(l.t.prevFpsUpdate, 1500);  // the next window opens here
    EXPECT_EQ(l.t.frames, 0);
}

TEST(TimerResults, CallsSixteenMsApartGiveTheFloatValueOf0016) {
    Loop l;
    l.call_at(2000, 0);
    l.call_at(2016, 0);
    EXPECT_EQ(l.t.dt, 0.016f);
    EXPECT_DOUBLE_EQ(static_cast<double>(l.t.dt), 0.01600000075995922);
    EXPECT_NE(static_cast<double>(l.t.dt), 0.016);
    EXPECT_EQ(l.t.prevTime, 2000);
    EXPECT_EQ(l.t.currTime, 2016);
}

TEST(TimerResults, ExactlyOneSecondKeepsTheWindowOpenOneMoreMillisecondClosesIt) {
    Loop l;
    l.call_at(1500, 0);  // closes the first window, opens one at 1500
    l.call_at(2000, 0);
    l.call_at(2500, 0);  // exactly 1000 ms: not enough
    EXPECT_EQ(l.t.fps, 1.0f);
    EXPECT_EQ(l.t.prevFpsUpdate, 1500);
    EXPECT_EQ(l.t.frames, 2);
    l.call_at(2501, 0);  // 1001 ms: closes, and counts itself
    EXPECT_EQ(l.t.fps, 3.0f);
    EXPECT_EQ(l.t.prevFpsUpdate, 2501);
    EXPECT_EQ(l.t.frames, 0);
    l.call_at(2600, 0);  // the first call of the new window
    EXPECT_EQ(l.t.frames, 1);
    EXPECT_EQ(l.t.fps, 3.0f);
}

TEST(TimerResults, FirstWindowOpensAtTickZero) {
    Loop l;
    l.call_at(400, 0);
    l.call_at(1000, 0);  // 1000 ms after SDL's start: still open
    EXPECT_EQ(l.t.fps, 0.0f);
    l.call_at(1001, 0);
    EXPECT_EQ(l.t.fps, 3.0f);
}

TEST(TimerResults, TheClockIsReadOnceSoTheNextDtIncludesTheSleep) {
    Loop l;
    l.t.currTime = 494;
    l.t.prevFpsUpdate = 400;
    l.t.nextFrame = 510;
    l.call_at(500, 60);
    EXPECT_EQ(l.t.currTime, 500);  // the third result: before the sleep
    EXPECT_EQ(l.t.dt, 0.006f);
    ASSERT_EQ(l.now, 510u);
    l.call(60);
    EXPECT_EQ(l.t.dt, 0.010f);  // 500 -> 510, all of it the sleep
}

// --- pacing -----------------------------------------------------------------

TEST(TimerPacing, EarlyCallSleepsToItsSlotAndAdvancesOneStep) {
    Loop l;
    l.t.nextFrame = 510;
    l.call_at(500, 60);
    EXPECT_EQ(l.sleeps, std::vector<uint32_t>{10});
    EXPECT_EQ(l.t.nextFrame, 526);
    EXPECT_EQ(l.t.currTime, 500);
}

TEST(TimerPacing, LateCallDoesNotSleepAndStillAdvancesOneStep) {
    Loop l;
    l.t.nextFrame = 510;
    l.call_at(540, 60);
    EXPECT_TRUE(l.sleeps.empty());
    EXPECT_EQ(l.t.nextFrame, 526);  // still behind the clock
}

TEST(TimerPacing, CallOnTheBoundaryDoesNotSleep) {
    Loop l;
    l.t.nextFrame = 510;
    l.call_at(510, 60);
    EXPECT_TRUE(l.sleeps.empty());
    EXPECT_EQ(l.t.nextFrame, 526);
}

TEST(TimerPacing, StepIsWholeMillisecondsOfThousandOverTarget) {
    const struct { int32_t target, step; } cases[] = {
        {60, 16}, {30, 33}, {50, 20}, {3, 333}, {1, 1000}, {1000, 1}, {999, 1}, {7, 142}};
    for (const auto &c : cases) {
        Loop l;
        l.t.nextFrame = 100;
        l.call_at(100, c.target);
        EXPECT_EQ(l.t.nextFrame, 100 + c.step) << "target " << c.target;
    }
}

TEST(TimerPacing, TargetsAboveThousandHaveStepZero) {
    for (int32_t target : {1001, 5000, INT32_MAX}) {
        Loop l;
        l.t.nextFrame = 300;
        l.call_at(400, target);
        EXPECT_EQ(l.t.nextFrame, 300) << target;
        EXPECT_TRUE(l.sleeps.empty()) << target;
    }
    // Before the clock has passed nextFrame a call still waits for it, once.
    Loop l;
    l.t.nextFrame = 510;
    l.call_at(500, 1001);
    EXPECT_EQ(l.sleeps, std::vector<uint32_t>{10});
    EXPECT_EQ(l.t.nextFrame, 510);
    l.call(1001);
    l.call(1001);
    EXPECT_EQ(l.sleeps.size(), 1u);
    EXPECT_EQ(l.t.nextFrame, 510);
}

TEST(TimerPacing, NoTargetNeverSleepsNorMovesTheScheduleButCountsTheCall) {
    for (int32_t target : {0, -5, to_int(0.9), to_int(-0.5), INT32_MIN}) {
        Loop l;
        l.t.nextFrame = 510;
        l.call_at(500, target);
        l.call_at(505, target);
        EXPECT_TRUE(l.sleeps.empty()) << target;
        EXPECT_EQ(l.t.nextFrame, 510) << target;
        EXPECT_EQ(l.t.frames, 2) << target;
        EXPECT_EQ(l.t.dt, 0.005f) << target;
        EXPECT_EQ(l.t.currTime, 505) << target;
    }
}

TEST(TimerPacing, FractionalTargetPacesLikeItsIntegerPart) {
    ASSERT_EQ(to_int(60.9), 60);
    Loop a, b;
    for (int i = 0; i < 200; ++i) {
        a.call(to_int(60.9));
        b.call(60);
        a.now += 3;
        b.now += 3;
    }
    EXPECT_EQ(a.sleeps, b.sleeps);
    EXPECT_EQ(a.t.nextFrame, b.t.nextFrame);
    EXPECT_EQ(a.t.nextFrame, 200 * 16);
}

TEST(TimerPacing, SixtyOnSlotBoundariesReportsSixtyThree) {
    Loop l;
    // The clock moves only through the timer's own sleeps, so after start-up
    // every call begins exactly on its slot boundary.
    std::vector<float> rates;
    for (int i = 0; i < 400; ++i) {
        l.call(60);
        if (l.t.frames == 0) rates.push_back(l.t.fps);  // this call closed a window
    }
    ASSERT_GE(rates.size(), 5u);
    // The first window also holds the two calls made at tick 0 (the first
    // does not sleep, the second sleeps to 16), so it counts 65.
    EXPECT_EQ(rates[0], 65.0f);
    for (size_t i = 1; i < rates.size(); ++i) EXPECT_EQ(rates[i], 63.0f) << "window " << i;
    // Each closing call is 63 steps of 16 ms, 1008 ms, after the previous one.
    for (size_t i = 1; i < l.sleeps.size(); ++i) ASSERT_EQ(l.sleeps[i], 16u);
}

TEST(TimerPacing, StartUpRunsUnpacedUntilTheScheduleOvertakesTheClock) {
    // First call 1.5 s after SDL's start, target 50 (20 ms), 5 ms of work.
    Loop l;
    l.now = 1500;
    int unpaced = 0;
    for (int i = 0; i < 300; ++i) {
        l.call(50);
        if (l.sleeps.empty()) ++unpaced;
        l.now += 5;
    }
    // Lag 1500 ms shrinks by 15 ms a frame: 101 calls start at or after their
    // slot, the 102nd is the first that finds the clock behind the schedule.
    EXPECT_EQ(unpaced, 101);
    ASSERT_FALSE(l.sleeps.empty());
    for (size_t i = 1; i < l.sleeps.size(); ++i) ASSERT_EQ(l.sleeps[i], 15u) << i;
}

TEST(TimerPacing, OverrunFramesAreMadeUpByUnpacedCalls) {
    Loop l;
    l.call(50);  // tick 0: sets the schedule going
    for (int i = 0; i < 20; ++i) {
        l.now += 5;
        l.call(50);
    }
    ASSERT_TRUE(l.slept);
    // One frame of 105 ms: four slots missed, 85 ms behind the schedule.
    l.now += 105;
    int caught_up_after = -1;
    for (int i = 0; i < 20 && caught_up_after < 0; ++i) {
        l.call(50);
        if (l.slept) caught_up_after = i;
        l.now += 5;
    }
    // The lag shrinks by 15 ms per call (20 ms step, 5 ms work): 85 -> 70 ->
    // ... -> 10 -> -5, so six calls run unpaced and the seventh sleeps.
    EXPECT_EQ(caught_up_after, 6);
    EXPECT_EQ(l.sleeps.back(), 5u);
}

TEST(TimerPacing, ScheduleIsAbsoluteAndNoSleepIsLongerThanTheStep) {
    Loop l;
    uint32_t seed = 12345;
    int32_t boundary = 0;
    for (int i = 0; i < 2000; ++i) {
        int32_t before = l.t.nextFrame;
        l.call(30);
        EXPECT_EQ(l.t.nextFrame, before + 33);
        if (l.slept) {
            EXPECT_LE(l.sleeps.back(), 33u);
            EXPECT_EQ(l.now, static_cast<uint32_t>(before));  // woke on the boundary
        }
        boundary = l.t.nextFrame;
        seed = seed * 1103515245u + 12345u;
        l.now += (seed >> 16) % 41;  // 0 to 40 ms of work
    }
    EXPECT_EQ(boundary, 2000 * 33);
}

TEST(TimerPacing, CallsWithoutTargetLeaveTheScheduleBehindForLaterCatchUp) {
    Loop l;
    for (int i = 0; i < 10; ++i) l.call(50);  // paced: the clock follows the schedule
    const int32_t schedule = l.t.nextFrame;
    for (int i = 0; i < 50; ++i) {
        l.now += 20;
        l.call(0);
    }
    EXPECT_EQ(l.t.nextFrame, schedule);
    ASSERT_EQ(l.now - static_cast<uint32_t>(schedule), 980u);
    // 980 ms behind: with 20 ms steps and 10 ms of work the lag shrinks 10 ms
    // a call, so 99 calls (lag 980 down to 0) run unpaced before one sleeps.
    int unpaced = 0;
    for (;;) {
        l.call(50);
        if (l.slept || unpaced > 1000) break;
        ++unpaced;
        l.now += 10;
    }
    EXPECT_EQ(unpaced, 99);
    EXPECT_EQ(l.sleeps.back(), 10u);
}

// --- the millisecond counter past 2^31 and past 2^32 ------------------------

TEST(TimerWrap, SteadyPacingCrossesTwoToThe31AndTheUnsignedWrap) {
    for (uint32_t start : {0x80000000u - 500u, 0xFFFFFFFFu - 500u}) {
        // Every call comes 4 ms after its slot boundary and sleeps 12 ms.
        Loop l;
        l.now = start + 4;
        l.t.currTime = static_cast<int32_t>(start - 12);
        l.t.prevFpsUpdate = static_cast<int32_t>(start - 12);
        l.t.nextFrame = static_cast<int32_t>(start + 16);
        for (int i = 0; i < 200; ++i) {
            l.call(60);
            ASSERT_EQ(l.t.dt, 0.016f) << "call " << i;
            l.now += 4;
        }
        ASSERT_EQ(l.sleeps.size(), 200u);
        for (uint32_t s : l.sleeps) ASSERT_EQ(s, 12u);
        EXPECT_EQ(l.t.fps, 63.0f);
        EXPECT_EQ(static_cast<uint32_t>(l.t.nextFrame), start + 16u + 200u * 16u);
    }
}

TEST(TimerWrap, LateCallAcrossTwoToThe31DoesNotSleep) {
    // The clock has just passed 2^31 and reads negative as a signed value; the
    // schedule is 4 ms behind it, still below 2^31. A plain signed comparison
    // would see the clock far behind and sleep for weeks.
    Loop l;
    l.t.currTime = INT32_MAX - 20;
    l.t.nextFrame = INT32_MAX - 2;
    l.call_at(0x80000001u, 60);
    EXPECT_TRUE(l.sleeps.empty());
    EXPECT_EQ(l.t.dt, 0.022f);
}

TEST(TimerWrap, EarlyCallAcrossTwoToThe31SleepsToTheSlot) {
    Loop l;
    l.t.currTime = INT32_MAX - 20;
    l.t.nextFrame = INT32_MIN + 5;  // the slot lies just past 2^31
    l.call_at(0x7FFFFFFFu, 60);
    EXPECT_EQ(l.sleeps, std::vector<uint32_t>{6});
    EXPECT_EQ(l.t.nextFrame, INT32_MIN + 21);
}

TEST(TimerWrap, FirstCallMoreThanTwoToThe31AfterStartNeitherSleepsNorGoesNegative) {
    Loop l;
    l.call_at(0x80000000u + 5000u, 60);
    EXPECT_TRUE(l.sleeps.empty());
    EXPECT_GT(l.t.dt, 2147483.0f);  // 2^31 + 5000 ms, in seconds
    EXPECT_EQ(l.t.fps, 1.0f);       // the first window closes as usual
    l.call(60);
    l.call(60);
    EXPECT_EQ(l.sleeps.size(), 0u);  // the schedule is 24.8 days behind
}

TEST(TimerWrap, ReportedTickCountKeepsRisingPastTwoToThe31) {
    Loop l;
    l.call_at(0x7FFFFFFFu, 0);
    EXPECT_EQ(orvix::reported_ticks(l.t), 2147483647.0);
    l.call_at(0x80000000u, 0);
    EXPECT_EQ(orvix::reported_ticks(l.t), 2147483648.0);
    l.call_at(0xFFFFFFFFu, 0);
    EXPECT_EQ(orvix::reported_ticks(l.t), 4294967295.0);
    l.call_at(3, 0);  // SDL's own count wraps to 0 after 2^32 ms, and so does this one
    EXPECT_EQ(orvix::reported_ticks(l.t), 3.0);
    EXPECT_EQ(l.t.dt, 0.004f);
}

TEST(TimerWrap, FrameCounterDoesNotOverflowWhileTheClockStands) {
    Loop l;
    l.t.frames = INT32_MAX;
    l.call_at(0, 0);  // the window never closes at tick 0
    EXPECT_EQ(l.t.frames, INT32_MIN);
}

}  // namespace
