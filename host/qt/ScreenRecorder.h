// Records what the window shows of the machine's screen into an animated GIF: a frame
// every tenth of a second, frames that did not change merged into one longer frame.
#pragma once

#include "host/qt/GifWriter.h"

#include <QImage>
#include <QObject>
#include <QTimer>

#include <functional>
#include <string>

class CScreenRecorder : public QObject {
    Q_OBJECT
public:
    static constexpr int kFrameMilliseconds = 100;
    using FrameSource = std::function<QImage()>;

    explicit CScreenRecorder(FrameSource source, QObject* parent = nullptr);
    ~CScreenRecorder() override;

    // Starts a recording into `path` with the current frame; false when the file cannot be
    // created.
    bool Start(const std::string& path);
    // Writes the last frame and ends the file; false when a write failed.
    bool Stop();
    bool IsRecording() const { return writer.IsOpen(); }
    // Takes the next frame now (the timer does this while recording).
    void CaptureFrame();
    int GetFrameCount() const { return framesWritten; }

private:
    bool FlushPending();

    FrameSource source;
    CGifWriter writer;
    QTimer timer;
    QImage pending;
    int pendingDelay = 0;
    int framesWritten = 0;
};
