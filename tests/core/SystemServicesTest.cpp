#include "common/ControlTable.h"
#include "common/TestMachine.h"
#include "core/ServiceGroup.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>

using namespace testhelpers;

namespace {

constexpr uint8_t kMarker = 0xAA;

// A device group that counts its calls and answers with a chosen result.
class CCountingGroup : public CServiceGroup {
public:
    bool Serve(CKernel&, CMemory&, uint32_t function) override {
        ++calls;
        lastFunction = function;
        return result;
    }
    int calls = 0;
    uint32_t lastFunction = 0;
    bool result = true;
};

class SystemServicesTest : public testing::Test {
protected:
    SystemServicesTest() : m(ControlTable(), Program({Op(kCodeSys), Op(kCodeWait)})) {}

    // Fills the parameter area with markers, sets group and function and the given bytes,
    // and runs the SYS instruction's handler. Returns whether it ended the slice.
    bool Sys(uint8_t group, uint8_t function,
             std::initializer_list<std::pair<int, uint32_t>> dwords = {},
             std::initializer_list<std::pair<int, uint8_t>> bytes = {}) {
        std::memset(m.Registers(), kMarker, 32);
        m.Registers()[0] = group;
        m.Registers()[1] = function;
        for (const auto& [offset, value] : dwords)
            std::memcpy(m.Registers() + offset, &value, 4);
        for (const auto& [offset, value] : bytes)
            m.Registers()[offset] = value;
        return m.kernel.SystemCall();
    }
    uint8_t Byte(int offset) { return m.Registers()[offset]; }
    uint32_t Dword(int offset) {
        uint32_t v;
        std::memcpy(&v, m.Registers() + offset, 4);
        return v;
    }

    CTestMachine m;
};

} // namespace

TEST_F(SystemServicesTest, GroupOneConstantsAndVersions) {
    EXPECT_FALSE(Sys(1, 1));
    EXPECT_EQ(Dword(4), 0x01000300u);
    EXPECT_FALSE(Sys(1, 2));
    EXPECT_EQ(Dword(4), 1u);
    m.platform.osVersion = {10, 0, 19045, 2};
    EXPECT_FALSE(Sys(1, 3));
    EXPECT_EQ(Dword(8), 10u);
    EXPECT_EQ(Dword(12), 0u);
    EXPECT_EQ(Dword(16), 19045u);
    EXPECT_EQ(Dword(20), 2u);
    EXPECT_EQ(Dword(4), 0xAAAAAAAAu);
    EXPECT_FALSE(Sys(1, 4));
    EXPECT_EQ(Dword(8), 1u);
    EXPECT_EQ(Dword(12), 0u);
    EXPECT_FALSE(Sys(1, 11));
    EXPECT_EQ(Dword(4), 1024u);
}

TEST_F(SystemServicesTest, UnknownGroupsFunctionsAndSubFunctions) {
    struct {
        uint8_t group;
        uint8_t function;
        int clearedByte; // 0: the group byte, 1: the function byte
    } cases[] = {
        {0, 1, 0}, {8, 1, 0}, {255, 3, 0}, {2, 1, 0},   {3, 1, 0}, {4, 1, 0}, {5, 1, 0},
        {6, 1, 0}, {1, 0, 1}, {1, 13, 1},  {1, 255, 1}, {7, 0, 1}, {7, 3, 1}, {7, 200, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.group) + "/" + std::to_string(c.function));
        EXPECT_FALSE(Sys(c.group, c.function));
        std::vector<uint8_t> expected(32, kMarker);
        expected[0] = c.group;
        expected[1] = c.function;
        expected[static_cast<size_t>(c.clearedByte)] = 0;
        EXPECT_EQ(std::vector<uint8_t>(m.Registers(), m.Registers() + 32), expected);
        EXPECT_TRUE(m.kernel.IsRunning());
    }
    // Character services: sub-functions 0 and 6 up clear the function byte only.
    for (uint8_t sub : {0, 6, 255}) {
        EXPECT_FALSE(Sys(1, 12, {}, {{2, sub}, {3, 'a'}}));
        EXPECT_EQ(Byte(1), 0);
        EXPECT_EQ(Byte(3), 'a');
    }
}

TEST_F(SystemServicesTest, DeviceGroupsNeedARegisteredDeviceAndTheMachine) {
    CCountingGroup group;
    for (uint32_t number = 2; number <= 6; ++number)
        m.kernel.SetServiceGroup(number, &group);
    EXPECT_FALSE(Sys(4, 9));
    EXPECT_EQ(group.calls, 1);
    EXPECT_EQ(group.lastFunction, 9u);
    EXPECT_EQ(Byte(0), 4);

    // Without a machine groups 2 to 5 are not served; the disk group still is.
    m.kernel.SetMachine(nullptr);
    EXPECT_FALSE(Sys(5, 1));
    EXPECT_EQ(Byte(0), 0);
    EXPECT_EQ(group.calls, 1);
    // A failing register access in the group stops the machine.
    group.result = false;
    EXPECT_TRUE(Sys(6, 1));
    EXPECT_EQ(group.calls, 2);
    EXPECT_FALSE(m.kernel.IsRunning());
    std::string message;
    m.kernel.RunSlice(message);
    EXPECT_EQ(message, "Memory error");
}

TEST_F(SystemServicesTest, MemoryGroup) {
    EXPECT_FALSE(Sys(7, 1));
    EXPECT_EQ(Dword(4), 0x01000000u);
    EXPECT_FALSE(Sys(7, 2));
    EXPECT_EQ(Dword(4), 65536u);
}

