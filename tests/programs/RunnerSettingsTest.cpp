// tarquil-run --config-dir: the machine assembled from a settings directory, as the window
// program assembles it, with every start-up message on standard error and the user
// settings file rewritten at the stop.
#include "RunnerProcess.h"

#include "common/DiskImages.h"
#include "common/FileTestHelpers.h"
#include "common/ProgramBuilder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

using testhelpers::BootDataArea;
using testhelpers::DiskImageBytes;
using testhelpers::ReadBytes;
using testhelpers::WriteBytes;

namespace {

const char* const kHeader = "; Tarquil2.ini\r\n"
                            "\r\n"
                            "; This file contains settings which are managed by Tarquil.\r\n"
                            "; You can change it with dialog windows in the program.\r\n";
const char* const kBox = "error: Tarquil - Error\n";

std::string Config(const std::string& extra = {}) {
    return "[Memory]\r\nSize=64k\r\n[Kernel]\r\nPriority=3\r\n" + extra;
}

class RunnerSettingsTest : public testing::Test {
protected:
    void Write(const std::string& name, const std::string& text) {
        ASSERT_TRUE(WriteBytes(dir + name, text));
    }
    std::string UserSettings() { return ReadBytes(dir + "Tarquil2.ini"); }
    // The user settings from the "Disks" section on ("" without one).
    std::string DisksPart() {
        const std::string text = UserSettings();
        const size_t start = text.find("[Disks]");
        return start == std::string::npos ? std::string() : text.substr(start);
    }
    // A disk that boots into a program that waits for ever.
    std::string IdleImage(const std::string& name) {
        CProgramBuilder p;
        const uint32_t loop = p.Size();
        p.Emit("WAIT");
        p.Emit("GETEVENT");
        p.Emit("JMP", {Dir(loop)});
        EXPECT_TRUE(WriteBytes(dir + name, DiskImageBytes(BootDataArea(p.Bytes()))));
        return dir + name;
    }
    SRunnerOutput Run(std::vector<std::string> machineOptions = {},
                      std::vector<std::string> runnerOptions = {}) {
        std::vector<std::string> arguments = {"--config-dir", temporary.path, "--timeout", "5"};
        arguments.insert(arguments.end(), runnerOptions.begin(), runnerOptions.end());
        if (!machineOptions.empty()) {
            arguments.push_back("--");
            arguments.insert(arguments.end(), machineOptions.begin(), machineOptions.end());
        }
        return RunRunner(arguments);
    }

    testhelpers::CTemporaryDirectory temporary;
    const std::string dir = temporary.path + "/";
};

} // namespace

TEST_F(RunnerSettingsTest, StartsFromTheDirectoryAndRewritesTheUserSettings) {
    Write("Tarquil1.ini", Config("[Disks]\r\nCount=2\r\nRemember=0\r\n"));
    Write("Tarquil2.ini", "[Font]\r\nFaceName=Mono\r\n;hand-written\r\n");
    const std::string image = IdleImage("Game One.disk");
    SRunnerOutput run = Run({"-disk", "0", image});
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "stop: idle\n");
    EXPECT_EQ(run.exitCode, 0);
    const std::string text = UserSettings();
    EXPECT_EQ(text.rfind(std::string(kHeader) + "\r\n[Font]\r\n", 0), 0u) << text;
    EXPECT_NE(text.find("FaceName=Mono\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("hand-written"), std::string::npos) << text;
    EXPECT_EQ(DisksPart(), "[Disks]\r\n0=" + image + "\r\n");

    // The remembered disk boots the next run without any option.
    run = Run();
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "stop: idle\n");
    // -disksempty starts with no disk, and the stop forgets the image.
    run = Run({"-DisksEmpty"});
    EXPECT_EQ(run.out, "title: No disk to boot\nstop: No disk to boot\n");
    EXPECT_EQ(DisksPart(), "[Disks]\r\n0=\r\n");
}

