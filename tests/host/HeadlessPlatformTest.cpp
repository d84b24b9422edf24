#include "host/HeadlessPlatform.h"

#include "common/ControlTable.h"
#include "common/TestMachine.h"
#include "host/HostSystem.h"

#include <gtest/gtest.h>

namespace {

constexpr uint64_t kMs = 1000000;

// Takes the queued timer events' identifiers.
std::vector<uint32_t> TakeTimerIds(CTestMachine& m) {
    std::vector<uint32_t> ids;
    while (m.kernel.HasEvents()) {
        EXPECT_TRUE(m.kernel.TakeEvent());
        EXPECT_EQ(m.Registers()[0], 1);
        EXPECT_EQ(m.Registers()[1], 2);
        ids.push_back(m.Registers()[4]);
    }
    return ids;
}

} // namespace

TEST(HeadlessPlatformTest, TimersFireOnTheirClockOncePerLook) {
    CHeadlessPlatform platform;
    CTestMachine m(testhelpers::ControlTable(), testhelpers::Op(testhelpers::kCodeWait));
    EXPECT_FALSE(platform.HasTimers());
    const uint64_t start = MonotonicNanoseconds();
    ASSERT_TRUE(platform.StartTimer(7, 5000));
    ASSERT_TRUE(platform.StartTimer(3, 0)); // raised to the 10 ms minimum
    EXPECT_TRUE(platform.HasTimers());
    const uint64_t due3 = platform.NextTimerDue();
    EXPECT_GE(due3, start + 10 * kMs);
    EXPECT_LT(due3, start + 5000 * kMs);

    EXPECT_EQ(platform.PostDueTimers(m.kernel, due3 - 1), 0);
    EXPECT_EQ(platform.PostDueTimers(m.kernel, due3), 1);
    EXPECT_EQ(TakeTimerIds(m), std::vector<uint32_t>{3});
    EXPECT_EQ(platform.NextTimerDue(), due3 + 10 * kMs);

    // Long after: each timer posts once, and its next expiry keeps its rhythm.
    const uint64_t late = due3 + 6000 * kMs + 5 * kMs;
    EXPECT_EQ(platform.PostDueTimers(m.kernel, late), 2);
    EXPECT_EQ(TakeTimerIds(m), (std::vector<uint32_t>{3, 7}));
    EXPECT_EQ(platform.NextTimerDue(), due3 + 6010 * kMs);
    EXPECT_EQ(platform.PostDueTimers(m.kernel, late), 0);

    // Restarting replaces the interval; stopping reports whether one ran.
    ASSERT_TRUE(platform.StartTimer(3, 1000));
    EXPECT_GE(platform.NextTimerDue(), start + 1000 * kMs);
    EXPECT_TRUE(platform.StopTimer(3));
    EXPECT_FALSE(platform.StopTimer(3));
    EXPECT_TRUE(platform.StopTimer(7));
    EXPECT_FALSE(platform.HasTimers());
}

TEST(HeadlessPlatformTest, ClocksAndBeeps) {
    CHeadlessPlatform platform;
    uint64_t frequency = 0;
    ASSERT_TRUE(platform.GetPerformanceFrequency(frequency));
    EXPECT_EQ(frequency, 1000000000u);
    const uint64_t first = platform.GetPerformanceCounter();
    EXPECT_LE(first, platform.GetPerformanceCounter());

    std::vector<std::pair<uint32_t, uint32_t>> heard;
    platform.SetBeepHandler([&](uint32_t f, uint32_t d) { heard.emplace_back(f, d); });
    platform.Beep(440, 100);
    ASSERT_EQ(platform.GetBeeps().size(), 1u);
    EXPECT_EQ(platform.GetBeeps()[0].frequency, 440u);
    EXPECT_EQ(platform.GetBeeps()[0].durationMs, 100u);
    EXPECT_EQ(heard, (std::vector<std::pair<uint32_t, uint32_t>>{{440, 100}}));

    uint32_t lines = 0;
    EXPECT_TRUE(platform.GetWheelScrollLines(lines));
    EXPECT_EQ(lines, 3u);
    const SOSVersion version = platform.GetOSVersion();
    EXPECT_GT(version.major, 0u);
}
