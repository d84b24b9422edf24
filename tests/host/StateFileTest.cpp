// The machine state file on its own: every part of a state survives a round through the
// file, and no damage to a file gets past the decoder, whichever byte it hits.
#include "host/StateFile.h"

#include "common/DiskImages.h"
#include "common/FakePlatform.h"
#include "common/FileTestHelpers.h"
#include "common/WholeMachine.h"
#include "core/Machine.h"
#include "host/LargePages.h"

#include <gtest/gtest.h>
#include <zstd.h>

#include <random>

namespace {

// A state with something in every part: a small memory, a text screen, queued events, a
// pending message, two slots (one with an image), a timer.
SMachineState VariedState() {
    SMachineState state;
    AllocateMemoryImage(state.memory, 1024);
    for (uint32_t i = 0; i < state.memory.GetSize(); ++i)
        state.memory.GetData()[i] = static_cast<uint8_t>(i * 7 + i / 13);
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

// The same file with its payload packed whole, in one call, as an earlier writer did: how
// a frame is cut into blocks is the writer's choice, and a reader takes every choice.
std::vector<uint8_t> PackedWhole(const std::vector<uint8_t>& file) {
    const uint8_t* frame = file.data() + 32;
    const size_t frameSize = file.size() - 32;
    std::vector<uint8_t> payload(ZSTD_getFrameContentSize(frame, frameSize));
    EXPECT_EQ(ZSTD_decompress(payload.data(), payload.size(), frame, frameSize), payload.size());
    std::vector<uint8_t> whole(32 + ZSTD_compressBound(payload.size()));
    std::copy_n(file.begin(), 32, whole.begin());
    const size_t packed =
        ZSTD_compress(whole.data() + 32, whole.size() - 32, payload.data(), payload.size(), 1);
    EXPECT_FALSE(ZSTD_isError(packed));
    whole.resize(32 + packed);
    return whole;
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
    const std::vector<uint8_t> whole = PackedWhole(file);
    SMachineState fromWhole;
    ASSERT_TRUE(DecodeMachineState(whole.data(), whole.size(), fromWhole, error)) << error;
    EXPECT_EQ(EncodeMachineState(fromWhole), file);
}

TEST(StateFile, ALargeFileLoadsFromDiskPieceByPieceAndItsDamageIsFound) {
    // Memory that does not pack: the file is many times the pieces the reader takes from
    // the disk at a time.
    SMachineState state = VariedState();
    ASSERT_TRUE(AllocateMemoryImage(state.memory, 3 << 20));
    std::mt19937 generator(17);
    for (uint32_t i = 0; i < state.memory.GetSize(); ++i)
        state.memory.GetData()[i] = static_cast<uint8_t>(generator());
    const std::vector<uint8_t> encoded = EncodeMachineState(state);
    const std::string file(encoded.begin(), encoded.end());
    testhelpers::CTemporaryDirectory directory;
    const std::string path = directory.path + "/large.state";
    std::string error;
    ASSERT_TRUE(SaveStateFile(path, state, error)) << error;
    ASSERT_EQ(testhelpers::ReadBytes(path), file);
    SMachineState loaded;
    ASSERT_TRUE(LoadStateFile(path, loaded, error)) << error;
    EXPECT_EQ(loaded.memory, state.memory);
    EXPECT_EQ(EncodeMachineState(loaded), encoded);

    auto refusal = [&](const std::string& contents) {
        EXPECT_TRUE(testhelpers::WriteBytes(path, contents));
        SMachineState refused;
        std::string reason;
        EXPECT_FALSE(LoadStateFile(path, refused, reason));
        EXPECT_TRUE(refused.memory.IsEmpty());
        return reason;
    };
    constexpr size_t kPiece = 256 << 10;
    for (const size_t length :
         {size_t{40}, size_t{1000}, kPiece - 1, kPiece, kPiece + 1, 3 * kPiece, file.size() - 1}) {
        SCOPED_TRACE(length);
        EXPECT_NE(refusal(file.substr(0, length)).find("damaged or cut off"), std::string::npos);
    }
    EXPECT_NE(refusal(file + '\0').find("damaged or cut off"), std::string::npos);
    // Memory that does not pack is stored as it is: a changed byte there is found by the
    // checksum alone.
    std::string changed = file;
    changed[file.size() / 2] = static_cast<char>(changed[file.size() / 2] ^ 0x04);
    EXPECT_NE(refusal(changed).find("checksum mismatch"), std::string::npos);
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
    SMachineState applied = VariedState();
    applied.disks.clear();
    CWholeMachine second(platform, {}, "64k");
    ASSERT_TRUE(second.IsComplete());
    std::vector<std::string> warnings;
    std::string error;
    ASSERT_TRUE(ApplyMachineState(second.Machine(), platform, std::move(applied), warnings, error))
        << error;
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