TEST_F(RunnerSettingsTest, StartFailuresExitWithOneAndStillWriteTheUserSettings) {
    struct {
        const char* what;
        const char* config; // null: no file
        const char* user;   // null: no file
        std::vector<std::string> options;
        std::string err;
    } cases[] = {
        {"no configuration",
         nullptr,
         "",
         {},
         "[.\\main,270] Unable to start the machine\n"
         "[.\\main,164] Unable to load configuration from file \"Tarquil1.ini\"\n"},
        {"configuration malformed",
         "[Memory]\r\nSize=64k\r\n\r\nKernel]\r\n",
         "",
         {},
         "[.\\main,270] Unable to start the machine\n"
         "[.\\main,169] Error parsing configuration from \"Tarquil1.ini\" (index: 31,row: 5, "
         "col: 1, message: \"Błąd parsera\", type message: \"Błąd składni\")\n"},
        {"no user settings",
         "[Memory]\r\nSize=64k\r\n[Kernel]\r\nPriority=3\r\n",
         nullptr,
         {},
         "[.\\main,270] Unable to start the machine\n"
         "[.\\main,176] Unable to load configuration from file \"Tarquil2.ini\"\n"},
        {"user settings without a section",
         "[Memory]\r\nSize=64k\r\n[Kernel]\r\nPriority=3\r\n",
         "; mine\r\nFaceName=Mono\r\n",
         {},
         "[.\\main,270] Unable to start the machine\n"
         "[.\\main,181] Error parsing configuration from \"Tarquil2.ini\" (index: 0,row: 0, "
         "col: 0, message: \"Błąd parsera\", type message: \"Brak sekcji\")\n"},
        {"no priority",
         "[Memory]\r\nSize=64k\r\n",
         "",
         {},
         "[.\\main,270] Unable to start the machine\n"
         "[.\\kernel,306] Invalid thread priority in configuration Kernel.Priority (-1)\n"},
        {"too much memory",
         "[Memory]\r\nSize=2147482624\r\n[Kernel]\r\nPriority=0\r\n",
         "",
         {},
         "[.\\main,270] Unable to start the machine\n"
         "[.\\memory,119] Cannot initialize memory\n"
         "[.\\memory,94] Too large memory size in configuration Memory.Size (2147482624)\n"},
        {"-boot without a number",
         "[Memory]\r\nSize=64k\r\n[Kernel]\r\nPriority=3\r\n",
         "",
         {"-boot"},
         "[.\\main,270] Unable to start the machine\n"
         "Syntax error in command line \"-boot\"\n"
         "[.\\kernel,3436] Invalid parameters in \"-boot\"\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(dir + "Tarquil1.ini");
        std::filesystem::remove(dir + "Tarquil2.ini");
        if (c.config)
            Write("Tarquil1.ini", c.config);
        if (c.user)
            Write("Tarquil2.ini", c.user);
        const SRunnerOutput run = Run(c.options);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, kBox + c.err);
        EXPECT_EQ(UserSettings().rfind(kHeader, 0), 0u);
    }
    // The user settings written after the failed start let the next start succeed.
    Write("Tarquil1.ini", Config());
    std::filesystem::remove(dir + "Tarquil2.ini");
    EXPECT_EQ(Run().exitCode, 1);
    const SRunnerOutput run = Run();
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, "title: No disk to boot\nstop: No disk to boot\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(RunnerSettingsTest, AFailedSlotIsShownAndTheNextTakesItsNumber) {
    Write("Tarquil1.ini", Config("[Disks]\r\nCount=8\r\nRead-only=4\r\nRemember=-\r\n"));
    Write("Tarquil2.ini", "");
    const std::string image = IdleImage("Mixed Case.DISK");
    const SRunnerOutput run = Run({"-disk", "0", image, "-disk", "5"});
    // Quoting: the joined command line shows the image in double quotes.
    const std::string quoted = "-disk 0 \"" + image + "\" -disk 5";
    const std::string expectedBox = std::string(kBox) + "Syntax error in command line \"" + quoted +
                                    "\"\n[.\\disks,233] Invalid parameters in \"-disk\"\n";
    EXPECT_EQ(run.err, expectedBox + expectedBox + expectedBox);
    EXPECT_EQ(run.out, "stop: idle\n"); // booted from the image, whose name kept its case
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(DisksPart(), "[Disks]\r\n0=" + image + "\r\n1=\r\n2=\r\n3=\r\n4=\r\n");
}

