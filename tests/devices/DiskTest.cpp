#include "devices/Disk.h"

#include "common/DiskImages.h"
#include "common/FileTestHelpers.h"
#include "common/TestMachine.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using testhelpers::DiskImageBytes;
using testhelpers::ReadBytes;
using testhelpers::TakeErrors;
using testhelpers::WriteBytes;

namespace {

class DiskTest : public testing::Test {
protected:
    void SetUp() override {
        qm::ClearErrors();
        qm::SetErrorBoxHandler([this](const std::string& text) { boxes.push_back(text); });
    }
    void TearDown() override {
        qm::ClearErrors();
        qm::SetErrorBoxHandler(nullptr);
    }

    // Writes an image with the given data area and returns its path.
    std::string Image(const std::string& name, const std::string& dataArea) {
        const std::string path = directory.path + "/" + name;
        EXPECT_TRUE(WriteBytes(path, DiskImageBytes(dataArea)));
        return path;
    }

    static std::string InsertMessage(const std::string& path, int slot) {
        return "[.\\disks,320] Cannot insert disk \"" + path + "\" into slot " +
               std::to_string(slot);
    }

    testhelpers::CTemporaryDirectory directory;
    std::vector<std::string> boxes;
};

// A running machine whose kernel receives the slots' events.
struct SEventMachine {
    SEventMachine() : machine(SDispatchTable{}, {0x00, 0xFF}) {}

    // The group, kind and slot of the oldest event, taken out of the queue.
    std::tuple<int, int, uint32_t> TakeEvent() {
        EXPECT_TRUE(machine.kernel.TakeEvent());
        uint32_t slot;
        std::memcpy(&slot, machine.Registers() + 4, 4);
        return {machine.Registers()[0], machine.Registers()[1], slot};
    }

    CTestMachine machine;
};

} // namespace

