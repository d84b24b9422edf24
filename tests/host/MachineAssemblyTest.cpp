#include "host/MachineAssembly.h"

#include "core/DiskSlot.h"
#include "core/Kernel.h"
#include "core/Memory.h"
#include "devices/Keyboard.h"
#include "devices/Mouse.h"
#include "devices/Screen.h"
#include "devices/Sound.h"
#include "host/HeadlessScreenSurface.h"
#include "support/ErrorStack.h"
#include "support/INIFile.h"
#include "support/TextFunctions.h"

#include "common/FakePlatform.h"
#include "common/FileTestHelpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace {

const char* const kHeaderOnly = "; Tarquil2.ini\r\n"
                                "\r\n"
                                "; This file contains settings which are managed by Tarquil.\r\n"
                                "; You can change it with dialog windows in the program.\r\n";

std::string Config(const std::string& extra = {}) {
    return "[Memory]\r\nSize=64k\r\n[Kernel]\r\nPriority=3\r\n" + extra;
}

// A disk image: the magic, the reserved byte, then a data area that starts with the boot
// length.
std::string DiskImage(int32_t bootLength, size_t dataSize = 64) {
    std::string image = std::string("Tarquil Disk 10") + '\0';
    std::string data(dataSize, '\0');
    if (dataSize >= 4)
        std::memcpy(data.data(), &bootLength, 4);
    return image + data;
}

class MachineAssemblyTest : public testing::Test {
protected:
    void SetUp() override {
        qm::ClearErrors();
        qm::SetErrorBoxHandler([this](const std::string& text) { boxes.push_back(text); });
    }
    void TearDown() override {
        host.reset();
        qm::ClearErrors();
        qm::SetErrorBoxHandler(nullptr);
    }

    void Write(const std::string& name, const std::string& text) {
        ASSERT_TRUE(qm::WriteWholeFile(dir + name, text));
    }
    std::string Read(const std::string& name) {
        std::string text;
        EXPECT_TRUE(qm::ReadWholeFile(dir + name, text)) << name;
        return text;
    }
    CMachineHost& Host(const std::string& commandLine = {}) {
        host = std::make_unique<CMachineHost>(
            SMachineEnvironment{&platform, dir, commandLine, false, surface, {}, midiOutput});
        return *host;
    }
    // Starts with the given files (a null user settings text: no such file).
    bool Start(const std::string& config, const char* user = "",
               const std::string& commandLine = {}) {
        Write("Tarquil1.ini", config);
        if (user)
            Write("Tarquil2.ini", user);
        return Host(commandLine).StartMachine();
    }
    CMachine& Machine() { return *host->GetMachine(); }
    // The user settings file from its "Disks" section on ("" when it has none).
    std::string DisksPart() {
        const std::string text = Read("Tarquil2.ini");
        const size_t start = text.find("[Disks]");
        return start == std::string::npos ? std::string() : text.substr(start);
    }

    testhelpers::CTemporaryDirectory temporary;
    const std::string dir = temporary.path + "/";
    CFakePlatform platform;
    CHeadlessScreenSurface headlessSurface;
    CScreenSurface* surface = &headlessSurface;
    MidiOutputFactory midiOutput;
    std::vector<std::string> boxes;
    std::unique_ptr<CMachineHost> host;
};

} // namespace

