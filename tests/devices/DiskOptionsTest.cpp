#include "devices/Disk.h"
#include "devices/SlotList.h"

#include "common/DiskImages.h"
#include "common/FileTestHelpers.h"
#include "support/INIFile.h"

#include <gtest/gtest.h>

#include <filesystem>

using testhelpers::DiskImageBytes;
using testhelpers::TakeErrors;
using testhelpers::WriteBytes;

namespace {

std::vector<int> SlotsNamed(const std::string& list, int32_t count) {
    const std::vector<bool> flags = ParseSlotList(list, count);
    EXPECT_EQ(flags.size(), static_cast<size_t>(std::max(count, 0)));
    std::vector<int> slots;
    for (size_t i = 0; i < flags.size(); ++i) {
        if (flags[i])
            slots.push_back(static_cast<int>(i));
    }
    return slots;
}

class DiskOptionsTest : public testing::Test {
protected:
    void SetUp() override {
        qm::ClearErrors();
        qm::SetErrorBoxHandler([this](const std::string& text) { boxes.push_back(text); });
        std::filesystem::create_directory(directory.path + "/Games");
        for (const char* name : {"a.disk", "b.disk", "Games/X.disk", "my disk.disk"})
            EXPECT_TRUE(WriteBytes(Path(name), DiskImageBytes("data")));
    }
    void TearDown() override {
        qm::ClearErrors();
        qm::SetErrorBoxHandler(nullptr);
    }

    std::string Path(const std::string& name) const { return directory.path + "/" + name; }

    // The command line with every {} replaced by the test directory.
    std::string CommandLine(std::string text) const {
        for (size_t at; (at = text.find("{}")) != std::string::npos;)
            text.replace(at, 2, directory.path);
        return text;
    }

    testhelpers::CTemporaryDirectory directory;
    std::vector<std::string> boxes;
    qm::CINIFile machineConfig;
};

} // namespace

TEST(SlotListTest, PiecesAndRanges) {
    struct {
        const char* list;
        int32_t count;
        std::vector<int> slots;
    } cases[] = {
        {"0, 3-5, 8-", 10, {0, 3, 4, 5, 8, 9}},
        {"-", 4, {0, 1, 2, 3}},
        {"3-1", 8, {}},
        {"-2", 8, {0, 1, 2}},
        {" 1 ,, 2\t,\r\n", 4, {1, 2}},
        {" 1 - 2 ", 4, {1, 2}},
        {"2-100", 4, {2, 3}},
        {"5-", 3, {}},
        {"7, 12, 99", 8, {7}},
        {"+2, 3x", 5, {2, 3}},
        {"abc", 3, {0}}, // no digits reads as 0
        {"", 5, {}},
        {",,,", 5, {}},
        {"1-3-5", 8, {1, 2, 3}}, // the end is read up to its first non-digit
        {"-2147483648-2147483647", 3, {0, 1, 2}},
        {"0-", 0, {}},
        {"0", -3, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        EXPECT_EQ(SlotsNamed(c.list, c.count), c.slots);
    }
}

TEST_F(DiskOptionsTest, CommandLineChoosesTheFirstImage) {
    struct {
        const char* what;
        const char* commandLine;
        uint32_t slot;
        bool remember;
        const char* remembered; // the user settings' name for the slot, or null
        const char* image;      // expected image below the test directory, or null for none
    } cases[] = {
        {"option in capitals", "-DISK 0 {}/a.disk", 0, false, nullptr, "a.disk"},
        {"image name keeps its case", "-disk 1 {}/Games/X.disk", 1, false, nullptr, "Games/X.disk"},
        {"quoted name with a blank", "-disk 0 \"{}/my disk.disk\"", 0, false, nullptr,
         "my disk.disk"},
        {"another slot's option", "-disk 1 {}/a.disk", 0, false, nullptr, nullptr},
        {"the last option for a slot counts", "-disk 0 {}/a.disk -disk 0 {}/b.disk", 0, false,
         nullptr, "b.disk"},
        {"remembered name", "", 2, true, "{}/a.disk", "a.disk"},
        {"remembered name of a slot that does not remember", "", 2, false, "{}/a.disk", nullptr},
        {"-disk replaces the remembered name", "-disk 2 {}/b.disk", 2, true, "{}/a.disk", "b.disk"},
        {"EMPTY in any case empties the slot", "-disk 1 EMPTY", 1, true, "{}/a.disk", nullptr},
        {"-disksempty empties remembered slots", "-DisksEmpty", 0, true, "{}/a.disk", nullptr},
        {"-disk after -disksempty fills the slot again", "-disksempty -disk 0 {}/b.disk", 0, true,
         "{}/a.disk", "b.disk"},
        {"another slot's image name is an ordinary token", "-disk 0 -disksempty", 1, true,
         "{}/a.disk", nullptr},
        {"slot number with a sign and blanks", "-disk \" +3\" {}/a.disk", 3, false, nullptr,
         "a.disk"},
        {"an option must match in full", "-disks 0 {}/a.disk -diskempty", 0, false, nullptr,
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        qm::CINIFile userSettings;
        if (c.remembered)
            userSettings.SetString("Disks", std::to_string(c.slot), CommandLine(c.remembered));
        CDisk disk(false, c.remember, c.slot);
        EXPECT_TRUE(disk.Init(machineConfig, userSettings, CommandLine(c.commandLine)));
        EXPECT_EQ(disk.HasDisk(), c.image != nullptr);
        if (c.image) {
            EXPECT_EQ(disk.GetFileName(), Path(c.image));
        }
        EXPECT_TRUE(boxes.empty());
        EXPECT_EQ(qm::ErrorCount(), 0u);
    }
}

TEST_F(DiskOptionsTest, AnImageThatCannotBeInsertedIsShownAndLeavesTheSlotEmpty) {
    qm::CINIFile userSettings;
    userSettings.SetString("Disks", "0", Path("gone.disk"));
    CDisk disk(false, true, 0);
    EXPECT_TRUE(disk.Init(machineConfig, userSettings, ""));
    EXPECT_FALSE(disk.HasDisk());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].substr(0, boxes[0].find('\n')),
              "[.\\disks,320] Cannot insert disk \"" + Path("gone.disk") + "\" into slot 0");
    EXPECT_NE(boxes[0].find("Cannot open file"), std::string::npos);
    EXPECT_EQ(qm::ErrorCount(), 0u);

    // The slot keeps the name for the next start (the image may come back) until the user
    // empties the slot or puts another image into it.
    auto saved = [&disk] {
        qm::CINIFile document;
        disk.SaveSettings(document);
        std::string name = "unchanged";
        document.GetString("Disks", "0", name);
        return name;
    };
    EXPECT_EQ(saved(), Path("gone.disk"));
    disk.Eject();
    EXPECT_EQ(saved(), "");
    EXPECT_TRUE(disk.Init(machineConfig, userSettings, ""));
    EXPECT_EQ(saved(), Path("gone.disk"));
    EXPECT_TRUE(disk.Insert(Path("a.disk")));
    EXPECT_EQ(saved(), Path("a.disk"));
    disk.Eject();
    EXPECT_FALSE(disk.Insert(Path("gone.disk")));
    EXPECT_EQ(saved(), "");
    qm::ClearErrors();
}

