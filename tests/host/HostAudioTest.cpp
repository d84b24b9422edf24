#include "host/audio/HostAudio.h"
#include "common/SignalAnalysis.h"
#include "devices/Sound.h"
#include "host/audio/MemoryAudioOutput.h"
#include "host/audio/Synthesizer.h"
#include "support/ErrorStack.h"
#include "support/INIFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {
using namespace signal_analysis;

constexpr uint32_t kRate = CAudioMixer::kSampleRate;
constexpr double kMiddleC = 261.63;
// Far below anything a note plays at, far above rounding noise.
constexpr double kSilence = 1e-3;
constexpr double kAudible = 1e-2;

// An output that has no device to play on.
class CUnavailableAudioOutput : public CAudioOutput {
public:
    explicit CUnavailableAudioOutput(int* attempts = nullptr) : attempts(attempts) {}
    bool Open(CAudioMixer&, std::string& errorText) override {
        if (attempts)
            ++*attempts;
        errorText = "no sound card";
        return false;
    }
    int* attempts;
    void Close() override {}
    bool IsOpen() const override { return false; }
};

size_t Frame(double seconds) {
    return static_cast<size_t>(seconds * kRate);
}

// The host's audio rendering into memory on a clock the test moves.
class HostAudioTest : public ::testing::Test {
protected:
    HostAudioTest() {
        auto output = std::make_unique<CMemoryAudioOutput>([this] { return now; });
        output->SetSink([this](const int16_t* frames, size_t count) {
            rendered.insert(rendered.end(), frames, frames + 2 * count);
        });
        audio = std::make_unique<CHostAudio>(std::move(output));
        qm::ClearErrors();
    }

    std::unique_ptr<CSound> StartSound(const qm::CINIFile& config = qm::CINIFile()) {
        auto sound = std::make_unique<CSound>(audio->MidiOutputs());
        EXPECT_TRUE(sound->Init(config, qm::CINIFile(), ""));
        return sound;
    }

    // Moves the clock and renders up to it; the left channel so far.
    const std::vector<float>& RunUntil(double seconds) {
        now = seconds;
        audio->Synchronize();
        left = LeftChannel(rendered);
        return left;
    }

    double RmsBetween(double from, double to) { return Rms(left, Frame(from), Frame(to)); }

    double now = 0.0;
    std::vector<int16_t> rendered;
    std::vector<float> left;
    std::unique_ptr<CHostAudio> audio;
};

TEST_F(HostAudioTest, NoteOnOfMiddleCSoundsAtMiddleCUntilItsNoteOff) {
    auto sound = StartSound();
    ASSERT_TRUE(sound->IsOpen());
    EXPECT_TRUE(sound->SendShortMessage(0x007F3C90));
    RunUntil(1.0);
    EXPECT_GT(RmsBetween(0.05, 0.5), kAudible);
    EXPECT_NEAR(Pitch(left, Frame(0.1), Frame(0.6), kRate), kMiddleC, kMiddleC * 0.01);

    EXPECT_TRUE(sound->SendShortMessage(0x00003C80));
    RunUntil(3.0);
    EXPECT_LT(RmsBetween(2.0, 3.0), kSilence);
}

TEST_F(HostAudioTest, ASustainedNoteEndsWithItsNoteOffOnly) {
    auto sound = StartSound();
    // Church organ: sounds for as long as the key is held.
    EXPECT_TRUE(sound->SendShortMessage(0x000013C0));
    EXPECT_TRUE(sound->SendShortMessage(0x00643C90));
    RunUntil(3.0);
    EXPECT_GT(RmsBetween(2.5, 3.0), kAudible);
    // Note-on with velocity 0, by running status: the same as a note-off.
    EXPECT_TRUE(sound->SendShortMessage(0x0000003C));
    RunUntil(5.0);
    EXPECT_LT(RmsBetween(4.5, 5.0), kSilence);
}

TEST_F(HostAudioTest, AMachineStopSilencesSoundingNotes) {
    auto sound = StartSound();
    EXPECT_TRUE(sound->SendShortMessage(0x000013C0));
    EXPECT_TRUE(sound->SendShortMessage(0x00643C90));
    EXPECT_TRUE(sound->SendShortMessage(0x00644090));
    RunUntil(1.0);
    EXPECT_GT(RmsBetween(0.5, 1.0), kAudible);
    sound.reset();
    RunUntil(3.0);
    EXPECT_LT(RmsBetween(2.0, 3.0), kSilence);
}

TEST_F(HostAudioTest, AMessageSoundsAtTheMomentItWasSent) {
    auto sound = StartSound();
    RunUntil(0.5);
    EXPECT_TRUE(sound->SendShortMessage(0x007F3C90));
    RunUntil(1.0);
    size_t first, last;
    AudibleRange(left, 0.01f, first, last);
    EXPECT_EQ(RmsBetween(0.0, 0.5), 0.0);
    EXPECT_GE(first, Frame(0.5));
    EXPECT_LT(first, Frame(0.52));
}

