// Group 4 as a running program sees it: a program asks the version, sends a note-on and
// calls an undefined function, and keeps what each call left in the registers.
#include "common/ProgramBuilder.h"
#include "common/SignalAnalysis.h"
#include "common/TestMachine.h"
#include "devices/Sound.h"
#include "host/audio/HostAudio.h"
#include "host/audio/MemoryAudioOutput.h"
#include "isa/Dispatch.h"
#include "support/ErrorStack.h"
#include "support/INIFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {
constexpr uint32_t kRegisters = kRegisterBlockAddress;
constexpr uint32_t kSaved = 0x400; // where the program keeps the results

// Saved results: after the version call group byte and dword 04, after the send group byte
// and byte 02, after the undefined function group byte and function byte.
struct SResults {
    uint8_t versionGroup;
    uint32_t version;
    uint8_t sendGroup;
    uint8_t sent;
    uint8_t undefinedGroup;
    uint8_t undefinedFunction;
};

std::vector<uint8_t> SoundProgram() {
    auto call = [](CProgramBuilder& p, uint8_t function) {
        p.Emit("MOV.16",
               {Imm<uint16_t>(static_cast<uint16_t>(4 | function << 8)), Dir(kRegisters)});
        p.Emit("SYS");
    };
    CProgramBuilder p;
    call(p, 1);
    p.Emit("MOV.8", {Dir(kRegisters), Dir(kSaved + 0)});
    p.Emit("MOV.32", {Dir(kRegisters + 4), Dir(kSaved + 1)});
    p.Emit("MOV.32", {Imm<uint32_t>(0x007F3C90), Dir(kRegisters + 4)});
    call(p, 2);
    p.Emit("MOV.8", {Dir(kRegisters), Dir(kSaved + 5)});
    p.Emit("MOV.8", {Dir(kRegisters + 2), Dir(kSaved + 6)});
    call(p, 9);
    p.Emit("MOV.8", {Dir(kRegisters), Dir(kSaved + 7)});
    p.Emit("MOV.8", {Dir(kRegisters + 1), Dir(kSaved + 8)});
    p.Emit("WAIT");
    return p.Bytes();
}

class SoundProgramTest : public ::testing::Test {
protected:
    SoundProgramTest() : machine(GetDispatchTable(), SoundProgram()) {
        auto output = std::make_unique<CMemoryAudioOutput>([this] { return now; });
        output->SetSink([this](const int16_t* frames, size_t count) {
            rendered.insert(rendered.end(), frames, frames + 2 * count);
        });
        audio = std::make_unique<CHostAudio>(std::move(output));
        // Something other than the results, so that an untouched register shows.
        std::memset(machine.Registers() + 2, 0xEE, 6);
        qm::ClearErrors();
    }
    // Builds the sound device as machine assembly does when MIDI is enabled.
    void AddSound() {
        auto device = std::make_unique<CSound>(audio->MidiOutputs());
        if (!device->Init(qm::CINIFile(), qm::CINIFile(), ""))
            return;
        sound = &machine.Builder().Add(std::move(device));
        machine.Builder().Connect();
    }

    SResults Run() {
        machine.RunUntilStop();
        EXPECT_TRUE(machine.kernel.IsRunning()) << machine.message;
        SResults r;
        const uint8_t* saved = machine.Data() + kSaved;
        r.versionGroup = saved[0];
        std::memcpy(&r.version, saved + 1, 4);
        r.sendGroup = saved[5];
        r.sent = saved[6];
        r.undefinedGroup = saved[7];
        r.undefinedFunction = saved[8];
        return r;
    }

    double now = 0.0;
    std::vector<int16_t> rendered;
    std::unique_ptr<CHostAudio> audio;
    CTestMachine machine;
    CSound* sound = nullptr; // the machine's, once added
};

TEST_F(SoundProgramTest, WithMidiTheProgramGetsVersionSendResultAndUndefinedFunction) {
    AddSound();
    ASSERT_NE(sound, nullptr);
    const SResults r = Run();
    EXPECT_EQ(r.versionGroup, 4);
    EXPECT_EQ(r.version, 0x01000000u);
    EXPECT_EQ(r.sendGroup, 4);
    EXPECT_EQ(r.sent, 1);
    EXPECT_EQ(r.undefinedGroup, 4);
    EXPECT_EQ(r.undefinedFunction, 0);

    // And the note the program sent is heard.
    now = 1.0;
    audio->Synchronize();
    const std::vector<float> left = signal_analysis::LeftChannel(rendered);
    EXPECT_NEAR(signal_analysis::Pitch(left, 4410, 26460, CAudioMixer::kSampleRate), 261.63, 2.6);
}

TEST_F(SoundProgramTest, WithMidiDisabledEveryCallComesBackWithGroupZero) {
    const SResults r = Run();
    EXPECT_EQ(r.versionGroup, 0);
    EXPECT_EQ(r.version, 0xEEEEEEEEu); // dword 04 as it was before the call
    EXPECT_EQ(r.sendGroup, 0);
    EXPECT_EQ(r.sent, 0xEE);
    EXPECT_EQ(r.undefinedGroup, 0);
    EXPECT_EQ(r.undefinedFunction, 9);
}

} // namespace
