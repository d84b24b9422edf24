#include "devices/DiskServices.h"

#include "common/DiskImages.h"
#include "common/FakePlatform.h"
#include "common/FileTestHelpers.h"
#include "core/Kernel.h"
#include "core/Machine.h"
#include "devices/Disk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using testhelpers::DiskImageBytes;
using testhelpers::ReadBytes;
using testhelpers::WriteBytes;

namespace {

constexpr uint32_t kRegs = kRegisterBlockAddress;

// A machine with disk slots and the group-6 services, called directly.
class DiskServicesTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(memory.Configure("4k"));
        kernel.SetMachine(&machine);
        machine.kernel = &kernel;
        machine.memory = &memory;
    }

    // Adds a slot; with a data area, an image holding it is inserted.
    CDisk& AddSlot(bool readOnly, const char* dataArea = nullptr) {
        const auto slot = static_cast<uint32_t>(machine.diskCount);
        disks.push_back(std::make_unique<CDisk>(readOnly, false, slot));
        machine.disks[slot] = disks.back().get();
        ++machine.diskCount;
        if (dataArea) {
            const std::string path = ImagePath(slot);
            EXPECT_TRUE(WriteBytes(path, DiskImageBytes(dataArea)));
            EXPECT_TRUE(disks.back()->Insert(path));
        }
        return *disks.back();
    }
    std::string ImagePath(uint32_t slot) const {
        return directory.path + "/" + std::to_string(slot) + ".disk";
    }

    // Fills the parameter area (other bytes get a marker) and serves one call.
    bool Call(uint32_t function, uint32_t slot, uint32_t value08 = 0xAAAAAAAA,
              uint32_t value0C = 0xAAAAAAAA) {
        std::memset(memory.GetRegisters(), 0xAA, 32);
        memory.WriteByte(kRegs, 6);
        memory.WriteByte(kRegs + 1, static_cast<uint8_t>(function));
        memory.WriteDword(kRegs + 4, slot);
        memory.WriteDword(kRegs + 8, value08);
        memory.WriteDword(kRegs + 12, value0C);
        return services.Serve(kernel, memory, function);
    }
    uint8_t Byte(uint32_t offset) const { return memory.GetRegisters()[offset]; }
    uint32_t Dword(uint32_t offset) const {
        uint32_t v;
        std::memcpy(&v, memory.GetRegisters() + offset, 4);
        return v;
    }

    testhelpers::CTemporaryDirectory directory;
    CFakePlatform platform;
    CMemory memory;
    CMachine machine;
    CKernel kernel{platform, SDispatchTable{}};
    CDiskServices services;
    std::vector<std::unique_ptr<CDisk>> disks;
};

} // namespace

TEST_F(DiskServicesTest, SlotCountAndInvalidSlots) {
    // No slots: function 2 gives 0 and every other function only clears the slot number.
    for (uint32_t function : {0u, 1u, 3u, 4u, 8u, 9u, 255u}) {
        SCOPED_TRACE(function);
        EXPECT_TRUE(Call(function, 0));
        EXPECT_EQ(Dword(4), 0u);
        EXPECT_EQ(Byte(1), function);
        EXPECT_EQ(Byte(2), 0xAA);
        EXPECT_EQ(Dword(8), 0xAAAAAAAAu);
    }
    EXPECT_TRUE(Call(2, 77));
    EXPECT_EQ(Dword(4), 0u);

    AddSlot(false, "abc");
    AddSlot(true);
    EXPECT_TRUE(Call(2, 77));
    EXPECT_EQ(Dword(4), 2u);
    for (uint32_t slot : {0xFFFFFFFFu, 2u, 0x80000000u}) {
        SCOPED_TRACE(slot);
        EXPECT_TRUE(Call(4, slot));
        EXPECT_EQ(Dword(4), 0u);
        EXPECT_EQ(Byte(2), 0xAA);
        EXPECT_EQ(Dword(8), 0xAAAAAAAAu);
    }
    // A kernel without a machine has no slots.
    kernel.SetMachine(nullptr);
    EXPECT_TRUE(Call(2, 77));
    EXPECT_EQ(Dword(4), 0u);
    EXPECT_TRUE(Call(1, 0));
    EXPECT_EQ(Dword(4), 0u);
}

TEST_F(DiskServicesTest, VersionStateAndUnknownFunctions) {
    AddSlot(false, "abc");
    AddSlot(true);
    EXPECT_TRUE(Call(1, 1));
    EXPECT_EQ(Dword(4), 0x01000000u);

    struct {
        uint32_t slot;
        uint8_t readOnly;
        uint8_t inserted;
    } states[] = {{0, 0, 1}, {1, 1, 0}};
    for (const auto& s : states) {
        EXPECT_TRUE(Call(3, s.slot));
        EXPECT_EQ(Byte(8), s.readOnly);
        EXPECT_EQ(Byte(9), s.inserted);
        EXPECT_EQ(Byte(2), 1);
        EXPECT_EQ(Dword(4), s.slot);
    }
    for (uint32_t function : {0u, 9u, 200u}) {
        EXPECT_TRUE(Call(function, 0));
        EXPECT_EQ(Byte(1), 0);
        EXPECT_EQ(Byte(2), 0xAA);
        EXPECT_EQ(Dword(4), 0u); // the slot number stays
    }
}

