// Measurements on rendered sound for the tests: loudness, pitch and where a tone starts
// and ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace signal_analysis {

// Root mean square of samples [begin, end).
double Rms(const std::vector<float>& samples, size_t begin, size_t end);

// The fundamental frequency of samples [begin, end) by normalised autocorrelation, searched
// between minHz and maxHz; 0 when nothing periodic is found.
double Pitch(const std::vector<float>& samples, size_t begin, size_t end, uint32_t sampleRate,
             double minHz = 40.0, double maxHz = 4000.0);

// Frequency from the rate of upward zero crossings in [begin, end).
double ZeroCrossingFrequency(const std::vector<float>& samples, size_t begin, size_t end,
                             uint32_t sampleRate);

// Index of the first and one past the last sample whose magnitude exceeds `threshold`
// (first == last == size when there is none).
void AudibleRange(const std::vector<float>& samples, float threshold, size_t& first, size_t& last);

// The left channel of interleaved 16-bit stereo frames, scaled to -1..1.
std::vector<float> LeftChannel(const std::vector<int16_t>& interleaved);

} // namespace signal_analysis
