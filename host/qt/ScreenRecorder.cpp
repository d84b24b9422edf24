#include "host/qt/ScreenRecorder.h"

namespace {

constexpr int kFrameDelay = CScreenRecorder::kFrameMilliseconds / 10; // hundredths of a second

} // namespace

CScreenRecorder::CScreenRecorder(FrameSource source, QObject* parent)
    : QObject(parent), source(std::move(source)) {
    timer.setInterval(kFrameMilliseconds);
    connect(&timer, &QTimer::timeout, this, &CScreenRecorder::CaptureFrame);
}

CScreenRecorder::~CScreenRecorder() {
    Stop();
}

bool CScreenRecorder::Start(const std::string& path) {
    Stop();
    const QImage first = source();
    if (first.isNull() || !writer.Open(path, first.width(), first.height()))
        return false;
    pending = first;
    pendingDelay = kFrameDelay;
    framesWritten = 0;
    timer.start();
    return true;
}

void CScreenRecorder::CaptureFrame() {
    if (!IsRecording())
        return;
    QImage frame = source();
    if (frame == pending) {
        pendingDelay += kFrameDelay;
        return;
    }
    FlushPending();
    pending = std::move(frame);
    pendingDelay = kFrameDelay;
}

bool CScreenRecorder::FlushPending() {
    if (pending.isNull())
        return true;
    const bool written = writer.AddFrame(pending, pendingDelay);
    framesWritten += written ? 1 : 0;
    pending = QImage();
    return written;
}

bool CScreenRecorder::Stop() {
    if (!IsRecording())
        return true;
    timer.stop();
    const bool flushed = FlushPending();
    return writer.Close() && flushed;
}
