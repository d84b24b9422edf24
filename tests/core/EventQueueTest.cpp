#include "common/ControlTable.h"
#include "common/TestMachine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

using namespace testhelpers;

namespace {

constexpr uint8_t kMarker = 0xAA;

// A running machine whose program is a loop of WAIT and GETEVENT (never run here unless a
// test runs slices).
class EventQueueTest : public testing::Test {
protected:
    EventQueueTest() : m(ControlTable(), Program({Op(kCodeWait), Op(kCodeGetEvent)})) {}

    // Takes the next event into a register block full of markers.
    void Take() {
        std::memset(m.Registers(), kMarker, 32);
        ASSERT_TRUE(m.kernel.TakeEvent());
    }
    std::vector<uint8_t> Block() const {
        return {m.memory.GetRegisters(), m.memory.GetRegisters() + 32};
    }

    CTestMachine m;
};

// 32 register bytes: the marker everywhere except the given bytes.
std::vector<uint8_t> Expected(std::initializer_list<std::pair<int, uint8_t>> bytes) {
    std::vector<uint8_t> block(32, kMarker);
    for (const auto& [offset, value] : bytes)
        block[static_cast<size_t>(offset)] = value;
    return block;
}

// 32 register bytes: the given leading bytes, then the marker.
std::vector<uint8_t> Leading(std::initializer_list<uint8_t> bytes) {
    std::vector<uint8_t> block(32, kMarker);
    std::copy(bytes.begin(), bytes.end(), block.begin());
    return block;
}

} // namespace

