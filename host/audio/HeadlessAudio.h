// The sound of a host without a sound card: the machine's MIDI and beeps are rendered into
// memory on the wall clock, and saved as a WAV file when one is asked for. Make it before
// the machine and finish it after the machine is gone, so notes still held at the stop
// get their note-off first.
#pragma once

#include "host/audio/HostAudio.h"
#include "host/audio/WavWriter.h"

#include <memory>
#include <string>

class CMemoryAudioOutput;

class CHeadlessAudio {
public:
    // Beeps and release tails still sounding at the end are rendered up to this long.
    static constexpr double kMaxTailSeconds = 35.0;

    CHeadlessAudio();
    ~CHeadlessAudio();
    CHeadlessAudio(const CHeadlessAudio&) = delete;
    CHeadlessAudio& operator=(const CHeadlessAudio&) = delete;

    // Starts the clock of the recording. With a file name the rendering is written there;
    // false with a reason when the file cannot be created.
    bool Start(const std::string& wavPath, std::string& errorText);
    // Time zero of the recording: the moment the machine starts running. The time spent
    // building it (loading a SoundFont takes a moment) is left out.
    void StartRun();
    // Renders what still sounds and completes the file; false with a reason when writing
    // failed.
    bool Finish(std::string& errorText);

    void Beep(uint32_t frequency, uint32_t durationMs) { audio.Beep(frequency, durationMs); }
    CHostAudio& GetAudio() { return audio; }
    // The MIDI outputs of the machines that play here.
    MidiOutputFactory MidiOutputs() { return audio.MidiOutputs(); }

private:
    CMemoryAudioOutput* output; // owned by audio
    CHostAudio audio;
    CWavWriter writer;
    std::string wavPath;
};
