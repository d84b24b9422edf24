// The runner's sound, end to end: --midi gives the machine its sound device, --wav saves
// what the run sounded like, on the run's own clock.
#include "RunnerProcess.h"

#include "common/DiskImages.h"
#include "common/FileTestHelpers.h"
#include "common/ProgramBuilder.h"
#include "common/SignalAnalysis.h"
#include "host/audio/HostAudio.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using namespace signal_analysis;

namespace {

constexpr uint32_t kRegs = 0x7FFFFC00;
constexpr uint32_t kRate = 44100;
constexpr uint32_t kNoteOnMiddleC = 0x007F3C90;
constexpr uint32_t kNoteOffMiddleC = 0x00003C80;

void SetDword(CProgramBuilder& p, uint32_t address, uint32_t value) {
    p.Emit("MOV.32", {Imm<uint32_t>(value), Dir(address)});
}
void Sys(CProgramBuilder& p, uint8_t group, uint8_t function) {
    p.Emit("MOV.16", {Imm<uint16_t>(static_cast<uint16_t>(group | function << 8)), Dir(kRegs)});
    p.Emit("SYS");
}
void SendMidi(CProgramBuilder& p, uint32_t message) {
    SetDword(p, kRegs + 4, message);
    Sys(p, 4, 2);
}
// Starts host timer 1 and takes its first event.
void Sleep(CProgramBuilder& p, uint32_t milliseconds) {
    SetDword(p, kRegs + 4, 1);
    SetDword(p, kRegs + 8, milliseconds);
    Sys(p, 1, 7);
    p.Emit("WAIT");
    p.Emit("GETEVENT");
    SetDword(p, kRegs + 4, 1);
    Sys(p, 1, 8);
}

struct SWav {
    uint16_t format = 0, channels = 0, bits = 0;
    uint32_t rate = 0;
    std::vector<float> left;
};

SWav ReadWav(const std::string& path) {
    const std::string bytes = testhelpers::ReadBytes(path);
    SWav wav;
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(36, 4, "data"))
        return wav;
    std::memcpy(&wav.format, bytes.data() + 20, 2);
    std::memcpy(&wav.channels, bytes.data() + 22, 2);
    std::memcpy(&wav.rate, bytes.data() + 24, 4);
    std::memcpy(&wav.bits, bytes.data() + 34, 2);
    uint32_t dataBytes = 0;
    std::memcpy(&dataBytes, bytes.data() + 40, 4);
    EXPECT_EQ(dataBytes, bytes.size() - 44);
    std::vector<int16_t> samples(dataBytes / 2);
    std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
    wav.left = LeftChannel(samples);
    return wav;
}

class RunnerSoundTest : public testing::Test {
protected:
    std::string Image(const CProgramBuilder& program) {
        const std::string path = directory.path + "/sound.disk";
        EXPECT_TRUE(testhelpers::WriteBytes(
            path, testhelpers::DiskImageBytes(testhelpers::BootDataArea(program.Bytes()))));
        return path;
    }
    std::string WavPath() const { return directory.path + "/run.wav"; }

    testhelpers::CTemporaryDirectory directory;
};

} // namespace

TEST_F(RunnerSoundTest, MidiGivesTheProgramItsSoundGroup) {
    CProgramBuilder p;
    Sys(p, 4, 1);
    p.Emit("MOV.32", {Dir(kRegs + 4), Dir(0x400)});
    SendMidi(p, kNoteOnMiddleC);
    p.Emit("MOV.8", {Dir(kRegs), Dir(0x404)});
    p.Emit("MOV.8", {Dir(kRegs + 2), Dir(0x405)});
    p.Emit("WAIT");
    const std::string image = Image(p);

    SRunnerOutput run = RunRunner({"--midi", "--dump", "0x400:6", image});
    EXPECT_EQ(run.out, "stop: idle\nmem 1024: 000000010401\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0);

    // Without it the dispatcher answers for a missing device.
    run = RunRunner({"--dump", "0x400:6", image});
    EXPECT_EQ(run.out, "stop: idle\nmem 1024: 000000000000\n");
    EXPECT_EQ(run.exitCode, 0);
}

TEST_F(RunnerSoundTest, TheWavFileHoldsTheNoteForAsLongAsItWasHeld) {
    CProgramBuilder p;
    SendMidi(p, kNoteOnMiddleC);
    Sleep(p, 500);
    SendMidi(p, kNoteOffMiddleC);
    p.Emit("WAIT");
    const SRunnerOutput run = RunRunner({"--midi", "--wav", WavPath(), Image(p)});
    EXPECT_EQ(run.out, "stop: idle\n");
    EXPECT_EQ(run.err, "");

    const SWav wav = ReadWav(WavPath());
    EXPECT_EQ(wav.format, 1);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.bits, 16);
    EXPECT_EQ(wav.rate, kRate);
    size_t first, last;
    AudibleRange(wav.left, 0.01f, first, last);
    ASSERT_LT(first, wav.left.size());
    // The note starts with the run and ends with the note-off half a second later: the
    // release adds a little, and a busy machine may deliver the timer late, never early.
    EXPECT_LT(first, kRate);
    const double held = static_cast<double>(last - first) / kRate;
    EXPECT_GT(held, 0.5);
    EXPECT_LT(held, 2.0);
    EXPECT_NEAR(Pitch(wav.left, first + kRate / 20, first + kRate * 2 / 5, kRate), 261.63, 2.6);
}

