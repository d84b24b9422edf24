// The machine state file on its own: every part of a state survives a round through the
// file, and no damage to a file gets past the decoder, whichever byte it hits.
#include "host/StateFile.h"

#include "common/FakePlatform.h"
#include "common/WholeMachine.h"
#include "core/Machine.h"

#include <gtest/gtest.h>

namespace {

// A state with something in every part: a small memory, a text screen, queued events, a
// pending message, two slots (one with an image), a timer.
SMachineState VariedState() {
    SMachineState state;
    state.memory.resize(1024);
    for (size_t i = 0; i < state.memory.size(); ++i)
        state.memory[i] = static_cast<uint8_t>(i * 7 + i / 13);
    for (size_t i = 0; i < state.registers.size(); ++i)
        state.registers[i] = static_cast<uint8_t>(0xA0 + i);
    state.kernel.running = true;
    state.kernel.pendingMessage = std::string("half\0way", 8);
    state.kernel.bootSlot = 1;
    state.kernel.instructionCount = 0x123456789ull;
    state.kernel.events = {CEvent::Key(0, 0x41), CEvent::Char('a'),
                           CEvent::MouseWheel(4, -3, 9, -1.5f), CEvent::Timer(7)};
    state.randomState = 0xDEADBEEF;
    SScreenState& screen = state.screen;
    screen.mode = kScreenText;
    screen.width = 3;
    screen.height = 2;
    screen.font.faceName = "Terminus";
    screen.font.height = -16;
    screen.cellWidth = 8;
    screen.cellHeight = 16;
    screen.frontBuffer.assign(6, STextCell{'x', 0, 0xFFFFFF, 0});
    screen.backBuffer = screen.frontBuffer;
    screen.backBuffer[4] = STextCell{'y', 1, 0x00FF00, 0x123456};
    screen.dirtyRows = {0, 1};
    state.mouseX = -4;
    state.mouseY = 17;
    state.wheelLines = 5;
    state.hasSound = true;
    state.disks.resize(2);
    state.disks[0].readOnly = true;
    state.disks[1] = {false, true, true, "/images/one.disk", 12, 4096, 4112, 0x89ABCDEF};
    state.timers = {{1, 40}, {9, 1000}};
    return state;
}

std::string DecodeError(const std::vector<uint8_t>& bytes) {
    SMachineState state;
    std::string error;
    EXPECT_FALSE(DecodeMachineState(bytes.data(), bytes.size(), state, error));
    return error;
}

} // namespace

TEST(StateFile, EveryPartSurvivesTheFile) {
    const SMachineState state = VariedState();
    const std::vector<uint8_t> file = EncodeMachineState(state);
    SMachineState decoded;
    std::string error;
    ASSERT_TRUE(DecodeMachineState(file.data(), file.size(), decoded, error)) << error;
    EXPECT_EQ(decoded.memory, state.memory);
    EXPECT_EQ(decoded.registers, state.registers);
    EXPECT_EQ(decoded.kernel.pendingMessage, state.kernel.pendingMessage);
    EXPECT_EQ(decoded.kernel.instructionCount, state.kernel.instructionCount);
    EXPECT_EQ(decoded.kernel.events, state.kernel.events);
    EXPECT_EQ(decoded.randomState, state.randomState);
    EXPECT_EQ(decoded.screen.font, state.screen.font);
    EXPECT_EQ(decoded.screen.backBuffer, state.screen.backBuffer);
    EXPECT_EQ(decoded.screen.dirtyRows, state.screen.dirtyRows);
    EXPECT_EQ(decoded.disks[1].path, "/images/one.disk");
    EXPECT_EQ(decoded.disks[1].checksum, 0x89ABCDEFu);
    EXPECT_EQ(decoded.timers.size(), 2u);
    // Whatever the comparisons above leave out, the encoding of the decoded state does not.
    EXPECT_EQ(EncodeMachineState(decoded), file);
}

TEST(StateFile, NoDamageGetsPastTheDecoder) {
    const std::vector<uint8_t> file = EncodeMachineState(VariedState());
    // Every cut is refused with a reason.
    for (size_t length = 0; length < file.size(); ++length) {
        const std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<ptrdiff_t>(length));
        EXPECT_FALSE(DecodeError(cut).empty()) << "cut at " << length;
    }
    // A changed bit at every byte is refused with a reason, or decodes to the very state that
    // was saved (a compressed match that now points to other, equal bytes): never to another.
    for (size_t at = 0; at < file.size(); ++at) {
        for (const uint8_t bit : {0x01, 0x10, 0x80}) {
            std::vector<uint8_t> damaged = file;
            damaged[at] ^= bit;
            SMachineState state;
            std::string error;
            if (DecodeMachineState(damaged.data(), damaged.size(), state, error))
                EXPECT_EQ(EncodeMachineState(state), file) << "byte " << at << " bit " << int{bit};
            else
                EXPECT_FALSE(error.empty()) << "byte " << at << " bit " << int{bit};
        }
    }
    std::vector<uint8_t> longer = file;
    longer.push_back(0);
    EXPECT_NE(DecodeError(longer).find("damaged"), std::string::npos);
    // A header that promises more than the file can hold is refused before any allocation.
    std::vector<uint8_t> huge = file;
    huge[31] = 0x40;
    EXPECT_NE(DecodeError(huge).find("cannot be that large"), std::string::npos);
}

TEST(StateFile, AMachineTakesAStateAndGivesItBack) {
    // A state applied to a machine of another memory size is what the machine gives back
    // (its slots aside: those are files).
    CFakePlatform platform;
    SMachineState state = VariedState();
    state.disks.clear();
    CWholeMachine second(platform, {}, "64k");
    ASSERT_TRUE(second.IsComplete());
    std::vector<std::string> warnings;
    std::string error;
    ASSERT_TRUE(ApplyMachineState(second.Machine(), platform, state, warnings, error)) << error;
    EXPECT_EQ(second.Memory().GetSize(), 1024);
    EXPECT_EQ(second.Kernel().GetEventCount(), 4u);
    EXPECT_EQ(platform.timers, (std::map<uint32_t, uint32_t>{{1, 40}, {9, 1000}}));

    SMachineState back;
    CaptureMachineState(second.Machine(), platform, back);
    back.disks.clear();
    // The machine has no sound device; the state says so from now on.
    state.hasSound = false;
    // The headless screen measures its own cell.
    state.screen.cellWidth = back.screen.cellWidth;
    state.screen.cellHeight = back.screen.cellHeight;
    EXPECT_EQ(EncodeMachineState(back), EncodeMachineState(state));
    EXPECT_FALSE(warnings.empty()); // the sound the state had is not there
}
