// A machine with MIDI enabled started on a host that has no sound card: the two messages
// are shown at once, and the machine is built and runs without sound.
#include "common/DiskImages.h"
#include "common/FakePlatform.h"
#include "common/FileTestHelpers.h"
#include "common/ProgramBuilder.h"
#include "core/Kernel.h"
#include "core/Memory.h"
#include "host/HeadlessScreenSurface.h"
#include "host/MachineAssembly.h"
#include "host/audio/HostAudio.h"
#include "support/ErrorStack.h"
#include "support/TextFunctions.h"

#include <gtest/gtest.h>

namespace {

class CNoSoundCard : public CAudioOutput {
public:
    bool Open(CAudioMixer&, std::string& errorText) override {
        errorText = "No audio output device";
        return false;
    }
    void Close() override {}
    bool IsOpen() const override { return false; }
};

// A boot disk whose program asks the sound group for its version and keeps the group byte.
std::string BootDisk() {
    CProgramBuilder p;
    p.Emit("MOV.16", {Imm<uint16_t>(0x0104), Dir(kRegisterBlockAddress)});
    p.Emit("SYS");
    p.Emit("MOV.8", {Dir(kRegisterBlockAddress), Dir(0x400)});
    p.Emit("WAIT");
    return testhelpers::DiskImageBytes(testhelpers::BootDataArea(p.Bytes()));
}

TEST(SoundStartTest, WithoutASoundCardTheMessagesShowAndTheMachineRunsWithoutSound) {
    testhelpers::CTemporaryDirectory temporary;
    const std::string dir = temporary.path + "/";
    ASSERT_TRUE(qm::WriteWholeFile(dir + "Tarquil1.ini",
                                   "[Memory]\r\nSize=64k\r\n[Kernel]\r\nPriority=3\r\n"
                                   "[MIDI]\r\nEnabled=true\r\n[Disks]\r\nCount=1\r\n"));
    ASSERT_TRUE(qm::WriteWholeFile(dir + "Tarquil2.ini", ""));
    ASSERT_TRUE(qm::WriteWholeFile(dir + "boot.disk", BootDisk()));

    CHostAudio audio(std::make_unique<CNoSoundCard>());
    std::vector<std::string> boxes;
    qm::ClearErrors();
    qm::SetErrorBoxHandler([&](const std::string& text) { boxes.push_back(text); });

    CFakePlatform platform;
    CHeadlessScreenSurface surface;
    {
        CMachineHost host(SMachineEnvironment{&platform,
                                              dir,
                                              "-disk 0 " + dir + "boot.disk",
                                              false,
                                              &surface,
                                              {},
                                              audio.MidiOutputs()});
        ASSERT_TRUE(host.StartMachine());
        EXPECT_EQ(boxes, std::vector<std::string>{
                             "[.\\sound,59] Unable to create MIDI sound device\n"
                             "[.\\sound,55] Cannot initialize MIDI (No audio output: No audio "
                             "output device)\nTo start without sound, set Enabled=0 in the [MIDI] "
                             "section of Tarquil1.ini\n"});
        CMachine& machine = *host.GetMachine();
        EXPECT_EQ(machine.sound, nullptr);

        std::string message;
        for (int i = 0; i < 10 && !machine.kernel->RunSlice(message); ++i) {
        }
        EXPECT_TRUE(machine.kernel->IsRunning()) << message;
        EXPECT_EQ(machine.memory->GetData()[0x400], 0); // group 4: not served
    }
    qm::SetErrorBoxHandler(nullptr);
}

} // namespace
