#include "host/qt/QtAudioOutput.h"

#include "host/audio/AudioMixer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QMetaObject>
#include <QTimer>

namespace {
constexpr qsizetype kFrameBytes = CAudioMixer::kChannels * sizeof(int16_t);
}

CQtAudioOutput::~CQtAudioOutput() {
    Close();
}

bool CQtAudioOutput::Open(CAudioMixer& newMixer, std::string& errorText) {
    if (sink)
        return true;
    mixer = &newMixer;
    context = new QObject;
    context->moveToThread(&thread);
    thread.setObjectName("Audio");
    thread.start(QThread::TimeCriticalPriority);
    bool opened = false;
    // The sink belongs to the audio thread, so it is made and started there.
    QMetaObject::invokeMethod(
        context, [&] { opened = StartSink(errorText); }, Qt::BlockingQueuedConnection);
    if (!opened)
        StopThread();
    return opened;
}

bool CQtAudioOutput::StartSink(std::string& errorText) {
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    if (output.isNull()) {
        errorText = "No audio output device";
        return false;
    }
    QAudioFormat format;
    format.setSampleRate(static_cast<int>(CAudioMixer::kSampleRate));
    format.setChannelCount(static_cast<int>(CAudioMixer::kChannels));
    format.setSampleFormat(QAudioFormat::Int16);
    const std::string name = output.description().toStdString();
    if (!output.isFormatSupported(format)) {
        errorText = "The audio output \"" + name + "\" cannot play 16-bit stereo at 44100 Hz";
        return false;
    }
    sink = new QAudioSink(output, format);
    sink->setBufferSize(format.bytesForDuration(kBufferMs * 1000));
    device = sink->start();
    if (!device || sink->error() != QAudio::NoError) {
        errorText = "The audio output \"" + name + "\" cannot be opened";
        StopSink();
        return false;
    }
    frames.resize(static_cast<size_t>(sink->bufferSize() / sizeof(int16_t)) + 2);
    feedTimer = new QTimer;
    feedTimer->setTimerType(Qt::PreciseTimer);
    QObject::connect(feedTimer, &QTimer::timeout, [this] { Feed(); });
    feedTimer->start(kFeedIntervalMs);
    Feed();
    return true;
}

void CQtAudioOutput::Feed() {
    const qsizetype room = std::min<qsizetype>(
        sink->bytesFree(), static_cast<qsizetype>(frames.size() * sizeof(int16_t)));
    const qsizetype count = room / kFrameBytes;
    if (count <= 0)
        return;
    mixer->Render(frames.data(), static_cast<size_t>(count));
    device->write(reinterpret_cast<const char*>(frames.data()), count * kFrameBytes);
}

void CQtAudioOutput::StopSink() {
    delete feedTimer;
    feedTimer = nullptr;
    if (sink) {
        sink->stop(); // also deletes the device it handed out
        delete sink;
        sink = nullptr;
    }
    device = nullptr;
}

void CQtAudioOutput::Close() {
    if (!context)
        return;
    QMetaObject::invokeMethod(
        context, [this] { StopSink(); }, Qt::BlockingQueuedConnection);
    StopThread();
}

void CQtAudioOutput::StopThread() {
    thread.quit();
    thread.wait();
    delete context;
    context = nullptr;
}
