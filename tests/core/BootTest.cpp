#include "common/DiskImages.h"
#include "common/FakePlatform.h"
#include "common/FileTestHelpers.h"
#include "common/MemoryDisk.h"
#include "core/Kernel.h"
#include "core/Machine.h"
#include "devices/Disk.h"
#include "support/INIFile.h"

#include <gtest/gtest.h>

#include <memory>

using testhelpers::BootDataArea;
using testhelpers::DiskImageBytes;
using testhelpers::TakeErrors;

namespace {

// A machine of file-backed slots, booted by the test.
class BootTest : public testing::Test {
protected:
    void SetUp() override {
        qm::ClearErrors();
        ASSERT_TRUE(memory.Configure("1k"));
        machine.kernel = &kernel;
        machine.memory = &memory;
        kernel.SetMachine(&machine);
    }
    void TearDown() override { qm::ClearErrors(); }

    // Adds a slot holding an image with the data area, or an empty slot for null.
    void AddSlot(const std::string* dataArea) {
        const auto slot = static_cast<uint32_t>(machine.diskCount);
        disks.push_back(std::make_unique<CDisk>(false, false, slot));
        machine.disks[slot] = disks.back().get();
        ++machine.diskCount;
        if (dataArea) {
            const std::string path = directory.path + "/" + std::to_string(slot) + ".disk";
            ASSERT_TRUE(testhelpers::WriteBytes(path, DiskImageBytes(*dataArea)));
            ASSERT_TRUE(disks.back()->Insert(path));
        }
    }
    testhelpers::CTemporaryDirectory directory;
    CFakePlatform platform;
    CMemory memory;
    CMachine machine;
    CKernel kernel{platform, SDispatchTable{}};
    std::vector<std::unique_ptr<CDisk>> disks;
};

std::string Area(const std::string& program) {
    return BootDataArea(std::vector<uint8_t>(program.begin(), program.end()));
}

} // namespace

TEST_F(BootTest, ChoosesTheFirstBootableSlotFromTheBootSlotOn) {
    const std::string notBootable = BootDataArea({'x', 'y'}, 0);
    const std::string tooSmall = "abc";
    const std::string zero = Area("slot zero");
    const std::string two = Area("slot two");
    struct SCase {
        const char* what;
        std::vector<const std::string*> slots;
        int32_t bootSlot;
        std::string expected; // loaded program, or the stop message after "!"
    } table[] = {
        {"first slot", {&zero, nullptr, &two}, 0, "slot zero"},
        {"-boot 2", {&zero, nullptr, &two}, 2, "slot two"},
        {"empty slot passed over", {nullptr, &two}, 0, "slot two"},
        {"boot length 0 passed over", {&notBootable, &two}, 0, "slot two"},
        {"data size 3 passed over", {&tooSmall, &two}, 0, "slot two"},
        {"negative boot slot starts at slot 0", {&zero}, -5, "slot zero"},
        {"boot slot at the slot count", {&zero, &two}, 2, "!No disk to boot"},
        {"no slots at all", {}, 0, "!No disk to boot"},
        {"only unbootable disks", {&notBootable, nullptr, &tooSmall}, 0, "!No disk to boot"},
    };
    for (const SCase& c : table) {
        SCOPED_TRACE(c.what);
        disks.clear();
        machine.diskCount = 0;
        ASSERT_TRUE(memory.Configure("1k"));
        CKernel fresh(platform, SDispatchTable{});
        fresh.SetMachine(&machine);
        machine.kernel = &fresh;
        for (const std::string* area : c.slots)
            AddSlot(area);
        fresh.SetBootSlot(c.bootSlot);
        fresh.Attach();
        if (c.expected[0] == '!') {
            EXPECT_FALSE(fresh.IsRunning());
            std::string message;
            fresh.RunSlice(message);
            EXPECT_EQ(message, c.expected.substr(1));
        } else {
            EXPECT_TRUE(fresh.IsRunning());
            // Loaded at 0 and running from there with every register zero; the bytes
            // behind the image stay zero.
            EXPECT_EQ(std::string(reinterpret_cast<char*>(memory.GetData()), c.expected.size()),
                      c.expected);
            EXPECT_EQ(memory.GetData()[c.expected.size()], 0);
            EXPECT_EQ(std::vector<uint8_t>(memory.GetRegisters(), memory.GetRegisters() + 44),
                      std::vector<uint8_t>(44, 0));
        }
        machine.kernel = &kernel;
    }
}

