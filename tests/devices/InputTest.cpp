#include "devices/DeviceMachine.h"
#include "support/INIFile.h"

#include <gtest/gtest.h>

#include <bit>

namespace {

constexpr uint8_t kKeyboardGroup = 2;
constexpr uint8_t kMouseGroup = 3;
constexpr uint32_t kCapsLock = 0x14;

TEST(KeyboardServicesTest, VersionAndUndefinedFunctions) {
    CDeviceMachine m;
    ASSERT_TRUE(m.Call(kKeyboardGroup, 1));
    EXPECT_EQ(m.Dword(4), 0x01000000u);
    for (uint8_t function : {0, 4, 255}) {
        ASSERT_TRUE(m.Call(kKeyboardGroup, function));
        EXPECT_EQ(m.Byte(1), 0) << int(function);
    }
}

TEST(KeyboardServicesTest, KeyStateAsOfTheMessagesReportsDownAndToggled) {
    struct {
        bool down, toggled;
    } cases[] = {{false, false}, {false, true}, {true, false}, {true, true}};
    for (const auto& c : cases) {
        CDeviceMachine m;
        if (c.down)
            m.platform.keysDown[kCapsLock] = true;
        if (c.toggled)
            m.platform.keysToggled[kCapsLock] = true;
        m.platform.keysDownNow[kCapsLock] = !c.down; // must not be consulted
        m.SetDword(4, kCapsLock);
        m.SetByte(2, 0xEE);
        m.SetByte(3, 0xEE);
        ASSERT_TRUE(m.Call(kKeyboardGroup, 2));
        EXPECT_EQ(m.Byte(2), c.down ? 1 : 0);
        EXPECT_EQ(m.Byte(3), c.toggled ? 1 : 0);
    }
}

TEST(KeyboardServicesTest, KeyStateNowAsksThePlatformForThatKey) {
    CDeviceMachine m;
    m.platform.keysDownNow['A'] = true;
    m.platform.keysDown['B'] = true;
    m.SetDword(4, 'A');
    ASSERT_TRUE(m.Call(kKeyboardGroup, 3));
    EXPECT_EQ(m.Byte(2), 1);
    m.SetDword(4, 'B');
    m.SetByte(3, 0xEE);
    ASSERT_TRUE(m.Call(kKeyboardGroup, 3));
    EXPECT_EQ(m.Byte(2), 0);
    EXPECT_EQ(m.Byte(3), 0xEE);
}

TEST(KeyboardTest, KeysAndCharactersBecomeEvents) {
    CDeviceMachine m;
    m.keyboard.Key(0, 0x41);
    m.keyboard.Character(0xE9);
    m.keyboard.Key(1, 0x41);
    ASSERT_EQ(m.kernel.GetEventCount(), 3u);
    const struct {
        uint8_t kind, byte2;
        uint32_t dword4;
    } expected[] = {{1, 1, 0x41}, {2, 0xEE, 0xE9}, {1, 2, 0x41}};
    for (const auto& e : expected) {
        m.SetByte(2, 0xEE);
        ASSERT_TRUE(m.kernel.TakeEvent());
        EXPECT_EQ(m.Byte(0), 2);
        EXPECT_EQ(m.Byte(1), e.kind);
        EXPECT_EQ(m.Byte(2), e.byte2);
        EXPECT_EQ(m.Dword(4), e.dword4);
    }
}

TEST(KeyboardTest, WithoutAMachineNothingIsPosted) {
    CKeyboard keyboard;
    keyboard.Key(0, 0x41); // must simply not crash
    CDeviceMachine m;
    m.machine.kernel = nullptr;
    m.keyboard.Character('x');
    m.machine.kernel = &m.kernel;
    EXPECT_EQ(m.kernel.GetEventCount(), 0u);
}

TEST(MouseServicesTest, PositionIsTheLastForwardedMove) {
    CDeviceMachine m;
    m.SetDword(8, 77);
    m.SetDword(0xC, 77);
    ASSERT_TRUE(m.Call(kMouseGroup, 3));
    EXPECT_EQ(m.Dword(8), 0u);
    EXPECT_EQ(m.Dword(0xC), 0u);

    m.mouse.Move(0, 2, 1);
    m.mouse.Button(EMouseButton::Left, EMouseAction::Down, kMouseLeft, 40, 30);
    m.mouse.Wheel(0, 50, 60, 120);
    ASSERT_TRUE(m.Call(kMouseGroup, 3));
    EXPECT_EQ(m.Dword(8), 2u);
    EXPECT_EQ(m.Dword(0xC), 1u);

    m.mouse.Move(0, -3, 100);
    ASSERT_TRUE(m.Call(kMouseGroup, 3));
    EXPECT_EQ(static_cast<int32_t>(m.Dword(8)), -3);
    EXPECT_EQ(m.Dword(0xC), 100u);
}

TEST(MouseServicesTest, ButtonStateIsAskedNowAndOtherFunctionsAreRejected) {
    CDeviceMachine m;
    m.platform.keysDownNow[2] = true; // right button
    m.platform.keysDown[1] = true;    // left only in the message state
    m.SetDword(4, 2);
    ASSERT_TRUE(m.Call(kMouseGroup, 2));
    EXPECT_EQ(m.Byte(2), 1);
    m.SetDword(4, 1);
    ASSERT_TRUE(m.Call(kMouseGroup, 2));
    EXPECT_EQ(m.Byte(2), 0);
    ASSERT_TRUE(m.Call(kMouseGroup, 1));
    EXPECT_EQ(m.Dword(4), 0x01000000u);
    for (uint8_t function : {0, 4, 255}) {
        ASSERT_TRUE(m.Call(kMouseGroup, function));
        EXPECT_EQ(m.Byte(1), 0) << int(function);
    }
}

TEST(MouseTest, OneNotchScrollsSlightlyMoreThanTheConfiguredLines) {
    CFakePlatform platform;
    CMouse mouse(platform);
    ASSERT_TRUE(mouse.Init(qm::CINIFile(), qm::CINIFile(), ""));
    EXPECT_EQ(std::bit_cast<uint32_t>(mouse.WheelLines(120)), 0x40400001u);  // 3.0000002
    EXPECT_EQ(std::bit_cast<uint32_t>(mouse.WheelLines(-120)), 0xC0400001u); // -3.0000002
    EXPECT_EQ(mouse.WheelLines(0), 0.0f);
    EXPECT_NEAR(mouse.WheelLines(-32768), -819.2f, 0.001f);
}

TEST(MouseTest, WheelLinesComeFromThePlatformOrDefaultToThree) {
    CFakePlatform platform;
    platform.wheelLines = 7;
    CMouse mouse(platform);
    ASSERT_TRUE(mouse.Init(qm::CINIFile(), qm::CINIFile(), ""));
    EXPECT_EQ(mouse.GetWheelLines(), 7u);
    EXPECT_NEAR(mouse.WheelLines(240), 14.0f, 1e-5f);
    platform.wheelLinesKnown = false;
    mouse.ReadWheelLines();
    EXPECT_EQ(mouse.GetWheelLines(), 3u);
    platform.wheelLinesKnown = true;
    platform.wheelLines = 0;
    mouse.ReadWheelLines();
    EXPECT_EQ(mouse.WheelLines(120), 0.0f);
}

TEST(MouseTest, MovesButtonsAndWheelBecomeEvents) {
    CDeviceMachine m;
    m.mouse.Move(kMouseShift, 5, 6);
    m.mouse.Button(EMouseButton::Right, EMouseAction::DoubleClick, kMouseRight, 7, 8);
    m.mouse.Wheel(kMouseControl, 9, 10, -120);
    ASSERT_EQ(m.kernel.GetEventCount(), 3u);

    ASSERT_TRUE(m.kernel.TakeEvent());
    EXPECT_EQ(m.Byte(0), 3);
    EXPECT_EQ(m.Byte(1), 1);
    EXPECT_EQ(m.Dword(4), kMouseShift);
    EXPECT_EQ(m.Dword(8), 5u);
    EXPECT_EQ(m.Dword(0xC), 6u);

    ASSERT_TRUE(m.kernel.TakeEvent());
    EXPECT_EQ(m.Byte(1), 2);
    EXPECT_EQ(m.Byte(2), 3); // the record numbers the right button 3
    EXPECT_EQ(m.Byte(3), 3); // and a double click 3
    EXPECT_EQ(m.Dword(4), kMouseRight);
    EXPECT_EQ(m.Dword(8), 7u);

    ASSERT_TRUE(m.kernel.TakeEvent());
    EXPECT_EQ(m.Byte(1), 3);
    EXPECT_EQ(m.Dword(4), kMouseControl);
    EXPECT_EQ(m.Dword(0x10), 0xC0400001u);
}

} // namespace
