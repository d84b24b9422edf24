// The host beep as samples: sine tones of a given frequency and length, played one after
// the other and added into a stereo buffer, so a beep sounds while the machine keeps running.
// Tones asked for while one sounds wait their turn, as they would have if the call had
// blocked. Not thread-safe: the owner serialises Add and Render.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

class CBeepGenerator {
public:
    // The audible range the beep accepts; other frequencies are silent.
    static constexpr uint32_t kLowestFrequency = 37;
    static constexpr uint32_t kHighestFrequency = 32767;
    // Tones waiting beyond this much playing time are dropped, so a program that beeps in a
    // loop cannot pile up minutes of backlog.
    static constexpr uint32_t kMaxQueuedMs = 30000;
    static constexpr float kAmplitude = 0.2f;

    explicit CBeepGenerator(uint32_t sampleRate) : sampleRate(sampleRate) {}

    // Queues a tone. False when it is silent (frequency out of range, no duration) or the
    // queue is full; a silent tone takes no time.
    bool Add(uint32_t frequency, uint32_t durationMs);
    // Adds the next `frames` samples of the tones into both channels.
    void Render(float* left, float* right, size_t frames);
    void Clear();
    bool IsSounding() const { return !tones.empty(); }

private:
    struct STone {
        double step;          // phase advance per sample, in cycles
        uint64_t totalFrames; // length of the tone
        uint64_t doneFrames = 0;
        uint64_t fadeFrames; // length of the fade in and of the fade out
    };

    float Envelope(const STone& tone) const;

    uint32_t sampleRate;
    std::deque<STone> tones;
    uint64_t queuedFrames = 0;
    double phase = 0.0; // of the current tone, in cycles
};
