#include "devices/Sound.h"
#include "common/TestMachine.h"
#include "support/ErrorStack.h"
#include "support/INIFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Records what the device does with its output.
class CRecordingMidiOutput : public CMidiOutput {
public:
    explicit CRecordingMidiOutput(std::vector<std::string>& log) : log(log) {}
    bool Open(std::string& errorText) override {
        log.push_back("open");
        errorText = openError;
        return openResult;
    }
    bool SendShortMessage(uint32_t message) override {
        messages.push_back(message);
        return sendResult;
    }
    void Reset() override { log.push_back("reset"); }
    void Close() override { log.push_back("close"); }

    std::vector<std::string>& log;
    std::vector<uint32_t> messages;
    bool openResult = true;
    std::string openError;
    bool sendResult = true;
};

std::vector<std::string> PopAllErrors() {
    std::vector<std::string> errors;
    std::string text;
    while (qm::PopError(text))
        errors.push_back(text);
    return errors;
}

class SoundInitTest : public ::testing::Test {
protected:
    void SetUp() override { qm::ClearErrors(); }

    qm::CINIFile config{"/etc/tarquil/Tarquil1.ini"};
    qm::CINIFile settings;
    std::vector<std::string> log;
};

TEST_F(SoundInitTest, OpensItsOutputAndOnStopSilencesItBeforeClosing) {
    {
        CSound sound(std::make_unique<CRecordingMidiOutput>(log));
        ASSERT_TRUE(sound.Init(config, settings, ""));
        EXPECT_TRUE(sound.IsOpen());
        EXPECT_EQ(qm::ErrorCount(), 0u);
        EXPECT_EQ(sound.GetVersion(), 0x01000000u);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"open", "reset", "close"}));
}

TEST_F(SoundInitTest, AFailedOpenGivesTheTwoMessagesAndLeavesNothingOpen) {
    struct {
        const char* reason;
        const char* shown;
    } cases[] = {
        {"No audio output: no sound card", "No audio output: no sound card"},
        {"", "Cannot retrieve error message"},
    };
    for (const auto& c : cases) {
        log.clear();
        {
            auto output = std::make_unique<CRecordingMidiOutput>(log);
            output->openResult = false;
            output->openError = c.reason;
            CSound sound(std::move(output));
            qm::PushError("older message");
            EXPECT_FALSE(sound.Init(config, settings, ""));
            EXPECT_FALSE(sound.IsOpen());
            EXPECT_FALSE(sound.SendShortMessage(0x007F3C90));
        }
        // The box lists the newest first: the way out ends it.
        EXPECT_EQ(
            PopAllErrors(),
            (std::vector<std::string>{
                "[.\\sound,59] Unable to create MIDI sound device",
                std::string("[.\\sound,55] Cannot initialize MIDI (") + c.shown + ")",
                "To start without sound, set Enabled=0 in the [MIDI] section of Tarquil1.ini"}));
        // Nothing to reset or close: the output never opened.
        EXPECT_EQ(log, (std::vector<std::string>{"open"}));
    }
}

TEST_F(SoundInitTest, WithoutAnOutputOrFactoryThereIsNoMidi) {
    CSound sound;
    EXPECT_FALSE(sound.Init(config, settings, ""));
    EXPECT_EQ(PopAllErrors(),
              (std::vector<std::string>{
                  "[.\\sound,59] Unable to create MIDI sound device",
                  "[.\\sound,55] Cannot initialize MIDI (No MIDI output is available)",
                  "To start without sound, set Enabled=0 in the [MIDI] section of Tarquil1.ini"}));
    // A configuration that comes from no file (the runner's own) has no file to edit.
    EXPECT_FALSE(sound.Init(qm::CINIFile(), settings, ""));
    EXPECT_EQ(PopAllErrors(),
              (std::vector<std::string>{
                  "[.\\sound,59] Unable to create MIDI sound device",
                  "[.\\sound,55] Cannot initialize MIDI (No MIDI output is available)"}));
}

TEST_F(SoundInitTest, TheFactoryGetsTheMidiKeysOfTheMachineConfiguration) {
    config.SetString("MIDI", "SoundFont", "fonts/Piano.sf2");
    config.SetString("midi", "output", "128:0");
    SMidiOutputOptions seen;
    const MidiOutputFactory factory = [&](const SMidiOutputOptions& options) {
        seen = options;
        return std::make_unique<CRecordingMidiOutput>(log);
    };
    CSound sound(factory);
    ASSERT_TRUE(sound.Init(config, settings, ""));
    EXPECT_EQ(seen.soundFont, "fonts/Piano.sf2");
    EXPECT_EQ(seen.output, "128:0");
    EXPECT_EQ(seen.baseDirectory, "/etc/tarquil/");

    CSound defaults(factory);
    ASSERT_TRUE(defaults.Init(qm::CINIFile(), settings, ""));
    EXPECT_EQ(seen.soundFont, "");
    EXPECT_EQ(seen.output, "");
    EXPECT_EQ(seen.baseDirectory, "");
}