TEST_F(RunnerSoundTest, ABeepIsRecordedWholeEvenWhenTheRunEndsAtOnce) {
    CProgramBuilder p;
    SetDword(p, kRegs + 8, 440);
    SetDword(p, kRegs + 12, 300);
    Sys(p, 1, 5);
    p.Emit("WAIT");
    const SRunnerOutput run = RunRunner({"--wav", WavPath(), Image(p)});
    EXPECT_EQ(run.out, "stop: idle\n");
    EXPECT_EQ(run.exitCode, 0);

    const SWav wav = ReadWav(WavPath());
    size_t first, last;
    AudibleRange(wav.left, 0.01f, first, last);
    ASSERT_LT(first, wav.left.size());
    EXPECT_NEAR(static_cast<double>(last - first) / kRate, 0.3, 0.01);
    EXPECT_NEAR(ZeroCrossingFrequency(wav.left, first, last, kRate), 440, 3);
}

TEST_F(RunnerSoundTest, AWavFileThatCannotBeCreatedIsAUsageError) {
    CProgramBuilder p;
    p.Emit("WAIT");
    const SRunnerOutput run =
        RunRunner({"--wav", directory.path + "/no/such/dir/run.wav", Image(p)});
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("--wav"), std::string::npos) << run.err;
    EXPECT_EQ(run.exitCode, 2);
}

TEST_F(RunnerSoundTest, TheSoundFontOfTheConfigurationIsTakenBesideIt) {
    CProgramBuilder p;
    SendMidi(p, kNoteOnMiddleC);
    p.Emit("MOV.8", {Dir(kRegs + 2), Dir(0x400)});
    p.Emit("WAIT");
    const std::string image = Image(p);
    const std::string dir = directory.path + "/";
    std::filesystem::create_symlink(CHostAudio::ResolveSoundFont({}), dir + "gm.sf2");
    auto run = [&](const std::string& soundFont) {
        EXPECT_TRUE(testhelpers::WriteBytes(dir + "Tarquil1.ini",
                                            "[Memory]\r\nSize=64k\r\n[Kernel]\r\nPriority=3\r\n"
                                            "[MIDI]\r\nEnabled=1\r\nSoundFont=" +
                                                soundFont + "\r\n[Disks]\r\nCount=1\r\n"));
        EXPECT_TRUE(testhelpers::WriteBytes(dir + "Tarquil2.ini", ""));
        return RunRunner(
            {"--config-dir", directory.path, "--dump", "0x400:1", "--", "-disk", "0", image});
    };

    SRunnerOutput result = run("gm.sf2");
    EXPECT_EQ(result.out, "stop: idle\nmem 1024: 01\n");
    EXPECT_EQ(result.err, "");

    // A SoundFont that is not there: the two messages, and the machine runs without sound.
    result = run("missing.sf2");
    EXPECT_EQ(result.out, "stop: idle\nmem 1024: 00\n");
    EXPECT_EQ(result.err, "error: Tarquil - Error\n"
                          "[.\\sound,59] Unable to create MIDI sound device\n"
                          "[.\\sound,55] Cannot initialize MIDI (No usable SoundFont at \"" +
                              dir +
                              "missing.sf2\")\nTo start without sound, set Enabled=0 in the [MIDI] "
                              "section of Tarquil1.ini\n");
    EXPECT_EQ(result.exitCode, 0);
}
