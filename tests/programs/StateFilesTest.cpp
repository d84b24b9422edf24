// Saved machine states through the runner: a run cut in two by --save-state and
// --load-state prints what the uncut run prints, and a state file that is damaged, cut off
// or not a state at all is refused before any machine runs.
#include "ProgramTestHelpers.h"
#include "common/DiskImages.h"
#include "common/FileTestHelpers.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace programtests;

namespace {

std::string Describe(const SCommandResult& result) {
    return "exit " + std::to_string(result.exitCode) + "\n" + result.out + result.err;
}

SCommandResult RunTarquil(std::vector<std::string> arguments) {
    arguments.insert(arguments.end(), {"--timeout", "60"});
    return RunProgram(Tool("tarquil-run"), arguments);
}

// What a run shows of the machine: its output without the lines that only the first half
// of a cut run prints (titles come only from the slices that made them).
std::vector<std::string> Shown(const SCommandResult& result) {
    std::vector<std::string> lines;
    for (const std::string& line : result.Lines())
        if (line.rfind("title: ", 0) != 0)
            lines.push_back(line);
    return lines;
}

class StateFilesTest : public testing::Test {
protected:
    void SetUp() override {
        disk = dir.path + "/walk.disk";
        const SCommandResult assembled = RunProgram(
            Tool("tarquil-asm"), {SourceDir() + "/tests/programs/state-walk.asm", "-o", disk});
        ASSERT_EQ(assembled.exitCode, 0) << Describe(assembled);
    }

    // The outputs that the equality rule compares, and the picture when there is one.
    std::vector<std::string> Report(const std::string& png) {
        return {"--regs", "--text", "--dump", "0:4096", "--png", png};
    }

    testhelpers::CTemporaryDirectory dir;
    std::string disk;
};

} // namespace

TEST_F(StateFilesTest, ACutRunGoesOnAsTheWholeRun) {
    // Cuts in the text phase, across the change to graphics, and in the graphics phase.
    const struct {
        uint64_t first;
        uint64_t second;
    } cuts[] = {{32 * 40, 3000}, {32 * 200, 9000}, {32 * 800, 5000}};
    for (const auto& cut : cuts) {
        SCOPED_TRACE(std::to_string(cut.first) + " + " + std::to_string(cut.second));
        const std::string state = dir.path + "/cut.state";
        // Both runs write the same picture file, so that their messages are the same too.
        const std::string png = dir.path + "/picture.png";
        std::vector<std::string> whole = {disk, "--seed", "1234", "--steps",
                                          std::to_string(cut.first + cut.second)};
        for (const std::string& option : Report(png))
            whole.push_back(option);
        const SCommandResult uncut = RunTarquil(whole);
        ASSERT_EQ(uncut.exitCode, 0) << Describe(uncut);
        const std::string wholePicture = testhelpers::ReadBytes(png);
        std::filesystem::remove(png);

        const SCommandResult first = RunTarquil(
            {disk, "--seed", "1234", "--steps", std::to_string(cut.first), "--save-state", state});
        ASSERT_EQ(first.exitCode, 0) << Describe(first);
        std::vector<std::string> resumed = {"--load-state", state, "--steps",
                                            std::to_string(cut.second)};
        for (const std::string& option : Report(png))
            resumed.push_back(option);
        const SCommandResult second = RunTarquil(resumed);
        ASSERT_EQ(second.exitCode, 0) << Describe(second);
        // Before the change to graphics both say that there is no picture to save.
        EXPECT_EQ(second.err, uncut.err);
        EXPECT_EQ(Shown(second), Shown(uncut));
        EXPECT_EQ(testhelpers::ReadBytes(png), wholePicture);
        std::filesystem::remove(png);
    }
}

TEST_F(StateFilesTest, AStateOnTheWayOutIsTheStateOnTheWayIn) {
    // Saving a loaded machine at once writes the same machine again: nothing is lost or
    // added by a round through a file (the instruction count included).
    const std::string state = dir.path + "/a.state";
    const std::string again = dir.path + "/b.state";
    ASSERT_EQ(RunTarquil({disk, "--seed", "7", "--steps", "5000", "--save-state", state}).exitCode,
              0);
    const SCommandResult reloaded =
        RunTarquil({"--load-state", state, "--steps", "1", "--save-state", again, "--stats"});
    ASSERT_EQ(reloaded.exitCode, 0) << Describe(reloaded);
    const SCommandResult a =
        RunTarquil({"--load-state", state, "--steps", "3200", "--regs", "--text"});
    const SCommandResult b =
        RunTarquil({"--load-state", again, "--steps", "3168", "--regs", "--text"});
    EXPECT_EQ(Shown(a), Shown(b));

    // A stopped machine stops again at once when it is loaded, with its own message, and so
    // does the machine saved from that in turn.
    const std::string stopped = dir.path + "/stopped.state";
    const std::string stoppedAgain = dir.path + "/stopped-again.state";
    const SCommandResult failed = RunTarquil({"--save-state", stopped}); // no disk to boot
    ASSERT_EQ(failed.exitCode, 3) << Describe(failed);
    ASSERT_EQ(failed.out, "title: No disk to boot\nstop: No disk to boot\n");
    const SCommandResult loaded =
        RunTarquil({"--load-state", stopped, "--save-state", stoppedAgain});
    EXPECT_EQ(loaded.exitCode, 3) << Describe(loaded);
    EXPECT_EQ(loaded.out, failed.out);
    const SCommandResult loadedAgain = RunTarquil({"--load-state", stoppedAgain});
    EXPECT_EQ(loadedAgain.exitCode, 3) << Describe(loadedAgain);
    EXPECT_EQ(loadedAgain.out, failed.out);
}

