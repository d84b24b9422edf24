// The one stream the host plays: the synthesizer of the current sound device (when there
// is one) and the beep, mixed into 16-bit stereo frames. Whatever plays the stream pulls
// from Render, possibly on its own thread, while the machine attaches the synthesizer,
// sends it messages and queues beeps.
#pragma once

#include "host/audio/BeepGenerator.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

class CSynthesizer;

class CAudioMixer {
public:
    static constexpr uint32_t kSampleRate = 44100;
    static constexpr uint32_t kChannels = 2;
    // The synthesizer is rendered in pieces of at most this many frames, so that messages
    // sent while a pull is under way land within a few milliseconds.
    static constexpr size_t kChunkFrames = 128;

    CAudioMixer();

    // `frames` interleaved stereo frames (2 * frames values).
    void Render(int16_t* interleaved, size_t frames);

    // The synthesizer is not owned; detach it before it goes.
    void AttachSynthesizer(CSynthesizer* synthesizer);
    void DetachSynthesizer(CSynthesizer* synthesizer);
    CSynthesizer* GetSynthesizer() const;

    // False when the tone is silent or the beep queue is full.
    bool Beep(uint32_t frequency, uint32_t durationMs);
    void StopBeeps();
    // Whether a beep sounds or waits its turn.
    bool IsBeeping() const;

private:
    mutable std::mutex mutex;
    CSynthesizer* synthesizer = nullptr;
    CBeepGenerator beep;
    std::vector<float> left, right;
};
