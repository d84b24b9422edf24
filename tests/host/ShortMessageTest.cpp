#include "host/audio/ShortMessage.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct SDecodeCase {
    const char* name;
    std::vector<uint32_t> before; // decoded first, to set up running status
    uint32_t packed;
    bool accepted;
    SShortMessage expected;
};

class ShortMessageDecodeTest : public ::testing::TestWithParam<SDecodeCase> {};

TEST_P(ShortMessageDecodeTest, Decodes) {
    const SDecodeCase& c = GetParam();
    CShortMessageDecoder decoder;
    SShortMessage ignored;
    for (uint32_t packed : c.before)
        decoder.Decode(packed, ignored);
    SShortMessage message;
    ASSERT_EQ(decoder.Decode(c.packed, message), c.accepted);
    if (!c.accepted)
        return;
    EXPECT_EQ(message.status, c.expected.status);
    EXPECT_EQ(message.data1, c.expected.data1);
    EXPECT_EQ(message.data2, c.expected.data2);
    EXPECT_EQ(message.length, c.expected.length);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ShortMessageDecodeTest,
    ::testing::Values(
        SDecodeCase{"NoteOn", {}, 0x007F3C90, true, {0x90, 0x3C, 0x7F, 3}},
        SDecodeCase{"TopByteIgnored", {}, 0xFF7F3C90, true, {0x90, 0x3C, 0x7F, 3}},
        SDecodeCase{"NoteOffChannel16", {}, 0x00403C8F, true, {0x8F, 0x3C, 0x40, 3}},
        SDecodeCase{"ProgramChangeIgnoresSecondByte", {}, 0x00FF05C0, true, {0xC0, 5, 0, 2}},
        SDecodeCase{"ChannelPressure", {}, 0x000064D3, true, {0xD3, 0x64, 0, 2}},
        SDecodeCase{"PitchBend", {}, 0x007F7FE0, true, {0xE0, 0x7F, 0x7F, 3}},
        SDecodeCase{"DataByteWithTopBit", {}, 0x007FBC90, false, {}},
        SDecodeCase{"SecondDataByteWithTopBit", {}, 0x00803C90, false, {}},
        SDecodeCase{"ProgramChangeDataWithTopBit", {}, 0x000080C0, false, {}},
        SDecodeCase{"RunningStatusWithoutStatus", {}, 0x00007F3C, false, {}},
        SDecodeCase{"RunningStatus", {0x007F3C90}, 0x00007F40, true, {0x90, 0x40, 0x7F, 3}},
        SDecodeCase{"RunningStatusOneByte", {0x000005C2}, 0x00000007, true, {0xC2, 7, 0, 2}},
        SDecodeCase{"SysExRefused", {}, 0x000000F0, false, {}},
        SDecodeCase{"SysExEndRefused", {}, 0x000000F7, false, {}},
        SDecodeCase{"SysExEndsRunningStatus", {0x007F3C90, 0xF0}, 0x00007F40, false, {}},
        SDecodeCase{
            "SongPositionEndsRunningStatus", {0x007F3C90, 0x000102F2}, 0x00007F40, false, {}},
        SDecodeCase{
            "ClockKeepsRunningStatus", {0x007F3C90, 0xF8}, 0x00007F40, true, {0x90, 0x40, 0x7F, 3}},
        SDecodeCase{"SystemReset", {}, 0x00FFFFFF, true, {0xFF, 0, 0, 1}},
        SDecodeCase{"SongSelect", {}, 0x000003F3, true, {0xF3, 3, 0, 2}},
        SDecodeCase{"SongPosition", {}, 0x007F01F2, true, {0xF2, 1, 0x7F, 3}}),
    [](const ::testing::TestParamInfo<SDecodeCase>& info) { return info.param.name; });

TEST(ShortMessageDecoderTest, ResetForgetsRunningStatus) {
    CShortMessageDecoder decoder;
    SShortMessage message;
    ASSERT_TRUE(decoder.Decode(0x007F3C90, message));
    decoder.Reset();
    EXPECT_FALSE(decoder.Decode(0x00007F40, message));
}

} // namespace