TEST_F(DiskServicesTest, SizeSeekAndTell) {
    AddSlot(false, "0123456789");
    AddSlot(false);
    EXPECT_TRUE(Call(4, 0));
    EXPECT_EQ(Dword(8), 10u);
    EXPECT_EQ(Byte(2), 1);
    EXPECT_TRUE(Call(4, 1));
    EXPECT_EQ(Byte(2), 0);

    EXPECT_TRUE(Call(6, 0));
    EXPECT_EQ(Dword(8), 0u);
    EXPECT_EQ(Byte(2), 1);
    EXPECT_TRUE(Call(5, 0, 9));
    EXPECT_EQ(Byte(2), 1);
    EXPECT_TRUE(Call(5, 0, 10));
    EXPECT_EQ(Byte(2), 0);
    EXPECT_TRUE(Call(6, 0));
    EXPECT_EQ(Dword(8), 9u);

    // An empty slot: tell fails and leaves 0x7FFFFC08 alone.
    EXPECT_TRUE(Call(6, 1));
    EXPECT_EQ(Byte(2), 0);
    EXPECT_EQ(Dword(8), 0xAAAAAAAAu);
    EXPECT_TRUE(Call(5, 1, 0));
    EXPECT_EQ(Byte(2), 0);
}

TEST_F(DiskServicesTest, TransfersBetweenMemoryAndDisk) {
    AddSlot(false, "0123456789");
    AddSlot(true, "readonly");
    uint8_t* data = memory.GetData();
    std::memcpy(data + 100, "ABCDEFGHIJK", 11);

    struct {
        const char* what;
        uint32_t function;
        uint32_t slot;
        uint32_t seek;
        uint32_t count;
        uint32_t address;
        uint8_t result;
        const char* image0; // slot 0's data area afterwards
    } cases[] = {
        {"write of the last byte", 7, 0, 9, 1, 100, 1, "012345678A"},
        {"one byte too many", 7, 0, 9, 2, 100, 0, "012345678A"},
        {"count 0", 7, 0, 0, 0, 100, 0, "012345678A"},
        {"negative count", 7, 0, 0, 0xFFFFFFFF, 100, 0, "012345678A"},
        {"range past the end of memory", 7, 0, 0, 2, 4095, 0, "012345678A"},
        {"whole data area", 7, 0, 0, 10, 101, 1, "BCDEFGHIJK"},
        {"read-only slot", 7, 1, 0, 1, 100, 0, "BCDEFGHIJK"},
        {"from the register block", 7, 0, 0, 2, kRegs + 0x20, 1, "\0\0DEFGHIJK"},
        {"register block range too long", 7, 0, 0, 13, kRegs + 0x20, 0, "\0\0DEFGHIJK"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Call(5, c.slot, c.seek));
        EXPECT_TRUE(Call(c.function, c.slot, c.count, c.address));
        EXPECT_EQ(Byte(2), c.result);
        EXPECT_EQ(ReadBytes(ImagePath(0)), DiskImageBytes(std::string(c.image0, 10)));
    }
    EXPECT_EQ(ReadBytes(ImagePath(1)), DiskImageBytes("readonly"));

    // Reads land at the relative address (BASE added); a read-only slot reads fine.
    memory.SetBASE(1000);
    ASSERT_TRUE(Call(5, 1, 4));
    EXPECT_TRUE(Call(8, 1, 4, 10));
    EXPECT_EQ(Byte(2), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data + 1010), 4), "only");
    EXPECT_TRUE(Call(6, 1));
    EXPECT_EQ(Dword(8), 8u);
    // Reading past the data area moves nothing.
    ASSERT_TRUE(Call(5, 1, 6));
    std::memset(data + 1020, 'z', 4);
    EXPECT_TRUE(Call(8, 1, 3, 20));
    EXPECT_EQ(Byte(2), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data + 1020), 4), "zzzz");
    EXPECT_TRUE(Call(6, 1));
    EXPECT_EQ(Dword(8), 6u);
}

TEST_F(DiskServicesTest, SystemCallDispatchesGroupSixEvenWithoutSlots) {
    // Attaching boots: with no slots the machine stops, but the registers stay usable.
    kernel.SetServiceGroup(6, &services);
    kernel.Attach();
    memory.WriteByte(kRegs, 6);
    memory.WriteByte(kRegs + 1, 2);
    memory.WriteDword(kRegs + 4, 123);
    EXPECT_FALSE(kernel.SystemCall());
    EXPECT_EQ(Byte(0), 6);
    EXPECT_EQ(Dword(4), 0u);

    // Without the registered group the call answers that nobody serves it.
    kernel.SetServiceGroup(6, nullptr);
    memory.WriteByte(kRegs, 6);
    EXPECT_FALSE(kernel.SystemCall());
    EXPECT_EQ(Byte(0), 0);
}
