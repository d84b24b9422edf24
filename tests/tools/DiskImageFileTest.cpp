#include "tools/disk/DiskImageFile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

namespace {

class DiskImageFile : public testing::Test {
protected:
    void SetUp() override {
        directory = std::filesystem::temp_directory_path() /
                    ("tarquil-diskimage-" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory);
    }
    void TearDown() override { std::filesystem::remove_all(directory); }
    std::string Path(const char* name) const { return (directory / name).string(); }

    std::filesystem::path directory;
};

TEST_F(DiskImageFile, BootDiskHoldsHeaderLengthAndImage) {
    std::string error;
    const std::vector<uint8_t> image = {0x00, 0xFF, 0x00, 0x6F};
    ASSERT_TRUE(WriteBootDisk(Path("boot.disk"), image, 0, error)) << error;
    std::vector<uint8_t> file;
    ASSERT_TRUE(ReadFileBytes(Path("boot.disk"), file, error));
    ASSERT_EQ(file.size(), 16u + 4 + 4);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 15), "Tarquil Disk 10");
    EXPECT_EQ(file[15], 0);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 16, file.begin() + 20),
              (std::vector<uint8_t>{4, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 20, file.end()), image);

    std::vector<uint8_t> boot;
    ASSERT_TRUE(ReadBootImage(Path("boot.disk"), boot, error)) << error;
    EXPECT_EQ(boot, image);
}

TEST_F(DiskImageFile, BootDiskPaddedToTheRequestedDataSize) {
    std::string error;
    ASSERT_TRUE(WriteBootDisk(Path("big.disk"), {1, 2, 3}, 1024, error)) << error;
    SDiskInfo info;
    ASSERT_TRUE(ReadDiskInfo(Path("big.disk"), info, error));
    EXPECT_TRUE(info.magicValid);
    EXPECT_EQ(info.dataSize, 1024u);
    EXPECT_EQ(info.bootLength, 3);
    EXPECT_EQ(info.BootBytes(), 3u);
    EXPECT_FALSE(WriteBootDisk(Path("small.disk"), {1, 2, 3}, 6, error));
    EXPECT_NE(error.find("smaller"), std::string::npos);
}

TEST_F(DiskImageFile, EmptyDiskIsNotBootable) {
    std::string error;
    ASSERT_TRUE(CreateEmptyDisk(Path("data.disk"), 4096, error)) << error;
    SDiskInfo info;
    ASSERT_TRUE(ReadDiskInfo(Path("data.disk"), info, error));
    EXPECT_EQ(info.fileSize, 4096u + 16);
    EXPECT_EQ(info.dataSize, 4096u);
    EXPECT_EQ(info.bootLength, 0);
    EXPECT_EQ(info.BootBytes(), 0u);
    std::vector<uint8_t> boot;
    EXPECT_FALSE(ReadBootImage(Path("data.disk"), boot, error));
    EXPECT_NE(error.find("no boot image"), std::string::npos);
}

TEST_F(DiskImageFile, NegativeBootLengthMeansTheRestOfTheDisk) {
    std::string error;
    std::vector<uint8_t> bytes(kDiskMagic.begin(), kDiskMagic.end());
    bytes.push_back(0x5A);
    const std::vector<uint8_t> data = {0xFF, 0xFF, 0xFF, 0xFF, 7, 8, 9};
    bytes.insert(bytes.end(), data.begin(), data.end());
    ASSERT_TRUE(WriteFileBytes(Path("rest.disk"), bytes, error));
    SDiskInfo info;
    ASSERT_TRUE(ReadDiskInfo(Path("rest.disk"), info, error));
    EXPECT_EQ(info.reserved, 0x5A);
    EXPECT_EQ(info.bootLength, -1);
    std::vector<uint8_t> boot;
    ASSERT_TRUE(ReadBootImage(Path("rest.disk"), boot, error)) << error;
    EXPECT_EQ(boot, (std::vector<uint8_t>{7, 8, 9}));
}

TEST_F(DiskImageFile, WrongHeaderOrShortFileIsRefused) {
    std::string error;
    ASSERT_TRUE(WriteFileBytes(Path("bad.disk"), {'T', 'a', 'r'}, error));
    SDiskInfo info;
    ASSERT_TRUE(ReadDiskInfo(Path("bad.disk"), info, error));
    EXPECT_FALSE(info.magicValid);
    std::vector<uint8_t> boot;
    EXPECT_FALSE(ReadBootImage(Path("bad.disk"), boot, error));
    EXPECT_FALSE(ReadBootImage(Path("missing.disk"), boot, error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);

    // A boot length larger than what follows it.
    std::vector<uint8_t> bytes(kDiskMagic.begin(), kDiskMagic.end());
    bytes.push_back(0);
    const std::vector<uint8_t> data = {100, 0, 0, 0, 1};
    bytes.insert(bytes.end(), data.begin(), data.end());
    ASSERT_TRUE(WriteFileBytes(Path("short.disk"), bytes, error));
    EXPECT_FALSE(ReadBootImage(Path("short.disk"), boot, error));
}

TEST_F(DiskImageFile, ReadsDataRanges) {
    std::string error;
    ASSERT_TRUE(WriteBootDisk(Path("d.disk"), {1, 2, 3}, 8, error));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadDiskData(Path("d.disk"), 4, 4, bytes, error));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3, 0}));
    EXPECT_FALSE(ReadDiskData(Path("d.disk"), 5, 4, bytes, error));
}

TEST(ByteSize, ParsesSuffixesAndRefusesNonsense) {
    struct SCase {
        const char* text;
        bool ok;
        uint64_t size;
    };
    const SCase cases[] = {{"4096", true, 4096},
                           {"64k", true, 65536},
                           {"1m", true, 1048576},
                           {"1.5M", true, 1572864},
                           {" 2 MB ", true, 2097152},
                           {"10b", true, 10},
                           {"0", true, 0},
                           {"", false, 0},
                           {"k", false, 0},
                           {"-5", false, 0},
                           {"1e3", false, 0},
                           {"12x", false, 0},
                           {".", false, 0}};
    for (const SCase& c : cases) {
        uint64_t size = 12345;
        EXPECT_EQ(ParseByteSize(c.text, size), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(size, c.size) << c.text;
        }
    }
}

} // namespace
