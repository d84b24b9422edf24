// Closing tarquil-run from outside while a program runs. SIGINT, SIGTERM and SIGHUP close it
// the orderly way: the machine stops as at the end of a run, so the disk image keeps what
// the program wrote and, with --config-dir, the user settings file is rewritten; then the
// runner ends by that signal. A crash (SIGKILL) mid-run costs neither the image nor the
// user settings file a byte.
#include "common/DiskWriterProgram.h"
#include "common/FileTestHelpers.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace testhelpers;

namespace {

using namespace std::chrono_literals;
constexpr auto kPatience = 30s; // far more than any of these steps takes

// tarquil-run as a child process with its output in files, for tests that end it from
// outside.
class CRunnerChild {
public:
    CRunnerChild(const std::vector<std::string>& arguments, const std::string& outputPrefix) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, (outputPrefix + ".out").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, (outputPrefix + ".err").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        // The runner starts with the default actions, as from a terminal, whatever this
        // test process inherited.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&defaults, signal);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

        std::vector<std::string> all = {TARQUIL_RUN_PATH};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : all)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid, all[0].c_str(), &actions, &attributes, argv.data(), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    ~CRunnerChild() {
        if (pid > 0 && !Wait()) {
            kill(pid, SIGKILL);
            Wait();
        }
    }
    CRunnerChild(const CRunnerChild&) = delete;
    CRunnerChild& operator=(const CRunnerChild&) = delete;

    bool Started() const { return pid > 0; }
    void Signal(int signal) { kill(pid, signal); }
    // Waits for the end (at most kPatience); false when the runner is still running.
    bool Wait() {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (std::chrono::steady_clock::now() < deadline) {
            const pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid) {
                pid = -1;
                return true;
            }
            if (done < 0 && errno != EINTR)
                return false;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
    int Status() const { return status; }

private:
    pid_t pid = -1;
    int status = 0;
};

// Waits until the file holds `expected` (the runner writes through as the program runs).
bool WaitForContent(const std::string& path, const std::string& expected) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        if (ReadBytes(path) == expected)
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

struct SSignalCase {
    int signal;
    EAfterWrite after;
};

std::string CaseName(const testing::TestParamInfo<SSignalCase>& info) {
    const char* signal = info.param.signal == SIGINT    ? "Interrupt"
                         : info.param.signal == SIGTERM ? "Terminate"
                         : info.param.signal == SIGHUP  ? "HangUp"
                                                        : "Kill";
    const char* after = info.param.after == EAfterWrite::Busy        ? "Busy"
                        : info.param.after == EAfterWrite::LongTimer ? "Sleeping"
                                                                     : "Waiting";
    return std::string(signal) + "While" + after;
}

class DataSafetyTest : public testing::TestWithParam<SSignalCase> {
protected:
    void SetUp() override { ASSERT_TRUE(WriteBytes(image, original)); }

    std::string Output(const char* which) { return ReadBytes(dir + "runner." + which); }
    // Waits until the program's writes are in the image, then closes the runner by the
    // signal; it must end by that very signal.
    void CloseAfterTheWrite(CRunnerChild& runner, int signal) {
        ASSERT_TRUE(runner.Started());
        ASSERT_TRUE(WaitForContent(image, written)) << Output("err");
        runner.Signal(signal);
        ASSERT_TRUE(runner.Wait()) << "the runner did not end after signal " << signal;
        EXPECT_TRUE(WIFSIGNALED(runner.Status()) && WTERMSIG(runner.Status()) == signal)
            << "status " << runner.Status() << "\n"
            << Output("err");
    }

