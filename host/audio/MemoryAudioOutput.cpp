#include "host/audio/MemoryAudioOutput.h"

#include "host/audio/AudioMixer.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {
double SteadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

CMemoryAudioOutput::CMemoryAudioOutput() : CMemoryAudioOutput(SteadySeconds) {}

CMemoryAudioOutput::CMemoryAudioOutput(Clock clock)
    : clock(std::move(clock)), block(kBlockFrames * CAudioMixer::kChannels) {}

CMemoryAudioOutput::~CMemoryAudioOutput() {
    Close();
}

bool CMemoryAudioOutput::Open(CAudioMixer& newMixer, std::string&) {
    if (mixer)
        return true;
    mixer = &newMixer;
    startTime = clock();
    renderedFrames = 0;
    return true;
}

void CMemoryAudioOutput::Close() {
    if (!mixer)
        return;
    Synchronize();
    mixer = nullptr;
}

void CMemoryAudioOutput::Synchronize() {
    if (!mixer)
        return;
    const double elapsed = std::max(0.0, clock() - startTime);
    const auto due = static_cast<uint64_t>(std::floor(elapsed * CAudioMixer::kSampleRate));
    if (!sink) {
        renderedFrames = std::max(renderedFrames, due);
        return;
    }
    while (renderedFrames < due) {
        const auto count =
            static_cast<size_t>(std::min<uint64_t>(due - renderedFrames, kBlockFrames));
        RenderBlock(count);
    }
}

void CMemoryAudioOutput::RenderBlock(size_t count) {
    mixer->Render(block.data(), count);
    sink(block.data(), count);
    renderedFrames += count;
}

void CMemoryAudioOutput::Drain(double maxSeconds) {
    Synchronize();
    if (!mixer || !sink)
        return;
    const auto limit = static_cast<uint64_t>(maxSeconds * CAudioMixer::kSampleRate);
    for (uint64_t done = 0; done < limit; done += kBlockFrames) {
        const bool beeping = mixer->IsBeeping();
        RenderBlock(kBlockFrames);
        const bool silent =
            std::all_of(block.begin(), block.end(), [](int16_t v) { return v == 0; });
        if (silent && !beeping)
            break;
    }
    // The clock keeps running; whatever comes after the drain starts where it ended.
    ContinueFromNow();
}

void CMemoryAudioOutput::ContinueFromNow() {
    startTime = clock() - static_cast<double>(renderedFrames) / CAudioMixer::kSampleRate;
}
