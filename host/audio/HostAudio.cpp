#include "host/audio/HostAudio.h"

#include "host/audio/SequencerMidiOutput.h"
#include "host/audio/Synthesizer.h"
#include "host/audio/SynthesizerMidiOutput.h"
#include "support/TextFunctions.h"

#include <filesystem>

namespace {
// Where Debian puts the system's General MIDI SoundFont (chosen by the alternatives
// system), and the small one the build depends on.
const char* const kDefaultSoundFonts[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf3/default-GM.sf3",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
};

bool IsFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

bool NamesSynthesizer(const std::string& output) {
    std::string name = output;
    qm::Trim(name);
    return name.empty() || qm::EqualsNoCase(name, "synthesizer");
}
} // namespace

CHostAudio::CHostAudio(std::unique_ptr<CAudioOutput> output) : output(std::move(output)) {}

CHostAudio::~CHostAudio() {
    output->Close();
    if (idleSynthesizer)
        mixer.DetachSynthesizer(idleSynthesizer.get());
}

MidiOutputFactory CHostAudio::MidiOutputs() {
    return [this](const SMidiOutputOptions& options) { return CreateMidiOutput(options); };
}

bool CHostAudio::OpenOutput(std::string& errorText) {
    outputFailed = !output->Open(mixer, errorText);
    return !outputFailed;
}

void CHostAudio::Beep(uint32_t frequency, uint32_t durationMs) {
    std::string ignored;
    if (outputFailed || !OpenOutput(ignored))
        return;
    output->Synchronize();
    mixer.Beep(frequency, durationMs);
}

std::unique_ptr<CMidiOutput> CHostAudio::CreateMidiOutput(const SMidiOutputOptions& options) {
    if (!NamesSynthesizer(options.output)) {
        std::string port = options.output;
        qm::Trim(port);
        return std::make_unique<CSequencerMidiOutput>(port);
    }
    return std::make_unique<CSynthesizerMidiOutput>(*this, ResolveSoundFont(options));
}

std::string CHostAudio::ResolveSoundFont(const SMidiOutputOptions& options) {
    std::string chosen = options.soundFont;
    qm::Trim(chosen);
    if (!chosen.empty()) {
        if (chosen.front() != '/' && !options.baseDirectory.empty())
            chosen = (std::filesystem::path(options.baseDirectory) / chosen).string();
        return chosen;
    }
    for (const char* path : kDefaultSoundFonts)
        if (IsFile(path))
            return path;
    return {};
}

std::unique_ptr<CSynthesizer> CHostAudio::TakeSynthesizer(const std::string& soundFontPath,
                                                          std::string& errorText) {
    std::unique_ptr<CSynthesizer> synthesizer;
    if (idleSynthesizer && idleSynthesizer->GetSoundFontPath() == soundFontPath) {
        synthesizer = std::move(idleSynthesizer);
        output->Synchronize();
        synthesizer->SystemReset();
    } else {
        synthesizer = std::make_unique<CSynthesizer>(CAudioMixer::kSampleRate);
        if (!synthesizer->Load(soundFontPath, errorText))
            return nullptr;
        output->Synchronize();
        if (idleSynthesizer) {
            mixer.DetachSynthesizer(idleSynthesizer.get());
            idleSynthesizer.reset();
        }
    }
    mixer.AttachSynthesizer(synthesizer.get());
    return synthesizer;
}

void CHostAudio::GiveBackSynthesizer(std::unique_ptr<CSynthesizer> synthesizer) {
    if (idleSynthesizer && idleSynthesizer != synthesizer) {
        mixer.DetachSynthesizer(idleSynthesizer.get());
        idleSynthesizer.reset();
    }
    idleSynthesizer = std::move(synthesizer);
}