TEST_F(RunnerSettingsTest, ASecondMachineKeepsTheDisksTheFirstOneHolds) {
    Write("Tarquil1.ini", Config("[Disks]\r\nCount=2\r\nRemember=-\r\n"));
    const std::string image = IdleImage("held.disk");
    const std::string data = IdleImage("data.disk");
    Write("Tarquil2.ini", "[Disks]\r\n0=" + image + "\r\n1=" + data + "\r\n");
    // Another machine holds both images, as a writable slot holds its image.
    std::vector<int> holders;
    for (const std::string& path : {image, data}) {
        holders.push_back(open(path.c_str(), O_RDWR));
        ASSERT_EQ(flock(holders.back(), LOCK_EX | LOCK_NB), 0);
    }
    SRunnerOutput run = Run();
    EXPECT_EQ(run.out, "title: No disk to boot\nstop: No disk to boot\n");
    EXPECT_EQ(run.exitCode, 3);
    const std::string box = std::string(kBox) + "[.\\disks,320] Cannot insert disk \"" + image +
                            "\" into slot 0\n[.\\disks,283] Cannot open file \"" + image +
                            "\"\n[.\\disks,283] The image is in use by another Tarquil\n";
    EXPECT_EQ(run.err.rfind(box, 0), 0u) << run.err;
    // The remembered names outlive the start that could not open them.
    EXPECT_EQ(DisksPart(), "[Disks]\r\n0=" + image + "\r\n1=" + data + "\r\n");

    // Once the other machine lets go, the next start has its disks again.
    for (const int holder : holders)
        close(holder);
    run = Run();
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "stop: idle\n");
    EXPECT_EQ(DisksPart(), "[Disks]\r\n0=" + image + "\r\n1=" + data + "\r\n");
}

TEST_F(RunnerSettingsTest, AnUnwritableUserSettingsFileKeepsItsContent) {
    Write("Tarquil1.ini", Config());
    const std::string previous = "[Font]\r\nFaceName=Mine\r\n";
    Write("Tarquil2.ini", previous);
    SRunnerOutput run;
    {
        // The runner inherits a file size limit that its settings file does not fit in.
        testhelpers::CFileSizeLimit fullDisk(32);
        run = Run();
    }
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, "title: No disk to boot\nstop: No disk to boot\n");
    EXPECT_EQ(run.err, std::string(kBox) +
                           "[.\\main,299] Unable to save configuration to file \"Tarquil2.ini\"\n");
    EXPECT_EQ(UserSettings(), previous);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temporary.path), {}), 2)
        << "no temporary file may be left behind";
}

TEST_F(RunnerSettingsTest, ADirectoryThatDoesNotExist) {
    const SRunnerOutput run = RunRunner({"--config-dir", dir + "missing"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err,
              std::string(kBox) +
                  "[.\\main,270] Unable to start the machine\n"
                  "[.\\main,164] Unable to load configuration from file \"Tarquil1.ini\"\n" +
                  kBox + "[.\\main,299] Unable to save configuration to file \"Tarquil2.ini\"\n");
}

TEST_F(RunnerSettingsTest, ImagesAreNotTakenWithASettingsDirectory) {
    Write("Tarquil1.ini", Config());
    Write("Tarquil2.ini", "");
    const std::string image = IdleImage("a.disk");
    SRunnerOutput run = RunRunner({"--config-dir", temporary.path, image});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("-disk"), std::string::npos) << run.err;
    EXPECT_EQ(UserSettings(), "") << "a usage error touches no file";

    run = RunRunner({"--config-dir", ""});
    EXPECT_EQ(run.exitCode, 2);
}