TEST_F(HostAudioTest, MessagesTheSynthesizerCannotPlayReportFailure) {
    auto sound = StartSound();
    for (uint32_t message : {0x000000F0u, 0x000000F7u, 0x00008090u, 0x00803C90u, 0x00000040u})
        EXPECT_FALSE(sound->SendShortMessage(message)) << std::hex << message;
    for (uint32_t message :
         {0x00403C80u, 0x000007B0u, 0x000028C0u, 0x00004000E0u, 0x000000F8u, 0x000000FFu})
        EXPECT_TRUE(sound->SendShortMessage(message)) << std::hex << message;
}

TEST_F(HostAudioTest, TheNextMachineStartsWithAResetSynthesizer) {
    auto first = StartSound();
    EXPECT_TRUE(first->SendShortMessage(0x000013C0)); // organ on channel 1
    first.reset();
    RunUntil(1.0);

    // A piano note dies away by itself; the organ would still hold.
    auto second = StartSound();
    EXPECT_TRUE(second->SendShortMessage(0x00643C90));
    RunUntil(9.0);
    EXPECT_GT(RmsBetween(1.1, 1.5), kAudible);
    EXPECT_LT(RmsBetween(8.5, 9.0), RmsBetween(1.1, 1.5) / 10);
}

TEST_F(HostAudioTest, TheBeepMixesWithTheSynthesizerWithoutWaiting) {
    auto sound = StartSound();
    RunUntil(0.25);
    audio->Beep(1000, 200);
    RunUntil(1.0);
    size_t first, last;
    AudibleRange(left, 0.01f, first, last);
    EXPECT_NEAR(static_cast<double>(first), Frame(0.25), 10);
    EXPECT_NEAR(static_cast<double>(last), Frame(0.45), 10);
    EXPECT_NEAR(ZeroCrossingFrequency(left, Frame(0.26), Frame(0.44), kRate), 1000, 10);
}

TEST_F(HostAudioTest, AnUnknownSequencerPortGivesTheTwoMessages) {
    qm::CINIFile config;
    config.SetString("MIDI", "Output", "No such synthesizer here:7");
    CSound sound(audio->MidiOutputs());
    EXPECT_FALSE(sound.Init(config, qm::CINIFile(), ""));
    std::string text;
    ASSERT_TRUE(qm::PopError(text));
    EXPECT_EQ(text, "[.\\sound,59] Unable to create MIDI sound device");
    ASSERT_TRUE(qm::PopError(text));
    // Without a sequencer (as in CI) it cannot open; with one, the port is not there.
    EXPECT_EQ(text.rfind("[.\\sound,55] Cannot initialize MIDI (", 0), 0u) << text;
    EXPECT_NE(text.find("MIDI sequencer"), std::string::npos) << text;
}

TEST(HostAudioWithoutOutputTest, BeepsTryTheOutputOnceAndSoundDevicesEveryTime) {
    int attempts = 0;
    CHostAudio audio(std::make_unique<CUnavailableAudioOutput>(&attempts));
    for (int i = 0; i < 5; ++i)
        audio.Beep(440, 10);
    EXPECT_EQ(attempts, 1);
    CSound sound(audio.MidiOutputs());
    EXPECT_FALSE(sound.Init(qm::CINIFile(), qm::CINIFile(), ""));
    EXPECT_EQ(attempts, 2);
    audio.Beep(440, 10);
    EXPECT_EQ(attempts, 2);
    qm::ClearErrors();
}

TEST(HostAudioResolveTest, FindsTheSoundFontToLoad) {
    SMidiOutputOptions options;
    const std::string found = CHostAudio::ResolveSoundFont(options);
    ASSERT_FALSE(found.empty()) << "no General MIDI SoundFont installed";
    EXPECT_TRUE(std::filesystem::is_regular_file(found));

    options.soundFont = " Piano.sf2 ";
    options.baseDirectory = "/opt/tarquil/";
    EXPECT_EQ(CHostAudio::ResolveSoundFont(options), "/opt/tarquil/Piano.sf2");
    options.soundFont = "/usr/share/Piano.sf2";
    EXPECT_EQ(CHostAudio::ResolveSoundFont(options), "/usr/share/Piano.sf2");
    options.baseDirectory.clear();
    options.soundFont = "Piano.sf2";
    EXPECT_EQ(CHostAudio::ResolveSoundFont(options), "Piano.sf2");
}

TEST(AudioMixerTest, ScalesSamplesToSixteenBits) {
    CAudioMixer mixer;
    ASSERT_TRUE(mixer.Beep(440, 100));
    std::vector<int16_t> frames(2 * Frame(0.1));
    mixer.Render(frames.data(), frames.size() / 2);
    const auto [low, high] = std::minmax_element(frames.begin(), frames.end());
    const double expectedPeak = CBeepGenerator::kAmplitude * 32767;
    EXPECT_NEAR(*high, expectedPeak, expectedPeak * 0.01);
    EXPECT_NEAR(*low, -expectedPeak, expectedPeak * 0.01);
}

} // namespace