TEST_F(BootTest, NegativeLengthLoadsEverythingBehindIt) {
    std::string area(100, '\0');
    for (size_t i = 4; i < area.size(); ++i)
        area[i] = static_cast<char>(i);
    const int32_t minusOne = -1;
    std::memcpy(area.data(), &minusOne, 4);
    AddSlot(&area);
    kernel.Attach();
    EXPECT_TRUE(kernel.IsRunning());
    EXPECT_EQ(memory.GetData()[0], 4);
    EXPECT_EQ(memory.GetData()[95], 99);
    EXPECT_EQ(memory.GetData()[96], 0);
}

TEST_F(BootTest, ImagesThatDoNotFit) {
    // Longer than the 1 KiB memory, on slot 0; longer than the disk holds, on slot 1.
    const std::string tooLong = BootDataArea({1, 2, 3}, 1025);
    const std::string shortDisk = BootDataArea({1, 2, 3}, 4);
    struct {
        const std::string* first;
        const std::string* second;
        const char* message;
    } cases[] = {
        {&tooLong, &shortDisk, "Not enought memory to boot from disk 0"},
        {nullptr, &shortDisk, "Cannot boot from disk 1"},
    };
    for (const auto& c : cases) {
        disks.clear();
        machine.diskCount = 0;
        CKernel fresh(platform, SDispatchTable{});
        fresh.SetMachine(&machine);
        AddSlot(c.first);
        AddSlot(c.second);
        fresh.Attach();
        std::string message;
        EXPECT_TRUE(fresh.RunSlice(message));
        EXPECT_EQ(message, c.message);
    }
}

TEST_F(BootTest, WithoutTheMachineThereIsNothingToBoot) {
    CKernel lonely(platform, SDispatchTable{});
    lonely.Attach(memory);
    std::string message;
    EXPECT_TRUE(lonely.RunSlice(message));
    EXPECT_EQ(message, "Internal kernel error (no pointer to devices)");
}

TEST(KernelInitTest, BootOptionAndPriority) {
    struct {
        const char* commandLine;
        const char* priority; // null: key absent
        bool ok;
        int32_t bootSlot;
        std::vector<std::string> errors;
    } cases[] = {
        {"-boot 2", "3", true, 2, {}},
        {"-BOOT 2", "3", true, 2, {}},
        {"-boot 1 -boot 3", "3", true, 3, {}},
        {"-boot x7", "3", true, 0, {}},
        {"\"-boot\" -4", "3", true, -4, {}},
        {"-booting 5", "3", true, 0, {}},
        {"-disk 0 a.disk -boot",
         "3",
         false,
         0,
         {"[.\\kernel,3436] Invalid parameters in \"-boot\"",
          "Syntax error in command line \"-disk 0 a.disk -boot\""}},
        {"",
         nullptr,
         false,
         0,
         {"old", "[.\\kernel,306] Invalid thread priority in configuration Kernel.Priority (-1)"}},
        {"",
         "7",
         false,
         0,
         {"old", "[.\\kernel,306] Invalid thread priority in configuration Kernel.Priority (7)"}},
        {"", " 2x", true, 0, {"old"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLine);
        qm::ClearErrors();
        qm::PushError("old"); // priority errors do not clear the stack
        CFakePlatform platform;
        platform.threadPriority = EThreadPriority::Idle;
        CKernel kernel(platform, SDispatchTable{});
        qm::CINIFile config;
        if (c.priority)
            config.SetString("Kernel", "Priority", c.priority);
        EXPECT_EQ(kernel.Init(config, qm::CINIFile(), c.commandLine), c.ok);
        EXPECT_EQ(kernel.GetBootSlot(), c.bootSlot);
        // The -boot fault starts a fresh stack; the priority fault keeps what was there.
        const std::vector<std::string> errors = TakeErrors();
        EXPECT_EQ(errors, c.errors.empty() ? std::vector<std::string>{"old"} : c.errors);
    }
}

TEST(KernelInitTest, PriorityCodesReachThePlatform) {
    const EThreadPriority expected[] = {
        EThreadPriority::Idle,         EThreadPriority::Lowest,      EThreadPriority::BelowNormal,
        EThreadPriority::Normal,       EThreadPriority::AboveNormal, EThreadPriority::Highest,
        EThreadPriority::TimeCritical,
    };
    for (int code = 0; code <= 6; ++code) {
        CFakePlatform platform;
        platform.threadPriority = code == 3 ? EThreadPriority::Idle : EThreadPriority::Normal;
        CKernel kernel(platform, SDispatchTable{});
        qm::CINIFile config;
        config.SetInt("Kernel", "Priority", code);
        EXPECT_TRUE(kernel.Init(config, qm::CINIFile(), ""));
        EXPECT_EQ(platform.threadPriority, expected[code]) << code;
    }
}
