#include "common/SignalAnalysis.h"

#include <algorithm>
#include <cmath>

namespace signal_analysis {

double Rms(const std::vector<float>& samples, size_t begin, size_t end) {
    end = std::min(end, samples.size());
    if (begin >= end)
        return 0.0;
    double sum = 0.0;
    for (size_t i = begin; i < end; ++i)
        sum += double{samples[i]} * samples[i];
    return std::sqrt(sum / static_cast<double>(end - begin));
}

double Pitch(const std::vector<float>& samples, size_t begin, size_t end, uint32_t sampleRate,
             double minHz, double maxHz) {
    end = std::min(end, samples.size());
    const auto minLag = static_cast<size_t>(sampleRate / maxHz);
    const auto maxLag = static_cast<size_t>(sampleRate / minHz);
    if (end <= begin || end - begin < 2 * maxLag)
        return 0.0;
    const size_t window = end - begin - maxLag;
    auto correlation = [&](size_t lag) {
        double sum = 0.0, energyA = 0.0, energyB = 0.0;
        for (size_t i = begin; i < begin + window; ++i) {
            sum += double{samples[i]} * samples[i + lag];
            energyA += double{samples[i]} * samples[i];
            energyB += double{samples[i + lag]} * samples[i + lag];
        }
        return energyA > 0 && energyB > 0 ? sum / std::sqrt(energyA * energyB) : 0.0;
    };
    std::vector<double> r(maxLag + 2, 0.0);
    double best = 0.0;
    for (size_t lag = minLag; lag <= maxLag + 1; ++lag) {
        r[lag] = correlation(lag);
        best = std::max(best, r[lag]);
    }
    if (best < 0.5)
        return 0.0;
    // The first peak close to the best one is the period; later peaks are its multiples.
    for (size_t lag = minLag + 1; lag <= maxLag; ++lag) {
        if (r[lag] >= 0.9 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
            const double denominator = r[lag - 1] - 2 * r[lag] + r[lag + 1];
            const double offset =
                denominator != 0.0 ? 0.5 * (r[lag - 1] - r[lag + 1]) / denominator : 0.0;
            return sampleRate / (static_cast<double>(lag) + offset);
        }
    }
    return 0.0;
}

double ZeroCrossingFrequency(const std::vector<float>& samples, size_t begin, size_t end,
                             uint32_t sampleRate) {
    end = std::min(end, samples.size());
    size_t firstCrossing = 0, lastCrossing = 0, crossings = 0;
    for (size_t i = begin + 1; i < end; ++i) {
        if (samples[i - 1] < 0.0f && samples[i] >= 0.0f) {
            if (crossings == 0)
                firstCrossing = i;
            lastCrossing = i;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0.0;
    return (crossings - 1) * static_cast<double>(sampleRate) /
           static_cast<double>(lastCrossing - firstCrossing);
}

void AudibleRange(const std::vector<float>& samples, float threshold, size_t& first, size_t& last) {
    first = last = samples.size();
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::fabs(samples[i]) > threshold) {
            if (first == samples.size())
                first = i;
            last = i + 1;
        }
    }
}

std::vector<float> LeftChannel(const std::vector<int16_t>& interleaved) {
    std::vector<float> left(interleaved.size() / 2);
    for (size_t i = 0; i < left.size(); ++i)
        left[i] = interleaved[2 * i] / 32768.0f;
    return left;
}

} // namespace signal_analysis