TEST_F(SystemServicesTest, BeepPassesItsValuesAndWritesNothing) {
    EXPECT_FALSE(Sys(1, 5, {{8, 440}, {12, 250}}));
    ASSERT_EQ(m.platform.beeps.size(), 1u);
    EXPECT_EQ(m.platform.beeps[0].frequency, 440u);
    EXPECT_EQ(m.platform.beeps[0].durationMs, 250u);
    EXPECT_EQ(Byte(2), kMarker);
    EXPECT_EQ(Dword(4), 0xAAAAAAAAu);
}

TEST_F(SystemServicesTest, TitleMessage) {
    std::memcpy(m.Data() + 0x300, "Hello, world", 12);
    // Five bytes, relative to BASE.
    m.memory.SetBASE(0x100);
    EXPECT_FALSE(Sys(1, 6, {{4, 0x200}}, {{2, 5}}));
    m.memory.SetBASE(0);
    EXPECT_TRUE(m.kernel.IsRunning());
    m.memory.SetIP(2); // the WAIT
    EXPECT_TRUE(m.Slice());
    EXPECT_EQ(m.message, "Hello");
    EXPECT_TRUE(m.kernel.IsRunning());
    // Handed out once.
    m.memory.SetIP(2);
    m.Slice();
    EXPECT_EQ(m.message, "");

    // Length 0 sets an empty message, replacing an earlier one.
    EXPECT_FALSE(Sys(1, 6, {{4, 0x300}}, {{2, 12}}));
    EXPECT_FALSE(Sys(1, 6, {{4, 0x300}}, {{2, 0}}));
    m.memory.SetIP(2);
    m.Slice();
    EXPECT_EQ(m.message, "");

    // Zero bytes are part of the message.
    std::memcpy(m.Data() + 0x400, "a\0b", 3);
    EXPECT_FALSE(Sys(1, 6, {{4, 0x400}}, {{2, 3}}));
    m.memory.SetIP(2);
    m.Slice();
    EXPECT_EQ(m.message, std::string("a\0b", 3));
}

TEST_F(SystemServicesTest, TitleMessageFromOutsideMemoryIsAMemoryError) {
    // The range runs past the end of the 64 KiB memory.
    EXPECT_TRUE(Sys(1, 6, {{4, 65536 - 2}}, {{2, 3}}));
    EXPECT_FALSE(m.kernel.IsRunning());
    m.Slice();
    EXPECT_EQ(m.message, "Memory error");
}

TEST_F(SystemServicesTest, HostTimers) {
    EXPECT_FALSE(Sys(1, 7, {{4, 42}, {8, 100}}));
    EXPECT_EQ(Byte(2), 1);
    EXPECT_EQ(m.platform.timers.at(42), 100u);
    m.platform.acceptTimers = false;
    EXPECT_FALSE(Sys(1, 7, {{4, 43}, {8, 100}}));
    EXPECT_EQ(Byte(2), 0);
    EXPECT_FALSE(Sys(1, 8, {{4, 42}}));
    EXPECT_EQ(Byte(2), 1);
    EXPECT_TRUE(m.platform.timers.empty());
    EXPECT_FALSE(Sys(1, 8, {{4, 42}}));
    EXPECT_EQ(Byte(2), 0);
}

TEST_F(SystemServicesTest, TimeInSecondsAsAFloat) {
    m.platform.counterFrequency = 1000000;
    m.platform.counter = 2500000;
    EXPECT_FALSE(Sys(1, 9));
    EXPECT_EQ(std::bit_cast<float>(Dword(4)), 2.5f);
    // The frequency is asked once: a later change is not seen.
    m.platform.counterFrequency = 2000000;
    m.platform.counter = 3000000;
    EXPECT_FALSE(Sys(1, 9));
    EXPECT_EQ(std::bit_cast<float>(Dword(4)), 3.0f);
}

TEST(SystemServicesClockTest, WithoutACounterTheTickCountIsUsed) {
    CTestMachine m(ControlTable(), Program({Op(kCodeSys)}));
    m.platform.counterFrequency = 0;
    m.platform.tickCount = 0xFFFFFFFFu;
    m.Registers()[0] = 1;
    m.Registers()[1] = 9;
    EXPECT_FALSE(m.kernel.SystemCall());
    float seconds;
    std::memcpy(&seconds, m.Registers() + 4, 4);
    EXPECT_EQ(seconds, static_cast<float>(4294967295.0 * 0.001));
}

TEST_F(SystemServicesTest, CharacterServicesFollowTheCodePage) {
    struct {
        uint8_t sub;
        uint8_t character;
        uint8_t result;
    } cases[] = {
        {1, 'a', 'A'},   {1, 'A', 'A'},   {1, '1', '1'},   {1, 0x9A, 0x8A}, {1, 0xFF, 0x9F},
        {1, 0xDF, 0xDF}, {1, 0xE9, 0xC9}, {1, 0x81, 0x81}, {2, 'Q', 'q'},   {2, 0x8A, 0x9A},
        {2, 0x9F, 0xFF}, {2, 0xC9, 0xE9}, {2, 0x81, 0x81}, {3, 'a', 1},     {3, '7', 1},
        {3, '!', 0},     {3, 0x81, 0},    {3, 0xE9, 1},    {3, 0xB2, 0},    {4, 'z', 1},
        {4, '7', 0},     {4, 0xAA, 1},    {4, 0xDF, 1},    {4, 0x81, 0},    {4, ' ', 0},
        {5, 9, 1},       {5, 10, 1},      {5, 13, 1},      {5, 32, 1},      {5, 11, 0},
        {5, 12, 0},      {5, 0xA0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.sub) + "/" + std::to_string(c.character));
        EXPECT_FALSE(Sys(1, 12, {}, {{2, c.sub}, {3, c.character}}));
        EXPECT_EQ(Byte(3), c.result);
        EXPECT_EQ(Byte(1), 12);
        EXPECT_EQ(Byte(2), c.sub);
    }
}