TEST_F(DiskOptionsTest, ARelativeImageNameIsRememberedFromWhereTheProgramStarted) {
    const std::filesystem::path started = std::filesystem::current_path();
    std::filesystem::current_path(directory.path + "/Games");
    CDisk disk(false, true, 0);
    const bool ok = disk.Init(machineConfig, qm::CINIFile(), "-disk 0 X.disk");
    std::filesystem::current_path(started);
    ASSERT_TRUE(ok);
    EXPECT_EQ(disk.GetFileName(), Path("Games/X.disk"));
    qm::CINIFile saved;
    disk.SaveSettings(saved);
    std::string name;
    saved.GetString("Disks", "0", name);
    EXPECT_EQ(name, Path("Games/X.disk"));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DiskOptionsTest, CutShortDiskOptionsFailTheSlot) {
    struct {
        const char* commandLine;
        uint32_t slot;
        int32_t line; // 0: the slot's Init succeeds
    } cases[] = {
        {"-disk", 0, 227},
        {"-disk", 7, 227},
        {"-boot 1 -DISK", 3, 227},
        {"-disk 5", 5, 233},
        {"-disk 5", 4, 0},
        {"-disk 5 ", 6, 0},
        {"-disk 0 {}/a.disk -disk 2", 2, 233},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.commandLine) + " / slot " + std::to_string(c.slot));
        CDisk disk(false, false, c.slot);
        const std::string commandLine = CommandLine(c.commandLine);
        const bool ok = disk.Init(machineConfig, qm::CINIFile(), commandLine);
        EXPECT_EQ(ok, c.line == 0);
        if (c.line != 0) {
            EXPECT_EQ(TakeErrors(), (std::vector<std::string>{
                                        "[.\\disks," + std::to_string(c.line) +
                                            "] Invalid parameters in \"-disk\"",
                                        "Syntax error in command line \"" + commandLine + "\""}));
        }
        EXPECT_EQ(qm::ErrorCount(), 0u);
    }
}

TEST_F(DiskOptionsTest, OnlyRememberingSlotsSaveTheirImage) {
    CDisk remembering(false, true, 4);
    CDisk forgetting(false, false, 5);
    CDisk emptyRemembering(false, true, 6);
    ASSERT_TRUE(remembering.Insert(Path("a.disk")));
    ASSERT_TRUE(forgetting.Insert(Path("b.disk")));
    qm::CINIFile saved;
    for (CDisk* disk : {&remembering, &forgetting, &emptyRemembering})
        disk->SaveSettings(saved);
    std::string text;
    saved.Serialize(text);
    EXPECT_EQ(text, "[Disks]\r\n4=" + Path("a.disk") + "\r\n6=\r\n");

    // A new machine reading that document starts with the same image (once the old slot
    // has let go of it).
    remembering.Eject();
    qm::CINIFile userSettings;
    userSettings.Parse(text);
    CDisk next(false, true, 4);
    EXPECT_TRUE(next.Init(machineConfig, userSettings, ""));
    EXPECT_EQ(next.GetFileName(), Path("a.disk"));
}