    CTemporaryDirectory temporary;
    const std::string dir = temporary.path + "/";
    const std::string image = dir + "writer.disk";
    const std::string original = DiskWriterImage(GetParam().after);
    const std::string written = DiskImageAfterWrite(original);
};

// The same with the machine of a settings directory.
class DataSafetySettingsTest : public DataSafetyTest {
protected:
    void SetUp() override {
        DataSafetyTest::SetUp();
        ASSERT_TRUE(WriteBytes(dir + "Tarquil1.ini", "[Memory]\r\nSize=64k\r\n[Kernel]\r\n"
                                                     "Priority=3\r\n[Disks]\r\nCount=2\r\n"
                                                     "Remember=0-1\r\n"));
        ASSERT_TRUE(WriteBytes(dir + "Tarquil2.ini", kUserSettingsBefore));
    }

    static constexpr const char* kUserSettingsBefore = "[Disks]\r\n1=somewhere.disk\r\n";
};

} // namespace

// A recording that was finished: its header counts all the sound behind it.
bool IsFinishedRecording(const std::string& wav) {
    if (wav.size() <= 44 || wav.compare(0, 4, "RIFF") != 0)
        return false;
    uint32_t dataBytes = 0;
    std::memcpy(&dataBytes, wav.data() + 40, 4);
    return dataBytes == wav.size() - 44;
}

TEST_P(DataSafetyTest, TheImageKeepsTheWritesWhenTheRunnerIsClosed) {
    const int signal = GetParam().signal;
    // The recording shows whether the runner finished its work or was cut off.
    CRunnerChild runner({"--timeout", "0", "--wav", dir + "run.wav", image}, dir + "runner");
    CloseAfterTheWrite(runner, signal);
    if (HasFatalFailure())
        return;
    EXPECT_EQ(ReadBytes(image), written);
    EXPECT_EQ(Output("err"), "");
    // A closed run reports nothing; a killed one had no chance to.
    EXPECT_EQ(Output("out"), "");
    if (signal != SIGKILL) {
        EXPECT_TRUE(IsFinishedRecording(ReadBytes(dir + "run.wav")));
    }
}

TEST_P(DataSafetySettingsTest, TheUserSettingsAreWrittenWhenTheRunnerIsClosed) {
    const int signal = GetParam().signal;
    CRunnerChild runner(
        {"--config-dir", temporary.path, "--timeout", "0", "--", "-disk", "0", image},
        dir + "runner");
    CloseAfterTheWrite(runner, signal);
    if (HasFatalFailure())
        return;
    EXPECT_EQ(ReadBytes(image), written);
    const std::string settings = ReadBytes(dir + "Tarquil2.ini");
    if (signal == SIGKILL) {
        // A crash writes nothing: the old file is there, whole.
        EXPECT_EQ(settings, kUserSettingsBefore);
    } else {
        EXPECT_EQ(settings.rfind("; Tarquil2.ini\r\n", 0), 0u) << settings;
        // Slot 1 could not open its image this time and keeps the name for the next run.
        EXPECT_NE(settings.find("[Disks]\r\n0=" + image + "\r\n1=somewhere.disk\r\n"),
                  std::string::npos)
            << settings;
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, DataSafetyTest,
                         testing::Values(SSignalCase{SIGINT, EAfterWrite::Busy},
                                         SSignalCase{SIGTERM, EAfterWrite::Busy},
                                         SSignalCase{SIGHUP, EAfterWrite::Busy},
                                         SSignalCase{SIGTERM, EAfterWrite::LongTimer},
                                         SSignalCase{SIGINT, EAfterWrite::LongTimer},
                                         SSignalCase{SIGKILL, EAfterWrite::Busy}),
                         CaseName);

INSTANTIATE_TEST_SUITE_P(Signals, DataSafetySettingsTest,
                         testing::Values(SSignalCase{SIGINT, EAfterWrite::Busy},
                                         SSignalCase{SIGTERM, EAfterWrite::Busy},
                                         SSignalCase{SIGTERM, EAfterWrite::LongTimer},
                                         SSignalCase{SIGKILL, EAfterWrite::Busy},
                                         SSignalCase{SIGKILL, EAfterWrite::LongTimer}),
                         CaseName);
