#include "host/PngFile.h"
#include "common/FileTestHelpers.h"
#include "support/ErrorStack.h"

#include <gtest/gtest.h>
#include <png.h>

namespace {

// Reads a PNG back as 8-bit RGB.
bool ReadPng(const std::string& path, int32_t& width, int32_t& height, std::vector<uint8_t>& rgb) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    width = static_cast<int32_t>(image.width);
    height = static_cast<int32_t>(image.height);
    rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
}

TEST(PngFileTest, MachinePixelsBecomeRedGreenBlue) {
    testhelpers::CTemporaryDirectory directory;
    const std::string path = directory.path + "/picture.png";
    // 0x00BBGGRR, with a high byte that must be ignored.
    const std::vector<uint32_t> pixels = {0x000000FF, 0x0000FF00, 0x00FF0000,
                                          0xAA123456, 0x00000000, 0x00FFFFFF};
    ASSERT_TRUE(SavePixelsAsPng(path, 3, 2, pixels));
    int32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(ReadPng(path, width, height, rgb));
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 2);
    const std::vector<uint8_t> expected = {255,  0,    0,    0, 255, 0, 0,   0,   255,
                                           0x56, 0x34, 0x12, 0, 0,   0, 255, 255, 255};
    EXPECT_EQ(rgb, expected);
}

TEST(PngFileTest, FailuresLeaveAReason) {
    testhelpers::CTemporaryDirectory directory;
    qm::ClearErrors();
    EXPECT_FALSE(SavePixelsAsPng(directory.path + "/missing/dir/x.png", 1, 1, {0}));
    EXPECT_GE(qm::ErrorCount(), 1u);
    qm::ClearErrors();
    EXPECT_FALSE(SavePixelsAsPng(directory.path + "/x.png", 2, 2, {0, 0, 0}));
    EXPECT_GE(qm::ErrorCount(), 1u);
    qm::ClearErrors();
}

} // namespace
