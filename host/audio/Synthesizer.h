// A General MIDI software synthesizer that renders into memory. It plays short MIDI
// messages as the machine packs them and is driven from whatever pulls its samples;
// messages and rendering may come from different threads.
#pragma once

#include "host/audio/ShortMessage.h"

#include <cstddef>
#include <cstdint>
#include <string>

struct _fluid_hashtable_t;
struct _fluid_synth_t;

class CSynthesizer {
public:
    explicit CSynthesizer(uint32_t sampleRate);
    ~CSynthesizer();
    CSynthesizer(const CSynthesizer&) = delete;
    CSynthesizer& operator=(const CSynthesizer&) = delete;

    // Creates the synthesizer and loads the SoundFont; false with a reason otherwise.
    bool Load(const std::string& soundFontPath, std::string& errorText);
    const std::string& GetSoundFontPath() const { return soundFontPath; }

    // A message packed as status | data1 << 8 | data2 << 16 (running status allowed).
    // False when the message is malformed or the synthesizer refuses it.
    bool SendShortMessage(uint32_t message);
    // Every note on every channel gets its note-off (the release still rings).
    void AllNotesOff();
    // Back to the state after loading: no notes, default programs and controllers.
    void SystemReset();

    // Writes the next `frames` samples of both channels.
    void Render(float* left, float* right, size_t frames);

private:
    bool Play(const SShortMessage& message);

    uint32_t sampleRate;
    _fluid_hashtable_t* settings = nullptr;
    _fluid_synth_t* synth = nullptr;
    std::string soundFontPath;
    CShortMessageDecoder decoder;
};
