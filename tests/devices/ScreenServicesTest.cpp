#include "devices/DeviceMachine.h"

#include <gtest/gtest.h>

namespace {

constexpr uint8_t kScreenGroup = 5;

class ScreenServicesTest : public ::testing::Test {
protected:
    // Function 2 with the given mode byte and size; returns the result byte.
    uint8_t SetMode(uint8_t mode, int32_t width, int32_t height) {
        m.SetByte(2, mode);
        m.SetDword(8, static_cast<uint32_t>(width));
        m.SetDword(0xC, static_cast<uint32_t>(height));
        m.SetByte(3, 0xEE);
        EXPECT_TRUE(m.Call(kScreenGroup, 2));
        return m.Byte(3);
    }
    uint8_t PutCell(int32_t x, int32_t y, uint8_t c, uint8_t underline, uint32_t ink,
                    uint32_t paper) {
        m.SetDword(8, static_cast<uint32_t>(x));
        m.SetDword(0xC, static_cast<uint32_t>(y));
        m.SetByte(2, c);
        m.SetByte(3, underline);
        m.SetDword(0x10, ink);
        m.SetDword(0x14, paper);
        EXPECT_TRUE(m.Call(kScreenGroup, 5));
        return m.Byte(4);
    }
    CDeviceMachine m;
};

TEST_F(ScreenServicesTest, VersionAndModeAfterStart) {
    ASSERT_TRUE(m.Call(kScreenGroup, 1));
    EXPECT_EQ(m.Dword(4), 0x01000100u);
    ASSERT_TRUE(m.Call(kScreenGroup, 3));
    EXPECT_EQ(m.Byte(2), 1);
    EXPECT_EQ(m.Dword(8), 80u);
    EXPECT_EQ(m.Dword(0xC), 25u);
    EXPECT_EQ(m.Byte(1), 3); // a defined function keeps its number
}

TEST_F(ScreenServicesTest, SetModeReportsItsResult) {
    EXPECT_EQ(SetMode(2, 320, 200), 1);
    int32_t mode, w, h;
    m.screen.GetMode(mode, w, h);
    EXPECT_EQ(mode, kScreenGraphics);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(SetMode(1, 10241, 25), 0);
    EXPECT_EQ(SetMode(1, 80, -1), 0);
    m.screen.GetMode(mode, w, h);
    EXPECT_EQ(mode, kScreenGraphics);
    EXPECT_EQ(SetMode(1, 40, 12), 1);
}

TEST_F(ScreenServicesTest, UnknownModeRejectsTheFunctionAndChangesNothing) {
    for (uint8_t modeByte : {0, 3, 255}) {
        EXPECT_EQ(SetMode(modeByte, 320, 200), 0xEE) << int(modeByte);
        EXPECT_EQ(m.Byte(1), 0);
        int32_t mode, w, h;
        m.screen.GetMode(mode, w, h);
        EXPECT_EQ(mode, kScreenText);
        EXPECT_EQ(w, 80);
    }
}

TEST_F(ScreenServicesTest, CellsRoundTripThroughTheBackBuffer) {
    EXPECT_EQ(PutCell(79, 24, 0xE9, 5, 0x00123456, 0x00ABCDEF), 1);
    m.SetDword(8, 79);
    m.SetDword(0xC, 24);
    ASSERT_TRUE(m.Call(kScreenGroup, 6));
    EXPECT_EQ(m.Byte(4), 1);
    EXPECT_EQ(m.Byte(2), 0xE9);
    EXPECT_EQ(m.Byte(3), 1); // any underline reads back as 1
    EXPECT_EQ(m.Dword(0x10), 0x00123456u);
    EXPECT_EQ(m.Dword(0x14), 0x00ABCDEFu);

    // Nothing is drawn before the refresh, then the cell is.
    EXPECT_TRUE(m.surface.runs.empty());
    ASSERT_TRUE(m.Call(kScreenGroup, 4));
    EXPECT_EQ(m.Byte(2), 1);
    ASSERT_EQ(m.surface.runs.size(), 1u);
    EXPECT_EQ(m.surface.runs[0].text, "\xE9");
    EXPECT_TRUE(m.surface.runs[0].underlined);
}

TEST_F(ScreenServicesTest, CellsOutsideTheGridFail) {
    EXPECT_EQ(PutCell(80, 0, 'a', 0, 1, 2), 0);
    EXPECT_EQ(PutCell(0, -1, 'a', 0, 1, 2), 0);
    m.SetDword(8, 0);
    m.SetDword(0xC, 25);
    m.SetByte(4, 0xEE);
    ASSERT_TRUE(m.Call(kScreenGroup, 6));
    EXPECT_EQ(m.Byte(4), 0);
}

TEST_F(ScreenServicesTest, GraphicsModeRefusesCellsAndCellSize) {
    ASSERT_EQ(SetMode(2, 320, 200), 1);
    EXPECT_EQ(PutCell(0, 0, 'a', 0, 1, 2), 0);
    m.SetByte(2, 0xEE);
    ASSERT_TRUE(m.Call(kScreenGroup, 9));
    EXPECT_EQ(m.Byte(2), 0);
    ASSERT_TRUE(m.Call(kScreenGroup, 10));
    EXPECT_EQ(m.Byte(2), 1);
    EXPECT_EQ(m.Dword(8), 2u); // 640 x 400 client: scale 2
    EXPECT_EQ(m.Dword(0xC), 0u);
}

TEST_F(ScreenServicesTest, TextModeReportsCellSizeButNoPixelScale) {
    ASSERT_TRUE(m.Call(kScreenGroup, 9));
    EXPECT_EQ(m.Byte(2), 1);
    EXPECT_EQ(m.Dword(8), 8u);
    EXPECT_EQ(m.Dword(0xC), 16u);
    ASSERT_TRUE(m.Call(kScreenGroup, 10));
    EXPECT_EQ(m.Byte(2), 0);
}

TEST_F(ScreenServicesTest, CapacityWritesNoResultByte) {
    m.surface.clientWidth = 805;
    m.surface.clientHeight = 600;
    m.surface.cellWidth = 10;
    m.screen.NotifyResize();
    m.SetByte(2, 0xEE);
    ASSERT_TRUE(m.Call(kScreenGroup, 11));
    EXPECT_EQ(m.Dword(8), 80u);
    EXPECT_EQ(m.Dword(0xC), 37u);
    EXPECT_EQ(m.Byte(2), 0xEE);
    ASSERT_EQ(SetMode(2, 320, 200), 1);
    ASSERT_TRUE(m.Call(kScreenGroup, 11));
    EXPECT_EQ(m.Dword(8), 805u);
    EXPECT_EQ(m.Dword(0xC), 600u);
}

TEST_F(ScreenServicesTest, PixelsMoveBetweenMemoryAndScreen) {
    ASSERT_EQ(SetMode(2, 4, 2), 1);
    for (uint32_t i = 0; i < 32; ++i)
        m.Data()[0x100 + i] = static_cast<uint8_t>(i + 1);
    m.SetDword(4, 0x100);
    ASSERT_TRUE(m.Call(kScreenGroup, 7));
    EXPECT_EQ(m.Byte(2), 1);
    EXPECT_EQ(m.screen.GetPixelBuffer()[0], 0x04030201u);
    EXPECT_EQ(m.screen.GetPixelBuffer()[7], 0x201F1E1Du);

    m.SetDword(4, 0x200);
    ASSERT_TRUE(m.Call(kScreenGroup, 8));
    EXPECT_EQ(m.Byte(2), 1);
    EXPECT_EQ(std::memcmp(m.Data() + 0x200, m.Data() + 0x100, 32), 0);
    EXPECT_EQ(m.Data()[0x220], 0); // exactly one picture
}

TEST_F(ScreenServicesTest, PictureAddressesAreRelativeToBase) {
    ASSERT_EQ(SetMode(2, 1, 1), 1);
    const uint8_t pixel[4] = {9, 8, 7, 0};
    std::memcpy(m.Data() + 0x1010, pixel, 4);
    m.memory.SetBASE(0x1000);
    m.SetDword(4, 0x10);
    ASSERT_TRUE(m.Call(kScreenGroup, 7));
    EXPECT_EQ(m.screen.GetPixelBuffer()[0], 0x00070809u);
}

TEST_F(ScreenServicesTest, PictureRangePastTheEndOfMemoryStopsTheMachine) {
    ASSERT_EQ(SetMode(2, 4, 4), 1);
    const int32_t size = m.memory.GetSize();
    m.SetDword(4, static_cast<uint32_t>(size - 64 + 1)); // one byte too far
    m.SetByte(2, 0xEE);
    EXPECT_FALSE(m.Call(kScreenGroup, 7));
    EXPECT_EQ(m.Byte(2), 0xEE);
    EXPECT_EQ(m.screen.GetPixelBuffer(), std::vector<uint32_t>(16, 0));
    std::string message;
    m.kernel.RunSlice(message);
    EXPECT_EQ(message, "Memory error");
}

TEST_F(ScreenServicesTest, PictureRangeIsCheckedEvenOutsideGraphicsMode) {
    // In text mode the call fails quietly with a valid range...
    m.SetDword(4, 0);
    ASSERT_TRUE(m.Call(kScreenGroup, 8));
    EXPECT_EQ(m.Byte(2), 0);
    EXPECT_EQ(m.Data()[0], 0); // nothing copied over the program
    // ...and stops the machine with an invalid one (80 x 25 x 4 bytes from the end).
    m.SetDword(4, static_cast<uint32_t>(m.memory.GetSize() - 100));
    EXPECT_FALSE(m.Call(kScreenGroup, 8));
}

TEST_F(ScreenServicesTest, UndefinedFunctionsAreRejected) {
    for (uint8_t function : {0, 12, 200, 255}) {
        m.SetByte(2, 0x55);
        ASSERT_TRUE(m.Call(kScreenGroup, function));
        EXPECT_EQ(m.Byte(1), 0) << int(function);
        EXPECT_EQ(m.Byte(2), 0x55);
    }
}

TEST_F(ScreenServicesTest, ResizeNoticePostsTheScreenEvent) {
    m.screen.NotifyResize();
    ASSERT_EQ(m.kernel.GetEventCount(), 1u);
    ASSERT_TRUE(m.kernel.TakeEvent());
    EXPECT_EQ(m.Byte(0), 5);
    EXPECT_EQ(m.Byte(1), 1);
}

} // namespace