TEST_F(MachineAssemblyTest, AGoodConfigurationBuildsAndAttachesTheMachine) {
    ASSERT_TRUE(Start(Config("[Disks]\r\nCount=2\r\n")));
    EXPECT_TRUE(boxes.empty());
    CMachine& machine = Machine();
    ASSERT_NE(machine.kernel, nullptr);
    ASSERT_NE(machine.memory, nullptr);
    EXPECT_EQ(machine.memory->GetSize(), 65536);
    EXPECT_EQ(machine.diskCount, 2);
    EXPECT_EQ(machine.kernel->GetMachine(), &machine);
    EXPECT_EQ(machine.memory->GetMachine(), &machine);
    EXPECT_EQ(machine.disks[1]->GetMachine(), &machine);
    EXPECT_EQ(platform.threadPriority, EThreadPriority::Normal);
    // Attached and booted: with no disk the boot stops the machine with its message.
    std::string message;
    machine.kernel->RunSlice(message);
    EXPECT_EQ(message, "No disk to boot");

    host->StopMachine();
    EXPECT_EQ(host->GetMachine(), nullptr);
    EXPECT_EQ(Read("Tarquil2.ini").rfind(std::string(kHeaderOnly) + "\r\n[Font]\r\n", 0), 0u);
}

TEST_F(MachineAssemblyTest, StartUpFailuresShowTheirWholeStack) {
    struct {
        const char* what;
        std::string config;
        const char* user;
        std::string commandLine;
        std::string box;
        bool devicesBuilt = true; // false: the settings files stopped the start
    } rows[] = {
        {"no user settings", Config(), nullptr, "",
         "[.\\main,270] Unable to start the machine\n"
         "[.\\main,176] Unable to load configuration from file \"Tarquil2.ini\"\n",
         false},
        {"malformed configuration", "[Memory]\r\nSize=1m\r\n[Kernel\r\n", "", "",
         "[.\\main,270] Unable to start the machine\n"
         "[.\\main,169] Error parsing configuration from \"Tarquil1.ini\" (index: 28,row: 4, "
         "col: 1, message: \"Błąd parsera\", type message: \"Błąd składni\")\n",
         false},
        {"key before a section", Config(), "FaceName=x\r\n", "",
         "[.\\main,270] Unable to start the machine\n"
         "[.\\main,181] Error parsing configuration from \"Tarquil2.ini\" (index: 0,row: 0, "
         "col: 0, message: \"Błąd parsera\", type message: \"Brak sekcji\")\n",
         false},
        {"no priority", "[Memory]\r\nSize=1m\r\n", "", "",
         "[.\\main,270] Unable to start the machine\n"
         "[.\\kernel,306] Invalid thread priority in configuration Kernel.Priority (-1)\n"},
        {"priority out of range", "[Memory]\r\nSize=1m\r\n[Kernel]\r\nPriority=7\r\n", "", "",
         "[.\\main,270] Unable to start the machine\n"
         "[.\\kernel,306] Invalid thread priority in configuration Kernel.Priority (7)\n"},
        {"bad memory size", "[Memory]\r\nSize=4g\r\n[Kernel]\r\nPriority=0\r\n", "", "",
         "[.\\main,270] Unable to start the machine\n"
         "[.\\memory,119] Cannot initialize memory\n"
         "[.\\memory,90] Invalid memory size in configuration Memory.Size (4g)\n"},
        {"-boot without a slot", Config(), "", "-disksempty -BOOT",
         "[.\\main,270] Unable to start the machine\n"
         "Syntax error in command line \"-disksempty -BOOT\"\n"
         "[.\\kernel,3436] Invalid parameters in \"-boot\"\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove(dir + "Tarquil2.ini");
        boxes.clear();
        EXPECT_FALSE(Start(row.config, row.user, row.commandLine));
        EXPECT_EQ(host->GetMachine(), nullptr);
        EXPECT_EQ(boxes, std::vector<std::string>{row.box});
        EXPECT_EQ(qm::ErrorCount(), 0u);
        // The stop after the failed start writes a fresh user settings file, with what
        // the devices built so far remember.
        if (row.devicesBuilt)
            EXPECT_EQ(Read("Tarquil2.ini").rfind(std::string(kHeaderOnly) + "\r\n[Font]", 0), 0u);
        else
            EXPECT_EQ(Read("Tarquil2.ini"), kHeaderOnly);
    }
}

TEST_F(MachineAssemblyTest, MissingConfigurationKeepsTheMachineFromStarting) {
    Write("Tarquil2.ini", "[Font]\r\nFaceName=Mine\r\n");
    EXPECT_FALSE(Host().StartMachine());
    EXPECT_EQ(boxes,
              std::vector<std::string>{
                  "[.\\main,270] Unable to start the machine\n"
                  "[.\\main,164] Unable to load configuration from file \"Tarquil1.ini\"\n"});
    EXPECT_FALSE(std::filesystem::exists(dir + "Tarquil1.ini"));
    EXPECT_EQ(Read("Tarquil2.ini"), kHeaderOnly);
}

TEST_F(MachineAssemblyTest, TheStopAfterAFailedStartRepairsTheUserSettings) {
    ASSERT_FALSE(Start(Config(), "[Font]\r\n[Font]\r\n"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(host->StartMachine()); // Reset: reads the file the stop wrote
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(MachineAssemblyTest, AFailingKernelLeavesNoMemoryAndNoAttach) {
    Write("Tarquil1.ini", "[Memory]\r\nSize=1m\r\n[Kernel]\r\nPriority=-2\r\n");
    Write("Tarquil2.ini", "");
    SHostMachine machine;
    const SMachineEnvironment environment{&platform, dir, "", false, surface, {}, {}};
    EXPECT_FALSE(CreateMachine(machine, environment));
    ASSERT_NE(machine.machine.kernel, nullptr);
    EXPECT_EQ(machine.machine.memory, nullptr);
    EXPECT_FALSE(machine.machine.kernel->IsRunning());
    EXPECT_EQ(machine.machine.kernel->GetMachine(), &machine.machine);
    std::string top;
    ASSERT_TRUE(qm::PopError(top));
    EXPECT_EQ(top, "[.\\main,270] Unable to start the machine");
    ASSERT_TRUE(qm::PopError(top));
    EXPECT_EQ(top, "[.\\kernel,306] Invalid thread priority in configuration Kernel.Priority (-2)");
    DestroyMachine(machine, environment);
    EXPECT_EQ(machine.machine.kernel, nullptr);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MachineAssemblyTest, DiskCountIsClamped) {
    struct {
        const char* count;
        int32_t slots;
    } rows[] = {{"100", 64}, {"64", 64}, {"-3", 0}, {" 3 ", 3},
                {"3abc", 3}, {"abc", 0}, {"", 0},   {"2147483648", 64}};
    for (const auto& row : rows) {
        ASSERT_TRUE(Start(Config(std::string("[Disks]\r\nCount=") + row.count + "\r\n")))
            << row.count;
        EXPECT_EQ(Machine().diskCount, row.slots) << row.count;
        for (int32_t slot = 0; slot < Machine().diskCount; ++slot)
            EXPECT_EQ(Machine().disks[slot]->GetSlot(), static_cast<uint32_t>(slot));
    }
    ASSERT_TRUE(Start(Config()));
    EXPECT_EQ(Machine().diskCount, 0);
}

TEST_F(MachineAssemblyTest, SlotListsSetTheFlagsOfEachNumber) {
    ASSERT_TRUE(Start(Config("[Disks]\r\nCount=6\r\nRead-only=1, 3-\r\nRemember=-1,4\r\n")));
    const bool readOnly[] = {false, true, false, true, true, true};
    const bool remember[] = {true, true, false, false, true, false};
    ASSERT_EQ(Machine().diskCount, 6);
    for (int slot = 0; slot < 6; ++slot) {
        EXPECT_EQ(Machine().disks[slot]->IsReadOnly(), readOnly[slot]) << slot;
        EXPECT_EQ(Machine().disks[slot]->IsRemembering(), remember[slot]) << slot;
    }
    host->StopMachine();
    EXPECT_EQ(DisksPart(), "[Disks]\r\n0=\r\n1=\r\n4=\r\n");
}

TEST_F(MachineAssemblyTest, ReadOnlyWithoutRememberRemembersNothing) {
    ASSERT_TRUE(Start(Config("[Disks]\r\nCount=2\r\nRead-only=0-1\r\n")));
    host->StopMachine();
    EXPECT_EQ(DisksPart(), "");
}

TEST_F(MachineAssemblyTest, FailedSlotsAreDroppedAndTheRestRenumbered) {
    ASSERT_TRUE(Start(Config("[Disks]\r\nCount=8\r\nRead-only=4\r\n"), "", "-disk 5"));
    const std::string box = "Syntax error in command line \"-disk 5\"\n"
                            "[.\\disks,233] Invalid parameters in \"-disk\"\n";
    EXPECT_EQ(boxes, std::vector<std::string>(3, box));
    ASSERT_EQ(Machine().diskCount, 5);
    EXPECT_TRUE(Machine().disks[4]->IsReadOnly());
    EXPECT_EQ(Machine().disks[4]->GetSlot(), 4u);
    EXPECT_EQ(Machine().disks[5], nullptr);

    boxes.clear();
    ASSERT_TRUE(Start(Config("[Disks]\r\nCount=3\r\n"), "", "-disk"));
    EXPECT_EQ(boxes.size(), 3u);
    EXPECT_EQ(Machine().diskCount, 0);
}

TEST_F(MachineAssemblyTest, RememberedDisksComeBackAndAreWrittenBack) {
    const std::string image = dir + "Games/Pong Mixed.disk";
    std::filesystem::create_directories(dir + "Games");
    Write("Games/Pong Mixed.disk", DiskImage(0));
    const std::string config = Config("[Disks]\r\nCount=3\r\nRemember=1-2\r\n");
    ASSERT_TRUE(Start(config, "", "-disk 1 \"" + image + "\""));
    ASSERT_TRUE(boxes.empty());
    EXPECT_EQ(Machine().disks[1]->GetFileName(), image); // the name keeps its letter case
    host->StopMachine();
    EXPECT_EQ(DisksPart(), "[Disks]\r\n1=" + image + "\r\n2=\r\n");

    // The next start takes the remembered image without any option.
    ASSERT_TRUE(Host().StartMachine());
    EXPECT_TRUE(Machine().disks[1]->HasDisk());
    EXPECT_FALSE(Machine().disks[2]->HasDisk());
    host->StopMachine();

    // A remembered image that went away: shown at start, the slot stays empty, and the
    // next stop still remembers it (the image may be back next time).
    std::filesystem::remove(image);
    ASSERT_TRUE(Host().StartMachine());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("Cannot insert disk \"" + image + "\" into slot 1"), std::string::npos)
        << boxes[0];
    EXPECT_NE(boxes[0].find("(errno,2) "), std::string::npos) << boxes[0];
    EXPECT_EQ(Machine().diskCount, 3);
    EXPECT_FALSE(Machine().disks[1]->HasDisk());
    host->StopMachine();
    EXPECT_EQ(DisksPart(), "[Disks]\r\n1=" + image + "\r\n2=\r\n");
}

TEST_F(MachineAssemblyTest, TheMachineBootsFromTheFirstBootableDisk) {
    Write("a.disk", DiskImage(0));
    Write("b.disk", DiskImage(8));
    ASSERT_TRUE(Start(Config("[Disks]\r\nCount=2\r\n"), "",
                      "-disk 0 " + dir + "a.disk -disk 1 " + dir + "b.disk"));
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(Machine().kernel->IsRunning());
}

TEST_F(MachineAssemblyTest, AnUnwritableSettingsFileKeepsTheOldOne) {
    const std::string user = "[Font]\r\nFaceName=Mine\r\n";
    ASSERT_TRUE(Start(Config("[Disks]\r\nCount=1\r\nRemember=0\r\n"), user.c_str()));
    {
        testhelpers::CFileSizeLimit fullDisk(8);
        host->StopMachine();
    }
    EXPECT_EQ(boxes, std::vector<std::string>{
                         "[.\\main,299] Unable to save configuration to file \"Tarquil2.ini\"\n"});
    EXPECT_EQ(Read("Tarquil2.ini"), user);
    EXPECT_EQ(host->GetMachine(), nullptr); // the devices are deleted all the same
}

TEST_F(MachineAssemblyTest, ANameThatCannotBeStoredKeepsTheOldFile) {
    // Host file names may hold a line break; a settings file cannot.
    const std::string image = dir + "two\nlines.disk";
    ASSERT_TRUE(qm::WriteWholeFile(image, DiskImage(0)));
    ASSERT_TRUE(Start(Config("[Disks]\r\nCount=1\r\nRemember=0\r\n"), "[Old]\r\n",
                      "-disk 0 \"" + image + "\""));
    ASSERT_TRUE(Machine().disks[0]->HasDisk());
    host->StopMachine();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("[.\\main,304] Unable to save configuration to file \"Tarquil2.ini\" "
                             "(index: 0,row: 0, col: 0, message: \"Błąd parsera\", type message: "
                             "\"Łańcuch zawiera niedozwolone znaki\")",
                             0),
              0u)
        << boxes[0];
    EXPECT_EQ(Read("Tarquil2.ini"), "[Old]\r\n");
}

TEST_F(MachineAssemblyTest, MidiDisabledOrAbsentBuildsNoSound) {
    for (const char* midi : {"", "[MIDI]\r\nEnabled=false\r\n", "[MIDI]\r\nEnabled=0\r\n"}) {
        ASSERT_TRUE(Start(Config(midi)));
        EXPECT_EQ(Machine().sound, nullptr) << midi;
        EXPECT_TRUE(boxes.empty());
    }
}

namespace {

// A MIDI output that opens or refuses as told and keeps what it was sent.
class CFakeMidiOutput : public CMidiOutput {
public:
    explicit CFakeMidiOutput(bool opens) : opens(opens) {}
    bool Open(std::string& errorText) override {
        if (!opens)
            errorText = "no synthesizer";
        return opens;
    }
    bool SendShortMessage(uint32_t) override { return true; }
    void Reset() override {}
    void Close() override {}

private:
    bool opens;
};

class SoundAssemblyTest : public MachineAssemblyTest {
protected:
    void UseOutputs(bool opens) {
        midiOutput = [this, opens](const SMidiOutputOptions& options) {
            seenOptions = options;
            return std::make_unique<CFakeMidiOutput>(opens);
        };
    }
    SMidiOutputOptions seenOptions;
};

} // namespace

TEST_F(SoundAssemblyTest, EnabledMidiBuildsTheSoundDevice) {
    UseOutputs(true);
    ASSERT_TRUE(Start(Config("[MIDI]\r\nEnabled=1\r\nSoundFont=gm.sf2\r\n")));
    EXPECT_TRUE(boxes.empty());
    ASSERT_NE(Machine().sound, nullptr);
    EXPECT_EQ(Machine().sound->GetMachine(), &Machine());
    EXPECT_EQ(seenOptions.soundFont, "gm.sf2");
    EXPECT_EQ(seenOptions.baseDirectory, dir);
}

TEST_F(SoundAssemblyTest, SoundThatCannotStartIsShownAndLeftOut) {
    UseOutputs(false);
    ASSERT_TRUE(Start(Config("[MIDI]\r\nEnabled=yes\r\n[Disks]\r\nCount=1\r\n")));
    EXPECT_EQ(boxes,
              std::vector<std::string>{
                  "[.\\sound,59] Unable to create MIDI sound device\n"
                  "[.\\sound,55] Cannot initialize MIDI (no synthesizer)\n"
                  "To start without sound, set Enabled=0 in the [MIDI] section of Tarquil1.ini\n"});
    EXPECT_EQ(Machine().sound, nullptr);
    EXPECT_EQ(Machine().diskCount, 1);
}

TEST_F(MachineAssemblyTest, EveryDeviceIsBuiltAndOwned) {
    ASSERT_TRUE(Start(Config()));
    CMachine& machine = Machine();
    ASSERT_NE(machine.mouse, nullptr);
    ASSERT_NE(machine.keyboard, nullptr);
    ASSERT_NE(machine.screen, nullptr);
    EXPECT_EQ(machine.mouse->GetMachine(), &machine);
    EXPECT_EQ(machine.keyboard->GetMachine(), &machine);
    EXPECT_EQ(machine.screen->GetMachine(), &machine);
    int32_t mode = 0, width = 0, height = 0;
    machine.screen->GetMode(mode, width, height);
    EXPECT_EQ(mode, kScreenText);
    EXPECT_EQ(width, 80);
    EXPECT_EQ(height, 25);
}

TEST_F(MachineAssemblyTest, TheScreenWritesItsFontBeforeTheDisks) {
    ASSERT_TRUE(Start(Config("[Disks]\r\nCount=1\r\nRemember=0\r\n"),
                      "[Disks]\r\n0=\r\n[Font]\r\nFaceName=Mono\r\n;mine\r\nExtra=1\r\n"));
    host->StopMachine();
    const std::string text = Read("Tarquil2.ini");
    EXPECT_EQ(text.rfind(kHeaderOnly, 0), 0u);
    const size_t font = text.find("[Font]\r\n");
    EXPECT_NE(text.find("FaceName=Mono\r\n"), std::string::npos) << text;
    const size_t disks = text.find("[Disks]\r\n0=\r\n");
    ASSERT_NE(font, std::string::npos) << text;
    ASSERT_NE(disks, std::string::npos) << text;
    EXPECT_LT(font, disks);
    EXPECT_EQ(text.find("Extra"), std::string::npos); // hand-made keys are not kept
    EXPECT_EQ(text.find("mine"), std::string::npos);
}

TEST_F(MachineAssemblyTest, AScreenThatCannotStartStopsTheStart) {
    surface = nullptr; // nothing to measure a font on
    EXPECT_FALSE(Start(Config()));
    EXPECT_EQ(boxes, std::vector<std::string>{"[.\\main,270] Unable to start the machine\n"
                                              "[.\\screen,674] Unable to create screen device\n"});
}

TEST_F(MachineAssemblyTest, BuiltInDocumentsAndTheBeforeBootStep) {
    qm::CINIFile machineConfig;
    machineConfig.Parse(Config("[Disks]\r\nCount=2\r\n"));
    const qm::CINIFile userSettings;
    Write("boot.disk", DiskImage(8));
    int calls = 0;
    SMachineEnvironment environment{&platform, dir, "", false, surface, {}, {}};
    environment.beforeBoot = [&](CMachine& machine) {
        ++calls;
        EXPECT_FALSE(machine.kernel->IsRunning()); // not booted yet
        EXPECT_TRUE(machine.disks[1]->Insert(dir + "boot.disk"));
    };
    SHostMachine machine;
    ASSERT_TRUE(AssembleMachine(machine, environment, machineConfig, userSettings));
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(machine.machine.kernel->IsRunning()); // booted from the image put in slot 1

    qm::CINIFile broken;
    broken.Parse("[Memory]\r\nSize=0\r\n[Kernel]\r\nPriority=3\r\n");
    SHostMachine failed;
    EXPECT_FALSE(AssembleMachine(failed, environment, broken, userSettings));
    EXPECT_EQ(calls, 1); // not for a machine that did not start
    EXPECT_EQ(qm::ErrorCount(), 3u);
    qm::ClearErrors();
    DestroyMachine(machine, environment);
    DestroyMachine(failed, environment);
}
