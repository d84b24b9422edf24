// SIGINT, SIGTERM and SIGHUP only ask the program to close; the request wakes a sleeping
// loop at once; the same signal a second time, or the end of the orderly part, ends the
// process by that signal.
#include "host/ExitSignals.h"

#include "host/HostSystem.h"

#include <gtest/gtest.h>

#include <csignal>
#include <poll.h>
#include <thread>

namespace {

// Installs the handlers as in a program started with the default actions (a test runner in
// the background may have passed some signals on as ignored).
bool InstallFresh() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, SIG_DFL);
    return InstallExitSignalHandlers();
}

class ExitSignalsTest : public testing::TestWithParam<int> {
protected:
    void SetUp() override { ASSERT_TRUE(InstallFresh()); }
    void TearDown() override { RemoveExitSignalHandlers(); }
};

bool Readable(int descriptor) {
    pollfd wake{descriptor, POLLIN, 0};
    return poll(&wake, 1, 0) == 1 && (wake.revents & POLLIN) != 0;
}

} // namespace

TEST_P(ExitSignalsTest, TheSignalOnlyAsksAndWakesTheDescriptor) {
    EXPECT_FALSE(IsExitRequested());
    EXPECT_FALSE(Readable(GetExitSignalDescriptor()));
    raise(GetParam());
    EXPECT_TRUE(IsExitRequested());
    EXPECT_EQ(GetExitSignal(), GetParam());
    EXPECT_TRUE(Readable(GetExitSignalDescriptor()));
}

TEST_P(ExitSignalsTest, TheSameSignalAgainEndsTheProcessAtOnce) {
    const int signal = GetParam();
    EXPECT_EXIT(
        {
            InstallFresh();
            raise(signal);
            if (!IsExitRequested())
                std::_Exit(3);
            raise(signal);
            std::_Exit(4);
        },
        testing::KilledBySignal(signal), "");
}

TEST_P(ExitSignalsTest, TheOrderlyPartEndsByTheSignalThatAsked) {
    const int signal = GetParam();
    EXPECT_EXIT(
        {
            InstallFresh();
            raise(signal);
            FinishExitBySignal();
        },
        testing::KilledBySignal(signal), "");
}

INSTANTIATE_TEST_SUITE_P(Signals, ExitSignalsTest, testing::Values(SIGINT, SIGTERM, SIGHUP));

TEST(ExitSignals, ASleepEndsAtItsTimeWithoutARequest) {
    ASSERT_TRUE(InstallFresh());
    const uint64_t until = MonotonicNanoseconds() + 20'000'000;
    EXPECT_FALSE(SleepUntilOrExitRequest(until));
    EXPECT_GE(MonotonicNanoseconds(), until);
    RemoveExitSignalHandlers();
}

TEST(ExitSignals, ARequestFromAnotherThreadEndsALongSleep) {
    ASSERT_TRUE(InstallFresh());
    const uint64_t start = MonotonicNanoseconds();
    std::thread sender([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        kill(getpid(), SIGTERM);
    });
    // An hour: only the request can end this sleep within the test's time.
    EXPECT_TRUE(SleepUntilOrExitRequest(start + 3600'000'000'000));
    sender.join();
    EXPECT_LT(MonotonicNanoseconds() - start, 60'000'000'000u);
    RemoveExitSignalHandlers();
}

TEST(ExitSignals, ARequestBeforeTheSleepEndsItAtOnce) {
    ASSERT_TRUE(InstallFresh());
    raise(SIGINT);
    EXPECT_TRUE(SleepUntilOrExitRequest(MonotonicNanoseconds() + 3600'000'000'000));
    RemoveExitSignalHandlers();
}

TEST(ExitSignals, ASignalTheParentIgnoresStaysIgnored) {
    for (const int signal : {SIGINT, SIGTERM})
        std::signal(signal, SIG_DFL);
    std::signal(SIGHUP, SIG_IGN);
    ASSERT_TRUE(InstallExitSignalHandlers());
    struct sigaction current {};
    sigaction(SIGHUP, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_IGN);
    raise(SIGHUP);
    EXPECT_FALSE(IsExitRequested());
    RemoveExitSignalHandlers();
}

TEST(ExitSignals, WithoutARequestTheEndIsAFailureStatus) {
    EXPECT_EXIT(FinishExitBySignal(), testing::ExitedWithCode(1), "");
}
