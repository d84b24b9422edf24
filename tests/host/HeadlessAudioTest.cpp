#include "host/audio/HeadlessAudio.h"
#include "common/FileTestHelpers.h"
#include "common/SignalAnalysis.h"
#include "devices/Sound.h"
#include "support/INIFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {
using namespace signal_analysis;
constexpr uint32_t kRate = CAudioMixer::kSampleRate;

// The left channel of a 16-bit stereo WAV file written by the recorder.
std::vector<float> ReadWavLeft(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_GE(bytes.size(), 44u);
    std::vector<int16_t> samples((bytes.size() - 44) / 2);
    std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
    return LeftChannel(samples);
}

TEST(HeadlessAudioTest, ABeepAskedForJustBeforeTheEndIsRecordedWhole) {
    testhelpers::CTemporaryDirectory dir;
    const std::string path = dir.path + "/run.wav";
    {
        CHeadlessAudio audio;
        std::string error;
        ASSERT_TRUE(audio.Start(path, error)) << error;
        audio.Beep(440, 300);
        ASSERT_TRUE(audio.Finish(error)) << error;
    }
    const std::vector<float> left = ReadWavLeft(path);
    size_t first, last;
    AudibleRange(left, 0.01f, first, last);
    ASSERT_LT(first, left.size());
    EXPECT_NEAR(static_cast<double>(last - first), 0.3 * kRate, 0.01 * kRate);
    EXPECT_NEAR(ZeroCrossingFrequency(left, first, last, kRate), 440, 3);
    // The recording stops soon after the sound has died away.
    EXPECT_LT(left.size(), last + kRate / 2);
}

TEST(HeadlessAudioTest, NotesEndedByTheMachineStopRingOutInTheRecording) {
    testhelpers::CTemporaryDirectory dir;
    const std::string path = dir.path + "/notes.wav";
    CHeadlessAudio audio;
    std::string error;
    ASSERT_TRUE(audio.Start(path, error)) << error;
    {
        CSound sound(audio.MidiOutputs());
        ASSERT_TRUE(sound.Init(qm::CINIFile(), qm::CINIFile(), ""));
        EXPECT_TRUE(sound.SendShortMessage(0x000013C0)); // organ: holds while the key is down
        EXPECT_TRUE(sound.SendShortMessage(0x007F3C90));
    }
    ASSERT_TRUE(audio.Finish(error)) << error;
    const std::vector<float> left = ReadWavLeft(path);
    EXPECT_GT(Rms(left, 0, left.size()), 0.001);
    // Stopped by the note-off of the stop, not by the tail limit.
    EXPECT_LT(left.size(), 5 * kRate);
    EXPECT_LT(Rms(left, left.size() - kRate / 100, left.size()), 1e-4);
}

TEST(HeadlessAudioTest, WithoutAFileNothingIsWrittenAndMidiStillWorks) {
    CHeadlessAudio audio;
    std::string error;
    ASSERT_TRUE(audio.Start("", error)) << error;
    CSound sound(audio.MidiOutputs());
    ASSERT_TRUE(sound.Init(qm::CINIFile(), qm::CINIFile(), ""));
    EXPECT_TRUE(sound.SendShortMessage(0x007F3C90));
    audio.Beep(440, 100);
    EXPECT_TRUE(audio.Finish(error));
}

TEST(HeadlessAudioTest, AFileThatCannotBeCreatedIsReported) {
    CHeadlessAudio audio;
    std::string error;
    EXPECT_FALSE(audio.Start("/nonexistent-directory/run.wav", error));
    EXPECT_EQ(error.rfind("Cannot create \"/nonexistent-directory/run.wav\": ", 0), 0u) << error;
}

} // namespace
