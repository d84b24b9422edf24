// An audio output without a sound card: the mixer is rendered on the caller's thread,
// following a clock (the wall clock unless told otherwise), and the frames go to a sink or
// nowhere. Rendering happens when the mixed stream is about to change and when asked, so a
// message sent at some moment starts sounding at that moment of the rendering.
#pragma once

#include "host/audio/AudioOutput.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class CMemoryAudioOutput : public CAudioOutput {
public:
    // Seconds since some fixed moment.
    using Clock = std::function<double()>;
    // Receives interleaved stereo frames in order.
    using Sink = std::function<void(const int16_t* interleaved, size_t frames)>;

    CMemoryAudioOutput();
    explicit CMemoryAudioOutput(Clock clock);
    ~CMemoryAudioOutput() override;

    // Without a sink nothing is rendered at all: nobody would hear it.
    void SetSink(Sink newSink) { sink = std::move(newSink); }

    bool Open(CAudioMixer& mixer, std::string& errorText) override;
    void Close() override;
    bool IsOpen() const override { return mixer != nullptr; }
    void Synchronize() override;

    // Leaves out the time since the stream was last rendered up to: the stream goes on from
    // now where it stands.
    void ContinueFromNow();
    // Renders on past the present until the beeps have played and the rest has died away
    // (a block of pure silence), for at most `maxSeconds`; the stream then ends there.
    void Drain(double maxSeconds);

    // Frames of the stream so far (handed to the sink, or skipped without one).
    uint64_t GetRenderedFrames() const { return renderedFrames; }

private:
    static constexpr size_t kBlockFrames = 1024;

    void RenderBlock(size_t count);

    Clock clock;
    Sink sink;
    CAudioMixer* mixer = nullptr;
    double startTime = 0.0;
    uint64_t renderedFrames = 0;
    std::vector<int16_t> block;
};