TEST_F(StateFilesTest, BadStateFilesAreRefusedBeforeAnythingRuns) {
    const std::string state = dir.path + "/good.state";
    ASSERT_EQ(RunTarquil({disk, "--seed", "5", "--steps", "640", "--save-state", state}).exitCode,
              0);
    const std::string bytes = testhelpers::ReadBytes(state);
    ASSERT_GT(bytes.size(), 64u);

    // A changed bit in the payload's checksum, and one in the compressed stream's header.
    // (Not every changed bit of a compressed stream is damage: a match that points to other,
    // equal bytes decodes to the same state.)
    std::string flipped = bytes;
    flipped[20] = static_cast<char>(flipped[20] ^ 0x10);
    std::string scrambled = bytes;
    scrambled[33] = static_cast<char>(scrambled[33] ^ 0x01);
    std::string newer = bytes;
    newer[16] = 2;
    const struct {
        const char* name;
        std::string contents;
        const char* reason;
    } files[] = {
        {"flipped.state", flipped, "damaged (checksum mismatch)"},
        {"scrambled.state", scrambled, "damaged or cut off"},
        {"truncated.state", bytes.substr(0, bytes.size() - 9), "damaged or cut off"},
        {"header-only.state", bytes.substr(0, 20), "cut off"},
        {"empty.state", "", "not a Tarquil machine state"},
        {"disk.state", testhelpers::ReadBytes(disk), "not a Tarquil machine state"},
        {"newer.state", newer, "format version 2"},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        const std::string path = dir.path + "/" + file.name;
        ASSERT_TRUE(testhelpers::WriteBytes(path, file.contents));
        const SCommandResult run = RunTarquil({"--load-state", path, "--regs"});
        EXPECT_EQ(run.exitCode, 1) << Describe(run);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("cannot load the state \"" + path + "\": "), std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find(file.reason), std::string::npos) << run.err;
    }
    const SCommandResult missing = RunTarquil({"--load-state", dir.path + "/none.state"});
    EXPECT_EQ(missing.exitCode, 1) << Describe(missing);
    EXPECT_EQ(missing.out, "");
}

TEST_F(StateFilesTest, LoadingNamesTheImagesAndTheirChanges) {
    const std::string state = dir.path + "/disk.state";
    ASSERT_EQ(RunTarquil({disk, "--seed", "5", "--steps", "640", "--save-state", state}).exitCode,
              0);
    // The image is the user's file: the state has its name, and loading it again puts it
    // into its slot; once it changed, loading says so and goes on.
    const SCommandResult same =
        RunTarquil({"--load-state", state, "--steps", "32", "--dump", "0:8"});
    EXPECT_EQ(same.exitCode, 0) << Describe(same);
    EXPECT_EQ(same.err, "");

    std::string image = testhelpers::ReadBytes(disk);
    image.back() = static_cast<char>(image.back() ^ 1);
    ASSERT_TRUE(testhelpers::WriteBytes(disk, image));
    const SCommandResult changed = RunTarquil({"--load-state", state, "--steps", "32"});
    EXPECT_EQ(changed.exitCode, 0) << Describe(changed);
    EXPECT_NE(changed.err.find("warning: slot 0: the image \"" + disk + "\" has changed"),
              std::string::npos)
        << changed.err;

    std::filesystem::remove(disk);
    const SCommandResult gone = RunTarquil({"--load-state", state, "--steps", "32"});
    EXPECT_EQ(gone.exitCode, 0) << Describe(gone);
    EXPECT_NE(gone.err.find("warning: slot 0: cannot insert \"" + disk + "\""), std::string::npos)
        << gone.err;
}

TEST_F(StateFilesTest, AStateBringsItsOwnImagesAndRandomState) {
    const std::string state = dir.path + "/s.state";
    ASSERT_EQ(RunTarquil({disk, "--seed", "5", "--steps", "64", "--save-state", state}).exitCode,
              0);
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--load-state", state, disk},
          std::vector<std::string>{"--load-state", state, "--seed", "3"},
          std::vector<std::string>{"--load-state", state, "--replay", state},
          std::vector<std::string>{"--load-state", ""}}) {
        const SCommandResult run = RunTarquil(arguments);
        EXPECT_EQ(run.exitCode, 2) << Describe(run);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("tarquil-run: "), std::string::npos) << run.err;
    }
}
