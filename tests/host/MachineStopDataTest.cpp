// What a program wrote to a writable disk image is in the file whenever its machine stops:
// at Exit, at Reset, and when the Reset cannot start a new machine. After each stop the
// image is closed (another writer may take it) and the user settings file names it again.
#include "host/MachineAssembly.h"

#include "core/Kernel.h"
#include "host/HeadlessScreenSurface.h"
#include "support/ErrorStack.h"

#include "common/DiskWriterProgram.h"
#include "common/FakePlatform.h"
#include "common/FileTestHelpers.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace testhelpers;

namespace {

const char* const kConfig = "[Memory]\r\nSize=64k\r\n[Kernel]\r\nPriority=3\r\n"
                            "[Disks]\r\nCount=2\r\nRemember=0\r\n";

class MachineStopDataTest : public testing::Test {
protected:
    void SetUp() override {
        qm::SetErrorBoxHandler([this](const std::string& text) { boxes.push_back(text); });
        ASSERT_TRUE(WriteBytes(dir + "Tarquil1.ini", kConfig));
        ASSERT_TRUE(WriteBytes(dir + "Tarquil2.ini", "[Disks]\r\n0=" + image + "\r\n"));
        ASSERT_TRUE(WriteBytes(image, original));
        host = std::make_unique<CMachineHost>(
            SMachineEnvironment{&platform, dir, "", false, &surface, {}, {}});
    }
    void TearDown() override {
        host.reset();
        qm::ClearErrors();
        qm::SetErrorBoxHandler(nullptr);
    }

    // Starts the machine and runs it until the program waits after its write.
    void StartAndRunUntilWaiting() {
        ASSERT_TRUE(host->StartMachine());
        CKernel& kernel = *host->GetMachine()->kernel;
        std::string message;
        for (int slice = 0; slice < 100 && !kernel.RunSlice(message); ++slice) {
        }
        ASSERT_TRUE(kernel.IsRunning()) << message;
        ASSERT_FALSE(kernel.HasEvents());
    }

    // True when nobody holds the image open for writing any more.
    bool ImageIsFree() {
        const int fd = open(image.c_str(), O_RDWR | O_CLOEXEC);
        const bool free = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (fd >= 0)
            close(fd);
        return free;
    }

    bool UserSettingsNameTheImage() {
        return ReadBytes(dir + "Tarquil2.ini").find("[Disks]\r\n0=" + image + "\r\n") !=
               std::string::npos;
    }

    CTemporaryDirectory temporary;
    const std::string dir = temporary.path + "/";
    const std::string image = dir + "writer.disk";
    const std::string original = DiskWriterImage(EAfterWrite::Wait);
    const std::string written = DiskImageAfterWrite(original);
    CFakePlatform platform;
    CHeadlessScreenSurface surface;
    std::vector<std::string> boxes;
    std::unique_ptr<CMachineHost> host;
};

} // namespace

TEST_F(MachineStopDataTest, ExitLeavesTheWritesInTheClosedImage) {
    StartAndRunUntilWaiting();
    // Written through at once, before any stop.
    EXPECT_EQ(ReadBytes(image), written);
    host->StopMachine();
    EXPECT_EQ(ReadBytes(image), written);
    EXPECT_TRUE(ImageIsFree());
    EXPECT_TRUE(UserSettingsNameTheImage());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MachineStopDataTest, ResetKeepsTheWritesAndTheNewMachineTakesTheImage) {
    StartAndRunUntilWaiting();
    ASSERT_TRUE(host->StartMachine()); // Reset: the old machine stops, a new one starts
    EXPECT_EQ(ReadBytes(image), written);
    EXPECT_FALSE(ImageIsFree()); // the new machine holds it again
    EXPECT_TRUE(host->GetMachine()->kernel->IsRunning());
    host->StopMachine();
    EXPECT_TRUE(ImageIsFree());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MachineStopDataTest, AResetThatCannotStartStillClosesTheImageWithTheWrites) {
    StartAndRunUntilWaiting();
    // The new machine fails at its kernel, after its disk slots took the image again.
    ASSERT_TRUE(WriteBytes(dir + "Tarquil1.ini",
                           "[Memory]\r\nSize=64k\r\n[Kernel]\r\nPriority=9\r\n"
                           "[Disks]\r\nCount=2\r\nRemember=0\r\n"));
    EXPECT_FALSE(host->StartMachine());
    EXPECT_EQ(host->GetMachine(), nullptr);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(ReadBytes(image), written);
    EXPECT_TRUE(ImageIsFree());
    EXPECT_TRUE(UserSettingsNameTheImage());
}

TEST_F(MachineStopDataTest, AFailedFirstStartLeavesTheImageUntouched) {
    ASSERT_TRUE(WriteBytes(dir + "Tarquil1.ini", "[Memory]\r\nSize=0\r\n[Kernel]\r\nPriority=3\r\n"
                                                 "[Disks]\r\nCount=2\r\nRemember=0\r\n"));
    EXPECT_FALSE(host->StartMachine());
    EXPECT_EQ(ReadBytes(image), original);
    EXPECT_TRUE(ImageIsFree());
    EXPECT_TRUE(UserSettingsNameTheImage());
}
