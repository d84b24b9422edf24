#include "host/audio/HeadlessAudio.h"

#include "host/audio/MemoryAudioOutput.h"

#include <cerrno>
#include <cstring>

namespace {
std::unique_ptr<CMemoryAudioOutput> MakeOutput(CMemoryAudioOutput*& keep) {
    auto output = std::make_unique<CMemoryAudioOutput>();
    keep = output.get();
    return output;
}
} // namespace

CHeadlessAudio::CHeadlessAudio()
    : output(nullptr), audio(MakeOutput(output)),
      writer(CAudioMixer::kSampleRate, CAudioMixer::kChannels) {}

CHeadlessAudio::~CHeadlessAudio() {
    std::string ignored;
    Finish(ignored);
}

bool CHeadlessAudio::Start(const std::string& path, std::string& errorText) {
    if (!path.empty()) {
        if (!writer.Open(path)) {
            errorText = "Cannot create \"" + path + "\": " + std::strerror(errno);
            return false;
        }
        wavPath = path;
        output->SetSink(
            [this](const int16_t* frames, size_t count) { writer.Append(frames, count); });
    }
    return audio.OpenOutput(errorText);
}

void CHeadlessAudio::StartRun() {
    output->Synchronize();
    output->ContinueFromNow();
}

bool CHeadlessAudio::Finish(std::string& errorText) {
    if (!writer.IsOpen())
        return true;
    output->Drain(kMaxTailSeconds);
    output->SetSink(nullptr);
    if (!writer.Close()) {
        errorText = "Cannot write \"" + wavPath + "\"";
        return false;
    }
    return true;
}
