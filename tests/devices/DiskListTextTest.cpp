#include "devices/DiskListText.h"
#include "common/DiskImages.h"
#include "common/FileTestHelpers.h"
#include "devices/Disk.h"

#include <gtest/gtest.h>

namespace {

TEST(DiskListTextTest, ShortNameDropsDirectoryAndExtension) {
    const struct {
        const char* fileName;
        const char* shortName;
    } cases[] = {
        {"C:\\Games\\Pong.disk", "Pong"},
        {"/home/me/games/pong.disk", "pong"},
        {"games\\x.disk", "x"},
        {"A:boot.disk", "boot"},
        {"plain", "plain"},
        {"dir.d\\file", "file"}, // the last dot belongs to a directory
        {"dir.d/file", "file"},
        {"archive.tar.disk", "archive.tar"},
        {"trailing.", "trailing"},
        {"/dir/", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DiskShortName(c.fileName), c.shortName) << c.fileName;
}

TEST(DiskListTextTest, LinesAndDetailsShowFlagsAndTheImage) {
    testhelpers::CTemporaryDirectory directory;
    const std::string image = directory.path + "/Pong.disk";
    ASSERT_TRUE(testhelpers::WriteBytes(image, testhelpers::DiskImageBytes(std::string(8, 'x'))));

    CDisk readOnly(true, false, 2);
    ASSERT_TRUE(readOnly.Insert(image));
    EXPECT_EQ(DiskListLine(readOnly), "2. [10] Pong");
    const SDiskDetails details = DiskDetails(&readOnly);
    EXPECT_EQ(details.readOnly, "Read-only : True");
    EXPECT_EQ(details.remember, "Remember : False");
    EXPECT_EQ(details.fileName, image);

    CDisk remembering(false, true, 11);
    EXPECT_EQ(DiskListLine(remembering), "11. [01] ");
    const SDiskDetails empty = DiskDetails(&remembering);
    EXPECT_EQ(empty.readOnly, "Read-only : False");
    EXPECT_EQ(empty.remember, "Remember : True");
    EXPECT_EQ(empty.fileName, "");

    const SDiskDetails none = DiskDetails(nullptr);
    EXPECT_EQ(none.readOnly, "Read-only : ");
    EXPECT_EQ(none.remember, "Remember : ");
    EXPECT_EQ(none.fileName, "");
}

} // namespace
