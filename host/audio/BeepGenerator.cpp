#include "host/audio/BeepGenerator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
// A short fade at both ends keeps the tone from clicking.
constexpr uint32_t kFadeMs = 3;
} // namespace

bool CBeepGenerator::Add(uint32_t frequency, uint32_t durationMs) {
    if (frequency < kLowestFrequency || frequency > kHighestFrequency || durationMs == 0)
        return false;
    const uint64_t frames = static_cast<uint64_t>(durationMs) * sampleRate / 1000;
    const uint64_t limit = static_cast<uint64_t>(kMaxQueuedMs) * sampleRate / 1000;
    if (frames == 0 || queuedFrames + frames > limit)
        return false;
    STone tone;
    // A tone above half the sample rate cannot be rendered; it would fold back into a
    // lower, wrong pitch. It keeps its time but stays silent (step 0 marks it).
    tone.step = 2 * frequency < sampleRate ? static_cast<double>(frequency) / sampleRate : 0.0;
    tone.totalFrames = frames;
    tone.fadeFrames = std::min<uint64_t>(frames / 2, uint64_t{kFadeMs} * sampleRate / 1000);
    tones.push_back(tone);
    queuedFrames += frames;
    return true;
}

float CBeepGenerator::Envelope(const STone& tone) const {
    const uint64_t fromEnd = tone.totalFrames - tone.doneFrames;
    const uint64_t edge = std::min(tone.doneFrames + 1, fromEnd);
    if (edge >= tone.fadeFrames)
        return 1.0f;
    return static_cast<float>(edge) / static_cast<float>(tone.fadeFrames + 1);
}

void CBeepGenerator::Render(float* left, float* right, size_t frames) {
    size_t i = 0;
    while (i < frames && !tones.empty()) {
        STone& tone = tones.front();
        const uint64_t count = std::min<uint64_t>(frames - i, tone.totalFrames - tone.doneFrames);
        for (uint64_t n = 0; n < count; ++n, ++i) {
            if (tone.step > 0.0) {
                const float value = kAmplitude * Envelope(tone) *
                                    static_cast<float>(std::sin(2.0 * std::numbers::pi * phase));
                left[i] += value;
                right[i] += value;
                phase += tone.step;
                if (phase >= 1.0)
                    phase -= 1.0;
            }
            ++tone.doneFrames;
        }
        if (tone.doneFrames == tone.totalFrames) {
            queuedFrames -= tone.totalFrames;
            tones.pop_front();
            phase = 0.0;
        }
    }
}

void CBeepGenerator::Clear() {
    tones.clear();
    queuedFrames = 0;
    phase = 0.0;
}