TEST_F(DiskTest, HeaderChecks) {
    struct {
        const char* what;
        std::string bytes;
        const char* cause; // null: the image is accepted
        uint32_t dataSize;
    } cases[] = {
        {"empty file", "", "[.\\disks,292] Cannot read file header", 0},
        {"short file", "Tarquil", "[.\\disks,292] Cannot read file header", 0},
        {"magic only, no reserved byte", "Tarquil Disk 10",
         "[.\\disks,292] Cannot read file header", 0},
        {"zero byte inside the magic", std::string("Tarquil Disk 1\0X", 16) + "data",
         "[.\\disks,298] Invalid file header", 0},
        {"magic in other capitals", "TARQUIL DISK 10" + std::string(1, '\0') + "data",
         "[.\\disks,298] Invalid file header", 0},
        {"wrong version", "Tarquil Disk 11" + std::string(1, '\0') + "data",
         "[.\\disks,298] Invalid file header", 0},
        {"header only", DiskImageBytes(""), nullptr, 0},
        {"reserved byte may hold anything", DiskImageBytes("abc", '\xFF'), nullptr, 3},
        {"ordinary image", DiskImageBytes(std::string(1000, 'x')), nullptr, 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = directory.path + "/image.disk";
        ASSERT_TRUE(WriteBytes(path, c.bytes));
        CDisk disk(false, false, 3);
        const bool inserted = disk.Insert(path);
        uint32_t size = 12345;
        if (c.cause) {
            EXPECT_FALSE(inserted);
            EXPECT_FALSE(disk.HasDisk());
            EXPECT_TRUE(disk.GetFileName().empty());
            EXPECT_FALSE(disk.GetSize(size));
            EXPECT_EQ(TakeErrors(), (std::vector<std::string>{c.cause, InsertMessage(path, 3)}));
        } else {
            EXPECT_TRUE(inserted);
            EXPECT_EQ(disk.GetFileName(), path);
            ASSERT_TRUE(disk.GetSize(size));
            EXPECT_EQ(size, c.dataSize);
            EXPECT_EQ(qm::ErrorCount(), 0u);
        }
    }
}

TEST_F(DiskTest, FilesThatCannotBeOpenedReportTheSystemsReason) {
    const std::string fifo = directory.path + "/pipe.disk";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct {
        const char* what;
        std::string path;
        int error;
    } cases[] = {
        {"missing file", directory.path + "/missing.disk", ENOENT},
        {"directory", directory.path, EISDIR},
        {"named pipe (must not block)", fifo, EINVAL},
        {"zero byte inside the name", directory.path + std::string("/x\0y", 4), EINVAL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CDisk disk(false, false, 0);
        EXPECT_FALSE(disk.Insert(c.path));
        EXPECT_FALSE(disk.HasDisk());
        const std::string tag = "[.\\disks,283] ";
        EXPECT_EQ(TakeErrors(),
                  (std::vector<std::string>{
                      tag + "(errno," + std::to_string(c.error) + ") " + std::strerror(c.error),
                      tag + "Cannot open file \"" + c.path + "\"", InsertMessage(c.path, 0)}));
    }
}

TEST_F(DiskTest, ImagesBeyondFourGibibytesAreRefused) {
    const std::string path = Image("huge.disk", "");
    constexpr off_t kFourGiB = off_t{1} << 32;
    // Sparse files cost nothing on the file systems tests run on; skip where they would.
    if (truncate(path.c_str(), kFourGiB) != 0)
        GTEST_SKIP() << "cannot create a sparse 4 GiB file here";
    {
        CDisk disk(true, false, 0);
        ASSERT_TRUE(disk.Insert(path));
        uint32_t size = 0;
        ASSERT_TRUE(disk.GetSize(size));
        EXPECT_EQ(size, 0xFFFFFFF0u);
        EXPECT_TRUE(disk.Seek(0xFFFFFFEFu));
        uint8_t last = 1;
        EXPECT_TRUE(disk.Read(&last, 1));
        EXPECT_EQ(last, 0);
    }
    ASSERT_EQ(truncate(path.c_str(), kFourGiB + 1), 0);
    CDisk disk(true, false, 0);
    EXPECT_FALSE(disk.Insert(path));
    EXPECT_EQ(TakeErrors(), (std::vector<std::string>{"[.\\disks,292] Cannot read file header",
                                                      InsertMessage(path, 0)}));
}

TEST_F(DiskTest, WritableSlotsHoldTheirImageAlone) {
    const std::string path = Image("shared.disk", "data");
    struct {
        const char* what;
        bool firstReadOnly;
        bool secondReadOnly;
        bool secondInserts;
    } cases[] = {
        {"two writable slots", false, false, false},
        {"writable, then read-only", false, true, false},
        {"read-only, then writable", true, false, false},
        {"two read-only slots", true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CDisk first(c.firstReadOnly, false, 0);
        CDisk second(c.secondReadOnly, false, 1);
        ASSERT_TRUE(first.Insert(path));
        EXPECT_EQ(second.Insert(path), c.secondInserts);
        const std::vector<std::string> errors = TakeErrors();
        if (!c.secondInserts) {
            ASSERT_EQ(errors.size(), 3u);
            EXPECT_EQ(errors[0], "[.\\disks,283] (errno," + std::to_string(EWOULDBLOCK) + ") " +
                                     std::strerror(EWOULDBLOCK));
            EXPECT_EQ(errors[1], "[.\\disks,283] Cannot open file \"" + path + "\"");
            // The first slot lets go when its disk leaves, so the second may take it then.
            first.Eject();
            EXPECT_TRUE(second.Insert(path));
        }
    }
    // Destroying a slot lets go of its image as well.
    {
        CDisk holder(false, false, 0);
        ASSERT_TRUE(holder.Insert(path));
    }
    CDisk next(false, false, 0);
    EXPECT_TRUE(next.Insert(path));
}

TEST_F(DiskTest, ReadsAndWritesStayInsideTheDataArea) {
    const std::string path = Image("data.disk", "0123456789");
    CDisk disk(false, false, 0);
    ASSERT_TRUE(disk.Insert(path));
    uint32_t position = 99;
    ASSERT_TRUE(disk.Tell(position));
    EXPECT_EQ(position, 0u);

    char buffer[16] = {};
    ASSERT_TRUE(disk.Read(buffer, 4));
    EXPECT_EQ(std::string(buffer, 4), "0123");
    // The rest exactly: allowed; one byte more: refused without moving.
    ASSERT_TRUE(disk.Seek(3));
    EXPECT_FALSE(disk.Read(buffer, 8));
    ASSERT_TRUE(disk.Tell(position));
    EXPECT_EQ(position, 3u);
    EXPECT_TRUE(disk.Read(buffer, 7));
    EXPECT_EQ(std::string(buffer, 7), "3456789");
    ASSERT_TRUE(disk.Tell(position));
    EXPECT_EQ(position, 10u);
    EXPECT_FALSE(disk.Read(buffer, 1));

    // Seeking to the size is refused and leaves the position alone.
    EXPECT_TRUE(disk.Seek(9));
    EXPECT_FALSE(disk.Seek(10));
    EXPECT_FALSE(disk.Seek(0xFFFFFFFFu));
    ASSERT_TRUE(disk.Tell(position));
    EXPECT_EQ(position, 9u);

    // Writing the last byte works; one more is refused and changes nothing.
    EXPECT_TRUE(disk.Write("X", 1));
    ASSERT_TRUE(disk.Seek(8));
    EXPECT_FALSE(disk.Write("YZW", 3));
    ASSERT_TRUE(disk.Tell(position));
    EXPECT_EQ(position, 8u);
    ASSERT_TRUE(disk.Seek(2));
    EXPECT_TRUE(disk.Write("ab", 2));
    EXPECT_EQ(ReadBytes(path), DiskImageBytes("01ab45678X"));
    // Writes never grow the disk.
    uint32_t size = 0;
    ASSERT_TRUE(disk.GetSize(size));
    EXPECT_EQ(size, 10u);
}

TEST_F(DiskTest, ReadOnlySlotsReadButNeverWrite) {
    const std::string path = Image("ro.disk", "abc");
    ASSERT_EQ(chmod(path.c_str(), 0400), 0);
    CDisk disk(true, false, 0);
    ASSERT_TRUE(disk.Insert(path));
    EXPECT_FALSE(disk.Write("z", 1));
    char c = 0;
    EXPECT_TRUE(disk.Read(&c, 1));
    EXPECT_EQ(c, 'a');
    EXPECT_EQ(ReadBytes(path), DiskImageBytes("abc"));
}

TEST_F(DiskTest, AFileTheUserMayNotWriteGoesIntoAWritableSlotReadOnly) {
    const std::string path = Image("demo.disk", "abc");
    ASSERT_EQ(chmod(directory.path.c_str(), 0755), 0);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    const bool held = testhelpers::AsUserWithoutPrivileges([&] {
        CDisk first(false, false, 0);
        CDisk second(false, false, 1);
        char c = 0;
        const bool readOnlyWhileHeld = first.Insert(path) && first.IsReadOnly() &&
                                       !first.Write("z", 1) && first.Read(&c, 1) && c == 'a' &&
                                       qm::ErrorCount() == 0;
        // Opened for reading, it may sit in a second slot as well.
        const bool shared = second.Insert(path) && second.IsReadOnly();
        first.Eject();
        return readOnlyWhileHeld && shared && !first.IsReadOnly();
    });
    EXPECT_TRUE(held);
    EXPECT_EQ(ReadBytes(path), DiskImageBytes("abc"));
}

TEST_F(DiskTest, AnImageAnotherProgramHoldsIsReportedInPlainWords) {
    const std::string path = Image("held.disk", "data");
    const int holder = open(path.c_str(), O_RDWR);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    for (const bool readOnly : {false, true}) {
        SCOPED_TRACE(readOnly ? "read-only slot" : "writable slot");
        CDisk disk(readOnly, false, 2);
        EXPECT_FALSE(disk.Insert(path));
        EXPECT_EQ(TakeErrors(),
                  (std::vector<std::string>{"[.\\disks,283] (errno," + std::to_string(EWOULDBLOCK) +
                                                ") " + std::strerror(EWOULDBLOCK),
                                            "[.\\disks,283] The image is in use by another Tarquil",
                                            "[.\\disks,283] Cannot open file \"" + path + "\"",
                                            InsertMessage(path, 2)}));
    }
    close(holder);
    CDisk disk(false, false, 2);
    EXPECT_TRUE(disk.Insert(path));
}

TEST_F(DiskTest, AnEmptySlotRefusesEverything) {
    const std::string path = Image("empty-area.disk", "");
    CDisk never(false, false, 0);
    CDisk sizeZero(false, false, 1);
    ASSERT_TRUE(sizeZero.Insert(path));
    for (CDisk* disk : {&never, &sizeZero}) {
        char c = 0;
        EXPECT_FALSE(disk->Seek(0));
        EXPECT_FALSE(disk->Read(&c, 1));
        EXPECT_FALSE(disk->Write(&c, 1));
    }
    uint32_t value = 0;
    EXPECT_FALSE(never.GetSize(value));
    EXPECT_FALSE(never.Tell(value));
    sizeZero.Eject();
    EXPECT_FALSE(sizeZero.HasDisk());
    EXPECT_FALSE(sizeZero.GetSize(value));
    EXPECT_TRUE(sizeZero.GetFileName().empty());
    EXPECT_EQ(qm::ErrorCount(), 0u);
}

TEST_F(DiskTest, InsertAndEjectPostEventsOnceTheMachineIsSet) {
    SEventMachine m;
    const std::string first = Image("a.disk", "aaaa");
    const std::string second = Image("A.disk", "bb");
    CDisk disk(false, false, 5);
    // Before the host sets the machine (during start-up) nothing is posted.
    ASSERT_TRUE(disk.Insert(first));
    EXPECT_EQ(m.machine.kernel.GetEventCount(), 0u);
    disk.SetMachine(&m.machine.machine);

    // The name already in the slot: nothing happens, the file is not even reopened.
    ASSERT_TRUE(WriteBytes(first, DiskImageBytes("changed size")));
    EXPECT_TRUE(disk.Insert(first));
    EXPECT_EQ(m.machine.kernel.GetEventCount(), 0u);
    uint32_t size = 0;
    ASSERT_TRUE(disk.GetSize(size));
    EXPECT_EQ(size, 4u);

    // The same name in other capitals is another file: eject, then insert.
    EXPECT_TRUE(disk.Insert(second));
    ASSERT_EQ(m.machine.kernel.GetEventCount(), 2u);
    EXPECT_EQ(m.TakeEvent(), std::make_tuple(6, 2, 5u));
    EXPECT_EQ(m.TakeEvent(), std::make_tuple(6, 1, 5u));

    // A failed insert of another name leaves the slot empty: only the eject is seen.
    EXPECT_FALSE(disk.Insert(directory.path + "/missing.disk"));
    ASSERT_EQ(m.machine.kernel.GetEventCount(), 1u);
    EXPECT_EQ(m.TakeEvent(), std::make_tuple(6, 2, 5u));
    EXPECT_FALSE(disk.HasDisk());

    // Ejecting an empty slot posts nothing.
    disk.Eject();
    EXPECT_EQ(m.machine.kernel.GetEventCount(), 0u);

    // Without a kernel (as at teardown) the destructor's eject posts nothing and is safe.
    ASSERT_TRUE(disk.Insert(first));
    EXPECT_EQ(m.TakeEvent(), std::make_tuple(6, 1, 5u));
    CMachine withoutKernel;
    disk.SetMachine(&withoutKernel);
    disk.Eject();
    EXPECT_EQ(m.machine.kernel.GetEventCount(), 0u);
}

TEST_F(DiskTest, VersionAndFlags) {
    CDisk disk(true, true, 63);
    EXPECT_EQ(disk.GetVersion(), 0x01000000u);
    EXPECT_TRUE(disk.IsReadOnly());
    EXPECT_TRUE(disk.IsRemembering());
    EXPECT_EQ(disk.GetSlot(), 63u);
    EXPECT_FALSE(disk.HasDisk());
}
