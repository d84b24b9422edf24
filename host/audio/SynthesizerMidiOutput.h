// The MIDI output of the built-in synthesizer: messages are played by a software
// synthesizer that the host's audio output pulls through its mixer.
#pragma once

#include "devices/MidiOutput.h"

#include <memory>
#include <string>

class CHostAudio;
class CSynthesizer;

class CSynthesizerMidiOutput : public CMidiOutput {
public:
    CSynthesizerMidiOutput(CHostAudio& audio, std::string soundFontPath)
        : audio(audio), soundFontPath(std::move(soundFontPath)) {}
    ~CSynthesizerMidiOutput() override;

    bool Open(std::string& errorText) override;
    bool SendShortMessage(uint32_t message) override;
    void Reset() override;
    void Close() override;

private:
    CHostAudio& audio;
    std::string soundFontPath;
    std::unique_ptr<CSynthesizer> synthesizer;
};
