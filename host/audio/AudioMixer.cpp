#include "host/audio/AudioMixer.h"

#include "host/audio/Synthesizer.h"

#include <algorithm>
#include <cmath>

namespace {
int16_t ToSample(float value) {
    const float scaled = std::clamp(value, -1.0f, 1.0f) * 32767.0f;
    return static_cast<int16_t>(std::lrint(scaled));
}
} // namespace

CAudioMixer::CAudioMixer() : beep(kSampleRate), left(kChunkFrames), right(kChunkFrames) {}

void CAudioMixer::Render(int16_t* interleaved, size_t frames) {
    while (frames > 0) {
        // Locked per chunk: the machine never waits long to queue a beep or swap synthesizers.
        std::lock_guard lock(mutex);
        const size_t count = std::min(frames, kChunkFrames);
        std::fill_n(left.begin(), count, 0.0f);
        std::fill_n(right.begin(), count, 0.0f);
        if (synthesizer)
            synthesizer->Render(left.data(), right.data(), count);
        beep.Render(left.data(), right.data(), count);
        for (size_t i = 0; i < count; ++i) {
            *interleaved++ = ToSample(left[i]);
            *interleaved++ = ToSample(right[i]);
        }
        frames -= count;
    }
}

void CAudioMixer::AttachSynthesizer(CSynthesizer* newSynthesizer) {
    std::lock_guard lock(mutex);
    synthesizer = newSynthesizer;
}

void CAudioMixer::DetachSynthesizer(CSynthesizer* oldSynthesizer) {
    std::lock_guard lock(mutex);
    if (synthesizer == oldSynthesizer)
        synthesizer = nullptr;
}

CSynthesizer* CAudioMixer::GetSynthesizer() const {
    std::lock_guard lock(mutex);
    return synthesizer;
}

bool CAudioMixer::Beep(uint32_t frequency, uint32_t durationMs) {
    std::lock_guard lock(mutex);
    return beep.Add(frequency, durationMs);
}

void CAudioMixer::StopBeeps() {
    std::lock_guard lock(mutex);
    beep.Clear();
}

bool CAudioMixer::IsBeeping() const {
    std::lock_guard lock(mutex);
    return beep.IsSounding();
}
