#include "host/audio/SynthesizerMidiOutput.h"

#include "host/audio/HostAudio.h"
#include "host/audio/Synthesizer.h"

CSynthesizerMidiOutput::~CSynthesizerMidiOutput() {
    Close();
}

bool CSynthesizerMidiOutput::Open(std::string& errorText) {
    if (synthesizer)
        return true;
    if (soundFontPath.empty()) {
        errorText = "No General MIDI SoundFont is installed";
        return false;
    }
    std::string reason;
    if (!audio.OpenOutput(reason)) {
        errorText = "No audio output: " + reason;
        return false;
    }
    synthesizer = audio.TakeSynthesizer(soundFontPath, errorText);
    return synthesizer != nullptr;
}

bool CSynthesizerMidiOutput::SendShortMessage(uint32_t message) {
    if (!synthesizer)
        return false;
    audio.Synchronize();
    return synthesizer->SendShortMessage(message);
}

void CSynthesizerMidiOutput::Reset() {
    if (!synthesizer)
        return;
    audio.Synchronize();
    synthesizer->AllNotesOff();
}

void CSynthesizerMidiOutput::Close() {
    if (synthesizer)
        audio.GiveBackSynthesizer(std::move(synthesizer));
}
