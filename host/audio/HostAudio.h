// The sound of the whole program: one mixer, the output that plays it, and the synthesizer
// that sound devices play through. The host program makes one, hands it its output and
// gives its MIDI outputs to machine assembly (SMachineEnvironment::midiOutput); the
// platform's beep goes here too.
#pragma once

#include "devices/MidiOutput.h"
#include "host/audio/AudioMixer.h"
#include "host/audio/AudioOutput.h"

#include <memory>
#include <string>

class CSynthesizer;

class CHostAudio {
public:
    explicit CHostAudio(std::unique_ptr<CAudioOutput> output);
    // Closes the output first, so nothing pulls from what is being torn down.
    ~CHostAudio();
    CHostAudio(const CHostAudio&) = delete;
    CHostAudio& operator=(const CHostAudio&) = delete;

    // Makes the MIDI output of a sound device: the factory machine assembly is given. It
    // refers to this object, which must outlive every machine built with it.
    MidiOutputFactory MidiOutputs();

    // Opens the output on first use; false with a reason when it cannot be opened.
    bool OpenOutput(std::string& errorText);
    void Synchronize() { output->Synchronize(); }
    // Queues a tone; silent when the output cannot be opened. After a failed attempt beeps
    // stay silent without trying again (only a sound device's start tries again), so a
    // program that beeps in a loop does not wait for a sound card each time.
    void Beep(uint32_t frequency, uint32_t durationMs);

    // The built-in synthesizer, or a sequencer port when the options name one.
    std::unique_ptr<CMidiOutput> CreateMidiOutput(const SMidiOutputOptions& options);

    // A synthesizer with that SoundFont, reset, attached to the mixer. The last one given
    // back is reused when its SoundFont matches, since loading one takes a while.
    std::unique_ptr<CSynthesizer> TakeSynthesizer(const std::string& soundFontPath,
                                                  std::string& errorText);
    // Stays attached, so notes ended just before ring out, until the next one is taken.
    void GiveBackSynthesizer(std::unique_ptr<CSynthesizer> synthesizer);

    // The SoundFont the options ask for, or the system's default General MIDI one; empty
    // when none is installed.
    static std::string ResolveSoundFont(const SMidiOutputOptions& options);

    CAudioMixer& GetMixer() { return mixer; }
    CAudioOutput& GetOutput() { return *output; }

private:
    CAudioMixer mixer;
    std::unique_ptr<CAudioOutput> output;
    std::unique_ptr<CSynthesizer> idleSynthesizer;
    bool outputFailed = false;
};
