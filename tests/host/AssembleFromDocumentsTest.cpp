#include "host/MachineAssembly.h"

#include "common/DiskImages.h"
#include "common/FakePlatform.h"
#include "common/FileTestHelpers.h"
#include "core/DiskSlot.h"
#include "core/Kernel.h"
#include "core/Memory.h"
#include "host/HeadlessScreenSurface.h"
#include "support/ErrorStack.h"
#include "support/INIFile.h"

#include <gtest/gtest.h>

namespace {

class AssembleFromDocumentsTest : public testing::Test {
protected:
    void SetUp() override {
        qm::ClearErrors();
        qm::SetErrorBoxHandler([this](const std::string& text) { boxes.push_back(text); });
        config.SetString("Memory", "Size", "64k");
        config.SetInt("Kernel", "Priority", 3);
        config.SetInt("Disks", "Count", 3);
        environment.platform = &platform;
        environment.screenSurface = &surface;
    }
    void TearDown() override {
        qm::ClearErrors();
        qm::SetErrorBoxHandler(nullptr);
    }

    testhelpers::CTemporaryDirectory directory;
    CFakePlatform platform;
    CHeadlessScreenSurface surface;
    SMachineEnvironment environment;
    qm::CINIFile config;
    qm::CINIFile userSettings;
    std::vector<std::string> boxes;
};

} // namespace

TEST_F(AssembleFromDocumentsTest, TheHookRunsOnTheCompleteMachineBeforeTheBoot) {
    const std::string image = directory.path + "/boot.disk";
    ASSERT_TRUE(testhelpers::WriteBytes(
        image, testhelpers::DiskImageBytes(testhelpers::BootDataArea({0x00, 0x6F}))));
    int calls = 0;
    environment.beforeBoot = [&](CMachine& machine) {
        ++calls;
        // Every device exists and knows its machine; the kernel has not booted yet.
        ASSERT_NE(machine.kernel, nullptr);
        ASSERT_NE(machine.memory, nullptr);
        ASSERT_NE(machine.screen, nullptr);
        EXPECT_FALSE(machine.kernel->IsRunning());
        ASSERT_EQ(machine.diskCount, 3);
        EXPECT_EQ(machine.disks[2]->GetMachine(), &machine);
        EXPECT_TRUE(machine.disks[2]->Insert(image));
    };
    SHostMachine host;
    ASSERT_TRUE(AssembleMachine(host, environment, config, userSettings));
    EXPECT_EQ(calls, 1);
    // It booted from the image the hook put into slot 2, and no file was read or written.
    EXPECT_TRUE(host.machine.kernel->IsRunning());
    EXPECT_EQ(host.machine.memory->GetData()[1], 0x6F);
    EXPECT_EQ(host.machine.kernel->GetEventCount(), 0u);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(AssembleFromDocumentsTest, AnIncompleteMachineNeitherRunsTheHookNorBoots) {
    qm::CINIFile noPriority;
    noPriority.SetString("Memory", "Size", "64k");
    bool called = false;
    environment.beforeBoot = [&called](CMachine&) { called = true; };
    SHostMachine host;
    EXPECT_FALSE(AssembleMachine(host, environment, noPriority, userSettings));
    EXPECT_FALSE(called);
    EXPECT_EQ(host.machine.memory, nullptr);
    std::string top;
    ASSERT_TRUE(qm::PopError(top));
    EXPECT_EQ(top, "[.\\main,270] Unable to start the machine");
}
