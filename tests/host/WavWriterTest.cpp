#include "host/audio/WavWriter.h"
#include "common/FileTestHelpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

TEST(WavWriterTest, WritesAStereoPcmFileWithTheSizesFilledIn) {
    testhelpers::CTemporaryDirectory dir;
    const std::string path = dir.path + "/out.wav";
    std::vector<int16_t> frames;
    for (int i = 0; i < 3000; ++i) {
        frames.push_back(static_cast<int16_t>(i * 11 - 16000));
        frames.push_back(static_cast<int16_t>(-i));
    }
    {
        CWavWriter writer(44100, 2);
        ASSERT_TRUE(writer.Open(path));
        writer.Append(frames.data(), 1000);
        writer.Append(frames.data() + 2000, 2000);
        ASSERT_TRUE(writer.Close());
    }
    const std::vector<uint8_t> file = ReadFile(path);
    ASSERT_EQ(file.size(), 44u + 3000 * 4);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
    EXPECT_EQ(U32(file, 4), file.size() - 8);
    EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(U32(file, 16), 16u);
    EXPECT_EQ(U16(file, 20), 1u);         // PCM
    EXPECT_EQ(U16(file, 22), 2u);         // channels
    EXPECT_EQ(U32(file, 24), 44100u);     // frames per second
    EXPECT_EQ(U32(file, 28), 44100u * 4); // bytes per second
    EXPECT_EQ(U16(file, 32), 4u);         // bytes per frame
    EXPECT_EQ(U16(file, 34), 16u);        // bits per sample
    EXPECT_EQ(std::string(file.begin() + 36, file.begin() + 40), "data");
    EXPECT_EQ(U32(file, 40), 3000u * 4);
    for (size_t i = 0; i < frames.size(); ++i)
        ASSERT_EQ(static_cast<int16_t>(U16(file, 44 + 2 * i)), frames[i]) << i;
}

TEST(WavWriterTest, AnEmptyRecordingIsAValidFile) {
    testhelpers::CTemporaryDirectory dir;
    const std::string path = dir.path + "/empty.wav";
    CWavWriter writer(44100, 2);
    ASSERT_TRUE(writer.Open(path));
    ASSERT_TRUE(writer.Close());
    const std::vector<uint8_t> file = ReadFile(path);
    ASSERT_EQ(file.size(), 44u);
    EXPECT_EQ(U32(file, 4), 36u);
    EXPECT_EQ(U32(file, 40), 0u);
}

TEST(WavWriterTest, ReportsFilesItCannotCreateOrFinish) {
    CWavWriter writer(44100, 2);
    EXPECT_FALSE(writer.Open("/nonexistent-directory/out.wav"));
    EXPECT_FALSE(writer.IsOpen());

    testhelpers::CTemporaryDirectory dir;
    ASSERT_TRUE(writer.Open(dir.path + "/full.wav"));
    std::vector<int16_t> frames(2 * 44100, 1000);
    {
        testhelpers::CFileSizeLimit limit(10000);
        writer.Append(frames.data(), 44100);
        EXPECT_FALSE(writer.Close());
    }
}

} // namespace
