#include "host/audio/BeepGenerator.h"
#include "common/SignalAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {
constexpr uint32_t kRate = 44100;

// Renders `seconds` of the generator in uneven pieces, as an audio pull would ask for them.
std::vector<float> RenderSeconds(CBeepGenerator& beep, double seconds) {
    const auto total = static_cast<size_t>(seconds * kRate);
    std::vector<float> left(total, 0.0f), right(total, 0.0f);
    size_t done = 0, piece = 1;
    while (done < total) {
        const size_t count = std::min(total - done, piece);
        beep.Render(left.data() + done, right.data() + done, count);
        done += count;
        piece = piece * 3 % 997 + 1;
    }
    EXPECT_EQ(left, right);
    return left;
}

struct SToneCase {
    uint32_t frequency;
    uint32_t durationMs;
};

class BeepToneTest : public ::testing::TestWithParam<SToneCase> {};

TEST_P(BeepToneTest, SoundsTheAskedFrequencyForTheAskedTime) {
    const SToneCase tone = GetParam();
    CBeepGenerator beep(kRate);
    ASSERT_TRUE(beep.Add(tone.frequency, tone.durationMs));
    const std::vector<float> samples = RenderSeconds(beep, tone.durationMs / 1000.0 + 0.5);
    EXPECT_FALSE(beep.IsSounding());

    size_t first, last;
    signal_analysis::AudibleRange(samples, 1e-6f, first, last);
    const double expectedFrames = tone.durationMs * kRate / 1000.0;
    EXPECT_LE(first, 2u);
    // One period at most goes to the fades and the zero crossings at the ends.
    EXPECT_NEAR(static_cast<double>(last), expectedFrames,
                2.0 + static_cast<double>(kRate) / tone.frequency);

    const double measured = signal_analysis::ZeroCrossingFrequency(samples, 0, last, kRate);
    EXPECT_NEAR(measured, tone.frequency, tone.frequency * 0.01);
    const double peak = signal_analysis::Rms(samples, last / 4, last * 3 / 4) * std::sqrt(2.0);
    EXPECT_NEAR(peak, CBeepGenerator::kAmplitude, 0.01);
}

INSTANTIATE_TEST_SUITE_P(Tones, BeepToneTest,
                         ::testing::Values(SToneCase{37, 300}, SToneCase{440, 250},
                                           SToneCase{1000, 1000}, SToneCase{8000, 40},
                                           SToneCase{20000, 100}));

TEST(BeepGeneratorTest, FrequenciesOutsideTheRangeAreSilentAndTakeNoTime) {
    for (uint32_t frequency : {0u, 36u, 32768u, 100000u}) {
        CBeepGenerator beep(kRate);
        EXPECT_FALSE(beep.Add(frequency, 500)) << frequency;
        EXPECT_FALSE(beep.IsSounding());
        const std::vector<float> samples = RenderSeconds(beep, 0.2);
        EXPECT_EQ(signal_analysis::Rms(samples, 0, samples.size()), 0.0) << frequency;
    }
    CBeepGenerator beep(kRate);
    EXPECT_FALSE(beep.Add(440, 0));
}

TEST(BeepGeneratorTest, TonesPlayOneAfterAnother) {
    CBeepGenerator beep(kRate);
    ASSERT_TRUE(beep.Add(500, 200));
    ASSERT_TRUE(beep.Add(1500, 300));
    const std::vector<float> samples = RenderSeconds(beep, 0.8);
    const size_t boundary = 200 * kRate / 1000;
    EXPECT_NEAR(signal_analysis::ZeroCrossingFrequency(samples, 0, boundary, kRate), 500, 5);
    EXPECT_NEAR(signal_analysis::ZeroCrossingFrequency(samples, boundary,
                                                       boundary + 300 * kRate / 1000, kRate),
                1500, 15);
    size_t first, last;
    signal_analysis::AudibleRange(samples, 1e-4f, first, last);
    EXPECT_NEAR(static_cast<double>(last), 500.0 * kRate / 1000, 40);
}

TEST(BeepGeneratorTest, AnInaudibleToneKeepsItsTimeInTheQueue) {
    // 30000 Hz lies in the accepted range but above what 44100 Hz can carry.
    CBeepGenerator beep(kRate);
    ASSERT_TRUE(beep.Add(30000, 100));
    ASSERT_TRUE(beep.Add(1000, 100));
    const std::vector<float> samples = RenderSeconds(beep, 0.3);
    size_t first, last;
    signal_analysis::AudibleRange(samples, 1e-4f, first, last);
    EXPECT_NEAR(static_cast<double>(first), 100.0 * kRate / 1000, 3);
    EXPECT_NEAR(static_cast<double>(last), 200.0 * kRate / 1000, 50);
}

TEST(BeepGeneratorTest, TheQueueIsBounded) {
    CBeepGenerator beep(kRate);
    const uint32_t tones = CBeepGenerator::kMaxQueuedMs / 1000;
    for (uint32_t i = 0; i < tones; ++i)
        ASSERT_TRUE(beep.Add(440, 1000)) << i;
    EXPECT_FALSE(beep.Add(440, 1000));
    // Room again once a tone has played.
    RenderSeconds(beep, 1.0);
    EXPECT_TRUE(beep.Add(440, 1000));
}

TEST(BeepGeneratorTest, AddsToWhatIsAlreadyInTheBuffer) {
    CBeepGenerator beep(kRate);
    ASSERT_TRUE(beep.Add(1000, 100));
    std::vector<float> left(1000, 0.5f), right(1000, -0.5f);
    beep.Render(left.data(), right.data(), left.size());
    for (size_t i = 0; i < left.size(); ++i)
        ASSERT_NEAR(left[i] - 0.5f, right[i] + 0.5f, 1e-6) << i;
    EXPECT_GT(signal_analysis::Rms(left, 0, left.size()), 0.5);
}

TEST(BeepGeneratorTest, ClearSilencesAtOnce) {
    CBeepGenerator beep(kRate);
    ASSERT_TRUE(beep.Add(1000, 1000));
    RenderSeconds(beep, 0.1);
    beep.Clear();
    EXPECT_FALSE(beep.IsSounding());
    const std::vector<float> samples = RenderSeconds(beep, 0.1);
    EXPECT_EQ(signal_analysis::Rms(samples, 0, samples.size()), 0.0);
}

} // namespace