// Group 4 through the SYS instruction of a running machine.
bool Sys(CKernel& kernel, uint32_t, uint32_t, uint32_t, uint32_t) {
    return kernel.SystemCall();
}

class SoundServicesTest : public ::testing::Test {
protected:
    static SDispatchTable SysTable() {
        SDispatchTable table{};
        table.entries[109] = {&Sys, 0};
        return table;
    }

    SoundServicesTest() : machine(SysTable(), std::vector<uint8_t>(64, 0)) {
        // A program of SYS instructions.
        for (int i = 0; i < 32; i += 2) {
            machine.Data()[i] = 0x00;
            machine.Data()[i + 1] = 109;
        }
        machine.memory.SetIP(0);
        auto recording = std::make_unique<CRecordingMidiOutput>(log);
        output = recording.get();
        sound = std::make_unique<CSound>(std::move(recording));
        sound->Init(qm::CINIFile(), qm::CINIFile(), "");
        sound->SetMachine(&machine.machine);
    }

    // The machine takes the device and the kernel its group.
    void Register() {
        machine.Builder().Add(std::move(sound));
        machine.Builder().Connect();
    }

    // Fills the parameter area with a pattern, then sets group, function and dword 04.
    void SetCall(uint8_t group, uint8_t function, uint32_t value = 0xA5A5A5A5) {
        for (uint32_t i = 0; i < 32; ++i)
            Registers()[i] = static_cast<uint8_t>(0xC0 + i);
        Registers()[0] = group;
        Registers()[1] = function;
        std::memcpy(Registers() + 4, &value, 4);
        before.assign(Registers(), Registers() + 32);
    }

    void Call() {
        EXPECT_FALSE(machine.kernel.Step());
        EXPECT_TRUE(machine.kernel.IsRunning());
    }

    // The parameter-area bytes that differ from before the call, as offset -> new value.
    std::vector<std::pair<int, int>> Changes() {
        std::vector<std::pair<int, int>> changes;
        for (int i = 0; i < 32; ++i)
            if (Registers()[i] != before[i])
                changes.push_back({i, Registers()[i]});
        return changes;
    }

    uint8_t* Registers() { return machine.Registers(); }

    std::vector<std::string> log;
    CTestMachine machine;
    CRecordingMidiOutput* output = nullptr;
    std::unique_ptr<CSound> sound; // until Register
    std::vector<uint8_t> before;
};

TEST_F(SoundServicesTest, VersionIsWrittenToDword04) {
    Register();
    SetCall(4, 1);
    Call();
    EXPECT_EQ(Changes(),
              (std::vector<std::pair<int, int>>{{4, 0x00}, {5, 0x00}, {6, 0x00}, {7, 0x01}}));
}

TEST_F(SoundServicesTest, SendReportsWhetherTheOutputTookTheMessage) {
    Register();
    SetCall(4, 2, 0x007F3C90);
    Call();
    EXPECT_EQ(output->messages, (std::vector<uint32_t>{0x007F3C90}));
    EXPECT_EQ(Changes(), (std::vector<std::pair<int, int>>{{2, 1}}));

    output->sendResult = false;
    SetCall(4, 2, 0x000000F0);
    Call();
    EXPECT_EQ(output->messages, (std::vector<uint32_t>{0x007F3C90, 0x000000F0}));
    EXPECT_EQ(Changes(), (std::vector<std::pair<int, int>>{{2, 0}}));
}

TEST_F(SoundServicesTest, UndefinedFunctionsClearTheFunctionByteOnly) {
    Register();
    for (uint8_t function : {3, 0x80, 0xFF}) {
        SetCall(4, function);
        Call();
        EXPECT_EQ(Changes(), (std::vector<std::pair<int, int>>{{1, 0}})) << int{function};
    }
    SetCall(4, 0);
    Call();
    EXPECT_TRUE(Changes().empty());
    EXPECT_TRUE(output->messages.empty());
}

TEST_F(SoundServicesTest, WithoutASoundDeviceTheDispatcherClearsTheGroupByte) {
    // MIDI disabled: nothing registered for group 4.
    for (uint8_t function : {1, 2}) {
        SetCall(4, function, 0x007F3C90);
        Call();
        EXPECT_EQ(Changes(), (std::vector<std::pair<int, int>>{{0, 0}}));
    }
    EXPECT_TRUE(output->messages.empty());
}

} // namespace