TEST_F(EventQueueTest, RecordsOfEveryKind) {
    struct {
        const char* what;
        std::function<void(CKernel&)> post;
        std::vector<uint8_t> record;
    } cases[] = {
        {"activity held", [](CKernel& k) { k.PostActivityEvent(EActivity::Held); },
         Expected({{0, 1}, {1, 1}, {2, 0}})},
        {"activity again", [](CKernel& k) { k.PostActivityEvent(EActivity::Active); },
         Expected({{0, 1}, {1, 1}, {2, 1}})},
        {"timer", [](CKernel& k) { k.PostTimerEvent(0x01020304); },
         Expected({{0, 1}, {1, 2}, {4, 4}, {5, 3}, {6, 2}, {7, 1}})},
        {"key down", [](CKernel& k) { k.PostKeyEvent(0, 0x0D); },
         Expected({{0, 2}, {1, 1}, {2, 1}, {4, 0x0D}, {5, 0}, {6, 0}, {7, 0}})},
        {"key up", [](CKernel& k) { k.PostKeyEvent(1, 0x25); },
         Expected({{0, 2}, {1, 1}, {2, 2}, {4, 0x25}, {5, 0}, {6, 0}, {7, 0}})},
        {"character", [](CKernel& k) { k.PostCharEvent(0xE9); },
         Expected({{0, 2}, {1, 2}, {4, 0xE9}, {5, 0}, {6, 0}, {7, 0}})},
        {"mouse move", [](CKernel& k) { k.PostMouseMoveEvent(9, -1, 300); },
         Expected({{0, 3},
                   {1, 1},
                   {4, 9},
                   {5, 0},
                   {6, 0},
                   {7, 0},
                   {8, 0xFF},
                   {9, 0xFF},
                   {10, 0xFF},
                   {11, 0xFF},
                   {12, 0x2C},
                   {13, 1},
                   {14, 0},
                   {15, 0}})},
        {"left button down",
         [](CKernel& k) {
             k.PostMouseButtonEvent(EMouseButton::Left, EMouseAction::Down, 1, 2, 3);
         },
         Leading({3, 2, 1, 1, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0})},
        {"right button double click",
         [](CKernel& k) {
             k.PostMouseButtonEvent(EMouseButton::Right, EMouseAction::DoubleClick, 0, 0, 0);
         },
         Leading({3, 2, 3, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"middle button up",
         [](CKernel& k) {
             k.PostMouseButtonEvent(EMouseButton::Middle, EMouseAction::Up, 0, 0, 0);
         },
         Leading({3, 2, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"wheel", [](CKernel& k) { k.PostMouseWheelEvent(0, 0, 0, 3.0000002f); },
         Expected({{0, 3},
                   {1, 3},
                   {4, 0},
                   {5, 0},
                   {6, 0},
                   {7, 0},
                   {8, 0},
                   {9, 0},
                   {10, 0},
                   {11, 0},
                   {12, 0},
                   {13, 0},
                   {14, 0},
                   {15, 0},
                   {16, 0x01},
                   {17, 0x00},
                   {18, 0x40},
                   {19, 0x40}})},
        {"screen", [](CKernel& k) { k.PostScreenEvent(); }, Expected({{0, 5}, {1, 1}})},
        {"disk inserted", [](CKernel& k) { k.PostDiskInsertedEvent(63); },
         Expected({{0, 6}, {1, 1}, {4, 63}, {5, 0}, {6, 0}, {7, 0}})},
        {"disk ejected", [](CKernel& k) { k.PostDiskEjectedEvent(2); },
         Expected({{0, 6}, {1, 2}, {4, 2}, {5, 0}, {6, 0}, {7, 0}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.post(m.kernel);
        ASSERT_EQ(m.kernel.GetEventCount(), 1u);
        Take();
        EXPECT_EQ(Block(), c.record);
        EXPECT_EQ(m.kernel.GetEventCount(), 0u);
    }
}

TEST_F(EventQueueTest, AScreenEventLeavesTheMouseCoordinates) {
    m.kernel.PostMouseMoveEvent(0, 17, 23);
    m.kernel.PostScreenEvent();
    Take();
    ASSERT_TRUE(m.kernel.TakeEvent());
    uint32_t x, y;
    std::memcpy(&x, m.Registers() + 8, 4);
    std::memcpy(&y, m.Registers() + 12, 4);
    EXPECT_EQ(m.Registers()[0], 5);
    EXPECT_EQ(x, 17u);
    EXPECT_EQ(y, 23u);
}

TEST_F(EventQueueTest, EmptyQueueWritesOnlyGroupZero) {
    Take();
    EXPECT_EQ(Block(), Expected({{0, 0}}));
}

TEST_F(EventQueueTest, OneThousandTwentyFourWaitAtMostInOrder) {
    for (uint32_t i = 0; i < 1025; ++i)
        m.kernel.PostTimerEvent(i);
    EXPECT_EQ(m.kernel.GetEventCount(), 1024u);
    Take();
    EXPECT_EQ(m.Registers()[4], 0); // oldest first
    m.kernel.PostTimerEvent(5000);
    EXPECT_EQ(m.kernel.GetEventCount(), 1024u);
    m.kernel.PostTimerEvent(5001);
    EXPECT_EQ(m.kernel.GetEventCount(), 1024u);
    uint32_t id = 0;
    for (int i = 0; i < 1024; ++i) {
        Take();
        std::memcpy(&id, m.Registers() + 4, 4);
    }
    EXPECT_EQ(id, 5000u);
    EXPECT_FALSE(m.kernel.HasEvents());
}

TEST(EventQueueLifecycleTest, EventsCountOnlyWhileTheMachineRuns) {
    // Before the boot nothing is accepted.
    CFakePlatform platform;
    CKernel kernel(platform, ControlTable());
    kernel.PostCharEvent('x');
    EXPECT_EQ(kernel.GetEventCount(), 0u);

    // After a machine error the queue is emptied and stays empty.
    CTestMachine m(ControlTable(), {0x00, 0x70});
    m.kernel.PostCharEvent('a');
    m.kernel.PostCharEvent('b');
    EXPECT_TRUE(m.Slice());
    EXPECT_EQ(m.message, "Invalid opcode");
    EXPECT_EQ(m.kernel.GetEventCount(), 0u);
    m.kernel.PostCharEvent('c');
    EXPECT_EQ(m.kernel.GetEventCount(), 0u);
}

TEST(WaitTest, EndsTheSliceOnlyWhileTheQueueIsEmpty) {
    // WAIT, GETEVENT, WAIT, then an invalid opcode (zero bytes).
    CTestMachine m(ControlTable(),
                   Program({Op(kCodeWait), Op(kCodeGetEvent), Op(kCodeWait), Op(kCodeNop)}));
    EXPECT_TRUE(m.Slice());
    EXPECT_TRUE(m.kernel.IsRunning());
    EXPECT_EQ(m.memory.GetIP(), 2u);
    EXPECT_TRUE(m.message.empty());

    // Two events: the second WAIT finds one queued and goes on to the end.
    m.kernel.PostCharEvent('a');
    m.kernel.PostCharEvent('b');
    EXPECT_TRUE(m.Slice());
    EXPECT_EQ(m.message, "Invalid opcode");
    EXPECT_EQ(m.Registers()[0], 2);
    EXPECT_EQ(m.Registers()[4], 'a');
}

TEST(WaitTest, EventCountServiceAfterTakingOneOfThree) {
    // GETEVENT, then SYS group 1 function 10, then WAIT.
    CTestMachine m(ControlTable(), Program({Op(kCodeGetEvent), Op(kCodeSys), Op(kCodeWait)}));
    for (int i = 0; i < 3; ++i)
        m.kernel.PostKeyEvent(0, 0x41);
    // The key record overwrites the group and function bytes, so the test sets them
    // between the two steps.
    EXPECT_FALSE(m.kernel.Step());
    m.Registers()[0] = 1;
    m.Registers()[1] = 10;
    EXPECT_FALSE(m.kernel.Step());
    EXPECT_EQ(m.Registers()[4], 2);
    EXPECT_EQ(m.Registers()[5], 0);
}
