// The window program's audio output: the system's default sound card, kept fed from the
// host's mixer by a timer on a thread of its own, so the sound keeps flowing however busy
// the window's thread is. Each tick renders just what the card has room for, a few
// milliseconds at a time, so a message reaches the speaker within about one buffer.
#pragma once

#include "host/audio/AudioOutput.h"

#include <QObject>
#include <QThread>

#include <cstdint>
#include <vector>

class QAudioSink;
class QIODevice;
class QTimer;

class CQtAudioOutput : public CAudioOutput {
public:
    // The sound buffered ahead of the speaker, and how often it is topped up.
    static constexpr int kBufferMs = 30;
    static constexpr int kFeedIntervalMs = 5;

    CQtAudioOutput() = default;
    ~CQtAudioOutput() override;

    bool Open(CAudioMixer& mixer, std::string& errorText) override;
    void Close() override;
    bool IsOpen() const override { return sink != nullptr; }

private:
    // These run on the audio thread.
    bool StartSink(std::string& errorText);
    void Feed();
    void StopSink();

    void StopThread();

    QThread thread;
    QObject* context = nullptr; // lives on the audio thread; calls are queued to it
    CAudioMixer* mixer = nullptr;
    QAudioSink* sink = nullptr;
    QIODevice* device = nullptr; // where the sink takes its frames
    QTimer* feedTimer = nullptr;
    std::vector<int16_t> frames;
};
